// The writer driven by any bytes: inserts, deletes, MAX and single-column queries, transactions
// committed or rolled back, on a copy of a small test database in tmpfs, against a model of the
// rows. After every commit the file must read back as the model and pass the checker; every answer
// must be the model's, and the writer must refuse exactly the inserts that the model refuses.
// Anything else aborts with a description.
#include "db/jet/Check.h"
#include "db/jet/JetError.h"
#include "db/jet/Writer.h"
#include "db/jet/WriterModel.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

namespace {

using namespace kw::jet;
using test::Row;
namespace fs = std::filesystem;

struct Fixture {
    fs::path file;
    std::string password;
    Version version = Version::Jet4;
    std::vector<TableDef> tables; // those the writer changes
    std::map<std::string, std::vector<Row>> rows;
};

// A folder of this process in tmpfs, removed at exit and before an abort. Never destroyed, so
// that it outlives every other static object and the exit handler can still name it.
const fs::path& Folder() {
    static const fs::path* const folder = [] {
        const fs::path shm = "/dev/shm";
        const fs::path base = fs::is_directory(shm) ? shm : fs::temp_directory_path();
        auto* made =
            new fs::path(base / ("kwastor-writer-fuzz-" + std::to_string(std::random_device{}())));
        fs::create_directories(*made);
        return made;
    }();
    static const bool removedAtExit = [] {
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(*folder, ignored);
        });
        return true;
    }();
    (void)removedAtExit;
    return *folder;
}

// Leaves about `keep` rows in each table that has a whole-number column: those with the lowest
// values of its first one. Every statement reads rows, and the fuzzer's speed is in their number.
void Trim(const std::string& path, const std::string& password, std::size_t keep) {
    const auto db = Database::Open(path, password);
    auto writer = Writer::Open(path, password);
    for (const TableDef& t : db->Tables()) {
        const auto whole = std::find_if(t.columns.begin(), t.columns.end(), [](const Column& c) {
            return c.type == Type::Byte || c.type == Type::Integer || c.type == Type::Long;
        });
        if (!test::Writable(t) || whole == t.columns.end())
            continue;
        std::vector<std::int64_t> values;
        db->ForEachRow(t, [&](RowId, const Row& row) {
            if (const auto* v =
                    std::get_if<std::int64_t>(&row[std::size_t(whole - t.columns.begin())]))
                values.push_back(*v);
        });
        if (values.size() <= keep)
            continue;
        std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(keep), values.end());
        writer->Delete(t.name, {{whole->name, Comparison::Op::Greater, values[keep]}});
    }
}

