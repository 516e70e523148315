// The wizard lives in a module of its own, loaded only when the wizard is shown, so that the
// command-line modes and the usage text start without loading Qt.
#pragma once

namespace kw {

/// Loads the wizard module that sits beside the program file and runs the wizard. Returns the
/// exit status; 1 (said on standard error) when the module can't be loaded.
int RunWizardModule(int& argc, char** argv);

/// The module's entry point, looked up by this name.
inline constexpr const char* kWizardEntry = "KwastorRunWizard";

} // namespace kw
