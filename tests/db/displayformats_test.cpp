#include "db/displayformats.h"

#include <clocale>
#include <gtest/gtest.h>

using namespace shelvix::db;

namespace {

DisplayFormats windowsStyle(QChar decimal, QChar thousands, int moneyDigits = 2) {
    DisplayFormats f;
    f.setCurrencyFormat(DisplayFormats::Windows);
    f.setNumericFormat(DisplayFormats::Windows);
    IntlValues intl;
    intl.decimalChar = decimal;
    intl.thousandsChar = thousands;
    intl.moneyDigits = moneyDigits;
    f.setIntl(intl);
    return f;
}

} // namespace

TEST(DisplayFormats, UsNumbersAndMoney) {
    DisplayFormats f;
    EXPECT_EQ(f.money(12, 1234.5), "    1,234.50");
    EXPECT_EQ(f.money(12, -123456.78), " -123,456.78");
    EXPECT_EQ(f.money(12, -999.5), "     -999.50");
    EXPECT_EQ(f.money(4, 1234567.891), "1,234,567.89"); // never cut
    EXPECT_EQ(f.money(0, 0.005), "0.01");
    EXPECT_EQ(f.money(0, -0.004), "0.00");

    EXPECT_EQ(f.groupedNumber(0, 0, 999), "999");
    EXPECT_EQ(f.groupedNumber(0, 0, 1000), "1,000");
    EXPECT_EQ(f.groupedNumber(8, 0, -100000), "-100,000");
    EXPECT_EQ(f.groupedNumber(0, 0, -1234567), "-1,234,567");
    EXPECT_EQ(f.groupedNumber(0, 1, 1234.56), "1,234.6");

    EXPECT_EQ(f.plainNumber(6, 0, 1997), "  1997");
    EXPECT_EQ(f.plainNumber(0, -1, 1997), "1997");
    EXPECT_EQ(f.plainNumber(0, 2, 1234.5), "1234.50");
}

TEST(DisplayFormats, RoundingIsHalfAwayFromZeroOnTheDecimalValue) {
    EXPECT_EQ(DisplayFormats::decimalText(0, 2, 2.675), "2.68");
    EXPECT_EQ(DisplayFormats::decimalText(0, 2, 1.005), "1.01");
    EXPECT_EQ(DisplayFormats::decimalText(0, 0, 2.5), "3");
    EXPECT_EQ(DisplayFormats::decimalText(0, 0, -2.5), "-3");
    EXPECT_EQ(DisplayFormats::decimalText(0, 2, 9.999), "10.00");
    EXPECT_EQ(DisplayFormats::decimalText(0, 0, 0.4), "0");
    EXPECT_EQ(DisplayFormats::decimalText(0, 2, 12345678901.0), "12345678901.00");
}

TEST(DisplayFormats, WindowsStyle) {
    DisplayFormats f = windowsStyle(u',', u'.');
    EXPECT_EQ(f.money(0, 1234.5), "1.234,50");
    EXPECT_EQ(f.money(0, -123456.78), "-123.456,78");
    EXPECT_EQ(f.groupedNumber(10, 0, 1234567), " 1.234.567");
    EXPECT_EQ(f.plainNumber(0, 2, 1234.5), "1234,50");

    DisplayFormats noCents = windowsStyle(u',', u'.', 0);
    EXPECT_EQ(noCents.money(0, 1234.5), "1.235");
    EXPECT_EQ(noCents.money(0, -123456), "-123.456");

    // U.S. settings ignore the Windows values.
    f.setCurrencyFormat(DisplayFormats::US);
    f.setNumericFormat(DisplayFormats::US);
    EXPECT_EQ(f.money(0, 1234.5), "1,234.50");
    EXPECT_EQ(f.plainNumber(0, 1, 2.25), "2.3");
}

TEST(DisplayFormats, LocaleValues) {
    std::setlocale(LC_ALL, "C");
    IntlValues v = IntlValues::fromLocale();
    EXPECT_EQ(v.decimalChar, u'.');
    EXPECT_EQ(v.thousandsChar, u' '); // the C locale has none: a blank
    EXPECT_EQ(v.numberDigits, 2);
    EXPECT_EQ(v.moneyDigits, 2);
}

