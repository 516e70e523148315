#include "db/jet/Check.h"
#include "db/jet/IndexTree.h"
#include "tools/kwastor-jet/Commands.h"

#include <iostream>

namespace kw::jet::tool {

int Check(const Arguments& args) {
    const auto db = Database::Open(args.positional[0], args.password);
    const std::vector<Finding> findings = kw::jet::Check(*db);
    bool sound = true;
    for (const Finding& f : findings) {
        std::cout << f.ToString() << "\n";
        sound = sound && !f.IsFault();
    }
    if (sound)
        std::cout << "sound\n";
    return sound ? 0 : 1;
}

int Keys(const Arguments& args) {
    const auto db = Database::Open(args.positional[0], args.password);
    WriteIndexKeys(*db, args.positional[1], args.positional[2], std::cout);
    return 0;
}

} // namespace kw::jet::tool
