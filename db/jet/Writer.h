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
// Every index of a changed table is kept: its entries, read once from the index's leaves, are
// changed row by row, and at each commit its B-tree is written anew from them (see IndexWriter.h)
// over the index's own pages, taking pages from the end of the file or giving them back as the
// entries need (pages that come out as they were are left alone), and the definition's count of
// distinct keys follows. A condition that bounds the first column of an index reads only the rows
// of the entries within the bounds, and a MAX over an index's second column whose first the
// condition fixes reads one row; no statement reads more than the pages of its own table.
//
// In an Access 97 database a statement may also make a table (CreateTable): its definition, usage
// maps and empty index roots as Access 97 lays out its own, and its catalogue row, inserted as any
// row is, so that the catalogue's indexes are kept.
//
// The writer keeps, across statements, the catalogue, the definitions of the tables it used and
// the index entries; they are forgotten whenever changes are undone. The writer refuses, with a
// description:
// - tables in a relationship that Access enforces (a foreign-key index), whose rules it doesn't
//   check;
// - values for Memo, OLE, fixed-length binary, GUID and decimal columns, which would need
//   long-value pages or encodings the writer doesn't make; NULL is accepted for them;
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

/// A column of a table to create: Long (Type::Long) or Text (Type::Text, `length` characters).
struct NewColumn {
    std::string name;
    std::uint8_t type = Type::Long;
    std::uint16_t length = 0; // Text only: 1 to 255
};

/// An index of a table to create, over up to ten of its columns, ascending. A primary key is
/// unique and requires a value in each of its columns.
struct NewIndex {
    std::string name;
    std::vector<std::string> columns;
    bool primary = false;
    bool unique = false;
};

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

    /// Creates the empty table `name` (an Access 97 database only) with `columns` in that order
    /// and `indexes`, and its entry in the catalogue; a statement like the others. Raises
    /// JetError, with nothing changed, for a Jet 4 database, a name that is taken or that Access
    /// wouldn't accept (empty, over 64 characters, a character outside Windows-1252, or one of
    /// . ! ` [ ]), a column type other than Long and Text, a Text length outside 1 to 255, and
    /// an index whose columns aren't the table's or that repeats one.
    void CreateTable(std::string_view name, const std::vector<NewColumn>& columns,
                     const std::vector<NewIndex>& indexes);
    /// Sets the database password (empty: none), committed at once. Raises JetError, with the
    /// file as it was, inside a transaction, for a password of over 20 characters, or, in an
    /// Access 97 database, one with a character outside Windows-1252.
    void SetPassword(std::string_view password);

private:
    struct Impl;
    explicit Writer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace kw::jet
