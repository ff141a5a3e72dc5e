// The edit form from the keyboard: menu keys, Enter, Escape and typing into
// what a field shows.

#include "edit/forms/editforms.h"

using namespace shelvix;
using namespace shelvix::test;
using edit::TMyEdit;

TEST_F(EditFormTest, MenuShortcutsWorkFromEveryControlAndNeverEditIt) {
    start();
    addBook("A", "Adams");
    addBook("B", "Brown");
    ctx->MyTable->first();
    openActive(2);

    edit("YearPub")->setFocus();
    key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(edit("Title")->text(), "B");
    key(Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(edit("Title")->text(), "A");
    // Ctrl+Y is also the line editor's redo: the menu must have it.
    edit("Title")->setFocus();
    key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(form->windowTitle(), "Edit (New Copied Record)");
    EXPECT_EQ(edit("Title")->text(), "A");
    // Ctrl+U from a drop-down's edit part saves the copy and closes.
    combo("Author")->setFocus();
    key(Qt::Key_U, Qt::ControlModifier);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ctx->MyTable->recordCount(), 3u);

    openActive(2);
    edit("PurchDate")->setFocus();
    key(Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(form->windowTitle(), "Edit (New Record)");
    edit("Title")->setFocus();
    keys("Cee");
    key(Qt::Key_R, Qt::ControlModifier); // update
    EXPECT_EQ(ctx->MyTable->recordCount(), 4u);
    EXPECT_EQ(ctx->MyTable->text("TITLE"), "Cee");
    prompter.expectPrint({}, std::nullopt);
    key(Qt::Key_T, Qt::ControlModifier); // print: the dialog is cancelled
    key(Qt::Key_L, Qt::ControlModifier); // clear
    EXPECT_EQ(edit("Title")->text(), "");
    EXPECT_EQ(edit("Cost")->text(), "0");
    form->done(0);
    stop();

    // Browse mode: the disabled items still keep their keys from the field.
    start({"/BROWSE"});
    openActive(2);
    edit("Title")->setFocus();
    const QString shown = edit("Title")->text();
    ASSERT_FALSE(shown.isEmpty());
    edit("Title")->selectAll();
    for (Qt::Key k : {Qt::Key_X, Qt::Key_D, Qt::Key_U, Qt::Key_E, Qt::Key_L, Qt::Key_R})
        key(k, Qt::ControlModifier);
    EXPECT_EQ(edit("Title")->text(), shown);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), "Edit");
    form->done(0);
    stop();
}

// New, Copy and Clear start the next book at its title, whatever page and
// field the last one ended on.
TEST_F(EditFormTest, NewCopyAndClearTypeIntoTheTitle) {
    start();
    addBook("A", "Adams");
    ctx->MyTable->first();
    openActive(2);
    auto* pages = form->findChild<QTabWidget*>();
    const auto toLastField = [&] {
        pages->setCurrentIndex(4);
        edit("UserDef6")->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), edit("UserDef6"));
    };
    toLastField();
    key(Qt::Key_E, Qt::ControlModifier); // New Record
    EXPECT_EQ(pages->currentIndex(), 0);
    keys("Bleak House");
    EXPECT_EQ(edit("Title")->text(), "Bleak House");
    EXPECT_EQ(edit("UserDef6")->text(), "");
    key(Qt::Key_R, Qt::ControlModifier); // Update

    toLastField();
    key(Qt::Key_Y, Qt::ControlModifier); // Copy Record
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), edit("Title"));
    EXPECT_EQ(edit("Title")->text(), "Bleak House");

    toLastField();
    key(Qt::Key_L, Qt::AltModifier); // the Clear button
    EXPECT_TRUE(QTest::qWaitFor([&] { return edit("Title")->text().isEmpty(); }));
    EXPECT_EQ(pages->currentIndex(), 0);
    keys("Emma");
    EXPECT_EQ(edit("Title")->text(), "Emma");
    form->done(0);
    stop();
}

// The close box, Escape and Exit ask the same question about typed changes,
// and No keeps the form with them.
TEST_F(EditFormTest, EveryWayOutAsksAboutChanges) {
    start();
    addBook("A", "Adams");
    ctx->MyTable->first();
    const std::function<void()> ways[] = {
        [&] { form->close(); }, // the window's close button
        [&] { key(Qt::Key_Escape); },
        [&] { key(Qt::Key_X, Qt::AltModifier); },
    };
    for (const auto& leave : ways) {
        openActive(2);
        edit("Title")->setFocus();
        key(Qt::Key_End);
        keys("Z");
        prompter.expectMessage(kExitQuestion, app::Button::No);
        leave();
        ASSERT_TRUE(QTest::qWaitFor([&] { return prompter.done(); }));
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(edit("Title")->text(), "AZ");
        prompter.expectMessage(kExitQuestion, app::Button::Yes);
        leave();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }));
        EXPECT_EQ(ctx->MyTable->text("TITLE"), "A");
    }
    // Unchanged, the close button closes at once.
    openActive(2);
    form->close();
    EXPECT_FALSE(form->isVisible());
    stop();
}

