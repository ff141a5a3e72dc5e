#include "support/exportfiles.h"
#include "support/tempdir.h"
#include "support/tool.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

using shelvix::test::TempDir;
using ::testing::HasSubstr;

namespace {

using Result = shelvix::test::ToolResult;

Result tool(const TempDir& dir, const std::string& args) {
    return shelvix::test::runTool(dir, args);
}

// The dump without its record numbers, which a copy renumbers.
std::string records(const TempDir& dir, const std::string& file) {
    const Result r = tool(dir, "dump " + file);
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream in(r.out);
    std::string out;
    for (std::string line; std::getline(in, line);)
        out += line.substr(line.find(',') + 1) + "\n";
    return out;
}

// A file of tests/data, copied for the test to change.
std::filesystem::path copyData(const TempDir& dir, const std::string& name) {
    const auto to = dir / name;
    std::filesystem::copy_file(std::filesystem::path(SHELVIX_SOURCE_DIR) / "tests/data" / name, to);
    std::filesystem::permissions(to, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    return to;
}

// A shell command run in `dir`: its exit status and what it printed.
Result shell(const TempDir& dir, const std::string& command) {
    Result r;
    FILE* p = popen(("cd '" + dir.path().string() + "' && " + command + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Generated books carry made-up ISBNs, most with a check digit that does not
// match: an import counts them and has nothing else to say.
const auto kOnlyIsbnCount = ::testing::MatchesRegex(
    "[0-9]+ ISBN\\(s\\) whose check digit does not match were stored as they stood\\.\n");

void patch(const std::filesystem::path& file, std::size_t offset, const std::string& bytes) {
    std::string s = shelvix::test::readFile(file);
    s.replace(offset, bytes.size(), bytes);
    shelvix::test::writeFile(file, s);
}

} // namespace

TEST(ToolTransfer, EveryFieldMakesTheRoundTripThroughTextAndDbase) {
    TempDir dir;
    ASSERT_EQ(tool(dir, "generate 400 BOOKS.DBF --seed 3").status, 0);
    for (const char* target : {"OUT.TXT", "OUT.DBF"}) {
        const Result r = tool(dir, std::string("export BOOKS.DBF ") + target);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_THAT(r.out, HasSubstr("exported "));
    }
    ASSERT_EQ(tool(dir, "create FROMTXT.DBF").status, 0);
    ASSERT_EQ(tool(dir, "create FROMDBF.DBF").status, 0);
    const Result fromText = tool(dir, "import FROMTXT.DBF OUT.TXT --skip-first");
    ASSERT_EQ(fromText.status, 0) << fromText.err;
    EXPECT_THAT(fromText.err, kOnlyIsbnCount);
    const Result fromDbase = tool(dir, "import FROMDBF.DBF OUT.DBF");
    ASSERT_EQ(fromDbase.status, 0) << fromDbase.err;
    EXPECT_EQ(fromDbase.out, fromText.out);

    // Deleted books stay behind; everything else arrives unchanged.
    const std::string original = records(dir, "BOOKS.DBF");
    EXPECT_EQ(records(dir, "FROMDBF.DBF"), original);
    EXPECT_EQ(records(dir, "FROMTXT.DBF"), original);
}

TEST(ToolTransfer, MapsChosenFieldsAndRefusesWhatItCannotRead) {
    TempDir dir;
    ASSERT_EQ(tool(dir, "create BOOKS.DBF").status, 0);
    shelvix::test::writeFile(dir / "IN.TXT", "\"Name\",\"When\",\"Skip\"\r\n"
                                             "\"Dune\",\"31.12.1965\",\"x\"\r\n");
    Result r = tool(dir, "import BOOKS.DBF IN.TXT --skip-first --map Name=Title,2=PurchDate "
                         "--date-format dd.mm.yyyy");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "imported 1 records\n");
    r = tool(dir, "dump BOOKS.DBF --fields Title,PurchDate,Author");
    EXPECT_EQ(r.out, "Recno,Deleted,TITLE,PURCHDATE,AUTHOR\n1,,Dune,1965-12-31,\n");

    r = tool(dir,
             "export BOOKS.DBF OUT.TXT --fields PurchDate,1 --no-header --date-format dd.mm.yyyy");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(shelvix::test::readFile(dir / "OUT.TXT"), "\"31.12.1965\",\"Dune\"\r\n");

    shelvix::test::writeFile(dir / "BAD.TXT", "\"a\",\"b\r\n");
    r = tool(dir, "import BOOKS.DBF BAD.TXT");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("not a delimited text file"));
    ASSERT_EQ(tool(dir, "export BOOKS.DBF OUT.DBF --fields Title").status, 0);
    r = tool(dir, "export BOOKS.DBF books.mdx");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("belongs to the open database"));
    r = tool(dir, "import OUT.DBF IN.TXT"); // not a book table
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("is not a book table"));
    EXPECT_EQ(tool(dir, "import BOOKS.DBF IN.TXT --map Name=Nothing").status, 2);
    EXPECT_EQ(tool(dir, "export BOOKS.DBF").status, 2);
}

