// Starts the Vondelux stand-in (vondelux-standin.exe, beside the test) for the Windows tests and
// ends it again.
#pragma once

#include <memory>
#include <string>

namespace kw::test {

class StandIn {
public:
    /// Starts the stand-in with a top-level window of that class and title and returns once the
    /// window is up; null when it did not come up.
    static std::unique_ptr<StandIn> Start(const std::string& className, const std::string& title);
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

private:
    explicit StandIn(void* process) : process_(process) {}
    void* process_;
};

} // namespace kw::test
