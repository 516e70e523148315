// The few forms of Access SQL that Kwastor sends, parsed for a back end that has no SQL engine of
// its own (the native Access file engine). Everything outside these forms is refused rather than
// guessed at, so that a statement never does something other than what it says:
//   DELETE [*] FROM t WHERE cond
//   INSERT INTO t VALUES (literal, ...)
//   SELECT MAX(col) AS alias FROM t WHERE cond
//   SELECT col FROM t WHERE cond
// where cond is comparisons of a column with an integer (= <> < > <= >=) joined by AND, in
// parentheses or not, and a literal is an integer or a text in single quotes ('' for a quote).
// Keywords compare without regard to case; names may stand in [brackets]; one ';' may end it.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kw::sql {

enum class CompareOp { Equal, NotEqual, Less, Greater, LessOrEqual, GreaterOrEqual };

struct Comparison {
    std::string column;
    CompareOp op;
    std::int64_t value;
    bool operator==(const Comparison&) const = default;
};

/// Comparisons that must all hold.
using Condition = std::vector<Comparison>;

/// A value in an INSERT's list: a whole number or a text (UTF-8, quotes undoubled).
using Literal = std::variant<std::int64_t, std::string>;

struct Delete {
    std::string table;
    Condition where;
    bool operator==(const Delete&) const = default;
};

struct Insert {
    std::string table;
    std::vector<Literal> values;
    bool operator==(const Insert&) const = default;
};

/// SELECT MAX(column) AS alias: one row, NULL when no row matches.
struct SelectMax {
    std::string table;
    std::string column;
    std::string alias;
    Condition where;
    bool operator==(const SelectMax&) const = default;
};

/// SELECT column: the column of every matching row.
struct SelectColumn {
    std::string table;
    std::string column;
    Condition where;
    bool operator==(const SelectColumn&) const = default;
};

using Statement = std::variant<Delete, Insert, SelectMax, SelectColumn>;

/// Parses one statement. Raises kw::Failure "niet ondersteunde opdracht: " + sql for anything
/// outside the forms above, including a number beyond 64 bits and an unclosed text.
Statement Parse(const std::string& sql);

} // namespace kw::sql
