// Writing an index's B-tree from its entries in order: leaf pages filled in turn and chained by
// their previous and next pointers, over levels of intermediate pages whose entries name each
// child's last entry. As in the files Access writes, the last leaf (the tail) has no entry above
// it: the intermediate pages on the right edge of the tree name it in their tail pointer.
// Entries after a page's first leave out the prefix that all entries on the page share, and the
// page's bitmap marks where each entry ends.
#pragma once

#include "db/jet/IndexKey.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace kw::jet {

/// An entry to write; the key's bytes belong to the caller.
struct SortedEntry {
    std::span<const std::uint8_t> key;
    RowId row;
};

/// The pages (of `pageSize` bytes) of a B-tree over `entries` (in index order) of the table
/// defined on `owner`. The root goes to page `root`; `nextPage` gives the number of each further
/// page in turn. Returns the page images by page number, root first.
std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>
BuildIndexPages(Version version, std::size_t pageSize, std::uint32_t owner,
                const std::vector<SortedEntry>& entries, std::uint32_t root,
                const std::function<std::uint32_t()>& nextPage);

} // namespace kw::jet
