#include "db/booktable.h"
#include "db/engine/table.h"
#include "support/tempdir.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

using shelvix::test::TempDir;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

Result tool(const TempDir& dir, const std::string& args) {
    const std::string errPath = (dir / "stderr.txt").string();
    const std::string cmd =
        std::string("'") + SHELVIX_TOOL_PATH + "' " + args + " 2>'" + errPath + "'";
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

// The record numbers of a dump.
std::vector<int> recnos(const std::string& csv) {
    std::vector<int> out;
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line))
        out.push_back(std::stoi(line.substr(0, line.find(','))));
    return out;
}

} // namespace

TEST(SearchTool, CriteriaAsTypedIntoTheForm) {
    TempDir dir;
    const auto path = dir / "BOOKS.DBF";
    shelvix::db::createBookTable(path);
    {
        auto t = shelvix::db::Table::open(path, shelvix::db::OpenMode::Exclusive);
        const std::vector<std::vector<std::pair<const char*, const char*>>> books = {
            {{"Title", "Warlock"}, {"Cost", "15"}, {"PurchDate", "20201224"}},
            {{"Title", "Cold War"}, {"Cost", "10"}, {"KeyWords", "blue"}},
            {{"Title", "Peace; and War"}, {"PurchDate", "20201225"}, {"KeyWords", "red"}},
            {{"Title", "Emma"}, {"Cost", "3"}},
        };
        for (const auto& b : books) {
            t->insert();
            for (const auto& [field, value] : b)
                t->setText(field, value);
            t->post();
        }
    }
    const std::string file = "'" + path.string() + "' ";

    Result r = tool(dir, "search " + file + "--level 'title contains war; Cost between 10 and 20'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(recnos(r.out), (std::vector<int>{1}));

    // Levels are OR-ed; an empty cost is 0; dates in the format asked for.
    r = tool(dir, "search " + file + "--level 'KeyWords any RED  BLUE' --level 'Cost<5' --count");
    EXPECT_EQ(r.out, "3\n") << r.err;
    r = tool(dir, "search " + file +
                      "--level 'PurchDate = 25.12.2020' --date-format dd.mm.yyyy --fields Title");
    EXPECT_EQ(r.out, "Recno,Deleted,TITLE\n3,,Peace; and War\n") << r.err;
    r = tool(dir, "search " + file + "--level 'PurchDate > 12/24/2020' --count");
    EXPECT_EQ(r.out, "1\n");

    // What the form would refuse is refused, with its message.
    for (const char* bad :
         {"'Cost = 1,5'", "'PurchDate = 2/30/2020'", "'Title = war'", "'Cost contains 5'",
          "'Title contains a; Title contains b'", "'Nofield = 1'", "'Cost between 5'"}) {
        r = tool(dir, "search " + file + "--level " + bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(r.out, "") << bad;
    }
    r = tool(dir, "search " + file + "--level 'Cost = 1,5'");
    EXPECT_NE(r.err.find("Invalid search criteria entered.  Please correct."), std::string::npos);
}

namespace {

// Another tool's table: the pass changes whole values in any capitals,
// keeps its author tag right, and the table checks clean afterwards.
TEST(ReplaceTool, ChangesAnotherToolsTableAndKeepsItsTag) {
    TempDir dir;
    const auto file = dir.copyFixture("independent/BOOKS1.DBF").string();
    dir.copyFixture("independent/BOOKS1.MDX");
    const Result r =
        tool(dir, "replace '" + file +
                      "' --field author --find 'tolkien, j.r.r.' --with 'Tolkien, John'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("found: 2\nchanged: 2\n"), std::string::npos) << r.out;
    EXPECT_EQ(tool(dir, "replace '" + file + "' --field cost --find 12.5 --with 13").status, 0);
    EXPECT_EQ(tool(dir, "check '" + file + "'").status, 0);
    const std::string dump =
        tool(dir, "dump '" + file + "' --tag NewIndex --fields AUTHOR,COST").out;
    EXPECT_NE(dump.find("\"Tolkien, John\",13.0000\n"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("J.R.R."), std::string::npos);
    // Input the window would refuse is a usage error.
    EXPECT_EQ(tool(dir, "replace '" + file + "' --field cost --find 12,5 --with 1").status, 2);
}

} // namespace
