// Wall-clock time, behind a seam so that tests can fix the stamps in the log.
#pragma once

namespace kw {

/// A calendar date with a time of day. A pure time of day has the date 1899-12-30.
struct DateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;

    bool IsTimeOnly() const { return year == 1899 && month == 12 && day == 30; }
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    /// The current local date and time.
    virtual DateTime Now() = 0;
};

/// The system's local time.
Clock& SystemClock();

} // namespace kw
