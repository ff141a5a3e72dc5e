#include "app/prompter.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "viewer/forms/tviewconfig.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace shelvix;
using viewer::TViewConfig;

namespace {

struct ConfigFixture {
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    std::unique_ptr<TViewConfig> dialog;
    int changes = 0;

    ConfigFixture() {
        ctx.prompter = &prompter;
        dialog = std::make_unique<TViewConfig>(ctx);
        QObject::connect(dialog.get(), &TViewConfig::settingsChanged, [this] { ++changes; });
        dialog->show();
        QApplication::processEvents();
    }
    template <class T> T* find(const char* name) {
        T* w = dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void setCell(viewer::ConfigGrid* grid, int row, const QString& text) {
        grid->item(row, 1)->setText(text);
    }
    // Exit, as the button does; true when the dialog closed.
    bool exit() {
        find<QPushButton>("ExitButton")->click();
        QApplication::processEvents();
        return !dialog->isVisible();
    }
};

const QString kReOrder =
    QStringLiteral("This will set the order of fields to the program defaults.  Continue?");

TEST(TViewConfig, PagesShowTheSettings) {
    ConfigFixture f;
    EXPECT_EQ(f.dialog->windowTitle(), "Viewer Configuration");
    EXPECT_EQ(f.dialog->pages()->count(), 6);
    EXPECT_EQ(f.dialog->pages()->tabText(5), "Field &Names");
    EXPECT_EQ(f.find<QLineEdit>("TitleFont")->text(), "12pt Arial");
    EXPECT_EQ(f.find<QLineEdit>("GridFont")->text(), "10pt Arial");
    EXPECT_TRUE(f.find<QRadioButton>("TitleCenter")->isChecked());
    EXPECT_TRUE(f.find<QCheckBox>("ShowGridTitle")->isChecked());
    EXPECT_FALSE(f.find<QCheckBox>("FieldEditing")->isChecked());

    auto* show = f.dialog->fieldsToDisplay();
    EXPECT_EQ(show->rowCount(), 36);
    EXPECT_EQ(show->horizontalHeaderItem(1)->text(), "DISPLAY IT");
    EXPECT_EQ(show->cell(1, 0), "Author");
    EXPECT_EQ(show->cell(1, 1), "Yes");
    EXPECT_EQ(f.dialog->fieldWidthGrid()->cell(0, 1), "15");
    EXPECT_EQ(f.dialog->fieldNameGrid()->cell(2, 0), "YearPub");
    EXPECT_EQ(f.dialog->fieldNameGrid()->cell(2, 1), f.ctx.database.fieldNames[2]);
    EXPECT_EQ(f.dialog->fieldOrderGrid()->cell(35, 0), f.ctx.database.fieldNames[35]);
    EXPECT_EQ(f.dialog->fieldNameGrid()->columnWidth(1), 200);
    EXPECT_EQ(f.dialog->fieldWidthGrid()->columnWidth(1), 100);
    EXPECT_TRUE(f.exit());
}

TEST(TViewConfig, BoxesFontsColoursAndAlignmentTakeEffectAtOnce) {
    ConfigFixture f;
    f.find<QCheckBox>("FieldEditing")->click();
    EXPECT_TRUE(f.ctx.database.fieldEditing);
    f.find<QCheckBox>("RowLines")->click();
    EXPECT_FALSE(f.ctx.database.rowLines);
    f.find<QCheckBox>("ShowGridTitle")->click();
    EXPECT_FALSE(f.ctx.database.gridShowTitles);
    f.find<QRadioButton>("TitleRight")->click();
    EXPECT_EQ(f.ctx.database.gridTitleAlignment, 3);
    EXPECT_EQ(f.changes, 4);

    app::FontSpec bold{0xFF, QStringLiteral("Courier New"), 9, true, false, true, true};
    f.prompter.expectFont({.initial = f.ctx.database.gridTitleFont, .effects = true}, bold);
    f.find<QPushButton>("TitleFontButton")->click();
    EXPECT_EQ(f.ctx.database.gridTitleFont, bold);
    EXPECT_EQ(f.find<QLineEdit>("TitleFont")->text(), "9pt Courier New");
    // A cancelled font or colour dialog changes nothing.
    f.prompter.expectFont({.initial = f.ctx.database.gridFont, .effects = true}, std::nullopt);
    f.find<QPushButton>("NewFontButton")->click();
    EXPECT_EQ(f.ctx.database.gridFont.size, 10);
    f.prompter.expectColor(12632256, 0x00FF00);
    f.find<QPushButton>("NewColorBUtton")->click();
    EXPECT_EQ(f.ctx.database.gridCellColor, 0x00FF00);
    f.prompter.expectColor(8553090, std::nullopt);
    f.find<QPushButton>("Button1")->click();
    EXPECT_EQ(f.ctx.database.gridTitleBackground, 8553090);
    EXPECT_EQ(f.changes, 6);
    EXPECT_TRUE(f.exit());
}

TEST(TViewConfig, FontColoursAreChosenBesideTheFontsAndDrawnInTheirSamples) {
    ConfigFixture f;
    // Pixels of the sample drawn in `color` (the text), give or take antialiasing.
    const auto inked = [&](const char* sample, QColor color) {
        const QImage image = f.find<QLineEdit>(sample)->grab().toImage();
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                n += std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) +
                         std::abs(c.blue() - color.blue()) <
                     40;
            }
        return n;
    };
    EXPECT_EQ(inked("TitleFont", Qt::red), 0);
    f.prompter.expectColor(0, 0x0000FF); // red, as Windows stores it
    QTest::mouseClick(f.find<QPushButton>("TitleFontColorButton"), Qt::LeftButton);
    EXPECT_EQ(f.ctx.database.gridTitleFont.color, 0x0000FF);
    EXPECT_GT(inked("TitleFont", Qt::red), 10);

