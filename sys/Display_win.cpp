#include "sys/Display.h"

#include <windows.h>

namespace kw {

bool DisplayAvailable(std::string& why) {
    // A window can be seen only on the interactive window station (not in a service's).
    USEROBJECTFLAGS flags{};
    HWINSTA station = ::GetProcessWindowStation();
    if (station && ::GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof flags, nullptr) &&
        !(flags.dwFlags & WSF_VISIBLE)) {
        why = "er is geen bureaublad om een venster op te tonen";
        return false;
    }
    return true;
}

} // namespace kw
