#include "app/commandline.h"

#include <gtest/gtest.h>

using namespace shelvix::app;
using Action = StartRequest::Action;

namespace {

StartRequest parse(QStringList args) {
    args.prepend(QStringLiteral("shelvix"));
    return parseStartArguments(args, QStringLiteral("/home/me/books"));
}

TEST(StartArguments, TheFileBrowseAndHomeInAnyOrder) {
    StartRequest r = parse({"--home", "/data", "Mine.dbf"});
    EXPECT_EQ(r.action, Action::Run);
    EXPECT_EQ(r.database, "/home/me/books/Mine.dbf");
    EXPECT_FALSE(r.browse);

    r = parse({"/browse", "../old/B.DBF", "--home=/data"});
    EXPECT_TRUE(r.browse);
    EXPECT_EQ(r.database, "/home/me/old/B.DBF");
    EXPECT_TRUE(parse({"/tmp/B.DBF", "/BROWSE"}).browse);
    EXPECT_EQ(parse({"/tmp/B.DBF", "/BROWSE"}).database, "/tmp/B.DBF");

    r = parse({});
    EXPECT_EQ(r.action, Action::Run);
    EXPECT_TRUE(r.database.isEmpty());

    // After "--" a name is a file whatever it looks like.
    r = parse({"--", "-odd.DBF"});
    EXPECT_EQ(r.action, Action::Run);
    EXPECT_EQ(r.database, "/home/me/books/-odd.DBF");
    EXPECT_EQ(parse({"--", "--help"}).database, "/home/me/books/--help");
}

TEST(StartArguments, HelpWinsOverVersionAndOverMistakes) {
    EXPECT_EQ(parse({"--bogus", "--version", "-h"}).action, Action::Help);
    EXPECT_EQ(parse({"A.DBF", "B.DBF", "--version"}).action, Action::Version);
    EXPECT_EQ(parse({"-x"}).action, Action::UsageError);
    EXPECT_EQ(parse({"-x"}).error, "unknown option -x");
    EXPECT_EQ(parse({"--home="}).error, "--home needs a directory");
    EXPECT_EQ(wantsHelpOrVersion({"shelvix", "--", "--help"}), Action::Run);
}

} // namespace
