#include "app/forms/qtprompter.h"
#include "core/profile.h"
#include "db/booktable.h"
#include "find/forms/tmysearch.h"
#include "shell/forms/dbnavigator.h"
#include "shell/forms/tmain.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
#include "viewer/forms/viewergrid.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <map>

using namespace shelvix;
using shell::TMain;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

// The program as main() starts it, on a home directory of its own.
class MainWindowTest : public ::testing::Test {
protected:
    void start(QStringList args = {}) {
        args.prepend(QStringLiteral("shelvix"));
        args << QStringLiteral("--home") << q(home.path());
        ctx.paths = app::AppPaths::resolve(args, QProcessEnvironment(), q(home.path()));
        ctx.browseMode = ctx.paths.browseMode;
        ctx.prompter = &prompter;
        window = std::make_unique<TMain>(ctx);
        ASSERT_TRUE(window->FormCreate());
        window->show();
    }
    void closeWindow() {
        window->close();
        window.reset();
    }
    template <class T> T* find(const char* name) {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QAction* action(const char* name) { return find<QAction>(name); }
    QString count() { return find<QLabel>("CountLabel")->text(); }
    std::string ini(const char* file, const char* section, const char* key) {
        return core::Profile::load(home / file).readString(section, key, "<missing>", 1000);
    }
    void addBooks(int n) {
        auto t = db::Table::open(home / "MASTER.DBF", db::OpenMode::Shared);
        for (int i = 0; i < n; ++i) {
            t->insert();
            t->setText("AUTHOR", "Author " + std::to_string(i));
            t->post();
        }
    }

    test::TempDir home;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    std::unique_ptr<TMain> window;
};

TEST_F(MainWindowTest, FirstRunMakesMasterAndWritesEverySettingAtClose) {
    start();
    EXPECT_TRUE(QFileInfo::exists(q(home / "MASTER.DBF")));
    EXPECT_TRUE(QFileInfo::exists(q(home / "CONDITION.LST")));
    EXPECT_EQ(window->pos(), QPoint(0, 0));
    EXPECT_EQ(window->size(), QSize(640, 480));
    EXPECT_EQ(window->windowTitle(), "Shelvix Books 97 (MASTER)");
    EXPECT_TRUE(find<QWidget>("SpeedPanel")->isVisible());
    EXPECT_FALSE(find<QWidget>("AddButton")->isVisible());
    EXPECT_FALSE(find<QWidget>("SearchOnLabel")->isVisible());
    EXPECT_EQ(find<QLabel>("ViewerLabel")->text(), "Book Viewer");
    EXPECT_EQ(ctx.MyTable->selectedTag(), "NewIndex"); // sorted by author
    EXPECT_EQ(count(), "0");
    EXPECT_FALSE(action("MenuLastFileSeparator")->isVisible());
    EXPECT_FALSE(action("MenuEndSearch")->isEnabled());
    EXPECT_FALSE(find<QToolButton>("EndSearchSpeed")->isEnabled());
    EXPECT_TRUE(action("MenuSpeedButtons")->isChecked());
    EXPECT_TRUE(action("MenuDateMDYSlash")->isChecked());
    EXPECT_EQ(find<QToolButton>("SpeedSetOrder")->toolTip(), "Set Sorting Order");
    closeWindow();

    for (const char* key :
         {"Button Bar", "Main Window Left", "Main Window Top", "Main Window Width",
          "Main Window Height", "Last Import File", "Last Export File", "Last Database",
          "Last File 1", "Last File 5", "Show Tips", "Window Size", "Date Format",
          "Date Leading Zeros", "Currency Format", "Numeric Format"})
        EXPECT_NE(ini("SHVBOOK.INI", "Misc", key), "<missing>") << key;
    EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Last Database"), (home / "MASTER.DBF").string());
    EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Main Window Width"), "640");
    EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Main Window Left"), "0");
    EXPECT_EQ(ini("MASTER.INI", "Sort Order", "Primary Sort"), "2");
    for (const char* section :
         {"Field Names", "Display Fields", "Field Width", "Field Order", "Export Fields",
          "Export Order", "Export", "Import", "Main Window Color", "Configure Window Color",
          "Grid Title", "Grid Title Font", "Grid Font", "Grid Options", "Edit Font", "Label Font",
          "Button Font", "Reports"}) {
        EXPECT_TRUE(core::Profile::load(home / "MASTER.INI").hasSection(section)) << section;
    }
}

TEST_F(MainWindowTest, MenusInTheirOrder) {
    start();
    QStringList titles;
    for (QAction* a : window->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles,
              (QStringList{"&File", "&Records", "&Navigate", "&Options", "&Tools", "&Help"}));
    const auto items = [&](const char* menu) {
        QStringList out;
        for (QAction* a : find<QMenu>(menu)->actions())
            out << (a->isSeparator()
                        ? QStringLiteral("-")
                        : a->text() + (a->shortcut().isEmpty() ? QString()
                                                               : " " + a->shortcut().toString()));
        return out;
    };
    EXPECT_EQ(
        items("MenuFile"),
        (QStringList{"&New Database Ctrl+W", "&Open Database Ctrl+O", "&Update Database Ctrl+Z",
                     "-", "&Back Up Data Ctrl+B", "&Restore Data Ctrl+Y", "-", "&Print Ctrl+P", "-",
                     "E&xit Ctrl+X", "-", "&1", "&2", "&3", "&4", "&5"}));
    EXPECT_EQ(items("MenuRecords"),
              (QStringList{"&Add Ctrl+A", "&Edit Ctrl+E", "&Copy Ctrl+C", "&Delete Ctrl+D", "-",
                           "&Import Ctrl+M", "E&xport Ctrl+T"}));
    EXPECT_EQ(items("MenuNavigate"),
              (QStringList{"&Search (Query) Ctrl+S", "&End Search Ctrl+I", "&Locate Ctrl+L",
                           "Locate &Next Ctrl+N", "&Reports Ctrl+R", "&Viewer Ctrl+V", "-",
                           "S&aved Searches"}));
    EXPECT_EQ(
        items("MenuOptions"),
        (QStringList{"Sort &Order Ctrl+Q", "Screen Si&ze", "&Screen Access", "&Color",
                     "List &Maintenance", "C&urrency Format", "&Numeric Format", "&Date Format",
                     "-", "&Label Font Shift+F8", "&Edit Font Shift+F9", "&Button Font Shift+F10",
                     "-", "Warn About Duplicate ISBNs", "Loan &Period (days)..."}));
    EXPECT_EQ(
        items("MenuScreenAccess"),
        (QStringList{"&Speed Buttons Ctrl+F1", "&Lettered Buttons Ctrl+F2", "&None Ctrl+F3"}));
    EXPECT_EQ(items("MenuColor").at(5), "-");
    EXPECT_EQ(items("MenuListMaintenance").at(2), "-");
    EXPECT_EQ(items("MenuTools"),
              (QStringList{"&Search and Replace Ctrl+F", "&Rebuild Indexes", "&Pack Database"}));
    EXPECT_EQ(items("MenuHelp"),
              (QStringList{"&Contents Ctrl+H", "&Review \"Tips of the Day\"", "&About"}));
    // Every command is live; End Search waits for a search.
    for (const char* name : {"MenuSearchReplace", "MenuBackUp", "MenuRestore", "MenuReports",
                             "MenuImport", "MenuExport", "MenuSearch"})
        EXPECT_TRUE(action(name)->isEnabled()) << name;
    EXPECT_TRUE(action("MenuAdd")->isEnabled());
}

TEST_F(MainWindowTest, ButtonBarsMoveTheViewer) {
    start();
    QWidget* grid = window->viewerGrid();
    auto* nav = window->navigator();
    const QRect speed = grid->geometry();
    EXPECT_EQ(speed.top(), 70);
    EXPECT_EQ(nav->geometry(), QRect(424, 3, 640 - 6 - 424, 25));

    action("MenuLetteredButtons")->trigger();
    EXPECT_EQ(grid->y(), speed.y() + 52);
    EXPECT_EQ(grid->height(), speed.height() - 52);
    EXPECT_TRUE(find<QWidget>("NavigatorLabel")->isVisible());
    EXPECT_FALSE(find<QWidget>("SpeedPanel")->isVisible());
    for (const char* b :
         {"AddButton", "EditButton", "CopyButton", "DeleteButton", "EndSearchButton", "ButtonExit"})
        EXPECT_TRUE(find<QPushButton>(b)->isEnabled()) << b;
    EXPECT_TRUE(action("MenuLetteredButtons")->isChecked());
    EXPECT_FALSE(action("MenuSpeedButtons")->isChecked());

    action("MenuNoButtons")->trigger();
    EXPECT_EQ(grid->y(), 40);
    const int cw = window->clientArea()->width();
    EXPECT_EQ(nav->geometry(), QRect(cw - 207, 8, 201, 25));
    window->resize(900, 600);
    QApplication::processEvents();
    EXPECT_EQ(window->clientArea()->width(), 900);
    EXPECT_EQ(nav->x(), 900 - 207);
    EXPECT_EQ(grid->width(), 900 - 14);
    EXPECT_EQ(grid->height(), window->clientArea()->height() - 47);
    EXPECT_FALSE(find<QPushButton>("AddButton")->isEnabled());
    closeWindow();
    EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Button Bar"), "3");
}

TEST_F(MainWindowTest, DeleteAsksAndTheCountFollows) {
    start();
    window->close();
    window.reset();
    addBooks(2);
    start();
    EXPECT_EQ(count(), "2");
    prompter.expectConfirm("Confirm", "Delete this record?", app::Button::No);
    action("MenuDelete")->trigger();
    EXPECT_EQ(count(), "2");
    prompter.expectConfirm("Confirm", "Delete this record?", app::Button::Yes);
    find<QToolButton>("DeleteSpeed")->click();
    EXPECT_EQ(count(), "1");
    prompter.expectConfirm("Confirm", "Delete this record?", app::Button::Yes);
    action("MenuDelete")->trigger();
    EXPECT_EQ(count(), "0");
    // The navigator refreshes the count after each click.
    addBooks(1);
    window->navigator()->click(shell::DBNavigator::Refresh);
    EXPECT_EQ(count(), "1");
}

// Another program appends while the window is in the background: its
// count and grid catch up when it comes to the front again.
TEST_F(MainWindowTest, AnotherUsersAppendsShowWhenTheWindowComesBack) {
    start();
    closeWindow();
    addBooks(2);
    start();
    ASSERT_EQ(count(), "2");
    QAbstractItemModel* rows = window->viewerGrid()->model();
    ASSERT_EQ(rows->rowCount(), 2);
    addBooks(3);
    EXPECT_EQ(count(), "2");
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window.get(), &activate);
    EXPECT_EQ(count(), "5");
    EXPECT_EQ(rows->rowCount(), 5);
    closeWindow();
}

