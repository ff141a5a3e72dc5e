// The output engine on Qt: pages written to PDF, recorded into the stream and
// replayed, drawn by the page widget, and refused without a printer.
#include "app/forms/qtprompter.h"
#include "reports/forms/tfilepreview.h"
#include "reports/paint/qtreport.h"
#include "support/gui_modal.h"
#include "support/tempdir.h"
#include "support/tool.h"

#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <cstdio>
#include <gtest/gtest.h>

namespace shelvix::reports {
namespace {

constexpr int kDpi = 300;
const ReportFont kFont{"Arial", 12};

struct Cell {
    int justify;
    int borders;
    double width;
    double position;
    QString text;
};

// Two lines of cells: every justification and every border set. Texts of
// capitals with straight edges at the ends and on the baseline, so their
// ink ends where the font says it does.
const std::vector<Cell> kLine1 = {{pjCenter, 15, 1.5, kAfterPrevious, "MIDDLE"},
                                  {pjLeft, 3, 1.5, kAfterPrevious, "LEFT"},
                                  {pjRight, 12, 1.5, kAfterPrevious, "RIM"},
                                  {pjBlock, 0, 1.5, kAfterPrevious, "BLE"}};
const std::vector<Cell> kLine2 = {{pjLeft, pbLeft, 1.25, 1.0, "HL1"},
                                  {pjLeft, pbRight, 1.25, 2.75, "HR2"},
                                  {pjLeft, pbTop, 1.25, 4.5, "HT4"},
                                  {pjLeft, pbBottom, 1.25, 6.0, "HB7"}};
constexpr double kBandTop = 1.0;

void addCells(TBaseReport& r, const std::vector<Cell>& cells) {
    r.RemoveAllCells();
    QString text;
    for (const Cell& c : cells) {
        r.AddCell(c.justify, c.borders, 0, 2, c.width, c.position);
        text += u'\t' + c.text;
    }
    r.PrintCellsLine(text);
}

// A two-page report: the test page, then a page with one line.
void setUp(TBaseReport& r) {
    r.OnPrintPage = [](TBaseReport& e, int page) {
        e.ApplyFont(kFont);
        e.SetBandTop(kBandTop);
        e.SetBandBottom(e.PageHeightInches() - 1.0);
        e.ResetPosition();
        if (page == 1) {
            addCells(e, kLine1);
            addCells(e, kLine2);
            e.AdvanceLine();
            e.PrintCentredAt("MID LINE", e.PageWidthInches() / 2);
            e.AdvanceLine();
            e.PrintOnBandBottom("FINAL", pjRight);
        } else {
            e.PrintCellsLine("Second page");
        }
        return page == 1;
    };
}

QImage renderPdf(const std::filesystem::path& pdf, int page = 1) {
    const std::string out = (pdf.parent_path() / ("png" + std::to_string(page))).string();
    shelvix::test::commandOutput("pdftoppm -r " + std::to_string(kDpi) + " -gray -singlefile -f " +
                                 std::to_string(page) + " -l " + std::to_string(page) + " '" +
                                 pdf.string() + "' '" + out + "'");
    return QImage(QString::fromStdString(out + ".pgm"));
}

// The ink (pixels darker than mid grey) inside `region`, in pixels.
QRectF ink(const QImage& image, const QRect& region) {
    int left = INT_MAX, right = INT_MIN, top = INT_MAX, bottom = INT_MIN;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                left = std::min(left, x);
                right = std::max(right, x + 1);
                top = std::min(top, y);
                bottom = std::max(bottom, y + 1);
            }
        }
    }
    return left > right ? QRectF() : QRectF(QPointF(left, top), QPointF(right, bottom));
}

QRect px(double left, double top, double right, double bottom) {
    return QRect(QPoint(int(left * kDpi), int(top * kDpi)),
                 QPoint(int(right * kDpi) - 1, int(bottom * kDpi) - 1));
}

// Where a text of kFont drawn at (x, baseline) inches leaves ink, in pixels.
QRectF expectedInk(double x, double baseline, const QString& text) {
    const QRectF box = QFontMetricsF(qtFont(kFont)).tightBoundingRect(text);
    return {(x + box.left() / kUnitsPerInch) * kDpi, (baseline + box.top() / kUnitsPerInch) * kDpi,
            box.width() / kUnitsPerInch * kDpi, box.height() / kUnitsPerInch * kDpi};
}