// `export --level` writes what `search` finds, in the same order, and a level
// the search window would refuse is a usage error that writes nothing.
TEST(ToolTransfer, ExportWithLevelsWritesWhatTheSearchFinds) {
    TempDir dir;
    ASSERT_EQ(tool(dir, "generate 300 BOOKS.DBF --seed 5").status, 0);
    const std::string levels =
        "--level 'Title contains the' --level 'YearPub between 1950 and 1960'";
    const Result found = tool(dir, "search BOOKS.DBF " + levels + " --count");
    ASSERT_EQ(found.status, 0) << found.err;
    const int expected = std::stoi(found.out);
    ASSERT_GT(expected, 0);
    ASSERT_LT(expected, 300);

    const Result r = tool(dir, "export BOOKS.DBF FOUND.DBF " + levels);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("exported " + std::to_string(expected) + " records"));
    const Result dumped = tool(dir, "dump FOUND.DBF --fields Title");
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_EQ(std::count(dumped.out.begin(), dumped.out.end(), '\n'), expected + 1);

    const Result bad = tool(dir, "export BOOKS.DBF BAD.TXT --level 'YearPub > abc'");
    EXPECT_EQ(bad.status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "BAD.TXT"));
}

// A table mailed alone keeps its header's index flag; another tool left
// records past the count. A source is only read: all of it, without its index.
TEST(ToolTransfer, DbaseSourceWithoutItsIndexAndPastItsCount) {
    TempDir dir;
    const auto source = copyData(dir, "PBOOKS1.DBF");
    ASSERT_EQ(shelvix::test::readFile(source)[28], '\x01');
    ASSERT_EQ(tool(dir, "create BOOKS.DBF").status, 0);
    Result r = tool(dir, "import BOOKS.DBF PBOOKS1.DBF");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "imported 10 records\n");

    patch(source, 4, std::string(4, '\0')); // the header counts none of the 11
    const std::string before = shelvix::test::readFile(source);
    ASSERT_EQ(tool(dir, "create AGAIN.DBF").status, 0);
    r = tool(dir, "import AGAIN.DBF PBOOKS1.DBF");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "imported 10 records\n11 complete record(s) lay past the record count in "
                     "the table's header and were read as well\n");
    EXPECT_EQ(records(dir, "AGAIN.DBF"), records(dir, "BOOKS.DBF"));
    EXPECT_EQ(shelvix::test::readFile(source), before);
}

TEST(ToolTransfer, MemoTextOfDbaseThreeAndFourMemoFiles) {
    const std::string longNote = "Line 1 of a long note that runs past one block of the memo "
                                 "file. Line 2 of a long note that runs past one bloc";
    for (const std::string stem : {"MEMO3", "MEMO4"}) {
        SCOPED_TRACE(stem);
        TempDir dir;
        const auto table = copyData(dir, stem + ".DBF");
        const auto memo = copyData(dir, stem + ".DBT");
        auto import = [&] {
            std::filesystem::remove(dir / "BOOKS.DBF");
            EXPECT_EQ(tool(dir, "create BOOKS.DBF").status, 0);
            const Result r =
                tool(dir, "import BOOKS.DBF " + stem + ".DBF --map TITLE=Title,NOTES=Descriptio");
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out, "imported 4 records\n");
            return r.err;
        };
        auto notes = [&] { return tool(dir, "dump BOOKS.DBF --fields Descriptio").out; };

        EXPECT_EQ(import(), "Some values were not imported as they stood:\n1 memo(s) longer than "
                            "their Shelvix field were cut to its width.\n");
        EXPECT_EQ(notes(), "Recno,Deleted,DESCRIPTIO\n1,,Memo text for A\n2,,\n3,," + longNote +
                               "\n4,,Caf\xC3\xA9 au lait\n");

        // The long note's second block lost its text, or its mark.
        const std::string whole = shelvix::test::readFile(memo);
        if (stem == "MEMO3")
            shelvix::test::writeFile(memo, whole.substr(0, 1024 + 100));
        else
            patch(memo, 1024, std::string(1, '\0'));
        const char* unread = stem == "MEMO3" ? "2" : "1";
        EXPECT_EQ(import(), std::string("Some values were not imported as they stood:\n") + unread +
                                " memo(s) could not be read from a missing or damaged memo file "
                                "and were left empty.\n");
        EXPECT_THAT(notes(), HasSubstr("1,,Memo text for A\n2,,\n3,,\n"));

        std::filesystem::remove(memo);
        EXPECT_THAT(import(), HasSubstr("\n3 memo(s) could not be read"));
        EXPECT_EQ(notes(), "Recno,Deleted,DESCRIPTIO\n1,,\n2,,\n3,,\n4,,\n");
        EXPECT_EQ(tool(dir, "dump BOOKS.DBF --fields Title").out,
                  "Recno,Deleted,TITLE\n1,,Dune\n2,,Emma\n3,,Long\n4,,Caf\xC3\xA9\n");
    }
}

