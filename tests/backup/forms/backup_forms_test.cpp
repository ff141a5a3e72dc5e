#include "app/forms/qtprompter.h"
#include "backup/messages.h"
#include "core/profile.h"
#include "db/booktable.h"
#include "db/conversion.h"
#include "find/criteria.h"
#include "shell/forms/tmain.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
#include "viewer/forms/viewergrid.h"
#include "viewer/gridmodel.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/mount.h>

using namespace shelvix;
using backup::Messages;
using shell::TMain;
using test::readFile;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

void addBooks(const std::filesystem::path& table,
              const std::vector<std::pair<const char*, const char*>>& books) {
    auto t = db::Table::open(table, db::OpenMode::Shared);
    for (const auto& [title, author] : books) {
        t->insert();
        t->setText("TITLE", title);
        t->setText("AUTHOR", author);
        t->post();
    }
}

const app::Message notice(const QString& text) {
    return {app::MessageKind::Information, QStringLiteral("Notice"), text};
}

const app::Message warning(const QString& text) {
    return {app::MessageKind::Warning, QStringLiteral("Warning"), text};
}

template <typename W> W* child(QWidget* dialog, const char* name) {
    W* w = dialog->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void click(QWidget* dialog, const char* name) {
    QWidget* w = child<QWidget>(dialog, name);
    // A radio button answers on its circle and caption, not the blank after.
    const QPoint at =
        qobject_cast<QRadioButton*>(w) ? QPoint(6, w->height() / 2) : w->rect().center();
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
}

// Goes into the subdirectory `name` of the directory list as a user does:
// down the list with the arrow key to it, then Enter.
void enterDirectory(QWidget* dialog, const QString& name) {
    auto* dirBox = child<QListWidget>(dialog, "DirBox");
    dirBox->setFocus();
    QTest::keyClick(dirBox, Qt::Key_Home);
    for (int i = 0; i < dirBox->count() && dirBox->currentItem()->text() != name; ++i)
        QTest::keyClick(dirBox, Qt::Key_Down);
    ASSERT_EQ(dirBox->currentItem()->text(), name);
    QTest::keyClick(dirBox, Qt::Key_Return);
}

class BackupWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(home / "home");
        std::filesystem::create_directory(home / "kept");
    }
    void start() {
        QStringList args{QStringLiteral("shelvix"), QStringLiteral("--home"), q(data())};
        ctx.paths = app::AppPaths::resolve(args, QProcessEnvironment(), q(data()));
        if (!ctx.prompter)
            ctx.prompter = &prompter;
        window = std::make_unique<TMain>(ctx);
        ASSERT_TRUE(window->FormCreate());
        window->show();
    }
    void restart() {
        window->close();
        window.reset();
        start();
    }
    std::filesystem::path data() const { return home / "home"; }
    std::filesystem::path kept() const { return home / "kept"; }
    std::filesystem::path master() const { return data() / "MASTER.DBF"; }
    std::vector<QString> gridColumn(int column) {
        auto* model = window->viewerGrid()->gridModel();
        std::vector<QString> out;
        for (int row = 0; row < model->rowCount(); ++row)
            out.push_back(model->index(row, column).data().toString());
        return out;
    }
    void run(const char* action, std::function<void(QWidget*)> steps) {
        test::onNextModal(std::move(steps));
        window->findChild<QAction*>(QString::fromLatin1(action))->trigger();
    }
    static app::FileRequest restoreRequest(const char* title) {
        app::FileRequest r;
        r.mode = app::FileMode::Open;
        r.title = QString::fromLatin1(title);
        r.defaultExtension = QStringLiteral("DBF");
        r.filter = QStringLiteral("DBase Files (*.DBF)|*.DBF");
        r.flags = app::FileFlag::HideReadOnly | app::FileFlag::FileMustExist;
        return r;
    }

    test::TempDir home;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    std::unique_ptr<TMain> window;
};

} // namespace

