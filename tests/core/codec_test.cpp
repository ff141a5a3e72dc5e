#include "core/codec.h"

#include <gtest/gtest.h>

using namespace shelvix::core;

TEST(Codec, Windows1252RoundTripsEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    std::string utf8 = decode(all);
    EXPECT_TRUE(isValidUtf8(utf8));
    Encoded back = encode(utf8);
    EXPECT_TRUE(back.lossless());
    EXPECT_EQ(back.bytes, all);

    EXPECT_EQ(decode("\x80\x9F\xE9"), "\u20AC\u0178\u00E9");
    // The undefined bytes stand for the control characters of the same number.
    EXPECT_EQ(decode("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
}

TEST(Codec, UnmappableCharactersBecomeQuestionMarksAndAreReported) {
    Encoded e = encode("Caf\u00E9 \u0416\u20AC \U0001F600");
    EXPECT_EQ(e.bytes, "Caf\xE9 ?\x80 ?");
    ASSERT_EQ(e.unmappable.size(), 2u);
    EXPECT_EQ(e.unmappable[0], U'\u0416');
    EXPECT_EQ(e.unmappable[1], U'\U0001F600');

    // U+0080 is not the euro byte's character: it has no byte.
    EXPECT_FALSE(encode("\u0080").lossless());

    // Malformed UTF-8: each bad byte is one reported '?'.
    Encoded bad = encode("a\xC3(b\xFF");
    EXPECT_EQ(bad.bytes, "a?(b?");
    EXPECT_EQ(bad.unmappable, (std::vector<char32_t>{0xFFFD, 0xFFFD}));
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80")); // a surrogate
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));     // overlong
}

TEST(Codec, Cp437) {
    EXPECT_EQ(decode("\x80\x81\x9B\xE1\xFF", CodePage::Cp437), "\u00C7\u00FC\u00A2\u00DF\u00A0");
    Encoded e = encode("\u00C7\u00FC\u2500\u20AC", CodePage::Cp437);
    EXPECT_EQ(e.bytes, "\x80\x81\xC4?");
    EXPECT_EQ(e.unmappable, std::vector<char32_t>{U'\u20AC'});

    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(encode(decode(all, CodePage::Cp437), CodePage::Cp437).bytes, all);

    EXPECT_EQ(codePageForLanguageDriver(0x01), CodePage::Cp437);
    EXPECT_EQ(codePageForLanguageDriver(0x1B), CodePage::Cp437);
    EXPECT_EQ(codePageForLanguageDriver(0x57), CodePage::Windows1252);
    EXPECT_EQ(codePageForLanguageDriver(0x00), CodePage::Windows1252);
}
