// The update's steps, shared by the wizard and the command-line modes: what each step checks,
// changes and shows, without any window. A front end hands in its labels, list and window
// through the seams of sys/Ui.h and keeps only its widgets, its layout and the step switch.
#pragma once

#include "sys/Ui.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kw {

/// The database file of an installation folder (ending with the separator).
std::string DatabaseFile(const std::string& folder);

/// The installation's database, open for one piece of work and closed again on every road out
/// of it. Only one connection exists at a time; opening this one closes any other.
class ScopedConnection {
public:
    /// Connects to DatabaseFile(folder); a failure is shown and logged by Connect.
    explicit ScopedConnection(const std::string& folder);
    ~ScopedConnection() { Close(); }
    ScopedConnection(const ScopedConnection&) = delete;
    ScopedConnection& operator=(const ScopedConnection&) = delete;
    bool IsOpen() const;
    /// Closes it before the end of the scope; closing twice is harmless.
    void Close();
};

/// The two status rows of a wizard step (an action name and its result each) and the window
/// that they lie in. Each long operation gets its row's result label, whose event passes go to
/// the window; once the window has been closed, the next pass ends the operation through its
/// failure road.
struct StepRows {
    std::array<Caption*, 2> action{};
    std::array<Caption*, 2> result{};
    Window* window = nullptr;
};

/// Step 1: names the row and, with `search`, looks for the installation in the default places
/// and shows it, or that it was not found. The folder found (empty text when none), or nothing
/// without `search`.
std::optional<std::string> LocateInstallation(StepRows& rows, bool search);

/// A folder that the user chose (ending with the separator): shows it when it holds the
/// installation, else that the installation was not found. True when it holds one.
bool ChooseInstallation(const std::string& folder, StepRows& rows);

/// Step 2: the target program must not run, the database must open, the payload's number range
/// is cleared from it, and the disk must have room. True when every check passed.
bool CheckInstallation(const std::string& folder, StepRows& rows);

/// Step 3: writes the files, then updates the database. True when both succeeded.
bool UpdateInstallation(const std::string& folder, StepRows& rows);

/// Step 4: fills the list with the pictograms that were added.
void ListAddedPictograms(const std::string& folder, ListBox& list);

/// Kilobytes (1024 bytes) that the current user may still write on the volume holding path,
/// capped at 2147483647, with one log record naming the volume. Returns -1 when the volume
/// can't be queried (an empty or missing path, for instance) and logs two failure records.
std::int32_t AvailableDiskSpace(const std::string& path);

} // namespace kw