TEST_F(BackupWindowTest, ADatabaseBackupKeepsTheSearchAndReplacesTheOldCopy) {
    start();
    addBooks(master(), {{"Orlando", "Woolf"}, {"Emma", "Austen"}, {"Bleak House", "Dickens"}});
    restart();
    find::SearchItem item;
    item.Text = QStringLiteral("E");
    item.FieldNo = 1;
    item.Op = find::OpContains;
    item.LevelEnd = true;
    ASSERT_TRUE(window->search().Doit({item}));
    const auto shown = gridColumn(0);
    ASSERT_EQ(shown.size(), 2u);
    test::writeFile(kept() / "MASTER.DBF", "last week's copy");

    // The data directory itself holds the files: each choice refuses it.
    prompter.expectError(Messages::identicalBackup)
        .expectError(Messages::identicalBackup)
        .expectError(Messages::identicalBackup)
        .expectMessage(notice(Messages::backupDone), app::Button::Ok);
    run("MenuBackUp", [&](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "Backup");
        EXPECT_TRUE(child<QRadioButton>(d, "BackDBF")->isChecked());
        EXPECT_EQ(child<QLabel>(d, "DirLabel")->text(), q(data()));
        click(d, "StartButton");
        click(d, "BackLST");
        click(d, "StartButton");
        click(d, "BackINI");
        click(d, "StartButton");
        EXPECT_EQ(child<QPushButton>(d, "CancelButton")->text(), "&Cancel");
        click(d, "BackDBF");
        enterDirectory(d, QStringLiteral(".."));
        enterDirectory(d, QStringLiteral("kept"));
        EXPECT_EQ(child<QLabel>(d, "DirLabel")->text(), q(kept()));
        click(d, "StartButton");
        EXPECT_EQ(child<QPushButton>(d, "CancelButton")->text(), "&Close");
        EXPECT_EQ(d->focusWidget(), child<QPushButton>(d, "CancelButton"));
        click(d, "CancelButton");
    });
    EXPECT_EQ(readFile(kept() / "MASTER.DBF"), readFile(master()));
    EXPECT_FALSE(std::filesystem::exists(kept() / "MASTER.MDX"));
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_EQ(gridColumn(0), shown);
    ASSERT_TRUE(ctx.MyTable);
    EXPECT_EQ(ctx.MyTable->mode(), db::OpenMode::Shared);
}

TEST_F(BackupWindowTest, ListsSettingsAndReportsAreCopiedAndMissingListsSkipped) {
    start();
    ctx.lists[0] = QStringList{QStringLiteral("Woolf"), QStringLiteral("Austen")};
    ctx.database.sortOrder = {1, 0, 0, 0};
    prompter.expectMessage(notice(Messages::backupDone), app::Button::Ok)
        .expectMessage(notice(Messages::backupDone), app::Button::Ok)
        .expectMessage(notice(Messages::backupDone), app::Button::Ok);
    run("MenuBackUp", [&](QWidget* d) {
        enterDirectory(d, QStringLiteral(".."));
        enterDirectory(d, QStringLiteral("kept"));
        // The lists in memory are written first; only files that exist go.
        click(d, "BackLST");
        click(d, "StartButton");
        click(d, "BackINI");
        click(d, "StartButton");
        click(d, "BackURP");
        click(d, "StartButton");
        click(d, "CancelButton");
    });
    for (int n = 1; n <= 9; ++n) {
        const std::string ext = ".00" + std::to_string(n);
        if (std::filesystem::exists(data() / ("MASTER" + ext)))
            EXPECT_EQ(readFile(kept() / ("MASTER" + ext)), readFile(data() / ("MASTER" + ext)));
        else
            EXPECT_FALSE(std::filesystem::exists(kept() / ("MASTER" + ext)));
    }
    EXPECT_NE(readFile(kept() / "MASTER.001").find("Woolf"), std::string::npos);
    // The settings as they are now, not as they were last written.
    EXPECT_EQ(readFile(kept() / "MASTER.INI"), readFile(data() / "MASTER.INI"));
    EXPECT_EQ(core::Profile::load(kept() / "MASTER.INI").readString("Sort", "Level1", "", 20),
              core::Profile::load(data() / "MASTER.INI").readString("Sort", "Level1", "", 20));
    EXPECT_EQ(readFile(kept() / "SHVBOOK.URP"), readFile(data() / "SHVBOOK.URP"));
}

