#include "db/fieldtable.h"

#include <gtest/gtest.h>
#include <set>
#include <stdexcept>
#include <string>

using namespace shelvix::db;

TEST(FieldTable, RowsAndLookup) {
    const FieldInfo& year = fieldInfo(3);
    EXPECT_STREQ(year.name, "YearPub");
    EXPECT_EQ(year.type, 'N');
    EXPECT_EQ(year.width, 4);
    EXPECT_EQ(year.decimals, -1);
    EXPECT_EQ(year.kind, FieldKind::WholeNumber);
    EXPECT_FALSE(year.choice);
    EXPECT_STREQ(year.label, "Year Pub");

    EXPECT_STREQ(fieldInfo(9).name, "Descriptio");
    EXPECT_EQ(fieldInfo(9).width, 110);
    EXPECT_EQ(fieldInfo(12).kind, FieldKind::Date);
    EXPECT_EQ(fieldInfo(30).kind, FieldKind::Money);
    EXPECT_EQ(fieldInfo(30).decimals, 2);
    EXPECT_STREQ(fieldInfo(36).label, "User Defined 6");

    EXPECT_EQ(fieldNumber("TITLE"), 1);
    EXPECT_EQ(fieldNumber("descriptio"), 9);
    EXPECT_EQ(fieldNumber("UserDef6"), 36);
    EXPECT_EQ(fieldNumber("Description"), 0);
    EXPECT_EQ(fieldNumber(""), 0);
    EXPECT_THROW(fieldInfo(0), std::out_of_range);
    EXPECT_THROW(fieldInfo(37), std::out_of_range);
}

TEST(FieldTable, WholeTableIsConsistent) {
    std::set<std::string> names;
    int choices = 0;
    for (int n = 1; n <= kFieldCount; ++n) {
        const FieldInfo& f = fieldInfo(n);
        std::string name = f.name;
        EXPECT_LE(name.size(), 10u) << name; // fits a dBASE field name
        EXPECT_LE(std::string(f.label).size(), 20u) << name;
        EXPECT_TRUE(names.insert(name).second) << name;
        EXPECT_EQ(fieldNumber(name), n);
        choices += f.choice ? 1 : 0;
        switch (f.kind) {
        case FieldKind::Text:
            EXPECT_EQ(f.type, 'C') << name;
            break;
        case FieldKind::Date:
            EXPECT_EQ(f.type, 'D') << name;
            break;
        case FieldKind::Money:
            EXPECT_EQ(f.decimals, 2) << name;
            [[fallthrough]];
        case FieldKind::WholeNumber:
            EXPECT_EQ(f.type, 'N') << name;
            break;
        }
    }
    // The nine data-list fields and CheckOut.
    EXPECT_EQ(choices, 10);
}
