#include "app/WizardModule.h"

#include "sys/Ui.h"

namespace kw {

// Until the Windows edition has its window, the wizard says what the command line does.
int RunWizardModule(int&, char**) {
    MsgBox("De wizard is in deze uitgave nog niet beschikbaar. De opdrachtregel werkt wel:\r\n"
           "\tKwastor bestanden <Merodaan-map>\r\n"
           "\tKwastor database <Gebruikers-map>",
           kProgramTitle, MsgIcon::Warning);
    return 1;
}

} // namespace kw
