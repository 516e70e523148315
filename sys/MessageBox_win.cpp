#include "sys/Ui.h"

#include "sys/CodePage.h"

#include <windows.h>

namespace kw {

namespace {

class WindowsMessageSink final : public MessageSink {
public:
    void Show(const std::string& text, const std::string& title, MsgIcon icon) override {
        // No owner: a command-line mode has no window, and a message of the wizard's steps is
        // modal to the whole task all the same.
        const UINT style = MB_OK | MB_TASKMODAL | MB_SETFOREGROUND |
                           (icon == MsgIcon::Warning ? MB_ICONEXCLAMATION : 0);
        ::MessageBoxA(nullptr, ToSystemText(text).c_str(), ToSystemText(title).c_str(), style);
    }
};

} // namespace

MessageSink& PlatformMessageSink() {
    // Never destroyed, like the log that may still need it while statics are being destroyed.
    static MessageSink* sink = new WindowsMessageSink;
    return *sink;
}

} // namespace kw
