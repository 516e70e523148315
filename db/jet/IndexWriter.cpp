#include "db/jet/IndexWriter.h"

#include "db/jet/JetFormat.h"

#include <algorithm>

namespace kw::jet {

namespace {

struct Layout {
    std::size_t prev, next, tail, prefix, mask, first;
};
constexpr Layout kJet3{0x08, 0x0C, 0x10, 0x14, 0x16, 0xF8};
constexpr Layout kJet4{0x0C, 0x10, 0x14, 0x18, 0x1B, 0x1E0};

// An entry as stored: the key, the row big-endian (page in three bytes, then the row), and on
// intermediate pages the child page big-endian; the first `skip` bytes of the key left out.
std::uint8_t* PutStored(std::uint8_t* out, const SortedEntry& e, std::size_t skip,
                        std::uint32_t child, bool intermediate) {
    out = std::copy(e.key.begin() + static_cast<std::ptrdiff_t>(skip), e.key.end(), out);
    *out++ = static_cast<std::uint8_t>(e.row.page >> 16);
    *out++ = static_cast<std::uint8_t>(e.row.page >> 8);
    *out++ = static_cast<std::uint8_t>(e.row.page);
    *out++ = static_cast<std::uint8_t>(e.row.row);
    if (intermediate)
        for (int shift = 24; shift >= 0; shift -= 8)
            *out++ = static_cast<std::uint8_t>(child >> shift);
    return out;
}

// One page of the tree before it has a number: its entries, and for an intermediate page the
// pages (by index in the level below) of its children.
struct Node {
    std::vector<std::size_t> items; // leaf: entry indexes; intermediate: child node indexes
    std::size_t last = 0;           // the index of the node's last entry, in `entries`
};

} // namespace

std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>
BuildIndexPages(Version version, std::size_t pageSize, std::uint32_t owner,
                const std::vector<SortedEntry>& entries, std::uint32_t root,
                const std::function<std::uint32_t()>& nextPage) {
    const Layout& l = version == Version::Jet3 ? kJet3 : kJet4;
    const std::size_t capacity = pageSize - l.first;
    const auto size = [&](std::size_t entry, bool intermediate) {
        return entries[entry].key.size() + (intermediate ? 8u : 4u);
    };

    // Leaves, filled in turn (sizes counted without the shared prefix, so that every page fits).
    std::vector<std::vector<Node>> levels(1);
    std::size_t used = capacity + 1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (used + size(i, false) > capacity) {
            levels[0].emplace_back();
            used = 0;
        }
        levels[0].back().items.push_back(i);
        levels[0].back().last = i;
        used += size(i, false);
    }
    if (levels[0].empty())
        levels[0].emplace_back();
    // The last leaf is the tail: no intermediate page has an entry for it, and the pages on the
    // right edge of every level name it in their tail pointer. The intermediate levels above the
    // other leaves hold an entry for every child, until one page remains.
    const std::size_t tailLeaf = levels[0].size() - 1;
    for (std::size_t children = tailLeaf; children > 0 && (levels.size() == 1 || children > 1);
         children = levels.back().size()) {
        const std::vector<Node>& below = levels.back();
        std::vector<Node> level;
        used = capacity + 1;
        for (std::size_t c = 0; c < children; ++c) {
            if (used + size(below[c].last, true) > capacity) {
                level.emplace_back();
                used = 0;
            }
            level.back().items.push_back(c);
            level.back().last = below[c].last;
            used += size(below[c].last, true);
        }
        levels.push_back(std::move(level));
    }

    // Page numbers: the root keeps its page; the others, level by level from the top.
    std::vector<std::vector<std::uint32_t>> numbers(levels.size());
    for (std::size_t depth = levels.size(); depth-- > 0;)
        for (std::size_t i = 0; i < levels[depth].size(); ++i)
            numbers[depth].push_back(depth + 1 == levels.size() ? root : nextPage());

    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> pages;
    for (std::size_t depth = levels.size(); depth-- > 0;) {
        const bool intermediate = depth > 0;
        for (std::size_t i = 0; i < levels[depth].size(); ++i) {
            const Node& node = levels[depth][i];
            const std::size_t count = node.items.size();
            const auto entryOf = [&](std::size_t k) -> const SortedEntry& {
                return entries[intermediate ? levels[depth - 1][node.items[k]].last
                                            : node.items[k]];
            };
            // The entries are in order, so the prefix that all their keys share is the one the
            // first and the last share.
            std::size_t prefix = 0;
            if (count > 0) {
                const auto& first = entryOf(0).key;
                const auto& last = entryOf(count - 1).key;
                const std::size_t most = std::min({first.size(), last.size(), std::size_t{255}});
                prefix = static_cast<std::size_t>(
                    std::mismatch(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(most),
                                  last.begin())
                        .first -
                    first.begin());
            }
            std::vector<std::uint8_t> page(pageSize, 0);
            page[0] = intermediate ? PageType::IndexNode : PageType::IndexLeaf;
            page[1] = 0x01;
            Put32(page, 4, owner);
            const auto& row = numbers[depth];
            Put32(page, l.prev, i > 0 ? row[i - 1] : 0);
            Put32(page, l.next, i + 1 < row.size() ? row[i + 1] : 0);
            const bool rightEdge = intermediate && i + 1 == row.size();
            Put32(page, l.tail, rightEdge ? numbers[0][tailLeaf] : 0);
            page[l.prefix] = static_cast<std::uint8_t>(prefix);
            if (version == Version::Jet4)
                page[l.prefix + 1] = static_cast<std::uint8_t>(prefix >> 8);
            else if (intermediate)
                page[l.prefix + 1] = 0x01; // as Access 97 writes it
            std::size_t at = l.first;
            for (std::size_t k = 0; k < count; ++k) {
                at = static_cast<std::size_t>(
                    PutStored(page.data() + at, entryOf(k), k == 0 ? 0 : prefix,
                              intermediate ? numbers[depth - 1][node.items[k]] : 0, intermediate) -
                    page.data());
                const std::size_t bit = at - l.first;
                page[l.mask + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
            }
            const std::size_t free = pageSize - at;
            page[2] = static_cast<std::uint8_t>(free);
            page[3] = static_cast<std::uint8_t>(free >> 8);
            pages.emplace_back(row[i], std::move(page));
        }
    }
    return pages;
}

} // namespace kw::jet