int pageCount(const std::filesystem::path& pdf) {
    const std::string info = shelvix::test::commandOutput("pdfinfo '" + pdf.string() + "'");
    const auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

void expectNear(const QRectF& got, const QRectF& want, const QString& what) {
    EXPECT_NEAR(got.left(), want.left(), 1.0) << what.toStdString();
    EXPECT_NEAR(got.right(), want.right(), 1.0) << what.toStdString();
    EXPECT_NEAR(got.bottom(), want.bottom(), 1.0) << what.toStdString();
}

TEST(ReportOutputTest, PdfPutsTextAndLinesWhereTheInchesSay) {
    test::TempDir dir;
    const auto pdf = dir / "page.pdf";
    TReportPrinter printer;
    printer.ChoosePdfFile(QString::fromStdString(pdf.string()), QPageSize(QPageSize::Letter));
    EXPECT_DOUBLE_EQ(printer.PageWidthInches(), 8.5);
    EXPECT_DOUBLE_EQ(printer.PageHeightInches(), 11);
    setUp(printer);
    double lh = 0, ascent = 0;
    auto page = printer.OnPrintPage;
    printer.OnPrintPage = [&](TBaseReport& e, int n) {
        e.ApplyFont(kFont);
        lh = e.LineHeight();
        ascent = QFontMetricsF(qtFont(kFont)).ascent() / kUnitsPerInch;
        return page(e, n);
    };
    ASSERT_TRUE(printer.RunReport());
    EXPECT_EQ(pageCount(pdf), 2);

    const QImage image = renderPdf(pdf);
    ASSERT_EQ(image.width(), int(8.5 * kDpi));
    const double top1 = kBandTop, top2 = kBandTop + lh;

    // Line 1: the cells follow each other from the left margin.
    const double m = 0.02;
    struct Want {
        double left, right;
        int justify;
        QString text;
    };
    for (int i = 0; i < 4; ++i) {
        const double left = 0.5 + 1.5 * i, right = left + 1.5;
        const QString& text = kLine1[i].text;
        const double w = QFontMetricsF(qtFont(kFont)).horizontalAdvance(text) / kUnitsPerInch;
        double x = left + m;
        if (kLine1[i].justify == pjCenter) {
            x = left + (1.5 - w) / 2;
        } else if (kLine1[i].justify == pjRight) {
            x = right - m - w;
        }
        const QRectF got = ink(image, px(left + 0.01, top1 + 0.01, right - 0.01, top1 + lh - 0.01));
        expectNear(got, expectedInk(x, top1 + ascent, text), text);
    }
    // Borders: 15 all round, 3 the sides only, 12 top and bottom only, 0 none.
    // The centre of a rule near x (or y): the pixel columns (rows) dark along
    // nine tenths of the stretch, or -1 when there is none.
    auto rule = [&](bool vertical, double at, double from, double to) {
        const int a = int(at * kDpi), lo = int(from * kDpi), hi = int(to * kDpi);
        double sum = 0;
        int n = 0;
        for (int p = a - 8; p <= a + 8; ++p) {
            int dark = 0;
            for (int q = lo; q < hi; ++q) {
                dark += qGray(vertical ? image.pixel(p, q) : image.pixel(q, p)) < 128;
            }
            if (dark * 10 >= (hi - lo) * 9) {
                sum += p + 0.5;
                ++n;
            }
        }
        return n ? sum / n : -1.0;
    };
    auto column = [&](double x, double top, double bottom) {
        return rule(true, x, top + lh * 0.2, bottom - lh * 0.2);
    };
    auto row = [&](double y, double left, double right) {
        return rule(false, y, left + 0.05, right - 0.05);
    };
    for (double x : {0.5, 2.0, 3.5}) {
        EXPECT_NEAR(column(x, top1, top1 + lh), x * kDpi, 1.0) << x;
    }
    EXPECT_EQ(column(5.0, top1, top1 + lh), -1);
    EXPECT_EQ(column(6.5, top1, top1 + lh), -1);
    for (double left : {0.5, 3.5}) {
        EXPECT_NEAR(row(top1, left, left + 1.5), top1 * kDpi, 1.0) << left;
        EXPECT_NEAR(row(top1 + lh, left, left + 1.5), (top1 + lh) * kDpi, 1.0) << left;
    }
    EXPECT_EQ(row(top1, 2.0, 3.5), -1);
    EXPECT_EQ(row(top1, 5.0, 6.5), -1);

    // Line 2: cells at given positions, one border each.
    EXPECT_NEAR(column(1.0, top2, top2 + lh), 1.0 * kDpi, 1.0);
    EXPECT_EQ(column(2.25, top2, top2 + lh), -1);
    EXPECT_NEAR(column(4.0, top2, top2 + lh), 4.0 * kDpi, 1.0);
    EXPECT_EQ(row(top2 + lh, 4.5, 5.75), -1);
    EXPECT_NEAR(row(top2, 4.5, 5.75), top2 * kDpi, 1.0);
    EXPECT_NEAR(row(top2 + lh, 6.0, 7.25), (top2 + lh) * kDpi, 1.0);
    for (int i = 0; i < 4; ++i) {
        const double left = kLine2[i].position;
        const QRectF got = ink(image, px(left + 0.03, top2 + 0.01, left + 1.22, top2 + lh - 0.01));
        expectNear(got, expectedInk(left + m, top2 + ascent, kLine2[i].text), kLine2[i].text);
    }

    // A centred text on the fourth line; the band's last line at the right margin.
    const double top4 = kBandTop + 3 * lh;
    const QString middle = "MID LINE";
    const double mw = QFontMetricsF(qtFont(kFont)).horizontalAdvance(middle) / kUnitsPerInch;
    expectNear(ink(image, px(0.5, top4, 8.0, top4 + lh)),
               expectedInk(4.25 - mw / 2, top4 + ascent, middle), middle);
    const double bottomTop = 11 - 1.0 - lh;
    const double fw = QFontMetricsF(qtFont(kFont)).horizontalAdvance("FINAL") / kUnitsPerInch;
    expectNear(ink(image, px(0.5, bottomTop, 8.2, 11 - 1.0)),
               expectedInk(8.0 - fw, bottomTop + ascent, "FINAL"), "FINAL");
}

TEST(ReportOutputTest, TheStreamReplaysTheSamePagesWithoutRunningTheReport) {
    test::TempDir dir;
    const auto direct = dir / "direct.pdf";
    TReportPrinter printer;
    printer.ChoosePdfFile(QString::fromStdString(direct.string()), QPageSize(QPageSize::Letter));
    printer.Orientation = poLandScape;
    setUp(printer);
    ASSERT_TRUE(printer.RunReport());

    ReportStream stream;
    TReportFiler filer;
    filer.ChoosePaper(QPageSize(QPageSize::Letter));
    filer.Orientation = poLandScape;
    filer.SetStream(&stream);
    setUp(filer);
    ASSERT_TRUE(filer.RunReport());
    ASSERT_EQ(stream.PageCount(), 2);
    EXPECT_EQ(stream.paperInches, QSizeF(11, 8.5));

    // Counting only, the same run keeps no pages.
    ReportStream untouched;
    filer.SetStream(&untouched);
    filer.CountOnly = true;
    ASSERT_TRUE(filer.RunReport());
    EXPECT_EQ(filer.CurrentPage(), 2);
    EXPECT_EQ(untouched.PageCount(), 0);

    TFilePrinter files;
    files.SetStream(&stream);
    const auto replayed = dir / "replayed.pdf";
    files.ChoosePdfFile(QString::fromStdString(replayed.string()));
    ASSERT_TRUE(files.Print());
    EXPECT_FALSE(files.Busy());
    auto text = [](const std::filesystem::path& p, int first = 1, int last = 99) {
        return shelvix::test::commandOutput("pdftotext -layout -f " + std::to_string(first) +
                                            " -l " + std::to_string(last) + " '" + p.string() +
                                            "' -");
    };
    const std::string want = text(direct);
    EXPECT_NE(want.find("MIDDLE"), std::string::npos);
    EXPECT_EQ(text(replayed), want);
    EXPECT_NE(
        shelvix::test::commandOutput("pdfinfo '" + replayed.string() + "'").find("792 x 612 pts"),
        std::string::npos);

    // Drawn, the replayed page matches the direct one pixel for pixel but for
    // anti-aliasing.
    const QImage a = renderPdf(direct), b = renderPdf(replayed);
    ASSERT_EQ(a.size(), b.size());
    int differ = 0, inkPixels = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            inkPixels += qGray(a.pixel(x, y)) < 128;
            differ += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 96;
        }
    }
    EXPECT_GT(inkPixels, 1000);
    EXPECT_LT(differ, inkPixels / 50);

    // A range in copies: page 2 twice.
    const auto range = dir / "range.pdf";
    files.ChoosePdfFile(QString::fromStdString(range.string()));
    ASSERT_TRUE(files.PrintRange(2, 5, 2));
    EXPECT_EQ(pageCount(range), 2);
    EXPECT_EQ(text(range, 1, 1), text(direct, 2, 2));
    EXPECT_EQ(text(range, 2, 2), text(direct, 2, 2));
    EXPECT_FALSE(files.PrintRange(3, 4));
}

