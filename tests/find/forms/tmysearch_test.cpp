#include "app/colors.h"
#include "app/databases.h"
#include "app/forms/qtprompter.h"
#include "db/booktable.h"
#include "find/forms/tmysearch.h"
#include "find/forms/tsearchoptions.h"
#include "find/search.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
#include "support/tool.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

using namespace shelvix;
using namespace shelvix::find;

// Readable failures for texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
using test::onNextModal;

namespace {

constexpr int kCostRow = 7, kCategoryRow = 5, kAuthorRow = 2, kCheckOutRow = 17, kPurchDateRow = 12;

struct MainView : app::DatabaseView, SearchView {
    Search* search = nullptr;
    TMySearch* form = nullptr;
    bool searchOnShown = false;
    int counts = 0;
    void setCaption(const QString&) override {}
    void tableClosing() override {}
    void DoFileSpecific() override {}
    void SetMenuLastFiles() override {}
    void DisplayCount() override { ++counts; }
    void SetViewerOptions() override {}
    void DoEndSearch() override { search->DoEndSearch(); }
    void EnableEndSearch() override { search->EnableEndSearch(); }
    void showSearchOn(bool on) override { searchOnShown = on; }
    void showSearchWindow() override { form->exec(); }
};

class SearchFormTest : public ::testing::Test {
protected:
    SearchFormTest() : dbs(ctx, view), search(ctx, dbs, view) {
        ctx.prompter = &prompter;
        ctx.screenSize = {1024, 768};
        ctx.formats.setDateFormat(7);
        view.search = &search;
        path = dir / "BOOKS.DBF";
        db::createBookTable(path);
        {
            auto t = db::Table::open(path, db::OpenMode::Exclusive);
            const std::vector<std::vector<std::pair<const char*, const char*>>> books = {
                {{"Title", "Warlock"},
                 {"Author", "Smith, Ann"},
                 {"Category", "Poetry"},
                 {"Cost", "15"},
                 {"CheckOut", "Yes"},
                 {"PurchDate", "20201224"}},
                {{"Title", "Cold War"},
                 {"Author", "Jones"},
                 {"Category", "Fiction"},
                 {"Cost", "10"},
                 {"CheckOut", "No"}},
                {{"Title", "Peace"}, {"Author", "Smith, Bob"}, {"Category", "Fiction"}},
                {{"Title", "Emma"},
                 {"Author", "Austen"},
                 {"Category", "POETRY"},
                 {"Cost", "3"},
                 {"CheckOut", "yes"}},
            };
            for (const auto& b : books) {
                t->insert();
                for (const auto& [field, value] : b)
                    t->setText(field, value);
                t->post();
            }
        }
        ctx.current = db::DatabaseFiles::of(QString::fromStdString(path.string()));
        EXPECT_TRUE(dbs.openMyTable());
        ctx.lists[0] = QStringList{QStringLiteral("Austen"), QStringLiteral("Smith, Ann")};
        form = std::make_unique<TMySearch>(ctx, search);
        view.form = form.get();
    }
    ~SearchFormTest() override {
        form.reset();
        ctx.MyTable.reset();
    }