// Small files of both versions whose indexes cover what the writer keeps: a descending integer
// index (Jet 3), unique, required and ignore-nulls text indexes, a composite unique key, indexes
// with an intermediate level (Jet 4); trimmed to a few rows per table.
const std::vector<Fixture>& Fixtures() {
    static const std::vector<Fixture> all = [] {
        const fs::path data = KW_JET_TESTDATA;
        std::vector<Fixture> out;
        for (const auto& [file, password] :
             {std::pair{data / "public/jackcess/compIndexTestV1997.mdb", ""},
              std::pair{data / "public/jackcess/testIndexPropertiesV2000.mdb", ""},
              std::pair{data / "picbase/picbase-V2000-text.pbd", "kolibrie"}}) {
            Fixture f;
            f.file = Folder() / ("trimmed-" + file.filename().string());
            f.password = password;
            fs::copy_file(file, f.file, fs::copy_options::overwrite_existing);
            fs::permissions(f.file, fs::perms::owner_read | fs::perms::owner_write);
            Trim(f.file.string(), password, 24);
            const auto db = Database::Open(f.file.string(), password);
            f.version = db->GetVersion();
            for (const TableDef& t : db->Tables()) {
                if (!test::Writable(t))
                    continue;
                f.tables.push_back(t);
                f.rows[t.name]; // a table without rows too
                db->ForEachRow(t, [&](RowId, const Row& row) { f.rows[t.name].push_back(row); });
            }
            out.push_back(std::move(f));
        }
        return out;
    }();
    return all;
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "writer fuzz: %s\n", what.c_str());
    std::error_code ignored;
    fs::remove_all(Folder(), ignored);
    std::abort();
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
    bool Done() const { return at_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

bool IsWhole(const Column& c) {
    return c.type == Type::Byte || c.type == Type::Integer || c.type == Type::Long;
}

// Small numbers and short texts, so that keys repeat, unique indexes refuse and conditions
// select; texts with accents, apostrophes, hyphens and a character Jet 4 has no key for.
Value MakeValue(const Column& c, Input& in) {
    const std::uint8_t b = in.Next();
    if (c.type != Type::Boolean && b % 8 == 0)
        return {};
    const std::int64_t small = b % 48;
    switch (c.type) {
    case Type::Boolean:
        return b % 2 == 0;
    case Type::Byte:
    case Type::Integer:
    case Type::Long:
        return small;
    case Type::Currency:
        return Currency{small * 10000};
    case Type::Single:
    case Type::Double:
        return double(small) / 4;
    case Type::DateTime:
        return DateTime{double(small + 30000)};
    default: {
        static const char* const pieces[] = {"a", "B", "\xC3\xA9", "\xC3\xAB",    "'",
                                             "-", " ", "z",        "\xE2\x82\xAC"};
        std::string text;
        for (std::size_t n =
                 1 + b % std::max<std::size_t>(1, std::min<std::size_t>(6, c.length / 2u));
             n > 0; --n)
            text += pieces[in.Next() % std::size(pieces)];
        return text;
    }
    }
}

Condition MakeCondition(const TableDef& t, Input& in) {
    std::vector<const Column*> whole;
    for (const Column& c : t.columns)
        if (IsWhole(c))
            whole.push_back(&c);
    Condition where;
    for (int n = in.Next() % 3; n > 0 && !whole.empty(); --n)
        where.push_back({whole[in.Next() % whole.size()]->name,
                         static_cast<Comparison::Op>(in.Next() % 6), in.Next() % 48});
    return where;
}

std::string Describe(const TableDef& t, const Condition& where) {
    std::string out = t.name;
    for (const Comparison& c : where)
        out += " " + c.column + " op" + std::to_string(int(c.op)) + " " + std::to_string(c.value);
    return out;
}

class Run {
public:
    Run(const Fixture& f, const std::string& path)
        : f_(f), path_(path), committed_(f.rows), model_(f.rows) {
        writer_ = Writer::Open(path_, f_.password);
    }

    void Step(Input& in) {
        const TableDef& t = f_.tables[in.Next() % f_.tables.size()];
        std::vector<Row>& rows = model_[t.name];
        switch (in.Next() % 8) {
        case 0:
        case 1:
        case 2: {
            Row row;
            for (const Column& c : t.columns)
                row.push_back(MakeValue(c, in));
            const std::string refusal = test::Refusal(t, row, rows, f_.version);
            try {
                writer_->Insert(t.name, row);
            } catch (const JetError& e) {
                if (refusal.empty() || std::string(e.what()).find(refusal) == std::string::npos)
                    Fail("insert into " + t.name + " of " + test::Printed(row) +
                         " refused: " + e.what() + " (expected: " + refusal + ")");
                Committed(); // a refusal outside a transaction leaves the file as it was
                return;
            }
            if (!refusal.empty())
                Fail("insert into " + t.name + " of " + test::Printed(row) + " accepted (" +
                     refusal + ")");
            rows.push_back(row);
            Committed();
            return;
        }
        case 3: {
            const Condition where = MakeCondition(t, in);
            const std::size_t before = rows.size();
            std::erase_if(rows, [&](const Row& r) { return test::Selected(t, where, r); });
            const int deleted = writer_->Delete(t.name, where);
            if (deleted != int(before - rows.size()))
                Fail("delete " + Describe(t, where) + ": " + std::to_string(deleted) +
                     " rows, the model " + std::to_string(before - rows.size()));
            Committed();
            return;
        }
        case 4:
        case 5: {
            const Column& c = t.columns[in.Next() % t.columns.size()];
            const std::size_t i = std::size_t(&c - t.columns.data());
            const Condition where = MakeCondition(t, in);
            test::Rows expected, got;
            std::optional<std::int64_t> highest;
            for (const Row& r : rows)
                if (test::Selected(t, where, r)) {
                    expected.insert(test::Printed({r[i]}));
                    if (const auto* v = std::get_if<std::int64_t>(&r[i]))
                        highest = std::max(highest.value_or(*v), *v);
                }
            if (IsWhole(c) && writer_->Max(t.name, c.name, where) != highest)
                Fail("MAX(" + c.name + ") over " + Describe(t, where) + " differs");
            for (const Value& v : writer_->Select(t.name, c.name, where))
                got.insert(test::Printed({v}));
            if (got != expected)
                Fail("SELECT " + c.name + " over " + Describe(t, where) + " differs");
            return;
        }
        case 6:
            if (!inTransaction_) {
                writer_->Begin();
                inTransaction_ = true;
                return;
            }
            writer_->Commit();
            inTransaction_ = false;
            Committed();
            return;
        default:
            if (inTransaction_) {
                writer_->Rollback();
                inTransaction_ = false;
                model_ = committed_;
            }
        }
    }

    void Finish() {
        if (inTransaction_) {
            writer_->Commit();
            inTransaction_ = false;
            Committed();
        }
        writer_.reset();
        Verify();
    }

private:
    // After a statement outside a transaction or a commit: the model is the file's.
    void Committed() {
        if (inTransaction_)
            return;
        committed_ = model_;
        Verify();
    }

    void Verify() const {
        const auto db = Database::Open(path_, f_.password);
        for (const Finding& finding : Check(*db))
            if (finding.IsFault())
                Fail("the checker finds: " + finding.ToString());
        for (const TableDef& t : f_.tables) {
            test::Rows expected;
            for (const Row& r : committed_.at(t.name))
                expected.insert(test::Printed(r));
            if (test::RowsOf(*db, *db->FindTable(t.name)) != expected)
                Fail("the rows of " + t.name + " differ from the model");
        }
    }

    const Fixture& f_;
    std::string path_;
    std::map<std::string, std::vector<Row>> committed_, model_;
    std::unique_ptr<Writer> writer_;
    bool inTransaction_ = false;
};

// Statements per input: enough for transactions of several, few enough to stay fast.
constexpr int kMaxSteps = 32;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        Input in(data, size);
        const Fixture& f = Fixtures()[in.Next() % Fixtures().size()];
        const fs::path path = Folder() / "db";
        fs::copy_file(f.file, path, fs::copy_options::overwrite_existing);
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
        Run run(f, path.string());
        for (int step = 0; step < kMaxSteps && !in.Done(); ++step)
            run.Step(in);
        run.Finish();
    } catch (const std::exception& e) {
        Fail(std::string("unexpected failure: ") + e.what());
    }
    return 0;
}
