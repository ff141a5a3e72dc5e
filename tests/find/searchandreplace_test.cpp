#include "app/databases.h"
#include "db/bookgen.h"
#include "db/booktable.h"
#include "db/fieldtable.h"
#include "db/sortorder.h"
#include "find/replace.h"
#include "find/search.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace shelvix;
using namespace shelvix::find;

namespace {

struct View : app::DatabaseView, SearchView {
    Search* search = nullptr;
    void DoEndSearch() override { search->DoEndSearch(); }
    void EnableEndSearch() override { search->EnableEndSearch(); }
    void setCaption(const QString&) override {}
    void tableClosing() override {}
    void DoFileSpecific() override {}
    void SetMenuLastFiles() override {}
    void DisplayCount() override {}
    void SetViewerOptions() override {}
    void showSearchOn(bool) override {}
    void showSearchWindow() override {}
};

// Stopped part-way (Cancel during the pass): what was changed stays, and the
// sort tag, the shared table and the search in force are back.
TEST(SearchAndReplaceRun, StoppedPartWayPutsTheOrderAndTheSearchBack) {
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    ctx.prompter = &prompter;
    View view;
    app::Databases dbs(ctx, view);
    Search search(ctx, dbs, view);
    view.search = &search;
    const auto path = dir / "BOOKS.DBF";
    db::createBookTable(path);
    {
        auto t = db::Table::open(path, db::OpenMode::Exclusive);
        db::appendGeneratedBooks(*t, 4000, 5);
        ctx.sortExpression = db::buildSortString({db::field::Author, 0, 0, 0});
        ctx.sortTag = db::applySortTag(*t, ctx.sortExpression);
    }
    ctx.current = db::DatabaseFiles::of(QString::fromStdString(path.string()));
    ASSERT_TRUE(dbs.openMyTable());
    const SearchItem study{.Text = QStringLiteral("STUDY"),
                           .FieldNo = db::field::Location,
                           .Op = OpContains,
                           .LevelEnd = true};
    ASSERT_TRUE(search.Doit({study}));
    const std::uint32_t shown = ctx.MyTable->rowCount();

    ReplaceValues v;
    ASSERT_EQ(
        prepareReplace('C', 20, QStringLiteral("attic"), QStringLiteral("Loft"), ctx.formats, v),
        ReplaceProblem::None);
    ReplaceHooks hooks;
    int lastChanged = 0;
    hooks.counted = [&](const ReplaceCounters& n) { lastChanged = n.changed; };
    hooks.stopRequested = [&] { return lastChanged >= 50; };
    SearchAndReplace run(ctx, dbs, search, view);
    ReplaceCounters n;
    QString error;
    EXPECT_EQ(run.run(db::field::Location, v, hooks, n, error), SearchAndReplace::Result::Stopped);
    EXPECT_EQ(n.changed, 50);
    EXPECT_GT(n.processed, 3000); // every record was looked at first

    ASSERT_NE(ctx.MyTable, nullptr);
    EXPECT_EQ(ctx.MyTable->mode(), db::OpenMode::Shared);
    EXPECT_EQ(ctx.MyTable->selectedTag(), "NewIndex");
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_EQ(ctx.MyTable->rowCount(), shown);
    EXPECT_TRUE(ctx.MyTable->check().empty());
    ctx.MyTable->setFilter(nullptr);
    int lofts = 0;
    ctx.MyTable->scan([&](const db::RecordView& r) {
        lofts += r.text("LOCATION") == "Loft";
        return false;
    });
    EXPECT_EQ(lofts, 50);
}

} // namespace