// Lines after the first that do not end on a closing quote are read as the
// reading rules give them, and counted.
TEST(ToolTransfer, OddLinesOfADelimitedFileAreCounted) {
    TempDir dir;
    shelvix::test::writeFile(dir / "IN.TXT", "\"Title\",\"Author\"\r\n"
                                             "\"Dune\",\"Herbert\"\r\n"
                                             "\"Emma\",\"Austen, Jane\r\n"
                                             "Persuasion,Austen\r\n"
                                             "\"Kim\",Kipling\r\n"
                                             "\"Ulysses\",\"Joyce\"\r\n");
    ASSERT_EQ(tool(dir, "create BOOKS.DBF").status, 0);
    const Result r = tool(dir, "import BOOKS.DBF IN.TXT --skip-first");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "imported 5 records\n");
    EXPECT_EQ(r.err, "Some values were not imported as they stood:\n3 line(s) ended inside a "
                     "quoted field or held a field without quotes; they were imported as read.\n");
    EXPECT_EQ(tool(dir, "dump BOOKS.DBF --fields Title,Author").out,
              "Recno,Deleted,TITLE,AUTHOR\n1,,Dune,Herbert\n2,,Emma,\"Austen, Jane\"\n"
              "3,,\"Persuasion,Austen\",\n4,,Kim,Kipling\n5,,Ulysses,Joyce\n");
}

// Spreadsheet CSV as programs write it, in every line end and delimiter, in
// UTF-8 with and without a byte-order mark or in Windows-1252; its header
// names our fields in any of the ways spreadsheets and people write them, and
// it has more fields than the grid's 46.
TEST(ToolTransfer, SpreadsheetTextInEveryShapeImportsByItsHeader) {
    const std::vector<std::string> header{"TITLE,C,90",  "author", "Year Pub",
                                          "PURCHDATE,D", "Junk",   "cost"};
    int variant = 0;
    for (const std::string end : {"\n", "\r\n", "\r"}) {
        for (const char d : {',', ';', '\t'}) {
            const int encoding = variant++ % 3; // UTF-8, UTF-8 with a mark, Windows-1252
            SCOPED_TRACE(std::to_string(variant));
            const std::string e = encoding < 2 ? "\xC3\xA9" : "\xE9";
            auto row = [&](std::vector<std::string> cells) {
                for (int i = 0; i < 50; ++i)
                    cells.push_back(i == 49 ? "last" : "");
                return shelvix::test::sheetLine(cells, d, end);
            };
            std::vector<std::string> wide = header;
            for (int i = 1; i <= 50; ++i)
                wide.push_back("x" + std::to_string(i));
            std::string text =
                (encoding == 1 ? "\xEF\xBB\xBF" : "") + shelvix::test::sheetLine(wide, d, end) +
                row({"Caf" + e + " Society", "Smith, \"Doc\"", "1999", "3/4/2001", "x", "12.5"}) +
                row({"Two" + end + "lines", encoding < 2 ? "\xCE\xA9mega" : "Omega", "", "", "",
                     ""});
            TempDir dir;
            const std::string name = d == '\t' ? "IN.tsv" : "IN.csv";
            shelvix::test::writeFile(dir / name, text);
            ASSERT_EQ(tool(dir, "create BOOKS.DBF").status, 0);
            const Result r = tool(dir, "import BOOKS.DBF " + name + " --skip-first");
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out, "imported 2 records\n");
            EXPECT_EQ(r.err, encoding < 2 ? "Some values were not imported as they stood:\n1 "
                                            "character(s) that the table's code page lacks were "
                                            "stored as \"?\".\n"
                                          : "");
            EXPECT_EQ(tool(dir, "dump BOOKS.DBF --fields Title,Author,YearPub,PurchDate,Cost,"
                                "Publisher")
                          .out,
                      "Recno,Deleted,TITLE,AUTHOR,YEARPUB,PURCHDATE,COST,PUBLISHER\n"
                      "1,,Caf\xC3\xA9 Society,\"Smith, \"\"Doc\"\"\",1999,2001-03-04,12.5000,\n"
                      "2,,Two lines," +
                          std::string(encoding < 2 ? "?mega" : "Omega") + ",,,,\n");
        }
    }
}

