#include "db/displayformats.h"
#include "find/criteria.h"

#include <gtest/gtest.h>

using namespace shelvix::find;
using shelvix::db::DisplayFormats;

namespace {

constexpr int kTitle = 1, kAuthor = 2, kYearPub = 3, kCategory = 5, kCost = 7, kPurchDate = 12,
              kCheckDate = 18, kKeyWords = 23;

// One level of the grid: cells and operators of rows 1 to 36.
struct Level {
    std::array<QString, kRows> cells{};
    std::array<int, kRows> ops{};
    Level() { ops.fill(OpEqual); }
    Level& set(int row, const QString& text, int op = OpEqual) {
        cells[std::size_t(row - 1)] = text;
        ops[std::size_t(row - 1)] = op;
        return *this;
    }
};

DisplayFormats formats(int dateFormat = 7) {
    DisplayFormats f;
    f.setDateFormat(dateFormat);
    return f;
}

} // namespace

TEST(SearchCriteria, ALevelWithNothingUsableIsRefused) {
    for (int format : {7, 8, 9}) {
        const QChar sep = shelvix::db::dateFormatInfo(format)->separator;
        // Untouched masks read their blanks as spaces; operators stay in the cell.
        const QString blankDate = QStringLiteral("=   %1  %1    ").arg(sep);
        Level level;
        level.set(kPurchDate, blankDate)
            .set(kCheckDate, QStringLiteral(">   %1  %1     AND <   %1  %1    ").arg(sep),
                 OpBetween)
            .set(kCost, QStringLiteral("=          "))
            .set(kTitle, QStringLiteral("   "));
        Criteria c;
        EXPECT_EQ(c.SaveFields(level.cells, level.ops, formats(format)).status,
                  SaveResult::NoCriteria)
            << format;
        EXPECT_EQ(c.ItemCount(), 0);

        level.set(kAuthor, QStringLiteral(" smith "));
        ASSERT_EQ(c.SaveFields(level.cells, level.ops, formats(format)).status, SaveResult::Saved);
        ASSERT_EQ(c.ItemCount(), 1);
        EXPECT_EQ(c.items()[0].Text, QStringLiteral("SMITH"));
    }
}

TEST(SearchCriteria, RowsBecomeItemsByTypeAndOperator) {
    Level level;
    level.set(kTitle, QStringLiteral("  Café war  "))
        .set(kKeyWords, QStringLiteral("red  blue"))
        .set(kYearPub, QStringLiteral("> 1990     "), OpGreater)
        .set(kCost, QStringLiteral("> 10        AND < 20      "), OpBetween)
        .set(kPurchDate, QStringLiteral("< 12/25/2020"), OpLess)
        .set(29, QStringLiteral("= +1.5e2"))
        .set(30, QStringLiteral("=-.5"));
    Criteria c;
    ASSERT_EQ(c.SaveFields(level.cells, level.ops, formats()).status, SaveResult::Saved);
    const auto& it = c.items();
    ASSERT_EQ(c.ItemCount(), 8);

    EXPECT_EQ(it[0].Text, QStringLiteral("CAFé WAR")); // a to z only
    EXPECT_EQ(it[0].Op, OpContains);
    EXPECT_EQ(it[1].FieldNo, kYearPub);
    EXPECT_EQ(it[1].Op, OpGreater);
    EXPECT_EQ(it[1].NumValue, 1990);
    EXPECT_EQ(it[1].Text, QStringLiteral("1990"));
    // Between is two items: greater than the first, less than the second.
    EXPECT_EQ(it[2].Op, OpGreater);
    EXPECT_EQ(it[2].NumValue, 10);
    EXPECT_EQ(it[3].Op, OpLess);
    EXPECT_EQ(it[3].NumValue, 20);
    EXPECT_TRUE(it[4].IsDate);
    EXPECT_EQ(it[4].Op, OpLess);
    EXPECT_EQ(daysToDate(it[4].DateValue), QDate(2020, 12, 25));
    EXPECT_EQ(it[4].DateValue, 44190); // days since 30 December 1899
    EXPECT_EQ(it[5].Text, QStringLiteral("RED  BLUE"));
    EXPECT_EQ(it[5].Op, OpAnyWord);
    EXPECT_EQ(it[6].NumValue, 150);
    EXPECT_EQ(it[7].NumValue, -0.5);
    for (int i = 0; i < 7; ++i)
        EXPECT_FALSE(it[std::size_t(i)].LevelEnd);
    EXPECT_TRUE(it[7].LevelEnd);
}

TEST(SearchCriteria, InvalidEntryDropsOnlyTheCurrentLevel) {
    Criteria c;
    Level first;
    first.set(kAuthor, QStringLiteral("smith")).set(kCategory, QStringLiteral("poetry"));
    ASSERT_EQ(c.SaveFields(first.cells, first.ops, formats()).status, SaveResult::Saved);
    c.nextLevel();

    const std::vector<std::pair<int, Level>> bad = {
        {kCost, Level().set(kTitle, QStringLiteral("war")).set(kCost, QStringLiteral("= 1,5"))},
        {kCost, Level().set(kCost, QStringLiteral("= 1,000"))},
        {kCost, Level().set(kCost, QStringLiteral("= inf"))},
        {kCost, Level().set(kCost, QStringLiteral("= 1e999"))},
        {kCost, Level().set(kCost, QStringLiteral(">           AND < 20"), OpBetween)},
        {kCost, Level().set(kCost, QStringLiteral("> 5         AND < x"), OpBetween)},
        {kPurchDate, Level().set(kPurchDate, QStringLiteral("= 13/45/2020"))},
        {kPurchDate,
         Level().set(kPurchDate, QStringLiteral(">   /  /     AND < 1/1/2000"), OpBetween)},
    };
    for (const auto& [row, level] : bad) {
        const SaveResult r = c.SaveFields(level.cells, level.ops, formats());
        EXPECT_EQ(r.status, SaveResult::Invalid) << level.cells[std::size_t(row - 1)].toStdString();
        EXPECT_EQ(r.row, row);
        EXPECT_EQ(c.ItemCount(), 2);
        EXPECT_TRUE(c.items()[1].LevelEnd);
        EXPECT_EQ(c.Level(), 2);
    }
}
