#pragma once

// What the edit form tests share: the main window made as main() makes it,
// its edit form, and keys sent where the user's would go.

#include "app/forms/qtprompter.h"
#include "edit/forms/tmyedit.h"
#include "edit/forms/tmyeditbox.h"
#include "shell/forms/tmain.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
#include "support/tool.h"
#include "viewer/forms/viewergrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>

namespace shelvix::test {

inline QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

inline const app::Message kExitQuestion{
    .kind = app::MessageKind::Warning,
    .caption = "Warning",
    .text = "Data has changed.  Do you want to exit without updating?",
    .buttons = app::Button::Yes | app::Button::No,
    .defaultButton = app::Button::No};

inline app::Message updateQuestion(const QString& text) {
    return {.kind = app::MessageKind::Warning,
            .caption = "Warning",
            .text = text,
            .buttons = app::Button::Yes | app::Button::No | app::Button::Cancel,
            .defaultButton = app::Button::No};
}

class EditFormTest : public ::testing::Test {
protected:
    void start(QStringList args = {}) {
        args.prepend(QStringLiteral("shelvix"));
        args << QStringLiteral("--home") << q(home.path());
        ctx = std::make_unique<app::AppContext>();
        ctx->paths = app::AppPaths::resolve(args, QProcessEnvironment(), q(home.path()));
        ctx->browseMode = ctx->paths.browseMode;
        ctx->prompter = &prompter;
        window = std::make_unique<shell::TMain>(*ctx);
        ASSERT_TRUE(window->FormCreate());
        window->show();
        form = window->editForm();
        ASSERT_NE(form, nullptr);
    }
    void stop() {
        window->close();
        window.reset();
        ctx.reset();
    }
    // The form shown for `mode` without its modal loop, so the test drives it.
    void open(int mode) {
        ctx->EditMode = app::EditMode(mode);
        form->show();
    }
    QLineEdit* edit(const char* name) {
        auto* e = qobject_cast<QLineEdit*>(form->control(QString::fromLatin1(name)));
        EXPECT_NE(e, nullptr) << name;
        return e;
    }
    QComboBox* combo(const char* name) {
        return qobject_cast<QComboBox*>(form->control(QString::fromLatin1(name)));
    }
    QCheckBox* checkOut() { return qobject_cast<QCheckBox*>(form->control("CheckOut")); }
    void leave(QWidget* w) {
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(w, &out);
    }
    // Shown and active, so its shortcuts take keys as a user's would.
    void openActive(int mode) {
        open(mode);
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    }
    // Keys go where the user's would: to the control that has the focus.
    static void keys(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    static void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), k, mods);
    }
    void addBook(const char* title, const char* author) {
        ctx->MyTable->insert();
        ctx->MyTable->setText("TITLE", title);
        ctx->MyTable->setText("AUTHOR", author);
        ctx->MyTable->post();
    }

    test::TempDir home;
    test::ScriptedPrompter prompter;
    std::unique_ptr<app::AppContext> ctx;
    std::unique_ptr<shell::TMain> window;
    edit::TMyEdit* form = nullptr;
};

} // namespace shelvix::test
