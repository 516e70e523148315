#include "payload/Resources.h"

#include "payload/Container.h"
#include "payload/ProgramFile.h"
#include "sys/Failure.h"
#include "sys/MappedFile.h"

#include <algorithm>
#include <utility>

namespace kw {

namespace {

// Blobs are read in the order in which they lie in the file. Their pages are brought in and given
// back a step at a time rather than blob by blob: two system calls per step instead of two per
// blob, and at most a step on either side of the blob in use stays mapped.
constexpr std::size_t kPageStep = 512 * 1024;

struct Payload {
    explicit Payload(const std::string& path)
        : file(path), directory(payload::ReadDirectory(file.Bytes())) {}

    /// Maps `part`, and what follows it up to a step, unless an earlier call did.
    void Bring(std::span<const std::byte> part) {
        const auto bytes = file.Bytes();
        const std::byte* end = part.data() + part.size();
        if (part.data() >= populatedFrom_ && end <= populatedTo_)
            return;
        populatedFrom_ = part.data();
        populatedTo_ = std::min(bytes.data() + bytes.size(),
                                std::max(end, part.data() + std::min(kPageStep, bytes.size())));
        file.Populate({populatedFrom_, populatedTo_});
    }

    /// `part` is no longer in use: its pages go with those of the blobs before it, once they
    /// make up a step, or at once when the next blob lies before them.
    void Done(std::span<const std::byte> part) {
        const std::byte* end = part.data() + part.size();
        if (heldFrom_ && part.data() < heldFrom_) {
            file.Release({heldFrom_, heldTo_});
            heldFrom_ = nullptr;
        }
        if (!heldFrom_)
            heldFrom_ = part.data();
        heldTo_ = std::max(heldTo_, end);
        if (static_cast<std::size_t>(heldTo_ - heldFrom_) >= kPageStep) {
            file.Release({heldFrom_, heldTo_});
            heldFrom_ = heldTo_ = nullptr;
            populatedFrom_ = populatedTo_ = nullptr; // the release may have taken those too
        }
    }

    MappedFile file;
    payload::Directory directory;

private:
    const std::byte* populatedFrom_ = nullptr;
    const std::byte* populatedTo_ = nullptr;
    const std::byte* heldFrom_ = nullptr;
    const std::byte* heldTo_ = nullptr;
};

// The part of the file from an entry's header to the end of its data, the pages that reading
// the entry brings in.
std::span<const std::byte> HeaderToEnd(std::span<const std::byte> file, const payload::Entry& entry,
                                       std::span<const std::byte> data) {
    const std::byte* from = file.data() + entry.header;
    return {from, static_cast<std::size_t>(data.data() + data.size() - from)};
}

// A blob's bytes where they lie in the mapped payload; the payload stays mapped while a blob
// lives.
class StoredBlob final : public Blob {
public:
    StoredBlob(std::shared_ptr<Payload> payload, std::span<const std::byte> bytes,
               std::span<const std::byte> held)
        : payload_(std::move(payload)), bytes_(bytes), held_(held) {}
    ~StoredBlob() override { payload_->Done(held_); }
    std::span<const std::byte> Bytes() const override { return bytes_; }

private:
    std::shared_ptr<Payload> payload_;
    std::span<const std::byte> bytes_, held_;
};

class ContainerPayload final : public PayloadSource {
public:
    explicit ContainerPayload(const std::string& path)
        : payload_(std::make_shared<Payload>(path)) {}

    std::string String(std::int32_t id) override {
        const payload::Entry* entry = FindEntry(payload::StringEntryName(id));
        if (!entry)
            MissingString(id);
        const auto bytes = payload::EntryData(payload_->file.Bytes(), *entry);
        return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

    std::unique_ptr<Blob> Data(const std::string& name, const std::string& type) override {
        const payload::Entry& entry = FindBlob(name, type);
        const auto file = payload_->file.Bytes();
        if (entry.header < file.size())
            payload_->Bring(file.subspan(
                entry.header, std::min<std::uint64_t>(file.size() - entry.header,
                                                      entry.size + entry.name.size() + 64)));
        const auto data = payload::EntryData(file, entry);
        return std::make_unique<StoredBlob>(payload_, data, HeaderToEnd(file, entry, data));
    }

    std::int64_t Size(const std::string& name, const std::string& type) override {
        return static_cast<std::int64_t>(FindBlob(name, type).size);
    }

private:
    // The entry of that name, or nothing.
    const payload::Entry* FindEntry(const std::string& entryName) const {
        const auto& entries = payload_->directory.entries;
        auto it = entries.find(payload::EntryKey(entryName));
        return it == entries.end() ? nullptr : &it->second;
    }

    const payload::Entry& FindBlob(const std::string& name, const std::string& type) const {
        const payload::Entry* entry = FindEntry(payload::ResourceEntryName(type, name));
        if (!entry)
            MissingBlob(name);
        return *entry;
    }

    std::shared_ptr<Payload> payload_;
};

std::string gPayloadFile; // empty: the program's own payload
std::shared_ptr<PayloadSource> gSource;

// Opens the payload on first use and keeps it open; a failed open is tried again next time.
PayloadSource& Source() {
    if (!gSource)
        gSource = gPayloadFile.empty() ? OpenProgramPayload() : OpenContainerPayload(gPayloadFile);
    return *gSource;
}

} // namespace

std::shared_ptr<PayloadSource> OpenContainerPayload(const std::string& path) {
    return std::make_shared<ContainerPayload>(path);
}

void MissingString(std::int32_t id) {
    throw Failure("Bron met nummer " + std::to_string(id) + " niet gevonden");
}

void MissingBlob(const std::string& name) {
    throw Failure("Bron '" + name + "' niet gevonden");
}

std::string LoadResString(std::int32_t id) {
    return Source().String(id);
}

std::unique_ptr<Blob> LoadResData(const std::string& name, const std::string& type) {
    return Source().Data(name, type);
}

std::int64_t ResourceSize(const std::string& name, const std::string& type) {
    return Source().Size(name, type);
}

void UsePayloadFile(const std::string& path) {
    gPayloadFile = path;
    gSource.reset();
}

} // namespace kw
