#include "wizard/Wizard.h"

#include "sys/Display.h"
#include "sys/Ui.h"
#include "wizard/QtMessageSink.h"
#include "wizard/frmMain.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

namespace kw {

namespace {

void ShowNoDisplay(const std::string& why) {
    std::fprintf(stderr,
                 "Kwastor: de wizard heeft een beeldscherm nodig, maar %s.\n"
                 "De opdrachtregel heeft er geen nodig:\n"
                 "  kwastor bestanden <Merodaan-map>\n"
                 "  kwastor database <Gebruikers-map>\n",
                 why.c_str());
    std::fflush(stderr);
}

/// Qt ends the process with a fatal message (an abort) when none of its window systems starts:
/// a WAYLAND_DISPLAY or QT_QPA_PLATFORM that names one that is missing or can't connect. The
/// user gets the no-display message and exit status 1 instead. Nothing has been logged yet, so
/// there is nothing to close. Qt's warnings on the way there tell the user nothing more.
void EndWithoutWindowSystem(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type != QtFatalMsg)
        return;
    ShowNoDisplay("het venstersysteem kan niet gestart worden");
    std::_Exit(1);
}

} // namespace

void UseDutchTranslation() {
    // Owned by the application, which outlives every dialog.
    auto* dutch = new QTranslator(QCoreApplication::instance());
    if (dutch->load(QLocale(QLocale::Dutch, QLocale::Netherlands), QStringLiteral("qtbase"),
                    QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(dutch);
    else
        delete dutch;
}

int RunWizard(int& argc, char** argv) {
    std::string why;
    if (!DisplayAvailable(why)) {
        ShowNoDisplay(why);
        return 1;
    }
    const QtMessageHandler previous = qInstallMessageHandler(EndWithoutWindowSystem);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    UseDutchTranslation();
    QtMessageSink sink;
    SetMessageSink(&sink);
    int status;
    {
        frmMain window;
        window.show();
        app.exec();
        status = 0;
    }
    SetMessageSink(nullptr);
    return status;
}

} // namespace kw
