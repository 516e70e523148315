#include "sys/FolderDialog.h"

#include <QFileDialog>

namespace kw {

std::string ShowFolderDialog(const std::string& start) {
    // No owner: the dialog belongs to the desktop, not to the wizard window.
    return QFileDialog::getExistingDirectory(
               nullptr, QStringLiteral("Wijs de Merodaan directory aan"),
               QString::fromStdString(start), QFileDialog::ShowDirsOnly)
        .toStdString();
}

} // namespace kw
