#include "db/bookfixture.h"
#include "db/bookgen.h"
#include "db/displayformats.h"
#include "db/settings.h"
#include "viewer/gridmodel.h"

#include <gtest/gtest.h>

using namespace shelvix;
using viewer::GridModel;
using viewer::ViewerColumn;

namespace {

// Title, Author, YearPub, Cost, PurchDate, in that order.
std::vector<ViewerColumn> someColumns() {
    return {{1, "Title", 20}, {2, "Author", 20}, {3, "Year", 4}, {7, "Cost", 8}, {12, "Bought", 8}};
}

struct Fixture {
    test::BookTable books;
    db::DisplayFormats formats;
    GridModel model;
    int resets = 0;
    std::vector<int> changedRows;
    std::vector<int> currentRows;

    Fixture() {
        model.setDisplayFormats(&formats);
        model.setColumns(someColumns());
        QObject::connect(&model, &QAbstractItemModel::modelReset, [this] { ++resets; });
        QObject::connect(&model, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex& a, const QModelIndex& b) {
                             for (int r = a.row(); r <= b.row(); ++r)
                                 changedRows.push_back(r);
                         });
        QObject::connect(&model, &GridModel::currentRowChanged,
                         [this](int row) { currentRows.push_back(row); });
    }
    QString cell(int row, int column) const {
        return model.data(model.index(row, column)).toString();
    }
    QStringList column(int c) const {
        QStringList out;
        for (int r = 0; r < model.rowCount(); ++r)
            out << cell(r, c);
        return out;
    }
    void attach() {
        model.setTable(books.table.get());
        resets = 0;
        changedRows.clear();
        currentRows.clear();
    }
};

} // namespace

