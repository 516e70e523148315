#include "tools/pack-payload/Packer.h"

#include "payload/Catalogue.h"
#include "tools/make-media/CatalogueFile.h"
#include "tools/pack-payload/ContainerWriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

namespace kw::tools {

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("missing media file " + file.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::span<const std::byte> Bytes(std::string_view text) {
    return std::as_bytes(std::span(text.data(), text.size()));
}

// Where the payload goes: its strings by id, then its blobs with the file each was read from.
class PayloadSink {
public:
    virtual ~PayloadSink() = default;
    virtual void String(std::int32_t id, std::string_view utf8) = 0;
    virtual void Blob(const std::string& name, const fs::path& file, std::string_view data) = 0;
};

// Checks the catalogue and the media folder against each other and hands the payload to the
// sink: the catalogue's strings in id order, then each entry's four blobs.
PackResult Walk(const std::string& cataloguePath, const std::string& mediaFolder,
                PayloadSink& sink) {
    const auto entries = ReadCatalogueFile(cataloguePath);
    const fs::path media(mediaFolder);

    // Every file in the media folders must belong to an entry: a stray one means that the
    // media and the catalogue don't match.
    std::set<fs::path> expected;
    for (const auto& e : entries)
        for (const BlobKind& kind : kBlobKinds)
            expected.insert(media / kind.folder / ("i" + e.number + kind.extension));
    for (const BlobKind& kind : kBlobKinds) {
        std::error_code ec;
        for (const auto& f : fs::directory_iterator(media / kind.folder, ec))
            if (!expected.count(f.path()))
                throw std::runtime_error("media file " + f.path().string() +
                                         " belongs to no catalogue entry");
    }

    sink.String(kCountId, std::to_string(entries.size()));
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const auto id = static_cast<std::int32_t>(k);
        sink.String(NumberId(id), entries[k].number);
        sink.String(NameId(id), entries[k].name);
        sink.String(CategoryId(id), entries[k].category);
    }
    PackResult result{entries.size(), 0};
    for (const auto& e : entries)
        for (const BlobKind& kind : kBlobKinds) {
            const fs::path file = media / kind.folder / ("i" + e.number + kind.extension);
            const std::string data = Slurp(file);
            if (data.empty())
                throw std::runtime_error("media file " + file.string() + " is empty");
            sink.Blob(kind.prefix + e.number, file, data);
            result.mediaBytes += data.size();
        }
    return result;
}

class ContainerSink final : public PayloadSink {
public:
    explicit ContainerSink(const std::string& path) : writer(path) {}
    void String(std::int32_t id, std::string_view utf8) override { writer.AddString(id, utf8); }
    void Blob(const std::string& name, const fs::path&, std::string_view data) override {
        writer.AddResource(kBlobType, name, Bytes(data));
    }
    payload::ContainerWriter writer;
};

// A quoted resource-script string: windres reads backslash escapes in it, and a doubled quote.
std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += c;
        quoted += c;
    }
    return quoted + '"';
}

// The string table comes first, in one block; the blobs follow it, each with its CRC-32 as one
// DWORD (windres stores it little-endian).
class ScriptSink final : public PayloadSink {
public:
    explicit ScriptSink(const std::string& path) : file(path) {
        Put("// Made by pack-payload from the catalogue and the media.\n"
            "#pragma code_page(65001)\n"
            "LANGUAGE 0x09, 0x01\n" // 1033: English (United States)
            "STRINGTABLE\nBEGIN\n");
    }
    void String(std::int32_t id, std::string_view utf8) override {
        Put("  " + std::to_string(id) + ", " + Quoted(utf8) + "\n");
    }
    void Blob(const std::string& name, const fs::path& path, std::string_view data) override {
        if (!inBlobs) {
            Put("END\n");
            inBlobs = true;
        }
        char crc[16];
        std::snprintf(crc, sizeof crc, "0x%08XL", payload::Crc32(Bytes(data)));
        Put(name + " " + kBlobType + " " + Quoted(fs::absolute(path).string()) + "\n" + name + " " +
            kCrcType + " { " + crc + " }\n");
    }
    void Put(const std::string& text) { file.Write(Bytes(text)); }

    payload::OutputFile file;
    bool inBlobs = false;
};

} // namespace

PackResult PackPayload(const std::string& cataloguePath, const std::string& mediaFolder,
                       const std::string& containerPath) {
    ContainerSink sink(containerPath);
    const PackResult result = Walk(cataloguePath, mediaFolder, sink);
    sink.writer.Finish();
    return result;
}

PackResult WriteResourceScript(const std::string& cataloguePath, const std::string& mediaFolder,
                               const std::string& scriptPath) {
    ScriptSink sink(scriptPath);
    const PackResult result = Walk(cataloguePath, mediaFolder, sink);
    if (!sink.inBlobs)
        sink.Put("END\n");
    sink.file.Close();
    return result;
}

} // namespace kw::tools