// Tab goes on from the grid's last cell to the navigator, whose buttons
// Space presses.
TEST_F(MainWindowTest, NavigatorIsReachedByTabAndPressedBySpace) {
    start();
    closeWindow();
    addBooks(2);
    start();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->viewerGrid()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End, Qt::ControlModifier);
    ASSERT_EQ(ctx.MyTable->text("AUTHOR"), "Author 1");
    for (int i = 0; i < 100 && !qobject_cast<QToolButton*>(QApplication::focusWidget()); ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget()->objectName(), "First");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(ctx.MyTable->text("AUTHOR"), "Author 0");
}

TEST_F(MainWindowTest, EditCommandsSetTheEditMode) {
    start();
    addBooks(1);
    int shown = 0;
    window->records().showEditForm = [&] { ++shown; };
    action("MenuAdd")->trigger();
    EXPECT_EQ(ctx.EditMode, app::EditMode::Add);
    find<QToolButton>("CopySpeed")->click();
    EXPECT_EQ(ctx.EditMode, app::EditMode::Copy);
    window->navigator()->click(shell::DBNavigator::Refresh);
    Q_EMIT window->viewerGrid()->rowDoubleClicked(0);
    EXPECT_EQ(ctx.EditMode, app::EditMode::Edit);
    EXPECT_EQ(shown, 3);
}

