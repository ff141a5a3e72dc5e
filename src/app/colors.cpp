#include "app/colors.h"

#include <QStringList>

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

} // namespace

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
