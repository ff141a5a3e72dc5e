// Locate and search and replace on a large catalogue beside SQLite doing the
// same. Needs SHELVIX_BENCH_DIR with BOOKS.DBF and BOOKS.sqlite (rollback journal,
// synchronous=FULL, as SQLite comes; the replace is one transaction);
// bench/compare-sqlite.sh prepares both and prints the ratios.

#include "db/displayformats.h"
#include "db/engine/table.h"
#include "find/locate.h"
#include "find/replace.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;
using namespace shelvix;

namespace {

fs::path benchDir() {
    const char* dir = std::getenv("SHELVIX_BENCH_DIR");
    if (!dir)
        throw std::runtime_error("set SHELVIX_BENCH_DIR (see bench/compare-sqlite.sh)");
    return dir;
}

fs::path dbf() {
    return benchDir() / "BOOKS.DBF";
}

// The catalogue number of a live record 99 % of the way through the table:
// catalogue numbers are unique, so its one match lies near the end.
std::string nearTheEnd() {
    auto table = db::Table::open(dbf(), db::OpenMode::ReadOnly);
    const std::uint32_t n = table->recordCount();
    std::uint32_t recno = n - n / 100;
    while (table->record(recno).deleted())
        ++recno;
    return std::string(table->record(recno).text("CATALOGNUM"));
}

void ensureTag(const char* name, const char* expression) {
    auto table = db::Table::open(dbf(), db::OpenMode::Exclusive);
    for (const auto& t : table->tags())
        if (t.expression == expression)
            return;
    table->addTag(name, expression);
}

struct Sqlite {
    sqlite3* db = nullptr;
    Sqlite() {
        if (sqlite3_open((benchDir() / "BOOKS.sqlite").c_str(), &db) != SQLITE_OK)
            throw std::runtime_error("cannot open BOOKS.sqlite");
    }
    ~Sqlite() { sqlite3_close(db); }
    void exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string e = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error(e);
        }
    }
    std::int64_t first(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
        std::int64_t out = 0;
        if (sqlite3_step(stmt) == SQLITE_ROW)
            out = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        return out;
    }
};

void locateOurs(benchmark::State& state, bool bySeek) {
    const std::string value = nearTheEnd();
    if (bySeek)
        ensureTag("LocCat", "UPPER(CATALOGNUM)");
    auto table = db::Table::open(dbf(), db::OpenMode::Shared);
    table->selectTag(bySeek ? "LocCat" : "");
    const find::LocateQuery query{"CatalogNum", false, find::TMyLocateMatchType::mtExactMatch,
                                  QString::fromStdString(value)};
    db::DisplayFormats formats;
    std::uint32_t found = 0;
    // From the start: the locate itself goes to the top, as the window's does.
    for (auto _ : state) {
        if (find::locateRecord(*table, true, query, formats,
                               bySeek ? find::LocateMethod::Auto : find::LocateMethod::Scan) !=
            find::LocateOutcome::Found)
            throw std::runtime_error("not found: " + value);
        found = table->recno();
    }
    state.counters["recno"] = found;
}

void BM_Ours_LocateByScan(benchmark::State& state) {
    locateOurs(state, false);
}
BENCHMARK(BM_Ours_LocateByScan)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Ours_LocateBySeek(benchmark::State& state) {
    locateOurs(state, true);
}
BENCHMARK(BM_Ours_LocateBySeek)->Unit(benchmark::kMillisecond)->Iterations(2000);

void locateSqlite(benchmark::State& state, bool indexed) {
    const std::string value = nearTheEnd();
    Sqlite s;
    if (indexed)
        s.exec("CREATE INDEX IF NOT EXISTS books_catalognum ON books(upper(catalognum))");
    const std::string sql = std::string("SELECT rowid FROM books ") +
                            (indexed ? "" : "NOT INDEXED ") + "WHERE upper(catalognum) = '" +
                            value + "' LIMIT 1";
    std::int64_t found = 0;
    for (auto _ : state)
        found = s.first(sql);
    if (!found)
        throw std::runtime_error("SQLite did not find " + value);
    state.counters["recno"] = double(found);
}

// Without an index on the column: SQLite scans as our locate does.
void BM_Sqlite_LocateByScan(benchmark::State& state) {
    locateSqlite(state, false);
}
BENCHMARK(BM_Sqlite_LocateByScan)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Sqlite_LocateBySeek(benchmark::State& state) {
    locateSqlite(state, true);
}
BENCHMARK(BM_Sqlite_LocateBySeek)->Unit(benchmark::kMillisecond)->Iterations(2000);

// About 1 % of the books are lent to Alice. Each run renames her and the
// next renames her back, so the data end as they began (an even count of
// iterations). Both sides keep the author index and sync once at the end.
const char* const kNames[2] = {"Alice", "Alicia"};

void BM_Ours_Replace1Percent(benchmark::State& state) {
    ensureTag("NewIndex", "Upper(Left(Author,80))");
    db::DisplayFormats formats;
    int changed = 0;
    int i = 0;
    for (auto _ : state) {
        auto table = db::Table::open(dbf(), db::OpenMode::Exclusive);
        const int field = table->fieldIndex("CHECKNAME");
        find::ReplaceValues v;
        find::prepareReplace('C', 30, QString::fromLatin1(kNames[i % 2]),
                             QString::fromLatin1(kNames[(i + 1) % 2]), formats, v);
        changed = find::runReplacePass(*table, field, v).changed;
        ++i;
    }
    state.counters["changed"] = changed;
}
BENCHMARK(BM_Ours_Replace1Percent)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Sqlite_Replace1Percent(benchmark::State& state) {
    Sqlite s;
    s.exec("CREATE INDEX IF NOT EXISTS books_author ON books(upper(author))");
    std::int64_t changed = 0;
    int i = 0;
    for (auto _ : state) {
        s.exec(std::string("UPDATE books SET checkname = '") + kNames[(i + 1) % 2] +
               "' WHERE upper(checkname) = upper('" + kNames[i % 2] + "')");
        changed = sqlite3_changes(s.db);
        ++i;
    }
    state.counters["changed"] = double(changed);
}
BENCHMARK(BM_Sqlite_Replace1Percent)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

BENCHMARK_MAIN();
