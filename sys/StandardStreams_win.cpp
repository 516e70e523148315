#include "sys/StandardStreams.h"

#include <cstdio>
#include <initializer_list>
#include <windows.h>

namespace kw {

void OpenMissingStandardStreams() {
    // A program of the window subsystem usually starts without standard handles: its streams
    // go to the null device, so that a write to them goes nowhere rather than failing.
    struct Stream {
        DWORD handle;
        FILE* stream;
        const char* mode;
    };
    for (const Stream& s :
         {Stream{STD_INPUT_HANDLE, stdin, "r"}, Stream{STD_OUTPUT_HANDLE, stdout, "w"},
          Stream{STD_ERROR_HANDLE, stderr, "w"}}) {
        const HANDLE h = ::GetStdHandle(s.handle);
        if (h == nullptr || h == INVALID_HANDLE_VALUE)
            std::freopen("NUL", s.mode, s.stream);
    }
}

} // namespace kw
