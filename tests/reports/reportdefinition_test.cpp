// SHVBOOK.URP: the default reports as laid out byte by byte, saving and
// deleting, damaged files, and the conversion of the earlier BOOK.URP.
#include "reports/reportdefinition.h"
#include "support/tempdir.h"

#include <QFile>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace shelvix::reports {
namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

// Readers of raw record bytes, independent of the code under test.
int i16(const std::string& b, std::size_t at) {
    return static_cast<std::int16_t>(static_cast<unsigned char>(b[at]) |
                                     static_cast<unsigned char>(b[at + 1]) << 8);
}
std::string str(const std::string& b, std::size_t at) {
    return b.substr(at + 1, static_cast<unsigned char>(b[at]));
}
double f64(const std::string& b, std::size_t at) {
    double d;
    std::memcpy(&d, b.data() + at, 8);
    return d;
}
struct Part {
    std::string name;
    int number;
    int width;
    std::string label;
};
Part part(const std::string& b, std::size_t record, int line, int n) {
    // line 0 is the totals line
    const std::size_t at = record * kDefinitionSize + (line == 0 ? 345 : 2122 + (line - 1) * 1500) +
                           static_cast<std::size_t>(n - 1) * 75;
    return {str(b, at), static_cast<unsigned char>(b[at + 31]), i16(b, at + 32), str(b, at + 34)};
}