TEST(DisplayFormats, DateFormatTableAndFormatting) {
    ASSERT_EQ(dateFormats().size(), 12u);
    const DateFormatInfo* f7 = dateFormatInfo(7);
    ASSERT_NE(f7, nullptr);
    EXPECT_STREQ(f7->menuItem, "MenuDateMDYSlashYr");
    EXPECT_STREQ(f7->caption, "mm/dd/yyyy");
    EXPECT_STREQ(f7->patternWithoutZeros, "m/d/yyyy");
    EXPECT_EQ(dateFormatInfo(5)->separator, u'-');
    EXPECT_EQ(dateFormatInfo(0), nullptr);
    EXPECT_EQ(dateFormatInfo(13), nullptr);

    QDate d(1997, 3, 5);
    DisplayFormats f;
    EXPECT_EQ(f.formatDate(d), "3/5/97");
    ASSERT_TRUE(f.setDateFormat(12));
    EXPECT_EQ(f.dateSeparator(), u'.');
    EXPECT_EQ(f.shortDateFormat(), "d.m.yyyy");
    EXPECT_EQ(f.formatDate(d), "5.3.1997");
    f.setLeadingZeros(true);
    EXPECT_EQ(f.shortDateFormat(), "dd.mm.yyyy");
    EXPECT_EQ(f.formatDate(d), "05.03.1997");
    EXPECT_EQ(f.formatDate(QDate(2005, 11, 30)), "30.11.2005");
    f.setDateFormat(2);
    EXPECT_EQ(f.formatDate(QDate(2005, 11, 30)), "11-30-05");
    EXPECT_EQ(f.formatDate(QDate()), "");

    // An unknown number changes nothing.
    EXPECT_FALSE(f.setDateFormat(13));
    EXPECT_EQ(f.dateFormat(), 2);
    EXPECT_EQ(f.shortDateFormat(), "mm-dd-yy");
}

TEST(DisplayFormats, ReadingTypedDates) {
    const QDate today(2025, 6, 1);
    DisplayFormats f;
    f.setDateFormat(12);
    EXPECT_EQ(f.parseDate("5.3.1997", today), QDate(1997, 3, 5));
    EXPECT_EQ(f.parseDate(" 05. 03.1997 ", today), QDate(1997, 3, 5));
    // Two-digit years fall from 50 years before to 49 after today's year.
    EXPECT_EQ(f.parseDate("5.3.97", today), QDate(1997, 3, 5));
    EXPECT_EQ(f.parseDate("5.3.74", today), QDate(2074, 3, 5));
    EXPECT_EQ(f.parseDate("5.3.75", today), QDate(1975, 3, 5));
    EXPECT_EQ(f.parseDate("5.3.75", QDate(1998, 1, 1)), QDate(1975, 3, 5));
    EXPECT_EQ(f.parseDate("5.3.47", QDate(1998, 1, 1)), QDate(2047, 3, 5));
    EXPECT_EQ(f.parseDate("5.3.48", QDate(1998, 1, 1)), QDate(1948, 3, 5));

    for (const char* bad : {"", "5.3", "5/3/1997", "31.2.1997", "5.13.1997", "a.b.c", "5.3.1997x",
                            "0.3.1997", "5.3.0000", "5..1997", "123.3.1997"})
        EXPECT_FALSE(f.parseDate(bad, today).isValid()) << bad;

    f.setDateFormat(1); // month first
    EXPECT_EQ(f.parseDate("3/5/97", today), QDate(1997, 3, 5));
    EXPECT_EQ(f.parseDate("12/31/1999", today), QDate(1999, 12, 31));
    EXPECT_FALSE(f.parseDate("31/12/1999", today).isValid());

    // Any pattern and separator, e.g. the one older catalogues are read with.
    EXPECT_EQ(DisplayFormats::parseDate("7/4/76", "m/d/y", u'/', today), QDate(1976, 7, 4));
}
