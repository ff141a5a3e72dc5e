// Every Alt letter of every window, pressed twice: it must do the same thing
// both times, and that thing must be the one the window's table names. The
// tables are the windows' mnemonics; `over` lists what else claims a letter
// and loses to it (the clashes resolved). Each window is then Tabbed round:
// every control that takes the focus is reached.
#include "db/booktable.h"
#include "edit/forms/tmyedit.h"
#include "shell/forms/tmain.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
#include "viewer/forms/viewergrid.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace shelvix;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

// What a letter does: "button:<name>" (shown pressed), "menu:<title>"
// (opened), "action:<text>" (a menu bar item without a menu, triggered),
// "tab:<caption>" (chosen), "focus:<name>", or nothing.
struct Key {
    char letter;
    QString effect;
    QStringList over = {};
};
using KeyTable = std::vector<Key>;

QKeySequence altKey(char letter) {
    return QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(Qt::Key_A + (letter - 'A'))));
}

bool shown(const QWidget* w, const QWidget* window) {
    return w->window() == window && w->isVisible() && w->isEnabled();
}

// The controls of `window` that carry the letter, as the window shows them.
QStringList claimsOf(QWidget* window, char letter) {
    const QKeySequence key = altKey(letter);
    const auto has = [&](const QString& text) { return QKeySequence::mnemonic(text) == key; };
    QStringList claims;
    // A disabled button keeps its letter.
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (b->window() == window && b->isVisible() && has(b->text()))
            claims << "button:" + b->objectName();
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->buddy() && shown(l, window) && has(l->text()))
            claims << "label:" + l->objectName();
    for (QGroupBox* g : window->findChildren<QGroupBox*>())
        if (shown(g, window) && has(g->title()))
            claims << "group:" + g->title();
    for (QTabBar* bar : window->findChildren<QTabBar*>())
        if (shown(bar, window))
            for (int i = 0; i < bar->count(); ++i)
                if (bar->isTabEnabled(i) && has(bar->tabText(i)))
                    claims << "tab:" + bar->tabText(i);
    for (QMenuBar* bar : window->findChildren<QMenuBar*>())
        if (shown(bar, window))
            for (QAction* a : bar->actions())
                if (a->isVisible() && has(a->text()))
                    claims << (a->menu() ? "menu:" : "action:") + a->text();
    return claims;
}

QWidget* firstControl(QWidget* page) {
    for (QWidget* w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain())
        if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisible())
            return w;
    return page;
}

// Offscreen, nothing gives the activation back once a dialog has gone.
void activate(QWidget* window) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window; }));
}

// Presses Alt+letter where the focus is and tells what happened, then puts
// the window back as it was: popups closed, the page and the focus back.
QString pressAlt(QWidget* window, QWidget* home, char letter) {
    const auto buttons = window->findChildren<QAbstractButton*>();
    std::set<QAbstractButton*> downBefore;
    for (QAbstractButton* b : buttons)
        if (b->isDown())
            downBefore.insert(b);
    std::map<QTabBar*, int> pages;
    for (QTabBar* bar : window->findChildren<QTabBar*>())
        pages[bar] = bar->currentIndex();
    QString triggered;
    std::vector<QMetaObject::Connection> watches;
    for (QMenuBar* bar : window->findChildren<QMenuBar*>())
        watches.push_back(QObject::connect(bar, &QMenuBar::triggered, bar,
                                           [&](QAction* a) { triggered = "action:" + a->text(); }));

    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus && focus->window() == window ? focus : window,
                    Qt::Key(Qt::Key_A + (letter - 'A')), Qt::AltModifier);
    QApplication::processEvents();
    for (const auto& c : watches)
        QObject::disconnect(c);

    QString effect;
    for (QAbstractButton* b : buttons)
        if (b->isDown() && !downBefore.count(b))
            effect = "button:" + b->objectName();
    if (effect.isEmpty())
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            effect = "menu:" + menu->title();
            menu->hide();
        }
    if (effect.isEmpty() && !triggered.isEmpty()) {
        effect = triggered;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != window && w->isVisible() && w->objectName() == "HelpViewer")
                w->close();
        activate(window);
    }
    for (auto [bar, index] : pages) {
        if (bar->currentIndex() == index)
            continue;
        if (effect.isEmpty())
            effect = "tab:" + bar->tabText(bar->currentIndex());
        bar->setCurrentIndex(index);
    }
    QWidget* now = QApplication::focusWidget();
    if (effect.isEmpty() && now != focus && now)
        effect = "focus:" + now->objectName();
    if (home)
        home->setFocus();
    return effect;
}

