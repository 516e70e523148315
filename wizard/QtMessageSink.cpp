#include "wizard/QtMessageSink.h"

#include <QMessageBox>

namespace kw {

void QtMessageSink::Show(const std::string& text, const std::string& title, MsgIcon icon) {
    QMessageBox box(icon == MsgIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok);
    // Messages hold paths and statements: never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace kw
