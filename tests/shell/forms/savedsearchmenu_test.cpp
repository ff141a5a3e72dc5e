#include "app/forms/qtprompter.h"
#include "core/profile.h"
#include "find/savedsearches.h"
#include "shell/forms/savedsearchmenu.h"
#include "shell/forms/tmain.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

using namespace shelvix;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

const QDate kToday(2026, 6, 30);

// The main window on five books, three of them lent for 10, 28 and 60
// days, one lent without a date, one back; Overdue counts from kToday.
class SavedSearchMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        start();
        window.reset();
        auto t = db::Table::open(home / "MASTER.DBF", db::OpenMode::Shared);
        const struct {
            const char* title;
            const char* out;
            int daysAgo; // -1: no date
        } books[] = {{"Emma", "Yes", 10},
                     {"War and Peace", "Yes", 60},
                     {"Middlemarch", "Yes", -1},
                     {"Orlando", "No", 2000},
                     {"Bleak House", "Yes", 28}};
        for (const auto& b : books) {
            t->insert();
            t->setText("TITLE", b.title);
            t->setText("CHECKOUT", b.out);
            if (b.daysAgo >= 0)
                t->setText("CHECKDATE",
                           kToday.addDays(-b.daysAgo).toString("yyyyMMdd").toStdString());
            t->post();
        }
        t.reset();
        start();
    }
    void start() {
        QStringList args{QStringLiteral("shelvix"), QStringLiteral("--home"), q(home.path())};
        ctx.paths = app::AppPaths::resolve(args, QProcessEnvironment(), q(home.path()));
        ctx.prompter = prompter;
        window = std::make_unique<shell::TMain>(ctx);
        ASSERT_TRUE(window->FormCreate());
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        window->findChild<shell::SavedSearchMenu*>()->commands().today = [] { return kToday; };
    }
    void TearDown() override { window.reset(); }

    QMenu* popup() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }
    // Alt+N, then the letter of Saved Searches.
    QMenu* openSavedSearches() {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::AltModifier);
        if (!QTest::qWaitFor([&] { return popup() && popup()->objectName() == "MenuNavigate"; }))
            return nullptr;
        QTest::keyClick(popup(), Qt::Key_A);
        const bool open = QTest::qWaitFor(
            [&] { return popup() && popup()->objectName() == "MenuSavedSearches"; });
        return open ? popup() : nullptr;
    }
    // A key in the open submenu; its command runs and the menus close.
    void press(Qt::Key key) {
        QMenu* menu = openSavedSearches();
        ASSERT_NE(menu, nullptr);
        QTest::keyClick(menu, key);
        ASSERT_TRUE(QTest::qWaitFor([&] { return popup() == nullptr; }));
    }
    // Down the submenu to the item shown as `text`, then Enter.
    void choose(const QString& text) {
        QMenu* menu = openSavedSearches();
        ASSERT_NE(menu, nullptr);
        for (int i = 0; i < 12 && !(menu->activeAction() && menu->activeAction()->text() == text);
             ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        ASSERT_TRUE(menu->activeAction());
        ASSERT_EQ(menu->activeAction()->text(), text);
        QTest::keyClick(menu, Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return popup() == nullptr; }));
    }
    QStringList items(QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("-")
                                     : a->text() + (a->isEnabled() ? "" : " (off)"));
        return out;
    }
    QString count() { return window->findChild<QLabel*>("CountLabel")->text(); }
    find::SavedSearches saved() { return find::SavedSearches::load(q(home / "MASTER.INI")); }

    test::TempDir home;
    test::ScriptedPrompter scripted;
    app::Prompter* prompter = &scripted;
    app::AppContext ctx;
    std::unique_ptr<shell::TMain> window;
};

const QString kSave = QStringLiteral("Save Current Search");
const QString kNameLabel = QStringLiteral("Name of the saved search:");

} // namespace

