#include "app/databases.h"
#include "app/prompter.h"
#include "db/booktable.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace shelvix;
using app::Databases;

namespace {

const QString kStructure = QStringLiteral(
    "This DBase file was not created with Shelvix Books 97.  It cannot be opened.  You may, "
    "however, import data from this file using the import function.");

struct FakeView : app::DatabaseView {
    QString caption;
    int fileSpecific = 0;
    int counts = 0;
    int viewerOptions = 0;
    int endSearches = 0;
    app::AppContext* ctx = nullptr;

    void setCaption(const QString& c) override { caption = c; }
    void tableClosing() override {}
    void DoFileSpecific() override { ++fileSpecific; }
    void SetMenuLastFiles() override {}
    void DisplayCount() override { ++counts; }
    void SetViewerOptions() override { ++viewerOptions; }
    void DoEndSearch() override {
        ++endSearches;
        ctx->SearchOn = false;
    }
    void EnableEndSearch() override { ctx->SearchOn = true; }
};

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

class DatabasesTest : public ::testing::Test {
protected:
    DatabasesTest() : dbs(ctx, view) {
        ctx.paths.dataDir = q(dir / "data");
        ctx.paths.configDir = q(dir / "config");
        ctx.paths.startDir = q(dir.path());
        ctx.paths.makeDirectories();
        ctx.prompter = &prompter;
        view.ctx = &ctx;
    }

