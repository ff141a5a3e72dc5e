#include "db/engine/table.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace shelvix::db;
using shelvix::test::TempDir;

TEST(Table, Smoke) {
    TempDir dir;
    Table::create(dir / "T.DBF", {FieldDef::text("Title", 20), FieldDef::integer("Year")});
    auto t = Table::open(dir / "T.DBF", OpenMode::Exclusive);
    EXPECT_EQ(t->fieldCount(), 2);
}
