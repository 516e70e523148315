// For tests that need a real X server: a private Xvfb and windows of the xwindow helper.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kw::test {

/// A child process with its standard input and output on pipes; ended and reaped on release.
class ChildProcess {
public:
    /// Starts argv[0] (looked up in PATH). Nothing when it can't be started.
    static std::optional<ChildProcess> Start(const std::vector<std::string>& argv);
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    ~ChildProcess();
    /// One line of its output without the line end; nothing after `seconds` or at its end.
    std::optional<std::string> ReadLine(int seconds);

private:
    ChildProcess(int pid, int in, int out) : pid_(pid), in_(in), out_(out) {}
    int pid_;
    int in_, out_;
    std::string pending_;
};

/// Xvfb on a free display number, with DISPLAY pointing at it while the object lives.
class XvfbServer {
public:
    /// Null when Xvfb is missing or does not come up; `why` says which.
    static std::unique_ptr<XvfbServer> Start(std::string& why);
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    ~XvfbServer();

private:
    XvfbServer(int pid, std::optional<std::string> oldDisplay)
        : pid_(pid), oldDisplay_(std::move(oldDisplay)) {}
    int pid_;
    std::optional<std::string> oldDisplay_;
};

/// A window of the xwindow helper on the current DISPLAY, open while the object lives.
class TestWindow {
public:
    /// Nothing when the helper fails to open its window.
    static std::optional<TestWindow> Open(const std::string& className, const std::string& title);
    unsigned Id() const { return id_; }
    /// Whether the window's WM_HINTS carry the urgency hint (the flash).
    bool Urgent() const;

private:
    TestWindow(ChildProcess process, unsigned id) : process_(std::move(process)), id_(id) {}
    ChildProcess process_;
    unsigned id_;
};

} // namespace kw::test
