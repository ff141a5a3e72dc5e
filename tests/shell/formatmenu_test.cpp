#include "app/appcontext.h"
#include "shell/formatmenu.h"

#include <gtest/gtest.h>

using namespace shelvix::app;
using namespace shelvix::shell;

namespace {

int tickedDates(const AppContext& ctx) {
    int n = 0;
    for (const shelvix::db::DateFormatInfo& f : shelvix::db::dateFormats())
        n += formatTicked(ctx, f.menuItem);
    return n;
}

} // namespace

TEST(FormatMenu, StoredValuesOutOfRangeTickNothingAndChangeNothing) {
    AppContext ctx;
    ctx.global.dateFormat = 13;
    ctx.global.currencyFormat = 3;
    ctx.global.numericFormat = 0;
    applyStoredFormats(ctx);
    EXPECT_EQ(ctx.formats.shortDateFormat(), "m/d/yy");
    EXPECT_EQ(tickedDates(ctx), 0);
    for (const char* item : {"MenuCurrencyUS", "MenuCurrencyWin", "MenuNumericUS", "MenuNumericWin",
                             "MenuDateLeadingZeros", "NoSuchItem"})
        EXPECT_FALSE(formatTicked(ctx, item)) << item;

    // Any choice then ticks its item.
    EXPECT_TRUE(chooseDateFormat(ctx, 1));
    EXPECT_TRUE(formatTicked(ctx, "MenuDateMDYSlash"));
    EXPECT_EQ(tickedDates(ctx), 1);
}

TEST(FormatMenu, DateChoicesAndLeadingZeros) {
    AppContext ctx;
    ctx.global.dateFormat = 4;
    ctx.global.dateLeadingZeros = true;
    applyStoredFormats(ctx);
    EXPECT_EQ(ctx.formats.shortDateFormat(), "dd/mm/yy");
    EXPECT_TRUE(formatTicked(ctx, "MenuDateDMYSlash"));
    EXPECT_TRUE(formatTicked(ctx, "MenuDateLeadingZeros"));

    const QDate march5(1997, 3, 5);
    EXPECT_FALSE(chooseDateFormat(ctx, 4)); // already the one: nothing to refresh
    EXPECT_FALSE(chooseDateFormat(ctx, 0));
    toggleLeadingZeros(ctx);
    EXPECT_TRUE(chooseDateFormat(ctx, 12));
    EXPECT_EQ(ctx.global.dateFormat, 12);
    EXPECT_EQ(ctx.formats.formatDate(march5), "5.3.1997");
    EXPECT_TRUE(formatTicked(ctx, "MenuDateDMYDotYr"));
    EXPECT_FALSE(formatTicked(ctx, "MenuDateDMYSlash"));
    EXPECT_EQ(tickedDates(ctx), 1);

    toggleLeadingZeros(ctx);
    EXPECT_TRUE(ctx.global.dateLeadingZeros);
    EXPECT_EQ(ctx.formats.formatDate(march5), "05.03.1997");
    EXPECT_TRUE(chooseDateFormat(ctx, 8));
    EXPECT_EQ(ctx.formats.formatDate(march5), "03-05-1997");
    EXPECT_EQ(ctx.formats.dateSeparator(), '-');
}

TEST(FormatMenu, CurrencyAndNumericTickOnePerGroup) {
    AppContext ctx;
    applyStoredFormats(ctx);
    EXPECT_TRUE(formatTicked(ctx, "MenuCurrencyUS"));
    EXPECT_TRUE(formatTicked(ctx, "MenuNumericUS"));

    shelvix::db::IntlValues intl;
    intl.decimalChar = u',';
    intl.thousandsChar = u'.';
    ctx.formats.setIntl(intl);
    chooseCurrencyFormat(ctx, 2);
    EXPECT_TRUE(formatTicked(ctx, "MenuCurrencyWin"));
    EXPECT_FALSE(formatTicked(ctx, "MenuCurrencyUS"));
    EXPECT_TRUE(formatTicked(ctx, "MenuNumericUS"));
    EXPECT_EQ(ctx.global.currencyFormat, 2);
    EXPECT_EQ(ctx.formats.money(0, 1234.5), "1.234,50");

    chooseNumericFormat(ctx, 2);
    EXPECT_EQ(ctx.formats.plainNumber(0, 2, 1.5), "1,50");
    chooseNumericFormat(ctx, 1);
    EXPECT_TRUE(formatTicked(ctx, "MenuNumericUS"));
    EXPECT_FALSE(formatTicked(ctx, "MenuNumericWin"));
    EXPECT_EQ(ctx.formats.plainNumber(0, 2, 1.5), "1.50");
}
