// What opening a large catalogue costs the main window: the start-up open
// (tag already there) and switching to it from another database (settings,
// lists, a fresh "NewIndex" tag over every record, the shared open and the
// record count). SHELVIX_OPEN_BOOKS books (default 100,000) are generated
// once into build/bench-open-data.

#include "app/appcontext.h"
#include "app/databases.h"
#include "app/prompter.h"
#include "benchsupport.h"
#include "db/bookgen.h"
#include "db/booktable.h"

#include <QString>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;
using namespace shelvix;

namespace {

std::uint64_t bookCount() {
    const char* n = std::getenv("SHELVIX_OPEN_BOOKS");
    return n ? std::strtoull(n, nullptr, 10) : 100000;
}

fs::path dataDir() {
    static fs::path dir = [] {
        fs::path d = fs::absolute(fs::path("build") / "bench-open-data");
        const std::uint64_t n = bookCount();
        const fs::path mark = d / ("N" + std::to_string(n));
        if (!fs::exists(mark)) {
            fs::remove_all(d);
            fs::create_directories(d);
            db::createBookTable(d / "MASTER.DBF");
            db::createBookTable(d / "OTHER.DBF");
            auto table = db::Table::open(d / "MASTER.DBF", db::OpenMode::Exclusive);
            db::appendGeneratedBooks(*table, n, 11);
            std::FILE* f = std::fopen(mark.c_str(), "w");
            if (f)
                std::fclose(f);
        }
        return d;
    }();
    return dir;
}

struct Session {
    bench::BenchPrompter prompter;
    bench::NullView view;
    app::AppContext ctx;
    app::Databases dbs{ctx, view};
    Session() {
        const QString dir = QString::fromStdString(dataDir().string());
        ctx.paths.dataDir = dir;
        ctx.paths.configDir = dir;
        ctx.paths.startDir = dir;
        ctx.prompter = &prompter;
    }
};

void BM_OpenAtStartup(benchmark::State& state) {
    dataDir();
    std::uint32_t count = 0;
    for (auto _ : state) {
        Session s;
        if (!s.dbs.openAtStartup())
            state.SkipWithError("no database");
        count = s.ctx.MyTable->recordCount();
        benchmark::DoNotOptimize(count);
    }
    state.counters["records"] = count;
}
BENCHMARK(BM_OpenAtStartup)->Unit(benchmark::kMillisecond);

void BM_SwitchToLargeDatabase(benchmark::State& state) {
    const QString master = QString::fromStdString((dataDir() / "MASTER.DBF").string());
    const QString other = QString::fromStdString((dataDir() / "OTHER.DBF").string());
    Session s;
    s.ctx.global.lastDatabase = other;
    s.dbs.openAtStartup();
    std::uint32_t count = 0;
    for (auto _ : state) {
        s.dbs.switchTo(master, app::Databases::SwitchKind::Existing);
        count = s.ctx.MyTable->recordCount();
        state.PauseTiming();
        s.dbs.switchTo(other, app::Databases::SwitchKind::Existing);
        state.ResumeTiming();
    }
    state.counters["records"] = count;
}
BENCHMARK(BM_SwitchToLargeDatabase)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
