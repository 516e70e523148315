// The B-tree writer read back by the index reader: trees from one page to several levels of
// intermediate pages, Jet 3 and Jet 4, with keys that share long prefixes.
#include "db/jet/IndexWriter.h"

#include "db/jet/IndexTree.h"
#include "db/jet/JetFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

namespace kw::jet {
namespace {

struct Case {
    Version version;
    std::size_t pageSize, entries, keyLength;
    std::size_t minDepth; // levels of pages, leaves included
};

TEST(IndexWriterTest, TreesReadBackInOrderAndFindEveryEntry) {
    const Case cases[] = {
        {Version::Jet4, 4096, 0, 8, 1},       {Version::Jet4, 4096, 1, 8, 1},
        {Version::Jet4, 4096, 300, 8, 1},     {Version::Jet4, 4096, 2000, 20, 2},
        {Version::Jet4, 4096, 40000, 120, 3}, {Version::Jet3, 2048, 20000, 60, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.entries) + " entries of " + std::to_string(c.keyLength) +
                     " bytes, pages of " + std::to_string(c.pageSize));
        std::mt19937 random(static_cast<unsigned>(c.entries));
        std::vector<std::pair<KeyBytes, RowId>> owned;
        for (std::size_t i = 0; i < c.entries; ++i) {
            // A long shared start, then a counter, so that pages share prefixes; duplicates of a
            // key differ by row.
            KeyBytes key(c.keyLength, 0x7F);
            const std::size_t n = i / 3;
            for (std::size_t b = 0; b < 4; ++b)
                key[c.keyLength - 4 + b] = static_cast<std::uint8_t>(n >> (8 * (3 - b)));
            owned.emplace_back(key, RowId{static_cast<std::uint32_t>(100 + random() % 5000),
                                          static_cast<std::uint16_t>(i % 3)});
        }
        std::sort(owned.begin(), owned.end(), [](const auto& a, const auto& b) {
            return CompareEntries(a.first, a.second, b.first, b.second) < 0;
        });
        std::vector<SortedEntry> entries;
        for (const auto& [key, row] : owned)
            entries.push_back({key, row});
        std::uint32_t next = 10;
        const auto images =
            BuildIndexPages(c.version, c.pageSize, 7, entries, 3, [&] { return next++; });
        std::map<std::uint32_t, IndexPage> pages;
        for (const auto& [number, image] : images) {
            ASSERT_EQ(image.size(), c.pageSize);
            pages.emplace(number, ParseIndexPage(image, c.version, number));
            EXPECT_EQ(pages[number].owner, 7u);
        }
        ASSERT_EQ(pages.size(), images.size());
        // Down the left edge, then along the leaves.
        std::size_t depth = 1;
        std::uint32_t number = 3;
        while (pages.at(number).type == PageType::IndexNode) {
            ASSERT_FALSE(pages.at(number).entries.empty());
            number = pages.at(number).entries.front().child;
            ++depth;
        }
        EXPECT_GE(depth, c.minDepth);
        std::vector<SortedEntry> read;
        std::uint32_t lastLeaf = 0;
        for (std::uint32_t prev = 0; number != 0; number = pages.at(number).next) {
            lastLeaf = number;
            const IndexPage& leaf = pages.at(number);
            ASSERT_EQ(leaf.type, PageType::IndexLeaf);
            EXPECT_EQ(leaf.prev, prev);
            prev = number;
            for (const IndexEntry& e : leaf.entries)
                read.push_back({e.key, e.row});
        }
        ASSERT_EQ(read.size(), entries.size());
        // As Access lays a tree out: each entry of an intermediate page is its child's last
        // entry, and a tail pointer names only the last leaf, which no entry names.
        for (const auto& [at, page] : pages) {
            if (page.type != PageType::IndexNode)
                continue;
            EXPECT_TRUE(page.tail == 0 || page.tail == lastLeaf) << "page " << at;
            for (const IndexEntry& e : page.entries) {
                const IndexEntry& last = pages.at(e.child).entries.back();
                EXPECT_TRUE(e.child != lastLeaf && std::ranges::equal(last.key, e.key) &&
                            last.row == e.row)
                    << "page " << at << " child " << e.child;
            }
        }
        for (std::size_t i = 0; i < read.size(); ++i)
            ASSERT_TRUE(std::ranges::equal(read[i].key, entries[i].key) &&
                        read[i].row == entries[i].row)
                << i;
        // Every entry is found from the root: the first child whose last entry isn't below it,
        // else the tail.
        for (std::size_t i = 0; i < entries.size(); i += 1 + entries.size() / 500) {
            const SortedEntry& e = entries[i];
            number = 3;
            while (pages.at(number).type == PageType::IndexNode) {
                const IndexPage& page = pages.at(number);
                const auto it =
                    std::find_if(page.entries.begin(), page.entries.end(), [&](auto& x) {
                        return CompareEntries(x.key, x.row, e.key, e.row) >= 0;
                    });
                number = it != page.entries.end() ? it->child : page.tail;
            }
            const auto& leaf = pages.at(number).entries;
            EXPECT_TRUE(std::any_of(leaf.begin(), leaf.end(),
                                    [&](auto& x) {
                                        return std::equal(x.key.begin(), x.key.end(), e.key.begin(),
                                                          e.key.end()) &&
                                               x.row == e.row;
                                    }))
                << "entry " << i;
        }
    }
}

} // namespace
} // namespace kw::jet
