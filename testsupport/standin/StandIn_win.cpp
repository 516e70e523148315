#include "testsupport/standin/StandIn.h"

#include <windows.h>

namespace kw::test {

std::unique_ptr<StandIn> StandIn::Start(const std::string& className, const std::string& title) {
    char self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string program(self, length);
    program.erase(program.find_last_of('\\') + 1);
    program += "vondelux-standin.exe";
    std::string commandLine = '"' + program + "\" \"" + className + "\" \"" + title + '"';
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process))
        return nullptr;
    ::CloseHandle(process.hThread);
    // Idle means its message loop waits: the window is there.
    if (::WaitForInputIdle(process.hProcess, 30000) != 0) {
        ::TerminateProcess(process.hProcess, 1);
        ::CloseHandle(process.hProcess);
        return nullptr;
    }
    return std::unique_ptr<StandIn>(new StandIn(process.hProcess));
}

StandIn::~StandIn() {
    ::TerminateProcess(process_, 0);
    ::WaitForSingleObject(process_, 10000);
    ::CloseHandle(process_);
}

} // namespace kw::test
