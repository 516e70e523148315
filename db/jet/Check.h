// The consistency checker of an Access database file, written from the format alone: rows against
// their table's count, every index against the rows, the usage maps against the pages.
#pragma once

#include "db/jet/Jet.h"

#include <string>
#include <vector>

namespace kw::jet {

// In this order in KindName.
enum class FindingKind {
    Damaged,        // a page or row can't be read at all
    RowCount,       // the definition's row count differs from the live rows
    IndexOrder,     // entries out of key order
    IndexTree,      // an intermediate page disagrees with the pages below it
    IndexDangling,  // an entry points to no live row
    IndexKey,       // an entry's key differs from the key of its row's values
    IndexMissing,   // a live row isn't found by searching the index for its key
    IndexDuplicate, // a unique index holds a key twice
    IndexCount,     // entries and indexed rows differ in number
    Unencodable,    // a row's key can't be computed (a value without known key)
    UsageMap,       // a usage map names a page of another type or owner
    PageOwnedTwice, // two usage maps claim one page
};

struct Finding {
    FindingKind kind;
    std::string table; // empty for the file as a whole
    std::string index; // the logical index names, for index findings
    std::string text;  // a complete sentence

    /// Whether this is a fault of the file; an unencodable key only marks a row the check
    /// couldn't verify.
    bool IsFault() const { return kind != FindingKind::Unencodable; }
    std::string ToString() const;
};

/// Every inconsistency of `db`, and every row whose keys it couldn't verify; the file is sound
/// when no finding is a fault.
std::vector<Finding> Check(const Database& db);

/// A short name for `kind` ("row-count", "index-key", ...), as findings are printed.
const char* KindName(FindingKind kind);

} // namespace kw::jet
