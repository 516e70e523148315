#include "app/MainModule.h"

#include "app/CommandLine.h"
#include "app/Update.h"
#include "app/WizardModule.h"
#include "log/Log.h"
#include "payload/PayloadOperations.h"
#include "sys/Path.h"
#include "sys/Ui.h"

#include <filesystem>

namespace kw {

int HandleCommandLine(const std::string& commandLine) {
    std::optional<CommandLine> cl = SplitCommandLine(commandLine);
    if (cl && cl->mode == "BESTANDEN")
        return RunFilesMode(cl->folder) ? kExitOk : kExitFailed;
    if (cl && cl->mode == "DATABASE")
        return RunDatabaseMode(cl->folder) ? kExitOk : kExitFailed;
    ShowUsage();
    return kExitUsage;
}

void ShowUsage() {
    MsgBox("Gebruik:\r\n\r\n\tKwastor bestanden <Merodaan-map>\r\n\xC3\xB3"
           "f\tKwastor database <Gebruikers-map>",
           kProgramTitle, MsgIcon::Warning);
}

bool RunFilesMode(const std::string& folder) {
    if (SaveResources(folder, nullptr))
        return true;
    MsgBox("Kopieren van bestanden is mislukt.", kProgramTitle, MsgIcon::Warning);
    return false;
}

bool RunDatabaseMode(const std::string& folder) {
    const std::string path = DatabaseFile(folder);
    ScopedConnection db(folder);
    if (!db.IsOpen()) {
        MsgBox("Kon database '" + path + "' niet openen", kProgramTitle, MsgIcon::Warning);
        return false;
    }
    const bool ok = UpdateDB(nullptr);
    db.Close();
    if (!ok)
        MsgBox("Kon database '" + path + "' niet bewerken", kProgramTitle, MsgIcon::Warning);
    return ok;
}

int Main(int argc, char** argv) {
    gLog = std::make_unique<Log>();
    gLog->SetFilename("Kwastor.log");
    const std::optional<std::string> tail = CommandTail(argc, argv);
    const int status = tail ? HandleCommandLine(Trim(*tail)) : RunWizardModule(argc, argv);
    // A script's user learns where the reason for a failed mode is written.
    if (tail && status == kExitFailed && gLog->Opened())
        MsgBox("Zie het logbestand '" +
                   PathText(std::filesystem::absolute(FilePath(gLog->Filename()))) +
                   "' voor de reden.",
               kProgramTitle);
    gLog.reset(); // writes "Logging ended."
    return status;
}

} // namespace kw
