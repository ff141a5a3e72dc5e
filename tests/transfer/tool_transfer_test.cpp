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
    EXPECT_EQ(fromText.err, "");
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
