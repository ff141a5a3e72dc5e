#include "shell/buttonbar.h"

#include <gtest/gtest.h>

using namespace shelvix::shell;

TEST(ButtonBar, LayoutsAtTheDesignSize) {
    const int w = kClientDesignWidth;
    const int h = kClientDesignHeight;
    const ButtonBarLayout speed = buttonBarLayout(SpeedButtons, w, h);
    const ButtonBarLayout lettered = buttonBarLayout(LetteredButtons, w, h);
    const ButtonBarLayout none = buttonBarLayout(NoButtonBar, w, h);

    EXPECT_TRUE(speed.speedPanel && !speed.letteredButtons && !speed.navigatorLabel);
    EXPECT_TRUE(lettered.letteredButtons && lettered.navigatorLabel && !lettered.speedPanel);
    EXPECT_FALSE(none.speedPanel || none.letteredButtons || none.navigatorLabel);

    // The speed-button navigator is narrowed to end inside the window.
    EXPECT_EQ(speed.navigator, (Span{424, 3, 201, 25}));
    EXPECT_EQ(lettered.navigator, (Span{400, 47, 221, 25}));
    EXPECT_EQ(none.navigator, (Span{w - 207, 8, 201, 25}));

    EXPECT_EQ(speed.viewerGrid, (Span{4, 70, w - 14, h - 77}));
    EXPECT_EQ(lettered.viewerGrid, (Span{4, 122, w - 14, h - 129}));
    EXPECT_EQ(none.viewerGrid, (Span{4, 40, w - 14, h - 47}));
    EXPECT_EQ(lettered.viewerBevel, (Span{4, 86, w - 6, h - 89}));
    EXPECT_EQ(none.viewerBevel, (Span{4, 4, w - 6, h - 7}));
    EXPECT_EQ(speed.viewerLabel.top, 38);
    EXPECT_EQ(lettered.viewerLabel.left, 215); // (631 - 201) / 2

    EXPECT_EQ((std::array{speed.searchOnTop, lettered.searchOnTop, none.searchOnTop}),
              (std::array{44, 96, 14}));
    EXPECT_EQ((std::array{speed.countTop, speed.count2Top, lettered.countTop, lettered.count2Top,
                          none.countTop, none.count2Top}),
              (std::array{38, 52, 90, 105, 8, 23}));

    // Speed to lettered: the grid moves down and shrinks by 52.
    EXPECT_EQ(lettered.viewerGrid.top - speed.viewerGrid.top, 52);
    EXPECT_EQ(speed.viewerGrid.height - lettered.viewerGrid.height, 52);
}

TEST(ButtonBar, ResizeFollowsTheClientArea) {
    const ButtonBarLayout wide = buttonBarLayout(NoButtonBar, 900, 700);
    EXPECT_EQ(wide.navigator.left, 693);
    EXPECT_EQ(wide.viewerBevel.width, 894);
    EXPECT_EQ(wide.viewerGrid.width, 886);
    EXPECT_EQ(wide.viewerGrid.height, 653);
    // Odd widths round toward zero.
    EXPECT_EQ(buttonBarLayout(SpeedButtons, 640, 480, 200).viewerLabel.left, 220);
    EXPECT_EQ(buttonBarLayout(SpeedButtons, 641, 480, 200).viewerLabel.left, 220);
    // A stored mode out of range lays out as speed buttons.
    EXPECT_EQ(buttonBarMode(7), SpeedButtons);
    EXPECT_EQ(buttonBarMode(3), NoButtonBar);
}

// The whole navigator at every width the window allows: never past the right
// edge, never over the controls left of it, its buttons never too narrow.
TEST(ButtonBar, TheNavigatorStaysWhole) {
    const std::pair<ButtonBarMode, int> modes[] = {
        {SpeedButtons, 421},    // the end of the Help speed button
        {LetteredButtons, 393}, // the end of the last bevel
        {NoButtonBar, 197}};    // the end of the count
    for (const auto& [mode, leftmost] : modes) {
        const int narrowest = buttonBarLayout(mode, 0, 0).minimumClientWidth;
        EXPECT_LE(narrowest, 640) << mode;
        for (int w = narrowest; w <= 1400; ++w) {
            const Span n = buttonBarLayout(mode, w, 480).navigator;
            ASSERT_LE(n.left + n.width, w - 6) << mode << " at " << w;
            ASSERT_GT(n.left, leftmost) << mode << " at " << w;
            ASSERT_GE(n.width, kNavigatorMinimumWidth) << mode << " at " << w;
        }
    }
    // Where there is room, the design place.
    EXPECT_EQ(buttonBarLayout(SpeedButtons, 800, 600).navigator, (Span{424, 3, 241, 25}));
    EXPECT_EQ(buttonBarLayout(LetteredButtons, 640, 480).navigator, (Span{400, 47, 221, 25}));
}
