// kwastor-jet: shows what is in an Access database file (Jet 3 or Jet 4).
#include "tools/kwastor-jet/Commands.h"

#include "db/jet/JetError.h"

#include <cstring>
#include <iostream>

namespace {

using kw::jet::tool::Arguments;

struct Command {
    const char* name;
    const char* usage; // after the command name
    std::size_t positional;
    int (*run)(const Arguments&);
};

// One row per command; new commands add theirs here.
constexpr Command kCommands[] = {
    {"dump", "FILE [--password P] [--system] [--file-order]", 1, kw::jet::tool::Dump},
    {"info", "FILE [--password P]", 1, kw::jet::tool::Info},
    {"check", "FILE [--password P]", 1, kw::jet::tool::Check},
    {"keys", "FILE TABLE INDEX [--password P]", 3, kw::jet::tool::Keys},
};

int Usage() {
    std::cerr << "Usage:\n";
    for (const Command& c : kCommands) {
        std::cerr << "  kwastor-jet " << c.name << " " << c.usage << "\n";
    }
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) != 0) {
            continue;
        }
        Arguments args;
        for (int i = 2; i < argc; ++i) {
            if (std::strcmp(argv[i], "--password") == 0 && i + 1 < argc) {
                args.password = argv[++i];
            } else if (std::strcmp(argv[i], "--system") == 0) {
                args.system = true;
            } else if (std::strcmp(argv[i], "--file-order") == 0) {
                args.fileOrder = true;
            } else {
                args.positional.emplace_back(argv[i]);
            }
        }
        if (args.positional.size() != c.positional) {
            return Usage();
        }
        try {
            return c.run(args);
        } catch (const kw::jet::JetError& e) {
            std::cout.flush();
            std::cerr << "kwastor-jet: " << e.what() << "\n";
            return 1;
        }
    }
    return Usage();
}
