#pragma once

#include "app/settings.h"

#include <QString>
#include <array>

namespace shelvix::app {

// The five groups of windows that share a colour set.
enum class ColorGroup { Main, Edit, Search, Report, Configure };

inline ColorSetIndex colorSetIndex(ColorGroup group) {
    return static_cast<ColorSetIndex>(group);
}

// Windows colours are 0x00BBGGRR.
constexpr int windowsColor(int red, int green, int blue) {
    return (red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16);
}
constexpr int redOf(int color) {
    return color & 0xFF;
}
constexpr int greenOf(int color) {
    return (color >> 8) & 0xFF;
}
constexpr int blueOf(int color) {
    return (color >> 16) & 0xFF;
}

// A predefined combination sets six colours; the other seven follow from them
// (deriveColors).
struct ColorCombination {
    const char* name;
    int background;
    int majorTitle;
    int minorTitle;
    int editBackground;
    int editText;
    int radioText;
};

inline constexpr int kColorCombinationCount = 12;
// Numbered 1 to 12 in the list; entry 0 of the list is empty.
const std::array<ColorCombination, kColorCombinationCount>& colorCombinations();
// The names as the dialog lists them: "" first, then the twelve.
QStringList colorCombinationNames();

// Combo and list boxes follow the edit box, radio and check boxes the window,
// and check text the radio text.
void deriveColors(ColorSet& colors);
// Sets all thirteen colours from combination `number` (1 to 12); any other
// number (the empty entry) leaves the set as it is and returns false.
bool applyCombination(ColorSet& colors, int number);

// The fill that marks an entry worth a second look (an ISBN whose check
// digit does not match): a red, amber or dark red that stands apart from
// the set's edit background and keeps the edit text readable.
int warningColor(const ColorSet& colors);

// What the colour dialog edits: one window group (modes 1 to 5 in the order
// of ColorGroup) or all five at once (mode 6).
enum class ColorConfigMode { Main = 1, Edit, Search, Report, Configure, All };

// The set the dialog starts from: the group's own, the main set for All.
ColorSet workingSetFor(const DatabaseSettings& settings, ColorConfigMode mode);
// Stores the dialog's set on OK. Returns true when the main window must show
// it at once (Main and All); the other groups pick it up when next shown.
bool commitWorkingSet(DatabaseSettings& settings, ColorConfigMode mode, const ColorSet& colors);

} // namespace shelvix::app
