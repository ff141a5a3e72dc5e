#include "db/engine/table.h"
#include "find/forms/tmylocate.h"
#include "shell/forms/tmain.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
#include "viewer/forms/viewergrid.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace shelvix;

namespace {

// The commands as the main window offers them, from its keys.
TEST(MainWindowLocate, CtrlNBeforeAnySearchOpensTheFormThenRepeatsIt) {
    test::TempDir home;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    const QString dir = QString::fromStdString(home.path().string());
    ctx.paths = app::AppPaths::resolve({QStringLiteral("shelvix"), QStringLiteral("--home"), dir},
                                       QProcessEnvironment(), dir);
    ctx.prompter = &prompter;
    auto window = std::make_unique<shell::TMain>(ctx);
    ASSERT_TRUE(window->FormCreate());
    {
        auto t = db::Table::open(home / "MASTER.DBF", db::OpenMode::Shared);
        for (int i = 0; i < 5; ++i) {
            t->insert();
            t->setText("AUTHOR", "Author " + std::to_string(i));
            t->post();
        }
    }
    ctx.MyTable->refresh();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ASSERT_NE(window->locateDialog(), nullptr);
    for (const char* name : {"MenuLocate", "MenuLocateNext", "MenuSearchReplace"})
        EXPECT_TRUE(window->findChild<QAction*>(QString::fromLatin1(name))->isEnabled()) << name;

    const auto focusGrid = [&] {
        // Nothing reactivates the main window offscreen once a dialog is gone.
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window.get(); }));
        window->viewerGrid()->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }));
    };
    focusGrid();
    test::onNextModal([&](QWidget* w) {
        auto* f = qobject_cast<find::TMyLocateDlg*>(w);
        ASSERT_NE(f, nullptr);
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        EXPECT_EQ(w->windowTitle(), "Locate Field Value");
        EXPECT_TRUE(f->NextButton->isDefault());
        f->FieldNameComboBox->setFocus();
        QTest::keyClicks(f->FieldNameComboBox, QStringLiteral("Author"));
        // The dialog's own focus: a late activation of the main window may
        // still take the application's.
        ASSERT_EQ(f->focusWidget(), f->SearchValue);
        QTest::keyClicks(f->SearchValue, QStringLiteral("author 3"));
        QTest::keyClick(f->SearchValue, Qt::Key_Return);
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(ctx.MyTable->text("AUTHOR"), "Author 3");

    prompter.expectMessage({.kind = app::MessageKind::Information,
                            .caption = QStringLiteral("Information"),
                            .text = QStringLiteral("No more matches found")},
                           app::Button::Ok);
    focusGrid();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(ctx.MyTable->text("AUTHOR"), "Author 3");
    window->close();
}

} // namespace
