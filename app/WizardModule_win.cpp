#include "app/WizardModule.h"

#include "wizard/Wizard.h"

namespace kw {

// Windows has no module to load: the window is part of kwastor.exe and needs no other library.
int RunWizardModule(int& argc, char** argv) {
    return RunWizard(argc, argv);
}

} // namespace kw
