// The output engine's layout, through the recording device: the page cycle,
// lines and bands, cells, and the status text.
#include "reports/recordingreport.h"

#include <gtest/gtest.h>

namespace shelvix::reports {
namespace {

TEST(ReportEngineTest, ThePageCycleCallsTheFiveEventsAndStopsAfterACancelledPage) {
    RecordingReport r;
    QStringList log;
    QStringList status;
    r.StatusLabel = [&](const QString& s) { status << s; };
    r.OnBeforePrint = [&](TBaseReport& e) {
        log << "before";
        e.StatusFormat = "Printing Page %p\r%0\r%1";
        e.StatusText = QStringList{"", ""};
    };
    r.OnPrintHeader = [&](TBaseReport& e) { log << QString("header %1").arg(e.CurrentPage()); };
    r.OnPrintPage = [&](TBaseReport& e, int page) {
        log << QString("page %1").arg(page);
        if (page == 2) {
            e.CancelReport();
        }
        return true; // would go on for ever but for the cancel
    };
    r.OnPrintFooter = [&](TBaseReport&) { log << "footer"; };
    r.OnAfterPrint = [&](TBaseReport&) { log << "after"; };
    ASSERT_TRUE(r.RunReport());
    EXPECT_EQ(log, (QStringList{"before", "header 1", "page 1", "footer", "header 2", "page 2",
                                "footer", "after"}));
    EXPECT_TRUE(r.Canceled());
    EXPECT_EQ(r.pages, 2);
    EXPECT_EQ(r.begins, 1);
    EXPECT_EQ(r.ends, 1);
    EXPECT_EQ(status, (QStringList{"Printing Page 1\r\r", "Printing Page 2\r\r"}));

    // A new run starts uncancelled; a device that cannot start calls nothing.
    log.clear();
    r.OnPrintPage = [&](TBaseReport&, int) { return log << "page", false; };
    ASSERT_TRUE(r.RunReport());
    EXPECT_FALSE(r.Canceled());
    r.failToStart = true;
    log.clear();
    EXPECT_FALSE(r.RunReport());
    EXPECT_TRUE(log.isEmpty());

    // A handler that throws still closes the device.
    r.failToStart = false;
    r.OnPrintPage = [](TBaseReport&, int) -> bool { throw std::runtime_error("disk full"); };
    EXPECT_THROW(r.RunReport(), std::runtime_error);
    EXPECT_EQ(r.begins, r.ends);
    EXPECT_FALSE(r.Running());

    EXPECT_EQ(expandStatus("%P of %p: %0|%1|%2 %% %x", 7, {"a", "b"}), "7 of 7: a|b| % %x");
}

TEST(ReportEngineTest, LinesFollowTheFontAndStayInTheBand) {
    RecordingReport r;
    r.OnPrintPage = [](TBaseReport& e, int) {
        // 10 points: a line is 1/6 inch.
        e.ApplyFont("Arial", 10, false, false, false, false, 0);
        e.SetBandTop(0.5);
        e.SetBandBottom(1.25);
        e.ResetPosition();
        EXPECT_DOUBLE_EQ(e.LineTop(), 0.5);
        EXPECT_EQ(e.LinesRemaining(), 4); // 0.75 inch holds 4.5 lines
        e.PrintCellsLine("Title");
        e.ResetPosition();
        e.SetBandTop(1.25); // the line moves down into the new band
        e.SetBandBottom(11 - 0.5 - 0.75);
        EXPECT_DOUBLE_EQ(e.LineTop(), 1.25);
        EXPECT_EQ(e.LinesRemaining(), 51); // exactly 51 lines fit
        for (int i = 0; i < 60; ++i) {
            e.PrintCellsLine(QString("line %1").arg(i + 1));
        }
        EXPECT_EQ(e.LinesRemaining(), 0); // past the band, and still no new page
        e.ApplyFont("Arial", 20, false, false, false, false, 0);
        e.SetBandTop(10.25);
        e.SetBandBottom(10.5);
        e.PrintOnBandBottom("Page 1", pjLeft);
        e.PrintOnBandBottom("right", pjRight);
        e.PrintCentredAt("mid", 4.25);
        return false;
    };
    ASSERT_TRUE(r.RunReport());
    EXPECT_EQ(r.pages, 1);
    const QStringList lines = r.pageLines(1);
    ASSERT_EQ(lines.size(), 63);
    EXPECT_EQ(lines[0], "Title");
    EXPECT_EQ(lines[1], "line 1");
    EXPECT_TRUE(lines.contains("Page 1\tright"));
    const auto& t = r.texts;
    EXPECT_DOUBLE_EQ(t[1].baseline, 1.25 + 10 * 0.9 / 72);
    EXPECT_DOUBLE_EQ(t[2].baseline - t[1].baseline, 10 * 1.2 / 72);
    const auto& page1 = t[t.size() - 3];
    EXPECT_DOUBLE_EQ(page1.baseline, 10.5 - 20 * 1.2 / 72 + 20 * 0.9 / 72);
    EXPECT_DOUBLE_EQ(page1.x, 0.5);
    EXPECT_DOUBLE_EQ(t[t.size() - 2].x, 8.0 - 5 * 20.0 / 120);
    EXPECT_DOUBLE_EQ(t.back().x, 4.25 - 3 * 20.0 / 120 / 2);
    // A band that starts above the line left past the old band takes it to its top.
    EXPECT_DOUBLE_EQ(t.back().baseline, 10.25 + 20 * 0.9 / 72);
}

TEST(ReportEngineTest, CellsPlaceTextByJustificationAndDrawTheirBorders) {
    RecordingReport r;
    r.Orientation = poLandScape;
    EXPECT_DOUBLE_EQ(r.PageWidthInches(), 11);
    EXPECT_DOUBLE_EQ(r.PageHeightInches(), 8.5);
    r.OnPrintPage = [](TBaseReport& e, int) {
        e.ApplyFont("Courier New", 12, false, false, false, false, 0); // a character is 0.1 in
        e.MarginLeft = 1.0;
        e.ResetPosition();
        e.AddCell(pjCenter, 15, 0, 2, 2.0, kAfterPrevious);
        e.AddCell(pjLeft, 3, 0, 2, 1.5, kAfterPrevious);
        e.AddCell(pjRight, 12, 0, 2, 1.5, kAfterPrevious);
        e.AddCell(pjBlock, 0, 0, 2, 1.0, 8.0);
        EXPECT_DOUBLE_EQ(e.Cell(2).position, 3.0);
        EXPECT_DOUBLE_EQ(e.Cell(3).position, 4.5);
        EXPECT_DOUBLE_EQ(e.CellTextWidth(2), 1.46);
        EXPECT_EQ(e.CellTextWidth(5), 0);
        e.PrintCellsLine("lead\tmid\tleft\tright\tblock\tdropped");
        e.RemoveAllCells();
        e.AddCell(pjLeft, pbBottom, 0, 2, 3.0, kAfterPrevious);
        e.PrintCellsLine("\tsecond");
        return false;
    };
    ASSERT_TRUE(r.RunReport());
    std::vector<std::pair<QString, double>> placed;
    for (const auto& t : r.texts) {
        placed.emplace_back(t.text, t.x);
    }
    const std::vector<std::pair<QString, double>> want = {
        {"lead", 1.0},   {"mid", 1.0 + (2.0 - 0.3) / 2},
        {"left", 3.02},  {"right", 6.0 - 0.02 - 0.5},
        {"block", 8.02}, {"second", 1.02}};
    ASSERT_EQ(placed.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(placed[i].first, want[i].first);
        EXPECT_NEAR(placed[i].second, want[i].second, 1e-9) << i;
    }
    // 15: four edges; 3: left and right; 12: top and bottom; then one bottom edge.
    const double lh = 12 * 1.2 / 72, top = 0.5;
    using L = RecordingReport::Line;
    const std::vector<L> rules = {{1, 1.0, top, 1.0, top + lh},
                                  {1, 3.0, top, 3.0, top + lh},
                                  {1, 1.0, top, 3.0, top},
                                  {1, 1.0, top + lh, 3.0, top + lh},
                                  {1, 3.0, top, 3.0, top + lh},
                                  {1, 4.5, top, 4.5, top + lh},
                                  {1, 4.5, top, 6.0, top},
                                  {1, 4.5, top + lh, 6.0, top + lh},
                                  {1, 1.0, top + 2 * lh, 4.0, top + 2 * lh}};
    ASSERT_EQ(r.lines.size(), rules.size());
    for (std::size_t i = 0; i < rules.size(); ++i) {
        EXPECT_NEAR(r.lines[i].x1, rules[i].x1, 1e-9) << i;
        EXPECT_NEAR(r.lines[i].y1, rules[i].y1, 1e-9) << i;
        EXPECT_NEAR(r.lines[i].x2, rules[i].x2, 1e-9) << i;
        EXPECT_NEAR(r.lines[i].y2, rules[i].y2, 1e-9) << i;
    }
}

} // namespace
} // namespace shelvix::reports
