#include "db/bookfixture.h"
#include "db/displayformats.h"
#include "support/tempdir.h"
#include "transfer/delimited.h"

#include <gtest/gtest.h>

using namespace shelvix;
using transfer::DelimitedReader;
using transfer::FirstLine;

namespace {

std::vector<std::vector<std::string>> readAll(DelimitedReader& reader,
                                              transfer::SourceRecord* last = nullptr) {
    std::vector<std::vector<std::string>> out;
    transfer::SourceRecord r;
    while (reader.next(r)) {
        std::vector<std::string> row;
        for (const auto& v : r.values)
            row.push_back(v.text);
        out.push_back(row);
        if (last)
            *last = r;
    }
    return out;
}

std::string quotedLine(int fields) {
    std::string line;
    for (int i = 1; i <= fields; ++i)
        line += (i > 1 ? ",\"f" : "\"f") + std::to_string(i) + "\"";
    return line + "\r\n";
}

struct DelimitedFile {
    test::TempDir dir;
    std::filesystem::path path = dir / "IN.TXT";
    explicit DelimitedFile(const std::string& bytes) { test::writeFile(path, bytes); }
};

} // namespace

TEST(DelimitedReader, FirstLineDecidesTheSourceFields) {
    {
        DelimitedFile f(quotedLine(46) + quotedLine(46));
        DelimitedReader r(f.path);
        EXPECT_EQ(r.scanFirstLine(), FirstLine::Ok);
        EXPECT_EQ(r.fieldCount(), 46);
    }
    {
        DelimitedFile f(quotedLine(47));
        DelimitedReader r(f.path);
        EXPECT_EQ(r.scanFirstLine(), FirstLine::TooManyFields);
        EXPECT_EQ(r.fieldCount(), 0);
    }
    {
        DelimitedFile f("\"a\",\"" + std::string(256, 'x') + "\"\r\n");
        EXPECT_EQ(DelimitedReader(f.path).scanFirstLine(), FirstLine::FieldTooLong);
        DelimitedFile g("\"a\",\"" + std::string(255, 'x') + "\"\r\n");
        EXPECT_EQ(DelimitedReader(g.path).scanFirstLine(), FirstLine::Ok);
    }
    for (const char* bad : {"\"a\",\"b\r\n", "\"a\",b\r\n", "\"a\",\r\n", "", "\"a\",\"b"}) {
        DelimitedFile f(bad);
        EXPECT_EQ(DelimitedReader(f.path).scanFirstLine(), FirstLine::UnexpectedEnd) << bad;
    }
    DelimitedFile f("\"Title\",\"\",\"A name much longer than twenty\",\"x,y\"\r\n");
    DelimitedReader r(f.path);
    ASSERT_EQ(r.scanFirstLine(), FirstLine::Ok);
    EXPECT_EQ(r.fieldNames(),
              (std::vector<std::string>{"Title", "<BLANK FIELD>", "A name much longer t", "x,y"}));
}

TEST(DelimitedReader, RecordsFollowTheQuotingRules) {
    DelimitedFile f("\"a\",\"b\",\"c\"\r\n"
                    "\"say \"\"hi\"\"\",\"one, two\",\"5\" tall\"\r\n"
                    "\r\n" // an empty line adds nothing
                    "\"\x01"
                    "tab\t"
                    "bed\"\n,\"x\"\r\n" // control bytes dropped, LF too
                    "\"only one\"\r\n"  // the rest stays empty
                    "\"1\",\"2\",\"3\",\"4\",\"5\"\r\n"
                    "\"\xC9mile\",\"\",\"\"\r\n"
                    "\r\n\x1A\"after the end mark\"\r\n");
    DelimitedReader r(f.path);
    ASSERT_EQ(r.scanFirstLine(), FirstLine::Ok);
    transfer::SourceRecord last;
    const auto rows = readAll(r, &last);
    const std::vector<std::vector<std::string>> expected{
        {"a", "b", "c"},     {"say \"hi\"", "one, two", "5\" tall"},
        {"tabbed", "x", ""}, {"only one", "", ""},
        {"1", "2", "3"},     {"\xC9mile", "", ""},
    };
    EXPECT_EQ(rows, expected);
    EXPECT_FALSE(last.extraFields);

    // Reading again from the start gives the same records.
    r.rewind();
    EXPECT_EQ(readAll(r), expected);
}

