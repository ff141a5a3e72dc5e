#include "app/colors.h"
#include "app/help.h"
#include "shell/tips.h"

#include <gtest/gtest.h>
#include <set>

using namespace shelvix::app;
using namespace shelvix::shell;

namespace {

constexpr int kGrey = windowsColor(192, 192, 192);
constexpr int kWhite = windowsColor(255, 255, 255);

} // namespace

TEST(ColorSets, CombinationsSetSixColoursAndDeriveTheOtherSeven) {
    EXPECT_EQ(windowsColor(192, 192, 192), 12632256);
    EXPECT_EQ(colorCombinationNames().size(), 13);
    EXPECT_EQ(colorCombinationNames().front(), "");
    EXPECT_EQ(colorCombinationNames()[3], "Midnight Black");
    EXPECT_EQ(colorCombinationNames()[12], "Camouflage");

    ColorSet set = defaultColorSet();
    ASSERT_TRUE(applyCombination(set, 3)); // Midnight Black
    const int black = 0;
    const int mid = windowsColor(127, 127, 127);
    EXPECT_EQ(set, (ColorSet{black, kGrey, kWhite, mid, black, mid, black, mid, black, black,
                             kWhite, black, kWhite}));

    // Colours are RGB, stored red in the low byte.
    ASSERT_TRUE(applyCombination(set, 12)); // Camouflage
    EXPECT_EQ(set[ColorMainBackground], 0x008080);
    EXPECT_EQ(set[ColorEditBackground], 0x808000);
    EXPECT_EQ(set[ColorCheckText], windowsColor(127, 127, 127));

    // A hand-changed colour goes when another combination is chosen.
    set[ColorListBoxText] = 12345;
    applyCombination(set, 2); // Gray Mist: the defaults again
    EXPECT_EQ(set, defaultColorSet());

    // The empty entry (and anything out of range) changes nothing.
    set[ColorListBoxText] = 12345;
    const ColorSet before = set;
    EXPECT_FALSE(applyCombination(set, 0));
    EXPECT_FALSE(applyCombination(set, 13));
    EXPECT_EQ(set, before);
}

TEST(ColorSets, TheDialogStartsFromItsGroupAndStoresByMode) {
    DatabaseSettings s;
    for (int g = 0; g < ColorGroupCount; ++g)
        s.colors[std::size_t(g)][ColorMainBackground] = 100 + g;

    EXPECT_EQ(workingSetFor(s, ColorConfigMode::Edit)[ColorMainBackground], 101);
    EXPECT_EQ(workingSetFor(s, ColorConfigMode::Configure)[ColorMainBackground], 104);
    EXPECT_EQ(workingSetFor(s, ColorConfigMode::All)[ColorMainBackground], 100);

    ColorSet chosen = defaultColorSet();
    chosen[ColorMajorTitle] = 255;
    // A group other than the main window: stored for next time only.
    DatabaseSettings edited = s;
    EXPECT_FALSE(commitWorkingSet(edited, ColorConfigMode::Search, chosen));
    EXPECT_EQ(edited.colors[ColorsSearch], chosen);
    EXPECT_EQ(edited.colors[ColorsMain], s.colors[ColorsMain]);
    EXPECT_EQ(edited.colors[ColorsReport], s.colors[ColorsReport]);

    EXPECT_TRUE(commitWorkingSet(edited, ColorConfigMode::Main, chosen));
    EXPECT_EQ(edited.colors[ColorsMain], chosen);

    DatabaseSettings all = s;
    EXPECT_TRUE(commitWorkingSet(all, ColorConfigMode::All, chosen));
    for (const ColorSet& set : all.colors)
        EXPECT_EQ(set, chosen);
}

TEST(Tips, TwentyFourTipsThatWrap) {
    std::set<QString> texts;
    for (int i = 1; i <= kTipCount; ++i) {
        EXPECT_FALSE(tipText(i).isEmpty()) << i;
        EXPECT_LE(tipText(i).size(), 130) << i;
        texts.insert(tipText(i));
    }
    EXPECT_EQ(texts.size(), 24u);
    EXPECT_EQ(tipText(1), "You can rename database fields to your liking.");
    EXPECT_EQ(tipText(24), "A \"Browse Mode\" is available where a user has access to the data, "
                           "but cannot change it.");
    EXPECT_EQ(tipText(0), "");
    EXPECT_EQ(nextTip(1), 2);
    EXPECT_EQ(nextTip(24), 1);
    for (int i = 0; i < 200; ++i) {
        const int t = randomTip();
        EXPECT_TRUE(t >= 1 && t <= 24) << t;
    }
}

TEST(Help, KeywordsNameTheirTopicAndNothingElse) {
    EXPECT_EQ(helpTopicFile(""), "contents.html");
    EXPECT_EQ(helpTopicFile("Backup and Restore"), "backup-and-restore.html");
    EXPECT_EQ(helpTopicFile("  Viewer Configuration   Look "), "viewer-configuration-look.html");
    // A keyword can never reach outside the help.
    for (const char* bad : {"../../etc/passwd", "a/b", "x.html", "Söhne", "http://x"})
        EXPECT_EQ(helpTopicFile(QString::fromUtf8(bad)), "contents.html") << bad;
    EXPECT_EQ(helpSearchPaths("/opt/sb/bin"),
              (QStringList{"/opt/sb/share/shelvix-books/help", ":/help"}));
}
