#include "log/Log.h"

#include "log/Ansi.h"
#include "sys/Ui.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kw {

std::unique_ptr<Log> gLog;

namespace {

constexpr std::string_view kLineBreak = "\r\n           "; // CR LF and 11 blanks

[[noreturn]] void Mismatch() {
    throw LogFormatError("Log::printf(): type mismatch");
}

// Days from 1899-12-30, the epoch of the Windows date serial, to the given civil date.
std::int64_t DaysFromEpoch(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569; // 1970-01-01 is serial 25569
}

double ParseNumber(const std::string& text) {
    std::size_t b = text.find_first_not_of(' ');
    std::size_t e = text.find_last_not_of(' ');
    if (b == std::string::npos)
        Mismatch();
    double v = 0;
    const char* first = text.data() + b;
    const char* last = text.data() + e + 1;
    auto [ptr, ec] = std::from_chars(first, last, v);
    if (ec != std::errc() || ptr != last)
        Mismatch();
    return v;
}

double ToDouble(const LogValue& v) {
    struct {
        double operator()(const std::string& s) const { return ParseNumber(s); }
        double operator()(std::int16_t i) const { return i; }
        double operator()(std::int32_t i) const { return i; }
        double operator()(double d) const { return d; }
        double operator()(const DateTime& t) const {
            double days = static_cast<double>(DaysFromEpoch(t.year, t.month, t.day));
            double frac = (t.hour * 3600 + t.minute * 60 + t.second) / 86400.0;
            return days + (days < 0 ? -frac : frac);
        }
    } visit;
    return std::visit(visit, v);
}

std::int32_t ToInt32(const LogValue& v) {
    double d = ToDouble(v);
    if (!std::isfinite(d))
        Mismatch();
    // nearbyint rounds in the default mode: to nearest, a half to the even neighbour.
    double r = std::nearbyint(d);
    if (r < -2147483648.0 || r > 2147483647.0)
        throw LogFormatError("Log::printf(): overflow");
    return static_cast<std::int32_t>(r);
}

std::string DoubleText(double d) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, d);
    return ec == std::errc() ? std::string(buf, ptr) : std::string("?");
}

std::string TwoDigits(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

std::string ToText(const LogValue& v) {
    struct {
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(std::int16_t i) const { return std::to_string(i); }
        std::string operator()(std::int32_t i) const { return std::to_string(i); }
        std::string operator()(double d) const { return DoubleText(d); }
        std::string operator()(const DateTime& t) const {
            if (t.IsTimeOnly())
                return TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
            char buf[32];
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
            return buf;
        }
    } visit;
    return std::visit(visit, v);
}

} // namespace

std::string FormatLogText(std::string_view sFormat, std::span<const LogValue> param) {
    enum { Plain, Escape, Conversion } state = Plain;
    std::size_t next = 0;
    auto take = [&]() -> const LogValue& {
        if (next >= param.size())
            throw LogFormatError("Log::printf(): subscript out of range");
        return param[next++];
    };
    std::string out;
    for (char c : sFormat) {
        switch (state) {
        case Plain:
            if (c == '\\')
                state = Escape;
            else if (c == '%')
                state = Conversion;
            else
                out += c;
            break;
        case Escape:
            if (c == '\\')
                out += '\\';
            else if (c == 'n')
                out += kLineBreak;
            else if (c == 't')
                out += '\t';
            else
                (out += '\\') += c;
            state = Plain;
            break;
        case Conversion:
            if (c == '%')
                out += '%';
            else if (c == 'd')
                out += std::to_string(ToInt32(take()));
            else if (c == 's')
                out += ToText(take());
            else if (c == 'f')
                out += DoubleText(ToDouble(take()));
            state = Plain;
            break;
        }
    }
    return out;
}

Log::Log(Clock& clock) : clock_(clock) {}

Log::~Log() {
    Terminate();
}

void Log::Terminate() {
    if (state_ == State::Open) {
        printf("Logging ended.");
        if (state_ == State::Open)
            Files().Close(file_);
        state_ = State::Closed;
    }
}

bool Log::init() {
    if (state_ == State::New) {
        if (filename_.empty()) {
            MsgBox("No filename supplied.\r\nSupply a filename before logging.", "Log::init()");
            return false;
        }
        OpenLog();
    }
    return state_ == State::Open;
}

void Log::OpenLog() {
    state_ = State::Failed;
    if (!RotateAndCreate())
        MsgBox("Log '" + filename_ + "' couldn't be created.", "Log::OpenLog()");
}

bool Log::RotateAndCreate() {
    FileApi& files = Files();
    // A link, FIFO, device or folder under the log's name is never opened or moved.
    const FileKind kind = files.Kind(filename_);
    if (kind != FileKind::Missing && kind != FileKind::Ordinary)
        return false;
    // The previous log is locked while its run lives: that log is left alone. Its lock is held
    // here until the rotation is done, so that no other run can take it meanwhile.
    LockedFile previous(files);
    if (kind == FileKind::Ordinary && !previous.Take(filename_))
        return false;
    // A locked backup is the previous log of a run that is rotating at this moment (its new log
    // may not be locked yet): that run is left to finish.
    const std::string backup = filename_ + ".bak";
    LockedFile oldBackup(files);
    if (!oldBackup.Take(backup) && oldBackup.Opened())
        return false;
    files.Remove(backup); // there may be no backup yet
    // The old log is kept: when it can't become the backup, no new log replaces it.
    if (kind == FileKind::Ordinary && !files.Rename(filename_, backup))
        return false;
    const FileHandle file = files.CreateNew(filename_);
    if (file == kInvalidFile)
        return false;
    if (!files.Lock(file)) {
        files.Close(file);
        files.Remove(filename_);
        return false;
    }
    file_ = file;
    state_ = State::Open;
    opened_ = true;
    return true;
}

void Log::printf(std::string_view sFormat, std::span<const LogValue> param) {
    // Formatting first means a raised conversion error leaves the file and the state untouched.
    std::string text = FormatLogText(sFormat, param);
    if (!init())
        return;
    if (!started_) {
        started_ = true;
        DateTime today = clock_.Now();
        today.hour = today.minute = today.second = 0;
        printf("%s\\nLogging started.", today);
        if (state_ != State::Open)
            return;
    }
    // Taken after the start record, so that its stamp never follows this record's.
    DateTime stamp = clock_.Now();
    stamp.year = 1899, stamp.month = 12, stamp.day = 30;
    std::string record = ToText(stamp) + " - " + text;
    if (!record.ends_with("\r\n"))
        record += "\r\n";
    Write(Utf8ToAnsi(record));
}

void Log::Write(const std::string& bytes) {
    FileApi& files = Files();
    std::int64_t written = files.Write(file_, bytes.data(), bytes.size());
    if (written < 0 || static_cast<std::size_t>(written) != bytes.size()) {
        MsgBox("Writing to log failed.", "Log::printf()");
        files.Close(file_);
        file_ = kInvalidFile;
        state_ = State::Closed;
    }
}

void LogRecordSafely(const std::string& line) {
    try {
        gLog->printf(line);
    } catch (const LogFormatError&) {
        std::string literal;
        for (char c : line) {
            if (c == '%' || c == '\\')
                literal += c;
            literal += c;
        }
        gLog->printf(literal);
    }
}

} // namespace kw