TEST_F(EditFormTest, TypingAfterEnterOrAClickReplacesWhatTheFieldShowed) {
    start();
    addBook("A", "Adams");
    ctx->MyTable->first();
    ctx->MyTable->edit();
    ctx->MyTable->setDate("PURCHDATE", db::Date{1970, 6, 19});
    ctx->MyTable->post();
    openActive(2);

    // Enter selects the next field's text as Tab does: the typing replaces it.
    edit("Pages")->setFocus();
    key(Qt::Key_Return);
    ASSERT_EQ(QApplication::focusWidget(), edit("PurchDate"));
    keys("07041976");
    EXPECT_EQ(edit("PurchDate")->text(), "07/04/1976");
    combo("Location")->setFocus();
    key(Qt::Key_Return);
    ASSERT_EQ(QApplication::focusWidget(), edit("Cost"));
    keys("-5");
    key(Qt::Key_Return);
    EXPECT_EQ(edit("Cost")->text(), "-5.00");
    EXPECT_EQ(QApplication::focusWidget(), edit("Value"));

    // A click anywhere into an empty date starts at its first digit.
    form->findChild<QTabWidget*>()->setCurrentIndex(3);
    QLineEdit* checkDate = edit("CheckDate");
    ASSERT_TRUE(form->values()[18].trimmed() == "/  /");
    QTest::mouseClick(checkDate, Qt::LeftButton, {},
                      QPoint(checkDate->width() - 8, checkDate->height() / 2));
    keys("03092024");
    EXPECT_EQ(checkDate->text(), "03/09/2024");

    QTest::mouseClick(form->findChild<QPushButton*>("UpdateButton"), Qt::LeftButton);
    EXPECT_EQ(ctx->MyTable->date("PURCHDATE"), (db::Date{1976, 7, 4}));
    EXPECT_EQ(ctx->MyTable->date("CHECKDATE"), (db::Date{2024, 3, 9}));
    EXPECT_EQ(ctx->MyTable->number("COST"), -5);
    form->done(0);
    stop();
}

TEST_F(EditFormTest, AnAmountThatIsNotANumberIsRefusedAndKeptAsTyped) {
    start();
    addBook("A", "Adams");
    ctx->MyTable->first();
    app::QtPrompter real;
    ctx->prompter = &real;
    openActive(2);
    form->findChild<QTabWidget*>()->setCurrentIndex(2);
    edit("HighMarket")->setFocus();
    keys("12x");
    edit("LowMarket")->setFocus(); // leaving it keeps the text for the update to refuse
    EXPECT_EQ(edit("HighMarket")->text(), "12x");

    for (int attempt = 0; attempt < 2; ++attempt) {
        bool shown = false;
        onNextModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), "Error");
            EXPECT_EQ(box->text(), "Invalid high market value specified.  Please correct.");
            shown = true;
            test::clickDefaultButton(box);
        });
        key(Qt::Key_R, Qt::ControlModifier);
        form->activateWindow(); // no window manager may hand the focus back
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
        EXPECT_TRUE(shown) << attempt;
        EXPECT_EQ(edit("HighMarket")->text(), "12x") << attempt;
        EXPECT_EQ(form->focusWidget(), edit("HighMarket"));
    }
    EXPECT_TRUE(ctx->MyTable->isEmpty("HIGHMARKET"));

    edit("HighMarket")->selectAll();
    keys("12");
    key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(ctx->MyTable->number("HIGHMARKET"), 12);
    form->done(0);
    ctx->prompter = &prompter;
    stop();
}

TEST_F(EditFormTest, MainWindowShortcutsWorkFromAGridCellAndKeepItsTyping) {
    start();
    addBook("A", "Adams");
    ctx->MyTable->first();
    ctx->database.fieldEditing = true;
    window->SetViewerOptions();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    viewer::ViewerGrid* grid = window->viewerGrid();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 0));
    key(Qt::Key_F2);
    auto* cell = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(cell, nullptr);
    keys("Dune");

    // Ctrl+A is the cell editor's select-all too: the Add item must have it.
    bool added = false;
    onNextModal([&](QWidget* w) {
        added = w == form;
        EXPECT_EQ(ctx->EditMode, app::EditMode::Add);
        clickButton(w, "CancelButton");
    });
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(added);
    // Leaving the cell for the form kept what was typed.
    ctx->MyTable->first();
    EXPECT_EQ(ctx->MyTable->text("TITLE"), "Dune");
    stop();
}

TEST_F(EditFormTest, ListDialogButtonKeysWorkFromItsEntryField) {
    start();
    ctx->lists[1] = QStringList{"Attic"};
    onNextModal([&](QWidget* w) {
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        auto* entry = w->findChild<QLineEdit*>("AddInfo");
        entry->setFocus();
        keys("Cellar");
        key(Qt::Key_A, Qt::AltModifier);
        // A button's key presses it as a click does, after its press shows.
        EXPECT_TRUE(QTest::qWaitFor([&] { return entry->text().isEmpty(); }));
        EXPECT_EQ(QApplication::focusWidget(), entry);
        keys("Shed");
        key(Qt::Key_O, Qt::AltModifier); // Ok, with "Shed" still only typed
    });
    form->EditAList(2);
    EXPECT_EQ(ctx->lists[1], (QStringList{"Attic", "Cellar"}));
    stop();
}
