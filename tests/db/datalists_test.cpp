#include "db/datalists.h"
#include "support/tempdir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace shelvix::db;
using shelvix::test::readFile;
using shelvix::test::TempDir;
using shelvix::test::writeFile;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

} // namespace

TEST(DataLists, LoadingTrimsSkipsBlankLinesAndKeepsDuplicates) {
    TempDir dir;
    const std::string longLine = "  " + std::string(300, 'x');
    writeFile(dir / "L.001", "  Smith  \r\n\r\n   \r\nJones\r\n\tBrown\nSmith\rCaf\xe9 \x80\r\n" +
                                 longLine + "\r\n\x1a");
    const QStringList list = LoadList(q(dir / "L.001"));
    ASSERT_EQ(list.size(), 6);
    EXPECT_EQ(list[0], "Smith");
    EXPECT_EQ(list[1], "Jones");
    EXPECT_EQ(list[2], "Brown");
    EXPECT_EQ(list[3], "Smith");
    EXPECT_EQ(list[4], QString::fromUtf8("Café €"));
    // Cut to 255 characters before trimming, leading blanks included.
    EXPECT_EQ(list[5], QString(253, 'x'));

    EXPECT_TRUE(LoadList(q(dir / "missing.001")).isEmpty());
    EXPECT_TRUE(LoadList(q(dir.path())).isEmpty()); // a directory, not a file
}

TEST(DataLists, SavingWritesWindows1252WithCrLfAndReadsBack) {
    TempDir dir;
    const QStringList entries = {QString::fromUtf8("Café"), QString::fromUtf8("€ 5"), "Smith",
                                 "Smith", "two\nlines"};
    ASSERT_TRUE(SaveList(q(dir / "L.004"), entries));
    EXPECT_EQ(readFile(dir / "L.004"), "Caf\xe9\r\n\x80 5\r\nSmith\r\nSmith\r\ntwo lines\r\n");
    EXPECT_EQ(LoadList(q(dir / "L.004")),
              QStringList({QString::fromUtf8("Café"), QString::fromUtf8("€ 5"), "Smith", "Smith",
                           "two lines"}));

    // An empty list leaves an empty file; a file that cannot be created is
    // reported to the caller only.
    ASSERT_TRUE(SaveList(q(dir / "L.004"), {}));
    EXPECT_EQ(readFile(dir / "L.004"), "");
    EXPECT_FALSE(SaveList(q(dir / "no" / "L.004"), {"x"}));
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

TEST(DataLists, DatabaseWithoutItsOwnListsGetsTheDefaults) {
    TempDir dir;
    std::filesystem::create_directory(dir / "data");
    const QString dataDir = q(dir / "data");
    writeFile(dir / "data" / "AUTHOR.LST", "Default Author\r\n");
    writeFile(dir / "data" / "CATEGORY.lst", "Fiction\r\nHistory\r\n"); // case of extension
    writeFile(dir / "data" / "RATING.LST", "Good\r\n");

    // Only the author file: the defaults, not that file.
    writeFile(dir / "BOOKS.001", "Own Author\r\n");
    const QString base = q(dir / "BOOKS");
    DataLists lists = LoadAllList(base, dataDir);
    EXPECT_EQ(lists[0], QStringList{"Default Author"});
    EXPECT_EQ(lists[3], QStringList({"Fiction", "History"}));
    EXPECT_EQ(lists[5], QStringList{"Good"});
    EXPECT_TRUE(lists[1].isEmpty()); // LOCATION.LST does not exist

    // Any one of the book-type, category and rating files makes the lists
    // the database's own; the missing ones are empty.
    writeFile(dir / "BOOKS.006", "Poor\r\n");
    lists = LoadAllList(base, dataDir);
    EXPECT_EQ(lists[0], QStringList{"Own Author"});
    EXPECT_TRUE(lists[3].isEmpty());
    EXPECT_EQ(lists[5], QStringList{"Poor"});

    // Saving writes all nine files, after which they load back unchanged.
    lists[8] = QStringList{"Fine"};
    EXPECT_TRUE(SaveAllLists(base, lists));
    for (int n = 1; n <= kDataListCount; ++n)
        EXPECT_TRUE(std::filesystem::exists(dir / ("BOOKS.00" + std::to_string(n))));
    EXPECT_EQ(LoadAllList(base, dataDir), lists);
}

TEST(DataLists, DefaultsAreRewrittenUnderTheirExistingNames) {
    TempDir dir;
    const QString dataDir = q(dir.path());
    writeFile(dir / "CATEGORY.lst", "Old\r\n");
    DataLists lists;
    lists[3] = QStringList{"New"};
    lists[0] = QStringList{"A. Author"};
    EXPECT_TRUE(SaveDefaultLists(dataDir, lists));
    EXPECT_EQ(readFile(dir / "CATEGORY.lst"), "New\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "CATEGORY.LST"));
    EXPECT_EQ(readFile(dir / "AUTHOR.LST"), "A. Author\r\n");
    EXPECT_EQ(LoadDefaultList(dataDir), lists);
}

TEST(DataLists, AddToListTrimsAndRefusesExactDuplicates) {
    QStringList list{"Jones"};
    EXPECT_TRUE(AddToList(list, "  Smith  "));
    EXPECT_FALSE(AddToList(list, "Smith"));
    EXPECT_FALSE(AddToList(list, "   "));
    EXPECT_TRUE(AddToList(list, "smith"));
    EXPECT_EQ(list, QStringList({"Jones", "Smith", "smith"}));
}
