#include "shell/buttonbar.h"

#include <algorithm>

namespace shelvix::shell {

ButtonBarMode buttonBarMode(int stored) {
    switch (stored) {
    case LetteredButtons:
        return LetteredButtons;
    case NoButtonBar:
        return NoButtonBar;
    default:
        return SpeedButtons;
    }
}

namespace {

// The navigator keeps its design place where the client area has room;
// otherwise it moves left, no further than `leftmost` (the end of the
// controls beside it), then narrows, so that it never runs past the right
// edge nor over those controls.
Span fitNavigator(Span design, int leftmost, int clientWidth) {
    const int right = clientWidth - 6;
    if (design.left >= leftmost && design.left + design.width <= right)
        return design;
    design.left = std::max(leftmost, std::min(design.left, right - design.width));
    design.width = std::max(kNavigatorMinimumWidth, std::min(design.width, right - design.left));
    return design;
}

} // namespace

ButtonBarLayout buttonBarLayout(ButtonBarMode mode, int clientWidth, int clientHeight,
                                int viewerLabelWidth) {
    ButtonBarLayout l;
    // The top of the viewer frame; the label, the grid and the rest of the
    // viewer hang from it.
    int bevelTop = 0;
    // The navigator's leftmost place: past the speed buttons, the lettered
    // buttons' bevels, or the record count.
    int leftmost = 0;
    switch (mode) {
    case SpeedButtons:
        l.speedPanel = true;
        l.navigator = {424, 3, 241, kNavigatorHeight};
        leftmost = 424;
        l.searchOnTop = 44;
        l.countTop = 38;
        l.count2Top = 52;
        bevelTop = 34;
        break;
    case LetteredButtons:
        l.letteredButtons = true;
        l.navigatorLabel = true;
        l.navigator = {400, 47, 221, kNavigatorHeight};
        leftmost = 397;
        l.searchOnTop = 96;
        l.countTop = 90;
        l.count2Top = 105;
        bevelTop = 86;
        break;
    case NoButtonBar:
        l.navigator = {clientWidth - 207, 8, 201, kNavigatorHeight};
        leftmost = 200;
        l.searchOnTop = 14;
        l.countTop = 8;
        l.count2Top = 23;
        bevelTop = 4;
        break;
    }
    l.navigator = fitNavigator(l.navigator, leftmost, clientWidth);
    l.minimumClientWidth = leftmost + kNavigatorMinimumWidth + 6;
    l.viewerBevel = {4, bevelTop, clientWidth - 6, clientHeight - bevelTop - 3};
    // Integer division truncates toward zero, as the layout rule asks.
    l.viewerLabel = {(clientWidth - viewerLabelWidth) / 2, bevelTop + 4, viewerLabelWidth,
                     kViewerLabelHeight};
    l.viewerGrid = {4, bevelTop + 36, clientWidth - 14, clientHeight - bevelTop - 43};
    return l;
}

} // namespace shelvix::shell
