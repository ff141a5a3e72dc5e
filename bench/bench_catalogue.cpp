// Our engine and SQLite on the same generated catalogue, side by side.
// Needs SHELVIX_BENCH_DIR with BOOKS.DBF (made by `shelvix-tool generate`) and
// BOOKS.sqlite; bench/compare-sqlite.sh prepares both and prints the ratios.

#include "db/engine/table.h"
#include "find/criteria.h"
#include "find/searchfilter.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <malloc.h>
#include <optional>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;
using namespace shelvix::db;

namespace {

fs::path benchDir() {
    const char* dir = std::getenv("SHELVIX_BENCH_DIR");
    if (!dir)
        throw std::runtime_error("set SHELVIX_BENCH_DIR (see bench/compare-sqlite.sh)");
    return dir;
}

fs::path dbfPath() {
    return benchDir() / "BOOKS.DBF";
}

// BOOKS.sqlite keeps SQLite's default rollback journal; BOOKS-wal.sqlite is
// a copy in WAL mode. Both run with synchronous=FULL unless a benchmark says
// otherwise.
sqlite3* openSqlite(const char* file = "BOOKS.sqlite") {
    sqlite3* db = nullptr;
    if (sqlite3_open((benchDir() / file).c_str(), &db) != SQLITE_OK)
        throw std::runtime_error(std::string("cannot open ") + file);
    return db;
}

void exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "sqlite error";
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

// Makes sure the tag the other benchmarks walk exists.
std::size_t heapInUse() {
    struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

void ensureAuthorTag() {
    auto table = Table::open(dbfPath(), OpenMode::Exclusive);
    for (const auto& t : table->tags())
        if (t.name == "NEWINDEX" || t.name == "NewIndex")
            return;
    table->addTag("NewIndex", "Upper(Left(Author,80))");
}

void BM_Ours_OpenTableAndIndex(benchmark::State& state) {
    ensureAuthorTag();
    for (auto _ : state) {
        auto table = Table::open(dbfPath(), OpenMode::Shared);
        table->selectTag("NewIndex");
        benchmark::DoNotOptimize(table.get());
    }
}
BENCHMARK(BM_Ours_OpenTableAndIndex)->Unit(benchmark::kMillisecond);

void BM_Ours_First40RowsInTagOrder(benchmark::State& state) {
    ensureAuthorTag();
    auto table = Table::open(dbfPath(), OpenMode::Shared);
    for (auto _ : state) {
        table->selectTag("NewIndex");
        int rows = 0;
        for (table->first(); !table->eof() && rows < 40; table->next(), ++rows)
            benchmark::DoNotOptimize(table->text("Title"));
    }
}
BENCHMARK(BM_Ours_First40RowsInTagOrder)->Unit(benchmark::kMillisecond);

void BM_Sqlite_First40RowsInIndexOrder(benchmark::State& state) {
    sqlite3* db = openSqlite();
    exec(db, "CREATE INDEX IF NOT EXISTS by_author ON books(upper(substr(author,1,80)))");
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT title FROM books ORDER BY upper(substr(author,1,80)) LIMIT 40",
                       -1, &stmt, nullptr);
    for (auto _ : state) {
        sqlite3_reset(stmt);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            benchmark::DoNotOptimize(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}
BENCHMARK(BM_Sqlite_First40RowsInIndexOrder)->Unit(benchmark::kMillisecond);

void BM_Ours_BuildAuthorTag(benchmark::State& state) {
    auto table = Table::open(dbfPath(), OpenMode::Exclusive);
    auto dropBenchTag = [&] {
        for (const auto& t : table->tags())
            if (t.name == "BENCHTAG" || t.name == "BenchTag")
                table->deleteTag("BenchTag");
    };
    dropBenchTag();
    for (auto _ : state) {
        table->addTag("BenchTag", "Upper(Left(Author,80))");
        // Like the DROP INDEX on the SQLite side, not part of the figure.
        state.PauseTiming();
        dropBenchTag();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Ours_BuildAuthorTag)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Sqlite_CreateIndex(benchmark::State& state) {
    sqlite3* db = openSqlite();
    for (auto _ : state) {
        exec(db, "CREATE INDEX bench_idx ON books(upper(substr(author,1,80)))");
        state.PauseTiming();
        exec(db, "DROP INDEX bench_idx");
        state.ResumeTiming();
    }
    sqlite3_close(db);
}
BENCHMARK(BM_Sqlite_CreateIndex)->Unit(benchmark::kMillisecond)->Iterations(2);

// The program's own search, Title contains war, compiled and counted as the
// search window's OK does it.
void BM_Ours_CountTitlesWithWar(benchmark::State& state) {
    auto table = Table::open(dbfPath(), OpenMode::Shared);
    shelvix::find::SearchItem war;
    war.Text = QStringLiteral("WAR");
    war.FieldNo = 1;
    war.Op = shelvix::find::OpContains;
    war.LevelEnd = true;
    std::uint32_t count = 0;
    for (auto _ : state) {
        shelvix::find::SearchFilter(std::vector{war}, *table).applyTo(*table);
        count = table->recordCount();
    }
    state.counters["count"] = count;
}
BENCHMARK(BM_Ours_CountTitlesWithWar)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Sqlite_CountTitlesWithWar(benchmark::State& state) {
    sqlite3* db = openSqlite();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM books WHERE instr(upper(title),'WAR') > 0", -1,
                       &stmt, nullptr);
    std::int64_t count = 0;
    for (auto _ : state) {
        sqlite3_reset(stmt);
        if (sqlite3_step(stmt) == SQLITE_ROW)
            count = sqlite3_column_int64(stmt, 0);
    }
    state.counters["count"] = static_cast<double>(count);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}
BENCHMARK(BM_Sqlite_CountTitlesWithWar)->Unit(benchmark::kMillisecond)->Iterations(3);

// One insert with the tag kept, as the edit form posts it: durable when it
// returns. `bulk` defers the syncs as bulk work does (the one sync at its end
// is not timed), the like of SQLite with synchronous=OFF.
void insertOneWithTag(benchmark::State& state, bool bulk) {
    ensureAuthorTag();
    auto table = Table::open(dbfPath(), OpenMode::Shared);
    table->selectTag("NewIndex");
    int n = 0;
    {
        std::optional<Table::Bulk> deferred;
        if (bulk)
            deferred.emplace(*table);
        for (auto _ : state) {
            table->insert();
            table->setText("Title", "Benchmark Insert");
            table->setText("Author", "Bench, Mark " + std::to_string(n++));
            table->setText("YearPub", "1999");
            table->post();
        }
    }
    // Leave the catalogue as generated: the inserted books go at the next pack.
    Table::Bulk cleanup(*table);
    table->setFilter([](const RecordView& r) { return r.text(0) == "Benchmark Insert"; });
    for (table->first(); !table->eof(); table->first())
        table->deleteRecord();
    cleanup.finish();
}

void BM_Ours_InsertOneWithTag(benchmark::State& state) {
    insertOneWithTag(state, false);
}
BENCHMARK(BM_Ours_InsertOneWithTag)->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_Ours_InsertOneWithTagUnsynced(benchmark::State& state) {
    insertOneWithTag(state, true);
}
BENCHMARK(BM_Ours_InsertOneWithTagUnsynced)->Unit(benchmark::kMicrosecond)->Iterations(200);

void insertOneWithIndex(benchmark::State& state, const char* file, const char* pragma) {
    sqlite3* db = openSqlite(file);
    exec(db, pragma);
    exec(db, "CREATE INDEX IF NOT EXISTS by_author ON books(upper(substr(author,1,80)))");
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO books(title, author, yearpub) VALUES(?, ?, 1999)", -1,
                       &stmt, nullptr);
    int n = 0;
    for (auto _ : state) {
        std::string author = "Bench, Mark " + std::to_string(n++);
        sqlite3_reset(stmt);
        sqlite3_bind_text(stmt, 1, "Benchmark Insert", -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 2, author.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(stmt);
    }
    sqlite3_finalize(stmt);
    exec(db, "DELETE FROM books WHERE title = 'Benchmark Insert'");
    sqlite3_close(db);
}

// Each insert its own transaction, durable at commit: SQLite's default
// rollback journal with synchronous=FULL, and WAL with synchronous=FULL.
void BM_Sqlite_InsertOneWithIndex(benchmark::State& state) {
    insertOneWithIndex(state, "BOOKS.sqlite", "PRAGMA synchronous=FULL");
}
BENCHMARK(BM_Sqlite_InsertOneWithIndex)->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_Sqlite_InsertOneWithIndexWal(benchmark::State& state) {
    insertOneWithIndex(state, "BOOKS-wal.sqlite", "PRAGMA synchronous=FULL");
}
BENCHMARK(BM_Sqlite_InsertOneWithIndexWal)->Unit(benchmark::kMicrosecond)->Iterations(200);

// Unsynced, like our bulk work: rollback journal, synchronous=OFF.
void BM_Sqlite_InsertOneWithIndexSynchronousOff(benchmark::State& state) {
    insertOneWithIndex(state, "BOOKS.sqlite", "PRAGMA synchronous=OFF");
}
BENCHMARK(BM_Sqlite_InsertOneWithIndexSynchronousOff)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// Heap in use at its highest while every record is read in tag order.
void BM_Ours_FullScanHeap(benchmark::State& state) {
    ensureAuthorTag();
    std::size_t peak = 0;
    for (auto _ : state) {
        const std::size_t before = heapInUse();
        auto table = Table::open(dbfPath(), OpenMode::Shared);
        table->selectTag("NewIndex");
        std::uint32_t n = 0;
        table->scan([&](const RecordView& r) {
            benchmark::DoNotOptimize(r.raw(0));
            if ((++n & 0xFFF) == 0)
                peak = std::max(peak, heapInUse() - before);
            return false;
        });
        peak = std::max(peak, heapInUse() - before);
        state.counters["records"] = n;
    }
    state.counters["peak_heap_MB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
}
BENCHMARK(BM_Ours_FullScanHeap)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
