#include "db/booktable.h"
#include "db/conversion.h"
#include "db/databasefiles.h"
#include "db/engine/error.h"
#include "support/tempdir.h"

#include <QString>
#include <filesystem>
#include <gtest/gtest.h>

using namespace shelvix;
using db::Date;

namespace {

const std::filesystem::path kSamples = std::filesystem::path(SHELVIX_SOURCE_DIR) / "tests/data";

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

std::filesystem::path sample(const test::TempDir& dir, const char* name) {
    const auto to = dir / name;
    std::filesystem::copy_file(kSamples / name, to);
    std::filesystem::permissions(to, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    return to;
}

struct Row {
    std::string title;
    std::string author;
    std::optional<double> pages;
    std::optional<Date> bought;
    std::string checkName;
    std::optional<double> cost;
    std::string condition;
};

std::vector<Row> rows(const std::filesystem::path& path) {
    auto t = db::Table::open(path, db::OpenMode::ReadOnly);
    std::vector<Row> out;
    for (t->first(); !t->eof(); t->next())
        out.push_back({t->text("Title"), t->text("Author"), t->number("Pages"),
                       t->date("PurchDate"), t->text("CheckName"), t->number("Cost"),
                       t->text("Condition")});
    return out;
}

} // namespace

// The sample files under tests/data were made by this case, from the
// structures of the two earlier versions:
//   logic_tests --gtest_also_run_disabled_tests --gtest_filter='*MakeSamples'
TEST(OldVersions, DISABLED_MakeSamples) {
    const auto v2 = kSamples / "B2LOG.DBF";
    db::Table::create(v2, db::versionFields(2));
    {
        auto t = db::Table::open(v2, db::OpenMode::Exclusive);
        struct V2 {
            const char* title;
            const char* author;
            const char* pages;
            Date bought;
        };
        const V2 books[] = {{"The Hobbit", "Tolkien, J.R.R.", "1,024", {1994, 3, 7}},
                            {"\xC9mile", "Rousseau", " 310 ", {1995, 12, 1}},
                            {"No Pages", "Nobody", "", {}}};
        int n = 0;
        for (const V2& b : books) {
            t->insert();
            t->setNumber("RecNum", ++n);
            t->setText("Title", b.title);
            t->setText("Author", b.author);
            t->setText("Pages", b.pages);
            t->setNumber("YearPub", 1937);
            t->setNumber("Cost", 12.5);
            if (b.bought.year)
                t->setDate("PurchDate", b.bought);
            t->setText("CheckPerso", "Anna");
            t->setText("Location", "Shelf 2");
            t->post();
        }
    }
    const auto v1 = kSamples / "BLOG.DBF";
    db::Table::create(v1, db::versionFields(1));
    auto t = db::Table::open(v1, db::OpenMode::Exclusive);
    const char* const dates[][3] = {{"7", "Mar", "1994"},
                                    {"7", "3", "1994"},
                                    {"", "", ""},
                                    {"25", "Dec", "94"},
                                    {"1", "mar", "1994"}};
    int n = 0;
    for (const auto& d : dates) {
        t->insert();
        t->setNumber("RecNum", ++n);
        t->setText("Title", "Book " + std::to_string(n));
        t->setText("Author", "Author " + std::to_string(n));
        t->setNumber("Cost", n);
        t->setText("PurchDay", d[0]);
        t->setText("PurchMonth", d[1]);
        t->setText("PurchYear", d[2]);
        t->post();
    }
}

TEST(OldVersions, ChecksKnowEachVersionByItsFieldsAndIgnoreTheRest) {
    test::TempDir dir;
    const auto v2 = sample(dir, "B2LOG.DBF");
    const auto v1 = sample(dir, "BLOG.DBF");
    EXPECT_TRUE(db::CheckDBaseFormatV2(q(v2)));
    EXPECT_FALSE(db::CheckDBaseFormatV1(q(v2)));
    EXPECT_TRUE(db::CheckDBaseFormatV1(q(v1)));
    EXPECT_FALSE(db::CheckDBaseFormatV2(q(v1)));
    EXPECT_FALSE(db::CheckDBaseFormatV1(q(dir / "MISSING.DBF")));

    // One field more, a field renamed, a book table, a file that is no table.
    auto fields = db::versionFields(1);
    fields.push_back(db::FieldDef::text("Extra", 5));
    db::Table::create(dir / "LONGER.DBF", fields);
    EXPECT_FALSE(db::CheckDBaseFormatV1(q(dir / "LONGER.DBF")));
    fields = db::versionFields(2);
    fields[24].name = "Page";
    db::Table::create(dir / "RENAMED.DBF", fields);
    EXPECT_FALSE(db::CheckDBaseFormatV2(q(dir / "RENAMED.DBF")));
    db::createBookTable(dir / "BOOKS.DBF");
    EXPECT_FALSE(db::CheckDBaseFormatV2(q(dir / "BOOKS.DBF")));
    test::writeFile(dir / "JUNK.DBF", "not a table at all");
    EXPECT_FALSE(db::CheckDBaseFormatV1(q(dir / "JUNK.DBF")));
}

TEST(OldVersions, VersionTwoRecordsJoinTheBookTableFieldByField) {
    test::TempDir dir;
    const auto v2 = sample(dir, "B2LOG.DBF");
    db::createBookTable(dir / "MASTER.DBF");
    {
        auto target = db::Table::open(dir / "MASTER.DBF", db::OpenMode::Shared);
        EXPECT_EQ(db::ConvertV2(q(v2), *target), 3u);
    }
    const auto got = rows(dir / "MASTER.DBF");
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].title, "The Hobbit");
    EXPECT_EQ(got[0].pages, 1024.0); // "1,024"
    EXPECT_EQ(got[0].bought, (Date{1994, 3, 7}));
    EXPECT_EQ(got[0].checkName, "Anna"); // from CheckPerso
    EXPECT_EQ(got[0].cost, 12.5);
    EXPECT_EQ(got[0].condition, ""); // version 2 had none
    EXPECT_EQ(got[1].title, "\xC9mile");
    EXPECT_EQ(got[1].pages, 310.0);
    EXPECT_EQ(got[2].pages, 0.0); // empty pages text reads as 0
    EXPECT_FALSE(got[2].bought);
    auto check = db::Table::open(dir / "MASTER.DBF", db::OpenMode::ReadOnly);
    EXPECT_TRUE(check->check().empty());
}

