#include "payload/Resources.h"

#include "payload/Container.h"
#include "payload/ProgramFile.h"
#include "sys/Failure.h"

#include <utility>
#include <vector>

namespace kw {

namespace {

class StoredBlob final : public Blob {
public:
    explicit StoredBlob(std::vector<std::byte> bytes) : bytes_(std::move(bytes)) {}
    std::span<const std::byte> Bytes() const override { return bytes_; }

private:
    std::vector<std::byte> bytes_;
};

struct Payload {
    std::unique_ptr<payload::FileSource> source;
    payload::Directory directory;
};

std::string gPayloadFile; // empty: the program file
std::unique_ptr<Payload> gPayload;

// Opens the payload on first use and keeps it open; a failed open is tried again next time.
Payload& OpenPayload() {
    if (!gPayload) {
        auto source = std::make_unique<payload::FileSource>(gPayloadFile.empty() ? ProgramFilePath()
                                                                                 : gPayloadFile);
        payload::Directory directory = payload::ReadDirectory(*source);
        gPayload = std::make_unique<Payload>(Payload{std::move(source), std::move(directory)});
    }
    return *gPayload;
}

// The entry of that name, or nothing.
const payload::Entry* FindEntry(const std::string& entryName) {
    const Payload& p = OpenPayload();
    auto it = p.directory.entries.find(payload::EntryKey(entryName));
    return it == p.directory.entries.end() ? nullptr : &it->second;
}

const payload::Entry& FindBlob(const std::string& name, const std::string& type) {
    const payload::Entry* entry = FindEntry(payload::ResourceEntryName(type, name));
    if (!entry)
        throw Failure("Bron '" + name + "' niet gevonden");
    return *entry;
}

} // namespace

std::string LoadResString(std::int32_t id) {
    const payload::Entry* entry = FindEntry(payload::StringEntryName(id));
    if (!entry)
        throw Failure("Bron met nummer " + std::to_string(id) + " niet gevonden");
    const std::vector<std::byte> bytes = payload::ReadEntry(*gPayload->source, *entry);
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::unique_ptr<Blob> LoadResData(const std::string& name, const std::string& type) {
    const payload::Entry& entry = FindBlob(name, type);
    return std::make_unique<StoredBlob>(payload::ReadEntry(*gPayload->source, entry));
}

std::int64_t ResourceSize(const std::string& name, const std::string& type) {
    return static_cast<std::int64_t>(FindBlob(name, type).size);
}

void UsePayloadFile(const std::string& path) {
    gPayloadFile = path;
    gPayload.reset();
}

} // namespace kw