// A PDF page gathers its rules and texts into few strokes; what covers what
// stays as drawn: a shaded cell hides the text that ran into it, a coloured
// text lies over the rule drawn before it and under the one drawn after it,
// decorations stay, and the whole page matches the stream played back one
// text at a time.
TEST(ReportOutputTest, GatheredPdfPagesCoverAsDrawn) {
    test::TempDir dir;
    const ReportFont red{"Arial", 28, true, false, false, false, 0x0000FF};
    const double m = QFontMetricsF(qtFont(red)).horizontalAdvance("M") / kUnitsPerInch;
    // The rules cross the middles of the second and fourth M.
    const double ruleBefore = 1.02 + 1.5 * m, ruleAfter = 1.02 + 3.5 * m;
    auto page = [&](TBaseReport& e, int) {
        e.SetBandTop(kBandTop);
        e.SetBandBottom(e.PageHeightInches() - 1.0);
        e.ResetPosition();
        e.ApplyFont("Arial", 20, false, false, false, false, 0);
        e.RemoveAllCells();
        e.AddCell(pjLeft, 15, 0, 2, 0.5, 1.0);
        e.AddCell(pjLeft, 15, 25, 2, 1.5, kAfterPrevious);
        e.PrintCellsLine(QStringLiteral("\tWWWWWWWW\t"));
        e.ApplyFont("Arial", 12, false, false, true, true, 0);
        e.RemoveAllCells();
        for (int i = 0; i < 4; ++i)
            e.AddCell(pjLeft, 15, 0, 2, 1.5, kAfterPrevious);
        e.PrintCellsLine(QStringLiteral("\tUNDER\tLINED\tAND\tSTRUCK"));
        e.ApplyFont("Arial", 12, false, false, false, false, 0);
        e.PrintCellsLine(QStringLiteral("\tZoë\tCafé\tNaïve\tÆsop"));
        // Last on the page, so nothing else comes between the red text and
        // the rule after it.
        e.ApplyFont(red);
        e.RemoveAllCells();
        e.AddCell(pjLeft, pbRight, 0, 2, ruleBefore - 1.0, 1.0);
        e.AddCell(pjLeft, 0, 0, 2, ruleAfter - ruleBefore, kAfterPrevious);
        e.AddCell(pjLeft, pbLeft, 0, 2, 1.0, kAfterPrevious);
        e.PrintCellsLine(QStringLiteral("\tMMMMMMMM\t\t"));
        return false;
    };
    const auto direct = dir / "direct.pdf";
    TReportPrinter printer;
    printer.ChoosePdfFile(QString::fromStdString(direct.string()), QPageSize(QPageSize::Letter));
    printer.OnPrintPage = page;
    ASSERT_TRUE(printer.RunReport());
    const QImage image = renderPdf(direct);
    QImage colour;
    {
        const std::string out = (dir / "colour").string();
        shelvix::test::commandOutput("pdftoppm -r " + std::to_string(kDpi) +
                                     " -singlefile -f 1 -l 1 '" + direct.string() + "' '" + out +
                                     "'");
        colour = QImage(QString::fromStdString(out + ".ppm"));
    }
    ASSERT_EQ(colour.size(), image.size());
    double lh[3] = {};
    {
        TReportFiler probe;
        probe.ChoosePaper(QPageSize(QPageSize::Letter));
        probe.ApplyFont("Arial", 20, false, false, false, false, 0);
        lh[0] = probe.LineHeight();
        probe.ApplyFont(red);
        lh[1] = probe.LineHeight();
        probe.ApplyFont("Arial", 12, false, false, false, false, 0);
        lh[2] = probe.LineHeight();
    }

    // Light grey all through the shaded cell: the Ws that ran into it are under it.
    int dark = 0;
    for (int y = int((kBandTop + 0.02) * kDpi); y < int((kBandTop + lh[0] - 0.02) * kDpi); ++y)
        for (int x = int(1.52 * kDpi); x < int(2.98 * kDpi); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    EXPECT_EQ(dark, 0);
    EXPECT_FALSE(ink(image, px(1.0, kBandTop, 1.49, kBandTop + lh[0])).isNull());

    // Down each rule through the Ms: red where the text came later, black where
    // the rule did.
    const double top3 = kBandTop + lh[0], top4 = top3 + 2 * lh[2];
    auto along = [&](double x, auto test) {
        int n = 0;
        for (int y = int(top4 * kDpi); y < int((top4 + lh[1]) * kDpi); ++y)
            n += test(colour.pixelColor(int(x * kDpi), y));
        return n;
    };
    auto isRed = [](QColor c) { return c.red() > 200 && c.green() < 80; };
    auto isBlack = [](QColor c) { return c.red() < 60 && c.green() < 60; };
    EXPECT_GT(along(ruleBefore, isRed), 10);
    EXPECT_EQ(along(ruleAfter, isRed), 0);
    EXPECT_GT(along(ruleAfter, isBlack), int(0.9 * lh[1] * kDpi));

    // A stroke under the first word of the second line and one through it.
    const QFontMetricsF fm(qtFont(ReportFont{"Arial", 12}));
    const double baseline = top3 + fm.ascent() / kUnitsPerInch;
    const double x0 = 0.52, x1 = x0 + fm.horizontalAdvance("UNDER") / kUnitsPerInch;
    auto strokes = [&](double from, double to) {
        int rows = 0;
        for (int y = int(from * kDpi); y < int(to * kDpi); ++y) {
            int inked = 0, n = 0;
            for (int x = int((x0 + 0.01) * kDpi); x < int((x1 - 0.01) * kDpi); ++x, ++n)
                inked += qGray(image.pixel(x, y)) < 128;
            rows += inked * 10 >= n * 9;
        }
        return rows;
    };
    EXPECT_GT(strokes(baseline + 0.005, top3 + lh[2] - 0.01), 0);
    EXPECT_GT(strokes(top3 + 0.03, baseline - 0.02), 0);
    const std::string text = shelvix::test::commandOutput("pdftotext '" + direct.string() + "' -");
    for (const char* word : {"UNDER", "STRUCK", "Zoë", "Æsop"})
        EXPECT_NE(text.find(word), std::string::npos) << word;

    // The whole page, played back from the stream one text at a time; but for
    // the decorations, which a picture played at the screen's resolution
    // places a pixel apart.
    ReportStream stream;
    TReportFiler filer;
    filer.ChoosePaper(QPageSize(QPageSize::Letter));
    filer.SetStream(&stream);
    filer.OnPrintPage = page;
    ASSERT_TRUE(filer.RunReport());
    TFilePrinter files;
    files.SetStream(&stream);
    const auto replayed = dir / "replayed.pdf";
    files.ChoosePdfFile(QString::fromStdString(replayed.string()));
    ASSERT_TRUE(files.Print());
    const QImage other = renderPdf(replayed);
    ASSERT_EQ(other.size(), image.size());
    int differ = 0, inkPixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        if (y >= int(top3 * kDpi) && y < int((top3 + lh[2]) * kDpi))
            continue;
        for (int x = 0; x < image.width(); ++x) {
            inkPixels += qGray(image.pixel(x, y)) < 128;
            differ += std::abs(qGray(image.pixel(x, y)) - qGray(other.pixel(x, y))) > 96;
        }
    }
    EXPECT_GT(inkPixels, 20000);
    EXPECT_LT(differ, inkPixels / 200);
}

