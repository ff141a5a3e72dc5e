#include "db/datalists.h"
#include "shell/datadir.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFileInfo>
#include <filesystem>
#include <gtest/gtest.h>

using namespace shelvix;
using test::readFile;
using test::TempDir;
using test::writeFile;

namespace {

const std::filesystem::path kShipped = std::filesystem::path(SHELVIX_SOURCE_DIR) / "data" / "lists";

} // namespace

TEST(DataDir, SeedingCopiesOnlyTheMissingLists) {
    TempDir dir;
    const auto data = dir / "home" / "data";
    std::filesystem::create_directories(data);
    writeFile(data / "AUTHOR.LST", "My Author\r\n");
    writeFile(data / "RATING.lst", "***\r\n");

    const shell::SeedResult r = shell::seedDataDirectory(QString::fromStdString(data.string()),
                                                         QString::fromStdString(kShipped.string()));
    EXPECT_TRUE(r.failed.isEmpty());
    EXPECT_EQ(r.copied.size(), 7);
    EXPECT_EQ(readFile(data / "AUTHOR.LST"), "My Author\r\n");
    EXPECT_EQ(readFile(data / "RATING.lst"), "***\r\n");
    EXPECT_FALSE(std::filesystem::exists(data / "RATING.LST"));
    EXPECT_EQ(readFile(data / "CATEGORY.LST"), readFile(kShipped / "CATEGORY.LST"));
    // The copies are the user's to change.
    EXPECT_TRUE(QFileInfo(QString::fromStdString((data / "CONDITION.LST").string())).isWritable());

    // A second run finds nothing to do.
    EXPECT_TRUE(shell::seedDataDirectory(QString::fromStdString(data.string()),
                                         QString::fromStdString(kShipped.string()))
                    .copied.isEmpty());

    // A source without the lists reports them and leaves no empty files.
    const auto other = dir / "other";
    const shell::SeedResult bad = shell::seedDataDirectory(
        QString::fromStdString(other.string()), QString::fromStdString((dir / "none").string()));
    EXPECT_EQ(bad.failed.size(), db::kDataListCount);
    EXPECT_TRUE(QDir(QString::fromStdString(other.string())).isEmpty());
}

TEST(DataDir, ShippedListsAreWindows1252CrLfWithinTheEntryLengths) {
    const QString shipped = QString::fromStdString(kShipped.string());
    const db::DataLists lists = db::LoadDefaultList(shipped);
    for (int n = 1; n <= db::kDataListCount; ++n) {
        const auto& info = db::dataListTable()[n - 1];
        SCOPED_TRACE(info.defaultFile);
        const std::string bytes = readFile(kShipped / info.defaultFile);
        // Every line ends in CR LF, and the file says exactly what it holds.
        std::string joined;
        for (const QString& e : lists[n - 1]) {
            EXPECT_LE(e.size(), info.entryLength);
            joined += e.toStdString() + "\r\n";
        }
        EXPECT_EQ(bytes, joined);
    }
    EXPECT_TRUE(lists[0].isEmpty()); // authors
    EXPECT_TRUE(lists[4].isEmpty()); // publishers
    EXPECT_TRUE(lists[7].isEmpty()); // check-out persons
    EXPECT_FALSE(lists[3].isEmpty());
}
