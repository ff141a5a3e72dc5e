#include "db/booktable.h"
#include "db/databasefiles.h"
#include "db/engine/table.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace shelvix;
using test::writeFile;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

} // namespace

// Companions written by other tools keep their own spelling; the engine and
// the database's file list find the same ones.
TEST(DatabaseFiles, CompanionsAreFoundWhateverTheCaseOfTheirExtension) {
    test::TempDir dir;
    const auto table = dir / "My.Books.DBF";
    db::createBookTable(table);
    db::Table::open(table, db::OpenMode::Exclusive)->addTag("TITLE", "UPPER(TITLE)");
    std::filesystem::rename(dir / "My.Books.MDX", dir / "My.Books.mdx");
    writeFile(dir / "My.Books.Ini", "[Misc]\r\n");
    writeFile(dir / "My.Books.001", "Kim\r\n");
    writeFile(dir / "my.books.002", "Shelf\r\n"); // another stem: another database's
    writeFile(dir / "My.DBF", "");                // and so is this
    std::filesystem::create_directory(dir / "My.Books.003");

    const auto files = db::DatabaseFiles::of(q(dir / "." / "My.Books.DBF"));
    EXPECT_EQ(files.current, q(table));
    EXPECT_EQ(files.tableName, "My");
    EXPECT_EQ(files.index, q(dir / "My.Books.mdx"));
    EXPECT_EQ(files.settings, q(dir / "My.Books.Ini"));
    EXPECT_EQ(files.list(1), q(dir / "My.Books.001"));
    EXPECT_EQ(files.list(2), q(dir / "My.Books.002"));
    EXPECT_EQ(files.list(3), q(dir / "My.Books.003"));
    EXPECT_EQ(files.all().size(), 12);
    EXPECT_EQ(files.existing(),
              QStringList({files.current, files.index, files.settings, files.list(1)}));

    // The engine opens the index the list names, and keeps it up to date.
    EXPECT_EQ(db::findCompanion(table, ".MDX"), db::toPath(files.index));
    auto t = db::Table::open(table, db::OpenMode::Exclusive);
    EXPECT_EQ(t->tags().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "My.Books.MDX"));
}