// The refusals answered in the real message boxes: another user holds the
// table; a nearly full volume has no room for it.
TEST_F(BackupWindowTest, AHeldTableOrAFullVolumeStopsTheBackupAndLeavesTheOldCopy) {
    app::QtPrompter real;
    ctx.prompter = &real;
    start();
    std::vector<std::pair<const char*, const char*>> many(80, {"A long enough title", "Author"});
    addBooks(master(), many);
    restart();

    std::filesystem::create_directory(home / "small");
    const bool mounted = ::mount("tmpfs", (home / "small").c_str(), "tmpfs", 0, "size=64k") == 0;
    struct Unmount {
        std::filesystem::path at;
        bool on;
        ~Unmount() {
            if (on)
                ::umount(at.c_str());
        }
    } unmount{home / "small", mounted};
    test::writeFile(home / "small/MASTER.DBF", "the old copy");
    test::writeFile(kept() / "MASTER.DBF", "the old copy");

    QStringList shown;
    const auto answer = [&](QWidget* d) {
        test::onNextModal([&](QWidget* box) {
            shown << box->windowTitle() + u'|' + qobject_cast<QMessageBox*>(box)->text();
            QTest::keyClick(box, Qt::Key_Return);
        });
        click(d, "StartButton");
    };
    {
        auto other = db::Table::open(master(), db::OpenMode::Shared);
        run("MenuBackUp", [&](QWidget* d) {
            enterDirectory(d, QStringLiteral(".."));
            enterDirectory(d, QStringLiteral("kept"));
            answer(d);
            if (mounted) {
                enterDirectory(d, QStringLiteral(".."));
                enterDirectory(d, QStringLiteral("small"));
            }
            click(d, "CancelButton");
        });
    }
    if (mounted)
        run("MenuBackUp", [&](QWidget* d) {
            enterDirectory(d, QStringLiteral(".."));
            enterDirectory(d, QStringLiteral("small"));
            answer(d);
            click(d, "CancelButton");
        });
    ASSERT_GE(shown.size(), 1);
    EXPECT_EQ(shown[0], "Error|" + Messages::exclusiveBackup);
    EXPECT_EQ(readFile(kept() / "MASTER.DBF"), "the old copy");
    if (mounted) {
        ASSERT_EQ(shown.size(), 2);
        EXPECT_EQ(shown[1], "Error|" + Messages::noRoomBackup);
        EXPECT_EQ(readFile(home / "small/MASTER.DBF"), "the old copy");
    }
    ASSERT_TRUE(ctx.MyTable);
    EXPECT_EQ(ctx.MyTable->recordCount(), 80u);
    if (!mounted)
        GTEST_SKIP() << "cannot mount a tmpfs here: the full volume was not tried";
}

TEST_F(BackupWindowTest, ARestoredDatabaseOpensInTheSortOrderWithItsOldIndexGone) {
    start();
    addBooks(master(), {{"Orlando", "Woolf"}, {"Emma", "Austen"}});
    restart();
    // The backup has one book more and an index of its own beside it.
    std::filesystem::copy_file(master(), kept() / "MASTER.DBF");
    std::filesystem::copy_file(data() / "MASTER.MDX", kept() / "MASTER.MDX");
    addBooks(kept() / "MASTER.DBF", {{"Bleak House", "Dickens"}});
    test::writeFile(data() / "MASTER.MDX", readFile(data() / "MASTER.MDX") + "stale");

    prompter.expectFile(restoreRequest("Restore Database File"), q(master()))
        .expectError(Messages::identicalRestore)
        .expectFile(restoreRequest("Restore Database File"), q(kept() / "MASTER.DBF"))
        .expectMessage({app::MessageKind::Information, QStringLiteral("Shelvix Books 97"),
                        Messages::inUseRestore},
                       app::Button::Ok)
        .expectFile(restoreRequest("Restore Database File"), q(kept() / "MASTER.DBF"))
        .expectMessage(notice(Messages::restoreDone), app::Button::Ok);
    const std::string before = readFile(master());
    run("MenuRestore", [&](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "Restore");
        EXPECT_TRUE(child<QRadioButton>(d, "RestoreDBF")->isChecked());
        click(d, "StartButton");
        {
            auto other = db::Table::open(master(), db::OpenMode::Shared);
            click(d, "StartButton");
        }
        EXPECT_EQ(readFile(master()), before);
        ASSERT_TRUE(ctx.MyTable);
        click(d, "StartButton");
        EXPECT_EQ(child<QPushButton>(d, "CancelButton")->text(), "&Close");
        click(d, "CancelButton");
    });
    EXPECT_EQ(ctx.MyTable->recordCount(), 3u);
    EXPECT_EQ(gridColumn(1), (std::vector<QString>{"Austen", "Dickens", "Woolf"}));
    EXPECT_EQ(window->windowTitle(), "Shelvix Books 97 (MASTER)");
    auto check = db::Table::open(master(), db::OpenMode::ReadOnly);
    ASSERT_EQ(check->tags().size(), 1u);
    EXPECT_EQ(QString::fromStdString(check->tags()[0].name).toUpper(), "NEWINDEX");
    EXPECT_TRUE(check->check().empty());
}

