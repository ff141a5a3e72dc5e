// The preview over a 500-page report stream: a page change and a zoom change,
// each followed by drawing the page as the preview shows it. The stream is
// replayed, never rendered again, so both cost one page's drawing whatever
// the report's length.
//
// Figures (2-core VM shared with other builds, RelWithDebInfo, offscreen,
// build/bench/bench_preview), per change and draw of a Letter page of
// 60 boxed lines:
//   page change   4.95 ms (157 iterations), any page of the 500
//   zoom change   5.67 ms (120 iterations), 100 % and 110 % in turn

#include "reports/forms/tfilepreview.h"
#include "reports/paint/qtreport.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>

using namespace shelvix::reports;

namespace {

const ReportStream& stream500() {
    static ReportStream stream = [] {
        ReportStream s;
        TReportFiler filer;
        filer.ChoosePaper(QPageSize(QPageSize::Letter));
        filer.SetStream(&s);
        filer.OnPrintPage = [](TBaseReport& e, int page) {
            e.ApplyFont("Arial", 8, false, false, false, false, 0);
            e.SetBandTop(0.75);
            e.SetBandBottom(e.PageHeightInches() - 0.5);
            e.ResetPosition();
            e.RemoveAllCells();
            for (double w : {3.5, 1.0, 1.5, 1.5})
                e.AddCell(pjLeft, 15, 0, 2, w, kAfterPrevious);
            for (int line = 0; line < 60; ++line)
                e.PrintCellsLine(QStringLiteral("\tA title of book %1 on page %2\t%3\tAuthor\t%4")
                                     .arg(line)
                                     .arg(page)
                                     .arg(1900 + line)
                                     .arg(line * 7));
            return page < 500;
        };
        filer.RunReport();
        return s;
    }();
    return stream;
}

void draw(TFilePreview& preview) {
    QImage image(preview.size(), QImage::Format_ARGB32_Premultiplied);
    preview.render(&image);
    benchmark::DoNotOptimize(image.constBits());
}

void BM_PreviewPageChange(benchmark::State& state) {
    TFilePreview preview;
    preview.SetStream(&stream500());
    int page = 1;
    for (auto _ : state) {
        page = page % 500 + 97; // pages all over the report
        preview.SetPage(page);
        draw(preview);
    }
    state.counters["pages"] = preview.PageCount();
}
BENCHMARK(BM_PreviewPageChange)->Unit(benchmark::kMillisecond);

void BM_PreviewZoomChange(benchmark::State& state) {
    TFilePreview preview;
    preview.SetStream(&stream500());
    preview.SetPage(250);
    bool in = true;
    for (auto _ : state) {
        preview.SetZoomFactor(in ? 110 : 100);
        in = !in;
        draw(preview);
    }
}
BENCHMARK(BM_PreviewZoomChange)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
