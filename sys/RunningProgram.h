// Recognising another program by its main window, and drawing the user's attention to it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kw {

/// A top-level window of the display; 0 stands for none.
using WindowId = std::uint32_t;

/// The first top-level window whose whole title is `title` and whose window class is one of
/// `classNames`, both compared without regard to letter case. 0 when there is none, or when no
/// display can be reached (then no program can show a window either).
WindowId FindProgramWindow(std::span<const std::string_view> classNames, std::string_view title);

/// Flashes the window once to draw the user's attention (its urgency hint). A window that has
/// gone in the meantime, or a display that can't be reached, is ignored.
void FlashWindow(WindowId window);

} // namespace kw
