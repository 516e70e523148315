// A stand-in for a running Vondelux in the Windows tests: a top-level window of the given class
// and title and, when a file is named, that file held open without sharing, as a program that
// has its database open holds it. Prints "ready" once both are in place and runs until its
// window is closed, it is killed, or two minutes have passed (so that it never outlives a test).
//   vondelux-standin <class> <title> [file to hold]
#include <cstdio>
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY || message == WM_TIMER) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: vondelux-standin <class> <title> [file to hold]\n");
        return 2;
    }
    HANDLE held = INVALID_HANDLE_VALUE;
    if (argc == 4) {
        held = ::CreateFileA(argv[3], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "vondelux-standin: can't hold %s (error %lu)\n", argv[3],
                         ::GetLastError());
            return 1;
        }
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = argv[1];
    HWND window = ::RegisterClassA(&windowClass)
                      ? ::CreateWindowA(argv[1], argv[2], WS_OVERLAPPEDWINDOW, 0, 0, 320, 200,
                                        nullptr, nullptr, windowClass.hInstance, nullptr)
                      : nullptr;
    if (!window) {
        std::fprintf(stderr, "vondelux-standin: no window (error %lu)\n", ::GetLastError());
        return 1;
    }
    ::ShowWindow(window, SW_SHOWNOACTIVATE);
    ::SetTimer(window, 1, 120000, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&message);
    if (held != INVALID_HANDLE_VALUE)
        ::CloseHandle(held);
    return 0;
}