TEST_F(BackupWindowTest, ADatabaseRestoredUnderAnotherNameBecomesTheOpenOne) {
    start();
    addBooks(master(), {{"Orlando", "Woolf"}});
    db::createBookTable(kept() / "OTHER.DBF");
    addBooks(kept() / "OTHER.DBF", {{"Emma", "Austen"}, {"Bleak House", "Dickens"}});
    // A damaged table of that name in the data directory is put right.
    test::writeFile(data() / "OTHER.DBF", std::string("\x03\x7e\x0c\x07", 4) + "damaged");
    prompter.expectFile(restoreRequest("Restore Database File"), q(kept() / "OTHER.DBF"))
        .expectMessage(notice(Messages::restoreDone), app::Button::Ok);
    run("MenuRestore", [&](QWidget* d) {
        click(d, "StartButton");
        click(d, "CancelButton");
    });
    EXPECT_EQ(ctx.current.current, q(data() / "OTHER.DBF"));
    EXPECT_EQ(ctx.current.settings, q(data() / "OTHER.INI"));
    EXPECT_EQ(window->windowTitle(), "Shelvix Books 97 (OTHER)");
    EXPECT_EQ(ctx.recent.entry(1), q(master()));
    EXPECT_EQ(gridColumn(1), (std::vector<QString>{"Austen", "Dickens"}));
    EXPECT_TRUE(std::filesystem::exists(data() / "MASTER.INI"));
}

