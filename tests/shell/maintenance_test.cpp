#include "app/longwork.h"
#include "app/prompter.h"
#include "db/booktable.h"
#include "db/sortorder.h"
#include "shell/maintenance.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace shelvix;

namespace {

const QString kSortInUse = QStringLiteral(
    "Creating a new sort order requires exclusive use of the DBase File.  Make sure that the "
    "DBase File is not in use by another program  or that no other users are running the "
    "software or that no other copies of the software are in use.");
const QString kSortFailed =
    QStringLiteral("Error in implementing sort order.  New sort order not implemented.");
const QString kPackQuestion = QStringLiteral(
    "Deleted items are not permanently removed from the database until packing occurs.  "
    "Packing simply removes them to free up space.  Continue?");
const QString kPackFailed = QStringLiteral(
    "Unable to pack table.  Packing requires exclusive use of the DBase File.  Make sure that "
    "the DBase File is not in use by another program  or that no other users are running the "
    "software or that no other copies of the software are in use.");
const QString kRebuildQuestion = QStringLiteral(
    "It is possible for your index files to become corrupted.  As a result, some items may not "
    "show up in the viewer or in reports.  This will rebuild your index files correctly.  "
    "Continue?");
const QString kRebuildFailed = QStringLiteral(
    "Unable to reindex table.  Reindexing requires exclusive use of the DBase File.  Make sure "
    "that the DBase File is not in use by another program  or that no other users are running "
    "the software or that no other copies of the software are in use.");

struct CountingView : app::DatabaseView {
    int viewerOptions = 0;
    void setCaption(const QString&) override {}
    void tableClosing() override {}
    void DoFileSpecific() override {}
    void SetMenuLastFiles() override {}
    void DisplayCount() override {}
    void SetViewerOptions() override { ++viewerOptions; }
    void DoEndSearch() override {}
    void EnableEndSearch() override {}
};

class MaintenanceTest : public ::testing::Test {
protected:
    struct Book {
        const char* title;
        const char* author;
    };

    MaintenanceTest() : dbs(ctx, view), maintenance(ctx, dbs, view) { ctx.prompter = &prompter; }

