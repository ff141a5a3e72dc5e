#pragma once

namespace shelvix::app {
struct AppContext;
}

namespace shelvix::shell {

// What the date, currency and numeric menus do to the context. Their ticks
// follow the stored settings (see formatTicked).

// Start-up: the stored date format (a number out of range changes nothing),
// leading zeros, currency and numeric styles.
void applyStoredFormats(app::AppContext& ctx);

// A date format item: false when it is already the one in use (nothing to
// do); otherwise it becomes the format and the grid must show it.
bool chooseDateFormat(app::AppContext& ctx, int number);
// Leading zeros on or off; the grid must always show it.
void toggleLeadingZeros(app::AppContext& ctx);
// 1 U.S., 2 Windows; counts from the next number shown.
void chooseCurrencyFormat(app::AppContext& ctx, int style);
void chooseNumericFormat(app::AppContext& ctx, int style);

// Whether the menu item of this object name is ticked; false for names that
// are not format items.
bool formatTicked(const app::AppContext& ctx, const char* menuItem);

} // namespace shelvix::shell