TEST(ReportDefinitionTest, AMissingFileBecomesTheEightDefaultReportsByteForByte) {
    test::TempDir dir;
    CheckReportFile(q(dir.path()));
    const std::string b = test::readFile(dir / "SHVBOOK.URP");
    ASSERT_EQ(b.size(), 8u * kDefinitionSize);
    const char* names[] = {"Short Narrow Report", "2 Line 120 Column Report",
                           "4 Line Report",       "Full Report",
                           "Location Report",     "Library Checkout Report",
                           "Value Report",        "Statistic/Summary Report"};
    const int chars[] = {90, 120, 120, 120, 90, 120, 90, 90};
    const int lines[] = {1, 2, 4, 10, 1, 1, 1, 0};
    const char* flags[] = {"\1\1\0\1\1", "\0\1\0\1\1", "\0\1\0\1\1", "\0\1\0\1\1",
                           "\1\1\0\1\0", "\1\1\0\1\0", "\1\1\0\1\1", "\0\1\0\1\1"};
    const char* borders[] = {"\1\1", "\0\0", "\0\0", "\0\0", "\1\1", "\1\1", "\1\1", "\0\0"};
    const char* groups[] = {"\1\0", "\1\0", "\1\0", "\1\0", "\1\0", "\0\0", "\1\0", "\1\0"};
    for (std::size_t r = 0; r < 8; ++r) {
        SCOPED_TRACE(names[r]);
        const std::size_t at = r * kDefinitionSize;
        EXPECT_EQ(str(b, at), names[r]);
        EXPECT_EQ(b.substr(at + 1 + b[at], 30 - b[at]), std::string(30 - b[at], '\0'));
        EXPECT_EQ(i16(b, at + 31), chars[r]);
        for (int f = 0; f < 5; ++f) {
            const std::size_t font = at + 33 + static_cast<std::size_t>(f) * 61;
            EXPECT_EQ(str(b, font), f == 3 && r >= 1 && r <= 3 ? "Courier" : "Arial");
            EXPECT_EQ(i16(b, font + 51), chars[r] == 90 ? 10 : 8);
            EXPECT_EQ(b.substr(font + 53, 8), std::string(8, '\0'));
        }
        EXPECT_EQ(b.substr(at + 338, 5), std::string(flags[r], 5));
        EXPECT_EQ(i16(b, at + 343), lines[r]);
        for (int m = 0; m < 4; ++m) {
            EXPECT_EQ(f64(b, at + 1845 + static_cast<std::size_t>(m) * 8), 0.5);
        }
        EXPECT_EQ(b.substr(at + 1877, 2), std::string(borders[r], 2));
        EXPECT_EQ(b.substr(at + 1879, 243), std::string(243, '\0'));
        EXPECT_EQ(b.substr(at + 20122, 2), std::string(groups[r], 2));
        EXPECT_EQ(b.substr(at + 20124, 498), std::string(498, '\0'));
        // The standard totals line, ended by part 14.
        const Part cost = part(b, r, 0, 1), total3 = part(b, r, 0, 9), last = part(b, r, 0, 13);
        EXPECT_EQ(cost.name + cost.label, "<LABEL>Cost:");
        EXPECT_EQ(cost.width, 10);
        EXPECT_EQ(total3.name, "Low Market");
        EXPECT_EQ(total3.number, 3);
        EXPECT_EQ(total3.width, 12);
        EXPECT_EQ(last.name + std::to_string(last.width), "<FILLER>60");
        EXPECT_EQ(part(b, r, 0, 14).width, 0);
        // Lines past the report's own keep one full-width filler.
        for (int l = lines[r] + 1; l <= 12; ++l) {
            EXPECT_EQ(part(b, r, l, 1).name + std::to_string(part(b, r, l, 1).width),
                      "<FILLER>150");
            EXPECT_EQ(part(b, r, l, 2).width, 0);
        }
    }
    // Spot checks of the body lines.
    auto text = [&](std::size_t r, int line, int n) {
        const Part p = part(b, r, line, n);
        return p.name + "/" + std::to_string(p.number) + "/" + std::to_string(p.width) + "/" +
               p.label;
    };
    EXPECT_EQ(text(0, 1, 1), "Title/1/59/");
    EXPECT_EQ(text(0, 1, 2), "YearPub/3/5/");
    EXPECT_EQ(text(0, 1, 3), "Author/2/27/");
    EXPECT_EQ(part(b, 0, 1, 4).width, 0);
    EXPECT_EQ(text(1, 1, 4), "<LABEL>/0/11/Category:");
    EXPECT_EQ(text(2, 2, 3), "Author/2/59/");
    EXPECT_EQ(text(2, 4, 1), "<FILLER>/0/150/");
    EXPECT_EQ(text(3, 3, 6), "Editor/27/30/");
    EXPECT_EQ(text(3, 8, 9), "KeyWords/23/77/");
    EXPECT_EQ(text(3, 9, 3), "Descriptio/9/110/");
    EXPECT_EQ(text(3, 10, 1), "<FILLER>/0/150/");
    EXPECT_EQ(text(5, 1, 4), "CheckName/19/30/");
    EXPECT_EQ(text(6, 1, 5), "HighMarket/30/12/");

    // Read back, and saved unchanged, every record keeps its bytes.
    const ReportFile file(q(dir / "SHVBOOK.URP"));
    EXPECT_EQ(file.readAll(), DefaultReports());
    for (int r = 0; r < 8; ++r) {
        EXPECT_EQ(file.save(*file.read(r), r), r);
    }
    EXPECT_EQ(test::readFile(dir / "SHVBOOK.URP"), b);

    // An existing file is left as it is.
    ReportDefinition own = NewReportDefinition();
    own.name = "Mine";
    file.writeAll({own});
    const std::string mine = test::readFile(dir / "SHVBOOK.URP");
    CheckReportFile(q(dir.path()));
    EXPECT_EQ(test::readFile(dir / "SHVBOOK.URP"), mine);
}

TEST(ReportDefinitionTest, SavingAppendsOrReplacesAndDeletingShiftsOrTruncates) {
    test::TempDir dir;
    const ReportFile file(q(dir / "SHVBOOK.URP"));
    EXPECT_TRUE(file.names().empty()); // missing: an empty list, no error
    EXPECT_FALSE(file.read(0));
    std::vector<std::string> records;
    for (const char* name : {"A", "B", "C"}) {
        ReportDefinition d = NewReportDefinition();
        d.name = name;
        d.titles[1] = std::string("Title of ") + name;
        EXPECT_EQ(file.save(d), static_cast<int>(records.size()));
        records.push_back(encodeDefinition(d));
    }
    EXPECT_EQ(file.names(), (std::vector<std::string>{"A", "B", "C"}));
    ReportDefinition b = *file.read(1);
    b.name = "B2";
    b.lines[0][0] = fieldPart(36, 90);
    file.save(b, 1);
    records[1] = encodeDefinition(b);
    EXPECT_EQ(test::readFile(dir / "SHVBOOK.URP"), records[0] + records[1] + records[2]);
    EXPECT_EQ(file.read(1)->lines[0][0].name, "UserDef6");

    file.remove(2); // the last: only cut off
    EXPECT_EQ(test::readFile(dir / "SHVBOOK.URP"), records[0] + records[1]);
    file.remove(0); // the first: the rest moves down
    EXPECT_EQ(test::readFile(dir / "SHVBOOK.URP"), records[1]);
    EXPECT_FALSE(file.read(1));
}