    f.prompter.expectColor(0, 0x008000);
    QTest::mouseClick(f.find<QPushButton>("FontColorButton"), Qt::LeftButton);
    EXPECT_EQ(f.ctx.database.gridFont.color, 0x008000);
    EXPECT_GT(inked("GridFont", QColor(0, 128, 0)), 10);
    // The cell font's sample lies on the cell colour and follows it.
    f.prompter.expectColor(12632256, 0xFFFF00);
    f.find<QPushButton>("NewColorBUtton")->click();
    const QImage cell = f.find<QLineEdit>("GridFont")->grab().toImage();
    EXPECT_EQ(cell.pixelColor(cell.width() - 4, cell.height() / 2), QColor(0, 255, 255));

    f.prompter.expectColor(0x0000FF, std::nullopt);
    QTest::mouseClick(f.find<QPushButton>("TitleFontColorButton"), Qt::LeftButton);
    EXPECT_EQ(f.ctx.database.gridTitleFont.color, 0x0000FF);
    EXPECT_EQ(f.changes, 3);
    EXPECT_TRUE(f.exit());
}

TEST(TViewConfig, DuplicateNamesKeepTheDialogOpenOnTheNamesPage) {
    ConfigFixture f;
    auto* names = f.dialog->fieldNameGrid();
    f.setCell(names, 1, QStringLiteral("title")); // case differs: fine
    f.setCell(names, 5, QString());
    f.setCell(names, 30, QString());
    f.dialog->pages()->setCurrentIndex(TViewConfig::WidthsPage);
    f.prompter.expectError(
        QStringLiteral("Two field names have the same name \"\".  Please change one."));
    EXPECT_FALSE(f.exit());
    EXPECT_EQ(f.dialog->pages()->currentIndex(), TViewConfig::NamesPage);
    EXPECT_EQ(f.ctx.database.fieldNames[1], "Author"); // nothing stored yet

    f.setCell(names, 5, QStringLiteral("Bought At"));
    f.setCell(names, 30, QStringLiteral("Extra"));
    EXPECT_TRUE(f.exit());
    EXPECT_EQ(f.ctx.database.fieldNames[1], "title");
    EXPECT_EQ(f.ctx.database.fieldNames[30], "Extra");
}

