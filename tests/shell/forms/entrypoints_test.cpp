// The ways into and out of the program besides its menus: a catalogue named
// on the command line, F1, and the endings the system asks for (SIGTERM,
// SIGHUP, a desktop logout).
#include "app/endsignals.h"
#include "app/forms/helpviewer.h"
#include "app/forms/qtprompter.h"
#include "core/profile.h"
#include "db/booktable.h"
#include "edit/forms/tmyedit.h"
#include "shell/forms/sessionend.h"
#include "shell/forms/tmain.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace shelvix;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

const app::Message kExitQuestion{.kind = app::MessageKind::Warning,
                                 .caption = "Warning",
                                 .text = "Data has changed.  Do you want to exit without updating?",
                                 .buttons = app::Button::Yes | app::Button::No,
                                 .defaultButton = app::Button::No};

class EntryTest : public ::testing::Test {
protected:
    // As main() starts the program, `database` named on the command line.
    void start(const QString& database = {}) {
        ctx = std::make_unique<app::AppContext>();
        ctx->paths = app::AppPaths::resolve({"shelvix", "--home", q(home.path())},
                                            QProcessEnvironment(), q(home.path()));
        ctx->commandLineDatabase = database;
        ctx->prompter = prompter;
        window = std::make_unique<shell::TMain>(*ctx);
        ASSERT_TRUE(window->FormCreate());
        window->show();
    }
    void stop() {
        window->close();
        window.reset();
    }
    std::string ini(const char* key) {
        return core::Profile::load(home / "SHVBOOK.INI").readString("Misc", key, "<missing>", 1000);
    }
    std::uint32_t books(const std::filesystem::path& file) {
        return db::Table::open(file, db::OpenMode::ReadOnly)->recordCount();
    }
    // The edit form of a new record, opened by its key and driven from its
    // own modal loop.
    void addWith(const std::function<void(edit::TMyEdit*)>& inside) {
        test::onNextModal([&](QWidget* w) {
            auto* form = qobject_cast<edit::TMyEdit*>(w);
            ASSERT_NE(form, nullptr);
            QTest::keyClicks(form->control("Title"), "Unposted");
            inside(form);
        });
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    }

    test::TempDir home;
    test::ScriptedPrompter scripted;
    app::Prompter* prompter = &scripted;
    std::unique_ptr<app::AppContext> ctx;
    std::unique_ptr<shell::TMain> window;
};

TEST_F(EntryTest, ACatalogueNamedOnTheCommandLineOpensInPlaceOfTheLastOne) {
    start();
    stop(); // MASTER.DBF is the last database now
    db::createBookTable(home / "BOOKS.DBF");

    start(q(home / "BOOKS.DBF"));
    EXPECT_EQ(window->windowTitle(), "Shelvix Books 97 (BOOKS)");
    EXPECT_EQ(ctx->MyTable->path(), home / "BOOKS.DBF");
    // As File > Open would have it: the one left joins the recent list.
    EXPECT_EQ(ctx->recent.entry(1), q(home / "MASTER.DBF"));
    stop();
    EXPECT_EQ(ini("Last Database"), (home / "BOOKS.DBF").string());
    EXPECT_EQ(ini("Last File 1"), (home / "MASTER.DBF").string());
}

// Refused as File > Open refuses, with the real message boxes; the last
// catalogue opens instead.
TEST_F(EntryTest, ATableThatIsNoCatalogueIsRefusedAsOpenRefusesIt) {
    app::QtPrompter real;
    prompter = &real;
    home.copyFixture("third-party/TEST.DBF");
    home.copyFixture("third-party/TEST.MDX");
    test::writeFile(home / "NOTES.TXT", "not a table");
    struct Case {
        std::filesystem::path file;
        QString message;
    };
    const Case cases[] = {
        {home / "TEST.DBF", "This DBase file was not created with Shelvix Books 97.  It cannot be "
                            "opened.  You may, however, import data from this file using the "
                            "import function."},
        {home / "NOTES.TXT", "Invalid file type selected."},
        {home / "GONE.DBF", "The file \"" + q(home / "GONE.DBF") + "\" does not exist."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string());
        QString shown;
        test::onNextModal([&](QWidget* box) {
            shown = qobject_cast<QMessageBox*>(box)->text();
            test::clickDefaultButton(box);
        });
        start(q(c.file));
        EXPECT_EQ(shown, c.message);
        EXPECT_EQ(window->windowTitle(), "Shelvix Books 97 (MASTER)");
        stop();
        EXPECT_EQ(ini("Last Database"), (home / "MASTER.DBF").string());
    }
    EXPECT_FALSE(QFileInfo::exists(q(home / "GONE.DBF")));
}

