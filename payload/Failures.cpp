#include "payload/Failures.h"

#include "log/Log.h"
#include "sys/Ui.h"

namespace kw {

std::string CurrentDescription() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Onbekende fout";
    }
}

void ShowAndLog(const char* operation, const std::string& description) {
    MsgBox(description, kProgramTitle, MsgIcon::None);
    LogRecordSafely(std::string(operation) + "() : " + description);
}

} // namespace kw