    // A book table with one record per author.
    QString makeBook(const std::string& name, std::initializer_list<const char*> authors = {}) {
        const auto path = dir / name;
        db::createBookTable(path);
        auto t = db::Table::open(path, db::OpenMode::Exclusive);
        for (const char* a : authors) {
            t->insert();
            t->setText("AUTHOR", a);
            t->post();
        }
        return q(path);
    }
    app::FileRequest openDialog(const QString& initialDir) {
        app::FileRequest r;
        r.mode = app::FileMode::Open;
        r.title = QStringLiteral("Open Database File");
        r.filter = QStringLiteral("Database Files (*.DBF)|*.DBF");
        r.defaultExtension = QStringLiteral("DBF");
        r.flags = app::FileFlag::FileMustExist | app::FileFlag::HideReadOnly;
        r.initialPath = initialDir;
        return r;
    }
    void expectOpen(const std::optional<QString>& answer) {
        prompter.expectFile(openDialog(q(dir.path())), answer);
    }
    std::vector<std::string> authorsInOrder() {
        std::vector<std::string> out;
        ctx.MyTable->scan([&](const db::RecordView& r) {
            out.emplace_back(r.text("AUTHOR"));
            return false;
        });
        return out;
    }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    FakeView view;
    Databases dbs;
};

TEST_F(DatabasesTest, StructureCheck) {
    const QString book = makeBook("BOOK.DBF");
    EXPECT_TRUE(dbs.CheckDBaseFormat(book));

    // Another table: the structure message, and nothing is opened.
    const QString other = q(dir.copyFixture("independent/BOOKS1.DBF"));
    prompter.expectError(kStructure);
    EXPECT_FALSE(dbs.CheckDBaseFormat(other));

    // A file the engine cannot read at all: its own message.
    test::writeFile(dir / "JUNK.DBF", "not a table");
    prompter.expectError(QStringLiteral(
        "The table JUNK.DBF is damaged: the file is too short to hold a dBASE header"));
    EXPECT_FALSE(dbs.CheckDBaseFormat(q(dir / "JUNK.DBF")));
    EXPECT_EQ(ctx.MyTable, nullptr);
}

TEST_F(DatabasesTest, OpenChecksTheNameThenTheStructure) {
    const QString a = makeBook("A.DBF");
    ctx.current = db::DatabaseFiles::of(a);

    // ".dbf" in small letters is a database; ".dbf.bak" and ".db" are not.
    test::writeFile(dir / "B.dbf.bak", "");
    for (const char* name : {"B.dbf.bak", "B.db"}) {
        expectOpen(q(dir / name));
        prompter.expectError(QStringLiteral("Invalid file type selected."));
        dbs.DoOpen();
    }
    const QString small = makeBook("small.dbf", {"Kim"});
    expectOpen(small);
    dbs.DoOpen();
    EXPECT_EQ(ctx.current.current, small);
    EXPECT_EQ(view.caption, "Shelvix Books 97 (small)");
    EXPECT_EQ(ctx.MyTable->recordCount(), 1u);
    EXPECT_EQ(view.counts, 4); // refreshed whatever happened, and by the switch
    EXPECT_EQ(ctx.recent.entry(1), a);

    // Not a book table: nothing changes, the recent list included.
    const auto recentBefore = ctx.recent.entries();
    expectOpen(q(dir.copyFixture("independent/BOOKS2.DBF")));
    prompter.expectError(kStructure);
    dbs.DoOpen();
    EXPECT_EQ(ctx.current.current, small);
    EXPECT_EQ(ctx.recent.entries(), recentBefore);
    ASSERT_NE(ctx.MyTable, nullptr);
}

TEST_F(DatabasesTest, RecentListFollowsTheSwitches) {
    const QString a = makeBook("A.DBF");
    const QString b = makeBook("B.DBF");
    const QString c = makeBook("C.DBF");
    ctx.current = db::DatabaseFiles::of(a);

    expectOpen(b);
    dbs.DoOpen();
    expectOpen(c);
    dbs.DoOpen();
    EXPECT_EQ(ctx.recent.entry(1), b);
    EXPECT_EQ(ctx.recent.entry(2), a);

    // Reopening entry 2 takes it out; the database left goes on top.
    dbs.OpenSaveFile(2);
    EXPECT_EQ(ctx.current.current, a);
    EXPECT_EQ(ctx.recent.entry(1), c);
    EXPECT_EQ(ctx.recent.entry(2), b);
    EXPECT_TRUE(ctx.recent.entry(3).isEmpty());

    // Opening the open database again puts its own path on top.
    prompter.expectFile(openDialog(q(dir.path())), a);
    dbs.DoOpen();
    EXPECT_EQ(ctx.recent.entry(1), a);
    EXPECT_EQ(ctx.recent.entry(2), c);

    // Another spelling of a listed file is the same file.
    QDir(q(dir.path())).mkdir("sub");
    expectOpen(q(dir / "sub" / ".." / "C.DBF"));
    dbs.DoOpen();
    EXPECT_EQ(ctx.recent.entries(), (db::RecentList::Entries{a, a, b, {}, {}}));

    // A recent entry that is no book table stays in the list.
    const QString other = q(dir.copyFixture("independent/BOOKS3.DBF"));
    ctx.recent = db::RecentList({other, b, {}, {}, {}});
    prompter.expectError(kStructure);
    dbs.OpenSaveFile(1);
    EXPECT_EQ(ctx.recent.entry(1), other);
    EXPECT_TRUE(db::DatabaseFiles::of(q(dir / "C.DBF")) == ctx.current);
}

TEST_F(DatabasesTest, SwitchingSavesTheOldAndLoadsTheNew) {
    const QString a = makeBook("A.DBF");
    const QString b = makeBook("B.DBF", {"Zola", "adams", "Mann"});
    ctx.current = db::DatabaseFiles::of(a);
    ctx.database.fieldWidth[0] = 33;
    ctx.lists[0] = QStringList{"Austen"};
    // B has lists of its own, so no defaults; its settings sort by title.
    db::SaveList(q(dir / "B.004"), {"Crime"});
    test::writeFile(dir / "B.INI", "[Sort Order]\r\nPrimary Sort=1\r\n");

    expectOpen(b);
    dbs.DoOpen();
    EXPECT_EQ(app::DatabaseSettings::load(q(dir / "A.INI"), {}).fieldWidth[0], 33);
    EXPECT_EQ(db::LoadList(q(dir / "A.001")), QStringList{"Austen"});
    EXPECT_EQ(ctx.lists[3], QStringList{"Crime"});
    EXPECT_TRUE(ctx.lists[0].isEmpty());
    EXPECT_EQ(ctx.database.fieldWidth[0], 15);
    EXPECT_EQ(ctx.sortExpression, "Upper(Left(Title,80))");
    EXPECT_EQ(ctx.MyTable->selectedTag(), "NewIndex");
    EXPECT_EQ(view.fileSpecific, 1);

    // A database with only its author list gets the default lists.
    db::SaveList(q(dir / "data" / "CATEGORY.LST"), {"Poetry"});
    const QString c = makeBook("C.DBF");
    db::SaveList(q(dir / "C.001"), {"Only"});
    expectOpen(c);
    dbs.DoOpen();
    EXPECT_EQ(ctx.lists[3], QStringList{"Poetry"});
    EXPECT_TRUE(ctx.lists[0].isEmpty());
}

TEST_F(DatabasesTest, SortTagIsRebuiltUnlessAnotherUserHasTheTable) {
    const QString a = makeBook("A.DBF");
    const QString b = makeBook("B.DBF", {"Zola", "adams", "Mann"});
    ctx.current = db::DatabaseFiles::of(a);

    expectOpen(b);
    dbs.DoOpen();
    EXPECT_EQ(authorsInOrder(), (std::vector<std::string>{"adams", "Mann", "Zola"}));

    // The index deleted: the header mark is cleared and a fresh tag made.
    dbs.closeMyTable();
    QFile::remove(q(dir / "B.MDX"));
    dbs.OpenSaveFile(1); // back to A
    expectOpen(b);
    dbs.DoOpen();
    EXPECT_TRUE(QFileInfo::exists(q(dir / "B.MDX")));
    EXPECT_EQ(ctx.MyTable->selectedTag(), "NewIndex");
    EXPECT_EQ(authorsInOrder(), (std::vector<std::string>{"adams", "Mann", "Zola"}));

    // Another user has B open: it opens shared with its tag as it was, even
    // though its settings now sort in descending record order of titles.
    dbs.OpenSaveFile(1); // back to A
    test::writeFile(dir / "B.INI", "[Sort Order]\r\nPrimary Sort=1\r\n");
    auto other = db::Table::open(dir / "B.DBF", db::OpenMode::Shared);
    expectOpen(b);
    dbs.DoOpen();
    ASSERT_NE(ctx.MyTable, nullptr);
    EXPECT_EQ(ctx.MyTable->mode(), db::OpenMode::Shared);
    EXPECT_EQ(ctx.MyTable->tags().at(0).expression, "Upper(Left(Author,80))");
    EXPECT_EQ(authorsInOrder(), (std::vector<std::string>{"adams", "Mann", "Zola"}));
}

// Records past a count that is too low are taken back at open, and the user
// is told, rather than cut off in silence.
TEST_F(DatabasesTest, RecordsTakenBackAtOpenAreReported) {
    const QString a = makeBook("A.DBF");
    const QString b = makeBook("B.DBF", {"Zola", "adams", "Mann"});
    ctx.current = db::DatabaseFiles::of(a);
    std::string bytes = test::readFile(dir / "B.DBF");
    bytes[4] = 1;
    test::writeFile(dir / "B.DBF", bytes);

    expectOpen(b);
    prompter.expectMessage({app::MessageKind::Information, QStringLiteral("Information"),
                            QStringLiteral("The table B.DBF was repaired when it was opened:\n"
                                           "- records 2 to 3, complete after the 1 the header "
                                           "counted, were taken back")},
                           app::Button::Ok);
    dbs.DoOpen();
    prompter.verify();
    EXPECT_EQ(authorsInOrder(), (std::vector<std::string>{"adams", "Mann", "Zola"}));
}

// Before a book database opens, temporaries that stopped work left beside it
// go and an index that cannot be read is built again as its settings sort;
// the user is told of both at once.
TEST_F(DatabasesTest, AnUnreadableIndexAndLeftoversAreMendedBeforeTheOpen) {
    const QString a = makeBook("A.DBF");
    const QString b = makeBook("B.DBF", {"Zola", "adams", "Mann"});
    ctx.current = db::DatabaseFiles::of(a);
    expectOpen(b);
    dbs.DoOpen(); // makes its index
    dbs.OpenSaveFile(1);
    test::writeFile(dir / "B.INI", "[Sort Order]\r\nPrimary Sort=2\r\n");
    std::string mdx = test::readFile(dir / "B.MDX");
    std::fill(mdx.begin(), mdx.begin() + 2048, '\xFF');
    test::writeFile(dir / "B.MDX", mdx);
    test::writeFile(dir / ".B.DBF.k3j4h5.tmp", "x");

    expectOpen(b);
    prompter.expectMessage(
        {app::MessageKind::Information, QStringLiteral("Information"),
         QStringLiteral("The database B was repaired before it was opened:\n"
                        "- The temporary file .B.DBF.k3j4h5.tmp (1 byte) that work left when it "
                        "was stopped was removed.\n"
                        "- The index %1 is damaged: its block size of 65535 bytes does not match "
                        "65535 pages of 512 bytes. None of its tags could be read: it was built "
                        "again with the sort tag NewIndex of the catalogue's settings.")
             .arg(q(dir / "B.MDX"))},
        app::Button::Ok);
    dbs.DoOpen();
    prompter.verify();
    ASSERT_NE(ctx.MyTable, nullptr);
    EXPECT_EQ(authorsInOrder(), (std::vector<std::string>{"adams", "Mann", "Zola"}));
    EXPECT_FALSE(QFileInfo::exists(q(dir / ".B.DBF.k3j4h5.tmp")));
}

// A data list that is a pipe no one writes to: the open neither waits on it
// nor replaces it, and says which file it did not read.
TEST_F(DatabasesTest, AListThatIsAPipeIsNamedAndLeftAlone) {
    const QString a = makeBook("A.DBF");
    const QString b = makeBook("B.DBF", {"Zola"});
    ctx.current = db::DatabaseFiles::of(a);
    db::SaveList(q(dir / "B.001"), {"Austen"});
    ASSERT_EQ(::mkfifo((dir / "B.004").c_str(), 0600), 0);

    expectOpen(b);
    prompter.expectMessage({app::MessageKind::Warning, QStringLiteral("Warning"),
                            QStringLiteral("A file was not read:\n- %1 is not an ordinary file (a "
                                           "pipe) and was not read")
                                .arg(q(dir / "B.004"))},
                           app::Button::Ok);
    dbs.DoOpen();
    prompter.verify();
    EXPECT_EQ(ctx.lists[0], QStringList{"Austen"});
    EXPECT_TRUE(ctx.lists[3].isEmpty());
    dbs.OpenSaveFile(1); // back to A, saving B's lists
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "B.004"));
}

