#pragma once

namespace shelvix::shell {

// The main window's three command bars.
enum ButtonBarMode { SpeedButtons = 1, LetteredButtons = 2, NoButtonBar = 3 };

// A mode from the settings file; anything but 2 or 3 is the speed buttons,
// so a hand-edited value never leaves the window without its viewer laid out.
ButtonBarMode buttonBarMode(int stored);

struct Span {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Span&) const = default;
};

// Where the main window's controls go for a mode and client size.
struct ButtonBarLayout {
    bool letteredButtons = false; // the ten buttons and their four bevels
    bool speedPanel = false;
    bool navigatorLabel = false;
    int navigatorLabelTop = 20;
    Span navigator;      // height 25
    int searchOnTop = 0; // "SEARCH ON"
    int countTop = 0;    // the count
    int count2Top = 0;   // "Books"
    Span viewerBevel;
    Span viewerLabel;
    Span viewerGrid;
    // The narrowest client area that still shows the whole navigator.
    int minimumClientWidth = 0;

    bool operator==(const ButtonBarLayout&) const = default;
};

inline constexpr int kClientDesignWidth = 631;
inline constexpr int kClientDesignHeight = 418;
inline constexpr int kViewerLabelWidth = 201;
inline constexpr int kViewerLabelHeight = 29;
inline constexpr int kNavigatorHeight = 25;
// Ten buttons of 18 pixels still show their 12-pixel glyphs.
inline constexpr int kNavigatorMinimumWidth = 180;

ButtonBarLayout buttonBarLayout(ButtonBarMode mode, int clientWidth, int clientHeight,
                                int viewerLabelWidth = kViewerLabelWidth);

} // namespace shelvix::shell
