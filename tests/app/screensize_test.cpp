#include "app/appcontext.h"
#include "app/screensize.h"
#include "support/gui_scriptedprompter.h"

#include <gtest/gtest.h>

using namespace shelvix::app;
using shelvix::test::ScriptedPrompter;

TEST(ScreenSize, StartupFactorNeedsAScreenAsLargeAsTheStoredSize) {
    EXPECT_EQ(startupScreenFactor(640, {640, 480}), 1.0);
    EXPECT_EQ(startupScreenFactor(800, {800, 600}), 1.25);
    EXPECT_EQ(startupScreenFactor(800, {800, 599}), 1.0);
    EXPECT_EQ(startupScreenFactor(1024, {1024, 768}), 1.6);
    EXPECT_EQ(startupScreenFactor(1024, {800, 600}), 1.0);
    EXPECT_EQ(startupScreenFactor(1280, {1920, 1000}), 1.0); // too low
    EXPECT_EQ(startupScreenFactor(1280, {1920, 1200}), 2.0);
    EXPECT_EQ(startupScreenFactor(1000, {4000, 3000}), 1.0);
    EXPECT_EQ(startupScreenFactor(800, {}), 1.0);

    EXPECT_EQ(sizeForFactor(1.0), 640);
    EXPECT_EQ(sizeForFactor(1.6), 1024);
    EXPECT_EQ(sizeForFactor(2.0), 1280);
}

TEST(ScreenSize, ScalingRoundsThePercentageAndEachValue) {
    EXPECT_EQ(scalePercent(1.25), 125);
    EXPECT_EQ(scalePercent(1.6), 160);
    EXPECT_EQ(scalePercent(2.0), 200);
    EXPECT_EQ(scaleValue(13, 160), 21);   // 20.8
    EXPECT_EQ(scaleValue(2, 125), 3);     // 2.5 rounds up
    EXPECT_EQ(scaleValue(-2, 125), -3);   // and away from zero below it
    EXPECT_EQ(scaleValue(133, 125), 166); // 166.25
    EXPECT_EQ(scaleValue(0, 200), 0);
}

TEST(ScreenSize, ChoosingASizeChecksTheScreenAndKeepsOneSetting) {
    ScriptedPrompter prompter;
    AppContext ctx;
    ctx.prompter = &prompter;
    ctx.screenSize = {1024, 768};
    ctx.global.windowSize = 640;

    prompter.expectError("Your current screen resolution does not support 1280 x 1024 pixels.");
    EXPECT_EQ(chooseScreenSize(ctx, 1280), SizeChoice::Unsupported);
    EXPECT_EQ(ctx.global.windowSize, 640);
    EXPECT_EQ(ctx.screenFactor, 1.0);

    EXPECT_EQ(chooseScreenSize(ctx, 1024), SizeChoice::Changed);
    EXPECT_EQ(ctx.global.windowSize, 1024);
    EXPECT_EQ(ctx.screenFactor, 1.6);
    EXPECT_EQ(chooseScreenSize(ctx, 1024), SizeChoice::Unchanged);

    ctx.screenSize = {800, 600};
    prompter.expectError("Your current screen resolution does not support 1024 x 768 pixels.");
    ctx.global.windowSize = 640;
    EXPECT_EQ(chooseScreenSize(ctx, 1024), SizeChoice::Unsupported);
    EXPECT_EQ(chooseScreenSize(ctx, 800), SizeChoice::Changed);
    EXPECT_EQ(ctx.screenFactor, 1.25);

    // 640 x 480 needs no check, even on a smaller screen.
    ctx.screenSize = {320, 200};
    EXPECT_EQ(chooseScreenSize(ctx, 640), SizeChoice::Changed);
    EXPECT_EQ(ctx.screenFactor, 1.0);
    prompter.expectError("Your current screen resolution does not support 800 x 600 pixels.");
    EXPECT_EQ(chooseScreenSize(ctx, 800), SizeChoice::Unsupported);
}