// A command runs the same from its key, its lettered button and its speed
// button, and all of them follow it into browse mode.
TEST_F(MainWindowTest, EveryPlaceOfACommandRunsIt) {
    start();
    int shown = 0;
    window->records().showEditForm = [&] { ++shown; };
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->viewerGrid()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(shown, 1);
    find<QToolButton>("AddSpeed")->click();
    action("MenuLetteredButtons")->trigger();
    QTest::mouseClick(find<QPushButton>("AddButton"), Qt::LeftButton);
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(ctx.EditMode, app::EditMode::Add);
    closeWindow();

    start({QStringLiteral("/BROWSE")});
    for (const char* name : {"AddButton", "AddSpeed"})
        EXPECT_FALSE(find<QAbstractButton>(name)->isEnabled()) << name;
    EXPECT_FALSE(action("MenuAdd")->isEnabled());
}

// Ctrl+S puts a search in force from the main window, Ctrl+I ends it, and the
// count, the "SEARCH ON" label and the End Search controls follow.
TEST_F(MainWindowTest, SearchAndEndSearchFromTheKeyboard) {
    start();
    closeWindow();
    addBooks(5); // "Author 0" ... "Author 4"
    start();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->viewerGrid()->setFocus();
    EXPECT_FALSE(find<QLabel>("SearchOnLabel")->isVisible());
    EXPECT_FALSE(action("MenuEndSearch")->isEnabled());

    bool shown = false;
    test::onNextModal([&](QWidget* w) {
        shown = w == window->searchForm();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        // Under load the focus may reach the window a little after it is active.
        ASSERT_TRUE(QTest::qWaitFor([w] {
            return QApplication::focusWidget() && QApplication::focusWidget()->window() == w;
        }));
        // Row 2 is the author; its cell takes the typing.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("r 3"));
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("OkButton")), Qt::LeftButton);
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_EQ(count(), "1");
    EXPECT_TRUE(find<QLabel>("SearchOnLabel")->isVisible());
    EXPECT_TRUE(action("MenuEndSearch")->isEnabled());
    EXPECT_TRUE(find<QToolButton>("EndSearchSpeed")->isEnabled());
    EXPECT_EQ(ctx.MyTable->text("AUTHOR"), "Author 3");

    // Nothing reactivates the main window offscreen once the dialog is gone.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window.get(); }));
    window->viewerGrid()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_I, Qt::ControlModifier);
    EXPECT_FALSE(ctx.SearchOn);
    EXPECT_EQ(count(), "5");
    EXPECT_FALSE(find<QLabel>("SearchOnLabel")->isVisible());
    EXPECT_FALSE(action("MenuEndSearch")->isEnabled());
}

