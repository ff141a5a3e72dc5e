#include "app/forms/qtprompter.h"
#include "find/forms/tmylocate.h"
#include "findforms.h"
#include "support/gui_modal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

using namespace shelvix;
using namespace shelvix::find;
using test::onNextModal;

namespace {

class LocateFormTest : public test::FindFormTest {
protected:
    LocateFormTest() : locate(ctx) {
        // As the main window sets it up.
        locate.Caption = QStringLiteral("Locate Field Value");
        locate.DefaultButton = TMyDefaultButtonType::dbFindNext;
    }
    static TMyLocateDlg* form(QWidget* w) { return qobject_cast<TMyLocateDlg*>(w); }
    TMyLocateDialog locate;
};

TEST_F(LocateFormTest, LocateNextFirstOpensTheFormThenRepeatsTheSearch) {
    ASSERT_EQ(ctx.MyTable->recno(), 5u); // Adams, first in author order
    onNextModal([&](QWidget* w) {
        TMyLocateDlg* f = form(w);
        ASSERT_NE(f, nullptr);
        activate(w);
        EXPECT_EQ(w->windowTitle(), "Locate Field Value");
        EXPECT_EQ(QApplication::focusWidget(), f->SearchValue);
        EXPECT_TRUE(f->NextButton->isDefault());
        EXPECT_TRUE(f->PartialMatchStartBtn->isChecked());
        EXPECT_EQ(f->FieldNameComboBox->currentIndex(), -1);
        // Labels sorted by name.
        EXPECT_EQ(f->FieldNameComboBox->itemText(0), "Author");
        EXPECT_LT(f->FieldNameComboBox->findText("Title"),
                  f->FieldNameComboBox->findText("Where Purchased"));

        alt(Qt::Key_F);
        EXPECT_EQ(QApplication::focusWidget(), f->FieldNameComboBox);
        EXPECT_FALSE(f->NextButton->isDefault()); // Enter here starts nothing
        type(QStringLiteral("Title"));
        EXPECT_EQ(f->FieldNameComboBox->currentText(), "Title");
        EXPECT_EQ(QApplication::focusWidget(), f->SearchValue);
        EXPECT_TRUE(f->NextButton->isDefault());
        type(QStringLiteral("the"));
        key(Qt::Key_Return); // Next: the current record is not tested
    });
    EXPECT_TRUE(locate.FindNext());
    EXPECT_EQ(ctx.MyTable->recno(), 2u);
    EXPECT_EQ(locate.LastSearchValue, "the");
    EXPECT_EQ(locate.SearchField, "TITLE");

    EXPECT_TRUE(locate.FindNext());
    EXPECT_EQ(ctx.MyTable->recno(), 3u);
    prompter.expectMessage({.kind = app::MessageKind::Information,
                            .caption = QStringLiteral("Information"),
                            .text = QStringLiteral("No more matches found")},
                           app::Button::Ok);
    EXPECT_FALSE(locate.FindNext());
    EXPECT_EQ(ctx.MyTable->recno(), 3u);

    // The form again remembers the search; First starts over.
    onNextModal([&](QWidget* w) {
        TMyLocateDlg* f = form(w);
        activate(w);
        EXPECT_EQ(f->FieldNameComboBox->currentText(), "Title");
        EXPECT_EQ(f->SearchValue->text(), "the");
        alt(Qt::Key_R);
    });
    EXPECT_TRUE(locate.Execute());
    EXPECT_EQ(ctx.MyTable->recno(), 5u);
}

TEST_F(LocateFormTest, AFailedSearchKeepsTheFormAndTheRecord) {
    app::QtPrompter boxes;
    ctx.prompter = &boxes;
    ctx.MyTable->moveToRow(1); // Jones
    onNextModal([&](QWidget* w) {
        TMyLocateDlg* f = form(w);
        activate(w);
        alt(Qt::Key_F);
        type(QStringLiteral("Author"));
        alt(Qt::Key_E);
        EXPECT_TRUE(f->ExactMatchBtn->isChecked());
        alt(Qt::Key_V);
        type(QStringLiteral("smithso"));
        onNextModal([&](QWidget* box) {
            activate(box);
            EXPECT_EQ(box->windowTitle(), "Information");
            EXPECT_EQ(qobject_cast<QMessageBox*>(box)->text(), "No matches found");
            test::clickDefaultButton(box);
        });
        alt(Qt::Key_R);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(ctx.MyTable->recno(), 2u);
        activate(w);
        EXPECT_EQ(QApplication::focusWidget(), f->SearchValue);
        type(QStringLiteral("n"));
        alt(Qt::Key_R);
    });
    EXPECT_TRUE(locate.Execute());
    EXPECT_EQ(ctx.MyTable->recno(), 4u);
    EXPECT_EQ(locate.MatchType, TMyLocateMatchType::mtExactMatch);

    // Escape leaves without moving.
    onNextModal([&](QWidget* w) {
        activate(w);
        key(Qt::Key_Escape);
    });
    EXPECT_FALSE(locate.Execute());
    EXPECT_EQ(ctx.MyTable->recno(), 4u);
}

TEST_F(LocateFormTest, Screenshot) {
    onNextModal([&](QWidget* w) {
        activate(w);
        type(QStringLiteral("the"));
        keepScreenshot(w, QStringLiteral("locate.png"));
        key(Qt::Key_Escape);
    });
    locate.Execute();
}

} // namespace