// The control a focused part belongs to: a drop-down's line edit, a cell
// editor of a grid.
QWidget* controlOf(QWidget* w, QWidget* window) {
    for (QWidget* p = w ? w->parentWidget() : nullptr; p && p != window; p = p->parentWidget())
        if (qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractItemView*>(p))
            w = p;
    return w;
}

// Tab from the focus round to it again reaches every control that takes
// the focus: all but the radio buttons left unchecked (the arrows move
// between those).
void tabReachesEverything(QWidget* window) {
    QWidget* start = QApplication::focusWidget();
    ASSERT_NE(start, nullptr);
    std::set<QWidget*> seen;
    bool left = false; // a grid keeps the focus from cell to cell
    for (int i = 0; i < 400; ++i) {
        QWidget* f = QApplication::focusWidget();
        seen.insert(controlOf(f, window));
        QTest::keyClick(f, Qt::Key_Tab);
        left = left || QApplication::focusWidget() != start;
        if (left && QApplication::focusWidget() == start)
            break;
    }
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!shown(w, window) || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() ||
            controlOf(w, window) != w)
            continue;
        if (auto* radio = qobject_cast<QAbstractButton*>(w);
            radio && radio->autoExclusive() && !radio->isChecked())
            continue;
        EXPECT_TRUE(seen.count(w)) << "Tab never reaches " << w->metaObject()->className() << " "
                                   << w->objectName().toStdString();
    }
    start->setFocus();
}

// Every letter twice: the same both times, the table's effect, and exactly
// the table's claims. Buttons are kept from running their commands. Then
// Tab round the window.
void sweep(QWidget* window, const KeyTable& table, const std::string& where) {
    SCOPED_TRACE(where);
    activate(window);
    QApplication::processEvents();
    QWidget* home = QApplication::focusWidget();
    std::vector<std::unique_ptr<QSignalBlocker>> blockers;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        blockers.push_back(std::make_unique<QSignalBlocker>(b));
    std::map<char, Key> expected;
    for (const Key& k : table)
        expected[k.letter] = k;
    // The tab already chosen changes nothing when chosen again.
    for (auto& [letter, k] : expected)
        if (k.effect.startsWith("tab:"))
            for (QTabBar* bar : window->findChildren<QTabBar*>())
                if (shown(bar, window) && "tab:" + bar->tabText(bar->currentIndex()) == k.effect)
                    k.effect.clear();

    const auto buttonsUp = [&] {
        return QTest::qWaitFor([&] {
            for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
                if (b->isDown())
                    return false;
            return true;
        });
    };
    std::map<char, QString> first;
    for (char c = 'A'; c <= 'Z'; ++c) {
        first[c] = pressAlt(window, home, c);
        // A button shown pressed is clicked before the letter comes again.
        if (first[c].startsWith("button:"))
            QTest::qWait(150);
        EXPECT_EQ(pressAlt(window, home, c).toStdString(), first[c].toStdString())
            << "Alt+" << c << " did two things";
    }
    ASSERT_TRUE(buttonsUp());
    for (char c = 'A'; c <= 'Z'; ++c) {
        const auto it = expected.find(c);
        const Key k = it == expected.end() ? Key{c, QString()} : it->second;
        EXPECT_EQ(first[c].toStdString(), k.effect.toStdString()) << "Alt+" << c;
        QStringList claims = claimsOf(window, c);
        QStringList wanted = k.over;
        if (!claims.isEmpty() && it != expected.end())
            wanted.prepend(claims.first()); // the winner, whatever its kind
        for (const QString& loser : k.over)
            EXPECT_TRUE(claims.contains(loser)) << "Alt+" << c << " " << loser.toStdString();
        EXPECT_EQ(claims.size(), wanted.size())
            << "Alt+" << c << " claimed by " << claims.join(", ").toStdString();
    }
    blockers.clear();
    tabReachesEverything(window);
}

