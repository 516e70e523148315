// The wizard module's entry point, which the program looks up by name after loading the module.
#include "wizard/Wizard.h"

extern "C" __attribute__((visibility("default"))) int KwastorRunWizard(int* argc, char** argv) {
    return kw::RunWizard(*argc, argv);
}