// A catalogue made in a folder of the user's is restored into that folder
// and shown with its own settings; only the report definitions belong to the
// data directory.
TEST_F(BackupWindowTest, ACatalogueInTheUsersFolderIsRestoredThere) {
    const std::filesystem::path mine = home / "mine";
    std::filesystem::create_directory(mine);
    start();
    app::FileRequest made;
    made.mode = app::FileMode::Save;
    made.title = QStringLiteral("New Database File");
    made.filter = QStringLiteral("Database Files (*.DBF)|*.DBF");
    made.defaultExtension = QStringLiteral("DBF");
    made.flags =
        app::FileFlag::OverwritePrompt | app::FileFlag::PathMustExist | app::FileFlag::HideReadOnly;
    made.initialPath = q(data());
    prompter.expectFile(made, q(mine / "BOOKS.DBF"));
    window->findChild<QAction*>(QStringLiteral("MenuNewDatabase"))->trigger();
    ASSERT_EQ(ctx.current.current, q(mine / "BOOKS.DBF"));
    ctx.database.fieldNames[0] = QStringLiteral("Book Title");
    ctx.database.sortOrder = {1, 0, 0, 0};
    addBooks(mine / "BOOKS.DBF", {{"Emma", "Austen"}, {"Bleak House", "Dickens"}});
    restart();
    ctx.lists[0] = QStringList{QStringLiteral("Woolf"), QStringLiteral("Austen")};
    const auto header = [&] {
        return window->viewerGrid()->gridModel()->headerData(0, Qt::Horizontal).toString();
    };
    ASSERT_EQ(header(), "Book Title");

    for (int i = 0; i < 4; ++i)
        prompter.expectMessage(notice(Messages::backupDone), app::Button::Ok);
    run("MenuBackUp", [&](QWidget* d) {
        enterDirectory(d, QStringLiteral(".."));
        enterDirectory(d, QStringLiteral("kept"));
        for (const char* choice : {"BackDBF", "BackLST", "BackINI", "BackURP"}) {
            click(d, choice);
            click(d, "StartButton");
        }
        click(d, "CancelButton");
    });
    // Then a book, a field name and a list change.
    addBooks(mine / "BOOKS.DBF", {{"Cranford", "Gaskell"}});
    ctx.database.fieldNames[0] = QStringLiteral("Name Of Book");
    test::writeFile(mine / "BOOKS.001", "Changed\r\n");
    restart();
    std::filesystem::remove(data() / "SHVBOOK.URP");
    test::writeFile(kept() / "OTHER.INI", "[Sort Order]\r\nPrimary Sort=3\r\n");

    app::FileRequest urp;
    urp.mode = app::FileMode::Open;
    urp.title = QStringLiteral("Restore URP File");
    urp.defaultExtension = QStringLiteral("URP");
    urp.filter = QStringLiteral("Reports Files (*.URP)|*.URP");
    urp.initialPath = QStringLiteral("SHVBOOK.URP");
    urp.flags = app::FileFlag::HideReadOnly | app::FileFlag::FileMustExist;
    prompter.expectFile(restoreRequest("Restore Database File"), q(kept() / "BOOKS.DBF"))
        .expectMessage(notice(Messages::restoreDone), app::Button::Ok)
        .expectFile(restoreRequest("Restore Data List Files"), q(kept() / "BOOKS.DBF"))
        .expectMessage(notice(Messages::listsRestored), app::Button::Ok)
        .expectFile(restoreRequest("Restore Configuration File"), q(kept() / "BOOKS.DBF"))
        .expectMessage(notice(Messages::settingsRestored), app::Button::Ok)
        .expectFile(restoreRequest("Restore Configuration File"), q(kept() / "OTHER.DBF"))
        .expectMessage(notice(Messages::settingsRestored), app::Button::Ok)
        .expectFile(urp, q(kept() / "SHVBOOK.URP"))
        .expectMessage(notice(Messages::restoreDone), app::Button::Ok);
    run("MenuRestore", [&](QWidget* d) {
        click(d, "StartButton");
        // The user's own catalogue, in its sort order, with its own settings.
        EXPECT_EQ(ctx.current.current, q(mine / "BOOKS.DBF"));
        EXPECT_EQ(window->windowTitle(), "Shelvix Books 97 (BOOKS)");
        EXPECT_EQ(gridColumn(0), (std::vector<QString>{"Bleak House", "Emma"}));
        EXPECT_EQ(header(), "Name Of Book");
        click(d, "RestoreLST");
        click(d, "StartButton");
        EXPECT_EQ(ctx.lists[0], (QStringList{"Woolf", "Austen"}));
        click(d, "RestoreINI");
        click(d, "StartButton");
        EXPECT_EQ(header(), "Book Title");
        click(d, "StartButton");
        click(d, "RestoreURP");
        click(d, "StartButton");
        click(d, "CancelButton");
    });
    for (const char* name : {"BOOKS.INI", "BOOKS.001"})
        EXPECT_EQ(readFile(mine / name), readFile(kept() / name)) << name;
    EXPECT_EQ(readFile(data() / "SHVBOOK.URP"), readFile(kept() / "SHVBOOK.URP"));
    EXPECT_FALSE(std::filesystem::exists(mine / "SHVBOOK.URP"));
    EXPECT_EQ(readFile(mine / "OTHER.INI"), readFile(kept() / "OTHER.INI"));
    EXPECT_FALSE(std::filesystem::exists(data() / "OTHER.INI"));
    EXPECT_EQ(header(), "Book Title");
    for (const auto& entry : std::filesystem::directory_iterator(data()))
        EXPECT_NE(QString::fromStdString(entry.path().filename().string()).left(6).toUpper(),
                  "BOOKS.")
            << entry.path();
}