// Import and Export open their windows from their keys; browse mode leaves
// only Export.
TEST_F(MainWindowTest, ImportAndExportOpenFromTheirKeys) {
    for (const bool browse : {false, true}) {
        start(browse ? QStringList{QStringLiteral("/BROWSE")} : QStringList{});
        EXPECT_EQ(action("MenuImport")->isEnabled(), !browse);
        EXPECT_EQ(find<QToolButton>("ImportSpeed")->isEnabled(), !browse);
        EXPECT_TRUE(action("MenuExport")->isEnabled());
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window.get(); }));
        window->viewerGrid()->setFocus();
        std::vector<QString> opened;
        const auto closeIt = [&](QWidget* w) {
            opened.push_back(w->objectName());
            w->close();
        };
        test::onNextModal(closeIt);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
        if (!browse) {
            window->activateWindow();
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return QApplication::activeWindow() == window.get(); }));
            window->viewerGrid()->setFocus();
            test::onNextModal(closeIt);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_M, Qt::ControlModifier);
        }
        EXPECT_EQ(opened, browse ? std::vector<QString>{"TMyExport"}
                                 : std::vector<QString>({"TMyExport", "TImportFormat"}));
        closeWindow();
    }
}

// Ctrl+R and Ctrl+P both open the report list, the same window each time.
TEST_F(MainWindowTest, ReportsAndPrintOpenTheReportList) {
    start();
    std::vector<QWidget*> opened;
    for (const Qt::Key k : {Qt::Key_R, Qt::Key_P}) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window.get(); }));
        window->viewerGrid()->setFocus();
        test::onNextModal([&](QWidget* w) {
            opened.push_back(w);
            w->close();
        });
        QTest::keyClick(QApplication::focusWidget(), k, Qt::ControlModifier);
    }
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], opened[1]);
    EXPECT_EQ(opened[0]->objectName(), "TMyReport");
}

