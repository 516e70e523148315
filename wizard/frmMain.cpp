#include "wizard/frmMain.h"

#include "wizard/WindowFont.h"
#include "wizard/WindowIcon.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

namespace kw {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

frmMain::frmMain() {
    BuildControls();
    steps_->Start();
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

    connect(cbNext, &QPushButton::clicked, this, [this] { steps_->NextPressed(); });
    connect(cbBrowse, &QPushButton::clicked, this, [this] { steps_->BrowsePressed(); });
    for (int row = 0; row < 2; ++row) {
        rows_.action[row] = &actionCaptions_[row].emplace(*lblAction[row]);
        rows_.result[row] = &resultCaptions_[row].emplace(*lblMsg[row]);
    }
    finalList_.emplace(*lstFinal);
    steps_.emplace(static_cast<WizardView&>(*this), rows_, *finalList_);
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
    steps_->WindowClosed();
    event->accept();
}

void frmMain::ShowStep(const StepLook& look) {
    lstFinal->setVisible(look.listVisible);
    cbNext->setText(Text(look.nextCaption));
    cbBrowse->setVisible(look.browseVisible);
    for (int row = 0; row < 2; ++row) {
        lblAction[row]->setVisible(look.rowVisible[row]);
        lblMsg[row]->setVisible(look.rowVisible[row]);
    }
    lblStep->setText(Text(look.title));
    lblHelp->setText(Text(look.help));
}

void frmMain::EnableNext(bool enabled) {
    cbNext->setEnabled(enabled);
}

void frmMain::ProcessEvents() {
    QCoreApplication::processEvents();
}

void frmMain::CloseWindow() {
    close();
}

} // namespace kw
