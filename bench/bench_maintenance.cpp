// What the sort order, pack and rebuild commands cost on a large catalogue:
// each holds the table for sole use, does its work and reopens it shared.
// SHELVIX_MAINT_BOOKS books (default 100,000), a tenth of them deleted, are
// generated once into build/bench-maint-data; pack works on a fresh copy
// each round so that it always has deleted records to remove.

#include "app/appcontext.h"
#include "app/databases.h"
#include "app/prompter.h"
#include "benchsupport.h"
#include "db/bookgen.h"
#include "db/booktable.h"
#include "db/sortorder.h"
#include "shell/maintenance.h"

#include <QString>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;
using namespace shelvix;

namespace {

std::uint64_t bookCount() {
    const char* n = std::getenv("SHELVIX_MAINT_BOOKS");
    return n ? std::strtoull(n, nullptr, 10) : 100000;
}

fs::path sourceDir() {
    static fs::path dir = [] {
        fs::path d = fs::absolute(fs::path("build") / "bench-maint-data");
        const std::uint64_t n = bookCount();
        const fs::path mark = d / ("N" + std::to_string(n));
        if (!fs::exists(mark)) {
            fs::remove_all(d);
            fs::create_directories(d / "source");
            const fs::path table = d / "source" / "MASTER.DBF";
            db::createBookTable(table);
            auto t = db::Table::open(table, db::OpenMode::Exclusive);
            t->addTag("NewIndex", db::buildSortString({2, 0, 0, 0}));
            db::BookGenerator gen(7);
            db::BookGenerator::Book book;
            t->disableControls();
            for (std::uint64_t i = 0; i < n; ++i) {
                gen.next(book);
                t->insert();
                for (const auto& [field, value] : book.values)
                    t->setText(field, value);
                t->post();
                if (i % 10 == 0)
                    t->deleteRecord();
            }
            t->enableControls();
            std::FILE* f = std::fopen(mark.c_str(), "w");
            if (f)
                std::fclose(f);
        }
        return d;
    }();
    return dir;
}

// A working copy of the catalogue, so no round sees another's result.
fs::path freshCopy() {
    const fs::path work = sourceDir() / "work";
    fs::remove_all(work);
    fs::copy(sourceDir() / "source", work);
    return work / "MASTER.DBF";
}

struct Session {
    bench::BenchPrompter prompter;
    bench::NullView view;
    app::AppContext ctx;
    app::Databases dbs{ctx, view};
    shell::Maintenance maintenance{ctx, dbs, view};
    explicit Session(const fs::path& table) {
        prompter.answerYes = true;
        ctx.prompter = &prompter;
        ctx.current = db::DatabaseFiles::of(QString::fromStdString(table.string()));
        ctx.sortExpression = db::buildSortString(ctx.database.sortOrder);
        ctx.sortTag = "NewIndex";
        dbs.openMyTable();
    }
};

void BM_SortOrderChange(benchmark::State& state) {
    Session s(freshCopy());
    bool byTitle = false;
    for (auto _ : state) {
        byTitle = !byTitle;
        const std::array<int, 4> levels =
            byTitle ? std::array<int, 4>{1, 2, 0, 0} : std::array<int, 4>{2, 0, 0, 0};
        if (!s.maintenance.setSortOrder(levels))
            state.SkipWithError("sort order failed");
    }
    state.counters["records"] = double(s.ctx.MyTable->recordCount());
}
BENCHMARK(BM_SortOrderChange)->Unit(benchmark::kMillisecond);

void BM_Pack(benchmark::State& state) {
    std::uint32_t left = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Session s(freshCopy());
        state.ResumeTiming();
        if (!s.maintenance.packDatabase())
            state.SkipWithError("pack failed");
        left = s.ctx.MyTable->recordCount();
    }
    state.counters["records left"] = left;
}
BENCHMARK(BM_Pack)->Unit(benchmark::kMillisecond);

void BM_RebuildIndexes(benchmark::State& state) {
    Session s(freshCopy());
    for (auto _ : state)
        if (!s.maintenance.rebuildIndexes())
            state.SkipWithError("rebuild failed");
}
BENCHMARK(BM_RebuildIndexes)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
