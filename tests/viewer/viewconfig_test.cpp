#include "db/settings.h"
#include "viewer/viewconfig.h"
#include "viewer/viewercolumns.h"

#include <gtest/gtest.h>

using namespace shelvix;
using viewer::ViewConfigPages;

TEST(ViewConfigTest, DuplicateNamesAreExactAndCompareAsStored) {
    db::DatabaseSettings s;
    QStringList names = viewer::pagesFromSettings(s).names;
    EXPECT_EQ(viewer::duplicateFieldName(names), std::nullopt);

    names[1] = QStringLiteral("title"); // differs only in case: accepted
    EXPECT_EQ(viewer::duplicateFieldName(names), std::nullopt);

    names[5] = QString();
    names[30] = QString();
    ASSERT_EQ(viewer::duplicateFieldName(names), QString());
    EXPECT_EQ(viewer::duplicateNameMessage(QString()),
              QStringLiteral("Two field names have the same name \"\".  Please change one."));

    // Names equal in their first 20 characters would be equal once stored.
    names[5] = QStringLiteral("Twenty characters ab-one");
    names[30] = QStringLiteral("Twenty characters ab-two");
    EXPECT_EQ(viewer::duplicateFieldName(names), QStringLiteral("Twenty characters ab"));
}

TEST(ViewConfigTest, WidthCells) {
    EXPECT_EQ(viewer::widthFromCell(QStringLiteral("0")), 10);
    EXPECT_EQ(viewer::widthFromCell(QStringLiteral("256")), 10);
    EXPECT_EQ(viewer::widthFromCell(QStringLiteral("abc")), 10);
    EXPECT_EQ(viewer::widthFromCell(QStringLiteral("-5")), 10);
    EXPECT_EQ(viewer::widthFromCell(QStringLiteral("99999999999999999999")), 10);
    EXPECT_EQ(viewer::widthFromCell(QStringLiteral("255")), 255);
    EXPECT_EQ(viewer::widthFromCell(QStringLiteral(" +12 ")), 12);
    EXPECT_EQ(viewer::widthFromCell(QStringLiteral("30px")), 30);
    EXPECT_EQ(viewer::widthFromCell(QStringLiteral("1")), 1);
}

TEST(ViewConfigTest, StoringThePages) {
    db::DatabaseSettings s;
    ViewConfigPages pages = viewer::pagesFromSettings(s);
    pages.widths[0] = QStringLiteral("abc");
    pages.widths[1] = QStringLiteral("255");
    pages.widths[2] = QStringLiteral("0");
    pages.shown[3] = QStringLiteral("No");
    pages.shown[4] = QStringLiteral("yes"); // only "Yes" shows
    // Rename Author and move it to the top in the same visit.
    pages.names[1] = QStringLiteral("Writer, with a name too long");
    pages.order.erase(pages.order.begin() + 1);
    pages.order.insert(pages.order.begin(), 2);

    viewer::storePages(pages, s);
    EXPECT_EQ(s.fieldWidth[0], 10);
    EXPECT_EQ(s.fieldWidth[1], 255);
    EXPECT_EQ(s.fieldWidth[2], 10);
    EXPECT_EQ(pages.widths[0], QStringLiteral("10"));
    EXPECT_EQ(pages.widths[2], QStringLiteral("10"));
    EXPECT_FALSE(s.displayFields[3]);
    EXPECT_FALSE(s.displayFields[4]);
    EXPECT_TRUE(s.displayFields[5]);
    EXPECT_EQ(s.fieldNames[1], QStringLiteral("Writer, with a name "));
    EXPECT_EQ(s.fieldOrder[1], 1);
    EXPECT_EQ(s.fieldOrder[0], 2);
    EXPECT_EQ(s.fieldOrder[35], 36);
    const auto columns = viewer::planViewerColumns(s);
    ASSERT_GE(columns.size(), 2u);
    EXPECT_EQ(columns[0].field, 2);
    EXPECT_EQ(columns[0].title, QStringLiteral("Writer, with a name "));

    // Defaults then Exit: positions 1 to 36.
    pages.order = viewer::defaultOrder();
    viewer::storePages(pages, s);
    for (int i = 0; i < 36; ++i)
        EXPECT_EQ(s.fieldOrder[std::size_t(i)], i + 1);

    // Every field "No": no data columns.
    for (QString& cell : pages.shown)
        cell = viewer::toggledYesNo(QStringLiteral("Yes"));
    viewer::storePages(pages, s);
    EXPECT_TRUE(viewer::planViewerColumns(s).empty());
    EXPECT_EQ(viewer::toggledYesNo(QStringLiteral("No")), QStringLiteral("Yes"));
    EXPECT_EQ(viewer::toggledYesNo(QStringLiteral("")), QStringLiteral("Yes"));
}

TEST(ViewConfigTest, OrderListHoldsEveryFieldOnceWhateverThePositions) {
    db::DatabaseSettings s;
    s.fieldOrder.fill(7); // a hand-edited file
    s.fieldOrder[35] = 1;
    s.fieldOrder[10] = 99;
    const auto order = viewer::pagesFromSettings(s).order;
    ASSERT_EQ(order.size(), 36u);
    EXPECT_EQ(order.front(), 36);
    EXPECT_EQ(order.back(), 11);
    auto sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, viewer::defaultOrder());
}
