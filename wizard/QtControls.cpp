#include "wizard/QtControls.h"

#include "sys/Failure.h"

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>

namespace kw {

void QtStatusLabel::SetCaption(const std::string& caption) {
    label_.setText(QString::fromStdString(caption));
}

void QtStatusLabel::ProcessEvents() {
    QCoreApplication::processEvents();
    if (closed_)
        throw Failure("Het bijwerken is afgebroken: het venster is gesloten.");
}

void QtListBox::AddItem(const std::string& line) {
    list_.addItem(QString::fromStdString(line));
}

void QtListBox::Clear() {
    list_.clear();
}

} // namespace kw
