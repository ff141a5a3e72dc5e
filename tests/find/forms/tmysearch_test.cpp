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

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

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
            if (mods & Qt::AltModifier) {
                for (auto* b : QApplication::activeWindow()->findChildren<QPushButton*>()) {
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
    QString cell(int row) { return grid()->item(row - 1, 2)->text(); }
    QString header() { return grid()->horizontalHeaderItem(2)->text(); }
    std::vector<std::uint32_t> shown() {
        std::vector<std::uint32_t> out;
        for (std::uint32_t r = 0; r < ctx.MyTable->rowCount(); ++r)
            out.push_back(ctx.MyTable->recordAtRow(r));
        return out;
    }
    std::vector<std::uint32_t> toolSearch(const std::string& levels) {
        const std::string out = run(std::string("'") + SHELVIX_TOOL_PATH + "' search '" +
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
