// Searches of the search window on a large catalogue beside SQLite's
// count(*) of the same condition. Needs SHELVIX_BENCH_DIR with BOOKS.DBF and
// BOOKS.sqlite (SQLite's default rollback journal: these only read);
// bench/compare-sqlite.sh prepares both and prints the ratios.

#include "app/databases.h"
#include "benchsupport.h"
#include "db/displayformats.h"
#include "db/engine/table.h"
#include "find/criteria.h"
#include "find/search.h"
#include "find/searchfilter.h"

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

// Levels of cells as typed into the search window, saved as it saves them.
std::vector<find::SearchItem>
criteria(const std::vector<std::vector<std::tuple<int, const char*, int>>>& levels) {
    db::DisplayFormats formats;
    find::Criteria c;
    for (const auto& level : levels) {
        std::array<QString, find::kRows> cells{};
        std::array<int, find::kRows> ops{};
        ops.fill(find::OpEqual);
        for (const auto& [row, text, op] : level) {
            cells[std::size_t(row - 1)] = QString::fromLatin1(text);
            ops[std::size_t(row - 1)] = op;
        }
        if (c.SaveFields(cells, ops, formats).status != find::SaveResult::Saved)
            throw std::runtime_error("bad criteria");
        c.nextLevel();
    }
    return c.items();
}

// Title contains war.
std::vector<find::SearchItem> titleWar() {
    return criteria({{{1, "war", find::OpEqual}}});
}
// Author contains smith, or YearPub between 1990 and 2000 and Cost below 20.
std::vector<find::SearchItem> twoLevels() {
    return criteria({{{2, "smith", find::OpEqual}},
                     {{3, "> 1990 AND < 2000", find::OpBetween}, {7, "< 20", find::OpLess}}});
}

const char* kSqlTitleWar = "SELECT count(*) FROM books WHERE instr(upper(title), 'WAR') > 0";
// Columns loaded from CSV are text: an empty one casts to 0, as an empty
// field reads in the filter.
const char* kSqlTwoLevels =
    "SELECT count(*) FROM books WHERE instr(upper(author), 'SMITH') > 0 OR "
    "(CAST(yearpub AS REAL) > 1990 AND CAST(yearpub AS REAL) < 2000 AND CAST(cost AS REAL) < 20)";

void countOurs(benchmark::State& state, const std::vector<find::SearchItem>& items) {
    auto table = db::Table::open(benchDir() / "BOOKS.DBF", db::OpenMode::Shared);
    std::uint32_t count = 0;
    for (auto _ : state) {
        // Compiling is part of the figure; a new filter drops the cached count.
        table->setFilter(find::SearchFilter(items, *table));
        count = table->recordCount();
    }
    state.counters["count"] = count;
}

void countSqlite(benchmark::State& state, const char* sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open((benchDir() / "BOOKS.sqlite").c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot open BOOKS.sqlite");
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    std::int64_t count = 0;
    for (auto _ : state) {
        sqlite3_reset(stmt);
        if (sqlite3_step(stmt) == SQLITE_ROW)
            count = sqlite3_column_int64(stmt, 0);
    }
    state.counters["count"] = double(count);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

void BM_Ours_SearchTitleWar(benchmark::State& state) {
    countOurs(state, titleWar());
}
BENCHMARK(BM_Ours_SearchTitleWar)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Sqlite_SearchTitleWar(benchmark::State& state) {
    countSqlite(state, kSqlTitleWar);
}
BENCHMARK(BM_Sqlite_SearchTitleWar)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Ours_SearchTwoLevels(benchmark::State& state) {
    countOurs(state, twoLevels());
}
BENCHMARK(BM_Ours_SearchTwoLevels)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Sqlite_SearchTwoLevels(benchmark::State& state) {
    countSqlite(state, kSqlTwoLevels);
}
BENCHMARK(BM_Sqlite_SearchTwoLevels)->Unit(benchmark::kMillisecond)->Iterations(3);

struct NullSearchView : find::SearchView {
    void showSearchOn(bool) override {}
    void SetViewerOptions() override {}
    void DisplayCount() override {}
    void showSearchWindow() override {}
};

// OK in the search window as the program runs it: the table in the author
// order of the default sort, the search put in force, then the first 40
// rows of the grid and the record count.
void BM_Ours_SearchInForceFirstScreen(benchmark::State& state) {
    const fs::path file = benchDir() / "BOOKS.DBF";
    {
        auto table = db::Table::open(file, db::OpenMode::Exclusive);
        bool tagged = false;
        for (const auto& t : table->tags())
            tagged = tagged || t.name == "NEWINDEX" || t.name == "NewIndex";
        if (!tagged)
            table->addTag("NewIndex", "Upper(Left(Author,80))");
    }
    bench::BenchPrompter prompter;
    bench::NullView dbView;
    NullSearchView searchView;
    app::AppContext ctx;
    ctx.prompter = &prompter;
    ctx.current = db::DatabaseFiles::of(QString::fromStdString(file.string()));
    ctx.sortTag = "NewIndex";
    app::Databases dbs(ctx, dbView);
    find::Search search(ctx, dbs, searchView);
    if (!dbs.openMyTable())
        throw std::runtime_error("cannot open the catalogue");
    const auto items = twoLevels();
    std::uint32_t count = 0;
    for (auto _ : state) {
        if (!search.Doit(items))
            throw std::runtime_error("no match");
        db::Table& t = *ctx.MyTable;
        for (std::uint32_t row = 0; row < 40 && row < t.rowCount(); ++row)
            benchmark::DoNotOptimize(t.record(t.recordAtRow(row)).text(0));
        count = t.recordCount();
        state.PauseTiming();
        search.DoEndSearch();
        state.ResumeTiming();
    }
    state.counters["count"] = count;
}
BENCHMARK(BM_Ours_SearchInForceFirstScreen)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
