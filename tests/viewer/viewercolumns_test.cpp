#include "db/settings.h"
#include "viewer/viewercolumns.h"

#include <gtest/gtest.h>
#include <set>

using namespace shelvix;
using viewer::planViewerColumns;

namespace {

std::vector<int> fields(const std::vector<viewer::ViewerColumn>& columns) {
    std::vector<int> out;
    for (const auto& c : columns)
        out.push_back(c.field);
    return out;
}

std::vector<int> range(int from, int to) {
    std::vector<int> out;
    for (int f = from; f <= to; ++f)
        out.push_back(f);
    return out;
}

} // namespace

TEST(ViewerColumns, DefaultsShowEveryFieldInTableOrder) {
    db::DatabaseSettings s;
    auto columns = planViewerColumns(s);
    ASSERT_EQ(columns.size(), 36u);
    EXPECT_EQ(fields(columns), range(1, 36));
    EXPECT_EQ(columns[2], (viewer::ViewerColumn{3, "Year Pub", 15}));
}

TEST(ViewerColumns, PositionsOrderTheShownFieldsUnderTheirNamesAndWidths) {
    db::DatabaseSettings s;
    for (int i = 0; i < 36; ++i)
        s.fieldOrder[std::size_t(i)] = 36 - i; // reversed
    s.displayFields[35] = false;               // UserDef6, would come first
    s.displayFields[0] = false;                // Title, would come last
    s.fieldNames[1] = "Writer";
    s.fieldWidth[1] = 40;
    auto columns = planViewerColumns(s);
    std::vector<int> expected;
    for (int f = 35; f >= 2; --f)
        expected.push_back(f);
    EXPECT_EQ(fields(columns), expected);
    EXPECT_EQ(columns.back(), (viewer::ViewerColumn{2, "Writer", 40}));

    s.displayFields.fill(false);
    EXPECT_TRUE(planViewerColumns(s).empty());
}

TEST(ViewerColumns, RepeatedOrMissingPositionsNeverShowAFieldTwice) {
    // Position 5 missing: its turn places field 1, and field 5, named by no
    // position, stays where table order had it.
    db::DatabaseSettings s;
    s.fieldOrder[4] = 0;
    std::vector<int> expected = {2, 3, 4, 5, 1};
    for (int f = 6; f <= 36; ++f)
        expected.push_back(f);
    EXPECT_EQ(fields(planViewerColumns(s)), expected);

    // ... and a field set not to show stays hidden although no position names it.
    s.displayFields[4] = false;
    expected.erase(expected.begin() + 3);
    EXPECT_EQ(fields(planViewerColumns(s)), expected);

    // Every field on position 1: field 1 takes each turn and ends last.
    db::DatabaseSettings all;
    all.fieldOrder.fill(1);
    auto plan = planViewerColumns(all);
    std::vector<int> rotated = range(2, 36);
    rotated.push_back(1);
    EXPECT_EQ(fields(plan), rotated);

    // Out-of-range positions (a hand-edited file) count as missing.
    db::DatabaseSettings wild;
    wild.fieldOrder[0] = 99;
    wild.fieldOrder[1] = -3;
    auto w = fields(planViewerColumns(wild));
    EXPECT_EQ(w.size(), 36u);
    EXPECT_EQ(std::set<int>(w.begin(), w.end()).size(), 36u);
}
