#include "db/AccessSql.h"

#include "sys/Failure.h"

#include <charconv>
#include <cstddef>
#include <optional>

namespace kw::sql {

namespace {

struct Token {
    enum Kind { Name, Number, Text, Symbol, End } kind;
    std::string text; // a name, a symbol, or a text with its quotes undoubled
    std::int64_t number = 0;
};

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Splits the statement into tokens. A malformed piece (an unclosed text or bracket, a number
// beyond 64 bits, a character no form uses) yields nothing, and the caller refuses the statement.
std::optional<std::vector<Token>> Tokenize(const std::string& sql) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (IsBlank(c)) {
            ++i;
        } else if (IsNameStart(c)) {
            const std::size_t start = i;
            while (i < sql.size() && (IsNameStart(sql[i]) || IsDigit(sql[i])))
                ++i;
            tokens.push_back({Token::Name, sql.substr(start, i - start)});
        } else if (c == '[') {
            const std::size_t close = sql.find(']', i + 1);
            if (close == std::string::npos || close == i + 1)
                return std::nullopt;
            tokens.push_back({Token::Name, sql.substr(i + 1, close - i - 1)});
            i = close + 1;
        } else if (IsDigit(c) ||
                   ((c == '-' || c == '+') && i + 1 < sql.size() && IsDigit(sql[i + 1]))) {
            const std::size_t start = c == '+' ? i + 1 : i;
            i = start + 1;
            while (i < sql.size() && IsDigit(sql[i]))
                ++i;
            Token t{Token::Number, {}};
            const auto [end, ec] = std::from_chars(sql.data() + start, sql.data() + i, t.number);
            if (ec != std::errc() || end != sql.data() + i)
                return std::nullopt;
            if (i < sql.size() && IsNameStart(sql[i]))
                return std::nullopt; // 12abc is no number
            tokens.push_back(t);
        } else if (c == '\'') {
            std::string text;
            for (++i;; ++i) {
                if (i >= sql.size())
                    return std::nullopt;
                if (sql[i] == '\'') {
                    if (i + 1 < sql.size() && sql[i + 1] == '\'') {
                        text += '\'';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += sql[i];
            }
            tokens.push_back({Token::Text, std::move(text)});
        } else if ((c == '<' || c == '>') && i + 1 < sql.size() &&
                   (sql[i + 1] == '=' || (c == '<' && sql[i + 1] == '>'))) {
            tokens.push_back({Token::Symbol, sql.substr(i, 2)});
            i += 2;
        } else if (std::string_view("(),=<>*;").find(c) != std::string_view::npos) {
            tokens.push_back({Token::Symbol, std::string(1, c)});
            ++i;
        } else {
            return std::nullopt;
        }
    }
    tokens.push_back({Token::End, {}});
    return tokens;
}

struct Unsupported {};

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    sql::Statement ParseStatement() {
        sql::Statement result;
        if (Keyword("DELETE"))
            result = ParseDelete();
        else if (Keyword("INSERT"))
            result = ParseInsert();
        else if (Keyword("SELECT"))
            result = ParseSelect();
        else
            throw Unsupported{};
        Symbol(";");
        if (Peek().kind != Token::End)
            throw Unsupported{};
        return result;
    }

private:
    const Token& Peek() const { return tokens_[pos_]; }

    bool Keyword(const char* word) {
        const Token& t = Peek();
        if (t.kind != Token::Name)
            return false;
        std::size_t k = 0;
        for (; word[k]; ++k)
            if (k >= t.text.size() || Upper(t.text[k]) != word[k])
                return false;
        if (k != t.text.size())
            return false;
        ++pos_;
        return true;
    }

    bool Symbol(const char* symbol) {
        if (Peek().kind != Token::Symbol || Peek().text != symbol)
            return false;
        ++pos_;
        return true;
    }

    void Expect(bool found) {
        if (!found)
            throw Unsupported{};
    }

    // A table, column or alias name. A keyword of the forms can't be one without brackets, but
    // nothing here needs that rule: the forms fix where each name stands.
    std::string Name() {
        Expect(Peek().kind == Token::Name);
        return tokens_[pos_++].text;
    }

    std::int64_t Number() {
        Expect(Peek().kind == Token::Number);
        return tokens_[pos_++].number;
    }

    CompareOp Operator() {
        static constexpr std::pair<const char*, CompareOp> kOps[] = {
            {"=", CompareOp::Equal},        {"<>", CompareOp::NotEqual},
            {"<=", CompareOp::LessOrEqual}, {">=", CompareOp::GreaterOrEqual},
            {"<", CompareOp::Less},         {">", CompareOp::Greater}};
        for (const auto& [symbol, op] : kOps)
            if (Symbol(symbol))
                return op;
        throw Unsupported{};
    }

    // Comparisons joined by AND; parentheses may group them, which changes nothing under AND.
    void Conjunction(Condition& where) {
        do {
            if (Symbol("(")) {
                Conjunction(where);
                Expect(Symbol(")"));
            } else {
                std::string column = Name();
                const CompareOp op = Operator();
                where.push_back({std::move(column), op, Number()});
            }
        } while (Keyword("AND"));
    }

    Condition Where() {
        Expect(Keyword("WHERE"));
        Condition where;
        Conjunction(where);
        return where;
    }

    Delete ParseDelete() {
        Symbol("*");
        Expect(Keyword("FROM"));
        Delete d{Name(), {}};
        d.where = Where();
        return d;
    }

    Insert ParseInsert() {
        Expect(Keyword("INTO"));
        Insert ins{Name(), {}};
        Expect(Keyword("VALUES"));
        Expect(Symbol("("));
        do {
            if (Peek().kind == Token::Number)
                ins.values.emplace_back(Number());
            else if (Peek().kind == Token::Text)
                ins.values.emplace_back(tokens_[pos_++].text);
            else
                throw Unsupported{};
        } while (Symbol(","));
        Expect(Symbol(")"));
        return ins;
    }

    sql::Statement ParseSelect() {
        if (Keyword("MAX")) {
            SelectMax s;
            Expect(Symbol("("));
            s.column = Name();
            Expect(Symbol(")"));
            Expect(Keyword("AS"));
            s.alias = Name();
            Expect(Keyword("FROM"));
            s.table = Name();
            s.where = Where();
            return s;
        }
        SelectColumn s;
        s.column = Name();
        Expect(Keyword("FROM"));
        s.table = Name();
        s.where = Where();
        return s;
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
};

} // namespace

Statement Parse(const std::string& sql) {
    if (auto tokens = Tokenize(sql)) {
        try {
            return Parser(std::move(*tokens)).ParseStatement();
        } catch (const Unsupported&) {
        }
    }
    throw Failure("niet ondersteunde opdracht: " + sql);
}

} // namespace kw::sql
