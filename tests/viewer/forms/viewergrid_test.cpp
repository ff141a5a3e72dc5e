#include "db/bookfixture.h"
#include "db/bookgen.h"
#include "db/displayformats.h"
#include "db/settings.h"
#include "support/gui_scriptedprompter.h"
#include "viewer/forms/viewergrid.h"
#include "viewer/gridmodel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

using namespace shelvix;
using viewer::ViewerGrid;

namespace {

struct GridFixture {
    test::BookTable books;
    db::DisplayFormats formats;
    db::DatabaseSettings settings;
    test::ScriptedPrompter prompter;
    ViewerGrid grid;

    GridFixture() {
        books.add({{"Title", "The Hobbit"},
                   {"Author", "Tolkien, J.R.R."},
                   {"YearPub", "1937"},
                   {"Cost", "12.50"},
                   {"PurchDate", "19990115"},
                   {"CheckOut", "No"}});
        books.add({{"Title", "Emma"}, {"Author", "Austen, Jane"}, {"YearPub", "1815"}});
        books.add({{"Title", "Germinal"}, {"Author", "Zola, \xC9mile"}, {"YearPub", "1885"}});
        grid.setDisplayFormats(&formats);
        grid.setPrompter(&prompter);
        grid.setTable(books.table.get());
        grid.resize(617, 293);
        grid.SetViewerOptions(settings);
        grid.show();
        QApplication::processEvents();
    }
    ~GridFixture() { grid.setTable(nullptr); }

    int columnOf(int field) const {
        for (int c = 0; c < grid.gridModel()->columnCount(); ++c)
            if (grid.gridModel()->fieldAt(c) == field)
                return c;
        return -1;
    }
    QWidget* openEditor(int row, int field) {
        QModelIndex index = grid.gridModel()->index(row, columnOf(field));
        grid.setCurrentIndex(index);
        if (!grid.indexWidget(index)) // Tab may have opened it already
            grid.edit(index);
        QApplication::processEvents();
        return grid.indexWidget(index);
    }
    static void press(QWidget* w, int key) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(w, &down);
        QApplication::processEvents();
    }
    std::string stored(std::uint32_t recno, const char* field) {
        return std::string(books.table->record(recno).text(field));
    }
};

void save(QWidget& w, const char* name) {
    const QString dir = qEnvironmentVariable("SHELVIX_SCREENSHOTS", QDir::tempPath());
    QString file = QStringLiteral("%1/%2.png").arg(dir, QLatin1String(name));
    EXPECT_TRUE(w.grab().save(file)) << file.toStdString();
}

} // namespace

