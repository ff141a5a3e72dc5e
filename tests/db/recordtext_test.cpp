#include "db/bookfixture.h"
#include "db/displayformats.h"
#include "db/recordtext.h"

#include <gtest/gtest.h>

using namespace shelvix;
using db::fieldDisplayText;
using db::generalNumber;

namespace {

QString shown(test::BookTable& b, std::uint32_t recno, const char* field,
              const db::DisplayFormats& formats) {
    int i = b.table->fieldIndex(field);
    return fieldDisplayText(b.table->record(recno), i, b.table->field(i), b.table->codePage(),
                            formats);
}

} // namespace

TEST(RecordText, GeneralNumberIsTheShortestDecimalText) {
    EXPECT_EQ(generalNumber(1999), "1999");
    EXPECT_EQ(generalNumber(12.5), "12.5");
    EXPECT_EQ(generalNumber(12.50), "12.5");
    EXPECT_EQ(generalNumber(0.1), "0.1");
    EXPECT_EQ(generalNumber(2.675), "2.675");
    EXPECT_EQ(generalNumber(-3.25), "-3.25");
    EXPECT_EQ(generalNumber(0), "0");
    EXPECT_EQ(generalNumber(-0.0), "0");
    EXPECT_EQ(generalNumber(1e15), "1000000000000000");
    EXPECT_EQ(generalNumber(0.0005), "0.0005");
}

TEST(RecordText, FieldsReadAsTheGridShowsThem) {
    test::BookTable b;
    std::uint32_t full = b.add({{"Title", "  Indented title"},
                                {"Author", "Zola, \xC9mile"},
                                {"YearPub", "1999"},
                                {"Cost", "12.50"},
                                {"Value", "-3.25"},
                                {"PurchDate", "19990115"},
                                {"CheckOut", "Yes"}});
    std::uint32_t empty = b.add({{"Title", "Nothing else"}});
    db::DisplayFormats formats;

    EXPECT_EQ(shown(b, full, "Title", formats), "  Indented title"); // leading blanks are data
    EXPECT_EQ(shown(b, full, "Author", formats), QString::fromUtf8("Zola, \u00C9mile"));
    EXPECT_EQ(shown(b, full, "YearPub", formats), "1999");
    EXPECT_EQ(shown(b, full, "Cost", formats), "12.5");
    EXPECT_EQ(shown(b, full, "Value", formats), "-3.25");
    EXPECT_EQ(shown(b, full, "PurchDate", formats), "1/15/99");
    EXPECT_EQ(shown(b, full, "CheckOut", formats), "Yes");
    formats.setDateFormat(10);
    formats.setLeadingZeros(true);
    EXPECT_EQ(shown(b, full, "PurchDate", formats), "15/01/1999");

    EXPECT_EQ(shown(b, empty, "YearPub", formats), "");
    EXPECT_EQ(shown(b, empty, "Cost", formats), "");
    EXPECT_EQ(shown(b, empty, "PurchDate", formats), "");
    EXPECT_EQ(shown(b, empty, "Author", formats), "");

    // What another program may have left: junk stays visible for correction,
    // an impossible date reads as none.
    b.patch(empty, "Pages", "  12,5");
    b.patch(empty, "PurchDate", "20010231");
    EXPECT_EQ(shown(b, empty, "Pages", formats), "12,5");
    EXPECT_EQ(shown(b, empty, "PurchDate", formats), "");
}

TEST(RecordText, TextCrossesTheTablesCodePage) {
    test::BookTable b;
    std::uint32_t r = b.add({{"Title", "Caf\x82 na\x8Bve"}}); // é ï in cp437
    b.setLanguageDriver(0x1B);
    db::DisplayFormats formats;
    EXPECT_EQ(shown(b, r, "Title", formats), QString::fromUtf8("Caf\u00E9 na\u00EFve"));
    b.setLanguageDriver(0x57);
    EXPECT_EQ(shown(b, r, "Title", formats), QString::fromUtf8("Caf\u201A na\u2039ve"));

    using core::CodePage;
    EXPECT_EQ(db::encodeField(QString::fromUtf8("Caf\u00E9"), CodePage::Cp437), "Caf\x82");
    EXPECT_EQ(db::encodeField(QString::fromUtf8("Caf\u00E9"), CodePage::Windows1252), "Caf\xE9");
    EXPECT_EQ(db::encodeField(QString::fromUtf8("\u0141\u00F3d\u017A"), CodePage::Windows1252),
              std::nullopt);
    QChar bad;
    EXPECT_EQ(db::encodeField(QString::fromUtf8("\u017Dx"), CodePage::Cp437, &bad), std::nullopt);
    EXPECT_EQ(bad, QChar(0x017D));
    EXPECT_EQ(db::encodeField(QString::fromUtf8("\u017Dx"), CodePage::Windows1252), "\x8Ex");
    EXPECT_EQ(db::encodeField(QString::fromUtf8("\U0001F600"), CodePage::Windows1252),
              std::nullopt);
}
