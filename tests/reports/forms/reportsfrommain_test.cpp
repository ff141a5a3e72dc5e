// Reports run from the main window: afterwards the grid is on the book the
// user had chosen, and under a search the count is the search's.
#include "app/forms/tmain.h"
#include "db/engine/table.h"
#include "find/criteria.h"
#include "find/search.h"
#include "reports/forms/tmyreport.h"
#include "reports/forms/treportform.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
#include "viewer/forms/viewergrid.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace shelvix::reports {
namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

class ReportsFromMainTest : public ::testing::Test {
protected:
    void start() {
        const QStringList args{"shelvix", "--home", q(home.path())};
        ctx.paths = app::AppPaths::resolve(args, QProcessEnvironment(), q(home.path()));
        ctx.prompter = &prompter;
        window = std::make_unique<app::TMain>(ctx);
        ASSERT_TRUE(window->FormCreate());
        window->show();
    }
    void addBooks() {
        auto t = db::Table::open(home / "MASTER.DBF", db::OpenMode::Shared);
        for (const char* author : {"Adams", "Brown", "Clark"}) {
            for (int i = 1; i <= 4; ++i) {
                t->insert();
                t->setText("AUTHOR", author);
                t->setText("TITLE", std::string("Book ") + author[0] + std::to_string(i));
                t->post();
            }
        }
    }
    QString count() { return window->findChild<QLabel*>("CountLabel")->text(); }
    void focusGrid() {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window.get(); }));
        window->viewerGrid()->setFocus();
    }
    // Ctrl+R, then "Value Report" printed to a text file from the list,
    // with the entire catalogue when `entire`.
    void printValueReport(const std::filesystem::path& txt, bool entire) {
        app::FileRequest save;
        save.mode = app::FileMode::Save;
        save.title = "Save Report As a Text File";
        save.filter = "Text Files (*.TXT)|*.TXT|PDF Files (*.PDF)|*.PDF";
        save.defaultExtension = "TXT";
        save.flags = app::FileFlag::OverwritePrompt | app::FileFlag::HideReadOnly |
                     app::FileFlag::PathMustExist;
        prompter.expectFile(save, q(txt));
        bool ran = false;
        test::onNextModal(
            [&](QWidget* w) {
                auto* list = qobject_cast<TMyReport*>(w);
                ASSERT_TRUE(list);
                ASSERT_TRUE(QTest::qWaitFor([w] {
                    return QApplication::focusWidget() &&
                           QApplication::focusWidget()->window() == w;
                }));
                if (entire) {
                    QTest::mouseClick(list->ExportEntire, Qt::LeftButton, {},
                                      QPoint(8, list->ExportEntire->height() / 2));
                    list->ReportBox->setFocus();
                }
                list->ReportBox->setCurrentRow(6); // "Value Report"
                // OK once the run is over, from a timer: never waiting
                // inside the run's own event handling.
                test::onNextModal(
                    [&](QWidget* status) {
                        auto* form = qobject_cast<TReportForm*>(status);
                        ASSERT_TRUE(form);
                        auto* timer = new QTimer(form);
                        QObject::connect(timer, &QTimer::timeout, form, [form, timer, &ran] {
                            if (!form->Finished()) {
                                return;
                            }
                            timer->stop();
                            ran = true;
                            QTest::keyClick(form->focusWidget() ? form->focusWidget() : form,
                                            Qt::Key_Return);
                        });
                        timer->start(1);
                    },
                    30000);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
                w->activateWindow();
                ASSERT_TRUE(QTest::qWaitFor([w] {
                    return QApplication::focusWidget() &&
                           QApplication::focusWidget()->window() == w;
                }));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            },
            60000);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::ControlModifier);
        EXPECT_TRUE(ran);
    }

    test::TempDir home;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    std::unique_ptr<app::TMain> window;
};

TEST_F(ReportsFromMainTest, TheChosenBookAndTheSearchCountComeBackAfterARun) {
    start();
    window->close();
    window.reset();
    addBooks();
    start();
    ASSERT_EQ(count(), "12");

    // The third book chosen with the keys; a report walks every book.
    focusGrid();
    QTest::keyClick(window->viewerGrid(), Qt::Key_Down);
    QTest::keyClick(window->viewerGrid(), Qt::Key_Down);
    const std::uint32_t chosen = ctx.MyTable->recno();
    ASSERT_EQ(ctx.MyTable->text("TITLE"), "Book A3");
    printValueReport(home / "ALL.TXT", false);
    EXPECT_NE(test::readFile(home / "ALL.TXT").find("Book C4"), std::string::npos);
    EXPECT_EQ(ctx.MyTable->recno(), chosen);
    EXPECT_EQ(window->viewerGrid()->currentIndex().row(), 2);

    // A search for Brown in force, as the search form's OK leaves it; its
    // third book chosen; then "Print Entire Database".
    const find::SearchItem brownItem{
        .Text = QStringLiteral("BROWN"), .FieldNo = 2, .Op = find::OpContains, .LevelEnd = true};
    ASSERT_TRUE(window->search().Doit({brownItem}));
    window->DisplayCount();
    ASSERT_TRUE(ctx.SearchOn);
    ASSERT_EQ(count(), "4");
    focusGrid();
    QTest::keyClick(window->viewerGrid(), Qt::Key_Down);
    QTest::keyClick(window->viewerGrid(), Qt::Key_Down);
    ASSERT_EQ(ctx.MyTable->text("TITLE"), "Book B3");
    const std::uint32_t brown = ctx.MyTable->recno();

    printValueReport(home / "ENTIRE.TXT", true);
    EXPECT_NE(test::readFile(home / "ENTIRE.TXT").find("Book C4"), std::string::npos);
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_TRUE(window->findChild<QLabel*>("SearchOnLabel")->isVisible());
    EXPECT_EQ(count(), "4");
    EXPECT_EQ(ctx.MyTable->recordCount(), 4u);
    EXPECT_EQ(ctx.MyTable->recno(), brown);
    EXPECT_EQ(window->viewerGrid()->currentIndex().row(), 2);
    prompter.verify();
}

} // namespace
} // namespace shelvix::reports
