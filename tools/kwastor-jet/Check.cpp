#include "db/jet/Check.h"
#include "db/jet/Dump.h"
#include "db/jet/IndexTree.h"
#include "db/jet/JetError.h"
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
    const std::optional<TableDef> table = db->FindTable(args.positional[1]);
    if (!table)
        throw JetError("The database has no table named " + args.positional[1] + ".");
    const IndexData* data = nullptr;
    for (const LogicalIndex& li : table->indexes)
        for (const IndexData& d : table->indexData)
            if (SameName(li.name, args.positional[2]) && d.number == li.dataNumber)
                data = &d;
    if (!data)
        throw JetError("Table " + table->name + " has no index named " + args.positional[2] + ".");

    IndexPages pages(*db);
    ForEachIndexEntry(pages, *table, *data, [&](const IndexEntry& e, std::uint32_t) {
        std::cout << HexOf(e.key) << "\t" << e.row.page << ":" << e.row.row;
        const auto values = db->ReadRow(*table, e.row);
        for (const IndexColumn& ic : data->columns) {
            std::cout << "\t";
            for (std::size_t i = 0; values && i < table->columns.size(); ++i)
                if (table->columns[i].number == ic.columnNumber)
                    std::cout << FormatValue(table->columns[i], (*values)[i]);
            if (!values)
                std::cout << "(no row)";
        }
        std::cout << "\n";
    });
    return 0;
}

} // namespace kw::jet::tool
