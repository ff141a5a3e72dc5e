#pragma once

#include <QSize>
#include <array>

namespace shelvix::app {

struct AppContext;

// One of the four screen sizes dialogs can be enlarged for.
struct ScreenSizeInfo {
    int size; // the "Window Size" value: the width
    int width;
    int height;
    double factor;
    const char* menuItem;
    const char* caption;
    const char* shortcut;
};

const std::array<ScreenSizeInfo, 4>& screenSizes();
// By "Window Size", or nullptr.
const ScreenSizeInfo* screenSizeInfo(int size);

// The factor for the stored size on this screen; 1.0 when the size is unknown
// or the screen is smaller than it.
double startupScreenFactor(int windowSize, QSize screen);
// The size ticked for this factor (640 for anything unknown).
int sizeForFactor(double factor);

// The factor times 100, rounded: what dialogs are scaled by, as a percentage.
int scalePercent(double factor);
// value × percent / 100, rounded half away from zero.
int scaleValue(int value, int percent);

enum class SizeChoice { Unchanged, Unsupported, Changed };

// The user picks a size: nothing when it is the stored one; a message when
// the screen cannot hold it; otherwise it is stored and becomes the factor.
SizeChoice chooseScreenSize(AppContext& ctx, int size);

} // namespace shelvix::app