// Values an earlier editor wrote, or a file cut short: the rest still serves,
// and what cannot be used is named and kept byte for byte through every save.
TEST(ReportDefinitionTest, ADamagedRecordIsNamedAndKeptWhileTheOthersServe) {
    test::TempDir dir;
    const ReportFile file(q(dir / "SHVBOOK.URP"));
    WriteDefaultReports(file);
    const std::string good = test::readFile(dir / "SHVBOOK.URP");
    // Each damage alone names its record and leaves the seven others usable.
    auto damaged = [&](std::string bytes, const std::string& fragment) {
        test::writeFile(dir / "SHVBOOK.URP", bytes);
        const auto scan = file.scan();
        ASSERT_TRUE(scan);
        ASSERT_EQ(scan->problems().size(), 1) << fragment;
        EXPECT_NE(scan->problems()[0].toStdString().find(fragment), std::string::npos)
            << scan->problems()[0].toStdString();
        EXPECT_EQ(file.names().size(), 7u) << fragment;
        EXPECT_EQ(test::readFile(dir / "SHVBOOK.URP"), bytes) << fragment;
    };
    std::string b = good;
    b[kDefinitionSize + 1879 + 81] = 81; // title 2 of report 2
    damaged(b, "report 2 (\"2 Line 120 Column Report\"): a title is 81 characters long");
    b = good;
    b[2 * kDefinitionSize + 343] = 13;
    damaged(b, "report 3 (\"4 Line Report\"): the line count is 13");
    b = good;
    b[3 * kDefinitionSize + 31] = 0;
    b[3 * kDefinitionSize + 32] = 0;
    damaged(b, "report 4 (\"Full Report\"): the line width is 0");
    b = good;
    b[2122 + 75 + 31] = 40; // field 40 in line 1 of report 1
    damaged(b, "report 1 (\"Short Narrow Report\"): part 2 of line 1 names number 40");
    b = good;
    b[6 * kDefinitionSize + 1845 + 7] = static_cast<char>(0x7F); // a huge top margin
    b[6 * kDefinitionSize + 1845 + 6] = static_cast<char>(0xF0);
    damaged(b, "report 7 (\"Value Report\"): the top margin");
    // A length byte past its capacity in the name names the record by number.
    b = good;
    b[0] = 31;
    damaged(b, "report 1: the name is 31 characters long");

    // Report 3 with a margin of -3 inches, and a ninth report cut 100 bytes short.
    b = good;
    const double minusThree = -3;
    std::memcpy(&b[2 * kDefinitionSize + 1861], &minusThree, 8);
    const std::string odd = b.substr(2 * kDefinitionSize, kDefinitionSize);
    ReportDefinition ninth = NewReportDefinition();
    ninth.name = "Cut Short";
    const std::string tail = encodeDefinition(ninth).substr(0, kDefinitionSize - 100);
    test::writeFile(dir / "SHVBOOK.URP", b + tail);
    const auto scan = file.scan();
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->problems(),
              QStringList({"report 3 (\"4 Line Report\"): the left margin is -3 inches",
                           "report 9, the last, is cut short at 20522 of 20622 bytes"}));
    EXPECT_EQ(scan->message(file.path()),
              "SHVBOOK.URP holds reports that cannot be used:\n\n"
              "report 3 (\"4 Line Report\"): the left margin is -3 inches;\n"
              "report 9, the last, is cut short at 20522 of 20622 bytes.\n\n"
              "They are left out of the report list and kept in the file as they are, until "
              "you delete or replace the file.");
    const std::vector<std::string> seven = {
        "Short Narrow Report",     "2 Line 120 Column Report", "Full Report",
        "Location Report",         "Library Checkout Report",  "Value Report",
        "Statistic/Summary Report"};
    EXPECT_EQ(file.names(), seven);
    EXPECT_EQ(file.read(2)->name, "Full Report");
    EXPECT_FALSE(file.read(7));

    // Saving over the list's third report writes the file's fourth record;
    // a new one goes after the last whole record; deleting the first moves
    // the rest down. The odd record and the tail never change.
    const auto holds = [&](std::size_t oddAt, std::size_t records) {
        const std::string now = test::readFile(dir / "SHVBOOK.URP");
        ASSERT_EQ(now.size(), records * kDefinitionSize + tail.size());
        EXPECT_EQ(now.substr(oddAt * kDefinitionSize, kDefinitionSize), odd);
        EXPECT_EQ(now.substr(now.size() - tail.size()), tail);
        // Moved, not changed: the damage is the same one, named once.
        EXPECT_EQ(file.scan()->damageKey, scan->damageKey);
    };
    ReportDefinition full = *file.read(2);
    full.titles[0] = "Everything";
    EXPECT_EQ(file.save(full, 2), 2);
    holds(2, 8);
    EXPECT_EQ(test::readFile(dir / "SHVBOOK.URP").substr(3 * kDefinitionSize, kDefinitionSize),
              encodeDefinition(full));
    ReportDefinition mine = NewReportDefinition();
    mine.name = "Mine";
    EXPECT_EQ(file.save(mine), 7);
    holds(2, 9);
    EXPECT_EQ(file.read(7)->name, "Mine");
    file.remove(0);
    holds(1, 8);
    file.append({mine});
    holds(1, 9);
    EXPECT_EQ(file.names().size(), 8u);
    EXPECT_EQ(file.names().back(), "Mine");

    // Saving into a directory that is not there fails and leaves nothing.
    const ReportFile nowhere(q(dir / "missing" / "SHVBOOK.URP"));
    EXPECT_THROW(nowhere.save(NewReportDefinition()), ReportFileError);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(ReportDefinitionTest, AWriterKilledHalfWayLeavesAWholeFile) {
    test::TempDir dir;
    const ReportFile file(q(dir / "SHVBOOK.URP"));
    const std::vector<ReportDefinition> eight = DefaultReports();
    std::vector<ReportDefinition> many;
    for (int i = 0; i < 40; ++i) {
        many.push_back(eight[static_cast<std::size_t>(i) % 8]);
    }
    file.writeAll(eight);
    for (int round = 0; round < 4; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) { // saves for ever, until killed
                file.writeAll(many);
                file.writeAll(eight);
            }
        }
        usleep(50000 + round * 37000);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const auto size = std::filesystem::file_size(dir / "SHVBOOK.URP");
        EXPECT_TRUE(size == 8u * kDefinitionSize || size == 40u * kDefinitionSize) << size;
        EXPECT_NO_THROW(file.names());
    }
}

