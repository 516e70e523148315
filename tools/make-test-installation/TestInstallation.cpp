#include "tools/make-test-installation/TestInstallation.h"

#include "sys/Failure.h"
#include "tools/make-test-installation/DemoDatabase.h"

#include <filesystem>
#include <fstream>

namespace kw {

namespace fs = std::filesystem;

void CreateTestInstallation(const std::string& folder) {
    const fs::path root(folder);
    std::error_code ec;
    if (fs::exists(root, ec)) {
        if (!fs::is_directory(root, ec))
            throw Failure("'" + folder + "' bestaat al en is geen map");
        if (!fs::is_empty(root, ec))
            throw Failure(
                "Map '" + folder +
                "' is niet leeg; een testinstallatie komt alleen in een lege of nieuwe map");
    }
    for (const char* sub : {"pictogrammen", "geluiden/man", "geluiden/vrouw", "thumbs"}) {
        fs::create_directories(root / sub, ec);
        if (ec)
            throw Failure("Map '" + (root / sub).string() +
                          "' kan niet aangemaakt worden: " + ec.message());
    }
    // Only its presence marks the folder as an installation; nobody runs it.
    std::ofstream exe(root / "Vondelux.exe", std::ios::binary);
    exe << "Vondelux (testinstallatie)\n";
    if (!exe.flush())
        throw Failure("'" + (root / "Vondelux.exe").string() + "' kan niet geschreven worden");
    CreateDemoDatabase((root / "picbase.pbd").string());
}

} // namespace kw