    void showForm() {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }));
    }
    // Keys go where the user's would: to the widget with the focus.
    static void activate(QWidget* w) {
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        // The focus lands inside the window once it is active.
        ASSERT_TRUE(QTest::qWaitFor([w] {
            return QApplication::focusWidget() && QApplication::focusWidget()->window() == w;
        }));
    }
    static void type(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    static void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier, int times = 1) {
        for (int i = 0; i < times; ++i) {
            QTest::keyClick(QApplication::focusWidget(), k, mods);
            // A button's mnemonic clicks it the way a mouse would, shown
            // pressed for a moment first.
            if (QWidget* window = QApplication::activeWindow(); mods & Qt::AltModifier && window) {
                for (auto* b : window->findChildren<QPushButton*>()) {
                    EXPECT_TRUE(QTest::qWaitFor([b] { return !b->isDown(); }));
                }
            }
        }
    }
    SearchGrid* grid() { return form->searchGrid(); }
    QPushButton* button(const char* name) {
        return form->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    // Presses and releases the mouse over a grid cell (row 1 to 36).
    void clickCell(int row, int column) {
        const QModelIndex index = grid()->model()->index(row - 1, column);
        grid()->scrollTo(index);
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {},
                          grid()->visualRect(index).center());
    }
    // A click where the user's pointer would land: on whatever lies over the
    // cell (its open editor) rather than on the grid beneath.
    void clickOver(int row, int column) {
        const QModelIndex index = grid()->model()->index(row - 1, column);
        grid()->scrollTo(index);
        QWidget* area = grid()->viewport();
        const QPoint at = grid()->visualRect(index).center();
        QWidget* target = area->childAt(at);
        if (!target)
            target = area;
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(area, at));
    }
    // Each key goes to whatever has the focus when it is struck, with no
    // pause between keys.
    static void typeAtOnce(const QString& text) {
        for (const QChar c : text)
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
    // The cell editor is open on the current criteria cell and holds the
    // window's focus.
    bool editorOnCurrentCell() {
        auto* editor = qobject_cast<QLineEdit*>(form->focusWidget());
        if (!editor || editor->objectName() != QStringLiteral("CriteriaEditor") ||
            !editor->isVisible())
            return false;
        return grid()->currentIndex().column() == 2 &&
               grid()->visualRect(grid()->currentIndex()).contains(editor->geometry().center());
    }
    QString cell(int row) { return grid()->item(row - 1, 2)->text(); }
    QString header() { return grid()->horizontalHeaderItem(2)->text(); }
    std::vector<std::uint32_t> shown() {
        std::vector<std::uint32_t> out;
        for (std::uint32_t r = 0; r < ctx.MyTable->rowCount(); ++r)
            out.push_back(ctx.MyTable->recordAtRow(r));
        return out;
    }
    std::vector<std::uint32_t> toolSearch(const std::string& levels) {
        const std::string out =
            shelvix::test::commandOutput(std::string("'") + SHELVIX_TOOL_PATH + "' search '" +
                                         path.string() + "' " + levels + " --fields Title");
        std::vector<std::uint32_t> recnos;
        std::size_t at = out.find('\n');
        while (at != std::string::npos && at + 1 < out.size()) {
            recnos.push_back(std::uint32_t(std::stoul(out.substr(at + 1))));
            at = out.find('\n', at + 1);
        }
        return recnos;
    }
    // Kept for looking at when SHELVIX_SCREENSHOT_DIR is set.
    static void keepScreenshot(QWidget* w, const QString& name) {
        const QString dirName = qEnvironmentVariable("SHELVIX_SCREENSHOT_DIR");
        if (!dirName.isEmpty())
            w->grab().save(QDir(dirName).filePath(name));
    }

    test::TempDir dir;
    std::filesystem::path path;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    MainView view;
    app::Databases dbs;
    Search search;
    std::unique_ptr<TMySearch> form;
};

using Rows = std::vector<std::uint32_t>;

} // namespace

