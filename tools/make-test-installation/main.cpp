// make-test-installation [--sqlite] <folder>: a complete installation of the pictogram program to
// update, with its database as an Access file (as the program ships it) or, for the tests that
// look inside with SQLite, an SQLite file with the same tables.
#include "sys/Failure.h"
#include "tools/make-test-installation/TestInstallation.h"

#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
    const bool sqlite = argc == 3 && std::string_view(argv[1]) == "--sqlite";
    if (argc != 2 && !sqlite) {
        std::fprintf(stderr, "Gebruik: make-test-installation [--sqlite] <map>\n");
        return 2;
    }
    try {
        kw::CreateTestInstallation(argv[argc - 1], sqlite ? kw::DemoDatabaseKind::Sqlite
                                                          : kw::DemoDatabaseKind::Access);
    } catch (const kw::Failure& e) {
        std::fprintf(stderr, "make-test-installation: %s\n", e.what());
        return 1;
    }
    return 0;
}
