#include "tools/pack-payload/Packer.h"

#include "payload/Catalogue.h"
#include "tools/make-media/CatalogueFile.h"
#include "tools/pack-payload/ContainerWriter.h"

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

} // namespace

PackResult PackPayload(const std::string& cataloguePath, const std::string& mediaFolder,
                       const std::string& containerPath) {
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

    payload::ContainerWriter writer(containerPath);
    writer.AddString(kCountId, std::to_string(entries.size()));
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const auto id = static_cast<std::int32_t>(k);
        writer.AddString(NumberId(id), entries[k].number);
        writer.AddString(NameId(id), entries[k].name);
        writer.AddString(CategoryId(id), entries[k].category);
    }
    PackResult result{entries.size(), 0};
    for (const auto& e : entries)
        for (const BlobKind& kind : kBlobKinds) {
            const fs::path file = media / kind.folder / ("i" + e.number + kind.extension);
            const std::string data = Slurp(file);
            if (data.empty())
                throw std::runtime_error("media file " + file.string() + " is empty");
            writer.AddResource(kBlobType, kind.prefix + e.number,
                               std::as_bytes(std::span(data.data(), data.size())));
            result.mediaBytes += data.size();
        }
    writer.Finish();
    return result;
}

} // namespace kw::tools