TEST_F(SearchFormTest, LayoutAtTwoScreenSizesAndInADarkColourSet) {
    struct Look {
        QSize screen;
        double factor;
        bool dark;
    };
    for (const Look& look : {Look{{800, 600}, 1.0, false}, Look{{1280, 1024}, 1.25, true}}) {
        ctx.screenSize = look.screen;
        ctx.screenFactor = look.factor;
        app::ColorSet& colors =
            ctx.database.colors[std::size_t(app::colorSetIndex(app::ColorGroup::Search))];
        if (look.dark) {
            colors[app::ColorMainBackground] = app::windowsColor(40, 40, 48);
            colors[app::ColorListBoxBackground] = app::windowsColor(20, 20, 20);
            colors[app::ColorListBoxText] = app::windowsColor(240, 240, 240);
        }
        showForm();
        const double f = look.factor;
        EXPECT_EQ(form->windowTitle(), "Search");
        EXPECT_EQ(grid()->horizontalHeaderItem(0)->text(), " FIELD");
        EXPECT_EQ(header(), " SEARCH CRITERIA    (Level 1)");
        EXPECT_EQ(grid()->columnWidth(0), std::lround(200 * f));
        EXPECT_EQ(grid()->columnWidth(1), std::lround(20 * f));
        EXPECT_EQ(grid()->columnWidth(2), std::lround(378 * f));
        EXPECT_EQ(grid()->width(), std::lround(600 * f) + 20);
        EXPECT_EQ(grid()->rowHeight(0), std::lround(24 * f));
        EXPECT_EQ(form->width(), std::lround(636 * f));
        EXPECT_EQ(grid()->rowCount(), 36);
        EXPECT_EQ(grid()->item(0, 0)->text(), " Title");
        EXPECT_EQ(grid()->item(35, 0)->text(), " User Defined 6");
        // Placed 10 pixels above the centre of the screen.
        EXPECT_EQ(form->pos().y(), (look.screen.height() - form->height()) / 2 - 10);
        EXPECT_LE(form->frameGeometry().right(), look.screen.width());

        // Grey "..." cells on number, date and list rows only, as drawn.
        const QImage image = grid()->viewport()->grab().toImage();
        auto pixel = [&](int row, int column, int dx) {
            const QRect r = grid()->visualRect(grid()->model()->index(row - 1, column));
            return QColor(image.pixel(r.left() + dx, r.top() + 3)).rgb();
        };
        EXPECT_EQ(pixel(kAuthorRow, 1, 2), QColor(128, 128, 128).rgb());
        EXPECT_EQ(pixel(3, 1, 2), QColor(128, 128, 128).rgb()); // YearPub
        EXPECT_NE(pixel(1, 1, 2), QColor(128, 128, 128).rgb()); // Title
        const QColor criteria = look.dark ? QColor(20, 20, 20) : QColor(255, 255, 255);
        EXPECT_EQ(pixel(3, 2, 60), criteria.rgb());
        keepScreenshot(form.get(), QStringLiteral("search-%1.png").arg(look.screen.width()));
        click(button("ExitButton"));
        EXPECT_FALSE(form->isVisible());
    }
}

TEST_F(SearchFormTest, KeysPutTwoLevelsInForceAsTheToolDoes) {
    onNextModal([&](QWidget* w) {
        ASSERT_EQ(w, form.get());
        activate(w);
        type(QStringLiteral("war"));
        // Down through the number and date rows leaves their masks untouched.
        key(Qt::Key_Down, Qt::NoModifier, kPurchDateRow - 1);
        EXPECT_EQ(grid()->currentRow(), kPurchDateRow - 1);
        key(Qt::Key_F, Qt::AltModifier); // Find More
        EXPECT_EQ(header(), " SEARCH CRITERIA    (Level 2)");
        EXPECT_EQ(cell(1), "");
        key(Qt::Key_Up, Qt::NoModifier, kPurchDateRow - kCategoryRow);
        type(QStringLiteral("poetry"));
        click(button("OkButton"));
    });
    search.DoSearch();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_TRUE(view.searchOnShown);
    EXPECT_EQ(view.counts, 1);
    EXPECT_EQ(shown(), (Rows{1, 2, 4}));
    EXPECT_EQ(toolSearch("--level 'Title contains war' --level 'Category contains poetry'"),
              shown());
}