TEST_F(BackupWindowTest, ListsAndSettingsComeBackWithWarningsForWhatIsMissing) {
    start();
    test::writeFile(kept() / "MASTER.001", "Woolf\r\nAusten\r\n");
    // Book types, categories and ratings come back: the lists are its own.
    for (const char* ext : {".003", ".004", ".006", ".007"})
        test::writeFile(kept() / ("MASTER" + std::string(ext)), "Fiction\r\n");
    test::writeFile(kept() / "OTHER.INI", "[Sort]\r\nLevel1=1\r\n");
    ASSERT_TRUE(window->databases().writeDatabaseSettings());
    const std::string ours = readFile(data() / "MASTER.INI");
    const auto sortBefore = ctx.database.sortOrder;

    prompter.expectFile(restoreRequest("Restore Data List Files"), q(kept() / "ANY.DBF"));
    for (int n : {2, 5, 8, 9})
        prompter.expectMessage(warning(Messages::missingFile(QStringLiteral("MASTER.00%1").arg(n))),
                               app::Button::Ok);
    prompter.expectMessage(notice(Messages::listsMissing), app::Button::Ok)
        .expectFile(restoreRequest("Restore Configuration File"), q(kept() / "OTHER.DBF"))
        .expectMessage(notice(Messages::settingsRestored), app::Button::Ok)
        .expectFile(restoreRequest("Restore Configuration File"), q(kept() / "GONE.DBF"))
        .expectMessage(warning(Messages::missingFile(QStringLiteral("GONE.INI"))), app::Button::Ok);
    app::FileRequest urp;
    urp.mode = app::FileMode::Open;
    urp.title = QStringLiteral("Restore URP File");
    urp.defaultExtension = QStringLiteral("URP");
    urp.filter = QStringLiteral("Reports Files (*.URP)|*.URP");
    urp.initialPath = QStringLiteral("SHVBOOK.URP");
    urp.flags = app::FileFlag::HideReadOnly | app::FileFlag::FileMustExist;
    prompter.expectFile(urp, q(kept() / "SHVBOOK.URP")).expectError(Messages::reportsMissing);

    run("MenuRestore", [&](QWidget* d) {
        click(d, "RestoreLST");
        click(d, "StartButton");
        click(d, "RestoreINI");
        click(d, "StartButton");
        click(d, "StartButton");
        click(d, "RestoreURP");
        click(d, "StartButton");
        click(d, "CancelButton");
    });
    EXPECT_EQ(readFile(data() / "MASTER.001"), "Woolf\r\nAusten\r\n");
    EXPECT_EQ(ctx.lists[0], (QStringList{"Woolf", "Austen"}));
    EXPECT_EQ(ctx.lists[2], (QStringList{"Fiction"}));
    EXPECT_EQ(ctx.lists[1], QStringList());
    // Another database's settings arrive beside it and leave ours alone.
    EXPECT_EQ(readFile(data() / "OTHER.INI"), "[Sort]\r\nLevel1=1\r\n");
    EXPECT_EQ(readFile(data() / "MASTER.INI"), ours);
    EXPECT_EQ(ctx.database.sortOrder, sortBefore);
}

TEST_F(BackupWindowTest, EarlierVersionsAreOfferedAtStartUpAndConvertedInOrder) {
    const std::filesystem::path samples = std::filesystem::path(SHELVIX_SOURCE_DIR) / "tests/data";
    std::filesystem::copy_file(samples / "B2LOG.DBF", data() / "B2LOG.DBF");
    std::filesystem::copy_file(samples / "BLOG.DBF", data() / "BLOG.DBF");
    const auto question = [](const QString& text) {
        return app::Message{app::MessageKind::Question, QStringLiteral("Convert"), text,
                            app::Button::Yes | app::Button::No};
    };
    // No leaves the file for the next start.
    prompter.expectMessage(question(Messages::convertVersion2), app::Button::No)
        .expectMessage(question(Messages::convertVersion1), app::Button::No);
    start();
    EXPECT_TRUE(std::filesystem::exists(data() / "B2LOG.DBF"));
    EXPECT_EQ(ctx.MyTable->recordCount(), 0u);

    prompter.expectMessage(question(Messages::convertVersion2), app::Button::Yes)
        .expectMessage(question(Messages::convertVersion1), app::Button::Yes);
    restart();
    EXPECT_FALSE(std::filesystem::exists(data() / "B2LOG.DBF"));
    EXPECT_FALSE(std::filesystem::exists(data() / "BLOG.DBF"));
    EXPECT_EQ(ctx.MyTable->recordCount(), 8u);
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("CountLabel"))->text(), "8");

    // A BLOG.DBF of another shape is left alone, without a question.
    auto fields = db::versionFields(1);
    fields.push_back(db::FieldDef::text("Extra", 5));
    db::Table::create(data() / "BLOG.DBF", fields);
    restart();
    EXPECT_TRUE(std::filesystem::exists(data() / "BLOG.DBF"));

    // Found in any capitals.
    std::filesystem::copy_file(samples / "B2LOG.DBF", data() / "b2log.dbf");
    prompter.expectMessage(question(Messages::convertVersion2), app::Button::Yes);
    restart();
    EXPECT_FALSE(std::filesystem::exists(data() / "b2log.dbf"));
    EXPECT_EQ(ctx.MyTable->recordCount(), 11u);
}

