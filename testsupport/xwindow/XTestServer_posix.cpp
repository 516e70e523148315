#include "testsupport/xwindow/XTestServer.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

extern char** environ;

namespace kw::test {

namespace {

/// Reads into `pending` until it holds a line end; false at the end or after `seconds`.
bool ReadUntilLineEnd(int fd, std::string& pending, int seconds) {
    while (pending.find('\n') == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, seconds * 1000) <= 0)
            return false;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        pending.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

std::optional<std::string> TakeLine(std::string& pending) {
    const std::size_t end = pending.find('\n');
    if (end == std::string::npos)
        return std::nullopt;
    std::string line = pending.substr(0, end);
    pending.erase(0, end + 1);
    return line;
}

pid_t Spawn(const std::vector<std::string>& argv, posix_spawn_file_actions_t* actions) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, args[0], actions, nullptr, args.data(), environ) != 0)
        return -1;
    return pid;
}

void EndProcess(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

std::optional<ChildProcess> ChildProcess::Start(const std::vector<std::string>& argv) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return std::nullopt;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const pid_t pid = Spawn(argv, &actions);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    if (pid < 0) {
        ::close(in[1]);
        ::close(out[0]);
        return std::nullopt;
    }
    return ChildProcess(pid, in[1], out[0]);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_), in_(other.in_), out_(other.out_), pending_(std::move(other.pending_)) {
    other.pid_ = -1;
    other.in_ = other.out_ = -1;
}

ChildProcess::~ChildProcess() {
    if (in_ >= 0)
        ::close(in_); // the helpers end when their input closes
    EndProcess(pid_);
    if (out_ >= 0)
        ::close(out_);
}

std::optional<std::string> ChildProcess::ReadLine(int seconds) {
    ReadUntilLineEnd(out_, pending_, seconds);
    return TakeLine(pending_);
}

std::unique_ptr<XvfbServer> XvfbServer::Start(std::string& why) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        why = "no pipe";
        return nullptr;
    }
    // Xvfb picks a free display number itself and writes it to descriptor 3 once it listens.
    // Without -noreset it resets whenever its last client leaves, and a client that connects
    // in that moment is turned away.
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const pid_t pid = Spawn(
        {"Xvfb", "-displayfd", "3", "-noreset", "-nolisten", "tcp", "-screen", "0", "1024x768x24"},
        &actions);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    std::string number;
    const bool up = pid > 0 && ReadUntilLineEnd(ready[0], number, 30);
    ::close(ready[0]);
    if (!up) {
        why = pid > 0 ? "Xvfb did not come up" : "Xvfb is not installed";
        EndProcess(pid);
        return nullptr;
    }
    const char* old = std::getenv("DISPLAY");
    std::optional<std::string> oldDisplay = old ? std::optional<std::string>(old) : std::nullopt;
    // Appended rather than ":" + ..., which g++ 12 -O3 misreads as an overlapping copy.
    const std::string display = std::string(":").append(*TakeLine(number));
    ::setenv("DISPLAY", display.c_str(), 1);
    return std::unique_ptr<XvfbServer>(new XvfbServer(pid, std::move(oldDisplay)));
}

XvfbServer::~XvfbServer() {
    EndProcess(pid_);
    if (oldDisplay_)
        ::setenv("DISPLAY", oldDisplay_->c_str(), 1);
    else
        ::unsetenv("DISPLAY");
}

std::optional<TestWindow> TestWindow::Open(const std::string& className, const std::string& title) {
    std::optional<ChildProcess> helper = ChildProcess::Start({KW_XWINDOW_PATH, className, title});
    if (!helper)
        return std::nullopt;
    const std::optional<std::string> id = helper->ReadLine(30);
    if (!id)
        return std::nullopt;
    const unsigned window = static_cast<unsigned>(std::strtoul(id->c_str(), nullptr, 10));
    return TestWindow(std::move(*helper), window);
}

bool TestWindow::Urgent() const {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    bool urgent = false;
    if (!xcb_connection_has_error(c)) {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, id_, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9), nullptr);
        if (reply && xcb_get_property_value_length(reply) >= 4) {
            std::uint32_t flags = 0;
            std::memcpy(&flags, xcb_get_property_value(reply), sizeof flags);
            urgent = (flags & (1u << 8)) != 0;
        }
        std::free(reply);
    }
    xcb_disconnect(c);
    return urgent;
}

} // namespace kw::test
