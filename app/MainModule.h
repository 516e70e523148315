// Start-up and the command line: the wizard without arguments, otherwise one of two modes.
#pragma once

#include <string>

namespace kw {

/// Exit statuses: a mode succeeded or the wizard was closed; a mode failed (or no display for
/// the wizard); the usage text was shown.
enum ExitStatus : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

/// The program: creates gLog, runs a mode or the wizard, ends the log. Returns the exit status.
int Main(int argc, char** argv);

/// Runs the mode that the command line names, or shows the usage text. Returns the exit status.
int HandleCommandLine(const std::string& commandLine);

void ShowUsage();

/// Writes all files into folder; false (after a message box) when that failed.
bool RunFilesMode(const std::string& folder);

/// Updates the database in folder; false (after a message box) when that failed.
bool RunDatabaseMode(const std::string& folder);

} // namespace kw
