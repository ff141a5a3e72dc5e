#include "db/fieldtable.h"
#include "db/sortorder.h"

#include <gtest/gtest.h>

using shelvix::db::buildSortString;
using shelvix::db::fieldNumber;

TEST(SortOrder, ExpressionForEachKindAndLevelCount) {
    const int author = fieldNumber("Author"), title = fieldNumber("Title");
    const int year = fieldNumber("YearPub"), purch = fieldNumber("PurchDate");
    const int cost = fieldNumber("Cost"), category = fieldNumber("Category");

    EXPECT_EQ(buildSortString({author, 0, 0, 0}), "Upper(Left(Author,80))");
    EXPECT_EQ(buildSortString({author, title, 0, 0}),
              "Upper(Left(Author,40))+Upper(Left(Title,40))");
    EXPECT_EQ(buildSortString({year, purch, cost, 0}),
              "STR(YearPub,12,0)+DTOS(PurchDate)+STR(Cost,12,2)");
    // A gap does not count as a level.
    EXPECT_EQ(buildSortString({author, 0, category, 0}),
              "Upper(Left(Author,40))+Upper(Left(Category,40))");
    EXPECT_EQ(buildSortString({0, 0, 0, title}), "Upper(Left(Title,80))");
    // Three levels: 80 / 3 rounds down; four give 20 each.
    EXPECT_EQ(buildSortString({title, author, year, 0}),
              "Upper(Left(Title,26))+Upper(Left(Author,26))+STR(YearPub,12,0)");
    EXPECT_EQ(buildSortString({title, author, category, title}),
              "Upper(Left(Title,20))+Upper(Left(Author,20))+Upper(Left(Category,20))+"
              "Upper(Left(Title,20))");
}

TEST(SortOrder, NoLevelsAndUnknownFieldNumbersAreSkipped) {
    EXPECT_EQ(buildSortString({0, 0, 0, 0}), "");
    EXPECT_EQ(buildSortString({-1, 37, 0, 999}), "");
    EXPECT_EQ(buildSortString({37, fieldNumber("Author"), 0, 0}), "Upper(Left(Author,80))");
}