TEST_F(MainWindowTest, BrowseModeDisablesChangesAndKeepsFieldEditing) {
    test::writeFile(home / "SHVBOOK.INI", "[Misc]\nButton Bar=2\n");
    start({QStringLiteral("/bRoWsE")});
    closeWindow();
    test::writeFile(home / "MASTER.INI", "[Grid Options]\nField Editing=Yes\n");
    start({QStringLiteral("/bRoWsE")});
    EXPECT_TRUE(ctx.browseMode);
    EXPECT_FALSE(ctx.database.fieldEditing);
    for (const char* a : {"MenuAdd", "MenuCopy", "MenuDelete", "MenuBackUp", "MenuRestore",
                          "MenuViewer", "MenuImport", "MenuSearchReplace", "MenuPack"})
        EXPECT_FALSE(action(a)->isEnabled()) << a;
    EXPECT_FALSE(find<QMenu>("MenuListMaintenance")->menuAction()->isEnabled());
    for (const char* b : {"AddSpeed", "CopySpeed", "ImportSpeed", "DeleteSpeed", "ViewerSpeed",
                          "AddButton", "CopyButton", "DeleteButton"})
        EXPECT_FALSE(find<QAbstractButton>(b)->isEnabled()) << b;
    EXPECT_TRUE(action("MenuEdit")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("EditButton")->isEnabled());
    auto* nav = window->navigator();
    EXPECT_FALSE(nav->button(shell::DBNavigator::Next)->isHidden());
    EXPECT_TRUE(nav->button(shell::DBNavigator::Insert)->isHidden());
    EXPECT_TRUE(nav->button(shell::DBNavigator::Refresh)->isHidden());
    closeWindow();
    EXPECT_EQ(ini("MASTER.INI", "Grid Options", "Field Editing"), "Yes");
}

TEST_F(MainWindowTest, RecentItemsFollowTheList) {
    db::createBookTable(home / "SECOND.DBF");
    start();
    app::FileRequest open;
    open.mode = app::FileMode::Open;
    open.title = QStringLiteral("Open Database File");
    open.filter = QStringLiteral("Database Files (*.DBF)|*.DBF");
    open.defaultExtension = QStringLiteral("DBF");
    open.flags = app::FileFlag::FileMustExist | app::FileFlag::HideReadOnly;
    open.initialPath = q(home.path());
    prompter.expectFile(open, q(home / "SECOND.DBF"));
    find<QToolButton>("OpenSpeed")->click();
    EXPECT_EQ(window->windowTitle(), "Shelvix Books 97 (SECOND)");
    EXPECT_TRUE(action("MenuLastFileSeparator")->isVisible());
    EXPECT_EQ(action("MenuLastFile1")->text(), "&1   " + q(home / "MASTER.DBF"));
    EXPECT_TRUE(action("MenuLastFile1")->isVisible());
    EXPECT_FALSE(action("MenuLastFile2")->isVisible());

    action("MenuLastFile1")->trigger();
    EXPECT_EQ(window->windowTitle(), "Shelvix Books 97 (MASTER)");
    EXPECT_EQ(action("MenuLastFile1")->text(), "&1   " + q(home / "SECOND.DBF"));
    closeWindow();
    EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Last File 1"), (home / "SECOND.DBF").string());
    EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Last Database"), (home / "MASTER.DBF").string());
}

TEST_F(MainWindowTest, ALastDatabaseThatWasDeletedOpensMaster) {
    test::writeFile(home / "SHVBOOK.INI",
                    "[Misc]\nLast Database=" + (home / "GONE.DBF").string() + "\n");
    start();
    EXPECT_EQ(window->windowTitle(), "Shelvix Books 97 (MASTER)");
    EXPECT_TRUE(prompter.messages().empty());
}

// Every button the navigator shows lies inside the window, whatever the
// button bar, browse mode and width; the stored settings stay as they were.
TEST_F(MainWindowTest, TheWholeNavigatorIsAlwaysVisible) {
    for (const bool browse : {false, true}) {
        start(browse ? QStringList{QStringLiteral("/BROWSE")} : QStringList{});
        QWidget* client = window->clientArea();
        for (const char* mode : {"MenuSpeedButtons", "MenuLetteredButtons", "MenuNoButtons"}) {
            action(mode)->trigger();
            for (const int width : {640, 200, 500, 700, 1280}) {
                window->resize(width, 480);
                QApplication::processEvents();
                const QRect inside = client->rect().adjusted(0, 0, -2, 0);
                int shown = 0;
                for (int b = 0; b < shell::DBNavigator::kButtonCount; ++b) {
                    QWidget* button = window->navigator()->button(shell::DBNavigator::NavButton(b));
                    if (!button->isVisibleTo(window.get()))
                        continue;
                    ++shown;
                    const QRect r(button->mapTo(client, QPoint(0, 0)), button->size());
                    EXPECT_TRUE(inside.contains(r))
                        << mode << " width " << width << " browse " << browse << " button " << b;
                    EXPECT_GE(r.width(), 18) << mode << " width " << width;
                }
                EXPECT_EQ(shown, browse ? 4 : 10);
            }
        }
        action("MenuSpeedButtons")->trigger();
        window->resize(640, 480);
        QApplication::processEvents();
        closeWindow();
        EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Main Window Width"), "640");
        EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Button Bar"), "1");
    }
}

