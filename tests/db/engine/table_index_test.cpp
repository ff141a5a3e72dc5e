// Tables with a production index: tags from other tools, tags we build and
// keep up to date, seeking, pack, and an index left half-written.

#include "db/engine/table.h"
#include "support/tempdir.h"

#include <algorithm>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

using namespace shelvix::db;
using shelvix::test::readFile;
using shelvix::test::TempDir;
using shelvix::test::writeFile;
using ::testing::HasSubstr;
using Kind = DatabaseError::Kind;

namespace {

std::vector<FieldDef> fields() {
    return {FieldDef::text("Author", 30), FieldDef::integer("YearPub"), FieldDef::floating("Cost"),
            FieldDef::date("PurchDate")};
}

void append(Table& t, const std::string& author, int year) {
    t.insert();
    t.setText("Author", author);
    t.setNumber("YearPub", year);
    t.setNumber("Cost", year / 8.0);
    t.setDate("PurchDate", Date{1990 + year % 30, 1 + year % 12, 1 + year % 28});
    t.post();
}

std::vector<std::uint32_t> order(Table& t) {
    std::vector<std::uint32_t> out;
    for (t.first(); !t.eof(); t.next())
        out.push_back(t.recno());
    return out;
}

std::vector<std::uint32_t> rows(Table& t) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t i = 0; i < t.rowCount(); ++i)
        out.push_back(t.recordAtRow(i));
    return out;
}

// Record numbers in key order from an independent tool's dump.
std::vector<std::uint32_t> dumpOrder(const std::string& fixture) {
    std::ifstream in(shelvix::test::fixturePath(fixture));
    std::string line;
    std::vector<std::uint32_t> out;
    bool inTag = false;
    while (std::getline(in, line)) {
        if (line.rfind("tags:", 0) == 0)
            inTag = true;
        else if (inTag && !line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
            out.push_back(std::uint32_t(std::stoul(line)));
    }
    return out;
}

// The expected order: by upper-cased author, then record number.
std::vector<std::uint32_t> sortedByAuthor(Table& t, bool withDeleted) {
    std::vector<std::pair<std::string, std::uint32_t>> keys;
    for (std::uint32_t r = 1; r <= t.rowCount() + 1000 && r <= 100000; ++r) {
        try {
            RecordView v = t.record(r);
            if (v.deleted() && !withDeleted)
                continue;
            std::string k(v.text(0));
            for (char& c : k)
                c = char(std::toupper(static_cast<unsigned char>(c)));
            keys.emplace_back(k, r);
        } catch (const DatabaseError&) {
            break;
        }
    }
    std::sort(keys.begin(), keys.end());
    std::vector<std::uint32_t> out;
    for (auto& k : keys)
        out.push_back(k.second);
    return out;
}

} // namespace

