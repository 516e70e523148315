// Changing the rows of an Access database: inserting a row by position, deleting the rows that a
// condition selects, and the queries that the update needs, all inside transactions of the Pager
// (see Pager.h for how a commit stays whole through a crash or a full disk).
//
// A statement outside Begin/Commit commits by itself; inside a transaction a failed statement is
// undone alone. A statement either completes or leaves every byte as it was: what can be found
// out before the first change (a value a column can't hold, a value without an index key, a
// missing value in a required index) is, and what shows only later (a repeated value in a unique
// index) undoes the statement.
//
// Every index of a changed table is kept: after each statement its B-tree is written anew from the
// table's rows (see IndexWriter.h) over the index's own pages, taking pages from the end of the
// file or giving them back as the entries need, and the definition's count of distinct keys
// follows. The writer refuses, with a description:
// - tables in a relationship that Access enforces (a foreign-key index), whose rules it doesn't
//   check;
// - values for Memo, OLE, binary, GUID and decimal columns, which would need long-value pages or
//   encodings the writer doesn't make; NULL is accepted for them;
// - tables with an AutoNumber column, whose counter the writer doesn't advance;
// - data pages whose rows are not laid out as Access keeps them, and usage maps it can't extend.
#pragma once

#include "db/jet/FileSystem.h"
#include "db/jet/Jet.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kw::jet {

class Pager;

/// One comparison of a whole-number column with a whole number.
struct Comparison {
    enum class Op { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };
    std::string column;
    Op op = Op::Equal;
    std::int64_t value = 0;
};
/// Comparisons joined by AND; empty selects every row.
using Condition = std::vector<Comparison>;

class Writer {
public:
    /// Opens the database at `path` for writing. Raises JetError when it can't be read, the
    /// password is wrong, or another program or writer holds it.
    static std::unique_ptr<Writer> Open(const std::string& path, std::string_view password,
                                        FileSystem& files = FileSystem::System());
    ~Writer();

    void Begin();
    void Commit();
    void Rollback();

    /// Inserts a row with `values` for the table's columns in order; returns 1.
    int Insert(std::string_view table, const std::vector<Value>& values);
    /// Deletes the rows that `where` selects; returns how many (0 when none).
    int Delete(std::string_view table, const Condition& where);
    /// The highest value of `column` over the rows `where` selects; nullopt (NULL) for none.
    std::optional<std::int64_t> Max(std::string_view table, std::string_view column,
                                    const Condition& where);
    /// The values of `column` in the rows `where` selects.
    std::vector<Value> Select(std::string_view table, std::string_view column,
                              const Condition& where);

    /// The database as the open transaction sees it.
    const Database& Reader();

private:
    struct Impl;
    explicit Writer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace kw::jet
