// pack-payload: builds the payload container from the catalogue and a media folder, and puts a
// container at the end of a program file.
//
//   pack-payload pack <catalogue.tsv> <media-folder> <payload.zip>
//   pack-payload append <program> <payload.zip>
//
// The media folder is laid out as an installation's: pictogrammen/i<nr>.wmf,
// geluiden/man/i<nr>.wav, geluiden/vrouw/i<nr>.wav, thumbs/i<nr>.bmp.
#include "payload/Catalogue.h"
#include "payload/Container.h"
#include "tools/make-media/CatalogueFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + file.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Pack(const std::string& cataloguePath, const fs::path& media, const std::string& out) {
    const auto entries = kw::tools::ReadCatalogueFile(cataloguePath);
    kw::payload::ContainerWriter writer(out);
    writer.AddString(kw::kCountId, std::to_string(entries.size()));
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const auto id = static_cast<std::int32_t>(k);
        writer.AddString(kw::NumberId(id), entries[k].number);
        writer.AddString(kw::NameId(id), entries[k].name);
        writer.AddString(kw::CategoryId(id), entries[k].category);
    }
    std::uint64_t bytes = 0;
    for (const auto& e : entries)
        for (const kw::BlobKind& kind : kw::kBlobKinds) {
            const std::string data = Slurp(media / kind.folder / ("i" + e.number + kind.extension));
            writer.AddResource(kw::kBlobType, kind.prefix + e.number,
                               std::as_bytes(std::span(data.data(), data.size())));
            bytes += data.size();
        }
    writer.Finish();
    std::printf("pack-payload: %zu entries, %zu blobs, %llu bytes of media in %s\n", entries.size(),
                4 * entries.size(), static_cast<unsigned long long>(bytes), out.c_str());
}

} // namespace

int main(int argc, char** argv) {
    try {
        const std::string verb = argc > 1 ? argv[1] : "";
        if (verb == "pack" && argc == 5) {
            Pack(argv[2], argv[3], argv[4]);
            return 0;
        }
        if (verb == "append" && argc == 4) {
            kw::payload::AppendContainer(argv[2], argv[3]);
            return 0;
        }
        std::fprintf(stderr,
                     "usage: pack-payload pack <catalogue.tsv> <media-folder> <payload.zip>\n"
                     "       pack-payload append <program> <payload.zip>\n");
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pack-payload: %s\n", e.what());
        return 1;
    }
}