TEST_F(SearchFormTest, OptionsDialogSetsOperatorsAndListValues) {
    showForm();
    onNextModal([&](QWidget* w) {
        auto* options = qobject_cast<TSearchOptions*>(w);
        ASSERT_NE(options, nullptr);
        activate(w);
        EXPECT_EQ(options->windowTitle(), "Search Options");
        EXPECT_EQ(options->findChild<QLabel*>("FieldNameLabel")->text(), "Cost");
        QListWidget* list = options->ListBox1();
        ASSERT_EQ(list->count(), 4);
        EXPECT_EQ(list->item(3)->text(), " > X < ");
        EXPECT_EQ(list->currentRow(), 0);
        keepScreenshot(w, QStringLiteral("search-options.png"));
        key(Qt::Key_Down, Qt::NoModifier, 3);
        key(Qt::Key_Return);
    });
    clickCell(kCostRow, 1);
    activate(form.get());
    EXPECT_EQ(form->rowOperator(kCostRow), OpBetween);
    EXPECT_EQ(grid()->currentRow(), kCostRow - 1);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    type(QStringLiteral("10       20"));
    EXPECT_EQ(editor->displayText(), "> 10        AND < 20      ");

    onNextModal([&](QWidget* w) {
        auto* options = qobject_cast<TSearchOptions*>(w);
        ASSERT_NE(options, nullptr);
        activate(w);
        EXPECT_EQ(options->ListBox1()->item(0)->text(), "YES");
        EXPECT_EQ(options->ListBox1()->item(1)->text(), "NO");
        QListWidget* list = options->ListBox1();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        click(options->findChild<QPushButton*>("OkButton"));
    });
    clickCell(kCheckOutRow, 1);
    activate(form.get());
    EXPECT_EQ(cell(kCostRow), "> 10        AND < 20      ");
    EXPECT_EQ(cell(kCheckOutRow), "YES");

    onNextModal([&](QWidget* w) {
        auto* options = qobject_cast<TSearchOptions*>(w);
        ASSERT_NE(options, nullptr);
        activate(w);
        EXPECT_EQ(options->ListBox1()->count(), 2); // the Author data list
        key(Qt::Key_Down, Qt::NoModifier, 2);
        key(Qt::Key_Return);
    });
    clickCell(kAuthorRow, 1);
    activate(form.get());
    EXPECT_EQ(cell(kAuthorRow), "Smith, Ann");
    keepScreenshot(form.get(), QStringLiteral("search-criteria.png"));

    // A click on a text row's cell or a field name opens nothing.
    clickCell(1, 1);
    clickCell(kCostRow, 0);
    EXPECT_EQ(grid()->currentRow(), kAuthorRow - 1);

    click(button("OkButton"));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(shown(), (Rows{1}));
    EXPECT_EQ(toolSearch("--level 'Cost between 10 and 20; CheckOut contains YES; Author "
                         "contains Smith, Ann'"),
              shown());

    // The operator stays for the whole run; the cells start empty.
    showForm();
    EXPECT_EQ(cell(kCostRow), "");
    EXPECT_EQ(form->rowOperator(kCostRow), OpBetween);
    clickCell(kCostRow, 2);
    auto* again = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->displayText(), ">           AND <         ");
    click(button("ExitButton"));
}

