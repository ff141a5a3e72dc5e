// "Short Narrow Report" rendered over generated catalogues of 10,000 and
// 100,000 books in the author order (grouped by author, with subtotals): to
// a text file and to a PDF file. Counters: pages per second, and how much
// the process grew over the run (resident memory before and after), which
// stays flat as the catalogue grows because neither output keeps its pages.
//
// Figures: see the end of this file.

#include "db/bookgen.h"
#include "db/booktable.h"
#include "db/displayformats.h"
#include "db/engine/table.h"
#include "reports/paint/qtreport.h"
#include "reports/reportdefinition.h"
#include "reports/reportrender.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <map>
#include <memory>
#include <unistd.h>

using namespace shelvix;
using namespace shelvix::reports;

namespace {

double residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// Peak resident memory of the process so far (VmHWM), bytes.
double peakBytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    double kb = 0;
    while (status >> key) {
        if (key == "VmHWM:") {
            status >> kb;
            break;
        }
        status.ignore(1 << 12, '\n');
    }
    return kb * 1024;
}

// One catalogue per size, made once: generated books, sorted by author.
db::Table& catalogue(QTemporaryDir& dir, int books) {
    static std::map<int, std::unique_ptr<db::Table>> made;
    auto& table = made[books];
    if (!table) {
        const std::filesystem::path path =
            dir.filePath(QStringLiteral("B%1.DBF").arg(books)).toStdString();
        db::createBookTable(path);
        table = db::Table::open(path, db::OpenMode::Exclusive);
        db::appendGeneratedBooks(*table, static_cast<std::uint64_t>(books), 97);
        table->addTag("NewIndex", "AUTHOR");
        table->selectTag("NewIndex");
    }
    return *table;
}

QTemporaryDir& workDir() {
    static QTemporaryDir dir;
    return dir;
}

void run(benchmark::State& state, bool pdf) {
    const int books = static_cast<int>(state.range(0));
    db::Table& table = catalogue(workDir(), books);
    const ReportDefinition def = DefaultReports()[0];
    const db::DisplayFormats formats;
    int pages = 0;
    double grown = 0;
    for (auto _ : state) {
        ReportRenderer renderer(def, table, formats);
        renderer.SortLevels = {2, 0, 0, 0};
        std::unique_ptr<TBaseReport> engine;
        if (pdf) {
            auto printer = std::make_unique<TReportPrinter>();
            printer->ChoosePdfFile(workDir().filePath(QStringLiteral("r.pdf")),
                                   QPageSize(QPageSize::Letter));
            engine = std::move(printer);
        } else {
            auto filer = std::make_unique<TReportFiler>();
            filer->ChoosePaper(QPageSize(QPageSize::Letter));
            filer->CountOnly = true;
            renderer.OutputMode = ReportMode::File;
            renderer.TextFileName = workDir().filePath(QStringLiteral("r.txt"));
            engine = std::move(filer);
        }
        renderer.attach(*engine);
        const double before = residentBytes();
        engine->RunReport();
        grown = residentBytes() - before;
        pages = engine->CurrentPage();
    }
    state.counters["pages"] = pages;
    state.counters["pages/s"] = benchmark::Counter(static_cast<double>(pages),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.counters["grown MB"] = grown / 1e6;
    state.counters["peak MB"] = peakBytes() / 1e6;
}

void BM_ShortNarrowToText(benchmark::State& state) {
    run(state, false);
}
void BM_ShortNarrowToPdf(benchmark::State& state) {
    run(state, true);
}
BENCHMARK(BM_ShortNarrowToText)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_ShortNarrowToPdf)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

// Figures (2-core VM shared with other builds, RelWithDebInfo, offscreen,
// build/bench/bench_render --benchmark_counters_tabular=true), CPU time:
//   to text  10,000 books   282 pages, 6,833 pages/s, grew 2.2 MB (first run: fonts)
//           100,000 books 1,979 pages, 6,017 pages/s, grew 0 MB
//   to PDF   10,000 books   282 pages,   780 pages/s, grew 0 MB (463 before texts went as
//           100,000 books 1,979 pages,   795 pages/s, grew 0.1 MB     glyph runs: 407)
// Peak resident memory of the whole process, the 100,000-book catalogue and
// its index made in it included: 44 MB. Neither output keeps its pages, so
// the run's memory does not follow the catalogue's size.