    void openBook(std::initializer_list<Book> books) {
        const auto path = dir / "BOOKS.DBF";
        db::createBookTable(path);
        {
            auto t = db::Table::open(path, db::OpenMode::Exclusive);
            for (const Book& b : books) {
                t->insert();
                t->setText("TITLE", b.title);
                t->setText("AUTHOR", b.author);
                t->post();
            }
        }
        ctx.current = db::DatabaseFiles::of(QString::fromStdString(path.string()));
        ctx.sortExpression = db::buildSortString(ctx.database.sortOrder);
        ctx.sortTag =
            db::applySortTag(*db::Table::open(path, db::OpenMode::Exclusive), ctx.sortExpression);
        ASSERT_TRUE(dbs.openMyTable());
    }
    std::vector<std::string> titles() {
        std::vector<std::string> out;
        ctx.MyTable->scan([&](const db::RecordView& r) {
            out.emplace_back(r.text("TITLE"));
            return false;
        });
        return out;
    }
    app::DatabaseSettings savedSettings() {
        return app::DatabaseSettings::load(ctx.current.settings, {});
    }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    CountingView view;
    app::Databases dbs;
    shell::Maintenance maintenance;
};

using Titles = std::vector<std::string>;

TEST_F(MaintenanceTest, SortLevelsBuildTheTagAndAreWritten) {
    openBook({{"Banana", "Cole"}, {"apple", "Ames"}, {"Cherry", "Baker"}});
    EXPECT_EQ(titles(), (Titles{"apple", "Cherry", "Banana"})); // by author

    // Only the fourth level: one text level gets all 80 characters.
    ASSERT_TRUE(maintenance.setSortOrder({0, 0, 0, 1}));
    EXPECT_EQ(ctx.MyTable->tags().at(0).expression, "Upper(Left(Title,80))");
    EXPECT_EQ(ctx.MyTable->mode(), db::OpenMode::Shared);
    EXPECT_EQ(titles(), (Titles{"apple", "Banana", "Cherry"}));
    EXPECT_EQ(savedSettings().sortOrder, (std::array<int, 4>{0, 0, 0, 1}));
    EXPECT_EQ(view.viewerOptions, 1);

    // No level at all: record order, no tag, settings all 0.
    ASSERT_TRUE(maintenance.setSortOrder({0, 0, 0, 0}));
    EXPECT_EQ(ctx.sortExpression, "");
    EXPECT_EQ(ctx.MyTable->selectedTag(), "");
    EXPECT_EQ(titles(), (Titles{"Banana", "apple", "Cherry"}));
    EXPECT_EQ(savedSettings().sortOrder, (std::array<int, 4>{0, 0, 0, 0}));

    // A restart reads the same order back.
    dbs.closeMyTable();
    EXPECT_EQ(db::buildSortString(savedSettings().sortOrder), "");
}

TEST_F(MaintenanceTest, FourTextLevelsCompareTwentyCharactersEach) {
    // The titles differ only after character 20, so the author decides.
    openBook({{"A title that runs past twenty, Z", "Baker"},
              {"A TITLE THAT RUNS PAST twenty, A", "Ames"}});
    ASSERT_TRUE(maintenance.setSortOrder({1, 2, 4, 5}));
    EXPECT_EQ(ctx.sortExpression, "Upper(Left(Title,20))+Upper(Left(Author,20))+"
                                  "Upper(Left(Publisher,20))+Upper(Left(Category,20))");
    EXPECT_EQ(titles(),
              (Titles{"A TITLE THAT RUNS PAST twenty, A", "A title that runs past twenty, Z"}));
}

TEST_F(MaintenanceTest, AnotherUserBlocksEveryCommandAndNothingChanges) {
    openBook({{"B", "x"}, {"A", "y"}});
    ctx.MyTable->first();
    ctx.MyTable->deleteRecord();
    const auto before = test::readFile(dir / "BOOKS.DBF");
    auto other = db::Table::open(dir / "BOOKS.DBF", db::OpenMode::Shared);

    prompter.expectError(kSortInUse);
    EXPECT_FALSE(maintenance.setSortOrder({1, 0, 0, 0}));
    EXPECT_EQ(ctx.database.sortOrder, (std::array<int, 4>{2, 0, 0, 0}));
    EXPECT_FALSE(QFileInfo::exists(ctx.current.settings));

    prompter.expectConfirm(QStringLiteral("Confirm"), kPackQuestion, app::Button::Yes)
        .expectError(kPackFailed);
    EXPECT_FALSE(maintenance.packDatabase());
    prompter.expectConfirm(QStringLiteral("Confirm"), kRebuildQuestion, app::Button::Yes)
        .expectError(kRebuildFailed);
    EXPECT_FALSE(maintenance.rebuildIndexes());
    prompter.verify();

    EXPECT_EQ(test::readFile(dir / "BOOKS.DBF"), before);
    ASSERT_NE(ctx.MyTable, nullptr);
    EXPECT_EQ(ctx.MyTable->mode(), db::OpenMode::Shared);
    EXPECT_EQ(ctx.MyTable->selectedTag(), "NewIndex");
    EXPECT_EQ(view.viewerOptions, 3);
}

TEST_F(MaintenanceTest, AFailedTagKeepsTheOldLevelsAndWritesNothing) {
    ctx.database.sortOrder = {0, 0, 0, 0};
    openBook({{"B", "x"}, {"A", "y"}});
    dbs.closeMyTable();
    {
        // An index that has room for no further tag.
        auto t = db::Table::open(dir / "BOOKS.DBF", db::OpenMode::Exclusive);
        for (int i = 1; i <= 47; ++i)
            t->addTag("T" + std::to_string(i), "TITLE");
    }
    ASSERT_TRUE(dbs.openMyTable());

    prompter.expectError(kSortFailed);
    EXPECT_FALSE(maintenance.setSortOrder({1, 0, 0, 0}));
    EXPECT_EQ(ctx.database.sortOrder, (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(ctx.sortExpression, "");
    EXPECT_FALSE(QFileInfo::exists(ctx.current.settings));
    ASSERT_NE(ctx.MyTable, nullptr);
    EXPECT_EQ(ctx.MyTable->mode(), db::OpenMode::Shared);
    EXPECT_EQ(titles(), (Titles{"B", "A"}));
    EXPECT_EQ(view.viewerOptions, 1);
}

TEST_F(MaintenanceTest, PackRemovesDeletedRecordsAndKeepsTheOrder) {
    openBook({{"C", "Zola"}, {"B", "Mann"}, {"A", "Adams"}, {"D", "Kim"}});
    ctx.MyTable->first(); // Adams
    ctx.MyTable->deleteRecord();

    // No changes nothing.
    const auto before = test::readFile(dir / "BOOKS.DBF");
    prompter.expectConfirm(QStringLiteral("Confirm"), kPackQuestion, app::Button::No);
    EXPECT_FALSE(maintenance.packDatabase());
    EXPECT_EQ(test::readFile(dir / "BOOKS.DBF"), before);
    EXPECT_EQ(view.viewerOptions, 0);

    // Run as long work, which reports its progress to the end.
    struct RecordingWork : app::LongWork {
        QStringList labels;
        std::uint64_t lastDone = 0;
        std::uint64_t lastTotal = 0;
        bool busy = false;
        bool run(const QString& label, const app::LongTask& task) override {
            labels << label;
            task([this](std::uint64_t done, std::uint64_t total) {
                lastDone = done;
                lastTotal = total;
            });
            return true;
        }
        bool running() const override { return busy; }
    } work;
    ctx.longWork = &work;
    prompter.expectConfirm(QStringLiteral("Confirm"), kPackQuestion, app::Button::Yes);
    EXPECT_TRUE(maintenance.packDatabase());
    EXPECT_EQ(work.labels, QStringList{"Packing the database..."});
    EXPECT_GT(work.lastTotal, 0u);
    EXPECT_EQ(work.lastDone, work.lastTotal);
    ASSERT_NE(ctx.MyTable, nullptr);
    EXPECT_EQ(ctx.MyTable->mode(), db::OpenMode::Shared);
    EXPECT_EQ(titles(), (Titles{"D", "B", "C"}));
    ctx.MyTable->setShowDeleted(true);
    EXPECT_EQ(ctx.MyTable->recordCount(), 3u);

    prompter.expectConfirm(QStringLiteral("Confirm"), kRebuildQuestion, app::Button::Yes);
    EXPECT_TRUE(maintenance.rebuildIndexes());
    EXPECT_EQ(titles(), (Titles{"D", "B", "C"}));

    // While other long work runs, neither command asks or does anything.
    work.busy = true;
    EXPECT_FALSE(maintenance.packDatabase());
    EXPECT_FALSE(maintenance.rebuildIndexes());
    EXPECT_EQ(work.labels.size(), 2);
}

} // namespace
