#include "wizard/QtControls.h"

#include <QLabel>
#include <QListWidget>

namespace kw {

void QtCaption::SetCaption(const std::string& caption) {
    label_.setText(QString::fromStdString(caption));
}

void QtListBox::AddItem(const std::string& line) {
    list_.addItem(QString::fromStdString(line));
}

void QtListBox::Clear() {
    list_.clear();
}

} // namespace kw
