// X11 through xcb. Under Wine a Windows program's windows are ordinary X windows whose title is
// the Windows title and whose WM_CLASS class is the program file's name.
#include "sys/RunningProgram.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <xcb/xcb.h>

namespace kw {

namespace {

template <class T> struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <class T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

struct Disconnector {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnector>;

/// The display of DISPLAY, or null (with no display nothing can be found).
Connection Connect(xcb_window_t& root) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return nullptr;
    int screenNumber = 0;
    Connection c(xcb_connect(display, &screenNumber));
    if (xcb_connection_has_error(c.get()))
        return nullptr;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c.get()));
    for (int i = 0; it.rem && i < screenNumber; ++i)
        xcb_screen_next(&it);
    if (!it.rem)
        return nullptr;
    root = it.data->root;
    return c;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

/// The raw bytes of a window property; empty when the window has none.
std::string Property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    if (property == XCB_ATOM_NONE)
        return {};
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096), nullptr));
    if (!reply)
        return {};
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return std::string(bytes, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

bool SameText(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        auto lower = [](char ch) { return ch >= 'A' && ch <= 'Z' ? char(ch - 'A' + 'a') : ch; };
        return lower(x) == lower(y);
    });
}

std::vector<xcb_window_t> Children(xcb_connection_t* c, xcb_window_t window) {
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
    if (!tree)
        return {};
    const xcb_window_t* first = xcb_query_tree_children(tree.get());
    return {first, first + xcb_query_tree_children_length(tree.get())};
}

class WindowMatcher {
public:
    WindowMatcher(xcb_connection_t* c, std::span<const std::string_view> classNames,
                  std::string_view title)
        : c_(c), classNames_(classNames), title_(title), netWmName_(Atom(c, "_NET_WM_NAME")) {}

    /// Program windows carry a class; the frames of a window manager need not.
    bool HasClass(xcb_window_t window) const {
        return !Property(c_, window, XCB_ATOM_WM_CLASS).empty();
    }

    bool Matches(xcb_window_t window) const {
        // WM_CLASS holds the instance name and then the class name, each ending with a NUL.
        const std::string wmClass = Property(c_, window, XCB_ATOM_WM_CLASS);
        const std::size_t nul = wmClass.find('\0');
        if (nul == std::string::npos)
            return false;
        std::string_view className(wmClass.c_str() + nul + 1);
        if (std::ranges::none_of(classNames_,
                                 [&](std::string_view want) { return SameText(className, want); }))
            return false;
        std::string name = Property(c_, window, netWmName_);
        if (name.empty())
            name = Property(c_, window, XCB_ATOM_WM_NAME);
        return SameText(name, title_);
    }

private:
    xcb_connection_t* c_;
    std::span<const std::string_view> classNames_;
    std::string_view title_;
    xcb_atom_t netWmName_;
};

} // namespace

WindowId FindProgramWindow(std::span<const std::string_view> classNames, std::string_view title) {
    xcb_window_t root = 0;
    Connection c = Connect(root);
    if (!c)
        return 0;
    const WindowMatcher matcher(c.get(), classNames, title);
    for (xcb_window_t top : Children(c.get(), root)) {
        if (matcher.HasClass(top)) {
            if (matcher.Matches(top))
                return top;
            continue;
        }
        // A reparenting window manager puts each program window inside a frame of its own.
        for (xcb_window_t inner : Children(c.get(), top))
            if (matcher.Matches(inner))
                return inner;
    }
    return 0;
}

void FlashWindow(WindowId window) {
    xcb_window_t root = 0;
    Connection c = Connect(root);
    if (!c || window == 0)
        return;
    // WM_HINTS is nine 32-bit fields, flags first; bit 8 is the urgency hint, which window
    // managers show by flashing or highlighting the window.
    constexpr std::uint32_t kUrgencyHint = 1u << 8;
    std::array<std::uint32_t, 9> hints{};
    const std::string old = Property(c.get(), window, XCB_ATOM_WM_HINTS);
    std::memcpy(hints.data(), old.data(), std::min(old.size(), sizeof hints));
    hints[0] |= kUrgencyHint;
    const xcb_void_cookie_t cookie =
        xcb_change_property_checked(c.get(), XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS,
                                    XCB_ATOM_WM_HINTS, 32, hints.size(), hints.data());
    // Waiting for the answer makes sure the change is done before the connection closes; a
    // window that has gone answers with an error, which is of no interest here.
    Reply<xcb_generic_error_t> ignored(xcb_request_check(c.get(), cookie));
}

} // namespace kw
