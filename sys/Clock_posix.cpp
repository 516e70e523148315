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
    static PosixClock clock;
    return clock;
}

} // namespace kw
