// The action log: one time-stamped record per printf call, in the ANSI code page, CR LF line
// ends. The file is opened by the first record, which first moves an older log to "<name>.bak".
// The log is locked for the writer's lifetime, so that a second run never takes over a live log.
#pragma once

#include "sys/Clock.h"
#include "sys/File.h"

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace kw {

/// A value that printf can convert: text (UTF-8), a 16- or 32-bit whole number, a double, or a
/// date-time.
using LogValue = std::variant<std::string, std::int16_t, std::int32_t, double, DateTime>;

/// Raised by printf for a conversion without a value left ("subscript out of range") or with a
/// value that can't be converted ("type mismatch"). Nothing has been written when it is raised.
class LogFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Formats the text of one record (without its stamp): backslash escapes \\ \n \t, percent
/// conversions %% %d %s %f. Raises LogFormatError as printf does; surplus values are ignored.
std::string FormatLogText(std::string_view sFormat, std::span<const LogValue> param);

class Log {
public:
    /// A log that takes its time from clock and writes through the file operations in use.
    explicit Log(Clock& clock = SystemClock());
    /// Writes the end record when the file is open.
    ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    void SetFilename(const std::string& sFilename) { filename_ = sFilename; }
    const std::string& Filename() const { return filename_; }
    /// Whether the file was created (it holds this run's records, as far as they were written).
    bool Opened() const { return opened_; }

    /// Appends one record. Failures of the log itself show one message box and close the log for
    /// the rest of the run; they never reach the caller. Raises LogFormatError (see above).
    void printf(std::string_view sFormat, std::span<const LogValue> param = {});

    template <class... V>
    requires(sizeof...(V) > 0 && (std::is_constructible_v<LogValue, const V&> &&
                                  ...)) void printf(std::string_view sFormat, const V&... values) {
        const LogValue param[] = {LogValue(values)...};
        printf(sFormat, std::span<const LogValue>(param));
    }

    /// Writes "Logging ended." and closes the file, if it is open; afterwards nothing is written.
    void Terminate();

private:
    enum class State { New, Failed, Open, Closed };

    bool init();
    void OpenLog();
    bool RotateAndCreate();
    void Write(const std::string& bytes);

    Clock& clock_;
    std::string filename_;
    State state_ = State::New;
    FileHandle file_ = kInvalidFile;
    bool started_ = false;
    bool opened_ = false;
};

/// The run's one log. Main creates it and names its file; its release writes the end record.
extern std::unique_ptr<Log> gLog;

/// Writes one record to gLog with line as printf's format, as the failure handlers log their
/// descriptions, paths and statements. When the line asks for values that it doesn't have (a
/// "%d" inside a folder name or a statement), it is written again with its percent signs and
/// backslashes taken literally, so that a failure path never raises.
void LogRecordSafely(const std::string& line);

} // namespace kw
