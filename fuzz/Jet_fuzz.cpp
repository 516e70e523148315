// Any bytes as an Access database give a dump and a check, or a JetError that says what is
// wrong; never a read outside the file, a crash or a hang.
#include "db/jet/Check.h"
#include "db/jet/Dump.h"
#include "db/jet/Jet.h"

#include <cstdint>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const auto db = kw::jet::Database::Open(
            kw::jet::PageFile::InMemory(std::vector<std::uint8_t>(data, data + size)), "", 4);
        std::ostringstream out;
        kw::jet::WriteDump(*db, out);
        (void)kw::jet::Check(*db);
        for (const kw::jet::TableDef& t : db->Tables(true)) {
            db->ForEachRow(t, [&](kw::jet::RowId id, const std::vector<kw::jet::Value>&) {
                (void)db->ReadRow(t, id);
            });
        }
    } catch (const kw::jet::JetError&) {
    }
    return 0;
}
