#include "app/Update.h"

#include "db/Database.h"
#include "log/Log.h"
#include "payload/PayloadOperations.h"
#include "sys/DiskSpace.h"
#include "sys/Failure.h"
#include "sys/Installation.h"
#include "sys/RunningProgram.h"

#include <string_view>

namespace kw {

namespace {

const char* const kNotFound = "Vondelux is niet gevonden; kies 'Wijzigen...'";

/// A result label as a long operation sees it: its caption in the row, its event passes in the
/// window, and a closed window raising Failure so that the operation ends through its own
/// failure handler (which closes nothing that its caller keeps open).
class RowLabel final : public StatusLabel {
public:
    RowLabel(Caption& caption, Window& window) : caption_(caption), window_(window) {}
    void SetCaption(const std::string& caption) override { caption_.SetCaption(caption); }
    void ProcessEvents() override {
        window_.ProcessEvents();
        if (window_.Closed())
            throw Failure("Het bijwerken is afgebroken: het venster is gesloten.");
    }

private:
    Caption& caption_;
    Window& window_;
};

/// Names both rows and empties their results.
void StartRows(StepRows& rows, const char* action0, const char* action1) {
    rows.action[0]->SetCaption(action0);
    rows.action[1]->SetCaption(action1);
    rows.result[0]->SetCaption("");
    rows.result[1]->SetCaption("");
}

} // namespace

std::string DatabaseFile(const std::string& folder) {
    return folder + "picbase.pbd";
}

ScopedConnection::ScopedConnection(const std::string& folder) {
    Connect(DatabaseFile(folder));
}

bool ScopedConnection::IsOpen() const {
    return IsConnected();
}

void ScopedConnection::Close() {
    Disconnect();
}

std::optional<std::string> LocateInstallation(StepRows& rows, bool search) {
    rows.action[0]->SetCaption("Locatie van Vondelux");
    if (!search)
        return std::nullopt;
    const std::string folder = FindInstallation();
    rows.result[0]->SetCaption(folder.empty() ? kNotFound : folder);
    return folder;
}

bool ChooseInstallation(const std::string& folder, StepRows& rows) {
    const bool holds = HoldsInstallation(folder);
    rows.result[0]->SetCaption(holds ? folder : kNotFound);
    return holds;
}

bool CheckInstallation(const std::string& folder, StepRows& rows) {
    StartRows(rows, "Integriteit van Vondelux bewaken", "Voldoende schijfruimte");
    Caption& integrity = *rows.result[0];
    Caption& space = *rows.result[1];

    // Under Wine the window class that X sees is the program file's name.
    constexpr std::string_view kProgramClasses[] = {"ThunderRT6MDIForm", "vondelux.exe"};
    if (const WindowId running = FindProgramWindow(kProgramClasses, "Vondelux")) {
        integrity.SetCaption("Vondelux is geopend.");
        FlashWindow(running);
        return false;
    }
    ScopedConnection db(folder);
    if (!db.IsOpen()) {
        integrity.SetCaption("Er is een fout opgetreden tijdens het lezen van Vondelux.");
        return false;
    }
    std::int32_t lowest = 0, highest = 0;
    GetResourceExtremes(lowest, highest);
    if (lowest == 0 || highest == 0) {
        db.Close();
        integrity.SetCaption("Ernstige interne fout. De update kan niet doorgaan.");
        gLog->printf("Fout in stap 2: lowest = %d, highest = %d.\\n", lowest, highest);
        return false;
    }
    const std::string lo = std::to_string(lowest), hi = std::to_string(highest);
    if (ExecuteSQL("DELETE FROM pictogram WHERE (nr>=" + lo + " AND nr<=" + hi + ")") < 0) {
        db.Close();
        integrity.SetCaption("Fout tijdens bewaking.");
        gLog->printf("Fout in stap 2: ExecuteSQL() (1).\\n");
        return false;
    }
    const std::int32_t links =
        ExecuteSQL("DELETE FROM categorie_pictogram WHERE (pictogram_nr>=" + lo +
                   " AND pictogram_nr<=" + hi + ")");
    db.Close();
    if (links < 0) {
        integrity.SetCaption("Fout tijdens bewaking.");
        gLog->printf("Fout in stap 2: ExecuteSQL() (2).\\n");
        return false;
    }
    integrity.SetCaption("In orde.");

    const std::int32_t available = AvailableDiskSpace(folder);
    const std::int32_t needed = NeededDiskSpace();
    // A payload that can't be measured (its failure value is -1) is damaged: letting it pass
    // the comparison would report success and fail halfway through writing the files.
    if (needed < 0) {
        space.SetCaption("Ernstige interne fout. De update kan niet doorgaan.");
        gLog->printf("Fout in stap 2: NeededDiskSpace() (%d).\\n", needed);
        return false;
    }
    if (available < needed) {
        space.SetCaption("Te weinig schijfruimte.");
        gLog->printf("Fout in stap 2: te weinig schijfruimte.\\n");
        return false;
    }
    space.SetCaption("In orde.");
    gLog->printf("Stap 2 met succes doorlopen.\\n");
    return true;
}

bool UpdateInstallation(const std::string& folder, StepRows& rows) {
    StartRows(rows, "Kopieren van bestanden", "Bijwerken van Vondelux");
    RowLabel files(*rows.result[0], *rows.window);
    RowLabel database(*rows.result[1], *rows.window);

    if (!SaveResources(folder, &files)) {
        gLog->printf("Fout in stap 3: bestanden konden niet worden opgeslagen.\\n");
        return false;
    }
    files.SetCaption("Gereed.");
    bool updated;
    {
        // UpdateDB finds out itself when the connection did not open.
        ScopedConnection db(folder);
        updated = UpdateDB(&database);
    }
    if (!updated) {
        gLog->printf("Fout in stap 3: database kon niet worden bijgewerkt.\\n");
        return false;
    }
    database.SetCaption("Gereed.");
    gLog->printf("Stap 3 met succes doorlopen.");
    return true;
}

void ListAddedPictograms(const std::string& folder, ListBox& list) {
    ScopedConnection db(folder);
    ListChanges(list);
}

std::int32_t AvailableDiskSpace(const std::string& path) {
    const FreeSpaceQuery query = QueryFreeSpace(path);
    if (!query.ok) {
        gLog->printf("AvailableDiskSpace() : GetDiskFreeSpaceEx() gaf ongewenst resultaat terug.");
        gLog->printf("last DLL error=%d, last API error=%d.", query.lastDllError,
                     query.lastApiError);
        return -1;
    }
    const std::int32_t kilobytes = KilobytesFromBytes(query.bytes);
    // The volume goes in as a value: a mount point may hold "%" or "\", which the format would
    // otherwise take as conversions and escapes.
    gLog->printf("AvailableDiskSpace() : " + std::to_string(kilobytes) + " kB vrij op %s",
                 query.volume);
    return kilobytes;
}

} // namespace kw
