#include "db/fieldtable.h"
#include "support/exportfiles.h"
#include "support/tempdir.h"
#include "transfer/delimited.h"
#include "transfer/mapping.h"

#include <gtest/gtest.h>

using namespace shelvix;
using transfer::fieldNamedBy;

TEST(ImportMapping, HeaderCellsNameBookFields) {
    namespace f = db::field;
    for (const char* cell : {"Year Pub", "YEARPUB", " year  pub ", "yearpub,N,11,0"})
        EXPECT_EQ(fieldNamedBy(cell), f::YearPub) << cell;
    EXPECT_EQ(fieldNamedBy("TITLE,C,90"), f::Title);
    EXPECT_EQ(fieldNamedBy("PURCHDATE,D"), f::PurchDate);
    EXPECT_EQ(fieldNamedBy("DESCRIPTIO,C,110"), f::Descriptio);
    EXPECT_EQ(fieldNamedBy("Check Out Person"), f::CheckName);
    for (const char* cell : {"", "Smith, John", "Title,Author", "Name", "<BLANK FIELD>"})
        EXPECT_EQ(fieldNamedBy(cell), 0) << cell;
    // The database's own labels count too.
    db::PerField<QString> labels;
    labels[f::UserDef1 - 1] = QStringLiteral("Signed By");
    EXPECT_EQ(fieldNamedBy("SIGNEDBY", &labels), f::UserDef1);

    // A field named twice goes to the first; unnamed cells fill the free
    // rows from the top, marked No.
    const std::vector<std::string> header{"Notes", "Author", "Title", "author"};
    const auto map = transfer::headerFieldMap(header);
    EXPECT_EQ(map, (transfer::FieldMap{-1, f::Author, f::Title, -1}));
    EXPECT_TRUE(transfer::headerFieldMap({"Name", "When"}).empty());
    const auto rows = transfer::importRowsForMap(map, 4);
    ASSERT_EQ(rows.size(), 36u);
    EXPECT_EQ(rows[0].source, 2);
    EXPECT_EQ(rows[1].source, 1);
    EXPECT_TRUE(rows[0].use && rows[1].use);
    EXPECT_EQ(rows[2].source, 0);
    EXPECT_EQ(rows[3].source, 3);
    EXPECT_FALSE(rows[2].use || rows[3].use);
    EXPECT_EQ(transfer::fieldMapFromRows(rows, 4), map);
    // More sources than rows that import: the rest wait below row 36.
    transfer::FieldMap wide(50, -1);
    wide[49] = f::Title;
    const auto wideRows = transfer::importRowsForMap(wide, 50);
    ASSERT_EQ(wideRows.size(), 50u);
    EXPECT_EQ(wideRows[0].source, 49);
    EXPECT_EQ(wideRows[49].source, 48);
}

TEST(ImportMapping, PresetsAreFoundByTheirColumns) {
    test::TempDir dir;
    auto headers = [&](const std::string& text, const char* name) {
        test::writeFile(dir / name, text);
        transfer::DelimitedReader r(dir / name);
        EXPECT_EQ(r.scanFirstLine(), transfer::FirstLine::Ok);
        return r.headerTexts();
    };
    for (int columns : {23, 24, 31}) {
        const auto h = headers(test::goodreadsExport(columns), "gr.csv");
        EXPECT_EQ(int(h.size()), columns);
        EXPECT_EQ(transfer::detectPreset(h), transfer::Preset::Goodreads) << columns;
    }
    const auto lt = headers(test::libraryThingExport(), "lt.tsv");
    EXPECT_EQ(lt.size(), 49u);
    EXPECT_EQ(transfer::detectPreset(lt), transfer::Preset::LibraryThing);
    EXPECT_EQ(transfer::detectPreset({"Title", "Author"}), transfer::Preset::None);
    EXPECT_EQ(transfer::presetNamed("LibraryThing"), transfer::Preset::LibraryThing);
    EXPECT_EQ(transfer::presetNamed("goodreads"), transfer::Preset::Goodreads);
    EXPECT_FALSE(transfer::presetNamed("calibre"));
}
