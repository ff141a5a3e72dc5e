#include "db/engine/keys.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace shelvix::db {
namespace {

using NumericKey = std::array<std::uint8_t, kNumericKeyLength>;

NumericKey numericKey(double value) {
    NumericKey key{};
    encodeNumericKey(value, key.data());
    return key;
}

int compareNumeric(const NumericKey& a, const NumericKey& b) {
    return compareKeys(KeyType::Numeric, a.data(), b.data(), kNumericKeyLength);
}

TEST(JulianDay, MatchesKnownDaysAndRoundTrips) {
    EXPECT_EQ(julianDay({1999, 1, 15}), 2451194);
    EXPECT_EQ(julianDay({2000, 1, 1}), 2451545);
    EXPECT_EQ(julianDay({1, 1, 1}), 1721426);
    EXPECT_EQ(julianDay({9999, 12, 31}), 5373484);
    EXPECT_EQ(julianDay({2000, 3, 1}) - julianDay({2000, 2, 28}), 2);
    EXPECT_EQ(julianDay({1900, 3, 1}) - julianDay({1900, 2, 28}), 1);

    for (std::int32_t jd = 1721426; jd <= 5373484; jd += 97) {
        const Date d = dateFromJulianDay(jd);
        ASSERT_TRUE(isValidDate(d)) << jd;
        ASSERT_EQ(julianDay(d), jd);
    }
}

TEST(JulianDay, ValidatesCalendarDates) {
    EXPECT_TRUE(isValidDate({2000, 2, 29}));
    EXPECT_FALSE(isValidDate({1900, 2, 29}));
    EXPECT_FALSE(isValidDate({2001, 4, 31}));
    EXPECT_FALSE(isValidDate({2001, 13, 1}));
    EXPECT_FALSE(isValidDate({0, 1, 1}));
    EXPECT_FALSE(isValidDate({2001, 1, 0}));
}

TEST(NumericKey, EncodesDigitsExponentAndSign) {
    EXPECT_EQ(numericKey(12.5), (NumericKey{0x36, 0x0d, 0x12, 0x50}));
    EXPECT_EQ(numericKey(-3.25), (NumericKey{0x35, 0x8d, 0x32, 0x50}));
    EXPECT_EQ(numericKey(0.005), (NumericKey{0x32, 0x05, 0x50}));
    EXPECT_EQ(numericKey(0.1), (NumericKey{0x34, 0x05, 0x10}));
    EXPECT_EQ(numericKey(1937), (NumericKey{0x38, 0x11, 0x19, 0x37}));
    EXPECT_EQ(numericKey(0), (NumericKey{0x34, 0x01}));

    for (double v : {12.5, -3.25, 0.005, 1234567890.5, 123456789.1234, 99999999999.0, -1e-7, 0.0}) {
        EXPECT_DOUBLE_EQ(decodeNumericKey(numericKey(v).data()), v);
    }
}

TEST(NumericKey, OrdersByValueWhateverTheWriterPutInByteOne) {
    const std::vector<double> ascending = {-1e12,  -123.5, -3.25, -0.5, -0.005, 0.0,
                                           0.0049, 0.005,  0.1,   0.5,  1,      9.99,
                                           10,     12.5,   100,   1937, 1e15};
    for (std::size_t i = 0; i < ascending.size(); ++i) {
        for (std::size_t j = 0; j < ascending.size(); ++j) {
            const int expected = (i > j) - (i < j);
            EXPECT_EQ(compareNumeric(numericKey(ascending[i]), numericKey(ascending[j])), expected)
                << ascending[i] << " vs " << ascending[j];
        }
    }

    // A third-party index stores the field width (10) as the digit count.
    const NumericKey ten{0x36, 0x29, 0x10};
    const NumericKey fifteen{0x36, 0x29, 0x15};
    EXPECT_DOUBLE_EQ(decodeNumericKey(ten.data()), 10.0);
    EXPECT_DOUBLE_EQ(decodeNumericKey(fifteen.data()), 15.0);
    EXPECT_EQ(compareNumeric(ten, numericKey(10)), 0);
    EXPECT_LT(compareNumeric(ten, fifteen), 0);
    EXPECT_LT(compareNumeric(numericKey(12.5), fifteen), 0);

    // Zero written with another exponent is still zero.
    const NumericKey oddZero{0x00, 0x01};
    EXPECT_EQ(compareNumeric(oddZero, numericKey(0)), 0);
    EXPECT_GT(compareNumeric(oddZero, numericKey(-0.001)), 0);
    EXPECT_LT(compareNumeric(oddZero, numericKey(0.001)), 0);
}

TEST(DateKey, HoldsTheJulianDayAsLittleEndianDouble) {
    std::uint8_t key[kDateKeyLength];
    encodeDateKey(Date{1999, 1, 15}, key);
    double stored = 0;
    std::memcpy(&stored, key, sizeof stored);
    EXPECT_EQ(stored, 2451194.0);
    EXPECT_EQ(key[7], 0x41); // little-endian: the sign/exponent byte last
    EXPECT_EQ(decodeDateKey(key), (Date{1999, 1, 15}));

    std::uint8_t blank[kDateKeyLength];
    encodeDateKey(std::nullopt, blank);
    EXPECT_EQ(std::count(blank, blank + kDateKeyLength, 0), kDateKeyLength);
    EXPECT_EQ(decodeDateKey(blank), std::nullopt);

    std::uint8_t later[kDateKeyLength];
    encodeDateKey(Date{2005, 3, 10}, later);
    EXPECT_LT(compareKeys(KeyType::Date, blank, key, kDateKeyLength), 0);
    EXPECT_LT(compareKeys(KeyType::Date, key, later, kDateKeyLength), 0);
    EXPECT_EQ(compareKeys(KeyType::Date, key, key, kDateKeyLength), 0);
}

TEST(CharacterKey, ComparesUnsignedBytes) {
    const std::uint8_t zola[] = {'Z', 'O', 'L', 'A'};
    const std::uint8_t elan[] = {0xC9, 'L', 'A', 'N'}; // É sorts after every ASCII letter
    EXPECT_LT(compareKeys(KeyType::Character, zola, elan, 4), 0);
    EXPECT_GT(compareKeys(KeyType::Character, elan, zola, 4), 0);
    EXPECT_EQ(compareKeys(KeyType::Character, zola, zola, 4), 0);
}

} // namespace
} // namespace shelvix::db
