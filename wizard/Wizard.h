// The road without arguments: the wizard window.
#pragma once

namespace kw {

/// Shows the wizard and runs until its window is closed. Returns the exit status: 0 when the
/// window was closed, 1 when no window can be opened (said on standard error).
int RunWizard(int& argc, char** argv);

/// Lets Qt's own dialogs (the folder dialog, the message boxes' buttons) speak Dutch, like the
/// rest of the program, where Qt's translations are installed.
void UseDutchTranslation();

} // namespace kw