TEST_F(DatabasesTest, NewDatabase) {
    const QString a = makeBook("A.DBF", {"Kim"});
    ctx.current = db::DatabaseFiles::of(a);
    dbs.openMyTable();
    ctx.lists[0] = QStringList{"Kept"};
    // New databases start from SHVINV.INI.
    test::writeFile(dir / "config" / "SHVINV.INI", "[Field Width]\nTitle=40\n");
    db::SaveList(q(dir / "data" / "RATING.LST"), {"Good"});

    app::FileRequest r;
    r.mode = app::FileMode::Save;
    r.title = QStringLiteral("New Database File");
    r.filter = QStringLiteral("Database Files (*.DBF)|*.DBF");
    r.defaultExtension = QStringLiteral("DBF");
    r.flags =
        app::FileFlag::OverwritePrompt | app::FileFlag::PathMustExist | app::FileFlag::HideReadOnly;
    r.initialPath = q(dir.path());

    prompter.expectFile(r, q(dir / "NEW.TXT"));
    prompter.expectError(QStringLiteral("Invalid file type selected."));
    dbs.DoNew();
    EXPECT_FALSE(QFileInfo::exists(q(dir / "NEW.TXT")));

    // Over a table another program has open: refused, nothing changes.
    const QString busy = makeBook("BUSY.DBF", {"x"});
    auto holder = db::Table::open(dir / "BUSY.DBF", db::OpenMode::Shared);
    prompter.expectFile(r, busy);
    prompter.expectError("The table \"" + busy +
                         "\" is currently in use by another program.  New table creation will "
                         "be aborted.");
    dbs.DoNew();
    EXPECT_EQ(ctx.current.current, a);
    holder.reset();

    ctx.SearchOn = true;
    prompter.expectFile(r, q(dir / "NEW.DBF"));
    dbs.DoNew();
    EXPECT_EQ(view.endSearches, 1);
    EXPECT_EQ(view.caption, "Shelvix Books 97 (NEW)");
    EXPECT_EQ(ctx.MyTable->recordCount(), 0u);
    EXPECT_EQ(ctx.database.fieldWidth[0], 40);
    EXPECT_EQ(ctx.lists[5], QStringList{"Good"});
    EXPECT_EQ(db::LoadList(q(dir / "A.001")), QStringList{"Kept"});
    EXPECT_EQ(ctx.recent.entry(1), a);
    // Its own settings file waits for the first occasion to write it.
    EXPECT_FALSE(QFileInfo::exists(q(dir / "NEW.INI")));
    EXPECT_TRUE(dbs.writeDatabaseSettings());
    EXPECT_EQ(app::DatabaseSettings::load(q(dir / "NEW.INI"), {}).fieldWidth[0], 40);
}