TEST(DelimitedReader, LineFeedsAloneDoNotEndALineAndLongFieldsAreCut) {
    DelimitedFile f("\"a\",\"b\"\n\"c\",\"d\"\n");
    DelimitedReader r(f.path);
    ASSERT_EQ(r.scanFirstLine(), FirstLine::Ok);
    EXPECT_EQ(r.fieldNames(), (std::vector<std::string>{"a", "b\"c", "d"}));

    DelimitedFile g("\"a\",\"b\"\r\n\"" + std::string(300, 'x') + "\",\"y\",\"extra\"\r\n");
    DelimitedReader s(g.path);
    ASSERT_EQ(s.scanFirstLine(), FirstLine::Ok);
    transfer::SourceRecord rec;
    ASSERT_TRUE(s.next(rec));
    ASSERT_TRUE(s.next(rec));
    EXPECT_EQ(rec.values[0].text, std::string(255, 'x'));
    EXPECT_EQ(rec.values[1].text, "y");
    EXPECT_EQ(rec.cutFields, 1);
    EXPECT_TRUE(rec.extraFields); // and "extra" is not a record of its own
    EXPECT_FALSE(s.next(rec));
}

TEST(DelimitedWriter, WritesQuotedTrimmedFieldsAndReadsBack) {
    std::string line;
    transfer::appendDelimitedField(line, "  say \"hi\"  ", true);
    transfer::appendDelimitedField(line, "", false);
    EXPECT_EQ(line, "\"say \"\"hi\"\"\",\"\"");

    test::BookTable books;
    books.add({{"Title", "  The \"Big\" Sleep "},
               {"YearPub", "1939"},
               {"Cost", "12.50"},
               {"PurchDate", "19990105"}});
    books.add({{"Title", "Empty"}});
    db::DisplayFormats formats; // m/d/yy: years go out with four digits
    test::TempDir out;
    const auto target = out / "OUT.TXT";
    test::writeFile(target, "old contents");
    {
        transfer::DelimitedWriter w(target, formats, true);
        std::vector<transfer::ExportColumn> columns;
        for (const char* name : {"Title", "YearPub", "Cost", "PurchDate"})
            columns.push_back({1, books.table->fieldIndex(name), name});
        w.begin(*books.table, columns);
        books.table->scan([&](const db::RecordView& rec) {
            w.write(rec);
            return false;
        });
        // Not committed: the old file stays, and no temporary file is left.
    }
    EXPECT_EQ(test::readFile(target), "old contents");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 1);

    transfer::DelimitedWriter w(target, formats, true);
    std::vector<transfer::ExportColumn> columns;
    for (const char* name : {"Title", "YearPub", "Cost", "PurchDate"})
        columns.push_back({1, books.table->fieldIndex(name), name});
    w.begin(*books.table, columns);
    books.table->scan([&](const db::RecordView& rec) {
        w.write(rec);
        return false;
    });
    w.commit();
    EXPECT_EQ(test::readFile(target), "\"Title\",\"YearPub\",\"Cost\",\"PurchDate\"\r\n"
                                      "\"The \"\"Big\"\" Sleep\",\"1939\",\"12.5\",\"1/5/1999\"\r\n"
                                      "\"Empty\",\"\",\"\",\"\"\r\n");
    DelimitedReader r(target);
    ASSERT_EQ(r.scanFirstLine(), FirstLine::Ok);
    EXPECT_EQ(readAll(r)[1],
              (std::vector<std::string>{"The \"Big\" Sleep", "1939", "12.5", "1/5/1999"}));
}