// The program as main() starts it, on a home directory of its own, with a
// book to edit.
class AltKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QStringList args{"shelvix", "--home", q(home.path())};
        ctx.paths = app::AppPaths::resolve(args, QProcessEnvironment(), q(home.path()));
        ctx.prompter = &prompter;
        window = std::make_unique<shell::TMain>(ctx);
        ASSERT_TRUE(window->FormCreate());
        ctx.MyTable->insert();
        ctx.MyTable->setText("TITLE", "Dune");
        ctx.MyTable->post();
        window->show();
        activate(window.get());
        window->viewerGrid()->setFocus();
    }
    void TearDown() override {
        window->close();
        window.reset();
    }
    QAction* action(const char* name) {
        return window->findChild<QAction*>(QString::fromLatin1(name));
    }
    // Runs the command, sweeps the modal window it opens, and closes it.
    void sweepDialog(const char* command, const std::function<void(QWidget*)>& sweepIt) {
        bool opened = false;
        test::onNextModal(
            [&](QWidget* dialog) {
                opened = true;
                sweepIt(dialog);
                if (auto* d = qobject_cast<QDialog*>(dialog))
                    d->done(QDialog::Rejected);
                else
                    dialog->close();
            },
            60000);
        action(command)->trigger();
        EXPECT_TRUE(opened) << command;
    }

    test::TempDir home;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    std::unique_ptr<shell::TMain> window;
};

const KeyTable kMainMenus = {{'F', "menu:&File"},     {'R', "menu:&Records"},
                             {'N', "menu:&Navigate"}, {'O', "menu:&Options"},
                             {'T', "menu:&Tools"},    {'H', "menu:&Help"}};

} // namespace

TEST_F(AltKeysTest, MainWindowInEveryButtonBar) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1, Qt::ControlModifier);
    sweep(window.get(), kMainMenus, "speed buttons");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3, Qt::ControlModifier);
    sweep(window.get(), kMainMenus, "no buttons");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2, Qt::ControlModifier);
    sweep(window.get(),
          {{'A', "button:AddButton"},
           {'E', "button:EditButton"},
           {'C', "button:CopyButton"},
           {'D', "button:DeleteButton"},
           {'S', "button:SearchButton"},
           {'N', "button:EndSearchButton", {"menu:&Navigate"}},
           {'R', "button:ReportButton", {"menu:&Records"}},
           {'V', "button:ViewerButton"},
           {'L', "button:HelpButton"},
           {'X', "button:ButtonExit"},
           {'F', "menu:&File"},
           {'O', "menu:&Options"},
           {'T', "menu:&Tools"},
           {'H', "menu:&Help"}},
          "lettered buttons");
}

TEST_F(AltKeysTest, EditFormOnEveryPage) {
    const KeyTable common = {{'F', "menu:&File"},
                             {'E', "menu:&Edit"},
                             {'H', "action:&Help"},
                             {'U', "button:UpdateExitButton"},
                             {'D', "button:UpdateButton", {"tab:&Description"}},
                             {'L', "button:ClearButton"},
                             {'X', "button:CancelButton"},
                             {'P', "button:PrevButton"},
                             {'N', "button:NextButton"},
                             {'C', "tab:&Catalog"},
                             {'W', "tab:&Worth"},
                             {'B', "tab:Li&brary"},
                             {'O', "tab:&Other"}};
    sweepDialog("MenuEdit", [&](QWidget* form) {
        auto* pages = form->findChild<QTabWidget*>();
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            firstControl(pages->currentWidget())->setFocus();
            KeyTable table = common;
            if (page == 0)
                table.push_back({'K', "button:BlankPurchDate"});
            if (page == 3)
                table.push_back({'K', "button:BlankCheckOut"});
            sweep(form, table, "page " + std::to_string(page));
        }
    });
}

