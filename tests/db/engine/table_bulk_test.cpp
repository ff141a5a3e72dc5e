// Bulk appends held back and written together, and reading a table another
// user grows while we have it mapped.

#include "db/engine/table.h"
#include "support/tempdir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace shelvix::db;
using shelvix::test::readFile;
using shelvix::test::TempDir;

namespace {

std::vector<FieldDef> fields() {
    return {FieldDef::text("Author", 30), FieldDef::integer("YearPub")};
}

void append(Table& t, int i) {
    t.insert();
    t.setText("Author", "Author " + std::to_string((i * 7919) % 1000));
    t.setNumber("YearPub", 1900 + i % 120);
    t.post();
}

std::vector<std::uint32_t> rows(Table& t) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t i = 0; i < t.rowCount(); ++i)
        out.push_back(t.recordAtRow(i));
    return out;
}

std::uint32_t countOnDisk(const std::filesystem::path& p) {
    const std::string b = readFile(p).substr(4, 4);
    return std::uint32_t(std::uint8_t(b[0])) | std::uint32_t(std::uint8_t(b[1])) << 8 |
           std::uint32_t(std::uint8_t(b[2])) << 16 | std::uint32_t(std::uint8_t(b[3])) << 24;
}

char indexMark(const std::filesystem::path& mdx) {
    return readFile(mdx)[52];
}

} // namespace

// A few appends to a large tag go in one by one, many to a small one rebuild
// it; either way the tags, the rows and check() come out as from plain posts.
TEST(TableBulk, HeldBackAppendsEndAsPlainPosts) {
    for (int before : {0, 300}) {
        for (int added : {20, 600}) {
            TempDir dir;
            for (const char* name : {"PLAIN.DBF", "BULK.DBF"}) {
                Table::create(dir / name, fields());
                auto t = Table::open(dir / name, OpenMode::Exclusive);
                t->addTag("ByAuthor", "Upper(Author)");
                t->addTag("ByYear", "YearPub");
                Table::Bulk b(*t);
                for (int i = 0; i < before; ++i)
                    append(*t, i);
            }
            // Shared: appended and keyed one by one, as without bulk work.
            auto plain = Table::open(dir / "PLAIN.DBF", OpenMode::Shared);
            {
                Table::Bulk unsynced(*plain);
                for (int i = before; i < before + added; ++i) {
                    append(*plain, i);
                    if (i % 9 == 0)
                        plain->deleteRecord();
                }
            }
            auto bulk = Table::open(dir / "BULK.DBF", OpenMode::Exclusive);
            {
                Table::Bulk b(*bulk);
                for (int i = before; i < before + added; ++i) {
                    append(*bulk, i);
                    if (i % 9 == 0)
                        bulk->deleteRecord();
                }
                // Held back from the file, seen in the table.
                EXPECT_EQ(countOnDisk(dir / "BULK.DBF"), std::uint32_t(before));
                EXPECT_NE(indexMark(dir / "BULK.MDX"), 0); // marked
                EXPECT_EQ(bulk->record(std::uint32_t(before + added)).text("Author"),
                          plain->record(std::uint32_t(before + added)).text("Author"));
                b.finish();
            }
            EXPECT_EQ(countOnDisk(dir / "BULK.DBF"), std::uint32_t(before + added));
            EXPECT_EQ(indexMark(dir / "BULK.MDX"), 0);
            for (const char* tag : {"ByAuthor", "ByYear"}) {
                plain->selectTag(tag);
                bulk->selectTag(tag);
                EXPECT_EQ(rows(*bulk), rows(*plain)) << before << "+" << added << " " << tag;
            }
            EXPECT_EQ(bulk->check(), std::vector<std::string>{});
            bulk.reset();
            plain.reset();
            EXPECT_EQ(readFile(dir / "BULK.DBF").substr(32),
                      readFile(dir / "PLAIN.DBF").substr(32));
        }
    }
}

// A writer that dies half-way through bulk work leaves records past the
// count and the index marked: the next open takes them back and rebuilds.
TEST(TableBulk, AWriterDeadHalfWayIsRepairedAtOpen) {
    TempDir dir;
    Table::create(dir / "BOOKS.DBF", {FieldDef::text("Author", 250), FieldDef::integer("YearPub")});
    auto t = Table::open(dir / "BOOKS.DBF", OpenMode::Exclusive);
    t->addTag("ByAuthor", "Upper(Left(Author,60))");
    for (int i = 0; i < 100; ++i)
        append(*t, i);
    t->beginBulk();
    for (int i = 100; i < 6000; ++i) // past a megabyte: some reach the file
        append(*t, i);
    std::filesystem::create_directory(dir / "copy");
    for (const char* name : {"BOOKS.DBF", "BOOKS.MDX"})
        std::filesystem::copy_file(dir / name, dir / "copy" / name);
    const std::uint64_t written =
        (std::filesystem::file_size(dir / "BOOKS.DBF") - 32 - 2 * 32 - 1 - 1) / 262;
    t->endBulk();
    t.reset();

    auto copy = Table::open(dir / "copy" / "BOOKS.DBF", OpenMode::Exclusive);
    EXPECT_GT(written, 100u);
    EXPECT_LT(written, 6000u);
    EXPECT_EQ(copy->recordCount(), written);
    EXPECT_EQ(copy->repairsAtOpen().size(), 2u);
    EXPECT_EQ(copy->check(), std::vector<std::string>{});
}

// Another user appends while we hold a view of the file: after a refresh the
// new records read right, from the same view or a larger one, and a scan of
// the grown table sees them all.
TEST(TableBulk, ATableGrownByAnotherUserReadsWhole) {
    TempDir dir;
    Table::create(dir / "BOOKS.DBF", fields());
    auto reader = Table::open(dir / "BOOKS.DBF", OpenMode::Shared);
    auto writer = Table::open(dir / "BOOKS.DBF", OpenMode::Shared);
    for (int i = 0; i < 10; ++i)
        append(*writer, i);
    reader->refresh();
    EXPECT_EQ(reader->record(10).text("Author"), writer->record(10).text("Author"));
    {
        Table::Bulk b(*writer); // shared: every append counted at once
        for (int i = 10; i < 5000; ++i)
            append(*writer, i);
    }
    reader->refresh();
    EXPECT_EQ(reader->recordCount(), 5000u);
    EXPECT_EQ(reader->record(4999).text("Author"), writer->record(4999).text("Author"));
    std::uint32_t seen = 0;
    reader->scan([&](const RecordView& r) {
        seen += r.text("Author") == writer->record(r.recno()).text("Author");
        return false;
    });
    EXPECT_EQ(seen, 5000u);
}
