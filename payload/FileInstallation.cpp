// Writing the payload's media files into an installation folder.
#include "payload/Catalogue.h"
#include "payload/Failures.h"
#include "payload/PayloadOperations.h"
#include "payload/Resources.h"

#include "log/Log.h"
#include "sys/Failure.h"
#include "sys/File.h"

#include <utility>
#include <vector>

namespace kw {

namespace {

// The name that a file is written under before it replaces the final one. A run that was killed
// leaves it behind; the next run removes it when it writes that file.
std::string TemporaryName(const std::string& filePath) {
    return filePath + ".kwastor-tmp";
}

// The folder that holds the file: everything up to its last separator.
std::string FolderOf(const std::string& filePath) {
    const std::size_t end = filePath.find_last_of("/\\");
    return end == std::string::npos ? "." : filePath.substr(0, end + 1);
}

// A new file that gets its final name only once it is written whole, so that the final name
// holds either the previous file or the complete new one. Where the system has files without a
// name, it is made without one and named when done; a previous file under the final name keeps
// the name, and the new one then goes under its temporary name first and is renamed over it.
// Elsewhere it is written under its temporary name from the start. However the copy ends, the
// file is closed, and unless it was finished the temporary name is removed.
class TemporaryFile {
public:
    enum class Finished { Whole, NotClosed, NotNamed };

    TemporaryFile(FileApi& files, std::string finalPath)
        : files_(files), final_(std::move(finalPath)), temporary_(TemporaryName(final_)) {}
    ~TemporaryFile() {
        Close();
        if (created_)
            files_.Remove(temporary_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    /// Creates the file, never through a link, with the folder's owner when root.
    bool Create() {
        const std::string folder = FolderOf(final_);
        handle_ = files_.CreateUnnamed(folder);
        unnamed_ = handle_ != kInvalidFile;
        if (!unnamed_ && !CreateTemporary())
            return false;
        return files_.TakeFolderOwner(handle_, folder);
    }
    std::int64_t Write(std::span<const std::byte> bytes) {
        return files_.Write(handle_, bytes.data(), bytes.size());
    }
    /// Closes the file and puts it under its final name, replacing whatever had that name (a
    /// folder stays). NotClosed when the system says that its contents may not all be there,
    /// NotNamed when it can't have the name; either way the final name is as it was.
    Finished Finish() {
        if (unnamed_) {
            if (files_.Name(handle_, final_)) {
                // The name was free: nothing was there before, and nothing stays on a failure.
                if (!Close()) {
                    files_.Remove(final_);
                    return Finished::NotClosed;
                }
                return Finished::Whole;
            }
            if (!NameTemporary())
                return Finished::NotNamed;
        }
        if (!Close())
            return Finished::NotClosed;
        if (!files_.Rename(temporary_, final_))
            return Finished::NotNamed;
        created_ = false;
        return Finished::Whole;
    }

private:
    // The file under its temporary name. A killed run's leftover holds the name: it goes, and
    // the name is taken once more.
    bool CreateTemporary() {
        handle_ = files_.CreateNew(temporary_);
        if (handle_ == kInvalidFile && RemoveLeftover())
            handle_ = files_.CreateNew(temporary_);
        created_ = handle_ != kInvalidFile;
        return created_;
    }
    bool NameTemporary() {
        created_ = files_.Name(handle_, temporary_) ||
                   (RemoveLeftover() && files_.Name(handle_, temporary_));
        return created_;
    }
    bool RemoveLeftover() {
        return files_.Kind(temporary_) != FileKind::Missing && files_.Remove(temporary_);
    }
    bool Close() {
        const FileHandle handle = std::exchange(handle_, kInvalidFile);
        return handle == kInvalidFile || files_.Close(handle);
    }

    FileApi& files_;
    std::string final_, temporary_;
    FileHandle handle_ = kInvalidFile;
    bool unnamed_ = false, created_ = false;
};

// Whether another opener holds the file that would be replaced (a run beside this one), or
// that can't be ruled out: the file is then left to it. Otherwise `lock` keeps the file locked
// until it is released, so that no other writer starts on it meanwhile.
bool HeldElsewhere(FileApi& files, LockedFile& lock, const std::string& path) {
    const FileKind kind = files.Kind(path);
    if (kind != FileKind::Ordinary)
        return kind == FileKind::Unknown; // else nothing, or something replaced, not opened
    return !lock.Take(path);
}

} // namespace

bool SaveResourceToFile(const std::string& blobName, const std::string& filePath) {
    FileApi& files = Files();
    // Declared before the files, so that they are closed before the blob's bytes are released.
    std::unique_ptr<Blob> blob;
    LockedFile previous(files);
    TemporaryFile file(files, filePath);
    try {
        gLog->printf("SaveResourceToFile() : kopieren van '%s'", filePath);
        blob = LoadResData(blobName, kBlobType);
        const std::span<const std::byte> bytes = blob->Bytes();
        if (bytes.empty())
            throw Failure("Lege bron: '" + blobName + "'");
        const std::string cannotMake = "Fout tijdens het maken van bestand '" + filePath + "'";
        if (HeldElsewhere(files, previous, filePath) || !file.Create())
            throw Failure(cannotMake);
        const std::int64_t written = file.Write(bytes);
        const auto cannotWrite = [&](const char* which) {
            return Failure("Fout tijdens het schrijven van bestand '" + filePath + "' " + which);
        };
        if (written < 0)
            throw cannotWrite("(1)");
        if (static_cast<std::uint64_t>(written) != bytes.size())
            throw cannotWrite("(2)");
        switch (file.Finish()) {
        case TemporaryFile::Finished::Whole:
            break;
        case TemporaryFile::Finished::NotClosed:
            throw cannotWrite("(1)");
        case TemporaryFile::Finished::NotNamed:
            throw Failure(cannotMake);
        }
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
        const FileBatch batch(Files());
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