// An earlier version's record (19831 bytes).
std::string oldRecord(const std::string& name, int chars, int totalNumber, int fieldNumber) {
    std::string r(kOldDefinitionSize, '\0');
    auto put = [&](std::size_t at, const std::string& s) {
        r[at] = static_cast<char>(s.size());
        r.replace(at + 1, s.size(), s);
    };
    auto put16 = [&](std::size_t at, int v) {
        r[at] = static_cast<char>(v & 0xFF);
        r[at + 1] = static_cast<char>((v >> 8) & 0xFF);
    };
    put(0, name);
    put16(31, chars);
    r.replace(33, 50, std::string(50, 'x')); // not converted
    r[83] = 0;                               // column headers
    r[84] = 1;                               // page numbers
    r[85] = 1;                               // use totals
    put16(86, 1);
    put(88, "Quantity"); // totals part 1
    r[88 + 31] = static_cast<char>(totalNumber);
    put16(88 + 32, 20);
    put(1588 + 81, "Second title");
    put(1831, "YearPub"); // body line 1, part 1
    r[1831 + 31] = static_cast<char>(fieldNumber);
    put16(1831 + 32, 10);
    put(1831 + 75, "<LABEL>");
    put16(1831 + 75 + 32, 8);
    put(1831 + 75 + 34, "Yr");
    return r;
}

