#include "app/databases.h"
#include "db/booktable.h"
#include "db/engine/error.h"
#include "find/search.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace shelvix;
using namespace shelvix::find;

namespace {

// The main window as the search and the database commands see it: its
// search commands go to the one Search object.
struct MainView : app::DatabaseView, SearchView {
    Search* search = nullptr;
    bool searchOnShown = false;
    int viewerOptions = 0, counts = 0, windows = 0;
    std::function<void()> onSearchWindow;

    void setCaption(const QString&) override {}
    void tableClosing() override {}
    void DoFileSpecific() override {}
    void SetMenuLastFiles() override {}
    void DisplayCount() override { ++counts; }
    void SetViewerOptions() override { ++viewerOptions; }
    void DoEndSearch() override { search->DoEndSearch(); }
    void EnableEndSearch() override { search->EnableEndSearch(); }
    void showSearchOn(bool on) override { searchOnShown = on; }
    void showSearchWindow() override {
        ++windows;
        if (onSearchWindow)
            onSearchWindow();
    }
};

class SearchTest : public ::testing::Test {
protected:
    SearchTest() : dbs(ctx, view), search(ctx, dbs, view) {
        ctx.prompter = &prompter;
        view.search = &search;
        const auto path = dir / "BOOKS.DBF";
        db::createBookTable(path);
        {
            auto t = db::Table::open(path, db::OpenMode::Exclusive);
            for (const char* title : {"Warlock", "Peace", "Cold War", "Emma"}) {
                t->insert();
                t->setText("TITLE", title);
                t->post();
            }
        }
        ctx.current = db::DatabaseFiles::of(QString::fromStdString(path.string()));
        EXPECT_TRUE(dbs.openMyTable());
    }

    static std::vector<SearchItem> titleContains(const char* text) {
        SearchItem item;
        item.Text = QString::fromLatin1(text);
        item.FieldNo = 1;
        item.Op = OpContains;
        item.LevelEnd = true;
        return {item};
    }
    std::vector<std::string> titles() {
        std::vector<std::string> out;
        for (std::uint32_t row = 0; row < ctx.MyTable->rowCount(); ++row)
            out.emplace_back(ctx.MyTable->record(ctx.MyTable->recordAtRow(row)).text("TITLE"));
        return out;
    }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    MainView view;
    app::Databases dbs;
    Search search;
};

} // namespace

using Titles = std::vector<std::string>;

TEST_F(SearchTest, OkPutsTheSearchInForceReplacesAnotherOrEndsIt) {
    ASSERT_TRUE(search.Doit(titleContains("WAR")));
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_TRUE(view.searchOnShown);
    EXPECT_EQ(ctx.MyTable->recordCount(), 2u);
    EXPECT_EQ(titles(), (Titles{"Warlock", "Cold War"}));
    EXPECT_EQ(ctx.MyTable->recno(), 1u); // on the first match

    // A new search starts from the whole table, not from the matches.
    db::Table* before = ctx.MyTable.get();
    ASSERT_TRUE(search.Doit(titleContains("E")));
    EXPECT_NE(ctx.MyTable.get(), before);
    EXPECT_EQ(titles(), (Titles{"Peace", "Emma"}));
    EXPECT_EQ(view.viewerOptions, 1);

    // One that matches nothing ends the search in force.
    EXPECT_FALSE(search.Doit(titleContains("ZEBRA")));
    EXPECT_FALSE(ctx.SearchOn);
    EXPECT_FALSE(view.searchOnShown);
    EXPECT_TRUE(search.criteriaInForce().empty());
    EXPECT_EQ(titles().size(), 4u);
}

TEST_F(SearchTest, EndSearchAndCommandsThatSwitchItBackOn) {
    ASSERT_TRUE(search.Doit(titleContains("WAR")));
    // Showing the window and leaving it changes nothing in force.
    search.DoSearch();
    EXPECT_EQ(view.windows, 1);
    EXPECT_EQ(titles(), (Titles{"Warlock", "Cold War"}));

    // Update Database ends the search to write, then puts the same one back.
    dbs.MenuUpdateDatabaseClick();
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_EQ(titles(), (Titles{"Warlock", "Cold War"}));

    const int options = view.viewerOptions;
    search.DoEndSearch();
    EXPECT_FALSE(ctx.SearchOn);
    EXPECT_FALSE(view.searchOnShown);
    EXPECT_EQ(view.viewerOptions, options + 1);
    EXPECT_EQ(ctx.MyTable->recordCount(), 4u);
    EXPECT_EQ(titles().size(), 4u);
}

// Work over the entire catalogue holds the search ended; the same search is
// back, on its first match and counted, however the work ends.
TEST_F(SearchTest, TheBracketBringsTheSearchBackWhateverHappens) {
    {
        auto held = search.bracket().end();
        EXPECT_FALSE(held.ended()) << "no search, nothing to end";
    }
    EXPECT_FALSE(ctx.SearchOn);

    ASSERT_TRUE(search.Doit(titleContains("WAR")));
    ctx.MyTable->last();
    const int counts = view.counts;
    try {
        const auto held = search.bracket().end();
        EXPECT_TRUE(held.ended());
        EXPECT_FALSE(ctx.SearchOn);
        EXPECT_EQ(ctx.MyTable->recordCount(), 4u);
        {
            auto inner = search.bracket().end();
            EXPECT_FALSE(inner.ended()) << "ended once";
        }
        EXPECT_FALSE(ctx.SearchOn);
        throw db::DatabaseError("the work failed");
    } catch (const db::DatabaseError&) {
    }
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_TRUE(view.searchOnShown);
    EXPECT_EQ(titles(), (Titles{"Warlock", "Cold War"}));
    EXPECT_EQ(ctx.MyTable->text("TITLE"), "Warlock");
    EXPECT_EQ(view.counts, counts + 2) << "counted when ended and when back";
}

TEST_F(SearchTest, TheFirstMatchInTheSortOrderBecomesCurrent) {
    ctx.MyTable.reset();
    db::Table::open(dir / "BOOKS.DBF", db::OpenMode::Exclusive)
        ->addTag("NewIndex", "Upper(Left(Title,80))");
    ctx.sortTag = "NewIndex";
    ASSERT_TRUE(dbs.openMyTable());
    ASSERT_TRUE(search.Doit(titleContains("WAR")));
    EXPECT_EQ(titles(), (Titles{"Cold War", "Warlock"}));
    EXPECT_EQ(ctx.MyTable->text("TITLE"), "Cold War");
    ctx.MyTable->next();
    EXPECT_EQ(ctx.MyTable->text("TITLE"), "Warlock");
    ctx.MyTable->next();
    EXPECT_TRUE(ctx.MyTable->eof());
}