TEST(GridModel, ShowsTheTablesRowsUnderTheColumnTitles) {
    Fixture f;
    EXPECT_EQ(f.model.rowCount(), 0); // no table yet
    f.books.add({{"Title", "Hobbit"},
                 {"Author", "Tolkien"},
                 {"YearPub", "1937"},
                 {"Cost", "12.50"},
                 {"PurchDate", "19990115"}});
    f.books.add({{"Title", "Gone"}, {"Author", "Deleted"}});
    f.books.table->deleteRecord();
    f.books.add({{"Title", "Emma"}, {"Author", "Austen"}});
    f.attach();

    ASSERT_EQ(f.model.rowCount(), 2);
    ASSERT_EQ(f.model.columnCount(), 5);
    EXPECT_EQ(f.model.headerData(2, Qt::Horizontal).toString(), "Year");
    EXPECT_FALSE(f.model.headerData(0, Qt::Vertical).isValid()); // no row numbers
    EXPECT_EQ(f.column(0), (QStringList{"Hobbit", "Emma"}));
    EXPECT_EQ(f.cell(0, 2), "1937");
    EXPECT_EQ(f.cell(0, 3), "12.5");
    EXPECT_EQ(f.cell(0, 4), "1/15/99");
    EXPECT_EQ(f.cell(1, 3), "");
    EXPECT_EQ(f.model.recnoAt(1), 3u);
    EXPECT_EQ(f.model.data(f.model.index(0, 3), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(f.model.data(f.model.index(0, 4), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_FALSE(f.model.flags(f.model.index(0, 0)) & Qt::ItemIsEditable);
    f.model.setEditable(true);
    EXPECT_TRUE(f.model.flags(f.model.index(0, 0)) & Qt::ItemIsEditable);

    // A later date format shows at once.
    f.formats.setDateFormat(12);
    f.model.refreshTexts();
    EXPECT_EQ(f.cell(0, 4), "15.1.1999");

    f.model.setTable(nullptr);
    EXPECT_EQ(f.model.rowCount(), 0);
}

TEST(GridModel, FollowsInsertsDeletesEditsFilterAndTagOrder) {
    Fixture f;
    for (const char* a : {"Carol", "alice", "Bob", "Dave"})
        f.books.add({{"Title", std::string("Book by ") + a}, {"Author", a}});
    f.attach();
    EXPECT_EQ(f.column(1), (QStringList{"Carol", "alice", "Bob", "Dave"}));

    f.books.table->addTag("NewIndex", "UPPER(AUTHOR)");
    f.books.table->selectTag("NewIndex");
    EXPECT_EQ(f.column(1), (QStringList{"alice", "Bob", "Carol", "Dave"}));

    f.books.add({{"Title", "New"}, {"Author", "Aaron"}});
    EXPECT_EQ(f.column(1), (QStringList{"Aaron", "alice", "Bob", "Carol", "Dave"}));

    // An edit elsewhere (another form) moves the row and shows the new text.
    f.books.table->moveToRow(3);
    f.books.table->edit();
    f.books.table->setText("Author", "Zed");
    f.books.table->post();
    EXPECT_EQ(f.column(1), (QStringList{"Aaron", "alice", "Bob", "Dave", "Zed"}));
    EXPECT_EQ(f.model.currentRow(), 4);
    EXPECT_EQ(f.currentRows.back(), 4);

    f.books.table->moveToRow(1);
    f.books.table->deleteRecord();
    EXPECT_EQ(f.column(1), (QStringList{"Aaron", "Bob", "Dave", "Zed"}));
    EXPECT_EQ(f.model.currentRow(), 1); // the record after the deleted one

    f.books.table->setFilter([](const db::RecordView& r) { return r.text("Author") < "C"; });
    EXPECT_EQ(f.column(1), (QStringList{"Aaron", "Bob"}));
    f.books.table->setFilter({});
    f.books.table->selectTag("");
    EXPECT_EQ(f.column(1), (QStringList{"Zed", "Bob", "Dave", "Aaron"}));
    EXPECT_GT(f.resets, 0);
}

TEST(GridModel, APaintedScreenCostsOneRecordReadARow) {
    Fixture f;
    db::BookGenerator gen(7);
    db::BookGenerator::Book book;
    f.books.table->disableControls();
    for (int i = 0; i < 500; ++i) {
        gen.next(book);
        f.books.table->insert();
        for (const auto& [field, value] : book.values)
            f.books.table->setText(field, value);
        f.books.table->post();
    }
    f.books.table->enableControls();
    f.attach();
    ASSERT_EQ(f.model.rowCount(), 500);

    auto paint = [&](int top) {
        for (int r = top; r < top + 40; ++r)
            for (int c = 0; c < f.model.columnCount(); ++c)
                for (int role : {Qt::DisplayRole, Qt::TextAlignmentRole, Qt::FontRole})
                    (void)f.model.data(f.model.index(r, c), role);
    };
    std::uint64_t before = f.model.recordReads();
    paint(100);
    EXPECT_EQ(f.model.recordReads() - before, 40u);
    paint(100);
    paint(110);
    EXPECT_EQ(f.model.recordReads() - before, 50u);
}

TEST(GridModel, NothingChangesWhileControlsAreDisabled) {
    Fixture f;
    f.books.add({{"Title", "One"}});
    f.attach();
    EXPECT_EQ(f.cell(0, 0), "One");

    f.books.table->disableControls();
    f.books.add({{"Title", "Two"}});
    f.books.add({{"Title", "Three"}});
    EXPECT_EQ(f.resets, 0);
    EXPECT_EQ(f.model.rowCount(), 1);
    EXPECT_EQ(f.cell(0, 0), "One"); // what was shown, without reading
    f.books.table->enableControls();
    EXPECT_EQ(f.resets, 1);
    EXPECT_EQ(f.column(0), (QStringList{"One", "Two", "Three"}));
}

TEST(GridModel, CurrentRowFollowsTheTableBothWays) {
    Fixture f;
    for (int i = 0; i < 10; ++i)
        f.books.add({{"Title", "T" + std::to_string(i)}});
    f.attach();
    EXPECT_EQ(f.model.currentRow(), 9); // the last append

    EXPECT_TRUE(f.model.moveToRow(4));
    EXPECT_EQ(f.books.table->recno(), 5u);
    EXPECT_EQ(f.currentRows, (std::vector<int>{4}));
    f.books.table->next();
    f.books.table->first();
    EXPECT_EQ(f.currentRows, (std::vector<int>{4, 5, 0}));
    EXPECT_FALSE(f.model.moveToRow(10));
    EXPECT_FALSE(f.model.moveToRow(-1));

    f.books.table->setFilter([](const db::RecordView&) { return false; });
    EXPECT_EQ(f.model.rowCount(), 0);
    f.books.table->first();
    EXPECT_EQ(f.currentRows.back(), -1);
}

TEST(GridModel, EditsWriteThroughTheTable) {
    Fixture f;
    f.books.add({{"Title", "Hobbit"}, {"Author", "Tolkien"}, {"YearPub", "1937"}});
    f.books.add({{"Title", "Emma"}, {"Author", "Austen"}});
    f.attach();
    f.model.setEditable(true);
    auto at = [&](int r, int c) { return f.model.index(r, c); };

    // In place: the row repaints, the view is not reset under its editor.
    ASSERT_TRUE(f.model.setData(at(0, 0), "The Hobbit"));
    EXPECT_EQ(f.resets, 0);
    EXPECT_EQ(f.changedRows, (std::vector<int>{0}));
    EXPECT_EQ(f.cell(0, 0), "The Hobbit");
    f.model.setTable(nullptr);
    f.books.reopen();
    f.attach();
    f.books.table->moveToRow(0);
    EXPECT_EQ(f.books.table->text("Title"), "The Hobbit");

    ASSERT_TRUE(f.model.setData(at(1, 2), " 1815 "));
    ASSERT_TRUE(f.model.setData(at(1, 3), "7.5"));
    ASSERT_TRUE(f.model.setData(at(1, 4), "12/25/15"));
    ASSERT_TRUE(f.model.setData(at(1, 1), QString::fromUtf8("Aust\u00E9n")));
    EXPECT_EQ(f.books.table->recno(), 2u);
    EXPECT_EQ(f.books.table->number("YearPub"), 1815.0);
    EXPECT_EQ(f.books.table->number("Cost"), 7.5);
    EXPECT_EQ(f.books.table->date("PurchDate"), (db::Date{2015, 12, 25}));
    EXPECT_EQ(f.books.table->text("Author"), "Aust\xE9n");
    EXPECT_EQ(f.cell(1, 4), "12/25/15");
    ASSERT_TRUE(f.model.setData(at(1, 4), ""));
    EXPECT_EQ(f.books.table->date("PurchDate"), std::nullopt);

    // Refused values leave the record as it was and say why.
    EXPECT_FALSE(f.model.setData(at(0, 2), "19x7"));
    EXPECT_EQ(f.model.lastError(),
              "'19x7' is not a valid floating point value for field 'YEARPUB'");
    EXPECT_FALSE(f.model.setData(at(0, 4), "13/45/99"));
    EXPECT_EQ(f.model.lastError(), "'13/45/99' is not a valid date for field 'PURCHDATE'");
    EXPECT_FALSE(f.model.setData(at(0, 1), QString::fromUtf8("\u0141\u00F3d\u017A")));
    EXPECT_EQ(f.model.lastError(),
              QString::fromUtf8("'\u0141' cannot be stored in field 'AUTHOR'"));
    EXPECT_EQ(f.books.table->state(), db::Table::State::Browse);
    f.books.table->moveToRow(0);
    EXPECT_EQ(f.books.table->number("YearPub"), 1937.0);
    EXPECT_EQ(f.books.table->text("Author"), "Tolkien");

    // A record another user holds is refused with the engine's message.
    auto other = db::Table::open(f.books.path, db::OpenMode::Shared);
    other->first();
    other->edit();
    EXPECT_FALSE(f.model.setData(at(0, 0), "Locked out"));
    EXPECT_EQ(f.model.lastError(), "Record 1 is locked by another user");
    other->cancel();
}

TEST(GridModel, AnEditThatMovesItsRowResetsAndFollowsIt) {
    Fixture f;
    for (const char* a : {"Adams", "Baker", "Clark"})
        f.books.add({{"Author", a}});
    f.books.table->addTag("NewIndex", "UPPER(AUTHOR)");
    f.books.table->selectTag("NewIndex");
    f.attach();
    f.model.setEditable(true);

    ASSERT_TRUE(f.model.setData(f.model.index(0, 1), "Young"));
    EXPECT_EQ(f.resets, 1);
    EXPECT_EQ(f.column(1), (QStringList{"Baker", "Clark", "Young"}));
    EXPECT_EQ(f.currentRows.back(), 2);
}

TEST(GridModel, DecodesTheTablesCodePage) {
    Fixture f;
    f.books.add({{"Title", "Caf\x82"}});
    f.books.setLanguageDriver(0x01);
    f.attach();
    f.model.setEditable(true);
    EXPECT_EQ(f.cell(0, 0), QString::fromUtf8("Caf\u00E9"));
    ASSERT_TRUE(f.model.setData(f.model.index(0, 0), QString::fromUtf8("\u00C7a")));
    EXPECT_EQ(f.books.table->text("Title"), "\x80"
                                            "a");
}