TEST(ReportOutputTest, PageViewDrawsAPageAtItsZoomInColourOrBlackAndWhite) {
    ReportStream stream;
    TReportFiler filer;
    filer.ChoosePaper(QPageSize(QPageSize::Letter));
    filer.SetStream(&stream);
    filer.OnPrintPage = [](TBaseReport& e, int page) {
        e.ApplyFont("Arial", 48, true, false, false, false, page == 1 ? 0x0000FF : 0xFF0000);
        e.PrintCellsLine(page == 1 ? "RED" : "BLUE");
        return page < 3;
    };
    ASSERT_TRUE(filer.RunReport());
    ASSERT_EQ(stream.PageCount(), 3);

    TFilePreview view;
    view.SetStream(&stream);
    view.SetZoomFactor(50);
    const QSize at50 = view.size();
    view.SetZoomFactor(100);
    EXPECT_NEAR(view.width(), at50.width() * 2, 2);
    EXPECT_NEAR(view.width(), 8.5 * 1.05 * view.logicalDpiX(), 2);
    EXPECT_NEAR(view.height(), 11 * 1.05 * view.logicalDpiY(), 2);
    EXPECT_NEAR(view.ZoomPageWidth(view.size()), 100, 0.5);

    auto count = [&](auto test) {
        const QImage image = view.grab().toImage();
        int n = 0;
        for (int y = 0; y < image.height() / 3; ++y) {
            for (int x = 0; x < image.width(); ++x) {
                n += test(QColor(image.pixel(x, y)));
            }
        }
        return n;
    };
    auto red = [](QColor c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; };
    auto blue = [](QColor c) { return c.blue() > 200 && c.green() < 60 && c.red() < 60; };
    auto black = [](QColor c) { return c.red() < 40 && c.green() < 40 && c.blue() < 40; };
    EXPECT_GT(count(red), 200);
    EXPECT_EQ(count(black), 0);
    view.SetMonochrome(true);
    EXPECT_EQ(count(red), 0);
    EXPECT_GT(count(black), 200);
    view.SetPage(2);
    EXPECT_EQ(count(blue), 0);
    view.SetMonochrome(false);
    EXPECT_GT(count(blue), 200);
    view.SetPage(9);
    EXPECT_EQ(view.CurrentPage(), 3);
    view.NextPage();
    EXPECT_EQ(view.CurrentPage(), 3);
    view.PrevPage();
    EXPECT_EQ(view.CurrentPage(), 2);
    view.ZoomOut();
    EXPECT_EQ(view.ZoomFactor(), 90);
}

