#include "wizard/QtControls.h"

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>

namespace kw {

void QtCaption::SetCaption(const std::string& caption) {
    label_.setText(QString::fromStdString(caption));
}

void QtWindow::ProcessEvents() {
    QCoreApplication::processEvents();
}

void QtListBox::AddItem(const std::string& line) {
    list_.addItem(QString::fromStdString(line));
}

void QtListBox::Clear() {
    list_.clear();
}

} // namespace kw