// A damaged old file is named with what is wrong, at each start, and left
// as it is; the other is still offered.
TEST_F(BackupWindowTest, ADamagedEarlierVersionIsNamedAndKept) {
    const std::filesystem::path samples = std::filesystem::path(SHELVIX_SOURCE_DIR) / "tests/data";
    std::string old = readFile(samples / "B2LOG.DBF");
    old.resize(old.size() - 500); // records cut short
    test::writeFile(data() / "B2LOG.DBF", old);
    std::filesystem::copy_file(samples / "BLOG.DBF", data() / "BLOG.DBF");
    prompter
        .expectMessage({app::MessageKind::Warning, QStringLiteral("Convert"),
                        QStringLiteral("%1 cannot be converted: The table B2LOG.DBF is damaged: "
                                       "the file is truncated: the header counts 3 records but "
                                       "the file holds 2")
                            .arg(QString::fromStdString((data() / "B2LOG.DBF").string()))},
                       app::Button::Ok)
        .expectMessage({app::MessageKind::Question, QStringLiteral("Convert"),
                        Messages::convertVersion1, app::Button::Yes | app::Button::No},
                       app::Button::Yes);
    start();
    prompter.verify();
    EXPECT_EQ(readFile(data() / "B2LOG.DBF"), old);
    EXPECT_FALSE(std::filesystem::exists(data() / "BLOG.DBF"));
    EXPECT_EQ(ctx.MyTable->recordCount(), 5u);
}

TEST_F(BackupWindowTest, BrowseModeOffersNeitherCommand) {
    ctx.browseMode = true;
    start();
    EXPECT_FALSE(window->findChild<QAction*>(QStringLiteral("MenuBackUp"))->isEnabled());
    EXPECT_FALSE(window->findChild<QAction*>(QStringLiteral("MenuRestore"))->isEnabled());
}

TEST_F(BackupWindowTest, DrawnInTheConfigurationColours) {
    start();
    auto& set = ctx.database.colors[app::ColorsConfigure];
    set[app::ColorMainBackground] = 0x00204060;    // RGB 60 40 20
    set[app::ColorListBoxBackground] = 0x0000FFFF; // yellow
    set[app::ColorRadioBackground] = 0x00FF0000;   // blue
    run("MenuBackUp", [&](QWidget* d) {
        QApplication::processEvents();
        const QImage image = d->grab().toImage();
        auto* dirBox = child<QListWidget>(d, "DirBox");
        const QPoint inList =
            dirBox->viewport()->mapTo(d, dirBox->viewport()->rect().bottomRight() - QPoint(4, 4));
        EXPECT_EQ(image.pixelColor(inList), QColor(255, 255, 0));
        EXPECT_EQ(image.pixelColor(3, d->height() - 3), QColor(0x60, 0x40, 0x20));
        auto* radio = child<QRadioButton>(d, "BackURP");
        const QPoint pastCaption = radio->mapTo(d, QPoint(radio->width() - 3, 3));
        EXPECT_EQ(image.pixelColor(pastCaption), QColor(0, 0, 255));
        click(d, "CancelButton");
    });
}

TEST_F(BackupWindowTest, Screenshot) {
    const QString out = qEnvironmentVariable("SHELVIX_SCREENSHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "SHELVIX_SCREENSHOTS not set";
    QDir().mkpath(out);
    ctx.screenSize = {640, 480};
    start();
    run("MenuBackUp", [&](QWidget* d) {
        QApplication::processEvents();
        d->grab().save(out + QStringLiteral("/backup.png"));
        click(d, "CancelButton");
    });
    run("MenuRestore", [&](QWidget* d) {
        QApplication::processEvents();
        d->grab().save(out + QStringLiteral("/restore.png"));
        click(d, "CancelButton");
    });
}
