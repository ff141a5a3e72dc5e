#include "db/booktable.h"
#include "db/engine/table.h"
#include "support/tempdir.h"
#include "support/tool.h"

#include <algorithm>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using shelvix::test::readFile;
using shelvix::test::TempDir;
using shelvix::test::writeFile;
using ::testing::HasSubstr;
namespace db = shelvix::db;

namespace {

using Result = shelvix::test::ToolResult;

Result tool(const TempDir& dir, const std::string& args) {
    return shelvix::test::runTool(dir, args);
}

void addBook(const std::filesystem::path& table, const char* title, const char* author) {
    auto t = db::Table::open(table, db::OpenMode::Shared);
    t->insert();
    t->setText("Title", title);
    t->setText("Author", author);
    t->post();
}

} // namespace

TEST(ToolBackup, BackupAndRestoreCarryTheTableSettingsAndLists) {
    TempDir dir;
    for (const char* d : {"data", "bk", "elsewhere"})
        std::filesystem::create_directory(dir / d);
    db::createBookTable(dir / "data/BOOKS.DBF");
    addBook(dir / "data/BOOKS.DBF", "Orlando", "Woolf");
    addBook(dir / "data/BOOKS.DBF", "Emma", "Austen");
    writeFile(dir / "data/BOOKS.INI", "[Sort]\r\nLevel1=1\r\n");
    writeFile(dir / "data/BOOKS.001", "Woolf\r\n");

    Result r = tool(dir, "backup data/BOOKS.DBF data");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("Destination File and Source File are identical."));
    {
        auto held = db::Table::open(dir / "data/BOOKS.DBF", db::OpenMode::Shared);
        r = tool(dir, "backup data/BOOKS.DBF bk");
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.err, HasSubstr("requires exclusive use"));
        EXPECT_FALSE(std::filesystem::exists(dir / "bk/BOOKS.DBF"));
    }
    r = tool(dir, "backup data/BOOKS.DBF bk");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "backed up 3 files to " + (dir / "bk").string() + "\n");
    EXPECT_EQ(readFile(dir / "bk/BOOKS.DBF"), readFile(dir / "data/BOOKS.DBF"));
    EXPECT_EQ(readFile(dir / "bk/BOOKS.001"), "Woolf\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "bk/BOOKS.MDX"));

    // Restored elsewhere: the settings' sort order (title) is built afresh.
    r = tool(dir, "restore bk/BOOKS.DBF elsewhere");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("restored 3 files"));
    auto t = db::Table::open(dir / "elsewhere/BOOKS.DBF", db::OpenMode::ReadOnly);
    t->selectTag("NewIndex");
    std::vector<std::string> titles;
    for (t->first(); !t->eof(); t->next())
        titles.push_back(t->text("Title"));
    EXPECT_EQ(titles, (std::vector<std::string>{"Emma", "Orlando"}));
    EXPECT_TRUE(t->check().empty());

    writeFile(dir / "bk/NOTBOOK.DBF", "junk");
    EXPECT_EQ(tool(dir, "restore bk/NOTBOOK.DBF elsewhere").status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere/NOTBOOK.DBF"));
    EXPECT_EQ(tool(dir, "restore bk/BOOKS.DBF bk").status, 1);
    EXPECT_EQ(tool(dir, "backup data/BOOKS.DBF").status, 2);
}

TEST(ToolBackup, ConvertAppendsBothOldFilesAndDeletesThem) {
    TempDir dir;
    const std::filesystem::path samples = std::filesystem::path(SHELVIX_SOURCE_DIR) / "tests/data";
    std::filesystem::copy_file(samples / "B2LOG.DBF", dir / "B2LOG.DBF");
    std::filesystem::copy_file(samples / "BLOG.DBF", dir / "BLOG.DBF");
    Result r = tool(dir, "convert .");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("B2LOG.DBF: 3 records added"));
    EXPECT_THAT(r.out, HasSubstr("BLOG.DBF: 5 records added"));
    EXPECT_FALSE(std::filesystem::exists(dir / "B2LOG.DBF"));
    EXPECT_FALSE(std::filesystem::exists(dir / "BLOG.DBF"));
    auto t = db::Table::open(dir / "MASTER.DBF", db::OpenMode::ReadOnly);
    EXPECT_EQ(t->recordCount(), 8u);
    r = tool(dir, "convert .");
    EXPECT_EQ(r.out, "nothing to convert\n");
}

