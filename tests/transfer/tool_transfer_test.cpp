#include "support/tempdir.h"

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

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

Result tool(const TempDir& dir, const std::string& args) {
    const std::string errPath = (dir / "stderr.txt").string();
    const std::string cmd = std::string("cd '") + dir.path().string() + "' && '" +
                            SHELVIX_TOOL_PATH + "' " + args + " 2>'" + errPath + "'";
    Result r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = shelvix::test::readFile(errPath);
    return r;
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
