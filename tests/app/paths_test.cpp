#include "app/paths.h"

#include <gtest/gtest.h>

using namespace shelvix::app;

namespace {

QProcessEnvironment env(std::initializer_list<std::pair<const char*, const char*>> vars) {
    QProcessEnvironment e;
    for (auto [k, v] : vars)
        e.insert(QString::fromLatin1(k), QString::fromLatin1(v));
    return e;
}

} // namespace

TEST(AppPaths, HomeOptionWinsAndHoldsBothDirectories) {
    auto e =
        env({{"HOME", "/home/me"}, {"SHELVIX_HOME", "/srv/books"}, {"XDG_CONFIG_HOME", "/etc/me"}});
    AppPaths p = AppPaths::resolve({"shelvix", "--home", "books/../mine", "/browse"}, e, "/work");
    EXPECT_EQ(p.dataDir, "/work/mine");
    EXPECT_EQ(p.configDir, "/work/mine");
    EXPECT_EQ(p.startDir, "/work");
    EXPECT_TRUE(p.browseMode);
    EXPECT_EQ(p.globalSettingsFile(), "/work/mine/SHVBOOK.INI");
    EXPECT_EQ(p.newDatabaseSettingsFile(), "/work/mine/SHVINV.INI");
    EXPECT_EQ(p.masterDatabase(), "/work/mine/MASTER.DBF");

    AppPaths q = AppPaths::resolve({"shelvix", "--home=/data"}, e, "/");
    EXPECT_EQ(q.dataDir, "/data");
    EXPECT_FALSE(q.browseMode);
}

TEST(AppPaths, EnvironmentAndDefaults) {
    AppPaths p = AppPaths::resolve({"shelvix"},
                                   env({{"HOME", "/home/me"},
                                        {"SHELVIX_HOME", "/srv/books"},
                                        {"XDG_CONFIG_HOME", "/home/me/cfg"},
                                        {"XDG_DATA_HOME", "/x"}}),
                                   "/tmp");
    EXPECT_EQ(p.dataDir, "/srv/books");
    EXPECT_EQ(p.configDir, "/home/me/cfg/shelvix-books");

    AppPaths x = AppPaths::resolve({"shelvix"},
                                   env({{"HOME", "/home/me"}, {"XDG_DATA_HOME", "/x/"}}), "/tmp");
    EXPECT_EQ(x.dataDir, "/x/shelvix-books");

    // Unset, empty or relative XDG values give the usual places.
    AppPaths d = AppPaths::resolve(
        {"shelvix"}, env({{"HOME", "/home/me"}, {"XDG_DATA_HOME", ""}, {"XDG_CONFIG_HOME", "cfg"}}),
        "/tmp");
    EXPECT_EQ(d.dataDir, "/home/me/.local/share/shelvix-books");
    EXPECT_EQ(d.configDir, "/home/me/.config/shelvix-books");
}

TEST(AppPaths, BrowseModeIsTheFirstOtherArgumentOnly) {
    auto e = env({{"HOME", "/h"}});
    EXPECT_TRUE(AppPaths::resolve({"s", "/BrOwSe"}, e, "/").browseMode);
    EXPECT_FALSE(AppPaths::resolve({"s", "/BROWSEX"}, e, "/").browseMode);
    EXPECT_FALSE(AppPaths::resolve({"s", "x", "/BROWSE"}, e, "/").browseMode);
    EXPECT_FALSE(AppPaths::resolve({"s"}, e, "/").browseMode);
}
