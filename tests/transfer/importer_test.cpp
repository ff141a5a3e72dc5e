#include "db/bookfixture.h"
#include "db/displayformats.h"
#include "db/fieldtable.h"
#include "support/tempdir.h"
#include "transfer/dbffiles.h"
#include "transfer/delimited.h"
#include "transfer/importer.h"

#include <gtest/gtest.h>

using namespace shelvix;

namespace {

// The named fields of every record, "|" between them.
std::vector<std::string> rows(db::Table& table, const std::vector<const char*>& fields) {
    std::vector<std::string> out;
    table.scan([&](const db::RecordView& r) {
        std::string line;
        for (std::size_t i = 0; i < fields.size(); ++i)
            line += (i ? "|" : "") + std::string(r.text(fields[i]));
        out.push_back(line);
        return false;
    });
    return out;
}

transfer::FieldMap mapByName(const std::vector<std::string>& sourceNames,
                             const std::vector<std::pair<const char*, const char*>>& pairs) {
    transfer::FieldMap map(sourceNames.size(), -1);
    for (const auto& [source, field] : pairs)
        for (std::size_t i = 0; i < sourceNames.size(); ++i)
            if (sourceNames[i] == source)
                map[i] = db::fieldNumber(field);
    return map;
}

} // namespace

TEST(ImportGrid, RowsDecideTheMapByPlace) {
    auto grid = transfer::initialImportRows(40);
    ASSERT_EQ(grid.size(), 40u);
    grid[0].use = false;          // first source field marked No
    std::swap(grid[1], grid[38]); // source 39 moved up beside field 2
    const auto map = transfer::fieldMapFromRows(grid, 40);
    EXPECT_EQ(map[0], -1);
    EXPECT_EQ(map[38], 2);
    EXPECT_EQ(map[1], -1); // now below row 36
    EXPECT_EQ(map[2], 3);
    EXPECT_EQ(map[35], 36);
    for (int i : {36, 37, 39})
        EXPECT_EQ(map[std::size_t(i)], -1);
    // Few source fields leave the lower book rows empty.
    EXPECT_EQ(transfer::initialImportRows(3).size(), 36u);
    EXPECT_EQ(transfer::initialImportRows(3)[3].source, -1);
}

TEST(Importer, ConvertsEachValueByTheKindOfItsField) {
    test::TempDir dir;
    const auto file = dir / "IN.TXT";
    test::writeFile(file, "\"Title\",\"YearPub\",\"Cost\",\"PurchDate\",\"Pages\",\"CheckDate\"\r\n"
                          "\"A\",\"1995a\",\"12.5x\",\"1/5/1999\",\"$1F\",\"2.3.1999\"\r\n"
                          "\"B\",\" -12\",\"abc\",\"13/45/1999\",\"123456\",\"Jan/5/1999\"\r\n"
                          "\"C\",\"\",\" 1e2\",\"\",\"\",\"12/31/49\"\r\n"
                          "\"" +
                              std::string(300, 'L') + "\"\r\n");
    transfer::DelimitedReader reader(file);
    ASSERT_EQ(reader.scanFirstLine(), transfer::FirstLine::Ok);
    test::BookTable books;
    db::DisplayFormats formats; // m/d/yy
    transfer::Importer importer(*books.table, formats);
    transfer::ImportStats stats;
    importer.run(reader,
                 mapByName(reader.fieldNames(), {{"Title", "Title"},
                                                 {"YearPub", "YearPub"},
                                                 {"Cost", "Cost"},
                                                 {"PurchDate", "PurchDate"},
                                                 {"Pages", "Pages"},
                                                 {"CheckDate", "CheckDate"}}),
                 true, stats);
    EXPECT_EQ(stats.imported, 4u);
    EXPECT_EQ(stats.unreadDates, 3u);   // another separator, impossible, a month name
    EXPECT_EQ(stats.unreadNumbers, 1u); // no number
    EXPECT_EQ(stats.cutFields, 1u);
    const auto stored =
        rows(*books.table, {"Title", "YearPub", "Cost", "PurchDate", "Pages", "CheckDate"});
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored[0], "A|1995|12.5000|19990105|31|");
    EXPECT_EQ(stored[1], "B|-12|||123456|");
    EXPECT_EQ(stored[2], "C||100.0000|||20491231");
    EXPECT_EQ(stored[3], std::string(90, 'L') + "|||||");
    EXPECT_NE(transfer::importWarning(stats).indexOf(QStringLiteral("3 date(s)")), -1);

    // Without skipping, the header line is a record; a cancel stops at once.
    books.reopen();
    transfer::Importer again(*books.table, formats);
    again.run(reader, transfer::FieldMap{1}, false, stats,
              [](const transfer::ImportStats& s) { return s.imported < 2; });
    EXPECT_TRUE(stats.cancelled);
    EXPECT_EQ(stats.imported, 2u);
    EXPECT_EQ(books.table->recordCount(), 6u);
    EXPECT_EQ(rows(*books.table, {"Title"})[4], "Title");
    EXPECT_TRUE(transfer::importWarning({}).isEmpty());
}