TEST(TViewConfig, ClosingStoresWidthsFlagsOrderAndNames) {
    ConfigFixture f;
    auto* widths = f.dialog->fieldWidthGrid();
    f.setCell(widths, 0, QStringLiteral("0"));
    f.setCell(widths, 1, QStringLiteral("256"));
    f.setCell(widths, 2, QStringLiteral("abc"));
    f.setCell(widths, 3, QStringLiteral("255"));
    // Double-clicks toggle the second column only.
    f.dialog->FieldsToDisplayDblClick(4, 1);
    f.dialog->FieldsToDisplayDblClick(5, 0);
    f.dialog->FieldsToDisplayDblClick(6, 1);
    f.dialog->FieldsToDisplayDblClick(6, 1);
    EXPECT_EQ(f.dialog->fieldsToDisplay()->cell(4, 1), "No");

    // Rename Author and move it up to the top in the same visit.
    f.setCell(f.dialog->fieldNameGrid(), 1, QStringLiteral("Writer"));
    auto* order = f.dialog->fieldOrderGrid();
    EXPECT_EQ(order->cell(1, 0), "Writer");
    order->setCurrentCell(1, 0);
    f.dialog->OrderUpClick();
    f.dialog->OrderUpClick(); // nothing above the first row
    EXPECT_EQ(order->currentRow(), 0);
    order->setCurrentCell(35, 0);
    f.dialog->OrderDownClick(); // nothing below the last
    EXPECT_EQ(order->currentRow(), 35);

    EXPECT_TRUE(f.exit());
    const auto& s = f.ctx.database;
    EXPECT_EQ(s.fieldWidth[0], 10);
    EXPECT_EQ(s.fieldWidth[1], 10);
    EXPECT_EQ(s.fieldWidth[2], 10);
    EXPECT_EQ(s.fieldWidth[3], 255);
    EXPECT_EQ(widths->cell(2, 1), "10");
    EXPECT_FALSE(s.displayFields[4]);
    EXPECT_TRUE(s.displayFields[5]);
    EXPECT_TRUE(s.displayFields[6]);
    EXPECT_EQ(s.fieldNames[1], "Writer");
    EXPECT_EQ(s.fieldOrder[1], 1);
    EXPECT_EQ(s.fieldOrder[0], 2);

    // Defaults: No keeps the order, Yes puts table order back.
    ConfigFixture again;
    again.ctx.database = s;
    again.dialog = std::make_unique<TViewConfig>(again.ctx);
    again.dialog->show();
    QApplication::processEvents();
    again.prompter.expectConfirm(QStringLiteral("Re-Order"), kReOrder, app::Button::No);
    again.dialog->OrderDefaultsClick();
    EXPECT_EQ(again.dialog->fieldOrderGrid()->cell(0, 0), "Writer");
    again.prompter.expectConfirm(QStringLiteral("Re-Order"), kReOrder, app::Button::Yes);
    again.dialog->OrderDefaultsClick();
    EXPECT_TRUE(again.exit());
    for (int i = 0; i < 36; ++i)
        EXPECT_EQ(again.ctx.database.fieldOrder[std::size_t(i)], i + 1);
}

TEST(TViewConfig, ATypedCellIsKeptWhenClosingByKeyboard) {
    ConfigFixture f;
    auto* names = f.dialog->fieldNameGrid();
    f.dialog->pages()->setCurrentIndex(TViewConfig::NamesPage);
    names->setCurrentCell(0, 1); // opens the editor
    QApplication::processEvents();
    auto editors = names->viewport()->findChildren<QLineEdit*>();
    ASSERT_FALSE(editors.empty());
    EXPECT_EQ(editors.front()->maxLength(), 20);
    editors.front()->setText(QStringLiteral("Name of the Book"));
    f.dialog->accept(); // Alt+X does not move the focus
    EXPECT_EQ(f.ctx.database.fieldNames[0], "Name of the Book");

    // The same typed by a user: Alt+X from the cell being typed.
    f.dialog->show();
    f.dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.dialog.get()));
    names->setFocus();
    names->setCurrentCell(1, 1);
    QTest::keyClick(names, Qt::Key_F2);
    ASSERT_TRUE(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), "Writer");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_X, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.dialog->isVisible(); }));
    EXPECT_EQ(f.ctx.database.fieldNames[1], "Writer");
}

// Space switches the shown row between Yes and No from the keyboard alone,
// whichever of its cells is current; Enter still presses Exit.
TEST(TViewConfig, SpaceSwitchesAFieldToShowAndEnterStillCloses) {
    ConfigFixture f;
    f.dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.dialog.get()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
    ASSERT_EQ(f.dialog->pages()->currentIndex(), TViewConfig::ShowPage);
    auto* show = f.dialog->fieldsToDisplay();
    while (QApplication::focusWidget() != show)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    show->setCurrentCell(0, 1);
    QTest::keyClick(show, Qt::Key_Down);
    QTest::keyClick(show, Qt::Key_Space);
    EXPECT_EQ(show->cell(1, 1), "No");
    QTest::keyClick(show, Qt::Key_Left);
    QTest::keyClick(show, Qt::Key_Space);
    EXPECT_EQ(show->cell(1, 1), "Yes");
    const QString third = show->cell(2, 1);
    QTest::keyClick(show, Qt::Key_Down);
    QTest::keyClick(show, Qt::Key_Space);
    EXPECT_NE(show->cell(2, 1), third);
    EXPECT_EQ(show->cell(1, 1), "Yes");
    QTest::keyClick(show, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.dialog->isVisible(); }));
    EXPECT_EQ(f.ctx.database.displayFields[2], third != "Yes");
}

TEST(TViewConfig, Screenshots) {
    const QString out = qEnvironmentVariable("SHELVIX_SCREENSHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "SHELVIX_SCREENSHOTS not set";
    QDir().mkpath(out);
    ConfigFixture f;
    for (int page = 0; page < TViewConfig::PageCount; ++page) {
        f.dialog->pages()->setCurrentIndex(page);
        QApplication::processEvents();
        f.dialog->grab().save(QStringLiteral("%1/viewconfig-page%2.png").arg(out).arg(page + 1));
    }
    EXPECT_TRUE(f.exit());
}

} // namespace