// The built-ins put their search in force; the search in force is saved
// under an odd name (a built-in's refused, an existing one replaced only
// when agreed), recalled, and deleted; the loan period moves Overdue.
TEST_F(SavedSearchMenuTest, SaveRecallAndDeleteByKeys) {
    QMenu* menu = openSavedSearches();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(items(menu), (QStringList{"&Save Current Search... (off)", "-", "&On Loan",
                                        "O&verdue", "-", "&Delete Saved Search... (off)"}));
    menu->close();
    QTest::keyClick(popup(), Qt::Key_Escape);

    press(Qt::Key_O);
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_EQ(count(), "4"); // the dateless loan too
    press(Qt::Key_V);
    EXPECT_EQ(count(), "1"); // 60 days; 28 is not past the period

    const QString name = QStringLiteral("Late & [lent]; \u0436=1");
    scripted.expectText({kSave, kNameLabel, ""}, QStringLiteral("  overdue "))
        .expectError(QStringLiteral(
            "\"overdue\" is the name of a built-in search.  Please choose another name."))
        .expectText({kSave, kNameLabel, "overdue"}, name);
    press(Qt::Key_S);
    ASSERT_EQ(saved().names(), QStringList{name});
    EXPECT_EQ(saved().find(name)->items, find::overdueSearch(kToday, 28));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_I, Qt::ControlModifier); // End Search
    EXPECT_FALSE(ctx.SearchOn);
    EXPECT_EQ(count(), "5");
    choose(QStringLiteral("Late && [lent]; \u0436=1"));
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_EQ(count(), "1");

    const std::string before = test::readFile(home / "MASTER.INI");
    scripted.expectText({kSave, kNameLabel, ""}, QStringLiteral("LATE & [LENT]; \u0416=1"))
        .expectConfirm(QStringLiteral("Confirm"),
                       "A saved search named \"" + name + "\" already exists.  Replace it?",
                       app::Button::No, app::Button::No)
        .expectText({kSave, kNameLabel, QStringLiteral("LATE & [LENT]; \u0416=1")}, std::nullopt);
    press(Qt::Key_S);
    EXPECT_EQ(test::readFile(home / "MASTER.INI"), before);

    scripted.expectNumber({QStringLiteral("Loan Period"),
                           QStringLiteral("Days a book may be out before it is overdue:"), 28, 1,
                           3650},
                          14);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup() && popup()->objectName() == "MenuOptions"; }));
    QTest::keyClick(popup(), Qt::Key_P);
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup() == nullptr; }));
    EXPECT_EQ(saved().loanPeriod(), 14);
    press(Qt::Key_V);
    EXPECT_EQ(count(), "2"); // 28 days is past 14

    scripted.expectChoice(
        {QStringLiteral("Delete Saved Search"), QStringLiteral("Saved search to delete:"), {name}},
        0);
    press(Qt::Key_D);
    EXPECT_TRUE(saved().entries().empty());
    EXPECT_EQ(saved().loanPeriod(), 14);
    scripted.verify();
}

// With the real boxes: an empty name is refused with a message and the
// name asked for again; cancelling then saves nothing.
TEST_F(SavedSearchMenuTest, RealBoxesRefuseAnEmptyName) {
    app::QtPrompter real;
    ctx.prompter = &real;
    press(Qt::Key_O);
    ASSERT_TRUE(ctx.SearchOn);
    QStringList shown;
    test::onNextModal([&](QWidget* box) {
        shown << box->windowTitle();
        auto* edit = box->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        QTest::keyClicks(edit, QStringLiteral("   "));
        test::onNextModal([&](QWidget* error) {
            shown << static_cast<QMessageBox*>(error)->text();
            test::onNextModal([&](QWidget* again) {
                shown << again->windowTitle() + ": " + again->findChild<QLineEdit*>()->text();
                QTest::keyClick(again, Qt::Key_Escape);
            });
            QTest::keyClick(error, Qt::Key_Return);
        });
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QMenu* menu = openSavedSearches();
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_S);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 3; }));
    EXPECT_EQ(shown, (QStringList{kSave, "A saved search needs a name.", kSave + ": "}));
    EXPECT_FALSE(core::Profile::load(home / "MASTER.INI").hasSection("Saved Searches"));
}

// A picture of Navigate > Saved Searches open: set SHELVIX_SCREENSHOTS to
// a directory to get it.
TEST_F(SavedSearchMenuTest, Screenshot) {
    const QString out = qEnvironmentVariable("SHELVIX_SCREENSHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "SHELVIX_SCREENSHOTS not set";
    find::SavedSearches searches;
    searches.put(QStringLiteral("Late & [lent]; \u0436=1"), find::overdueSearch(kToday, 14));
    searches.put(QStringLiteral("Poetry, any decade"), find::onLoanSearch());
    ASSERT_TRUE(searches.save(q(home / "MASTER.INI"), ctx.database));
    press(Qt::Key_O);
    QMenu* sub = openSavedSearches();
    ASSERT_NE(sub, nullptr);
    QMenu* navigate = window->findChild<QMenu*>("MenuNavigate");
    QTest::qWait(200);
    const QPoint origin = window->geometry().topLeft();
    QRect area(origin, window->size());
    for (QMenu* m : {navigate, sub})
        area |= m->geometry();
    QImage picture(area.size(), QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.drawPixmap(origin - area.topLeft(), window->grab());
    for (QMenu* m : {navigate, sub})
        painter.drawPixmap(m->geometry().topLeft() - area.topLeft(), m->grab());
    painter.end();
    QDir().mkpath(out);
    EXPECT_TRUE(picture.save(out + "/saved-searches-menu.png"));
    QTest::keyClick(sub, Qt::Key_Escape);
    QTest::keyClick(navigate, Qt::Key_Escape);
    QTest::keyClick(navigate, Qt::Key_Escape);

    // The Options menu with the program's own settings at its end.
    QMenu* options = window->findChild<QMenu*>("MenuOptions");
    QTest::keyClick(window.get(), Qt::Key_O, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return options->isVisible(); }));
    QTest::qWait(200);
    QImage menu(QRect(origin, window->size()).united(options->geometry()).size(),
                QImage::Format_RGB32);
    menu.fill(Qt::white);
    QPainter p2(&menu);
    p2.drawPixmap(QPoint(0, 0), window->grab());
    p2.drawPixmap(options->geometry().topLeft() - origin, options->grab());
    p2.end();
    EXPECT_TRUE(menu.save(out + "/options-menu.png"));
    QTest::keyClick(options, Qt::Key_Escape);
}
