#include "app/forms/qtprompter.h"
#include "find/forms/tsearchandreplace.h"
#include "findforms.h"
#include "support/gui_modal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>

using namespace shelvix;
using namespace shelvix::find;
using test::onNextModal;

namespace {

class ReplaceFormTest : public test::FindFormTest {
protected:
    void runForm(const std::function<void(TSearchAndReplace&)>& action) {
        onNextModal([&](QWidget* w) {
            auto* f = qobject_cast<TSearchAndReplace*>(w);
            ASSERT_NE(f, nullptr);
            activate(w);
            action(*f);
        });
        TSearchAndReplace::execute(ctx, dbs, search, view, nullptr);
    }
    std::vector<std::uint32_t> rows() {
        std::vector<std::uint32_t> out;
        for (std::uint32_t r = 0; r < ctx.MyTable->rowCount(); ++r)
            out.push_back(ctx.MyTable->recordAtRow(r));
        return out;
    }
};

TEST_F(ReplaceFormTest, ConfirmedReplaceKeepsTheOrderAndTheSearchInForce) {
    SearchItem o{.Text = QStringLiteral("O"),
                 .FieldNo = db::field::Title,
                 .Op = OpContains,
                 .LevelEnd = true};
    ASSERT_TRUE(search.Doit({o}));
    ASSERT_EQ(rows(), (std::vector<std::uint32_t>{5, 1, 3}));

    prompter
        .expectConfirm(QStringLiteral("Confirm"),
                       QStringLiteral("Item = \"Warlock\".  Change this record?"), app::Button::No)
        .expectConfirm(QStringLiteral("Confirm"),
                       QStringLiteral("Item = \"the road\".  Change this record?"),
                       app::Button::Yes)
        .expectMessage({.kind = app::MessageKind::Information,
                        .caption = QStringLiteral("Finished"),
                        .text = QStringLiteral("Global Search and Replace Complete.")},
                       app::Button::Ok);
    runForm([&](TSearchAndReplace& f) {
        EXPECT_EQ(f.FieldBox->currentIndex(), -1);
        f.FieldBox->setFocus();
        type(QStringLiteral("Author"));
        EXPECT_EQ(f.chosenField(), db::field::Author);
        EXPECT_EQ(f.SearchText->maxLength(), 90);
        key(Qt::Key_Tab);
        type(QStringLiteral("smith"));
        key(Qt::Key_Tab);
        type(QStringLiteral("  Zola "));
        key(Qt::Key_Tab);
        key(Qt::Key_Space);
        EXPECT_TRUE(f.ConfirmBox->isChecked());
        alt(Qt::Key_S);
    });
    // Smithson and the records outside the search are passed over alike.
    EXPECT_EQ(column("Author"),
              (std::vector<std::string>{"Smith", "Jones", "Zola", "Smithson", "Adams"}));
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_EQ(ctx.MyTable->selectedTag(), "NewIndex");
    EXPECT_EQ(rows(), (std::vector<std::uint32_t>{5, 1, 3}));
    EXPECT_EQ(ctx.MyTable->mode(), db::OpenMode::Shared);
    EXPECT_TRUE(ctx.MyTable->check().empty());
}

TEST_F(ReplaceFormTest, NumbersWithoutQuestionsAndTheCountersDrawn) {
    prompter.expectMessage({.kind = app::MessageKind::Information,
                            .caption = QStringLiteral("Finished"),
                            .text = QStringLiteral("Global Search and Replace Complete.")},
                           app::Button::Ok);
    runForm([&](TSearchAndReplace& f) {
        f.FieldBox->setFocus();
        type(QStringLiteral("Cost"));
        key(Qt::Key_Tab);
        type(QStringLiteral("10"));
        key(Qt::Key_Tab);
        type(QStringLiteral("12.5"));
        alt(Qt::Key_S);
    });
    EXPECT_EQ(column("Cost"),
              (std::vector<std::string>{"12.5000", "12.5000", "12.5000", "3.0000", "12.5000"}));

    // The counters: grouped in threes, drawn in the text colour at their places.
    EXPECT_EQ(TSearchAndReplace::grouped(1234567), "1,234,567");
    EXPECT_EQ(TSearchAndReplace::grouped(999), "999");
    SearchAndReplace logic(ctx, dbs, search, view);
    TSearchAndReplace f(ctx, logic, nullptr);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    const QImage before = f.grab().toImage();
    f.Counters->counters = {1234567, 8, 0};
    const QImage after = f.grab().toImage();
    const QColor ink = f.Counters->palette().color(QPalette::WindowText);
    int inked = 0, changedElsewhere = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x) {
            if (after.pixel(x, y) == before.pixel(x, y))
                continue;
            const bool inRow = y >= 225 && y < 225 + 20;
            inked += inRow && x >= 70 && x < 175 && QColor(after.pixel(x, y)) == ink;
            changedElsewhere += !inRow || (x >= 175 && x < 190) || x >= 250;
        }
    EXPECT_GT(inked, 10);
    EXPECT_EQ(changedElsewhere, 0);
    keepScreenshot(&f, QStringLiteral("searchandreplace.png"));
}

TEST_F(ReplaceFormTest, BadEntriesAndATableInUseAreRefusedInRealBoxes) {
    app::QtPrompter boxes;
    ctx.prompter = &boxes;
    auto expectBox = [&](const QString& text) {
        onNextModal([=](QWidget* box) {
            activate(box);
            EXPECT_EQ(box->windowTitle(), "Error");
            EXPECT_EQ(qobject_cast<QMessageBox*>(box)->text(), text);
            test::clickDefaultButton(box);
        });
    };
    const std::string before = test::readFile(path);
    runForm([&](TSearchAndReplace& f) {
        expectBox(QStringLiteral("No field has been selected."));
        alt(Qt::Key_S);
        activate(&f);
        EXPECT_EQ(QApplication::focusWidget(), f.FieldBox);

        type(QStringLiteral("Purchase")); // a blank would open the list
        EXPECT_EQ(f.chosenField(), db::field::PurchDate);
        key(Qt::Key_Tab);
        EXPECT_EQ(f.SearchText->displayText(), "  /  /    ");
        expectBox(QStringLiteral("Invalid search date entered.  Please correct."));
        alt(Qt::Key_S);
        activate(&f);
        EXPECT_EQ(QApplication::focusWidget(), f.SearchText);

        type(QStringLiteral("03151997"));
        key(Qt::Key_Tab);
        type(QStringLiteral("02301997"));
        expectBox(QStringLiteral("Invalid replacement date entered.  Please correct."));
        alt(Qt::Key_S);
        activate(&f);
        EXPECT_EQ(QApplication::focusWidget(), f.ReplaceText);

        // Another program has the table: nothing is touched.
        f.ReplaceText->selectAll();
        type(QStringLiteral("01012000"));
        auto other = db::Table::open(path, db::OpenMode::Shared);
        expectBox(SearchAndReplace::kInUseText);
        alt(Qt::Key_S);
        EXPECT_TRUE(f.isVisible());
        ASSERT_NE(ctx.MyTable, nullptr);
        other.reset();
        activate(&f);
        key(Qt::Key_Escape);
    });
    ctx.MyTable.reset();
    EXPECT_EQ(test::readFile(path), before);
}

} // namespace
