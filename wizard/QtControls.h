// The core's status label and list, shown in Qt widgets.
#pragma once

#include "sys/Ui.h"

class QLabel;
class QListWidget;

namespace kw {

/// A status label over a QLabel. Each event pass lets the window repaint; when the window was
/// closed meanwhile, the pass raises Failure so that the running operation ends through its
/// own failure handler.
class QtStatusLabel final : public StatusLabel {
public:
    /// `closed` is the window's flag that says its close was asked for.
    QtStatusLabel(QLabel& label, const bool& closed) : label_(label), closed_(closed) {}
    void SetCaption(const std::string& caption) override;
    /// Raises Failure when the window has been closed.
    void ProcessEvents() override;

private:
    QLabel& label_;
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
