// A complete installation of the pictogram program for tests, tools and benchmarks: the program
// file, the demo database and the four empty media folders.
#pragma once

#include "tools/make-test-installation/DemoDatabase.h"

#include <string>

namespace kw {

/// Creates the installation in folder (created when missing): an ordinary file "Vondelux.exe",
/// the demo database "picbase.pbd" of the given kind, and the empty folders pictogrammen,
/// geluiden/man, geluiden/vrouw and thumbs. Raises Failure, without touching anything in it, when
/// the folder isn't empty or is no folder; raises Failure when it can't be created.
void CreateTestInstallation(const std::string& folder,
                            DemoDatabaseKind kind = DemoDatabaseKind::Sqlite);

} // namespace kw
