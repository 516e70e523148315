// The wizard window: four steps in a fixed order, never back. Step 1 finds the installation,
// step 2 checks it and the free disk space, step 3 writes the files and updates the database,
// step 4 lists what was added.
#pragma once

#include "app/Update.h"
#include "wizard/QtControls.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;

namespace kw {

class frmMain final : public QWidget {
public:
    /// Builds the window and enters step 1 (Form_Load) before it is shown.
    frmMain();

    /// The step the wizard is in: 0 before the first, then 1 to 4.
    std::int16_t Step() const { return CurrentStep; }
    /// The installation folder chosen so far (ending with the separator), or empty text.
    const std::string& Folder() const { return InstallFolder; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    void Form_Load();
    void Form_Resize();
    void cbNext_Click();
    void cbBrowse_Click();
    void InitSteps();
    void GoToStep(std::int16_t delta);
    void RunStep1();
    void RunStep2();
    void RunStep3();
    void RunStep4();

    /// Twips (1/1440 inch) to pixels of this screen, across and down.
    int TwipsX(int twips) const;
    int TwipsY(int twips) const;
    void Place(QWidget* w, int left, int top, int width, int height) const;

    std::int16_t CurrentStep = 0;
    std::string InstallFolder;
    bool LocationDone = false;
    /// The folder that step 1's row shows (empty while it shows that none was found): the
    /// folder dialog opens there.
    std::string shownFolder_;
    std::array<std::string, 5> StepTitles;
    std::array<std::string, 5> StepHelp;
    std::array<std::array<bool, 2>, 5> RowVisible{};

    /// Set while a step is being entered and worked; a press of Next that was queued meanwhile
    /// must not start another step.
    bool stepRunning_ = false;
    /// Set once the window was closed; the running work ends at its next event pass.
    bool closeRequested_ = false;

    QLabel* lblBg1 = nullptr;
    QLabel* lblStep = nullptr;
    std::array<QLabel*, 2> lblMsg{};
    QLabel* lblBg2 = nullptr;
    QLabel* lblHelp = nullptr;
    std::array<QLabel*, 2> lblAction{};
    QPushButton* cbBrowse = nullptr;
    QPushButton* cbNext = nullptr;
    QListWidget* lstFinal = nullptr;

    QtWindow window_{closeRequested_};
    std::array<std::optional<QtCaption>, 2> actionCaptions_, resultCaptions_;
    StepRows rows_;
    std::optional<QtListBox> finalList_;
};

} // namespace kw
