// The wizard window: four steps in a fixed order, never back. Step 1 finds the installation,
// step 2 checks it and the free disk space, step 3 writes the files and updates the database,
// step 4 lists what was added. The steps themselves are WizardSteps; this is their Qt face.
#pragma once

#include "app/Update.h"
#include "wizard/QtControls.h"
#include "wizard/WizardSteps.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;

namespace kw {

class frmMain final : public QWidget, private WizardView {
public:
    /// Builds the window and enters step 1 before it is shown.
    frmMain();

    /// The step the wizard is in: 0 before the first, then 1 to 4.
    std::int16_t Step() const { return steps_->Step(); }
    /// The installation folder chosen so far (ending with the separator), or empty text.
    const std::string& Folder() const { return steps_->Folder(); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    void Form_Resize();
    void ShowStep(const StepLook& look) override;
    void EnableNext(bool enabled) override;
    void ProcessEvents() override;
    void CloseWindow() override;

    /// Twips (1/1440 inch) to pixels of this screen, across and down.
    int TwipsX(int twips) const;
    int TwipsY(int twips) const;
    void Place(QWidget* w, int left, int top, int width, int height) const;

    QLabel* lblBg1 = nullptr;
    QLabel* lblStep = nullptr;
    std::array<QLabel*, 2> lblMsg{};
    QLabel* lblBg2 = nullptr;
    QLabel* lblHelp = nullptr;
    std::array<QLabel*, 2> lblAction{};
    QPushButton* cbBrowse = nullptr;
    QPushButton* cbNext = nullptr;
    QListWidget* lstFinal = nullptr;

    std::array<std::optional<QtCaption>, 2> actionCaptions_, resultCaptions_;
    StepRows rows_;
    std::optional<QtListBox> finalList_;
    std::optional<WizardSteps> steps_;
};

} // namespace kw
