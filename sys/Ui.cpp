#include "sys/Ui.h"

#include <cstdio>

namespace kw {

namespace {
MessageSink* gSink = nullptr;
} // namespace

void MsgBox(const std::string& text, const std::string& title, MsgIcon icon) {
    (gSink ? *gSink : PlatformMessageSink()).Show(text, title, icon);
}

void SetMessageSink(MessageSink* sink) {
    gSink = sink;
}

void StderrMessageSink::Show(const std::string& text, const std::string& title, MsgIcon) {
    std::string out = title + ": ";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

} // namespace kw
