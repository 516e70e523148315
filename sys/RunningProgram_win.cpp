#include "sys/RunningProgram.h"

#include <string>
#include <windows.h>

namespace kw {

WindowId FindProgramWindow(std::span<const std::string_view> classNames, std::string_view title) {
    // FindWindowA compares class and title without regard to case. A window handle keeps its
    // meaning in 32 bits, also in a 64-bit Windows.
    const std::string wanted(title);
    for (std::string_view className : classNames)
        if (HWND window = ::FindWindowA(std::string(className).c_str(), wanted.c_str()))
            return static_cast<WindowId>(reinterpret_cast<std::uintptr_t>(window));
    return 0;
}

void FlashWindow(WindowId window) {
    if (window != 0)
        ::FlashWindow(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window)), TRUE);
}

} // namespace kw
