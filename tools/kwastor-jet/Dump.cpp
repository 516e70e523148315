#include "db/jet/Dump.h"
#include "tools/kwastor-jet/Commands.h"

#include <iostream>

namespace kw::jet::tool {

int Dump(const Arguments& args) {
    const auto db = Database::Open(args.positional[0], args.password);
    WriteDump(*db, std::cout, args.system, !args.fileOrder);
    return 0;
}

int Info(const Arguments& args) {
    const auto db = Database::Open(args.positional[0], args.password);
    const SortOrder order = db->GetSortOrder();
    std::cout << "file-format\t" << db->FileFormat() << "\nversion\t"
              << (db->GetVersion() == Version::Jet3 ? "Jet 3" : "Jet 4") << "\npage-size\t"
              << db->PageSize() << "\npages\t" << db->PageCount() << "\nsort-order\t" << order.value
              << "(" << order.version << ")\ncode-page\t" << db->CodePage() << "\npassword\t"
              << (db->HasPassword() ? "set" : "none") << "\n";
    for (const TableDef& t : db->Tables()) {
        std::cout << "table\t" << t.name << "\t" << t.rowCount << " rows\ttdef-page " << t.defPage;
        for (const LogicalIndex& x : t.indexes) {
            const IndexData& data = t.indexData[static_cast<std::size_t>(x.dataNumber)];
            std::cout << "\t" << x.name
                      << (x.kind == IndexKind::Primary     ? "(pk)"
                          : data.flags & IndexFlag::Unique ? "(unique)"
                                                           : "")
                      << "[root-page " << data.rootPage << "]";
        }
        std::cout << "\n";
    }
    return 0;
}

} // namespace kw::jet::tool
