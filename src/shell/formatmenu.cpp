#include "shell/formatmenu.h"

#include "app/appcontext.h"

#include <cstring>

namespace shelvix::shell {

void applyStoredFormats(app::AppContext& ctx) {
    ctx.formats.setDateFormat(ctx.global.dateFormat);
    ctx.formats.setLeadingZeros(ctx.global.dateLeadingZeros);
    ctx.formats.setCurrencyFormat(ctx.global.currencyFormat);
    ctx.formats.setNumericFormat(ctx.global.numericFormat);
}

bool chooseDateFormat(app::AppContext& ctx, int number) {
    if (ctx.global.dateFormat == number || !db::dateFormatInfo(number))
        return false;
    ctx.formats.setDateFormat(number);
    ctx.formats.setLeadingZeros(ctx.global.dateLeadingZeros);
    ctx.global.dateFormat = number;
    return true;
}

void toggleLeadingZeros(app::AppContext& ctx) {
    ctx.global.dateLeadingZeros = !ctx.global.dateLeadingZeros;
    ctx.formats.setLeadingZeros(ctx.global.dateLeadingZeros);
}

void chooseCurrencyFormat(app::AppContext& ctx, int style) {
    ctx.global.currencyFormat = style;
    ctx.formats.setCurrencyFormat(style);
}

void chooseNumericFormat(app::AppContext& ctx, int style) {
    ctx.global.numericFormat = style;
    ctx.formats.setNumericFormat(style);
}

bool formatTicked(const app::AppContext& ctx, const char* menuItem) {
    const auto is = [menuItem](const char* name) { return std::strcmp(menuItem, name) == 0; };
    for (const db::DateFormatInfo& f : db::dateFormats())
        if (is(f.menuItem))
            return ctx.global.dateFormat == f.number;
    if (is("MenuDateLeadingZeros"))
        return ctx.global.dateLeadingZeros;
    if (is("MenuCurrencyUS"))
        return ctx.global.currencyFormat == 1;
    if (is("MenuCurrencyWin"))
        return ctx.global.currencyFormat == 2;
    if (is("MenuNumericUS"))
        return ctx.global.numericFormat == 1;
    if (is("MenuNumericWin"))
        return ctx.global.numericFormat == 2;
    return false;
}

} // namespace shelvix::shell
