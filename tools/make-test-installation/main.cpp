// make-test-installation <folder>: a complete installation of the pictogram program to update.
#include "sys/Failure.h"
#include "tools/make-test-installation/TestInstallation.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Gebruik: make-test-installation <map>\n");
        return 2;
    }
    try {
        kw::CreateTestInstallation(argv[1]);
    } catch (const kw::Failure& e) {
        std::fprintf(stderr, "make-test-installation: %s\n", e.what());
        return 1;
    }
    return 0;
}