TEST_F(AltKeysTest, ViewerConfigurationOnEveryPage) {
    sweepDialog("MenuViewer", [&](QWidget* dialog) {
        const KeyTable tabs = {{'T', "tab:&Title"},          {'L', "tab:&Look and Feel"},
                               {'S', "tab:Fields to &Show"}, {'W', "tab:Field &Widths"},
                               {'O', "tab:Field &Order"},    {'N', "tab:Field &Names"},
                               {'X', "button:ExitButton"},   {'H', "button:HelpButton"}};
        const std::vector<KeyTable> own = {
            {{'R', "button:TitleFontColorButton"},
             {'F', "button:TitleFontButton"},
             {'C', "button:Button1"}},
            {{'R', "button:FontColorButton"},
             {'F', "button:NewFontButton"},
             {'C', "button:NewColorBUtton"}},
            {},
            {},
            {{'U', "button:OrderUp"}, {'D', "button:OrderDown"}, {'E', "button:OrderDefaults"}},
            {}};
        auto* pages = dialog->findChild<QTabWidget*>();
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            firstControl(pages->currentWidget())->setFocus();
            KeyTable table = tabs;
            table.insert(table.end(), own[std::size_t(page)].begin(), own[std::size_t(page)].end());
            sweep(dialog, table, "page " + std::to_string(page));
        }
    });
}

TEST_F(AltKeysTest, ExportAndImport) {
    sweepDialog("MenuExport", [&](QWidget* dialog) {
        sweep(dialog,
              {{'U', "button:UpButton"},
               {'D', "button:DownButton"},
               {'E', "button:DefaultsButton"},
               {'F', "button:FirstRow"},
               {'S', "button:StartExportButton"},
               {'X', "button:ExitButton"},
               {'H', "button:HelpButton"}},
              "export");
    });

    const std::filesystem::path source = home / "IN.TXT";
    test::writeFile(source, "\"Title\",\"Author\"\r\n\"Dune\",\"Herbert\"\r\n");
    ctx.global.lastImportFile = q(home.path());
    app::FileRequest request;
    request.mode = app::FileMode::Open;
    request.title = "Import Data";
    request.filter = "Text files (*.csv *.tsv *.txt)|*.csv;*.tsv;*.txt|All files (*)|*";
    request.defaultExtension = "TXT";
    request.initialPath = q(home.path());
    request.flags = app::FileFlag::FileMustExist | app::FileFlag::HideReadOnly;
    sweepDialog("MenuImport", [&](QWidget* dialog) {
        sweep(dialog, {{'F', "button:FileButton"}, {'C', "button:CancelButton"}}, "format");
        test::onNextModal(
            [&](QWidget* import) {
                sweep(import,
                      {{'U', "button:UpButton"},
                       {'D', "button:DownButton"},
                       {'S', "button:StartButton"},
                       {'X', "button:ExitButton"},
                       {'H', "button:HelpButton"},
                       {'P', "focus:PresetBox"}},
                      "import");
                static_cast<QDialog*>(import)->done(QDialog::Rejected);
            },
            60000);
        prompter.expectFile(request, q(source));
        dialog->findChild<QPushButton*>("FileButton")->click();
    });
}

TEST_F(AltKeysTest, SearchLocateAndReplace) {
    sweepDialog("MenuSearch", [&](QWidget* dialog) {
        sweep(dialog,
              {{'O', "button:OkButton"},
               {'X', "button:ExitButton"},
               {'C', "button:ClearButton"},
               {'F', "button:MoreButton"},
               {'H', "button:HelpButton"}},
              "search");
    });
    sweepDialog("MenuLocate", [&](QWidget* dialog) {
        sweep(dialog,
              {{'F', "focus:FieldNameComboBox"},
               {'V', ""}, // the focus is in the value already
               {'S', "focus:PartialMatchStartBtn"},
               {'E', "button:ExactMatchBtn"},
               {'P', "button:PartialMatchStartBtn"},
               {'A', "button:PartialMatchAnyBtn"},
               {'C', "button:CaseSensitiveCheckBox"},
               {'R', "button:FirstButton"},
               {'N', "button:NextButton"}},
              "locate");
    });
    sweepDialog("MenuSearchReplace", [&](QWidget* dialog) {
        sweep(dialog, {{'S', "button:StartButton"}, {'C', "button:CancelButton"}}, "replace");
    });
}

