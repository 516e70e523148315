#include "sys/Display.h"

#include <cstdlib>
#include <string_view>
#include <xcb/xcb.h>

namespace kw {

bool DisplayAvailable(std::string& why) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    // Platforms that need no display server (tests run the wizard offscreen).
    if (platform && *platform && std::string_view(platform).rfind("xcb", 0) != 0)
        return true;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!platform && wayland && *wayland)
        return true;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        why = "er is geen beeldscherm ingesteld (DISPLAY is leeg)";
        return false;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool ok = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    if (!ok)
        why = std::string("beeldscherm '") + display + "' kan niet geopend worden";
    return ok;
}

} // namespace kw