TEST(TableIndex, WalksTagsWrittenByOtherToolsInTheirOrder) {
    for (std::string name : {"BOOKS1", "BOOKS2", "BOOKS3", "PBOOKS1", "PBOOKS2", "PBOOKS3"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        auto path = dir.copyFixture("independent/" + name + ".DBF");
        dir.copyFixture("independent/" + name + ".MDX");
        auto t = Table::open(path, OpenMode::Shared);
        ASSERT_EQ(t->tags().size(), 1u);
        EXPECT_EQ(t->tags()[0].name, "NewIndex");
        EXPECT_EQ(t->writeBlockedReason(), "");
        t->selectTag("newindex");
        EXPECT_EQ(t->selectedTag(), "NewIndex");
        t->setShowDeleted(true);
        const auto expected = dumpOrder("independent/" + name + ".perl-dump.txt");
        ASSERT_EQ(expected.size(), 11u);
        EXPECT_EQ(order(*t), expected);
        EXPECT_EQ(rows(*t), expected);
        t->setShowDeleted(false);
        auto live = expected;
        std::erase(live, 9u);
        EXPECT_EQ(order(*t), live);
        EXPECT_EQ(rows(*t), live);
        std::vector<std::uint32_t> backwards;
        for (t->last(); !t->bof(); t->prior())
            backwards.push_back(t->recno());
        std::reverse(backwards.begin(), backwards.end());
        EXPECT_EQ(backwards, live);

        // Where the other tool broke a key rule, check says so and a rebuild
        // gives keys by our rules, in the same order here.
        if (!t->check().empty()) {
            t->regenerateIndexes();
            EXPECT_TRUE(t->check().empty()) << ::testing::PrintToString(t->check());
        }
        EXPECT_EQ(order(*t), live);
    }
}

TEST(TableIndex, BuildsTagsAndKeepsThemUpToDate) {
    TempDir dir;
    auto path = dir / "BOOKS.DBF";
    Table::create(path, fields());
    auto t = Table::open(path, OpenMode::Shared);
    std::mt19937 rng(7);
    const char* names[] = {"smith", "Smith", "jones", "Adams", "zola", "Brown", "adams", ""};
    for (int i = 0; i < 300; ++i)
        append(*t, names[rng() % 8] + std::to_string(rng() % 50), int(rng() % 3000));
    t->goToRecord(17);
    t->deleteRecord();

    t->addTag("ByAuthor", "UPPER(Author)");
    t->addTag("Year", "YEARPUB");
    std::string f = readFile(path);
    EXPECT_EQ(f[28], 1);
    EXPECT_EQ(f[32 + 31], 0);      // AUTHOR: the key is an expression
    EXPECT_EQ(f[32 + 32 + 31], 1); // YEARPUB: a bare-field key
    ASSERT_EQ(t->tags().size(), 2u);
    EXPECT_TRUE(t->check().empty()) << ::testing::PrintToString(t->check());

    t->selectTag("BYAUTHOR");
    EXPECT_EQ(order(*t), sortedByAuthor(*t, false));
    EXPECT_EQ(rows(*t), sortedByAuthor(*t, false));

    // Appends, edits and deletes keep every tag and the grid's rows right.
    t->setFilter([](const RecordView& r) { return r.text(0).size() % 2 == 0; });
    t->rowCount();
    for (int i = 0; i < 200; ++i) {
        switch (rng() % 3) {
        case 0:
            append(*t, names[rng() % 8] + std::to_string(i), i);
            break;
        case 1:
            if (t->moveToRow(std::uint32_t(rng() % std::max(1u, t->rowCount())))) {
                t->edit();
                t->setText("Author", names[rng() % 8] + std::to_string(rng() % 50));
                t->setNumber("YearPub", int(rng() % 3000));
                t->post();
            }
            break;
        default:
            if (t->moveToRow(std::uint32_t(rng() % std::max(1u, t->rowCount()))))
                t->deleteRecord();
        }
    }
    const auto incremental = rows(*t);
    const auto count = t->recordCount();
    t->setFilter([](const RecordView& r) { return r.text(0).size() % 2 == 0; });
    EXPECT_EQ(rows(*t), incremental);
    EXPECT_EQ(t->recordCount(), count);
    EXPECT_EQ(incremental.size(), count);
    EXPECT_TRUE(t->check().empty()) << ::testing::PrintToString(t->check());

    // Another process's reader sees the same order.
    t.reset();
    auto other = Table::open(path, OpenMode::ReadOnly);
    other->selectTag("Year");
    other->setShowDeleted(true);
    double last = -1;
    std::uint32_t seen = 0;
    for (other->first(); !other->eof(); other->next(), ++seen) {
        double y = other->number("YearPub").value_or(0);
        EXPECT_GE(y, last);
        last = y;
    }
    EXPECT_EQ(seen, other->recordCount());
}

TEST(TableIndex, PerlReadsTheTagsWeBuild) {
    TempDir dir;
    auto path = dir / "PERL.DBF";
    Table::create(path, fields());
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        for (int i = 0; i < 400; ++i)
            append(*t, "Author " + std::to_string((i * 7919) % 400), i);
        t->addTag("ByAuthor", "Upper(Left(Author,20))");
    }
    std::string out;
    {
        std::string cmd = "cd " + dir.path().string() +
                          " && /usr/bin/perl -MXBase -e '$t = XBase->new(\"PERL.DBF\") or die "
                          "XBase->errstr; $c = $t->prepare_select_with_index([\"PERL.MDX\", "
                          "\"ByAuthor\"], \"AUTHOR\") or die $t->errstr; while (@r = $c->fetch) "
                          "{ print \"$r[0]\\n\" }' 2>&1";
        FILE* p = ::popen(cmd.c_str(), "r");
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    std::vector<std::string> got, want;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        got.push_back(line);
    for (int i = 0; i < 400; ++i)
        want.push_back("Author " + std::to_string(i));
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
}

TEST(TableIndex, DeletingTheLastTagRemovesTheIndex) {
    TempDir dir;
    auto path = dir / "BOOKS.DBF";
    Table::create(path, fields());
    auto t = Table::open(path, OpenMode::Exclusive);
    append(*t, "b", 2);
    append(*t, "a", 1);
    t->addTag("Year", "YearPub");
    t->addTag("NewIndex", "Upper(Left(Author,80))");
    t->selectTag("NewIndex");
    EXPECT_EQ(order(*t), (std::vector<std::uint32_t>{2, 1}));
    EXPECT_THROW(t->deleteTag("Missing"), DatabaseError);
    EXPECT_THROW(t->selectTag("Missing"), DatabaseError);
    EXPECT_THROW(t->addTag("Bad", "Upper(NoSuchField)"), DatabaseError);
    t->deleteTag("NEWINDEX");
    EXPECT_EQ(t->selectedTag(), "");
    EXPECT_EQ(readFile(path)[28], 1);
    t->deleteTag("Year");
    std::string f = readFile(path);
    EXPECT_EQ(f[28], 0);
    EXPECT_EQ(f[32 + 32 + 31], 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "BOOKS.MDX"));
    EXPECT_TRUE(t->tags().empty());
    append(*t, "c", 3);
    EXPECT_EQ(t->recordCount(), 3u);
    t.reset();

    // Tags change only with no other user; alone, a shared open may.
    auto a = Table::open(path, OpenMode::Shared);
    {
        auto b = Table::open(path, OpenMode::Shared);
        try {
            a->addTag("Year", "YearPub");
            FAIL();
        } catch (const DatabaseError& e) {
            EXPECT_EQ(e.kind(), Kind::InUse);
        }
        EXPECT_EQ(b->recordCount(), 3u);
    }
    a->addTag("Year", "YearPub");
    EXPECT_THROW(Table::open(path, OpenMode::Exclusive), DatabaseError); // a is still shared
    auto b = Table::open(path, OpenMode::Shared);
    EXPECT_EQ(b->tags().size(), 1u);
}