TEST(OldVersions, VersionOneDatesReadMonthFirstAndABadDateKeepsTheRecord) {
    EXPECT_EQ(db::versionOneDate("7", "Mar", "1994"), (Date{1994, 3, 7}));
    EXPECT_EQ(db::versionOneDate("7", "3", "1994"), (Date{1994, 3, 7}));
    EXPECT_EQ(db::versionOneDate("7 ", "Sep ", "1994"), (Date{1994, 9, 7}));
    EXPECT_FALSE(db::versionOneDate("31", "Feb", "1994"));
    EXPECT_FALSE(db::versionOneDate("1", "MAR", "1994")); // names count case

    test::TempDir dir;
    const auto v1 = sample(dir, "BLOG.DBF");
    db::createBookTable(dir / "MASTER.DBF");
    {
        auto target = db::Table::open(dir / "MASTER.DBF", db::OpenMode::Shared);
        EXPECT_EQ(db::ConvertV1(q(v1), *target), 5u);
    }
    const auto got = rows(dir / "MASTER.DBF");
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0].bought, (Date{1994, 3, 7}));
    EXPECT_EQ(got[1].bought, (Date{1994, 3, 7}));
    EXPECT_FALSE(got[2].bought);
    EXPECT_EQ(got[2].title, "Book 3");
    EXPECT_EQ(got[2].cost, 3.0);
    EXPECT_EQ(got[3].bought, (Date{1994, 12, 25}));
    EXPECT_FALSE(got[4].bought);
    EXPECT_EQ(got[4].author, "Author 5");
}

// A record the book table cannot hold stops the conversion; what it had
// appended is no longer live, so converting the kept file again later gives
// each book once.
TEST(OldVersions, AFailedConversionLeavesNoLiveHalfCopy) {
    test::TempDir dir;
    const auto v2 = dir / "B2LOG.DBF";
    // A hand-made file of the right names with a year wider than ours.
    std::vector<db::FieldDef> fields = db::versionFields(2);
    fields[3] = {"YearPub", 'N', 20, 0};
    db::Table::create(v2, fields);
    {
        auto t = db::Table::open(v2, db::OpenMode::Exclusive);
        for (const double year : {1937.0, 1954.0, 1e15}) {
            t->insert();
            t->setText("Title", "Book");
            t->setNumber("YearPub", year);
            t->post();
        }
    }
    ASSERT_TRUE(db::CheckDBaseFormatV2(q(v2)));
    db::createBookTable(dir / "MASTER.DBF");
    {
        auto target = db::Table::open(dir / "MASTER.DBF", db::OpenMode::Shared);
        EXPECT_THROW(db::ConvertV2(q(v2), *target), db::DatabaseError);
    }
    EXPECT_TRUE(rows(dir / "MASTER.DBF").empty());
    EXPECT_TRUE(std::filesystem::exists(v2));
    auto check = db::Table::open(dir / "MASTER.DBF", db::OpenMode::ReadOnly);
    EXPECT_TRUE(check->check().empty());
}