TEST_F(EntryTest, F1AndCtrlHBothOpenTheHelp) {
    start();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    for (const QKeyCombination key :
         {QKeyCombination(Qt::Key_F1), QKeyCombination(Qt::ControlModifier, Qt::Key_H)}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        qDeleteAll(window->findChildren<app::HelpViewer*>());
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        auto* help = window->findChild<app::HelpViewer*>();
        ASSERT_NE(help, nullptr);
        EXPECT_TRUE(help->isVisible());
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
}

// A SIGTERM while a new record is being typed: the form goes without a
// question, the record is not stored, the settings are written and every
// event loop is left.
TEST_F(EntryTest, ASignalEndsAsExitDoesLeavingTheRecordUnposted) {
    start();
    app::EndSignals signals;
    shell::SessionEnd ending(*window, signals);
    ending.windowReady();
    ASSERT_FALSE(QFileInfo::exists(q(home / "SHVBOOK.INI")));
    QPointer<edit::TMyEdit> form;
    addWith([&](edit::TMyEdit* f) {
        form = f;
        ::kill(::getpid(), SIGTERM);
    });
    EXPECT_TRUE(ending.requested());
    ASSERT_TRUE(form);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(books(home / "MASTER.DBF"), 0u);
    EXPECT_EQ(ini("Last Database"), (home / "MASTER.DBF").string());
    EXPECT_TRUE(QFileInfo::exists(q(home / "MASTER.INI")));
    // QCoreApplication::exit() holds every later loop shut until exec() runs.
    QTimer::singleShot(100, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
}

// The handler only passes the signal on; the loop delivers it, SIGHUP as
// SIGTERM.
TEST_F(EntryTest, SignalsAreHeardThroughTheEventLoop) {
    app::EndSignals signals;
    QSignalSpy heard(&signals, &app::EndSignals::received);
    ::kill(::getpid(), SIGHUP);
    ::kill(::getpid(), SIGTERM);
    EXPECT_TRUE(heard.isEmpty()); // nothing happens inside the handler
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard.size() == 2; }));
    EXPECT_EQ(heard.at(0).at(0).toInt(), SIGHUP);
    EXPECT_EQ(heard.at(1).at(0).toInt(), SIGTERM);
}

// A logout that may ask: the edit form's own Exit question; No keeps the
// program (and the session) going with nothing written, Yes ends it.
TEST_F(EntryTest, ALogoutAsksAboutTheRecordWhenAWindowMayAsk) {
    start();
    app::EndSignals signals;
    shell::SessionEnd ending(*window, signals);
    ending.windowReady();
    scripted.expectMessage(kExitQuestion, app::Button::No);
    scripted.expectMessage(kExitQuestion, app::Button::Yes);
    addWith([&](edit::TMyEdit* form) {
        EXPECT_FALSE(ending.prepare(true));
        EXPECT_TRUE(form->isVisible());
        EXPECT_FALSE(QFileInfo::exists(q(home / "SHVBOOK.INI")));
        EXPECT_TRUE(ending.prepare(true));
        EXPECT_FALSE(form->isVisible());
    });
    EXPECT_EQ(books(home / "MASTER.DBF"), 0u);
    EXPECT_EQ(ini("Last Database"), (home / "MASTER.DBF").string());
    EXPECT_FALSE(ending.requested());
}

} // namespace