TEST_F(DatabasesTest, UpdateDatabaseWritesTheSettingsAndKeepsTheSearch) {
    const QString a = makeBook("A.DBF", {"Kim", "Lee"});
    ctx.current = db::DatabaseFiles::of(a);
    dbs.openMyTable();
    ctx.database.fieldWidth[1] = 21;
    ctx.SearchOn = true;
    ctx.BuildFilter = [](const db::RecordView& r) { return r.text("AUTHOR") == "Lee"; };
    dbs.MenuUpdateDatabaseClick();
    EXPECT_EQ(view.endSearches, 1);
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_EQ(ctx.MyTable->recordCount(), 1u);
    EXPECT_EQ(view.viewerOptions, 1);
    EXPECT_EQ(app::DatabaseSettings::load(q(dir / "A.INI"), {}).fieldWidth[1], 21);
}

TEST_F(DatabasesTest, ATableNameEndsAtTheFirstDot) {
    const QString mine = makeBook("MY.BOOKS.DBF", {"Kim"});
    makeBook("MY.DBF");
    const db::DatabaseFiles p = db::DatabaseFiles::of(mine);
    EXPECT_EQ(p.tableName, "MY");
    // The chosen file itself is opened, with companions of its own.
    EXPECT_EQ(p.settings, q(dir / "MY.BOOKS.INI"));
    EXPECT_EQ(p.base, q(dir / "MY.BOOKS"));
    ctx.current = db::DatabaseFiles::of(makeBook("A.DBF"));
    expectOpen(mine);
    dbs.DoOpen();
    EXPECT_EQ(view.caption, "Shelvix Books 97 (MY)");
    EXPECT_EQ(ctx.MyTable->recordCount(), 1u);
}

