#pragma once

// What the locate and replace window tests share: a small book table opened
// as the main window opens it, and keys sent where the user's would go.

#include "app/databases.h"
#include "db/booktable.h"
#include "db/sortorder.h"
#include "find/search.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

namespace shelvix::test {

struct FindMainView : app::DatabaseView, find::SearchView {
    find::Search* search = nullptr;
    int viewerOptions = 0;
    void setCaption(const QString&) override {}
    void tableClosing() override {}
    void DoFileSpecific() override {}
    void SetMenuLastFiles() override {}
    void DisplayCount() override {}
    void SetViewerOptions() override { ++viewerOptions; }
    void DoEndSearch() override { search->DoEndSearch(); }
    void EnableEndSearch() override { search->EnableEndSearch(); }
    void showSearchOn(bool) override {}
    void showSearchWindow() override {}
};

class FindFormTest : public ::testing::Test {
protected:
    // Titles and authors, shown in author order.
    FindFormTest() : dbs(ctx, view), search(ctx, dbs, view) {
        ctx.prompter = &prompter;
        ctx.screenSize = {1024, 768};
        ctx.formats.setDateFormat(7);
        view.search = &search;
        path = dir / "BOOKS.DBF";
        db::createBookTable(path);
        {
            auto t = db::Table::open(path, db::OpenMode::Exclusive);
            const std::vector<std::array<const char*, 4>> books = {
                {"Warlock", "Smith", "10", "19970315"},  {"The End", "Jones", "12.5", ""},
                {"the road", "SMITH", "10", "19970315"}, {"Emma", "Smithson", "3", ""},
                {"THE HOBBIT", "Adams", "10", ""},
            };
            for (const auto& b : books) {
                t->insert();
                t->setText("Title", b[0]);
                t->setText("Author", b[1]);
                t->setText("Cost", b[2]);
                t->setText("PurchDate", b[3]);
                t->post();
            }
            ctx.sortExpression = db::buildSortString({db::field::Author, 0, 0, 0});
            ctx.sortTag = db::applySortTag(*t, ctx.sortExpression);
        }
        ctx.current = db::DatabaseFiles::of(QString::fromStdString(path.string()));
        EXPECT_TRUE(dbs.openMyTable());
    }
    ~FindFormTest() override { ctx.MyTable.reset(); }

    // Keys go where the user's would: to the widget with the focus.
    static void activate(QWidget* w) {
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        ASSERT_TRUE(QTest::qWaitFor([w] {
            return QApplication::focusWidget() && QApplication::focusWidget()->window() == w;
        }));
    }
    static void type(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    static void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), k, mods);
    }
    // A button's mnemonic; the click comes once the button has been shown down.
    static void alt(Qt::Key k) {
        QWidget* window = QApplication::activeWindow();
        QTest::keyClick(QApplication::focusWidget(), k, Qt::AltModifier);
        if (!window)
            return;
        for (auto* b : window->findChildren<QAbstractButton*>()) {
            EXPECT_TRUE(QTest::qWaitFor([b] { return !b->isDown(); }));
        }
    }
    std::vector<std::string> column(const char* field) {
        std::vector<std::string> out;
        // Every record in record order, whatever the window shows.
        auto table = db::Table::open(path, db::OpenMode::ReadOnly);
        table->scan([&](const db::RecordView& r) {
            out.emplace_back(r.text(field));
            return false;
        });
        return out;
    }
    static void keepScreenshot(QWidget* w, const QString& name) {
        const QString dirName = qEnvironmentVariable("SHELVIX_SCREENSHOT_DIR");
        if (!dirName.isEmpty())
            w->grab().save(QDir(dirName).filePath(name));
    }

    TempDir dir;
    std::filesystem::path path;
    ScriptedPrompter prompter;
    app::AppContext ctx;
    FindMainView view;
    app::Databases dbs;
    find::Search search;
};

} // namespace shelvix::test