TEST(Importer, TablesOfOtherToolsImportWithEveryValue) {
    // Written by two independent dBASE libraries: cp437 with N(19,4), and
    // Windows-1252 with N(20,4); deleted records stay behind.
    for (const char* fixture : {"independent/BOOKS1.DBF", "independent/PBOOKS1.DBF"}) {
        SCOPED_TRACE(fixture);
        test::TempDir dir;
        const auto source = dir.copyFixture(fixture);
        dir.copyFixture(std::string(fixture).replace(std::string(fixture).size() - 3, 3, "MDX"));
        db::DisplayFormats formats;
        transfer::DbfReader reader(source, formats);
        EXPECT_EQ(reader.fieldNames(), (std::vector<std::string>{"AUTHOR", "TITLE", "YEARPUB",
                                                                 "PURCHDATE", "COST", "ISREAD"}));
        test::BookTable books;
        transfer::Importer importer(*books.table, formats);
        transfer::ImportStats stats;
        importer.run(reader,
                     mapByName(reader.fieldNames(), {{"AUTHOR", "Author"},
                                                     {"TITLE", "Title"},
                                                     {"YEARPUB", "YearPub"},
                                                     {"PURCHDATE", "PurchDate"},
                                                     {"COST", "Cost"},
                                                     {"ISREAD", "CheckOut"}}),
                     false, stats);
        EXPECT_EQ(stats.imported, 10u);
        EXPECT_EQ(stats.unreadNumbers, 0u);
        EXPECT_EQ(
            rows(*books.table, {"Title", "Author", "YearPub", "PurchDate", "Cost", "CheckOut"}),
            (std::vector<std::string>{
                "The Hobbit|Tolkien, J.R.R.|1937|19990115|12.5000|T",
                "Pride and Prejudice|austen, jane|1813|20010704|7.9900|F",
                "Foundation|Asimov, Isaac|1951|19990115|5.0000|T",
                "Untitled (all other fields blank)|||||",
                "The Silmarillion|Tolkien, J.R.R.|1977|20050310|-3.2500|T",
                "Germinal|Zola, \xC9mile|1885|19871231|123456789.1234|F",
                "Accents|\xE9lan, lower-case e-acute|2001|20020202|2.6750|",
                "Big Year|McDonald, Ann|99999999999|20100101|1234567890.5000|T",
                "Rounding|Aardvark, Al|2000|20000229|0.0050|F",
                "Punctuation|O'Brien, Pat|2000|20000229|0.0150|F",
            }));
    }
}

TEST(Importer, SpreadsheetTextWithEveryCellQuoted) {
    // As LibreOffice writes "Text CSV" with all text cells quoted: LF line
    // ends are not line ends here, so the file must use CR LF, which it does
    // on request; a cell with a line break holds a bare LF, which is dropped.
    test::TempDir dir;
    const auto file = dir / "CALC.TXT";
    test::writeFile(file, "\"Title\",\"Author\",\"Year Pub\",\"Cost\",\"Purchase Date\"\r\n"
                          "\"Caf\xE9 Society\",\"Smith, \"\"Doc\"\"\",\"1999\",\"12.5\","
                          "\"3/4/2001\"\r\n"
                          "\"Two\nlines\",\"\",\"\",\"\",\"\"\r\n");
    transfer::DelimitedReader reader(file);
    ASSERT_EQ(reader.scanFirstLine(), transfer::FirstLine::Ok);
    test::BookTable books;
    db::DisplayFormats formats;
    transfer::Importer importer(*books.table, formats);
    transfer::ImportStats stats;
    auto grid = transfer::initialImportRows(reader.fieldCount());
    // Lined up as a user would: Year Pub to row 3, Cost to 7, date to 12.
    std::swap(grid[3], grid[6]);
    std::swap(grid[4], grid[11]);
    importer.run(reader, transfer::fieldMapFromRows(grid, reader.fieldCount()), true, stats);
    EXPECT_EQ(rows(*books.table, {"Title", "Author", "YearPub", "Cost", "PurchDate"}),
              (std::vector<std::string>{"Caf\xE9 Society|Smith, \"Doc\"|1999|12.5000|20010304",
                                        "Twolines||||"}));
}
