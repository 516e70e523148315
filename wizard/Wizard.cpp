#include "wizard/Wizard.h"

#include "sys/Display.h"
#include "sys/Ui.h"
#include "wizard/QtMessageSink.h"
#include "wizard/frmMain.h"

#include <QApplication>
#include <cstdio>

namespace kw {

int RunWizard(int& argc, char** argv) {
    std::string why;
    if (!DisplayAvailable(why)) {
        std::fprintf(stderr,
                     "Kwastor: the wizard needs a display, but %s.\n"
                     "The command-line modes need none:\n"
                     "  kwastor bestanden <folder>\n"
                     "  kwastor database <folder>\n",
                     why.c_str());
        return 1;
    }
    QApplication app(argc, argv);
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
