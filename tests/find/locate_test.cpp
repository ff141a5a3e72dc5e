#include "db/bookgen.h"
#include "db/booktable.h"
#include "db/fieldtable.h"
#include "db/sortorder.h"
#include "find/locate.h"
#include "support/tempdir.h"

#include <QDate>
#include <gtest/gtest.h>
#include <random>

using namespace shelvix;
using namespace shelvix::find;
using M = TMyLocateMatchType;

namespace {

class LocateTest : public ::testing::Test {
protected:
    LocateTest() {
        formats.setDateFormat(7);
        path = dir / "BOOKS.DBF";
        db::createBookTable(path);
        table = db::Table::open(path, db::OpenMode::Shared);
        const std::vector<std::vector<std::pair<const char*, const char*>>> books = {
            {{"Title", "Other Things"},
             {"Author", "Smithson"},
             {"Cost", "12"},
             {"YearPub", "1997"}},
            {{"Title", "THE END"},
             {"Author", "SMITH"},
             {"Cost", "12.50"},
             {"PurchDate", "19990305"}},
            {{"Title", "Theory"}, {"Author", "Jones"}, {"Cost", "112"}},
            {{"Title", "the road"}, {"Author", "Smith"}, {"Cost", "12.5"}},
            {{"Title", "The Hobbit"}, {"Author", "Adams"}, {"Cost", "3"}},
        };
        for (const auto& b : books) {
            table->insert();
            for (const auto& [field, value] : b)
                table->setText(field, value);
            table->post();
        }
        table->first();
    }

    std::uint32_t locate(bool fromStart, const char* field, M match, const QString& text,
                         bool caseSensitive = false, LocateMethod method = LocateMethod::Auto) {
        const std::uint32_t before = table->recno();
        const LocateOutcome o =
            locateRecord(*table, fromStart, {field, caseSensitive, match, text}, formats, method);
        if (o != LocateOutcome::Found) {
            EXPECT_EQ(table->recno(), before) << "a failed locate moved the record";
            return 0;
        }
        return table->recno();
    }

