// The wizard's step switch without a window toolkit: the steps' texts, which rows and buttons
// each step shows, what Next and Browse do in each step and the rules for closing. The Qt window
// and the Win32 window keep only their widgets, their layout and their event plumbing, and hand
// every press and the close to this switch.
#pragma once

#include "app/Update.h"
#include "sys/Ui.h"

#include <array>
#include <cstdint>
#include <string>

namespace kw {

/// How a step looks once it has been entered.
struct StepLook {
    std::string title;
    std::string help;
    std::string nextCaption;
    std::array<bool, 2> rowVisible{};
    bool browseVisible = false;
    bool listVisible = false;
};

/// The look of step 1 to 4.
StepLook LookOfStep(int step);

/// What the switch asks of a window. Its implementations only set widgets.
class WizardView {
public:
    virtual ~WizardView() = default;
    virtual void ShowStep(const StepLook& look) = 0;
    virtual void EnableNext(bool enabled) = 0;
    /// Lets the window repaint and handle input once.
    virtual void ProcessEvents() = 0;
    /// Closes the window; the window reports it back through WizardSteps::WindowClosed.
    virtual void CloseWindow() = 0;
};

/// The four steps in their fixed order, never back. Holds the step, the chosen folder and the
/// flags that keep a queued press or a closed window from starting work.
class WizardSteps final : private Window {
public:
    /// Points the rows' window at this switch, whose event passes end work once the window has
    /// been closed. The view, rows and list must outlive the switch.
    WizardSteps(WizardView& view, StepRows& rows, ListBox& list);

    /// Enters step 1, before the window is shown.
    void Start();
    void NextPressed();
    void BrowsePressed();
    /// The window was closed (by its close control or by the last Next): running work ends at
    /// its next event pass.
    void WindowClosed();

    /// 0 before the first step, then 1 to 4.
    std::int16_t Step() const { return currentStep_; }
    /// The installation folder chosen so far (ending with the separator), or empty text.
    const std::string& Folder() const { return installFolder_; }

private:
    void ProcessEvents() override;
    bool Closed() const override { return closeRequested_; }

    void GoToStep(std::int16_t delta);
    void RunStep(int step);

    WizardView& view_;
    StepRows& rows_;
    ListBox& list_;
    std::int16_t currentStep_ = 0;
    std::string installFolder_;
    bool locationDone_ = false;
    /// The folder that step 1's row shows (empty while it shows that none was found): the
    /// folder dialog opens there.
    std::string shownFolder_;
    /// Set while a step is being entered and worked; a press of Next that was queued meanwhile
    /// must not start another step.
    bool stepRunning_ = false;
    bool closeRequested_ = false;
};

} // namespace kw