TEST_F(AltKeysTest, ReportWindows) {
    // Runs `open` and sweeps the modal window it opens with `table`.
    const auto nested = [&](const std::function<void()>& open, const KeyTable& table,
                            const std::string& where, const std::function<void(QWidget*)>& more) {
        bool opened = false;
        test::onNextModal(
            [&](QWidget* dialog) {
                opened = true;
                sweep(dialog, table, where);
                if (more)
                    more(dialog);
                static_cast<QDialog*>(dialog)->done(QDialog::Rejected);
            },
            60000);
        open();
        EXPECT_TRUE(opened) << where;
    };
    const auto click = [](QWidget* dialog, const char* name) {
        return [=] { dialog->findChild<QPushButton*>(QString::fromLatin1(name))->click(); };
    };
    const KeyTable okCancel = {{'O', "button:OkButton"}, {'C', "button:CancelButton"}};
    sweepDialog("MenuReports", [&](QWidget* list) {
        sweep(list,
              {{'V', "button:ViewButton"},
               {'P', "button:PrintButton"},
               {'F', "button:FileButton", {"menu:&File"}},
               {'M', "button:ModifyButton"},
               {'N', "button:NewButton"},
               {'H', "button:HelpButton", {"action:&Help"}},
               {'X', "button:ExitButton"},
               {'O', "menu:&Options"}},
              "report list");
        nested(
            [&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier); },
            okCancel, "printer", {});
        nested(
            click(list, "NewButton"),
            {{'S', "button:SetFonts"},
             {'P', "button:SpecifyButton"},
             {'U', "button:UpdateButton"},
             {'C', "button:CancelButton"},
             {'D', ""}, // Delete: not for a new report
             {'H', "button:HelpButton"}},
            "report editor", [&](QWidget* editor) {
                nested(click(editor, "SetFonts"), {{'O', "button:OkButton"}}, "report fonts", {});
                nested(click(editor, "SpecifyButton"), okCancel, "report layout", {});
            });
    });
}

TEST_F(AltKeysTest, SettingsDialogs) {
    sweepDialog("MenuSortOrder", [&](QWidget* dialog) {
        sweep(dialog, {{'O', "button:OkButton"}, {'C', "button:CancelButton"}}, "sort order");
    });
    sweepDialog("MenuMainColor", [&](QWidget* dialog) {
        sweep(dialog, {{'O', "button:OkButton"}, {'C', "button:CancelButton"}}, "colours");
    });
    sweepDialog("MenuListBookType", [&](QWidget* dialog) {
        sweep(dialog,
              {{'A', "button:AddButton"},
               {'D', "button:DeleteButton"},
               {'O', "button:OkButton"},
               {'C', "button:CancelButton"},
               {'S', "button:SortButton"}},
              "list");
    });
    sweepDialog("MenuTips", [&](QWidget* dialog) {
        sweep(
            dialog,
            {{'C', "button:CloseButton"}, {'N', "button:NextTipButton"}, {'S', "button:ShowTips"}},
            "tips");
    });
    sweepDialog("MenuAbout", [&](QWidget* dialog) { sweep(dialog, {}, "about"); });
}

