#include "db/booktable.h"
#include "db/engine/table.h"
#include "db/settings.h"
#include "find/savedsearches.h"
#include "support/tempdir.h"
#include "support/tool.h"

#include <QDate>
#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

using shelvix::test::TempDir;

namespace {

using Result = shelvix::test::ToolResult;

Result tool(const TempDir& dir, const std::string& args) {
    return shelvix::test::runTool(dir, args);
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

// Counts over the table's bytes, read by Python without any dBASE library:
// the live records checked out ("YES" in any capitals), those of them with
// a check-out date before today less each period, and those whose title
// holds WAR.
std::string rawCounts(const std::filesystem::path& table) {
    const auto script = table.parent_path() / "count.py";
    shelvix::test::writeFile(script, R"(import datetime, struct, sys
data = open(sys.argv[1], 'rb').read()
count, header, size = struct.unpack('<IHH', data[4:12])
fields, at, pos = {}, 1, 32
while data[pos] != 0x0D:
    name = data[pos:pos + 11].split(b'\0')[0].decode().upper()
    fields[name] = (at, data[pos + 16])
    at += data[pos + 16]
    pos += 32
def value(record, name):
    start, length = fields[name]
    return record[start:start + length].decode('cp1252').strip()
today = datetime.date.today()
loans, war, overdue = 0, 0, {28: 0, 400: 0}
for i in range(count):
    record = data[header + i * size:header + (i + 1) * size]
    if record[0:1] == b'*':
        continue
    on = 'YES' in value(record, 'CHECKOUT').upper()
    loans += on
    war += on or 'WAR' in value(record, 'TITLE').upper()
    date = value(record, 'CHECKDATE')
    for days in overdue:
        if on and date and datetime.datetime.strptime(date, '%Y%m%d').date() < today - datetime.timedelta(days):
            overdue[days] += 1
print(loans, overdue[28], overdue[400], war)
)");
    FILE* p =
        popen(("/usr/bin/python3 '" + script.string() + "' '" + table.string() + "'").c_str(), "r");
    std::string out;
    char buf[256];
    for (std::size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    if (p)
        pclose(p);
    return out;
}

} // namespace

// The built-in searches and a saved one, against counts made from the
// table's bytes; the loan period is the catalogue's unless given.
TEST(SearchTool, SavedSearchesOnLoanAndOverdue) {
    TempDir dir;
    const auto path = dir / "BOOKS.DBF";
    const std::string file = "'" + path.string() + "' ";
    ASSERT_EQ(tool(dir, "generate 3000 " + file + "--seed 7").status, 0);
    {
        // Loans either side of the period's end, one without a date, and an
        // old date on a book that is back.
        auto t = shelvix::db::Table::open(path, shelvix::db::OpenMode::Exclusive);
        const QDate today = QDate::currentDate();
        for (const int back : {0, 27, 28, 29, 399, 400, 401, -1, -2}) {
            t->insert();
            t->setText("CHECKOUT", back == -2 ? "No" : "yes");
            if (back != -1)
                t->setText("CHECKDATE",
                           today.addDays(-std::abs(back)).toString("yyyyMMdd").toStdString());
            t->post();
        }
    }
    const auto count = [&](const std::string& args) {
        const Result r = tool(dir, "search " + file + args + " --count");
        EXPECT_EQ(r.status, 0) << args << ": " << r.err;
        return r.status == 0 ? std::stoi(r.out) : -1;
    };
    std::istringstream raw(rawCounts(path));
    int loans = -1, overdue = -1, overdueYear = -1, loansOrWar = -1;
    raw >> loans >> overdue >> overdueYear >> loansOrWar;
    ASSERT_GT(loansOrWar, loans);
    ASSERT_GT(overdue, overdueYear);
    ASSERT_GT(overdueYear, 0);
    EXPECT_EQ(count("--on-loan"), loans);
    EXPECT_EQ(count("--overdue"), overdue);
    EXPECT_EQ(count("--overdue --loan-period 400"), overdueYear);

    // Saved in the catalogue's settings: a name typed in UTF-8 in other
    // capitals, and the period Overdue counts with.
    shelvix::find::SavedSearches saved;
    saved.put(QStringLiteral("\u00C9t\u00E9; \u0436"),
              *shelvix::find::parseSearchText("CheckOut contains yes | Title contains war"));
    saved.setLoanPeriod(400);
    ASSERT_TRUE(saved.save(QString::fromStdString((dir / "BOOKS.INI").string()), {}));
    EXPECT_EQ(count("--saved '\xC3\xA9T\xC3\xA9; \xD0\xB6'"), loansOrWar);
    EXPECT_EQ(count("--overdue"), overdueYear);

    Result r = tool(dir, "search " + file + "--saved Nothing");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no saved search Nothing in "), std::string::npos) << r.err;
    for (const char* mistake : {"--on-loan --overdue", "--saved X --level 'Title contains a'",
                                "--overdue --loan-period 0", "--on-loan --loan-period 5"})
        EXPECT_EQ(tool(dir, "search " + file + mistake).status, 2) << mistake;
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