TEST_F(DatabasesTest, StartUpChoosesTheLastDatabaseOrMaster) {
    // A last database that has gone: MASTER.DBF is made and opened silently.
    ctx.global.lastDatabase = q(dir / "GONE.DBF");
    ASSERT_TRUE(dbs.openAtStartup());
    EXPECT_EQ(ctx.current.current, q(dir / "data" / "MASTER.DBF"));
    EXPECT_EQ(view.caption, "Shelvix Books 97 (MASTER)");
    EXPECT_EQ(ctx.MyTable->selectedTag(), "NewIndex");
    EXPECT_TRUE(ctx.recent.entry(1).isEmpty());

    // No data directory to make it in: the program ends.
    app::AppContext nowhere;
    nowhere.paths.dataDir = q(dir / "missing" / "deeper");
    nowhere.prompter = &prompter;
    FakeView v;
    Databases d(nowhere, v);
    EXPECT_FALSE(d.openAtStartup());
}

// What a killed save of the program's own files left goes at start-up, and
// the user is told; another program's file of that shape stays.
TEST_F(DatabasesTest, StartUpRemovesTheProgramsOwnLeftovers) {
    test::writeFile(dir / "data" / ".SHVBOOK.URP.ab12CD.tmp", std::string(2048, 'r'));
    test::writeFile(dir / "config" / ".SHVBOOK.INI.xy98ZW.tmp", "[Misc]");
    test::writeFile(dir / "data" / ".NOTES.TXT.ab12CD.tmp", "someone's");
    prompter.expectMessage({app::MessageKind::Information, QStringLiteral("Information"),
                            QStringLiteral("The temporary file .SHVBOOK.URP.ab12CD.tmp (2.0 KB) "
                                           "that work left when it was stopped was removed.\n"
                                           "The temporary file .SHVBOOK.INI.xy98ZW.tmp (6 bytes) "
                                           "that work left when it was stopped was removed.")},
                           app::Button::Ok);
    ASSERT_TRUE(dbs.openAtStartup());
    prompter.verify();
    EXPECT_FALSE(std::filesystem::exists(dir / "data" / ".SHVBOOK.URP.ab12CD.tmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "config" / ".SHVBOOK.INI.xy98ZW.tmp"));
    EXPECT_TRUE(std::filesystem::exists(dir / "data" / ".NOTES.TXT.ab12CD.tmp"));
}

TEST_F(DatabasesTest, StartUpWithAForeignTableAsksUntilABookDatabaseIsChosen) {
    const QString other = q(dir.copyFixture("independent/BOOKS1.DBF"));
    const QString book = makeBook("BOOK.DBF", {"Kim"});
    ctx.global.lastDatabase = other;
    prompter.expectError(kStructure);
    prompter.expectError(QStringLiteral(
        "The last database used as recorded in the INI file is not a valid Shelvix Books 97 "
        "file.  You will need to choose a new file."));
    expectOpen(other); // the same again: refused, and asked again
    prompter.expectError(kStructure);
    expectOpen(book);
    ASSERT_TRUE(dbs.openAtStartup());
    EXPECT_EQ(ctx.current.current, book);
    EXPECT_EQ(ctx.MyTable->recordCount(), 1u);
    EXPECT_EQ(view.caption, "Shelvix Books 97 (BOOK)");
}

// Its index gone, another program's table is refused without a byte
// written (its index mark stays).
TEST_F(DatabasesTest, AtStartUpAForeignLastDatabaseAndCancelEndTheProgram) {
    const QString other = q(dir.copyFixture("independent/BOOKS1.DBF"));
    const std::string before = test::readFile(dir / "BOOKS1.DBF");
    ASSERT_NE(before.at(28), 0);
    ctx.global.lastDatabase = other;
    prompter.expectError(kStructure);
    prompter.expectError(QStringLiteral(
        "The last database used as recorded in the INI file is not a valid Shelvix Books 97 "
        "file.  You will need to choose a new file."));
    expectOpen(std::nullopt);
    EXPECT_FALSE(dbs.openAtStartup());
    EXPECT_EQ(ctx.MyTable, nullptr);
    EXPECT_EQ(test::readFile(dir / "BOOKS1.DBF"), before);
}

// The stored order wins over a "NewIndex" tag that holds another one (an
// older order, or one another tool left).
TEST_F(DatabasesTest, AtStartUpANewIndexOfAnotherOrderIsRebuilt) {
    const QString book = makeBook("BOOK.DBF", {"Zola", "adams", "Mann"});
    {
        auto t = db::Table::open(dir / "BOOK.DBF", db::OpenMode::Exclusive);
        t->addTag("NewIndex", "Upper(Left(Title,80))");
    }
    ctx.global.lastDatabase = book;
    ASSERT_TRUE(dbs.openAtStartup());
    EXPECT_EQ(ctx.MyTable->selectedTag(), "NewIndex");
    EXPECT_EQ(ctx.MyTable->tags().at(0).expression, "Upper(Left(Author,80))");
    EXPECT_EQ(authorsInOrder(), (std::vector<std::string>{"adams", "Mann", "Zola"}));

    // A tag that holds the order (another tool's capitals) is kept as it is.
    dbs.closeMyTable();
    {
        auto t = db::Table::open(dir / "BOOK.DBF", db::OpenMode::Exclusive);
        t->deleteTag("NewIndex");
        t->addTag("NewIndex", "UPPER(LEFT(AUTHOR, 80))");
    }
    ASSERT_TRUE(dbs.openAtStartup());
    EXPECT_EQ(ctx.MyTable->tags().at(0).expression, "UPPER(LEFT(AUTHOR, 80))");
    EXPECT_EQ(authorsInOrder(), (std::vector<std::string>{"adams", "Mann", "Zola"}));
}

TEST_F(DatabasesTest, BrowseModeNeverChangesFieldEditing) {
    const QString a = makeBook("A.DBF");
    const QString b = makeBook("B.DBF");
    test::writeFile(dir / "A.INI", "[Grid Options]\nField Editing=Yes\n");
    ctx.browseMode = true;
    ctx.global.lastDatabase = a;
    ASSERT_TRUE(dbs.openAtStartup());
    EXPECT_FALSE(ctx.database.fieldEditing);

    expectOpen(b);
    dbs.DoOpen();
    EXPECT_TRUE(app::DatabaseSettings::load(q(dir / "A.INI"), {}).fieldEditing);
    EXPECT_FALSE(ctx.database.fieldEditing);
    dbs.writeDatabaseSettings();
    EXPECT_FALSE(app::DatabaseSettings::load(q(dir / "B.INI"), {}).fieldEditing);
}

} // namespace
