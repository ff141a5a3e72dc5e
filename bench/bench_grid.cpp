// The viewer grid's model on a large generated catalogue: what attaching,
// painting a screenful, scrolling, editing a cell and searching cost.
// Uses SHELVIX_BENCH_DIR/BOOKS.DBF when set (bench/compare-sqlite.sh makes
// one); otherwise generates SHELVIX_GRID_BOOKS books (default 1,000,000) once
// into build/bench-grid-data.

#include "app/settings.h"
#include "db/bookgen.h"
#include "db/booktable.h"
#include "db/displayformats.h"
#include "db/engine/table.h"
#include "viewer/gridmodel.h"
#include "viewer/viewercolumns.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;
using namespace shelvix;

namespace {

const char* kTag = "NewIndex";

std::uint64_t bookCount() {
    const char* n = std::getenv("SHELVIX_GRID_BOOKS");
    return n ? std::strtoull(n, nullptr, 10) : 1000000;
}

// The catalogue, generated on first use, with the author tag the program's
// default sort order makes.
fs::path catalogue() {
    static fs::path path = [] {
        if (const char* dir = std::getenv("SHELVIX_BENCH_DIR"))
            return fs::path(dir) / "BOOKS.DBF";
        fs::path dir = fs::path("build") / "bench-grid-data";
        fs::create_directories(dir);
        fs::path file = dir / "BOOKS.DBF";
        std::uint64_t n = bookCount();
        fs::path mark = dir / ("N" + std::to_string(n));
        if (!fs::exists(file) || !fs::exists(mark)) {
            for (const auto& e : fs::directory_iterator(dir))
                fs::remove(e.path());
            db::createBookTable(file);
            auto table = db::Table::open(file, db::OpenMode::Exclusive);
            db::appendGeneratedBooks(*table, n, 7);
            std::ofstream(mark).put('\n');
        }
        return file;
    }();
    auto table = db::Table::open(path, db::OpenMode::Exclusive);
    bool tagged = false;
    for (const auto& t : table->tags())
        tagged = tagged || t.name == "NEWINDEX" || t.name == kTag;
    if (!tagged)
        table->addTag(kTag, "Upper(Left(Author,80))");
    return path;
}

std::vector<viewer::ViewerColumn> allColumns() {
    return viewer::planViewerColumns(app::DatabaseSettings());
}

struct Grid {
    std::unique_ptr<db::Table> table = db::Table::open(catalogue(), db::OpenMode::Shared);
    db::DisplayFormats formats;
    viewer::GridModel model;

    explicit Grid(bool tagOrder) {
        if (tagOrder)
            table->selectTag(kTag);
        model.setDisplayFormats(&formats);
        model.setColumns(allColumns());
        model.setTable(table.get());
    }
    ~Grid() { model.setTable(nullptr); }

    void paint(int top, int rows = 40) {
        for (int r = top; r < top + rows; ++r)
            for (int c = 0; c < model.columnCount(); ++c)
                benchmark::DoNotOptimize(model.data(model.index(r, c)));
    }
};

void BM_Grid_Attach(benchmark::State& state) {
    bool tagOrder = state.range(0) != 0;
    auto table = db::Table::open(catalogue(), db::OpenMode::Shared);
    db::DisplayFormats formats;
    for (auto _ : state) {
        table->selectTag(tagOrder ? kTag : ""); // drops the engine's rows
        viewer::GridModel model;
        model.setDisplayFormats(&formats);
        model.setColumns(allColumns());
        model.setTable(table.get());
        benchmark::DoNotOptimize(model.rowCount());
        model.setTable(nullptr);
    }
    state.counters["rows"] = double(table->rowCount());
}
BENCHMARK(BM_Grid_Attach)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 40 rows of 36 columns at a random place: what a jump of the scroll bar costs.
void BM_Grid_PaintScreenAfterJump(benchmark::State& state) {
    Grid g(state.range(0) != 0);
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> top(0, g.model.rowCount() - 41);
    std::uint64_t reads = g.model.recordReads();
    for (auto _ : state)
        g.paint(top(rng));
    state.counters["reads/screen"] =
        double(g.model.recordReads() - reads) / double(state.iterations());
}
BENCHMARK(BM_Grid_PaintScreenAfterJump)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Scrolling down one row at a time: one new record a step.
void BM_Grid_ScrollOneRow(benchmark::State& state) {
    Grid g(state.range(0) != 0);
    int top = 0;
    for (auto _ : state) {
        g.paint(top);
        top = (top + 1) % (g.model.rowCount() - 41);
    }
}
BENCHMARK(BM_Grid_ScrollOneRow)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Moving the table a row at a time, as the arrow keys do, and finding the
// view's row again.
void BM_Grid_CurrentRowStep(benchmark::State& state) {
    Grid g(true);
    g.model.moveToRow(g.model.rowCount() / 2);
    for (auto _ : state) {
        g.table->next();
        benchmark::DoNotOptimize(g.model.currentRow());
    }
}
BENCHMARK(BM_Grid_CurrentRowStep)->Unit(benchmark::kMicrosecond);

// A jump elsewhere (locate, a click after scrolling): the row is searched for.
void BM_Grid_CurrentRowJump(benchmark::State& state) {
    Grid g(true);
    std::mt19937 rng(2);
    std::uniform_int_distribution<std::uint32_t> recno(1, g.table->rowCount());
    for (auto _ : state) {
        g.table->goToRecord(recno(rng));
        benchmark::DoNotOptimize(g.model.currentRow());
    }
}
BENCHMARK(BM_Grid_CurrentRowJump)->Unit(benchmark::kMillisecond);

// Typing into a cell: edit, post with its index update, repaint the row.
void BM_Grid_EditCellInTagOrder(benchmark::State& state) {
    Grid g(true);
    int row = g.model.rowCount() / 3;
    int i = 0;
    for (auto _ : state) {
        g.model.setData(g.model.index(row, 0), QStringLiteral("Edited title %1").arg(i++));
        g.paint(row - 20);
    }
}
BENCHMARK(BM_Grid_EditCellInTagOrder)->Unit(benchmark::kMicrosecond);

// A search: the filter changes, the grid resets, the first screen shows.
void BM_Grid_FilterAndPaint(benchmark::State& state) {
    Grid g(state.range(0) != 0);
    for (auto _ : state) {
        g.table->setFilter([](const db::RecordView& r) { return r.text(4) == "History"; });
        g.paint(0, std::min(40, g.model.rowCount()));
        state.PauseTiming();
        g.table->setFilter({});
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Grid_FilterAndPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
