#include "sys/FolderDialog.h"

#include "sys/Path.h"

namespace kw {

namespace {

FolderPicker& Picker() {
    static FolderPicker picker;
    return picker;
}

} // namespace

void SetFolderPicker(FolderPicker picker) {
    Picker() = std::move(picker);
}

std::string BrowseForFolder(const std::string& start) {
    const std::string chosen = Picker() ? Picker()(start) : ShowFolderDialog(start);
    // The separator goes on unconditionally, as the rest of the program expects of a folder.
    return chosen.empty() ? std::string() : chosen + kPathSeparator;
}

} // namespace kw
