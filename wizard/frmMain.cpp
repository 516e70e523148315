#include "wizard/frmMain.h"

#include "app/Update.h"
#include "db/Database.h"
#include "log/Log.h"
#include "payload/PayloadOperations.h"
#include "sys/FolderDialog.h"
#include "sys/Installation.h"
#include "sys/RunningProgram.h"
#include "wizard/WindowFont.h"
#include "wizard/WindowIcon.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <algorithm>
#include <string_view>

namespace kw {

namespace {

const char* const kNotFound = "Vondelux is niet gevonden; kies 'Wijzigen...'";

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

void SetCaption(QLabel* label, const std::string& text) {
    label->setText(Text(text));
}

std::string DatabaseFile(const std::string& folder) {
    return folder + "picbase.pbd";
}

} // namespace

frmMain::frmMain() {
    BuildControls();
    Form_Load();
}

int frmMain::TwipsX(int twips) const {
    return qRound(twips * logicalDpiX() / 1440.0);
}
int frmMain::TwipsY(int twips) const {
    return qRound(twips * logicalDpiY() / 1440.0);
}

void frmMain::Place(QWidget* w, int left, int top, int width, int height) const {
    w->setGeometry(TwipsX(left), TwipsY(top), TwipsX(width), TwipsY(height));
}

void frmMain::BuildControls() {
    setWindowTitle(QStringLiteral("Bijwerken van Vondelux"));
    setWindowIcon(WindowIcon());
    const QFont regular = WindowFont(QFont::Normal);
    setFont(WindowFont(QFont::Bold));
    resize(TwipsX(9615), TwipsY(3255));

    auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        // Captions hold folder names: never read them as markup.
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    auto onWindowColour = [](QLabel* l) {
        l->setAutoFillBackground(true);
        l->setBackgroundRole(QPalette::Base);
        l->setForegroundRole(QPalette::Text);
    };
    // Created bottom-most first: a later sibling lies over an earlier one.
    lblBg1 = label("lblBg1");
    Place(lblBg1, 0, 0, 9495, 495);
    onWindowColour(lblBg1);
    lblStep = label("lblStep");
    Place(lblStep, 120, 120, 3180, 315);
    onWindowColour(lblStep);
    lblStep->setText(QStringLiteral("Locatie van Vondelux bepalen"));
    for (int row = 0; row < 2; ++row) {
        lblMsg[row] = label(row == 0 ? "lblMsg0" : "lblMsg1");
        Place(lblMsg[row], 3720, row == 0 ? 780 : 1260, 4215, 255);
    }
    lblBg2 = label("lblBg2");
    Place(lblBg2, 0, 2640, 9495, 615);
    lblBg2->setFont(regular);
    lblBg2->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    lblHelp = label("lblHelp");
    Place(lblHelp, 120, 2760, 3180, 435);
    lblHelp->setFont(regular);
    lblHelp->setForegroundRole(QPalette::Text);
    lblHelp->setText(QStringLiteral("Locatie van Vondelux bepalen"));
    for (int row = 0; row < 2; ++row) {
        lblAction[row] = label(row == 0 ? "lblAction0" : "lblAction1");
        Place(lblAction[row], 120, row == 0 ? 780 : 1260, 3495, 255);
        lblAction[row]->setFont(regular);
    }
    cbBrowse = new QPushButton(QStringLiteral("Wijzigen..."), this);
    cbBrowse->setObjectName(QStringLiteral("cbBrowse"));
    Place(cbBrowse, 8160, 720, 1335, 375);
    cbNext = new QPushButton(QStringLiteral("Verder >"), this);
    cbNext->setObjectName(QStringLiteral("cbNext"));
    Place(cbNext, 8160, 2160, 1335, 375);
    lstFinal = new QListWidget(this);
    lstFinal->setObjectName(QStringLiteral("lstFinal"));
    Place(lstFinal, 120, 2160, 1095, 225);
    setTabOrder(cbBrowse, cbNext);
    setTabOrder(cbNext, lstFinal);

    connect(cbNext, &QPushButton::clicked, this, [this] { cbNext_Click(); });
    connect(cbBrowse, &QPushButton::clicked, this, [this] { cbBrowse_Click(); });
    status0_.emplace(*lblMsg[0], closeRequested_);
    status1_.emplace(*lblMsg[1], closeRequested_);
    finalList_.emplace(*lstFinal);
}

void frmMain::Form_Load() {
    InitSteps();
    GoToStep(+1);
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmMain::Form_Resize() {
    const int w = width();
    // A window narrower than the margins (minimised, or dragged small) gives empty labels.
    const int inner = std::max(0, w - TwipsX(240));
    lblBg1->resize(w, lblBg1->height());
    lblBg2->resize(w, lblBg2->height());
    lblStep->setGeometry(TwipsX(120), lblStep->y(), inner, lblStep->height());
    lblHelp->setGeometry(TwipsX(120), lblHelp->y(), inner, lblHelp->height());
    Place(lstFinal, 120, 720, 7815, 1815);
}

void frmMain::closeEvent(QCloseEvent* event) {
    // Work in progress sees the flag at its next event pass, ends through its failure road and
    // closes the database; the program ends once the click that runs it returns.
    closeRequested_ = true;
    event->accept();
}

void frmMain::InitSteps() {
    StepTitles[1] = "Stap 1 van 4 - Locatie van Vondelux bepalen.";
    StepHelp[1] = "In deze stap wordt de locatie van Vondelux bepaald. Als de gevonden locatie "
                  "onjuist of als de juiste locatie niet gevonden is, drukt u op 'Wijzigen...' "
                  "om de juiste locatie op te geven";
    StepTitles[2] = "Stap 2 van 4 - Controleren van Vondelux.";
    StepHelp[2] = "In deze stap wordt gecontroleerd of Vondelux bijgewerkt kan worden en of er "
                  "voldoende schijfruimte is.";
    StepTitles[3] = "Stap 3 van 4 - Bijwerken van Vondelux.";
    StepHelp[3] = "De bestanden worden aangemaakt en de administratie van Vondelux wordt "
                  "bijgewerkt.";
    StepTitles[4] = "Stap 4 van 4 - Afronden - overzicht van toegevoegde pictogrammen.";
    StepHelp[4] = "Het bijwerken van Vondelux is voltooid. Er is een log geschreven van de "
                  "genomen acties. Deze kunt u, tesamen met het bijwerkprogramma, verwijderen. "
                  "Veel plezier met de nieuwe pictogrammen!";
    RowVisible = {};
    for (int step = 1; step <= 4; ++step)
        RowVisible[step][0] = true;
    RowVisible[2][1] = true;
    RowVisible[3][1] = true;
}

void frmMain::GoToStep(std::int16_t delta) {
    const int n = CurrentStep + delta;
    if (n < 1 || n > 4)
        return;
    QScopedValueRollback<bool> running(stepRunning_, true);
    CurrentStep = static_cast<std::int16_t>(n);
    gLog->printf("Beginnen met stap " + std::to_string(n) + ".");
    lstFinal->setVisible(n == 4);
    cbNext->setText(n < 4 ? Text("Naar stap " + std::to_string(n + 1))
                          : QStringLiteral("Afsluiten"));
    cbNext->setEnabled(true);
    cbBrowse->setVisible(n == 1);
    for (int row = 0; row < 2; ++row) {
        lblAction[row]->setVisible(RowVisible[n][row]);
        lblMsg[row]->setVisible(RowVisible[n][row]);
    }
    SetCaption(lblStep, StepTitles[n]);
    SetCaption(lblHelp, StepHelp[n]);
    // Paint the new step before its work begins.
    QCoreApplication::processEvents();
    if (closeRequested_)
        return;
    switch (n) {
    case 1:
        RunStep1();
        break;
    case 2:
        RunStep2();
        break;
    case 3:
        RunStep3();
        break;
    default:
        RunStep4();
        break;
    }
}

void frmMain::RunStep1() {
    SetCaption(lblAction[0], "Locatie van Vondelux");
    if (LocationDone)
        return;
    InstallFolder = FindInstallation();
    if (!InstallFolder.empty()) {
        SetCaption(lblMsg[0], InstallFolder);
        cbNext->setEnabled(true);
    } else {
        SetCaption(lblMsg[0], kNotFound);
        cbNext->setEnabled(false);
    }
    LocationDone = true;
}

void frmMain::cbBrowse_Click() {
    const std::string folder = BrowseForFolder();
    if (folder.empty())
        return;
    if (HoldsInstallation(folder)) {
        SetCaption(lblMsg[0], folder);
        InstallFolder = folder;
        cbNext->setEnabled(true);
    } else {
        SetCaption(lblMsg[0], kNotFound);
        cbNext->setEnabled(false);
    }
}

void frmMain::cbNext_Click() {
    // A press that waited in the queue while a step was entered would skip that step's checks.
    if (stepRunning_)
        return;
    if (CurrentStep == 4) {
        gLog->printf("Succesvol afgesloten.");
        close();
    }
    GoToStep(+1);
}

void frmMain::RunStep2() {
    SetCaption(lblAction[0], "Integriteit van Vondelux bewaken");
    SetCaption(lblAction[1], "Voldoende schijfruimte");
    SetCaption(lblMsg[0], "");
    SetCaption(lblMsg[1], "");
    cbNext->setEnabled(false);

    // Under Wine the window class that X sees is the program file's name.
    constexpr std::string_view kProgramClasses[] = {"ThunderRT6MDIForm", "vondelux.exe"};
    if (const WindowId running = FindProgramWindow(kProgramClasses, "Vondelux")) {
        SetCaption(lblMsg[0], "Vondelux is geopend.");
        FlashWindow(running);
        return;
    }
    Connect(DatabaseFile(InstallFolder));
    if (!IsConnected()) {
        SetCaption(lblMsg[0], "Er is een fout opgetreden tijdens het lezen van Vondelux.");
        return;
    }
    std::int32_t lowest = 0, highest = 0;
    GetResourceExtremes(lowest, highest);
    if (lowest == 0 || highest == 0) {
        Disconnect();
        SetCaption(lblMsg[0], "Ernstige interne fout. De update kan niet doorgaan.");
        gLog->printf("Fout in stap 2: lowest = %d, highest = %d.\\n", lowest, highest);
        return;
    }
    const std::string lo = std::to_string(lowest), hi = std::to_string(highest);
    if (ExecuteSQL("DELETE FROM pictogram WHERE (nr>=" + lo + " AND nr<=" + hi + ")") < 0) {
        Disconnect();
        SetCaption(lblMsg[0], "Fout tijdens bewaking.");
        gLog->printf("Fout in stap 2: ExecuteSQL() (1).\\n");
        return;
    }
    const std::int32_t links =
        ExecuteSQL("DELETE FROM categorie_pictogram WHERE (pictogram_nr>=" + lo +
                   " AND pictogram_nr<=" + hi + ")");
    Disconnect();
    if (links < 0) {
        SetCaption(lblMsg[0], "Fout tijdens bewaking.");
        gLog->printf("Fout in stap 2: ExecuteSQL() (2).\\n");
        return;
    }
    SetCaption(lblMsg[0], "In orde.");

    const std::int32_t available = AvailableDiskSpace(InstallFolder);
    const std::int32_t needed = NeededDiskSpace();
    // A payload that can't be measured (its failure value is -1) is damaged: letting it pass
    // the comparison would report success and fail halfway through writing the files.
    if (needed < 0) {
        SetCaption(lblMsg[1], "Ernstige interne fout. De update kan niet doorgaan.");
        gLog->printf("Fout in stap 2: NeededDiskSpace() (%d).\\n", needed);
        return;
    }
    if (available >= needed) {
        SetCaption(lblMsg[1], "In orde.");
        gLog->printf("Stap 2 met succes doorlopen.\\n");
        cbNext->setEnabled(true);
    } else {
        SetCaption(lblMsg[1], "Te weinig schijfruimte.");
        gLog->printf("Fout in stap 2: te weinig schijfruimte.\\n");
    }
}

void frmMain::RunStep3() {
    SetCaption(lblAction[0], "Kopieren van bestanden");
    SetCaption(lblAction[1], "Bijwerken van Vondelux");
    SetCaption(lblMsg[0], "");
    SetCaption(lblMsg[1], "");
    cbNext->setEnabled(false);

    if (!SaveResources(InstallFolder, &*status0_)) {
        gLog->printf("Fout in stap 3: bestanden konden niet worden opgeslagen.\\n");
        return;
    }
    SetCaption(lblMsg[0], "Gereed.");
    // UpdateDB finds out itself when the connection did not open.
    Connect(DatabaseFile(InstallFolder));
    const bool updated = UpdateDB(&*status1_);
    Disconnect();
    if (updated) {
        SetCaption(lblMsg[1], "Gereed.");
        gLog->printf("Stap 3 met succes doorlopen.");
        cbNext->setEnabled(true);
    } else {
        gLog->printf("Fout in stap 3: database kon niet worden bijgewerkt.\\n");
    }
}

void frmMain::RunStep4() {
    Connect(DatabaseFile(InstallFolder));
    ListChanges(*finalList_);
    Disconnect();
}

} // namespace kw
