// The core's captions and list, shown in Qt widgets.
#pragma once

#include "sys/Ui.h"

class QLabel;
class QListWidget;

namespace kw {

/// A caption over a QLabel.
class QtCaption final : public Caption {
public:
    explicit QtCaption(QLabel& label) : label_(label) {}
    void SetCaption(const std::string& caption) override;

private:
    QLabel& label_;
};

class QtListBox final : public ListBox {
public:
    explicit QtListBox(QListWidget& list) : list_(list) {}
    void AddItem(const std::string& line) override;
    void Clear() override;

private:
    QListWidget& list_;
};

} // namespace kw
