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
    std::filesystem::path path;
    explicit DelimitedFile(const std::string& bytes, const char* name = "IN.TXT")
        : path(dir / name) {
        test::writeFile(path, bytes);
    }
};

} // namespace

TEST(DelimitedReader, FirstLineDecidesTheSourceFields) {
    {
        DelimitedFile f(quotedLine(47) + quotedLine(47));
        DelimitedReader r(f.path);
        EXPECT_EQ(r.scanFirstLine(), FirstLine::Ok);
        EXPECT_TRUE(r.quotedDialect());
        EXPECT_EQ(r.fieldCount(), 47);
    }
    {
        DelimitedFile f(quotedLine(transfer::kMaxSourceFields + 1));
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
    // A quoted field the file never closes, or nothing at all.
    for (const char* bad : {"\"a\",\"b\r\n", "", "\"a\",\"b", "\r\n\"a\"\r\n", "\xEF\xBB\xBF"}) {
        DelimitedFile f(bad);
        EXPECT_EQ(DelimitedReader(f.path).scanFirstLine(), FirstLine::UnexpectedEnd) << bad;
    }
    // Fields left unquoted are spreadsheet text.
    for (const char* sheet : {"\"a\",b\r\n", "\"a\",\r\n"}) {
        DelimitedFile f(sheet);
        DelimitedReader r(f.path);
        EXPECT_EQ(r.scanFirstLine(), FirstLine::Ok) << sheet;
        EXPECT_FALSE(r.quotedDialect());
        EXPECT_EQ(r.fieldCount(), 2);
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

TEST(DelimitedReader, LineFeedsEndSpreadsheetLinesAndLongFieldsAreCut) {
    DelimitedFile f("\"a\",\"b\"\n\"c\",\"d\"\n");
    DelimitedReader r(f.path);
    ASSERT_EQ(r.scanFirstLine(), FirstLine::Ok);
    EXPECT_FALSE(r.quotedDialect());
    EXPECT_EQ(r.fieldNames(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(readAll(r), (std::vector<std::vector<std::string>>{{"a", "b"}, {"c", "d"}}));

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

// One table as spreadsheets write it: quotes only where needed, any of the
// three line ends and three delimiters, all read the same.
TEST(DelimitedReader, SpreadsheetTextInEveryLineEndAndDelimiter) {
    // Line breaks and tabs inside a field are blanks.
    const std::vector<std::vector<std::string>> expected{
        {"Title", "Author", "Year"},
        {"Dune", "Herbert, Frank", "1965"},
        {"Say \"hi\"", "", "12.5"},
        {"Two lines", "a;b c", ""},
    };
    for (const char* end : {"\n", "\r\n", "\r"}) {
        for (const char d : {',', ';', '\t'}) {
            const std::string s(1, d);
            std::string text = "Title" + s + "Author" + s + "Year" + end;
            text += "Dune" + s + "\"Herbert, Frank\"" + s + "1965" + end;
            text += "\"Say \"\"hi\"\"\"" + s + s + "12.5" + end;
            text += std::string("\"Two") + end + "lines\"" + s + "\"a;b\tc\"" + s + end;
            text += end; // an empty line adds nothing
            // A .tsv is tab-separated whatever its first line holds.
            DelimitedFile f(text, d == '\t' ? "IN.tsv" : "IN.csv");
            DelimitedReader r(f.path);
            ASSERT_EQ(r.scanFirstLine(), FirstLine::Ok);
            EXPECT_FALSE(r.quotedDialect());
            EXPECT_EQ(r.delimiter(), d);
            EXPECT_EQ(r.fieldNames(), (std::vector<std::string>{"Title", "Author", "Year"}));
            transfer::SourceRecord last;
            EXPECT_EQ(readAll(r, &last), expected) << int(d) << " " << int(end[0]);
            EXPECT_FALSE(last.extraFields);
            EXPECT_FALSE(last.unclosed);
        }
    }
    // A spreadsheet's dBASE header holds more commas than semicolons; the
    // lines after it tell.
    DelimitedFile header("TITLE,C,90;AUTHOR,C,90\nDune;\"Herbert, Frank\"\nEmma;Austen\n");
    DelimitedReader h(header.path);
    ASSERT_EQ(h.scanFirstLine(), FirstLine::Ok);
    EXPECT_EQ(h.delimiter(), ';');
    EXPECT_EQ(h.fieldNames(), (std::vector<std::string>{"TITLE,C,90", "AUTHOR,C,90"}));

    // A lone quote is kept and the field read on unquoted; extra fields are
    // counted unless empty; a field the file never closes is counted.
    DelimitedFile f("a,b\n\"5\" tall\",x\n1,2,\n1,2,3\n\"open,\n");
    DelimitedReader r(f.path);
    ASSERT_EQ(r.scanFirstLine(), FirstLine::Ok);
    transfer::SourceRecord rec;
    ASSERT_TRUE(r.next(rec) && r.next(rec));
    EXPECT_EQ(rec.values[0].text, "5\" tall\"");
    EXPECT_TRUE(rec.strayQuote);
    ASSERT_TRUE(r.next(rec));
    EXPECT_FALSE(rec.extraFields);
    ASSERT_TRUE(r.next(rec));
    EXPECT_TRUE(rec.extraFields);
    ASSERT_TRUE(r.next(rec));
    EXPECT_EQ(rec.values[0].text, "open, ");
    EXPECT_TRUE(rec.unclosed);
    EXPECT_FALSE(r.next(rec));
}

TEST(DelimitedReader, Utf8IsFoundAndConvertedToTheCodePageAskedFor) {
    // "Café", "Ω" (not in Windows-1252, in cp437), a combining accent, "✓"
    // (in neither).
    const std::string body = "Name,Note\n"
                             "Caf\xC3\xA9,\xCE\xA9 e\xCC\x81 \xE2\x9C\x93\n";
    for (const std::string bom : {"", "\xEF\xBB\xBF"}) {
        DelimitedFile f(bom + body);
        DelimitedReader r(f.path);
        ASSERT_EQ(r.scanFirstLine(), FirstLine::Ok);
        EXPECT_TRUE(r.utf8());
        EXPECT_EQ(r.fieldNames()[0], "Name");
        transfer::SourceRecord rec;
        r.rewind();
        ASSERT_TRUE(r.next(rec) && r.next(rec));
        EXPECT_EQ(rec.values[0].text, "Caf\xE9");
        EXPECT_EQ(rec.values[1].text, "? \xE9 ?");
        EXPECT_EQ(rec.values[1].unmapped, 2);
        // Straight into a cp437 table, nothing passes through Windows-1252.
        r.deliverIn(core::CodePage::Cp437);
        r.rewind();
        ASSERT_TRUE(r.next(rec) && r.next(rec));
        EXPECT_EQ(rec.values[0].text, "Caf\x82");
        EXPECT_EQ(rec.values[1].text, "\xEA \x82 ?");
        EXPECT_EQ(rec.values[1].unmapped, 1);
    }
    // Bytes UTF-8 cannot hold, even late in the file, mean Windows-1252; our
    // own quoted format with a byte-order mark reads as it always has.
    DelimitedFile latin("Name\n" + std::string(3 << 20, 'x') + "\nCaf\xE9\n");
    DelimitedReader l(latin.path);
    ASSERT_EQ(l.scanFirstLine(), FirstLine::Ok);
    EXPECT_FALSE(l.utf8());
    DelimitedFile quoted("\xEF\xBB\xBF\"Titre\",\"\xC3\x89t\xC3\xA9\"\r\n\"a\",\"b\"\r\n");
    DelimitedReader q(quoted.path);
    ASSERT_EQ(q.scanFirstLine(), FirstLine::Ok);
    EXPECT_TRUE(q.quotedDialect());
    EXPECT_EQ(q.fieldNames(), (std::vector<std::string>{"Titre", "\xC9t\xE9"}));
}