// A last database that is not a book table, answered with the real boxes:
// the two messages, then the open dialog; Cancel there ends the program
// without a byte written.
TEST_F(MainWindowTest, CancelAtStartUpEndsTheProgramWritingNothing) {
    start();
    closeWindow();
    home.copyFixture("independent/BOOKS1.DBF");
    home.copyFixture("independent/BOOKS1.MDX");
    test::writeFile(home / "SHVBOOK.INI",
                    "[Misc]\nLast Database=" + (home / "BOOKS1.DBF").string() + "\n");
    const auto files = [this] {
        std::map<std::string, std::string> out;
        for (const auto& e : std::filesystem::recursive_directory_iterator(home.path()))
            if (e.is_regular_file())
                out[e.path().string()] = test::readFile(e.path());
        return out;
    };
    const auto before = files();

    app::QtPrompter real;
    ctx.paths = app::AppPaths::resolve(
        {QStringLiteral("shelvix"), QStringLiteral("--home"), q(home.path())},
        QProcessEnvironment(), q(home.path()));
    ctx.prompter = &real;
    QStringList shown;
    test::onNextModal([&](QWidget* structure) {
        shown << qobject_cast<QMessageBox*>(structure)->text();
        test::onNextModal([&](QWidget* notValid) {
            shown << qobject_cast<QMessageBox*>(notValid)->text();
            test::onNextModal([&](QWidget* open) {
                shown << open->windowTitle();
                QTest::keyClick(open, Qt::Key_Escape);
            });
            QTest::keyClick(notValid, Qt::Key_Return);
        });
        QTest::keyClick(structure, Qt::Key_Return);
    });
    window = std::make_unique<TMain>(ctx);
    EXPECT_FALSE(window->FormCreate());
    window.reset();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(shown[0].startsWith("This DBase file was not created with Shelvix Books 97."));
    EXPECT_TRUE(shown[1].startsWith("The last database used as recorded in the INI file"));
    EXPECT_EQ(shown[2], "Open Database File");
    EXPECT_EQ(files(), before);
}

// Pictures of the three button bars for a look at the window: set
// SHELVIX_SCREENSHOTS to a directory to get them.
TEST_F(MainWindowTest, Screenshots) {
    const QString out = qEnvironmentVariable("SHELVIX_SCREENSHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "SHELVIX_SCREENSHOTS not set";
    start();
    closeWindow();
    {
        auto t = db::Table::open(home / "MASTER.DBF", db::OpenMode::Shared);
        const char* authors[] = {"Austen, Jane", "Tolstoy, Leo",    "Eliot, George",
                                 "Mann, Thomas", "Woolf, Virginia", "Dickens, Charles"};
        const char* titles[] = {"Emma",         "War and Peace", "Middlemarch",
                                "Buddenbrooks", "Orlando",       "Bleak House"};
        for (int i = 0; i < 6; ++i) {
            t->insert();
            t->setText("AUTHOR", authors[i]);
            t->setText("TITLE", titles[i]);
            t->post();
        }
    }
    start();
    QDir().mkpath(out);
    for (int mode = 1; mode <= 3; ++mode) {
        window->SetButtonBar(mode);
        QApplication::processEvents();
        window->grab().save(QStringLiteral("%1/mainwindow-mode%2.png").arg(out).arg(mode));
    }
}

} // namespace

// Started as main() starts it (the tip allowed) on a first run, where "Show
// Tips" defaults to Yes: the tip comes once, at the first activation only.
TEST_F(MainWindowTest, TipOfTheDayShowsOnceAtTheFirstActivation) {
    QStringList args{QStringLiteral("shelvix"), QStringLiteral("--home"), q(home.path())};
    ctx.paths = app::AppPaths::resolve(args, QProcessEnvironment(), q(home.path()));
    ctx.prompter = &prompter;
    window = std::make_unique<TMain>(ctx);
    window->startupTipAllowed = true;
    ASSERT_TRUE(window->FormCreate());
    ASSERT_TRUE(ctx.global.showTips);

    QString shown;
    test::onNextModal([&](QWidget* w) {
        shown = w->objectName();
        test::closeModal(w);
    });
    window->show();
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window.get(), &activate);
    for (int i = 0; i < 50 && shown.isEmpty(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(shown, "TTipOfDay");

    // A later activation shows nothing.
    QCoreApplication::sendEvent(window.get(), &activate);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    closeWindow();
}
