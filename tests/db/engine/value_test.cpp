#include "db/engine/error.h"
#include "db/engine/value.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace shelvix::db {
namespace {

std::string fixed(double value, int decimals) {
    char out[kMaxFixedText];
    return {out, formatFixed(value, decimals, out)};
}

TEST(NumberField, ReadsStoredNumbersAndReportsJunk) {
    EXPECT_EQ(parseNumberField("            12.5000").state, StoredNumber::State::Number);
    EXPECT_DOUBLE_EQ(parseNumberField("            12.5000").value, 12.5);
    EXPECT_DOUBLE_EQ(parseNumberField("       -3.25").value, -3.25);
    EXPECT_DOUBLE_EQ(parseNumberField("99999999999").value, 99999999999.0);
    EXPECT_DOUBLE_EQ(parseNumberField("   .5").value, 0.5);
    EXPECT_DOUBLE_EQ(parseNumberField("1.5E+03").value, 1500.0);

    EXPECT_EQ(parseNumberField("           ").state, StoredNumber::State::Blank);
    EXPECT_EQ(parseNumberField(std::string_view("\0\0\0\0", 4)).state, StoredNumber::State::Blank);
    EXPECT_EQ(parseNumberField("").state, StoredNumber::State::Blank);

    for (const char* junk :
         {"12,5", "*****", "1 000", "inf", "nan", "0x1A", "-", ".", "1e", "12a", "--1"}) {
        const StoredNumber n = parseNumberField(junk);
        EXPECT_EQ(n.state, StoredNumber::State::Invalid) << junk;
        EXPECT_EQ(n.value, 0.0) << junk;
    }
}

TEST(NumberField, RefusesTypedTextThatIsNotANumber) {
    EXPECT_EQ(parseNumberText("  1937 ", "YEARPUB"), 1937.0);
    EXPECT_EQ(parseNumberText("-0.5", "COST"), -0.5);
    EXPECT_EQ(parseNumberText("   ", "YEARPUB"), std::nullopt);

    for (const char* text : {"abc", "12abc", "1,234.5", "1e999", "nan"}) {
        try {
            parseNumberText(text, "YEARPUB");
            ADD_FAILURE() << text << " was accepted";
        } catch (const DatabaseError& e) {
            EXPECT_EQ(e.kind(), DatabaseError::Kind::InvalidValue);
            EXPECT_EQ(std::string(e.what()), std::string("'") + text +
                                                 "' is not a valid floating point value for "
                                                 "field 'YEARPUB'");
        }
    }
}

TEST(NumberField, RoundsHalfAwayFromZeroOnTheDecimalValue) {
    EXPECT_EQ(fixed(2.675, 2), "2.68"); // the double is 2.67499999...
    EXPECT_EQ(fixed(0.015, 2), "0.02");
    EXPECT_EQ(fixed(1.005, 2), "1.01");
    EXPECT_EQ(fixed(0.005, 2), "0.01");
    EXPECT_EQ(fixed(0.125, 2), "0.13");
    EXPECT_EQ(fixed(2.5, 0), "3");
    EXPECT_EQ(fixed(-2.5, 0), "-3");
    EXPECT_EQ(fixed(-0.004, 2), "0.00"); // no negative zero
    EXPECT_EQ(fixed(9.995, 2), "10.00");
    EXPECT_EQ(fixed(0.0, 0), "0");
    EXPECT_EQ(fixed(1e-7, 2), "0.00");
    EXPECT_EQ(fixed(0.96, 0), "1");
    EXPECT_EQ(fixed(123456789.1234, 4), "123456789.1234");
    EXPECT_EQ(fixed(1e20, 2), "100000000000000000000.00");
    EXPECT_EQ(fixed(12.5, 4), "12.5000");
    EXPECT_EQ(fixed(std::numeric_limits<double>::max(), 100).size(), 1 + 309u + 100u);
    EXPECT_EQ(fixed(std::nan(""), 2), "");
}

TEST(NumberField, StoredDigitsRoundExactly) {
    auto fromText = [](std::string_view text, int decimals) {
        DecimalNumber number;
        if (!decimalFromText(text, number)) {
            return std::string("invalid");
        }
        char out[kMaxFixedText];
        return std::string(out, formatFixed(number, decimals, out));
    };
    EXPECT_EQ(fromText("             2.6750", 2), "2.68");
    EXPECT_EQ(fromText("  00012.50 ", 1), "12.5");
    EXPECT_EQ(fromText("0.0050", 2), "0.01");
    EXPECT_EQ(fromText("-0.0049", 2), "0.00");
    EXPECT_EQ(fromText("-.5", 0), "-1");
    EXPECT_EQ(fromText("1.5E+03", 2), "1500.00");
    EXPECT_EQ(fromText("25e-1", 0), "3");
    EXPECT_EQ(fromText("0000", 2), "0.00");
    // More digits than a double holds: the stored text decides.
    EXPECT_EQ(fromText("1234567890123456.785", 2), "1234567890123456.79");
    EXPECT_EQ(fromText("", 2), "invalid");
    EXPECT_EQ(fromText("12,5", 2), "invalid");
    EXPECT_EQ(fromText("1e999", 2), "invalid");
}

TEST(NumberField, FormatsIntoTheFieldOrRefuses) {
    EXPECT_EQ(formatNumberField(12.5, 20, 4, "COST"), "             12.5000");
    EXPECT_EQ(formatNumberField(-3.25, 20, 4, "COST"), "             -3.2500");
    EXPECT_EQ(formatNumberField(1937, 11, 0, "YEARPUB"), "       1937");
    EXPECT_EQ(formatNumberField(99999999999.0, 11, 0, "YEARPUB"), "99999999999");
    EXPECT_EQ(formatNumberField(9.995, 5, 2, "COST"), "10.00");

    for (double tooWide :
         {100000000000.0, -9999999999.5, std::nan(""), std::numeric_limits<double>::infinity()}) {
        try {
            formatNumberField(tooWide, 11, 0, "YEARPUB");
            ADD_FAILURE() << tooWide << " was stored";
        } catch (const DatabaseError& e) {
            EXPECT_EQ(e.kind(), DatabaseError::Kind::InvalidValue);
            EXPECT_NE(std::string(e.what()).find("'YEARPUB'"), std::string::npos) << e.what();
        }
    }
    // Rounding can push a value over the width.
    EXPECT_THROW(formatNumberField(99.995, 5, 2, "COST"), DatabaseError);
}

TEST(DateField, ReadsValidDatesOnly) {
    EXPECT_EQ(parseDateField("19990115"), (Date{1999, 1, 15}));
    EXPECT_EQ(parseDateField("20000229"), (Date{2000, 2, 29}));
    for (const char* bad : {"        ", "", "00000000", "20010231", "19991301", "1999011",
                            "1999O115", "199901150", "-9990115"}) {
        EXPECT_EQ(parseDateField(bad), std::nullopt) << bad;
    }

    EXPECT_EQ(formatDateField(Date{1999, 1, 15}), "19990115");
    EXPECT_EQ(formatDateField(Date{12, 3, 4}), "00120304");
    EXPECT_EQ(formatDateField(std::nullopt), "        ");
    EXPECT_THROW(formatDateField(Date{2001, 2, 29}), DatabaseError);
}

TEST(TextAndLogicalFields, TrimPadAndReadFlags) {
    EXPECT_EQ(parseCharacterField("  Tolkien   "), "  Tolkien");
    EXPECT_EQ(trimBoth(std::string_view("  x \0\0", 6)), "x");

    char out[6];
    formatCharacterField("Tolkien", 6, out);
    EXPECT_EQ(std::string(out, 6), "Tolkie");
    formatCharacterField("ab", 6, out);
    EXPECT_EQ(std::string(out, 6), "ab    ");

    for (char c : std::string("TtYy")) {
        EXPECT_EQ(parseLogicalField(std::string(1, c)), true);
    }
    for (char c : std::string("FfNn")) {
        EXPECT_EQ(parseLogicalField(std::string(1, c)), false);
    }
    EXPECT_EQ(parseLogicalField("?"), std::nullopt);
    EXPECT_EQ(parseLogicalField(" "), std::nullopt);
    EXPECT_EQ(formatLogicalField(true), 'T');
    EXPECT_EQ(formatLogicalField(std::nullopt), ' ');
}

} // namespace
} // namespace shelvix::db
