#include "db/booktable.h"
#include "db/engine/table.h"
#include "db/fieldtable.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace shelvix::db;
using shelvix::test::TempDir;

namespace {

std::vector<std::string> bookNames() {
    std::vector<std::string> names;
    for (const auto& f : fieldTable())
        names.emplace_back(f.name);
    return names;
}

} // namespace

TEST(BookTable, CreatedTableHasTheBookLayoutAndNoIndex) {
    TempDir dir;
    const auto path = dir / "NEW.DBF";
    createBookTable(path);
    EXPECT_FALSE(std::filesystem::exists(dir / "NEW.MDX"));

    auto table = Table::open(path, OpenMode::ReadOnly);
    ASSERT_EQ(table->fieldCount(), 36);
    EXPECT_TRUE(isBookTable(*table));
    EXPECT_EQ(table->languageDriver(), 0x57);
    for (int i = 0; i < 36; ++i) {
        const FieldInfo& info = fieldTable()[static_cast<std::size_t>(i)];
        const FieldLayout& f = table->field(i);
        switch (info.kind) {
        case FieldKind::Text:
            EXPECT_EQ(f.type, 'C') << info.name;
            EXPECT_EQ(f.length, info.width) << info.name;
            break;
        case FieldKind::WholeNumber:
            EXPECT_EQ(f.type, 'N') << info.name;
            EXPECT_EQ(f.length, 11) << info.name;
            EXPECT_EQ(f.decimals, 0) << info.name;
            break;
        case FieldKind::Money:
            EXPECT_EQ(f.type, 'N') << info.name;
            EXPECT_EQ(f.length, 20) << info.name;
            EXPECT_EQ(f.decimals, 4) << info.name;
            break;
        case FieldKind::Date:
            EXPECT_EQ(f.type, 'D') << info.name;
            EXPECT_EQ(f.length, 8) << info.name;
            break;
        }
    }
    // The header holds the names in capitals.
    EXPECT_EQ(table->field(8).name, "DESCRIPTIO");

    // Replacing an existing file leaves an empty table.
    table.reset();
    {
        auto rw = Table::open(path, OpenMode::Exclusive);
        rw->insert();
        rw->setText("Title", "Gone");
        rw->post();
    }
    createBookTable(path);
    EXPECT_EQ(Table::open(path, OpenMode::ReadOnly)->recordCount(), 0u);
}

TEST(BookTable, RecognitionNeedsTheThirtySixNamesInOrder) {
    auto names = bookNames();
    EXPECT_TRUE(isBookTable(names));

    auto lower = names;
    for (auto& n : lower)
        for (auto& c : n)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(isBookTable(lower));

    auto swapped = names;
    std::swap(swapped[0], swapped[1]);
    EXPECT_FALSE(isBookTable(swapped));

    auto extra = names;
    extra.emplace_back("EXTRA");
    EXPECT_FALSE(isBookTable(extra));

    auto fewer = names;
    fewer.pop_back();
    EXPECT_FALSE(isBookTable(fewer));

    auto renamed = names;
    renamed[35] = "USERDEF7";
    EXPECT_FALSE(isBookTable(renamed));

    // A real table of another structure.
    TempDir dir;
    Table::create(dir / "OTHER.DBF", {FieldDef::text("Title", 90), FieldDef::text("Author", 90)});
    EXPECT_FALSE(isBookTable(*Table::open(dir / "OTHER.DBF", OpenMode::ReadOnly)));
}
