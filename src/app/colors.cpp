#include "app/colors.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace shelvix::app {

namespace {

constexpr int rgb(int r, int g, int b) {
    return windowsColor(r, g, b);
}

constexpr std::array<ColorCombination, kColorCombinationCount> kCombinations = {{
    {"Monochrome", rgb(255, 255, 255), rgb(0, 0, 0), rgb(0, 0, 0), rgb(255, 255, 255), rgb(0, 0, 0),
     rgb(0, 0, 0)},
    {"Gray Mist", rgb(192, 192, 192), rgb(0, 0, 0), rgb(0, 0, 0), rgb(255, 255, 255), rgb(0, 0, 0),
     rgb(0, 0, 0)},
    {"Midnight Black", rgb(0, 0, 0), rgb(192, 192, 192), rgb(255, 255, 255), rgb(127, 127, 127),
     rgb(0, 0, 0), rgb(255, 255, 255)},
    {"Desert Sunset", rgb(255, 255, 128), rgb(0, 0, 0), rgb(0, 0, 0), rgb(255, 255, 0),
     rgb(0, 0, 0), rgb(0, 0, 0)},
    {"Easter Pastel", rgb(255, 128, 255), rgb(0, 0, 255), rgb(0, 0, 0), rgb(128, 0, 128),
     rgb(0, 255, 255), rgb(0, 0, 0)},
    {"Ocean Blue", rgb(0, 255, 255), rgb(255, 0, 0), rgb(0, 0, 0), rgb(255, 255, 255),
     rgb(0, 0, 128), rgb(0, 0, 0)},
    {"Fiery Red", rgb(255, 0, 0), rgb(0, 0, 128), rgb(0, 0, 0), rgb(255, 255, 255), rgb(255, 0, 0),
     rgb(0, 0, 0)},
    {"Christmas Season", rgb(0, 255, 0), rgb(255, 255, 255), rgb(255, 0, 0), rgb(255, 0, 0),
     rgb(255, 255, 255), rgb(255, 0, 0)},
    {"Wine", rgb(128, 0, 64), rgb(255, 0, 0), rgb(255, 0, 255), rgb(128, 0, 128), rgb(255, 0, 0),
     rgb(255, 0, 255)},
    {"More Pastels", rgb(0, 255, 128), rgb(255, 0, 255), rgb(128, 0, 128), rgb(0, 255, 255),
     rgb(0, 0, 255), rgb(128, 0, 128)},
    {"Green Glow", rgb(0, 0, 0), rgb(0, 255, 0), rgb(0, 255, 0), rgb(0, 255, 0), rgb(0, 0, 0),
     rgb(0, 255, 0)},
    {"Camouflage", rgb(128, 128, 0), rgb(0, 128, 0), rgb(127, 127, 127), rgb(0, 128, 128),
     rgb(192, 192, 192), rgb(127, 127, 127)},
}};

// Relative luminance and contrast ratio as the usual readability rules
// reckon them.
double luminance(int color) {
    const auto channel = [](int v) {
        const double x = v / 255.0;
        return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(redOf(color)) + 0.7152 * channel(greenOf(color)) +
           0.0722 * channel(blueOf(color));
}

double contrast(int a, int b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

int distance(int a, int b) {
    return std::abs(redOf(a) - redOf(b)) + std::abs(greenOf(a) - greenOf(b)) +
           std::abs(blueOf(a) - blueOf(b));
}

} // namespace

int warningColor(const ColorSet& colors) {
    static constexpr int kCandidates[] = {rgb(255, 160, 160), rgb(255, 230, 120), rgb(140, 0, 0),
                                          rgb(255, 255, 0)};
    const int back = colors[ColorEditBackground];
    const int text = colors[ColorEditText];
    for (const int c : kCandidates)
        if (distance(c, back) >= 100 && contrast(c, text) >= 3.0)
            return c;
    return kCandidates[0];
}

const std::array<ColorCombination, kColorCombinationCount>& colorCombinations() {
    return kCombinations;
}

QStringList colorCombinationNames() {
    QStringList names{QString()};
    for (const ColorCombination& c : kCombinations)
        names << QString::fromLatin1(c.name);
    return names;
}

void deriveColors(ColorSet& colors) {
    colors[ColorComboBackground] = colors[ColorEditBackground];
    colors[ColorListBoxBackground] = colors[ColorEditBackground];
    colors[ColorComboText] = colors[ColorEditText];
    colors[ColorListBoxText] = colors[ColorEditText];
    colors[ColorRadioBackground] = colors[ColorMainBackground];
    colors[ColorCheckBackground] = colors[ColorMainBackground];
    colors[ColorCheckText] = colors[ColorRadioText];
}

bool applyCombination(ColorSet& colors, int number) {
    if (number < 1 || number > kColorCombinationCount)
        return false;
    const ColorCombination& c = kCombinations[std::size_t(number - 1)];
    colors[ColorMainBackground] = c.background;
    colors[ColorMajorTitle] = c.majorTitle;
    colors[ColorMinorTitle] = c.minorTitle;
    colors[ColorEditBackground] = c.editBackground;
    colors[ColorEditText] = c.editText;
    colors[ColorRadioText] = c.radioText;
    deriveColors(colors);
    return true;
}

ColorSet workingSetFor(const DatabaseSettings& settings, ColorConfigMode mode) {
    if (mode == ColorConfigMode::All)
        return settings.colors[ColorsMain];
    return settings.colors[std::size_t(int(mode) - 1)];
}

bool commitWorkingSet(DatabaseSettings& settings, ColorConfigMode mode, const ColorSet& colors) {
    if (mode == ColorConfigMode::All) {
        settings.colors.fill(colors);
        return true;
    }
    settings.colors[std::size_t(int(mode) - 1)] = colors;
    return mode == ColorConfigMode::Main;
}

} // namespace shelvix::app