// The two exports book collectors bring, by --preset and by their header.
TEST(ToolTransfer, PresetsTakeTheExportsColumnsByName) {
    const char* fields = "Title,Author,ISBN,Publisher,Pages,YearPub,PurchDate,KeyWords,BookType,"
                         "Rating,Descriptio,Dewey,CheckName,CheckOut";
    for (int columns : {23, 24, 31}) {
        SCOPED_TRACE(columns);
        TempDir dir;
        shelvix::test::writeFile(dir / "goodreads_library_export.csv",
                                 shelvix::test::goodreadsExport(columns));
        for (const char* how : {"--preset goodreads", "--skip-first"}) {
            std::filesystem::remove(dir / "BOOKS.DBF");
            ASSERT_EQ(tool(dir, "create BOOKS.DBF").status, 0);
            const Result r =
                tool(dir, std::string("import BOOKS.DBF goodreads_library_export.csv ") + how);
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out, "imported 2 records\n");
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(tool(dir, std::string("dump BOOKS.DBF --fields ") + fields).out,
                      "Recno,Deleted,TITLE,AUTHOR,ISBN,PUBLISHER,PAGES,YEARPUB,PURCHDATE,KEYWORDS,"
                      "BOOKTYPE,RATING,DESCRIPTIO,DEWEY,CHECKNAME,CHECKOUT\n"
                      "1,,Cien a\xC3\xB1os de soledad,Gabriel Garc\xC3\xAD"
                      "a M\xC3\xA1rquez,"
                      "9780060883287,Harper Perennial,417,2006,2021-07-30,\"favorites, classics\","
                      "Paperback,5,\"Signed, first printing\",,,\n"
                      "2,,\"The Hunger Games (The Hunger Games, #1)\",Suzanne Collins,0439023483,"
                      "Scholastic Press,374,2008,2019-01-05,to-read,Hardcover,0,,,,\n")
                << how;
        }
    }
    TempDir dir;
    shelvix::test::writeFile(dir / "librarything.tsv", shelvix::test::libraryThingExport());
    ASSERT_EQ(tool(dir, "create BOOKS.DBF").status, 0);
    const Result r = tool(dir, "import BOOKS.DBF librarything.tsv --preset librarything");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "imported 2 records\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(tool(dir, std::string("dump BOOKS.DBF --fields ") + fields).out,
              "Recno,Deleted,TITLE,AUTHOR,ISBN,PUBLISHER,PAGES,YEARPUB,PURCHDATE,KEYWORDS,"
              "BOOKTYPE,RATING,DESCRIPTIO,DEWEY,CHECKNAME,CHECKOUT\n"
              "1,,L'\xC3\x89tranger,\"Camus, Albert\",2070360024,Gallimard,159,1942,2021-07-30,"
              "\"roman, fran\xC3\xA7"
              "ais\",Paperback,4.5,Relu en \xC3\xA9t\xC3\xA9,843.914,"
              "Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m,Yes\n"
              "2,,\"Head First \"\"Java\"\"\",\"Sierra, Kathy\",0596009208,O'Reilly Media,688,"
              "2005,2019-01-05,,Ebook,,,,,\n");

    EXPECT_EQ(tool(dir, "import BOOKS.DBF librarything.tsv --preset calibre").status, 2);
    ASSERT_EQ(tool(dir, "export BOOKS.DBF OUT.DBF").status, 0);
    EXPECT_EQ(tool(dir, "import BOOKS.DBF OUT.DBF --preset goodreads").status, 2);
}

