#include "wizard/frmMain.h"

#include "app/Update.h"
#include "log/Log.h"
#include "sys/FolderDialog.h"
#include "wizard/WindowFont.h"
#include "wizard/WindowIcon.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <algorithm>

namespace kw {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

void SetCaption(QLabel* label, const std::string& text) {
    label->setText(Text(text));
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
    // Return and keypad Enter press the focused button, and Next when no button has the focus,
    // as in a Windows dialog.
    cbNext->setDefault(true);
    cbNext->setAutoDefault(true);
    cbBrowse->setAutoDefault(true);
    if (BoldDrawsThin())
        for (QWidget* bold :
             std::initializer_list<QWidget*>{lblStep, lblMsg[0], lblMsg[1], cbBrowse, cbNext})
            bold->setStyle(OverstrikeStyle());

    connect(cbNext, &QPushButton::clicked, this, [this] { cbNext_Click(); });
    connect(cbBrowse, &QPushButton::clicked, this, [this] { cbBrowse_Click(); });
    for (int row = 0; row < 2; ++row) {
        rows_.action[row] = &actionCaptions_[row].emplace(*lblAction[row]);
        rows_.result[row] = &resultCaptions_[row].emplace(*lblMsg[row]);
    }
    rows_.window = &window_;
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

void frmMain::keyPressEvent(QKeyEvent* event) {
    // Reaches the window when no button took the key: the list box, or no focus at all.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && cbNext->isVisible() && cbNext->isEnabled())
        cbNext->click();
    else
        QWidget::keyPressEvent(event);
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
    const std::optional<std::string> found = LocateInstallation(rows_, !LocationDone);
    if (!found)
        return;
    InstallFolder = *found;
    shownFolder_ = InstallFolder;
    cbNext->setEnabled(!InstallFolder.empty());
    LocationDone = true;
}

void frmMain::cbBrowse_Click() {
    const std::string folder = BrowseForFolder(shownFolder_);
    if (folder.empty())
        return;
    const bool holds = ChooseInstallation(folder, rows_);
    if (holds)
        InstallFolder = folder;
    shownFolder_ = holds ? folder : std::string();
    cbNext->setEnabled(holds);
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

// Steps 2 and 3 keep Next disabled while they work: their event passes must not let a press
// start anything.
void frmMain::RunStep2() {
    cbNext->setEnabled(false);
    cbNext->setEnabled(CheckInstallation(InstallFolder, rows_));
}

void frmMain::RunStep3() {
    cbNext->setEnabled(false);
    cbNext->setEnabled(UpdateInstallation(InstallFolder, rows_));
}

void frmMain::RunStep4() {
    ListAddedPictograms(InstallFolder, *finalList_);
}

} // namespace kw
