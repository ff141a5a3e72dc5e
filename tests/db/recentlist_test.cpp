#include "db/recentlist.h"

#include <gtest/gtest.h>

using shelvix::db::RecentList;

namespace {

RecentList::Entries list(std::initializer_list<const char*> paths) {
    RecentList::Entries e;
    int i = 0;
    for (const char* p : paths)
        e[i++] = QString::fromUtf8(p);
    return e;
}

} // namespace

TEST(RecentList, SwitchingPutsThePreviousDatabaseOnTop) {
    RecentList r;
    r.DoLastFiles("/b/A.DBF", "/b/B.DBF"); // B opened while A was open
    r.DoLastFiles("/b/B.DBF", "/b/C.DBF");
    EXPECT_EQ(r.entries(), list({"/b/B.DBF", "/b/A.DBF"}));

    // Entry 5 falls off when the list is full.
    RecentList full(list({"1", "2", "3", "4", "5"}));
    full.DoLastFiles("cur", "new");
    EXPECT_EQ(full.entries(), list({"cur", "1", "2", "3", "4"}));
}

TEST(RecentList, ReopeningAnEntryRemovesItAndAnOpenDatabaseNamesItself) {
    RecentList r(list({"1", "2", "3", "4", "5"}));
    r.DoLastFiles("cur", r.entry(3));
    EXPECT_EQ(r.entries(), list({"cur", "1", "2", "4", "5"}));

    // The comparison is exact: another spelling of entry 2 stays in the list.
    RecentList c(list({"/x/a.dbf", "/x/B.DBF"}));
    c.DoLastFiles("/x/cur.dbf", "/x/b.dbf");
    EXPECT_EQ(c.entries(), list({"/x/cur.dbf", "/x/a.dbf", "/x/B.DBF"}));

    // Opening the database that is already open puts it on top.
    RecentList same(list({"/x/A.DBF", "/x/B.DBF"}));
    same.DoLastFiles("/x/B.DBF", "/x/B.DBF");
    EXPECT_EQ(same.entries(), list({"/x/B.DBF", "/x/A.DBF"}));
}

TEST(RecentList, MenuCaptionsAndVisibility) {
    RecentList::Menu none = RecentList().SetMenuLastFiles();
    EXPECT_FALSE(none.separatorVisible);
    for (const auto& item : none.items)
        EXPECT_FALSE(item.visible);

    RecentList::Entries e;
    e[0] = "/books/MASTER.DBF";
    e[2] = "/books/Tom & Jerry.DBF";
    RecentList::Menu m = RecentList(e).SetMenuLastFiles();
    EXPECT_TRUE(m.separatorVisible);
    EXPECT_TRUE(m.items[0].visible);
    EXPECT_EQ(m.items[0].caption, "&1   /books/MASTER.DBF");
    EXPECT_FALSE(m.items[1].visible);
    EXPECT_EQ(m.items[2].caption, "&3   /books/Tom && Jerry.DBF");
    EXPECT_FALSE(m.items[3].visible);
    EXPECT_FALSE(m.items[4].visible);
}
