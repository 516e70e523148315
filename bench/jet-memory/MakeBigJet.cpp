// Grows an Access file for the memory benchmark: TABLE of IN owns, besides its own data pages,
// copies of them appended until OUT reaches SIZE_MB, each marked in the table's owned-pages map.
// The map must be a reference map whose first bitmap page covers the new pages.
// Usage: make-big-jet IN OUT PASSWORD TABLE SIZE_MB
#include "db/jet/Jet.h"

#include <fstream>
#include <iostream>
#include <iterator>

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "Usage: make-big-jet IN OUT PASSWORD TABLE SIZE_MB\n";
        return 2;
    }
    try {
        const auto db = kw::jet::Database::Open(argv[1], argv[3]);
        const auto table = db->FindTable(argv[4]);
        const std::size_t pageSize = db->PageSize();
        const std::size_t perMapPage = (pageSize - 4) * 8;
        if (!table || table->ownedPages.mapPages.size() != 1 ||
            table->ownedPages.pages.back() >= perMapPage) {
            std::cerr << "make-big-jet: the table must exist and own its pages through a reference "
                         "map with one bitmap page\n";
            return 1;
        }
        std::vector<std::vector<std::uint8_t>> dataPages;
        for (const std::uint32_t n : table->ownedPages.pages) {
            const auto page = db->ReadPage(n);
            if ((*page)[0] == 0x01) {
                dataPages.push_back(*page);
            }
        }
        std::ifstream in(argv[1], std::ios::binary);
        std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        const std::size_t mapAt = table->ownedPages.mapPages[0] * pageSize;
        const std::size_t target =
            std::min<std::size_t>(std::stoul(argv[5]) * 1024 * 1024 / pageSize, perMapPage);
        for (std::size_t k = 0; bytes.size() / pageSize < target; ++k) {
            const std::size_t n = bytes.size() / pageSize;
            const auto& page = dataPages[k % dataPages.size()];
            bytes.insert(bytes.end(), page.begin(), page.end());
            bytes[mapAt + 4 + n / 8] = static_cast<char>(bytes[mapAt + 4 + n / 8] | (1 << (n % 8)));
        }
        std::ofstream(argv[2], std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return 0;
    } catch (const kw::jet::JetError& e) {
        std::cerr << "make-big-jet: " << e.what() << "\n";
        return 1;
    }
}
