// Writing the payload's media files into an installation folder.
#include "payload/Catalogue.h"
#include "payload/Failures.h"
#include "payload/PayloadOperations.h"
#include "payload/Resources.h"

#include "log/Log.h"
#include "sys/Failure.h"
#include "sys/File.h"

#include <vector>

namespace kw {

namespace {

// Closes the file, if one was opened, however the copy ends; a failed close is ignored.
class OpenedFile {
public:
    explicit OpenedFile(FileApi& files) : files_(files) {}
    ~OpenedFile() {
        if (handle != kInvalidFile)
            files_.Close(handle);
    }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
    FileHandle handle = kInvalidFile;

private:
    FileApi& files_;
};

} // namespace

bool SaveResourceToFile(const std::string& blobName, const std::string& filePath) {
    FileApi& files = Files();
    // Declared before the file, so that the file is closed before the blob's bytes are released.
    std::unique_ptr<Blob> blob;
    OpenedFile file(files);
    try {
        gLog->printf("SaveResourceToFile() : kopieren van '%s'", filePath);
        blob = LoadResData(blobName, kBlobType);
        const std::span<const std::byte> bytes = blob->Bytes();
        if (bytes.empty())
            throw Failure("Lege bron: '" + blobName + "'");
        file.handle = files.CreateAlways(filePath);
        if (file.handle == kInvalidFile)
            throw Failure("Fout tijdens het maken van bestand '" + filePath + "'");
        const std::int64_t written = files.Write(file.handle, bytes.data(), bytes.size());
        if (written < 0)
            throw Failure("Fout tijdens het schrijven van bestand '" + filePath + "' (1)");
        if (static_cast<std::uint64_t>(written) != bytes.size())
            throw Failure("Fout tijdens het schrijven van bestand '" + filePath + "' (2)");
        return true;
    } catch (...) {
        ShowAndLog("SaveResourceToFile", CurrentDescription());
        return false;
    }
}

bool SaveResources(const std::string& folder, StatusLabel* label) {
    gLog->printf("SaveResources() : beginnen met kopieren van de bestanden.");
    try {
        const std::int32_t n = CheckedEntryCount();
        struct Row {
            std::string prefix, start, extension;
        };
        std::vector<Row> layout;
        for (const BlobKind& kind : kBlobKinds)
            layout.push_back({kind.prefix, PathStart(folder, kind), kind.extension});

        for (std::int32_t i = 1; i <= n; ++i) {
            const std::string nr = LoadResString(NumberId(i - 1));
            if (label) {
                label->SetCaption("Bestand " + std::to_string(i) + " van " + std::to_string(n));
                label->ProcessEvents();
            }
            for (const Row& row : layout)
                if (!SaveResourceToFile(row.prefix + nr, row.start + nr + row.extension))
                    return false;
        }
        return true;
    } catch (...) {
        const std::string description = CurrentDescription();
        if (label)
            label->SetCaption(description);
        LogRecordSafely("SaveResources() : " + description);
        return false;
    }
}

} // namespace kw
