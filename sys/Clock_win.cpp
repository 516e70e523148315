#include "sys/Clock.h"

#include <windows.h>

namespace kw {

namespace {
class WindowsClock final : public Clock {
public:
    DateTime Now() override {
        SYSTEMTIME t{};
        ::GetLocalTime(&t);
        return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    }
};
} // namespace

Clock& SystemClock() {
    // Never destroyed: the log's end record may be written while statics are being destroyed.
    static WindowsClock* clock = new WindowsClock;
    return *clock;
}

} // namespace kw
