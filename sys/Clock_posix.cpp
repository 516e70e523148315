#include "sys/Clock.h"

#include <ctime>

namespace kw {

namespace {
class PosixClock final : public Clock {
public:
    DateTime Now() override {
        std::time_t t = std::time(nullptr);
        std::tm tm{};
        localtime_r(&t, &tm);
        return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    }
};
} // namespace

Clock& SystemClock() {
    // Never destroyed: the log's end record may be written while the program's statics are
    // being destroyed (an exit() from inside the toolkit), and it needs these.
    static PosixClock* clock = new PosixClock;
    return *clock;
}

} // namespace kw
