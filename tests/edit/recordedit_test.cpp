#include "db/bookfixture.h"
#include "db/displayformats.h"
#include "edit/recordedit.h"

#include <QDate>
#include <QSet>
#include <gtest/gtest.h>

using namespace shelvix;
using namespace shelvix::edit;

namespace {

db::DisplayFormats usFormats() {
    db::DisplayFormats f;
    f.setDateFormat(1); // mm/dd/yy
    f.setCurrencyFormat(db::DisplayFormats::US);
    return f;
}

RecordValues blankValues(const db::DisplayFormats& f) {
    RecordValues v;
    v[12] = blankDateMask(f.dateSeparator());
    v[18] = blankDateMask(f.dateSeparator());
    return v;
}

} // namespace

TEST(RecordEdit, MoneyEntriesFollowTheCurrencyStyle) {
    db::DisplayFormats us = usFormats();
    EXPECT_EQ(moneyOnExit(" 1,234.5 ", us), "1,234.50");
    EXPECT_EQ(parseMoney("1,234.5", us).state, MoneyEntry::Number);
    EXPECT_DOUBLE_EQ(parseMoney("1,234.5", us).value, 1234.5);
    EXPECT_DOUBLE_EQ(parseMoney("-1.5e2", us).value, -150);
    EXPECT_DOUBLE_EQ(parseMoney(".5", us).value, 0.5);
    EXPECT_EQ(parseMoney("   ", us).state, MoneyEntry::Empty);
    EXPECT_EQ(moneyOnExit("", us), "");
    // What is not a number stays as typed for the update to refuse, never a guess.
    EXPECT_EQ(parseMoney("12abc", us).state, MoneyEntry::Invalid);
    EXPECT_EQ(moneyOnExit("12abc", us), "12abc");
    EXPECT_EQ(moneyOnExit("0-5", us), "0-5");
    EXPECT_EQ(moneyOnExit("-5", us), "-5.00");

    db::DisplayFormats win = us;
    win.setCurrencyFormat(db::DisplayFormats::Windows);
    win.setIntl({.decimalChar = u',', .thousandsChar = u'.', .numberDigits = 2, .moneyDigits = 2});
    EXPECT_DOUBLE_EQ(parseMoney("1.234,5", win).value, 1234.5);
    EXPECT_EQ(moneyOnExit("1.234,5", win), "1.234,50");
    // Only the first decimal separator becomes a point.
    EXPECT_EQ(parseMoney("1,2,3", win).state, MoneyEntry::Invalid);
}

TEST(RecordEdit, BlankMasksWithAnySeparatorAreNoDate) {
    for (const char* text : {"  /  /    ", "  -  -    ", "  .  .    ", "", "   "})
        EXPECT_TRUE(isBlankDate(QString::fromLatin1(text))) << text;
    EXPECT_FALSE(isBlankDate("12/25/2023"));
    EXPECT_FALSE(isBlankDate("12/  /    "));

    db::DisplayFormats f = usFormats();
    EXPECT_EQ(dateForMask(QDate(2023, 1, 5), f), "01/05/2023");
    f.setDateFormat(12); // dd.mm.yyyy
    EXPECT_EQ(dateForMask(QDate(2023, 1, 5), f), "05.01.2023");
    EXPECT_EQ(dateForMask(QDate(), f), "  .  .    ");
}

TEST(RecordEdit, EntriesAreCheckedInOrderWithTheirPageAndControl) {
    const db::DisplayFormats f = usFormats();
    RecordValues v = blankValues(f);
    EXPECT_FALSE(validateEntries(v, f));

    v[7] = "1x";
    v[30] = "bad";
    auto e = validateEntries(v, f);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->message, "Invalid cost specified.  Please correct.");
    EXPECT_EQ(e->page, 2);
    EXPECT_EQ(e->control, "Cost");

    v[12] = "13/45/2020";
    e = validateEntries(v, f);
    EXPECT_EQ(e->message, "Invalid purchase date specified.  Please correct.");
    EXPECT_EQ(e->page, 0);
    v[18] = "02/30/2020";
    e = validateEntries(v, f);
    EXPECT_EQ(e->message, "Invalid check out date specified.  Please correct.");
    EXPECT_EQ(e->page, 3);
    EXPECT_EQ(e->control, "CheckDate");

    v = blankValues(f);
    v[8] = "x";
    EXPECT_EQ(validateEntries(v, f)->message, "Invalid value specified.  Please correct.");
    v[8] = "";
    v[29] = "x";
    EXPECT_EQ(validateEntries(v, f)->message,
              "Invalid low market value specified.  Please correct.");
}

