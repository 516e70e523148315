#include "sys/Ui.h"

namespace kw {

MessageSink& PlatformMessageSink() {
    // Never destroyed, like the log that may still need it while statics are being destroyed.
    static MessageSink* sink = new StderrMessageSink;
    return *sink;
}

} // namespace kw