TEST_F(SearchFormTest, MessagesInRealBoxesAndANoMatchEndsTheSearch) {
    app::QtPrompter boxes;
    ctx.prompter = &boxes;
    SearchItem war{.Text = QStringLiteral("WAR"), .FieldNo = 1, .Op = OpContains, .LevelEnd = true};
    ASSERT_TRUE(search.Doit({war}));
    showForm();

    auto expectBox = [&](const char* caption, const QString& text) {
        onNextModal([=](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            activate(w);
            EXPECT_EQ(box->windowTitle(), caption);
            EXPECT_EQ(box->text(), text);
            test::clickDefaultButton(box);
        });
    };
    expectBox("Error", QStringLiteral("No search criteria entered."));
    click(button("OkButton"));
    EXPECT_TRUE(form->isVisible());
    activate(form.get());

    clickCell(kCostRow, 2);
    type(QStringLiteral("1,5"));
    clickCell(1, 2);
    expectBox("Error", QStringLiteral("Invalid search criteria entered.  Please correct."));
    click(button("OkButton"));
    EXPECT_TRUE(form->isVisible());
    activate(form.get());
    EXPECT_EQ(grid()->currentRow(), kCostRow - 1);
    EXPECT_EQ(shown(), (Rows{1, 2})); // the search in force is untouched

    key(Qt::Key_Backspace, Qt::NoModifier, 3);
    clickCell(1, 2);
    type(QStringLiteral("zebra"));
    expectBox("Notice",
              QStringLiteral("No valid matches found.  Search Criteria will be cleared."));
    click(button("OkButton"));
    EXPECT_TRUE(form->isVisible());
    activate(form.get());
    EXPECT_EQ(cell(1), "");
    EXPECT_EQ(cell(kCostRow), "");
    EXPECT_FALSE(ctx.SearchOn);
    EXPECT_EQ(shown(), (Rows{1, 2, 3, 4}));
    click(button("ExitButton"));
}

TEST_F(SearchFormTest, FindMoreStopsAtTheTenthLevel) {
    // Clear Search, Exit and OK each enable it again.
    for (const char* leave : {"ClearButton", "ExitButton", "OkButton"}) {
        showForm();
        for (int level = 1; level < 10; ++level) {
            type(QStringLiteral("e"));
            click(form->moreButton());
        }
        EXPECT_EQ(header(), " SEARCH CRITERIA    (Level 10)");
        EXPECT_FALSE(form->moreButton()->isEnabled());
        EXPECT_EQ(form->criteria().ItemCount(), 9);
        type(QStringLiteral("peace"));
        click(button(leave));
        EXPECT_TRUE(form->moreButton()->isEnabled()) << leave;
        if (form->isVisible())
            click(button("ExitButton"));
    }
    EXPECT_EQ(shown(), (Rows{3, 4})); // OK: the titles with an e
}