TEST(RecordEdit, WritesEveryKindOfFieldAndReadsItBackAsTheFormShowsIt) {
    test::BookTable books;
    const db::DisplayFormats f = usFormats();
    RecordValues v = blankValues(f);
    v[1] = "Dune";
    v[2] = " Herbert ";
    v[3] = "1965";
    v[7] = "1,234.5";
    v[8] = ""; // empty money stores 0
    v[12] = "12/25/2023";
    v[18] = "  /  /    ";
    v[24] = "412";
    v[31] = "  padded  ";
    v.checkedOut = true;
    ASSERT_FALSE(writeRecord(*books.table, v, true, f));
    EXPECT_EQ(books.table->recordCount(), 1u);

    books.reopen();
    books.table->first();
    db::Table& t = *books.table;
    EXPECT_EQ(t.text("TITLE"), "Dune");
    EXPECT_EQ(t.text("AUTHOR"), " Herbert"); // the control's text as typed
    EXPECT_EQ(t.number("YEARPUB"), 1965);
    EXPECT_EQ(t.number("COST"), 1234.5);
    EXPECT_EQ(t.number("VALUE"), 0);
    EXPECT_EQ(t.date("PURCHDATE"), (db::Date{2023, 12, 25}));
    EXPECT_TRUE(t.isEmpty("CHECKDATE"));
    EXPECT_EQ(t.text("CHECKOUT"), "Yes");
    EXPECT_EQ(t.text("USERDEF1"), "padded");

    const RecordValues back = readRecord(t, f);
    EXPECT_EQ(back[7], "1,234.50");
    EXPECT_EQ(back[8], "0.00");
    EXPECT_EQ(back[29], "0.00");
    EXPECT_EQ(back[12], "12/25/2023");
    EXPECT_EQ(back[18], "  /  /    ");
    EXPECT_EQ(back[3], "1965");
    EXPECT_TRUE(back.checkedOut);
}

TEST(RecordEdit, RefusedNumberLeavesNothingHalfWrittenAndCanBeRetried) {
    test::BookTable books;
    const db::DisplayFormats f = usFormats();
    books.add({{"TITLE", "Old"}});
    RecordValues v = blankValues(f);
    v[1] = "New";
    v[3] = "19x4";
    const auto failure = writeRecord(*books.table, v, true, f);
    ASSERT_TRUE(failure);
    EXPECT_EQ(*failure, "'19x4' is not a valid floating point value for field 'YEARPUB'");
    EXPECT_EQ(books.table->state(), db::Table::State::Browse);
    EXPECT_EQ(books.table->recordCount(), 1u);

    // Editing the existing record fails the same way and leaves it as it was.
    books.table->first();
    v[24] = "lots";
    v[3] = "1984";
    EXPECT_TRUE(writeRecord(*books.table, v, false, f));
    EXPECT_EQ(books.table->state(), db::Table::State::Browse);
    books.reopen();
    books.table->first();
    EXPECT_EQ(books.table->text("TITLE"), "Old");

    v[24] = "300";
    EXPECT_FALSE(writeRecord(*books.table, v, true, f));
    EXPECT_EQ(books.table->recordCount(), 2u);

    // A character the table's code page lacks is refused before anything is written.
    v[1] = QString::fromUtf8("Война");
    EXPECT_EQ(*writeRecord(*books.table, v, true, f),
              QString::fromUtf8("'В' cannot be stored in field 'TITLE'"));
    EXPECT_EQ(books.table->recordCount(), 2u);
}

TEST(RecordEdit, ChangesCountCaseAndSpacesButNotBlanksAroundDates) {
    const db::DisplayFormats f = usFormats();
    RecordValues v = blankValues(f);
    v[2] = "Smith";
    v[12] = "01/05/23  ";
    const RecordValues saved = snapshotOf(v);
    EXPECT_FALSE(valuesChanged(v, saved));
    RecordValues w = v;
    w[12] = "01/05/23";
    EXPECT_FALSE(valuesChanged(w, saved));
    w[2] = "smith";
    EXPECT_TRUE(valuesChanged(w, saved));
    w = v;
    w[2] = "Smith ";
    EXPECT_TRUE(valuesChanged(w, saved));
    w = v;
    w.checkedOut = true;
    EXPECT_TRUE(valuesChanged(w, saved));
    // The snapshot holds no more than a control can.
    v[15] = "ABCDEFGHIJ";
    EXPECT_EQ(snapshotOf(v)[15], "ABCDEF");
}

TEST(RecordEdit, EnterChainVisitsEveryControlAndReturnsToTitle) {
    QSet<QString> seen;
    QString at = "Title";
    for (int i = 0; i < db::kFieldCount; ++i) {
        const auto step = enterChainNext(at);
        ASSERT_TRUE(step) << at.toStdString();
        ASSERT_NE(editControl(step->control), nullptr);
        // A page switch comes exactly when the chain reaches another page.
        const int from = editControl(at)->page;
        const int to = editControl(step->control)->page;
        EXPECT_EQ(step->page, from == to ? -1 : to) << at.toStdString();
        seen.insert(step->control);
        at = step->control;
    }
    EXPECT_EQ(at, "Title");
    EXPECT_EQ(seen.size(), db::kFieldCount);
    EXPECT_EQ(enterChainNext("UserDef6")->page, 0);
    EXPECT_FALSE(enterChainNext("UpdateButton"));
}

TEST(RecordEdit, PrintedLinesNameEveryFieldInTableOrder) {
    std::array<QString, 36> names;
    for (int i = 0; i < 36; ++i)
        names[std::size_t(i)] = QString::fromLatin1(db::fieldInfo(i + 1).label);
    const db::DisplayFormats f = usFormats();
    RecordValues v = blankValues(f);
    v[1] = "Dune";
    v[7] = "12.00";
    const QStringList lines = printLines(v, names);
    ASSERT_EQ(lines.size(), 36);
    EXPECT_EQ(lines[0], "Title: Dune");
    EXPECT_EQ(lines[6], "Cost: 12.00");
    EXPECT_EQ(lines[11], "Purchase Date:   /  /    ");
    EXPECT_EQ(lines[16], "Checked Out: No");
    v.checkedOut = true;
    EXPECT_EQ(printLines(v, names)[16], "Checked Out: Yes");
    EXPECT_EQ(lines[35], "User Defined 6: ");
}
