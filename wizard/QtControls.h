// The core's captions, window and list, shown in Qt widgets.
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

/// The application's event loop, and the window's flag that says its close was asked for.
class QtWindow final : public Window {
public:
    explicit QtWindow(const bool& closed) : closed_(closed) {}
    void ProcessEvents() override;
    bool Closed() const override { return closed_; }

private:
    const bool& closed_;
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