TEST_F(SearchFormTest, SeventyFiveItemsAndOneMoreClearsTheCriteria) {
    showForm();
    // Types "a" into the first `count` text rows, skipping number and date rows.
    auto fillTextRows = [&](int count) {
        clickCell(1, 2);
        for (int row = 1, filled = 0; row <= kRows && filled < count; ++row) {
            if (rowType(row) == RowType::Text) {
                type(QStringLiteral("a"));
                ++filled;
            }
            key(Qt::Key_Down);
        }
    };
    for (int count : {28, 28, 19}) {
        fillTextRows(count);
        key(Qt::Key_F, Qt::AltModifier); // Find More
    }
    EXPECT_EQ(form->criteria().ItemCount(), 75);
    EXPECT_EQ(header(), " SEARCH CRITERIA    (Level 4)");

    prompter.expectError(tooManyItemsText());
    fillTextRows(1);
    key(Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(prompter.done());
    EXPECT_EQ(form->criteria().ItemCount(), 0);
    EXPECT_EQ(header(), " SEARCH CRITERIA    (Level 1)");
    EXPECT_EQ(cell(1), "");
    EXPECT_TRUE(form->moreButton()->isEnabled());
    click(button("ExitButton"));
}

// Every showing and every way back to the grid leaves the editor open on the
// current cell, so a click on that cell and keys struck at once all land.
TEST_F(SearchFormTest, KeysTypedRightAfterAClickOnTheCurrentCellLandAfterEveryReturn) {
    // The messages come in real boxes, answered with Enter; anything else
    // shown fails the test.
    app::QtPrompter boxes;
    auto answerBox = [&](const QString& text, const std::function<void()>& show) {
        ctx.prompter = &boxes;
        onNextModal([=](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            activate(w);
            EXPECT_EQ(box->text(), text);
            key(Qt::Key_Return);
        });
        show();
        ctx.prompter = &prompter;
    };
    // Runs `leave` in one showing; then the Title cell takes "war" typed at
    // once after a click, and OK puts it in force.
    auto typeWarAfter = [&](const char* way, const std::function<void()>& leave,
                            const Rows& found = Rows{1, 2}) {
        SCOPED_TRACE(way);
        onNextModal([&](QWidget* w) {
            activate(w);
            EXPECT_TRUE(editorOnCurrentCell());
            leave();
            if (!form->isVisible())
                return;
            activate(w);
            EXPECT_TRUE(editorOnCurrentCell());
            QTest::qWait(50); // the user's hand moves to the cell
            clickOver(1, 2);
            typeAtOnce(QStringLiteral("war"));
            click(button("OkButton"));
        });
        search.DoSearch();
        if (!form->isVisible() && !ctx.SearchOn) {
            onNextModal([&](QWidget* w) {
                activate(w);
                EXPECT_TRUE(editorOnCurrentCell());
                clickOver(1, 2);
                typeAtOnce(QStringLiteral("war"));
                click(button("OkButton"));
            });
            search.DoSearch();
        }
        EXPECT_FALSE(form->isVisible());
        ASSERT_TRUE(ctx.SearchOn);
        ASSERT_FALSE(form->criteria().items().empty());
        EXPECT_EQ(form->criteria().items().back().Text, "WAR");
        EXPECT_EQ(shown(), found);
        search.DoEndSearch();
    };

    typeWarAfter("Exit", [&] { click(button("ExitButton")); });
    typeWarAfter(
        "Find More",
        [&] {
            type(QStringLiteral("peace"));
            key(Qt::Key_F, Qt::AltModifier);
        },
        Rows{1, 2, 3});
    EXPECT_EQ(form->criteria().ItemCount(), 2);
    typeWarAfter("Clear Search", [&] {
        type(QStringLiteral("peace"));
        click(button("ClearButton"));
    });
    EXPECT_EQ(form->criteria().ItemCount(), 1);
    typeWarAfter("an error message",
                 [&] { answerBox(kNoCriteriaText, [&] { click(button("OkButton")); }); });
    typeWarAfter("an invalid entry on the current row", [&] {
        clickOver(kCostRow, 2);
        type(QStringLiteral("1,5"));
        answerBox(kInvalidText, [&] { key(Qt::Key_O, Qt::AltModifier); });
        EXPECT_EQ(grid()->currentRow(), kCostRow - 1);
        activate(form.get());
        EXPECT_TRUE(editorOnCurrentCell());
        key(Qt::Key_A, Qt::ControlModifier);
        key(Qt::Key_Delete);
    });
}

// F4 or Alt+Down on a row opens its options as a drop-down opens, as its
// tooltip says; the list opens with its first entry current and chosen.
TEST_F(SearchFormTest, OptionsOpenByKeyWithAnEntryCurrent) {
    showForm();
    const QString listTip = QStringLiteral("F4 or Alt+Down: pick from the list");
    const QString operatorTip = QStringLiteral("F4 or Alt+Down: choose = > < or between");
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(grid()->item(kCheckOutRow - 1, column)->toolTip(), listTip);
        EXPECT_EQ(grid()->item(kCostRow - 1, column)->toolTip(), operatorTip);
        EXPECT_EQ(grid()->item(0, column)->toolTip(), "");
    }
    // Picks with `keys` from the options opened by `open` on the current row.
    auto pick = [&](Qt::Key open, Qt::KeyboardModifiers mods, int downs,
                    const QString& firstEntry) {
        bool opened = false;
        onNextModal([&](QWidget* w) {
            auto* options = qobject_cast<TSearchOptions*>(w);
            ASSERT_NE(options, nullptr);
            opened = true;
            activate(w);
            QListWidget* list = options->ListBox1();
            EXPECT_EQ(QApplication::focusWidget(), list);
            ASSERT_NE(list->currentItem(), nullptr);
            EXPECT_TRUE(list->currentItem()->isSelected());
            EXPECT_EQ(list->currentItem()->text(), firstEntry);
            key(Qt::Key_Down, Qt::NoModifier, downs);
            key(Qt::Key_Return);
        });
        key(open, mods);
        EXPECT_TRUE(opened);
        activate(form.get());
        EXPECT_TRUE(editorOnCurrentCell());
    };

    key(Qt::Key_Down, Qt::NoModifier, kCheckOutRow - 1);
    EXPECT_EQ(QApplication::focusWidget()->toolTip(), listTip);
    pick(Qt::Key_F4, Qt::NoModifier, 0, QStringLiteral("YES"));
    EXPECT_EQ(cell(kCheckOutRow), "YES");
    pick(Qt::Key_Down, Qt::AltModifier, 1, QStringLiteral("YES"));
    EXPECT_EQ(cell(kCheckOutRow), "NO");

    key(Qt::Key_Up, Qt::NoModifier, kCheckOutRow - kAuthorRow);
    pick(Qt::Key_F4, Qt::NoModifier, 0, QStringLiteral("Austen"));
    EXPECT_EQ(cell(kAuthorRow), "Austen");

    // The operator list opens on the row's operator; the editor comes back
    // with the new mask.
    key(Qt::Key_Down, Qt::NoModifier, kCostRow - kAuthorRow);
    pick(Qt::Key_Down, Qt::AltModifier, 3, QStringLiteral(" = "));
    EXPECT_EQ(form->rowOperator(kCostRow), OpBetween);
    EXPECT_EQ(grid()->currentRow(), kCostRow - 1);
    type(QStringLiteral("1"));
    EXPECT_EQ(qobject_cast<QLineEdit*>(QApplication::focusWidget())->displayText(),
              "> 1         AND <         ");
    pick(Qt::Key_F4, Qt::NoModifier, 0, QStringLiteral(" > X < "));
    EXPECT_EQ(form->rowOperator(kCostRow), OpBetween);
    click(button("ExitButton"));
}

