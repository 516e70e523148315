// The commands of kwastor-jet. Each takes the arguments after its name, writes its result to
// standard output and returns the exit status; a JetError reaches main, which reports it.
#pragma once

#include <string>
#include <vector>

namespace kw::jet::tool {

struct Arguments {
    std::vector<std::string> positional; // after the command name, options removed
    std::string password;                // --password P
    bool system = false;                 // --system
    bool fileOrder = false;              // --file-order
};

int Dump(const Arguments& args);
int Info(const Arguments& args);
int Check(const Arguments& args);
int Keys(const Arguments& args);

} // namespace kw::jet::tool
