// The folder dialog in which the user points out the installation.
#pragma once

#include <functional>
#include <string>

namespace kw {

/// Shows a modal folder dialog titled "Wijs de Merodaan directory aan" in which only file-system
/// folders can be chosen, opening in `start` (the platform's choice when empty). Returns the
/// chosen folder with the separator appended (so the root comes back as "//"), or empty text
/// when the user cancels.
std::string BrowseForFolder(const std::string& start);

/// What stands in for the user in the dialog: given the folder it opens in, returns the chosen
/// folder without a trailing separator, or empty text for a cancel.
using FolderPicker = std::function<std::string(const std::string& start)>;

/// Puts another picker in place of the dialog (an empty one restores the dialog). For tests.
void SetFolderPicker(FolderPicker picker);

/// The platform's dialog, as BrowseForFolder shows it: the chosen folder without a trailing
/// separator, or empty text for a cancel.
std::string ShowFolderDialog(const std::string& start);

} // namespace kw
