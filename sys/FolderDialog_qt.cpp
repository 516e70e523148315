#include "sys/FolderDialog.h"

#include "sys/Path.h"

#include <QFileDialog>

namespace kw {

namespace {

std::string ShowDialog(const std::string& start) {
    // No owner: the dialog belongs to the desktop, not to the wizard window.
    return QFileDialog::getExistingDirectory(
               nullptr, QStringLiteral("Wijs de Merodaan directory aan"),
               QString::fromStdString(start), QFileDialog::ShowDirsOnly)
        .toStdString();
}

FolderPicker& Picker() {
    static FolderPicker picker;
    return picker;
}

} // namespace

void SetFolderPicker(FolderPicker picker) {
    Picker() = std::move(picker);
}

std::string BrowseForFolder(const std::string& start) {
    const std::string chosen = Picker() ? Picker()(start) : ShowDialog(start);
    // The separator goes on unconditionally, as the rest of the program expects of a folder.
    return chosen.empty() ? std::string() : chosen + kPathSeparator;
}

} // namespace kw
