#include "db/datalists.h"
#include "shell/datadir.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace shelvix;

TEST(BuiltInLists, SeedANewDataDirectory) {
    test::TempDir dir;
    const QString data = QString::fromStdString((dir / "data").string());
    const shell::SeedResult r = shell::seedDataDirectory(data);
    EXPECT_TRUE(r.failed.isEmpty()) << r.failed.join(", ").toStdString();
    EXPECT_EQ(r.copied.size(), db::kDataListCount);
    const db::DataLists lists = db::LoadDefaultList(data);
    EXPECT_TRUE(lists[5].contains("Good"));
    EXPECT_TRUE(lists[0].isEmpty());
}
