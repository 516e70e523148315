// The few user-interface seams that the core needs: message boxes, status labels and a list.
// The core never includes Qt; the wizard and the command line provide the implementations.
#pragma once

#include <string>

namespace kw {

enum class MsgIcon { None, Warning };

/// Shows one modal message box with a single OK button.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    /// Blocks until the user has dismissed the box (or returns at once where nobody can).
    virtual void Show(const std::string& text, const std::string& title, MsgIcon icon) = 0;
};

/// Shows a message box through the sink chosen at start-up (the platform's until one is set).
void MsgBox(const std::string& text, const std::string& title, MsgIcon icon = MsgIcon::None);

/// The platform's sink: standard error on POSIX, so that the command-line modes never need a
/// display; real message boxes on Windows, where even the command-line modes show them.
MessageSink& PlatformMessageSink();

/// Chooses the sink for every later MsgBox call; nullptr returns to the platform's.
/// The caller keeps ownership and must keep the sink alive while it is set.
void SetMessageSink(MessageSink* sink);

/// The program's title, used on every message box but the log's own.
inline constexpr const char* kProgramTitle = "Kwastor";

/// Writes message boxes to standard error as "title: text", each CR LF turned into a line end,
/// so that the command-line modes never need a display.
class StderrMessageSink final : public MessageSink {
public:
    void Show(const std::string& text, const std::string& title, MsgIcon icon) override;
};

/// A text label of the window.
class Caption {
public:
    virtual ~Caption() = default;
    virtual void SetCaption(const std::string& caption) = 0;
};

/// A text label that a long operation writes its progress into.
class StatusLabel : public Caption {
public:
    /// Lets the window repaint and handle input once.
    virtual void ProcessEvents() = 0;
};

/// The window that the update's steps work in.
class Window {
public:
    virtual ~Window() = default;
    /// Lets the window repaint and handle input once.
    virtual void ProcessEvents() = 0;
    /// True once the user has closed the window.
    virtual bool Closed() const = 0;
};

/// The list that the change list fills.
class ListBox {
public:
    virtual ~ListBox() = default;
    virtual void AddItem(const std::string& line) = 0;
    virtual void Clear() = 0;
};

} // namespace kw