// A damaged old file is named with what is wrong and kept; the other is
// converted; the status tells of the one left.
TEST(ToolBackup, ConvertNamesADamagedOldFileAndKeepsIt) {
    TempDir dir;
    const std::filesystem::path samples = std::filesystem::path(SHELVIX_SOURCE_DIR) / "tests/data";
    writeFile(dir / "B2LOG.DBF", readFile(samples / "B2LOG.DBF").substr(0, 20));
    std::filesystem::copy_file(samples / "BLOG.DBF", dir / "BLOG.DBF");
    Result r = tool(dir, "convert .");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out, HasSubstr("BLOG.DBF: 5 records added"));
    EXPECT_EQ(r.err, "shelvix-tool: " + (dir / "B2LOG.DBF").string() +
                         " cannot be converted: The table B2LOG.DBF is damaged: the file is too "
                         "short to hold a dBASE header\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "BLOG.DBF"));
    EXPECT_EQ(std::filesystem::file_size(dir / "B2LOG.DBF"), 20u);
    // Alone, it is no "nothing to convert".
    r = tool(dir, "convert .");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
}

// The backup of an indexed catalogue keeps the table's index mark without
// its .MDX: the restore takes it as it is and leaves the backup unwritten.
TEST(ToolBackup, AnIndexedCatalogueComesBackWhole) {
    TempDir dir;
    for (const char* d : {"data", "bk", "elsewhere"})
        std::filesystem::create_directory(dir / d);
    ASSERT_EQ(tool(dir, "create data/BOOKS.DBF").status, 0);
    ASSERT_EQ(tool(dir, "generate 300 data/BOOKS.DBF --seed 7").status, 0);
    ASSERT_EQ(tool(dir, "index data/BOOKS.DBF --tag ByTitle --expr 'Upper(Left(Title,80))'").status,
              0);
    Result r = tool(dir, "backup data/BOOKS.DBF bk");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string backup = readFile(dir / "bk/BOOKS.DBF");

    r = tool(dir, "restore bk/BOOKS.DBF elsewhere");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir / "bk/BOOKS.DBF"), backup);
    EXPECT_FALSE(std::filesystem::exists(dir / "bk/BOOKS.MDX"));
    const Result original = tool(dir, "dump data/BOOKS.DBF --deleted");
    ASSERT_EQ(original.status, 0) << original.err;
    EXPECT_EQ(tool(dir, "dump elsewhere/BOOKS.DBF --deleted").out, original.out);
    r = tool(dir, "check elsewhere/BOOKS.DBF");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_THAT(r.out, HasSubstr("ok\n"));
}

// Nothing to convert makes nothing; the old files are found in any capitals.
TEST(ToolBackup, ConvertMakesNothingForNothingAndFindsOldFilesInAnyCapitals) {
    TempDir dir;
    const auto tables = [&] {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            if (e.path().extension() != ".txt")
                names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    Result r = tool(dir, "convert .");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "nothing to convert\n");
    EXPECT_EQ(tool(dir, "convert . --into OWN.DBF").out, "nothing to convert\n");
    EXPECT_EQ(tables(), std::vector<std::string>{});

    const std::filesystem::path samples = std::filesystem::path(SHELVIX_SOURCE_DIR) / "tests/data";
    std::filesystem::copy_file(samples / "B2LOG.DBF", dir / "b2log.dbf");
    std::filesystem::copy_file(samples / "BLOG.DBF", dir / "Blog.Dbf");
    r = tool(dir, "convert . --into OWN.DBF");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("b2log.dbf: 3 records added"));
    EXPECT_THAT(r.out, HasSubstr("Blog.Dbf: 5 records added"));
    EXPECT_EQ(tables(), std::vector<std::string>{"OWN.DBF"});
    EXPECT_EQ(db::Table::open(dir / "OWN.DBF", db::OpenMode::ReadOnly)->recordCount(), 8u);
}
