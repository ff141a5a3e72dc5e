#include "db/engine/error.h"
#include "db/textcodec.h"

#include <gtest/gtest.h>

using namespace shelvix;

TEST(TextCodec, ErrorTextTakesUtf8AndStrayWindows1252Bytes) {
    // UTF-8 as the engine writes it: a file name and a field already decoded.
    EXPECT_EQ(db::errorText(db::DatabaseError("Cannot open /tmp/B\u00FCcher.DBF: \u00E9t\u00E9")),
              QString::fromUtf8("Cannot open /tmp/B\u00FCcher.DBF: \u00E9t\u00E9"));
    // Raw Windows-1252 bytes beside UTF-8 ones each read as they were meant,
    // never as a replacement mark.
    EXPECT_EQ(db::errorText("'\xE9t\xE9 \x80 \x9C' in /tmp/\xC3\xA6r\xC3\xB8.DBF"),
              QString::fromUtf8("'\u00E9t\u00E9 \u20AC \u0153' in /tmp/\u00E6r\u00F8.DBF"));
    // A lead byte without its continuation, at the end or before ASCII.
    EXPECT_EQ(db::errorText("\xC3"), QString::fromUtf8("\u00C3"));
    EXPECT_EQ(db::errorText("\xE2\x82x"), QString::fromUtf8("\u00E2\u201Ax"));
}

TEST(TextCodec, Windows1252RoundTripAndLoss) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(char(b));
    int lost = -1;
    EXPECT_EQ(db::toWindows1252(db::fromWindows1252(all), &lost), all);
    EXPECT_EQ(lost, 0);
    // One '?' for each character, including one beyond the BMP.
    EXPECT_EQ(db::toWindows1252(QString::fromUtf8("a\U0001F600b\u0141"), &lost), "a?b?");
    EXPECT_EQ(lost, 2);

    EXPECT_EQ(db::encodePath(QString::fromUtf8("/home/Zo\u00E9")), "/home/Zo\xE9");
    EXPECT_EQ(db::encodePath(QString::fromUtf8("/home/\u0141\u00F3d\u017A")),
              "/home/\xC5\x81\xC3\xB3\x64\xC5\xBA");
    EXPECT_EQ(db::decodePath("/home/Zo\xE9"), QString::fromUtf8("/home/Zo\u00E9"));
    EXPECT_EQ(db::decodePath("/home/\xC5\x81\xC3\xB3\x64\xC5\xBA"),
              QString::fromUtf8("/home/\u0141\u00F3d\u017A"));
}