TEST(ReportDefinitionTest, TheEarlierFileConvertsItsOwnReportsAndIsDeleted) {
    test::TempDir dir;
    CheckReportFile(q(dir.path()));
    const std::string defaults = test::readFile(dir / "SHVBOOK.URP");

    // Only the six earlier defaults: nothing converted, the old file gone.
    std::string old;
    for (const char* n :
         {"1 Line 90 Column Report", "2 Line 120 Column Report", "Full Report",
          "Statistic/Summary Report", "1 Line Location Report", "120 Column 4 Line Report"}) {
        old += oldRecord(n, 120, 1, 1);
    }
    test::writeFile(dir / "BOOK.URP", old);
    CheckReportFile(q(dir.path()));
    EXPECT_FALSE(std::filesystem::exists(dir / "BOOK.URP"));
    EXPECT_EQ(test::readFile(dir / "SHVBOOK.URP"), defaults);

    // Own reports are appended; total 3 becomes Quantity; a cut record is dropped.
    old = oldRecord("Full Report", 120, 1, 1) + oldRecord("By Year", 90, 3, 3) +
          oldRecord("Wide", 150, 2, 1) + std::string(500, 'z');
    test::writeFile(dir / "BOOK.URP", old);
    CheckReportFile(q(dir.path()));
    EXPECT_FALSE(std::filesystem::exists(dir / "BOOK.URP"));
    const ReportFile file(q(dir / "SHVBOOK.URP"));
    ASSERT_EQ(file.names().size(), 10u);
    EXPECT_EQ(test::readFile(dir / "SHVBOOK.URP").substr(0, defaults.size()), defaults);
    const ReportDefinition d = *file.read(8);
    EXPECT_EQ(d.name, "By Year");
    EXPECT_EQ(d.CharsPerLine, 90);
    EXPECT_EQ(d.totalsLine[0].number, 5);
    EXPECT_EQ(ReportTotalNames()[d.totalsLine[0].number - 1], std::string("Quantity"));
    EXPECT_EQ(d.lines[0][0].number, 3); // a field numbered 3 stays YearPub
    EXPECT_EQ(d.lines[0][1].label, "Yr");
    EXPECT_EQ(d.titles[1], "Second title");
    EXPECT_FALSE(d.columnHeaders);
    EXPECT_TRUE(d.pageNumbers && d.useTotals && d.dateOnPages && d.groupLevel1);
    EXPECT_FALSE(d.landscape || d.verticalLines || d.horizontalLines || d.groupLevel2);
    for (int f = 0; f < 5; ++f) {
        EXPECT_EQ(d.fonts[f], (ReportFontSpec{"Courier New", 10, f != 2 && f != 3}));
    }
    EXPECT_EQ(file.read(9)->fonts[0].size, 8);
    EXPECT_EQ(file.read(9)->totalsLine[0].number, 2);

    // A short tail stays at the end, after the reports converted.
    const std::string withTen = test::readFile(dir / "SHVBOOK.URP");
    test::writeFile(dir / "SHVBOOK.URP", withTen + "cut");
    test::writeFile(dir / "BOOK.URP", oldRecord("Kept", 90, 1, 1));
    CheckReportFile(q(dir.path()));
    EXPECT_FALSE(std::filesystem::exists(dir / "BOOK.URP"));
    const std::string withEleven = test::readFile(dir / "SHVBOOK.URP");
    EXPECT_EQ(withEleven.substr(0, withTen.size()), withTen);
    EXPECT_EQ(withEleven.substr(withEleven.size() - 3), "cut");
    EXPECT_EQ(file.names().back(), "Kept");

    // When the new file cannot take them, the old reports wait for a later start.
    std::filesystem::remove(dir / "SHVBOOK.URP");
    std::filesystem::create_directory(dir / "SHVBOOK.URP");
    test::writeFile(dir / "BOOK.URP", oldRecord("Kept", 90, 1, 1));
    CheckReportFile(q(dir.path()));
    EXPECT_TRUE(std::filesystem::exists(dir / "BOOK.URP"));
}

} // namespace
} // namespace shelvix::reports