TEST(TableIndex, FindNearestGoesToTheFirstKeyAtOrAfterTheValue) {
    TempDir dir;
    auto path = dir / "BOOKS.DBF";
    Table::create(path, fields());
    auto t = Table::open(path, OpenMode::Exclusive);
    for (auto [name, year] : std::vector<std::pair<std::string, int>>{
             {"Tolkien", 1937}, {"austen", 1813}, {"Asimov", 1951}, {"Zola", 1885}})
        append(*t, name, year);
    EXPECT_THROW(t->findNearest("A"), DatabaseError); // no tag selected
    t->addTag("ByAuthor", "UPPER(Author)");
    t->addTag("Year", "YearPub");
    t->addTag("Bought", "PurchDate");
    t->selectTag("ByAuthor");
    EXPECT_TRUE(t->findNearest("AU"));
    EXPECT_EQ(t->text("Author"), "austen");
    EXPECT_TRUE(t->findNearest("B"));
    EXPECT_EQ(t->text("Author"), "Tolkien");
    EXPECT_FALSE(t->findNearest("ZZ"));
    EXPECT_EQ(t->text("Author"), "Zola");
    t->next();
    EXPECT_TRUE(t->eof());

    t->selectTag("Year");
    EXPECT_TRUE(t->findNearest(1900.0));
    EXPECT_EQ(t->text("Author"), "Tolkien");
    EXPECT_TRUE(t->findNearest("1813"));
    EXPECT_EQ(t->text("Author"), "austen");
    t->next();
    EXPECT_EQ(t->text("Author"), "Zola");

    t->selectTag("Bought");
    auto mark = t->bookmark();
    t->first();
    EXPECT_TRUE(t->gotoBookmark(mark));
    EXPECT_EQ(t->bookmark(), mark);

    // The filter applies to seeks too.
    t->selectTag("ByAuthor");
    t->setFilter([](const RecordView& r) { return r.text(0) != "austen"; });
    EXPECT_TRUE(t->findNearest("AU"));
    EXPECT_EQ(t->text("Author"), "Tolkien");
}