TEST(ReportOutputTest, WithoutPrintersNothingStartsAndTheUserIsTold) {
    // Point the print system at a scheduler that does not exist.
    test::TempDir dir;
    qputenv("CUPS_SERVER", QByteArray::fromStdString((dir / "none.sock").string()));
    if (!installedPrinterNames().isEmpty()) {
        GTEST_SKIP() << "printers are installed for this process; cannot test their absence";
    }
    QWidget owner;
    app::QtPrompter prompter(&owner);
    TReportPrinter printer(&prompter);
    printer.ChoosePrinter(-1);
    int events = 0;
    printer.OnBeforePrint = [&](TBaseReport&) { ++events; };
    printer.OnPrintPage = [&](TBaseReport&, int) { return ++events, false; };
    QString shown;
    test::onNextModal([&](QWidget* box) {
        if (auto* m = qobject_cast<QMessageBox*>(box)) {
            shown = m->windowTitle() + ": " + m->text();
        }
        test::clickDefaultButton(box);
    });
    EXPECT_FALSE(printer.RunReport());
    EXPECT_EQ(shown, "Error: No printers are defined, aborting print job.");
    EXPECT_EQ(events, 0);

    ReportStream stream;
    stream.paperInches = {8.5, 11};
    stream.pages.resize(1);
    TFilePrinter files(&prompter);
    files.SetStream(&stream);
    test::onNextModal([&](QWidget* box) { test::clickDefaultButton(box); });
    EXPECT_FALSE(files.Print());
}

} // namespace
} // namespace shelvix::reports
