#include "app/buttonbar.h"

namespace shelvix::app {

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

ButtonBarLayout buttonBarLayout(ButtonBarMode mode, int clientWidth, int clientHeight,
                                int viewerLabelWidth) {
    ButtonBarLayout l;
    // The top of the viewer frame; the label, the grid and the rest of the
    // viewer hang from it.
    int bevelTop = 0;
    switch (mode) {
    case SpeedButtons:
        l.speedPanel = true;
        l.navigator = {424, 3, 241, kNavigatorHeight};
        l.searchOnTop = 44;
        l.countTop = 38;
        l.count2Top = 52;
        bevelTop = 34;
        break;
    case LetteredButtons:
        l.letteredButtons = true;
        l.navigatorLabel = true;
        l.navigator = {400, 47, 221, kNavigatorHeight};
        l.searchOnTop = 96;
        l.countTop = 90;
        l.count2Top = 105;
        bevelTop = 86;
        break;
    case NoButtonBar:
        l.navigator = {clientWidth - 207, 8, 201, kNavigatorHeight};
        l.searchOnTop = 14;
        l.countTop = 8;
        l.count2Top = 23;
        bevelTop = 4;
        break;
    }
    l.viewerBevel = {4, bevelTop, clientWidth - 6, clientHeight - bevelTop - 3};
    // Integer division truncates toward zero, as the layout rule asks.
    l.viewerLabel = {(clientWidth - viewerLabelWidth) / 2, bevelTop + 4, viewerLabelWidth,
                     kViewerLabelHeight};
    l.viewerGrid = {4, bevelTop + 36, clientWidth - 14, clientHeight - bevelTop - 43};
    return l;
}

} // namespace shelvix::app
