// Message boxes as real modal dialogs, for the road that has a window.
#pragma once

#include "sys/Ui.h"

namespace kw {

class QtMessageSink final : public MessageSink {
public:
    void Show(const std::string& text, const std::string& title, MsgIcon icon) override;
};

} // namespace kw
