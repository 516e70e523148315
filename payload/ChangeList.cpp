#include "db/Database.h"
#include "log/Log.h"
#include "payload/Catalogue.h"
#include "payload/Failures.h"
#include "payload/PayloadOperations.h"
#include "payload/Resources.h"
#include "sys/Failure.h"

namespace kw {

void ListChanges(ListBox& list) {
    try {
        const std::int32_t count = ToInt32(LoadResString(kCountId));
        for (std::int32_t i = 1; i <= count; ++i) {
            const std::string name = LoadResString(NameId(i - 1));
            const std::string cat = LoadResString(CategoryId(i - 1));
            std::unique_ptr<Recordset> rs =
                OpenRSBySQL("SELECT omschrijving FROM categorie WHERE nr=" + cat, true);
            if (!rs)
                throw Failure("Slechte categorie bij pictogram " + name);
            const std::string category = FieldToText(rs->Field("omschrijving"));
            CloseRS(rs.get());
            list.AddItem("pictogram '" + name + "' in categorie '" + category + "'");
        }
    } catch (...) {
        const std::string description = CurrentDescription();
        LogRecordSafely("ListChanges() : " + description);
        list.Clear();
        list.AddItem(description);
    }
}

} // namespace kw