// UTF-8 out for the tools that expect it, read by Python's csv module.
TEST(ToolTransfer, Utf8ExportReadsBackInPython) {
    TempDir dir;
    ASSERT_EQ(tool(dir, "generate 40 BOOKS.DBF --seed 4").status, 0);
    ASSERT_EQ(tool(dir, "export BOOKS.DBF OUT.csv --encoding utf-8").status, 0);
    ASSERT_EQ(tool(dir, "export BOOKS.DBF OUT.TXT").status, 0);
    const std::string dump = tool(dir, "dump BOOKS.DBF").out;
    shelvix::test::writeFile(dir / "DUMP.csv", dump);
    ASSERT_NE(dump.find("\xC3"), std::string::npos) << "no accented letter to try";
    // Every text column equal, the header the labels, no byte-order mark.
    const Result py = shell(dir, R"(/usr/bin/python3 -c '
import csv, sys
with open("OUT.csv", newline="", encoding="utf-8") as f:
    out = list(csv.reader(f))
with open("DUMP.csv", newline="", encoding="utf-8") as f:
    dump = list(csv.DictReader(f))
assert out[0][:3] == ["Title", "Author", "Year Pub"], out[0]
assert len(out) == len(dump) + 1
for row, book in zip(out[1:], dump):
    for label, field in (("Title", "TITLE"), ("Author", "AUTHOR"), ("Publisher", "PUBLISHER"),
                         ("Description", "DESCRIPTIO")):
        assert row[out[0].index(label)] == book[field].strip(), (row, book)
print(len(out) - 1)
')");
    EXPECT_EQ(py.status, 0) << py.out;
    EXPECT_EQ(py.out, "40\n");
    EXPECT_EQ(shelvix::test::readFile(dir / "OUT.csv").substr(0, 7), "\"Title\"");
    // Without it the text stays Windows-1252.
    EXPECT_EQ(shelvix::test::readFile(dir / "OUT.TXT").find("\xC3"), std::string::npos);
    EXPECT_EQ(tool(dir, "export BOOKS.DBF OUT2.csv --encoding latin9").status, 2);
    EXPECT_EQ(tool(dir, "export BOOKS.DBF OUT2.DBF --encoding utf-8").status, 2);
}

// What a spreadsheet program writes from one of our tables imports back with
// every field equal. Without a byte-order mark or a language driver it knows,
// that program reads the table's accented letters in a DOS code page, so they
// are compared only as letters beyond ASCII; told the code page, it writes
// them exactly (here as UTF-8 with semicolons).
TEST(ToolTransfer, SpreadsheetProgramCsvImportsBack) {
    if (shell(TempDir(), "command -v soffice").status != 0)
        GTEST_SKIP() << "soffice (LibreOffice Calc) is not installed";
    TempDir dir;
    ASSERT_EQ(tool(dir, "generate 60 BOOKS.DBF --seed 11").status, 0);
    const std::string soffice = "timeout 120 soffice -env:UserInstallation=file://" +
                                (dir / "profile").string() + " --headless ";
    const Result plain = shell(dir, soffice + "--convert-to csv BOOKS.DBF --outdir plain");
    ASSERT_TRUE(std::filesystem::exists(dir / "plain/BOOKS.csv")) << plain.out;
    const Result told =
        shell(dir, soffice + "--infilter=dBase:ANSI --convert-to 'csv:Text - txt - csv "
                             "(StarCalc):59,34,76,1,,0,false,true,false' BOOKS.DBF "
                             "--outdir told");
    ASSERT_TRUE(std::filesystem::exists(dir / "told/BOOKS.csv")) << told.out;

    auto masked = [](std::string s) {
        std::string out;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (static_cast<unsigned char>(s[i]) < 0x80)
                out += s[i];
            else if (out.empty() || out.back() != '~')
                out += '~';
        }
        return out;
    };
    const std::string original = records(dir, "BOOKS.DBF");
    ASSERT_NE(original.find("\xC3"), std::string::npos) << "no accented letter to try";
    for (const char* csv : {"plain/BOOKS.csv", "told/BOOKS.csv"}) {
        SCOPED_TRACE(csv);
        std::filesystem::remove(dir / "BACK.DBF");
        ASSERT_EQ(tool(dir, "create BACK.DBF").status, 0);
        const Result r = tool(dir, std::string("import BACK.DBF ") + csv + " --skip-first");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "imported 60 records\n");
        EXPECT_THAT(r.err, kOnlyIsbnCount);
        if (std::string(csv) == "told/BOOKS.csv")
            EXPECT_EQ(records(dir, "BACK.DBF"), original);
        else
            EXPECT_EQ(masked(records(dir, "BACK.DBF")), masked(original));
    }
}