TEST(TableIndex, PackRemovesDeletedRecordsAndRebuildsTags) {
    TempDir dir;
    auto path = dir / "BOOKS.DBF";
    Table::create(path, fields());
    auto t = Table::open(path, OpenMode::Exclusive);
    for (int i = 0; i < 1000; ++i)
        append(*t, "A" + std::to_string(999 - i), i);
    t->addTag("ByAuthor", "Upper(Author)");
    t->selectTag("ByAuthor");
    t->setShowDeleted(true);
    for (t->first(); !t->eof(); t->next())
        if (t->number("YearPub").value_or(0) < 900 && int(*t->number("YearPub")) % 3 == 0) {
            t->deleteRecord();
        }
    t->setShowDeleted(false);
    const std::uint32_t live = t->recordCount();
    std::vector<std::string> before;
    for (t->first(); !t->eof(); t->next())
        before.push_back(t->text("Author"));

    std::uint64_t lastDone = 0, lastTotal = 0;
    t->pack([&](std::uint64_t done, std::uint64_t total) {
        EXPECT_GE(done, lastDone);
        lastDone = done;
        lastTotal = total;
    });
    EXPECT_EQ(lastDone, lastTotal);
    EXPECT_EQ(t->selectedTag(), "ByAuthor");
    t->setShowDeleted(true);
    EXPECT_EQ(t->recordCount(), live);
    std::vector<std::string> after;
    for (t->first(); !t->eof(); t->next())
        after.push_back(t->text("Author"));
    EXPECT_EQ(after, before);
    EXPECT_TRUE(t->check().empty()) << ::testing::PrintToString(t->check());
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_NE(entry.path().extension(), ".tmp") << "left behind: " << entry.path();
    std::string f = readFile(path);
    EXPECT_EQ(f.size(), 32 + 4 * 32 + 1 + std::size_t(live) * 70 + 1);
    EXPECT_EQ(f[28], 1);

    t->regenerateIndexes();
    EXPECT_TRUE(t->check().empty());
    t.reset();
    auto again = Table::open(path, OpenMode::ReadOnly);
    EXPECT_EQ(again->recordCount(), live);
}

TEST(TableIndex, ATagWeCannotEvaluateStopsWritesButNotReads) {
    TempDir dir;
    auto path = dir / "BOOKS.DBF";
    Table::create(path, fields());
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        append(*t, "b", 2);
        append(*t, "a", 1);
        t->addTag("Year", "YearPub");
        t->addTag("Cheap", "Cost");
    }
    // Rename the COST field so the tag's expression names a missing field.
    std::string f = readFile(path);
    f.replace(32 + 64, 4, "EURO");
    writeFile(path, f);

    auto t = Table::open(path, OpenMode::Exclusive);
    EXPECT_THAT(t->writeBlockedReason(), HasSubstr("Cheap"));
    EXPECT_EQ(t->recordCount(), 2u);
    t->selectTag("Year");
    EXPECT_EQ(t->text("Author"), "a");
    EXPECT_THROW(t->insert(), DatabaseError);
    EXPECT_THROW(t->edit(), DatabaseError);
    EXPECT_THROW(t->deleteRecord(), DatabaseError);
    EXPECT_THROW(t->pack(), DatabaseError);
    const std::string mdx = readFile(dir / "BOOKS.MDX");
    EXPECT_THROW(t->regenerateIndexes(), DatabaseError);
    EXPECT_EQ(readFile(path), f);
    // Not even the start of a new index is left behind.
    EXPECT_EQ(readFile(dir / "BOOKS.MDX"), mdx);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
    t->deleteTag("Cheap");
    EXPECT_EQ(t->writeBlockedReason(), "");
    t->insert();
    t->setText("Author", "c");
    t->setNumber("YearPub", 3);
    t->post();
    EXPECT_TRUE(t->check().empty()) << ::testing::PrintToString(t->check());
}