TEST(ViewerGrid, ShowsTheTableAndFollowsItsCurrentRecord) {
    GridFixture f;
    EXPECT_EQ(f.grid.objectName(), "ViewerGrid");
    EXPECT_EQ(f.grid.gridModel()->rowCount(), 3);
    EXPECT_EQ(f.grid.gridModel()->columnCount(), 36);
    EXPECT_TRUE(f.grid.horizontalHeader()->isVisible());
    EXPECT_TRUE(f.grid.verticalHeader()->isVisible());
    EXPECT_EQ(f.grid.horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_EQ(f.grid.columnWidth(0), f.grid.columnPixels(15));
    EXPECT_EQ(f.grid.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(f.grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(f.grid.tabKeyNavigation());
    EXPECT_EQ(f.grid.palette().color(QPalette::Inactive, QPalette::Highlight),
              f.grid.palette().color(QPalette::Active, QPalette::Highlight));
    EXPECT_EQ(f.grid.palette().color(QPalette::Base), QColor(192, 192, 192));

    // The view starts on the table's record, and each follows the other.
    EXPECT_EQ(f.grid.currentIndex().row(), 2);
    f.grid.setCurrentIndex(f.grid.gridModel()->index(0, 3));
    EXPECT_EQ(f.books.table->recno(), 1u);
    f.books.table->next();
    EXPECT_EQ(f.grid.currentIndex().row(), 1);
    EXPECT_EQ(f.grid.currentIndex().column(), 3);
    EXPECT_TRUE(f.grid.selectionModel()->isRowSelected(1, {}));

    // While the record is being edited elsewhere the table cannot move, and
    // the view goes back to where it is.
    f.books.table->edit();
    f.grid.setCurrentIndex(f.grid.gridModel()->index(2, 3));
    QApplication::processEvents();
    EXPECT_EQ(f.books.table->recno(), 2u);
    EXPECT_EQ(f.grid.currentIndex().row(), 1);
    f.books.table->cancel();

    // A new book appears and becomes current.
    f.books.add({{"Title", "Dune"}});
    EXPECT_EQ(f.grid.gridModel()->rowCount(), 4);
    EXPECT_EQ(f.grid.currentIndex().row(), 3);

    int doubleClicked = -1;
    QObject::connect(&f.grid, &ViewerGrid::rowDoubleClicked, [&](int row) { doubleClicked = row; });
    QPoint at = f.grid.visualRect(f.grid.gridModel()->index(1, 0)).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, f.grid.viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, f.grid.viewport()->mapToGlobal(at),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, f.grid.viewport()->mapToGlobal(at),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.grid.viewport(), &press);
    QApplication::sendEvent(f.grid.viewport(), &release);
    QApplication::sendEvent(f.grid.viewport(), &dbl);
    EXPECT_EQ(doubleClicked, 1);
    EXPECT_EQ(f.books.table->recno(), 2u);
}

TEST(ViewerGrid, OptionsChangeTitlesIndicatorColumnsAndSelection) {
    GridFixture f;
    f.settings.gridShowTitles = false;
    f.settings.rowIndicator = false;
    f.settings.gridCellColor = 0x00FFFF; // yellow
    f.settings.gridTitleAlignment = 3;
    f.settings.fieldWidth[0] = 30;
    f.settings.fieldOrder[0] = 2; // Title after Author
    f.settings.fieldOrder[1] = 1;
    f.settings.displayFields[2] = false;
    f.grid.SetViewerOptions(f.settings);
    EXPECT_FALSE(f.grid.horizontalHeader()->isVisible());
    EXPECT_FALSE(f.grid.verticalHeader()->isVisible());
    EXPECT_EQ(f.grid.palette().color(QPalette::Base), QColor(255, 255, 0));
    EXPECT_EQ(f.grid.horizontalHeader()->defaultAlignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    ASSERT_EQ(f.grid.gridModel()->columnCount(), 35);
    EXPECT_EQ(f.grid.gridModel()->fieldAt(0), 2);
    EXPECT_EQ(f.grid.gridModel()->fieldAt(1), 1);
    EXPECT_EQ(f.grid.gridModel()->fieldAt(2), 4);
    EXPECT_EQ(f.grid.columnWidth(1), f.grid.columnPixels(30));
    EXPECT_GT(f.grid.columnPixels(30), f.grid.columnPixels(15));

    f.settings.fieldEditing = true;
    f.grid.SetViewerOptions(f.settings);
    EXPECT_EQ(f.grid.selectionBehavior(), QAbstractItemView::SelectItems);
    EXPECT_NE(f.grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(f.grid.gridModel()->flags(f.grid.gridModel()->index(0, 0)) & Qt::ItemIsEditable);
    f.settings.fieldEditing = false;
    f.grid.SetViewerOptions(f.settings);
    EXPECT_EQ(f.grid.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_FALSE(f.grid.gridModel()->flags(f.grid.gridModel()->index(0, 0)) & Qt::ItemIsEditable);

    f.settings.displayFields.fill(false);
    f.grid.SetViewerOptions(f.settings);
    EXPECT_EQ(f.grid.gridModel()->columnCount(), 0);
    EXPECT_EQ(f.grid.gridModel()->rowCount(), 3);
}

TEST(ViewerGrid, CellsEditThroughTheirEditors) {
    GridFixture f;
    f.settings.fieldEditing = true;
    f.grid.setDropDownList(2, {"Austen, Jane", "Tolkien, J.R.R."});
    db::DataLists lists;
    lists[0] = QStringList{"Austen, Jane", "Zola, \u00C9mile"};
    lists[7] = QStringList{"Alice", "Bob"};
    f.grid.setDataLists(lists);
    f.grid.SetViewerOptions(f.settings);

    // A text cell: a line edit as long as the field.
    auto* title = qobject_cast<QLineEdit*>(f.openEditor(1, 1));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->maxLength(), 90);
    EXPECT_EQ(title->text(), "Emma");
    title->setText("Emma (2nd ed.)");
    f.press(title, Qt::Key_Tab);
    EXPECT_EQ(f.stored(2, "Title"), "Emma (2nd ed.)");
    EXPECT_EQ(f.grid.currentIndex().column(), f.columnOf(2)); // Tab moved on

    // A data-list field: the drop-down named after it, fed with its list.
    auto* author = qobject_cast<QComboBox*>(f.openEditor(1, 2));
    ASSERT_NE(author, nullptr);
    EXPECT_EQ(author->objectName(), "MyComboAuthor");
    EXPECT_EQ(author->count(), 2);
    EXPECT_EQ(author->itemText(1), QString::fromUtf8("Zola, \u00C9mile"));
    EXPECT_EQ(author->currentText(), "Austen, Jane");
    EXPECT_EQ(author->font(), f.grid.cellFont());
    author->setCurrentIndex(1);
    f.press(author, Qt::Key_Tab);
    EXPECT_EQ(f.stored(2, "Author"), "Zola, \xC9mile");

    auto* who = qobject_cast<QComboBox*>(f.openEditor(0, 19));
    ASSERT_NE(who, nullptr);
    EXPECT_EQ(who->objectName(), "MyComboCheckOut");
    EXPECT_EQ(who->count(), 2);
    who->setEditText("Carol");
    f.press(who, Qt::Key_Tab);
    EXPECT_EQ(f.stored(1, "CheckName"), "Carol");

    // CheckOut: a check box storing Yes and No; left alone it writes nothing.
    auto* out = qobject_cast<QCheckBox*>(f.openEditor(0, 17));
    ASSERT_NE(out, nullptr);
    EXPECT_FALSE(out->isChecked());
    out->setChecked(true);
    f.press(out, Qt::Key_Tab);
    EXPECT_EQ(f.stored(1, "CheckOut"), "Yes");
    auto* untouched = qobject_cast<QCheckBox*>(f.openEditor(1, 17));
    ASSERT_NE(untouched, nullptr);
    f.press(untouched, Qt::Key_Tab);
    EXPECT_EQ(f.stored(2, "CheckOut"), "");
}

TEST(ViewerGrid, ADropDownListOpensWideEnoughForItsLongestEntry) {
    GridFixture f;
    f.settings.fieldEditing = true;
    f.settings.fieldWidth[25] = 4; // Condition, four characters wide
    db::DataLists lists;
    const QString longest = QStringLiteral("Non-circulating, signed first edition");
    lists[8] = QStringList{"Fine", longest};
    for (int i = 0; i < 20; ++i) // more than the list shows at once
        lists[8] << QStringLiteral("Grade %1").arg(i);
    f.grid.setDataLists(lists);
    f.grid.SetViewerOptions(f.settings);

    auto* condition = qobject_cast<QComboBox*>(f.openEditor(0, 26));
    ASSERT_NE(condition, nullptr);
    ASSERT_LT(condition->width(), 80);
    QTest::keyClick(condition->lineEdit(), Qt::Key_Down, Qt::AltModifier); // as a user opens it
    QAbstractItemView* list = condition->view();
    ASSERT_TRUE(list->isVisible());
    const QRect item = list->visualRect(list->model()->index(1, 0));
    EXPECT_GE(item.width(), list->fontMetrics().horizontalAdvance(longest));
    EXPECT_LE(item.right(), list->viewport()->width());
    condition->hidePopup();
}

TEST(ViewerGrid, ARefusedValueIsReportedAndLeftForCorrection) {
    GridFixture f;
    f.settings.fieldEditing = true;
    f.grid.SetViewerOptions(f.settings);

    auto* year = qobject_cast<QLineEdit*>(f.openEditor(0, 3));
    ASSERT_NE(year, nullptr);
    EXPECT_EQ(year->maxLength(), 4);
    year->setText("19x7");
    f.prompter.expectError("'19x7' is not a valid floating point value for field 'YEARPUB'");
    f.press(year, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(f.prompter.done());
    EXPECT_EQ(f.stored(1, "YearPub"), "1937");

    // The same cell is open again with what was typed.
    QModelIndex cell = f.grid.gridModel()->index(0, f.columnOf(3));
    EXPECT_EQ(f.grid.currentIndex(), cell);
    auto* again = qobject_cast<QLineEdit*>(f.grid.indexWidget(cell));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->text(), "19x7");
    again->setText("1938");
    f.press(again, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(f.stored(1, "YearPub"), "1938");
    EXPECT_EQ(f.grid.indexWidget(cell), nullptr);
}

TEST(ViewerGrid, Screenshots) {
    test::BookTable books;
    db::BookGenerator gen(3);
    db::BookGenerator::Book book;
    for (int i = 0; i < 60; ++i) {
        gen.next(book);
        books.add({});
        books.table->edit();
        for (const auto& [field, value] : book.values)
            books.table->setText(field, value);
        books.table->post();
    }
    db::DisplayFormats formats;
    db::DatabaseSettings settings;
    ViewerGrid grid;
    grid.setDisplayFormats(&formats);
    grid.setTable(books.table.get());
    grid.resize(617, 293);
    grid.SetViewerOptions(settings);
    grid.show();
    books.table->moveToRow(4);
    QApplication::processEvents();
    save(grid, "viewergrid-defaults");

    settings.gridShowTitles = true;
    settings.gridTitleAlignment = 1;
    settings.gridTitleBackground = 0x803000; // dark blue
    settings.gridTitleFont = {0xFFFFFF, QStringLiteral("Arial"), 10, true, false, true, false};
    settings.gridFont = {0x000080, QStringLiteral("Courier New"), 9, false, true, false, false};
    settings.gridCellColor = 0xF0FFFF;
    settings.columnLines = true;
    settings.rowLines = false;
    settings.rowIndicator = false;
    settings.fieldEditing = true;
    settings.fieldOrder[0] = 3;
    settings.fieldOrder[2] = 1;
    settings.fieldWidth[2] = 6;
    grid.SetViewerOptions(settings);
    QApplication::processEvents();
    save(grid, "viewergrid-options");
    grid.setTable(nullptr);
}

TEST(ViewerGrid, AnEditThatMovesItsRowTakesTheCurrentRowAlong) {
    GridFixture f;
    f.grid.setTable(nullptr);
    f.books.table->addTag("NewIndex", "UPPER(AUTHOR)");
    f.books.table->selectTag("NewIndex"); // Austen, Tolkien, Zola
    f.grid.setTable(f.books.table.get());
    f.settings.fieldEditing = true;
    f.grid.SetViewerOptions(f.settings);

    auto* author = qobject_cast<QComboBox*>(f.openEditor(0, 2));
    ASSERT_NE(author, nullptr);
    author->setEditText("Woolf, Virginia");
    f.press(author, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_EQ(f.stored(2, "Author"), "Woolf, Virginia");
    EXPECT_EQ(f.grid.currentIndex().row(), 1);
    EXPECT_EQ(f.grid.gridModel()->data(f.grid.currentIndex()).toString(), "Woolf, Virginia");
    EXPECT_EQ(f.books.table->recno(), 2u);
}