// Tab goes through every criteria row and on to each button and back (Shift+Tab
// arrives as Backtab, as from a real keyboard); Space works a button; Escape
// first undoes the typing, then closes the window.
TEST_F(SearchFormTest, TabReachesEveryControlAndKeysWorkThem) {
    showForm();
    type(QStringLiteral("zebra"));
    key(Qt::Key_Tab, Qt::NoModifier, kRows - 1);
    EXPECT_EQ(grid()->currentRow(), kRows - 1);
    EXPECT_TRUE(editorOnCurrentCell());
    for (const char* name : {"OkButton", "ExitButton", "ClearButton", "MoreButton", "HelpButton"}) {
        key(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), button(name)) << name;
    }
    key(Qt::Key_Backtab, Qt::ShiftModifier, 2);
    EXPECT_EQ(QApplication::focusWidget(), button("ClearButton"));
    key(Qt::Key_Space);
    EXPECT_EQ(cell(1), "");
    EXPECT_TRUE(editorOnCurrentCell());

    key(Qt::Key_Backtab, Qt::ShiftModifier, kRows - 1);
    EXPECT_EQ(grid()->currentRow(), 0);
    key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), button("HelpButton"));
    key(Qt::Key_Tab);
    EXPECT_TRUE(editorOnCurrentCell());

    type(QStringLiteral("war"));
    key(Qt::Key_Escape);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(editorOnCurrentCell());
    EXPECT_EQ(qobject_cast<QLineEdit*>(QApplication::focusWidget())->text(), "");
    // Enter keeps what was typed and the editor stays.
    type(QStringLiteral("war"));
    key(Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(cell(1), "war");
    EXPECT_TRUE(editorOnCurrentCell());
    key(Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
}
