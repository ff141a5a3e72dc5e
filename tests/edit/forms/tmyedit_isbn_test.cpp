// The edit form's ISBN: the mark of a wrong check digit, a barcode scanner,
// and the question before a book goes in twice.
#include "app/forms/colors.h"
#include "core/profile.h"
#include "edit/forms/editforms.h"

using namespace shelvix;
using namespace shelvix::test;

namespace {

// The fill of a line edit, right of any text it shows.
QColor fillOf(QLineEdit* e) {
    const QImage image = e->grab().toImage();
    return image.pixelColor(image.width() - 6, image.height() / 2);
}

const char* const kDuplicateText =
    "A book with ISBN %1 is already in the catalogue (\"Dune\", record 1). Add it anyway?";

} // namespace

TEST_F(EditFormTest, WrongCheckDigitIsMarkedAndStoredAsTyped) {
    start();
    openActive(1);
    keys("Dune");
    auto* pages = form->findChild<QTabWidget*>();
    pages->setCurrentIndex(1);
    QLineEdit* isbn = edit("ISBN");
    isbn->setFocus();
    const app::ColorSet& colors = ctx->database.colors[app::ColorsEdit];
    const QColor plain = app::toQColor(colors[app::ColorEditBackground]);
    const QColor warning = app::toQColor(app::warningColor(colors));
    ASSERT_NE(warning, plain);

    keys("0-306-40615-3");
    EXPECT_EQ(fillOf(isbn), plain); // marked on leaving, not while typing
    key(Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), combo("Category"));
    EXPECT_EQ(fillOf(isbn), warning);
    EXPECT_EQ(isbn->toolTip(), "ISBN check digit does not match");

    // Put right, the mark goes; wrong again, it comes back.
    isbn->setFocus();
    key(Qt::Key_Backspace);
    keys("2");
    key(Qt::Key_Tab);
    EXPECT_EQ(fillOf(isbn), plain);
    EXPECT_EQ(isbn->toolTip(), "");
    isbn->setFocus();
    key(Qt::Key_Backspace);
    keys("3");
    key(Qt::Key_Tab);
    EXPECT_EQ(fillOf(isbn), warning);

    // Never in the way of Update, and stored as typed.
    key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(ctx->MyTable->recordCount(), 1u);
    EXPECT_EQ(ctx->MyTable->text("ISBN"), "0-306-40615-3");
    form->done(0);
    stop();
}

// A scanner types the barcode's digits and Enter faster than a hand can:
// they go to ISBN, not where the focus was, and Enter goes on from ISBN.
TEST_F(EditFormTest, ScannedBarcodeLandsInIsbnWhereverTheFocusIs) {
    start();
    openActive(1);
    keys("Dune");
    keys("9780306406157");
    key(Qt::Key_Return);
    EXPECT_EQ(edit("Title")->text(), "Dune");
    EXPECT_EQ(edit("ISBN")->text(), "9780306406157");
    EXPECT_EQ(form->findChild<QTabWidget*>()->currentIndex(), 1);
    EXPECT_EQ(QApplication::focusWidget(), combo("Category"));

    // The same digits typed by hand stay where they are typed.
    edit("Catalog")->setFocus();
    QTest::keyClicks(edit("Catalog"), "9780804429573", Qt::NoModifier, 60);
    key(Qt::Key_Return);
    EXPECT_EQ(edit("Catalog")->text(), "9780804429573");
    EXPECT_EQ(edit("ISBN")->text(), "9780306406157");
    EXPECT_EQ(QApplication::focusWidget(), edit("SubCat1"));
    // Thirteen quick digits that are no ISBN are ordinary typing.
    keys("1234567890123");
    key(Qt::Key_Return);
    EXPECT_EQ(edit("SubCat1")->text(), "123456");
    EXPECT_EQ(edit("ISBN")->text(), "9780306406157");
    form->done(0);
    stop();
}

// Add and Copy ask in a real message box, No the default; No keeps the form
// and writes nothing, Yes adds the book.
TEST_F(EditFormTest, DuplicateIsbnIsQuestionedOnAddAndCopy) {
    start();
    ctx->MyTable->insert();
    ctx->MyTable->setText("TITLE", "Dune");
    ctx->MyTable->setText("ISBN", "0-306-40615-2");
    ctx->MyTable->post();
    app::QtPrompter real;
    ctx->prompter = &real;
    const auto answer = [&](const QString& isbn, QMessageBox::StandardButton button) {
        onNextModal([isbn, button](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), "Warning");
            EXPECT_EQ(box->text(), QString::fromLatin1(kDuplicateText).arg(isbn));
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
            if (button == QMessageBox::No)
                clickDefaultButton(box);
            else
                clickButton(box, "Yes");
        });
    };

    openActive(1);
    keys("Dune, the second");
    form->findChild<QTabWidget*>()->setCurrentIndex(1);
    edit("ISBN")->setFocus();
    keys("978-0-306-40615-7");
    answer("978-0-306-40615-7", QMessageBox::No);
    key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(ctx->MyTable->recordCount(), 1u);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(edit("Title")->text(), "Dune, the second");
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    answer("978-0-306-40615-7", QMessageBox::Yes);
    key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(ctx->MyTable->recordCount(), 2u);
    form->done(0);

    // Copy Record from the main window: the copy has the same ISBN.
    ctx->MyTable->first();
    bool copied = false;
    onNextModal([&](QWidget* w) {
        copied = w == form;
        answer("0-306-40615-2", QMessageBox::Yes);
        clickButton(w, "UpdateExitButton");
    });
    window->records().DoCopy();
    EXPECT_TRUE(copied);
    EXPECT_EQ(ctx->MyTable->recordCount(), 3u);
    ctx->prompter = &prompter;
    stop();
}

// Options > "Warn About Duplicate ISBNs", on at first, turns the question off
// and is kept in SHVBOOK.INI.
TEST_F(EditFormTest, DuplicateWarningIsAnOptionKeptInTheSettings) {
    start();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto* item = window->findChild<QAction*>("MenuWarnDuplicateIsbns");
    ASSERT_NE(item, nullptr);
    auto* options = window->findChild<QMenu*>("MenuOptions");
    // The item is next to the menu's last: Up twice from the first goes
    // round to it.
    QTest::keyClick(window.get(), Qt::Key_O, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return options->isVisible(); }));
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(options->actions().at(options->actions().size() - 2), item);
    QTest::keyClick(options, Qt::Key_Up);
    QTest::keyClick(options, Qt::Key_Up);
    EXPECT_EQ(options->activeAction(), item);
    QTest::keyClick(options, Qt::Key_Return);
    EXPECT_FALSE(ctx->global.warnDuplicateIsbns);
    stop();
    EXPECT_EQ(core::Profile::load(home / "SHVBOOK.INI")
                  .readString("Misc", "Warn About Duplicate ISBNs", "<missing>"),
              "No");

    // Off: the same ISBN goes in without a question (the scripted prompter
    // fails on any message).
    start();
    ctx->MyTable->insert();
    ctx->MyTable->setText("ISBN", "0306406152");
    ctx->MyTable->post();
    openActive(1);
    form->findChild<QTabWidget*>()->setCurrentIndex(1);
    edit("ISBN")->setFocus();
    keys("9780306406157");
    key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(ctx->MyTable->recordCount(), 2u);
    form->done(0);
    stop();
}