    test::TempDir dir;
    std::filesystem::path path;
    std::unique_ptr<db::Table> table;
    db::DisplayFormats formats;
};

TEST_F(LocateTest, MatchRulesOnTextFollowTheCurrentOrderAndCase) {
    // Record order: the first title that begins with "the" in any capitals.
    EXPECT_EQ(locate(true, "Title", M::mtPartialMatchStart, "the"), 2u);
    EXPECT_EQ(locate(false, "Title", M::mtPartialMatchStart, "the"), 3u);
    EXPECT_EQ(locate(true, "Title", M::mtPartialMatchStart, "The", true), 3u);
    EXPECT_EQ(locate(true, "Title", M::mtExactMatch, "the road"), 4u);
    EXPECT_EQ(locate(true, "Title", M::mtExactMatch, "the"), 0u);
    EXPECT_EQ(locate(true, "Title", M::mtPartialMatchAny, "HOBB"), 5u);
    EXPECT_EQ(locate(true, "Title", M::mtPartialMatchAny, ""), 0u);
    EXPECT_EQ(locate(true, "Author", M::mtExactMatch, "smith"), 2u);
    // A character the table's code page lacks occurs nowhere.
    EXPECT_EQ(locate(true, "Title", M::mtPartialMatchAny, QStringLiteral("\u4e2d")), 0u);

    // In title order the first "the" is THE END, and Next goes on from it.
    table->addTag("NewIndex", db::buildSortString({db::field::Title, 0, 0, 0}));
    table->selectTag("NewIndex");
    EXPECT_EQ(locate(true, "Title", M::mtPartialMatchStart, "the"), 2u);
    EXPECT_EQ(locate(false, "Title", M::mtPartialMatchStart, "the"), 5u);
    EXPECT_EQ(locate(false, "Title", M::mtPartialMatchStart, "the"), 4u);
    EXPECT_EQ(locate(false, "Title", M::mtPartialMatchStart, "the"), 3u);
    // The last match: nothing more, and the record stays.
    EXPECT_EQ(locate(false, "Title", M::mtPartialMatchStart, "the"), 0u);
    EXPECT_EQ(table->recno(), 3u);
}

TEST_F(LocateTest, NumbersMatchExactlyByValueAndPartlyByTheirText) {
    EXPECT_EQ(locate(true, "Cost", M::mtExactMatch, "12.5"), 2u);
    EXPECT_EQ(locate(false, "Cost", M::mtExactMatch, "12.5"), 4u);
    EXPECT_EQ(locate(true, "Cost", M::mtExactMatch, "12,5"), 0u);
    EXPECT_EQ(locate(true, "Cost", M::mtExactMatch, "-"), 0u);
    EXPECT_EQ(locate(true, "YearPub", M::mtExactMatch, "1997"), 1u);
    EXPECT_EQ(locate(true, "Cost", M::mtPartialMatchStart, "12.5"), 2u);
    EXPECT_EQ(locate(true, "Cost", M::mtPartialMatchAny, "12"), 1u);
    EXPECT_EQ(locate(false, "Cost", M::mtPartialMatchAny, "12"), 2u);
    EXPECT_EQ(locate(false, "Cost", M::mtPartialMatchAny, "12"), 3u); // 112
    // Dates as the date format shows them.
    EXPECT_EQ(locate(true, "PurchDate", M::mtPartialMatchAny, "1999"), 2u);
    EXPECT_EQ(locate(true, "PurchDate", M::mtExactMatch, formats.formatDate(QDate(1999, 3, 5))),
              2u);
}

TEST_F(LocateTest, OnlyRecordsTheFilterPassesAreSearched) {
    table->setFilter([](const db::RecordView& r) { return r.text("Author") != "SMITH"; });
    table->first();
    EXPECT_EQ(locate(true, "Title", M::mtPartialMatchStart, "the"), 3u);
    EXPECT_EQ(locate(true, "Author", M::mtExactMatch, "smith"), 4u);
    EXPECT_EQ(locateRecord(*table, true, {"NoSuch", false, M::mtExactMatch, "x"}, formats),
              LocateOutcome::NoField);
}

TEST(LocateSeek, TheTagFindsTheRecordTheScanFinds) {
    test::TempDir dir;
    const auto path = dir / "GEN.DBF";
    db::createBookTable(path);
    auto table = db::Table::open(path, db::OpenMode::Shared);
    db::appendGeneratedBooks(*table, 3000, 7);
    table->addTag("NewIndex", db::buildSortString({db::field::Author, db::field::Title, 0, 0}));
    table->selectTag("NewIndex");
    bool folded = false;
    ASSERT_EQ(leadingKeyLength(*table, table->fieldIndex("AUTHOR"), folded), 40);
    EXPECT_TRUE(folded);
    db::DisplayFormats formats;

    std::mt19937 rng(3);
    std::vector<std::string> authors;
    table->scan([&](const db::RecordView& r) {
        authors.emplace_back(r.text("AUTHOR"));
        return false;
    });
    int seeks = 0;
    for (int round = 0; round < 2; ++round) {
        if (round == 1) // a search in force
            table->setFilter([](const db::RecordView& r) { return r.recno() % 3 != 0; });
        for (int i = 0; i < 150; ++i) {
            std::string a = authors[rng() % authors.size()];
            const M match = M(rng() % 2);
            if (match == M::mtPartialMatchStart)
                a = a.substr(0, 1 + rng() % 4);
            if (rng() % 2)
                std::transform(a.begin(), a.end(), a.begin(), ::tolower);
            const bool fromStart = rng() % 3 == 0;
            const bool caseSensitive = rng() % 4 == 0;
            const LocateQuery q{"Author", caseSensitive, match, QString::fromStdString(a)};
            table->moveToRow(std::uint32_t(rng() % table->rowCount()));
            const auto start = table->bookmark();
            const LocateOutcome byScan =
                locateRecord(*table, fromStart, q, formats, LocateMethod::Scan);
            const std::uint32_t scanned = table->recno();
            table->gotoBookmark(start);
            const LocateOutcome bySeek = locateRecord(*table, fromStart, q, formats);
            ASSERT_EQ(bySeek, byScan) << a << " from start " << fromStart;
            ASSERT_EQ(table->recno(), scanned) << a << " from start " << fromStart;
            seeks += !caseSensitive;
        }
    }
    EXPECT_GT(seeks, 100);
}

} // namespace
