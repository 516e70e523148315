#include "app/WizardModule.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace kw {

namespace {

constexpr const char* kModuleName = "kwastor-wizard.so";

void ShowNotLoaded(const std::string& why) {
    std::fprintf(stderr,
                 "Kwastor: de wizard kan niet geladen worden: %s.\n"
                 "De opdrachtregel heeft hem niet nodig:\n"
                 "  kwastor bestanden <Merodaan-map>\n"
                 "  kwastor database <Gebruikers-map>\n",
                 why.c_str());
    std::fflush(stderr);
}

} // namespace

int RunWizardModule(int& argc, char** argv) {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        ShowNotLoaded("de programmamap is onbekend (" + error.message() + ")");
        return 1;
    }
    const std::string path = (program.parent_path() / kModuleName).string();
    // Loaded for the rest of the run and never closed: Qt keeps threads and handlers of its own.
    // Every symbol is bound now, so that a module from another build fails here, with a message.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        ShowNotLoaded(dlerror());
        return 1;
    }
    using Entry = int (*)(int*, char**);
    auto entry = reinterpret_cast<Entry>(dlsym(module, kWizardEntry));
    if (!entry) {
        ShowNotLoaded(dlerror());
        return 1;
    }
    return entry(&argc, argv);
}

} // namespace kw
