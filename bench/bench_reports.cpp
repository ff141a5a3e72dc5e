// The report output engine: pages of 60 lines of boxed cells recorded into
// the report stream, replayed from it into a PDF file, and drawn straight
// into a PDF file. Counters: pages per second, stream bytes per page, and
// how much the process grew per page (resident memory, sampled before and
// after each run).
//
// Figures (2-core VM, quiet, RelWithDebInfo, offscreen,
// build/bench/bench_reports --benchmark_counters_tabular=true), per CPU second:
//   record into the stream   100 pages 592 pages/s, 1000 pages 620 pages/s;
//                            68.8 KB of stream a page at 100 and 69.0 KB at 1000,
//                            the process growing by 70 KB a page (the stream)
//   replay stream to PDF     100 pages 463 pages/s, 1000 pages 457 pages/s (285 before
//                            the rules were merged and the PDF writer left QtPrintSupport)
//   straight to PDF          100 pages 619 pages/s, 1000 pages 613 pages/s (328 before the
//                            texts went as glyph runs); no growth
// The rate holds from 100 to 1000 pages, and only the kept stream costs memory.

#include "reports/paint/qtreport.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <unistd.h>

using namespace shelvix::reports;

namespace {

constexpr int kLines = 60;

double residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// `pages` pages of 60 lines, each line four bordered cells of text.
void setUp(TBaseReport& r, int pages) {
    r.OnBeforePrint = [](TBaseReport& e) {
        e.MarginTop = 0.5;
        e.MarginBottom = 0.5;
    };
    r.OnPrintPage = [pages](TBaseReport& e, int page) {
        e.ApplyFont("Arial", 8, false, false, false, false, 0);
        e.SetBandTop(0.75);
        e.SetBandBottom(e.PageHeightInches() - 0.5);
        e.ResetPosition();
        e.RemoveAllCells();
        for (double w : {3.5, 1.0, 1.5, 1.5}) {
            e.AddCell(pjLeft, 15, 0, 2, w, kAfterPrevious);
        }
        for (int line = 0; line < kLines; ++line) {
            e.PrintCellsLine(QStringLiteral("\tA title of book %1 on page %2\t%3\tAuthor %4\t%5.00")
                                 .arg(line)
                                 .arg(page)
                                 .arg(1900 + line)
                                 .arg(page * kLines + line)
                                 .arg(line * 7));
        }
        return page < pages;
    };
}

void report(benchmark::State& state, int pages, double grown) {
    state.counters["pages/s"] = benchmark::Counter(static_cast<double>(pages),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.counters["grown/page"] = grown / pages;
}

void BM_RecordStream(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    double grown = 0, bytes = 0;
    for (auto _ : state) {
        ReportStream stream;
        TReportFiler filer;
        filer.ChoosePaper(QPageSize(QPageSize::Letter));
        filer.SetStream(&stream);
        setUp(filer, pages);
        const double before = residentBytes();
        filer.RunReport();
        grown = residentBytes() - before;
        bytes = 0;
        for (const QPicture& p : stream.pages) {
            bytes += p.size();
        }
    }
    report(state, pages, grown);
    state.counters["stream/page"] = bytes / pages;
}
BENCHMARK(BM_RecordStream)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ReplayToPdf(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    ReportStream stream;
    TReportFiler filer;
    filer.ChoosePaper(QPageSize(QPageSize::Letter));
    filer.SetStream(&stream);
    setUp(filer, pages);
    filer.RunReport();
    QTemporaryDir dir;
    TFilePrinter printer;
    printer.SetStream(&stream);
    printer.ChoosePdfFile(dir.filePath(QStringLiteral("replay.pdf")));
    double grown = 0;
    for (auto _ : state) {
        const double before = residentBytes();
        printer.Print();
        grown = residentBytes() - before;
    }
    report(state, pages, grown);
}
BENCHMARK(BM_ReplayToPdf)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_DirectPdf(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    double grown = 0;
    for (auto _ : state) {
        TReportPrinter printer;
        printer.ChoosePdfFile(dir.filePath(QStringLiteral("direct.pdf")),
                              QPageSize(QPageSize::Letter));
        setUp(printer, pages);
        const double before = residentBytes();
        printer.RunReport();
        grown = residentBytes() - before;
    }
    report(state, pages, grown);
}
BENCHMARK(BM_DirectPdf)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
