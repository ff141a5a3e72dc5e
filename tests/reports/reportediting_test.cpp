#include "reports/reportediting.h"

#include <gtest/gtest.h>

using namespace shelvix::reports;

namespace {

ReportLine lineOf(std::initializer_list<int> widths) {
    ReportLine line{};
    int i = 0;
    for (int w : widths) {
        line[std::size_t(i)] = fieldPart(i + 1, w);
        ++i;
    }
    return line;
}

std::vector<int> widths(const ReportLine& line) {
    std::vector<int> out;
    for (const ReportPartEntry& p : line)
        out.push_back(p.width);
    while (!out.empty() && out.back() == 0)
        out.pop_back();
    return out;
}

} // namespace

TEST(FitLineToWidth, NarrowingEndsTheLineWhereTheWidthIsReachedOrCut) {
    ReportLine exact = lineOf({60, 60, 30});
    FitLineToWidth(exact, 120);
    EXPECT_EQ(widths(exact), (std::vector<int>{60, 60}));

    ReportLine cut = lineOf({50, 50, 50});
    FitLineToWidth(cut, 90);
    EXPECT_EQ(widths(cut), (std::vector<int>{50, 40}));
    EXPECT_EQ(cut[2].width, 0);
    EXPECT_EQ(cut[2].name, fieldPart(3, 1).name); // the part stays; only its width goes
}

TEST(FitLineToWidth, WideningTurnsTheFirstEmptyPartIntoTheRest) {
    ReportLine line{};
    line[0] = fieldPart(1, 30);
    line[1] = labelPart("By", 60);
    FitLineToWidth(line, 150);
    EXPECT_EQ(widths(line), (std::vector<int>{30, 60, 60}));
    EXPECT_TRUE(line[2].isFiller());

    // Twenty parts that stay short: the last takes what is missing.
    ReportLine full{};
    for (auto& p : full)
        p = fillerPart(1);
    FitLineToWidth(full, 90);
    EXPECT_EQ(full[19].width, 71);
    EXPECT_EQ(full[18].width, 1);
}

TEST(FitLineToWidth, OnlyTheCountedBodyLinesAreFitted) {
    ReportDefinition def = InitReportDefinition();
    def.lineCount = 1;
    def.lines[0] = lineOf({100, 50});
    def.lines[1] = lineOf({100, 50});
    def.totalsLine = lineOf({100, 50});
    FitLinesToWidth(def, 120);
    EXPECT_EQ(widths(def.lines[0]), (std::vector<int>{100, 20}));
    EXPECT_EQ(widths(def.lines[1]), (std::vector<int>{100, 50}));
    EXPECT_EQ(widths(def.totalsLine), (std::vector<int>{100, 50}));
}

TEST(LayoutBoxes, PartsAreSizedByWidthAndTheLastReachesTheRightEdge) {
    const std::vector<PartBox> boxes = partBoxes(lineOf({30, 30, 30}), 90, 4, 629);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].left, 4);
    EXPECT_EQ(boxes[0].right, 212); // 4 + 625 / 90 × 30
    EXPECT_EQ(boxes[1].left, 212);
    EXPECT_EQ(boxes[1].right, 421);
    EXPECT_EQ(boxes[2].right, 629);

    // A short line still fills the row; a line wider than the width (never
    // fitted) never draws past the edge.
    EXPECT_EQ(partBoxes(lineOf({10}), 90, 4, 629).back().right, 629);
    for (const PartBox& b : partBoxes(lineOf({100, 10, 5}), 90, 4, 629))
        EXPECT_LE(b.right, 629) << b.part;
}

TEST(LayoutHitTest, ClicksFindLineAndPartAtAnyScale) {
    ReportDefinition def = InitReportDefinition();
    def.lineCount = 2;
    def.lines[0] = lineOf({45, 45});
    def.lines[1] = lineOf({90});
    def.totalsLine = lineOf({30, 60});
    for (double factor : {1.0, 1.25}) {
        const LayoutGeometry g(factor);
        const auto at = [&](int x, int y) { return hitTest(def, 90, g, g.scaled(x), g.scaled(y)); };
        EXPECT_EQ(at(10, 80), (LayoutHit{1, 1})) << factor;
        EXPECT_EQ(at(600, 80), (LayoutHit{1, 2}));
        EXPECT_EQ(at(600, 114), (LayoutHit{2, 1}));
        EXPECT_EQ(at(100, 360), (LayoutHit{100, 1}));
        EXPECT_EQ(at(400, 360), (LayoutHit{100, 2}));
        EXPECT_EQ(at(2, 80), LayoutHit{});    // left of the drawing area
        EXPECT_EQ(at(300, 200), LayoutHit{}); // below the body rows
    }
    // The extra pixel under the last row is that row's, not a thirteenth line.
    const LayoutGeometry g(1.0);
    EXPECT_EQ(hitTest(def, 90, g, 300, 75 + 2 * 20), (LayoutHit{2, 1}));
    def.lineCount = 0;
    EXPECT_EQ(hitTest(def, 90, g, 300, 80), LayoutHit{});
}