TEST_F(AltKeysTest, BackupRestoreAndHelp) {
    const KeyTable files = {{'D', "button:BackDBF"},     {'L', "button:BackLST"},
                            {'F', "button:BackINI"},     {'R', "button:BackURP"},
                            {'S', "button:StartButton"}, {'C', "button:CancelButton"},
                            {'H', "button:HelpButton"}};
    sweepDialog("MenuBackUp", [&](QWidget* dialog) { sweep(dialog, files, "backup"); });
    KeyTable restore = files;
    for (Key& k : restore)
        k.effect.replace("Back", "Restore");
    sweepDialog("MenuRestore", [&](QWidget* dialog) { sweep(dialog, restore, "restore"); });

    action("MenuContents")->trigger();
    QWidget* help = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "HelpViewer" && w->isVisible())
            help = w;
    ASSERT_NE(help, nullptr);
    // Back and Forward, disabled, keep their letters.
    sweep(help, {{'C', "button:ContentsButton"}, {'L', "button:CloseButton"}, {'B', ""}, {'F', ""}},
          "help");
    help->close();
}

// The letters that meant two things run their button's command every time;
// the menus they shadowed open with F10 and the arrows.
TEST_F(AltKeysTest, ClashingLettersPressTheirButtonEveryTime) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2, Qt::ControlModifier);
    int reports = 0;
    for (int i = 0; i < 2; ++i) {
        test::onNextModal([&](QWidget* list) {
            ++reports;
            static_cast<QDialog*>(list)->done(QDialog::Rejected);
        });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
        ASSERT_TRUE(QTest::qWaitFor([&] { return reports == i + 1; })) << "Alt+R " << i + 1;
        activate(window.get());
        window->viewerGrid()->setFocus();
    }
    auto* endSearch = window->findChild<QPushButton*>("EndSearchButton");
    int ended = 0;
    QObject::connect(endSearch, &QPushButton::clicked, [&] { ++ended; });
    for (int i = 0; i < 2; ++i) {
        window->EnableEndSearch(); // as a search does
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::AltModifier);
        ASSERT_TRUE(QTest::qWaitFor([&] { return ended == i + 1; })) << "Alt+N " << i + 1;
        EXPECT_FALSE(ctx.SearchOn);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        window->viewerGrid()->setFocus();
    }
    // With no search, End Srch is shown disabled and keeps its letter.
    ASSERT_FALSE(endSearch->isEnabled());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::AltModifier);
    QTest::qWait(150);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(ended, 2);

    // F10 opens the first menu; Right goes on to the next.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), "&File");
    QTest::keyClick(menu, Qt::Key_Right);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return m && m->title() == "&Records";
    }));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                      : window->menuBar(),
                    Qt::Key_Escape);
}

// In the edit form Alt+D updates, each time, and the pages turn with
// Ctrl+PgDn and Ctrl+PgUp from whatever control has the focus.
TEST_F(AltKeysTest, EditFormUpdatesWithAltDAndTurnsPagesWithCtrlPage) {
    bool opened = false;
    test::onNextModal(
        [&](QWidget* w) {
            opened = true;
            auto* form = static_cast<edit::TMyEdit*>(w);
            activate(form);
            auto* pages = form->findChild<QTabWidget*>();
            ASSERT_EQ(QApplication::focusWidget(), form->control("Title"))
                << QApplication::focusWidget()->objectName().toStdString();
            for (const char* more : {" Messiah", " II"}) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
                QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(more));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
                ASSERT_TRUE(QTest::qWaitFor([&] { return !form->ValuesChanged(); })) << more;
                EXPECT_EQ(pages->currentIndex(), 0);
            }
            EXPECT_EQ(ctx.MyTable->text("TITLE"), "Dune Messiah II");

            // From a line edit, a drop-down and back.
            for (int page : {1, 2, 3, 4, 0}) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
                EXPECT_EQ(pages->currentIndex(), page);
                EXPECT_TRUE(pages->currentWidget()->isAncestorOf(QApplication::focusWidget()));
            }
            form->control("Author")->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
            EXPECT_EQ(pages->currentIndex(), 4);
            // F10 reaches the form's menus too.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10);
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            EXPECT_EQ(menu->title(), "&File");
            menu->hide();
            form->done(QDialog::Rejected);
        },
        20000);
    action("MenuEdit")->trigger();
    EXPECT_TRUE(opened);
}
