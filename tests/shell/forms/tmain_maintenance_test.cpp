#include "app/forms/qtlongwork.h"
#include "app/forms/qtprompter.h"
#include "core/profile.h"
#include "db/booktable.h"
#include "shell/forms/tmain.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
#include "viewer/forms/tviewconfig.h"
#include "viewer/forms/viewergrid.h"
#include "viewer/gridmodel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace shelvix;
using shell::TMain;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

const QString kSortInUse = QStringLiteral(
    "Creating a new sort order requires exclusive use of the DBase File.  Make sure that the "
    "DBase File is not in use by another program  or that no other users are running the "
    "software or that no other copies of the software are in use.");

class MaintenanceWindowTest : public ::testing::Test {
protected:
    void start() {
        QStringList args{QStringLiteral("shelvix"), QStringLiteral("--home"), q(home.path())};
        ctx.paths = app::AppPaths::resolve(args, QProcessEnvironment(), q(home.path()));
        ctx.prompter = &prompter;
        window = std::make_unique<TMain>(ctx);
        ASSERT_TRUE(window->FormCreate());
        window->show();
    }
    void addBooks() {
        auto t = db::Table::open(home / "MASTER.DBF", db::OpenMode::Shared);
        const std::pair<const char*, const char*> books[] = {
            {"Orlando", "Woolf, Virginia"}, {"emma", "Austen, Jane"}, {"Bleak House", "Dickens"}};
        for (const auto& [title, author] : books) {
            t->insert();
            t->setText("TITLE", title);
            t->setText("AUTHOR", author);
            t->post();
        }
    }
    std::vector<QString> gridColumn(int column) {
        auto* model = window->viewerGrid()->gridModel();
        std::vector<QString> out;
        for (int row = 0; row < model->rowCount(); ++row)
            out.push_back(model->index(row, column).data().toString());
        return out;
    }
    std::string ini(const char* section, const char* key) {
        return core::Profile::load(home / "MASTER.INI").readString(section, key, "<missing>", 100);
    }
    // Deleted ones included.
    std::uint32_t storedRecords() {
        auto t = db::Table::open(home / "MASTER.DBF", db::OpenMode::ReadOnly);
        t->setShowDeleted(true);
        return t->recordCount();
    }
    static QComboBox* level(QWidget* dialog, int n) {
        return dialog->findChild<QComboBox*>(QStringLiteral("ComboBox%1").arg(n));
    }

    test::TempDir home;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    std::unique_ptr<TMain> window;
};

TEST_F(MaintenanceWindowTest, CommandsAreThere) {
    start();
    for (const char* a : {"MenuViewer", "MenuSortOrder", "MenuPack", "MenuRebuild"})
        EXPECT_TRUE(window->findChild<QAction*>(QString::fromLatin1(a))->isEnabled()) << a;
    for (const char* b : {"ViewerSpeed", "SpeedSetOrder"})
        EXPECT_TRUE(window->findChild<QToolButton*>(QString::fromLatin1(b))->isEnabled()) << b;
}

TEST_F(MaintenanceWindowTest, SortOrderDialogSetsTheOrder) {
    start();
    window->close();
    window.reset();
    addBooks();
    start();
    EXPECT_EQ(gridColumn(0), (std::vector<QString>{"emma", "Bleak House", "Orlando"}));

    // Cancel changes nothing.
    test::onNextModal([](QWidget* d) { test::clickButton(d, QStringLiteral("Cancel")); });
    window->dialogs().DoSortOrder();
    EXPECT_EQ(ctx.database.sortOrder, (std::array<int, 4>{2, 0, 0, 0}));

    test::onNextModal([](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "Sort Order");
        QComboBox* first = level(d, 1);
        ASSERT_NE(first, nullptr);
        EXPECT_FALSE(first->isEditable());
        EXPECT_EQ(first->count(), 37);
        EXPECT_EQ(first->itemText(0), "<NONE>");
        EXPECT_EQ(first->itemText(1), "Title");
        EXPECT_EQ(first->currentIndex(), 2);
        EXPECT_EQ(level(d, 4)->currentIndex(), 0);
        first->setCurrentIndex(0);
        level(d, 4)->setCurrentIndex(1);
        const QString shots = qEnvironmentVariable("SHELVIX_SCREENSHOTS");
        if (!shots.isEmpty()) {
            QDir().mkpath(shots);
            d->grab().save(shots + QStringLiteral("/sortorder.png"));
        }
        test::clickButton(d, QStringLiteral("Ok"));
    });
    window->dialogs().DoSortOrder();
    EXPECT_EQ(ctx.sortExpression, "Upper(Left(Title,80))");
    EXPECT_EQ(gridColumn(0), (std::vector<QString>{"Bleak House", "emma", "Orlando"}));
    EXPECT_EQ(ini("Sort Order", "Primary Sort"), "0");
    EXPECT_EQ(ini("Sort Order", "Fourth Level Sort"), "1");

    // Another copy of the program has the database: the dialog stays open.
    {
        auto other = db::Table::open(home / "MASTER.DBF", db::OpenMode::Shared);
        test::onNextModal([this](QWidget* d) {
            level(d, 4)->setCurrentIndex(0);
            prompter.expectError(kSortInUse);
            test::clickButton(d, QStringLiteral("Ok"));
            EXPECT_TRUE(d->isVisible());
            test::clickButton(d, QStringLiteral("Cancel"));
        });
        window->dialogs().DoSortOrder();
    }
    EXPECT_EQ(ctx.database.sortOrder, (std::array<int, 4>{0, 0, 0, 1}));
    EXPECT_EQ(gridColumn(0), (std::vector<QString>{"Bleak House", "emma", "Orlando"}));

    // The order is there after a restart.
    window->close();
    window.reset();
    start();
    EXPECT_EQ(gridColumn(0), (std::vector<QString>{"Bleak House", "emma", "Orlando"}));
}

TEST_F(MaintenanceWindowTest, PackThroughTheMenu) {
    start();
    window->close();
    window.reset();
    addBooks();
    start();
    ctx.MyTable->first();
    ctx.MyTable->deleteRecord();
    window->DisplayCount();
    const QString pack = QStringLiteral(
        "Deleted items are not permanently removed from the database until packing occurs.  "
        "Packing simply removes them to free up space.  Continue?");
    prompter.expectConfirm(QStringLiteral("Confirm"), pack, app::Button::No);
    window->findChild<QAction*>(QStringLiteral("MenuPack"))->trigger();
    EXPECT_EQ(storedRecords(), 3u);

    prompter.expectConfirm(QStringLiteral("Confirm"), pack, app::Button::Yes);
    window->findChild<QAction*>(QStringLiteral("MenuPack"))->trigger();
    EXPECT_EQ(storedRecords(), 2u);
    EXPECT_EQ(gridColumn(0), (std::vector<QString>{"Bleak House", "Orlando"}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Another program holds the table: pack and rebuild fail with their
// message, shown by the real boxes and left answerable however long it is
// up: no progress display comes over it.
TEST_F(MaintenanceWindowTest, AFailedPackOrRebuildLeavesItsMessageAnswerable) {
    app::QtPrompter real;
    app::QtLongWork work;
    ctx.longWork = &work;
    start();
    real.setParent(window.get());
    work.setWindow(window.get());
    ctx.prompter = &real;
    auto other = db::Table::open(home / "MASTER.DBF", db::OpenMode::Shared);
    for (const char* item : {"MenuPack", "MenuRebuild"}) {
        QString failure;
        test::onNextModal([&](QWidget* question) {
            test::onNextModal([&](QWidget* box) {
                QTest::qWait(3 * app::QtLongWork::kDisplayDelayMs);
                EXPECT_EQ(QApplication::activeModalWidget(), box);
                auto* display = window->findChild<QDialog*>(QStringLiteral("ProgressDisplay"));
                EXPECT_TRUE(!display || !display->isVisible());
                EXPECT_EQ(QApplication::overrideCursor(), nullptr);
                failure = qobject_cast<QMessageBox*>(box)->text();
                QTest::keyClick(box, Qt::Key_Return);
            });
            test::clickButton(question, QStringLiteral("Yes"));
        });
        window->findChild<QAction*>(QString::fromLatin1(item))->trigger();
        EXPECT_TRUE(failure.startsWith(
            item == std::string("MenuPack") ? "Unable to pack table." : "Unable to reindex table."))
            << failure.toStdString();
        ASSERT_NE(ctx.MyTable, nullptr);
        EXPECT_EQ(ctx.MyTable->mode(), db::OpenMode::Shared);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(work.running());
    }
    ctx.prompter = &prompter;
}

TEST_F(MaintenanceWindowTest, ViewerNamesLabelTheGridAtOnce) {
    start();
    test::onNextModal([](QWidget* d) {
        auto* dialog = qobject_cast<viewer::TViewConfig*>(d);
        ASSERT_NE(dialog, nullptr);
        dialog->fieldNameGrid()->item(0, 1)->setText(QStringLiteral("Book Title"));
        dialog->fieldsToDisplay()->item(1, 1)->setText(QStringLiteral("No"));
        test::clickButton(d, QStringLiteral("Exit"));
    });
    window->dialogs().DoViewer();
    auto* model = window->viewerGrid()->gridModel();
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Book Title");
    EXPECT_EQ(model->columnCount(), 35);
    window->close();
    EXPECT_EQ(ini("Field Names", "Title"), "Book Title");
    EXPECT_EQ(ini("Display Fields", "Author"), "No");
}

TEST_F(MaintenanceWindowTest, AValueTypedIntoAGridDropDownJoinsItsList) {
    test::writeFile(home / "MASTER.INI", "[Grid Options]\nField Editing=Yes\n");
    start();
    window->close();
    window.reset();
    addBooks();
    start();
    auto* grid = window->viewerGrid();
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectItems);
    const QModelIndex cell = grid->gridModel()->index(0, 1); // Austen's author
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    QApplication::processEvents();
    auto* combo = qobject_cast<QComboBox*>(grid->indexWidget(cell));
    ASSERT_NE(combo, nullptr);
    combo->setEditText(QStringLiteral("Austen, J."));
    // Leaving the row posts the change.
    grid->setCurrentIndex(grid->gridModel()->index(2, 1));
    QApplication::processEvents();
    auto t = db::Table::open(home / "MASTER.DBF", db::OpenMode::ReadOnly);
    EXPECT_EQ(t->record(2).text("AUTHOR"), "Austen, J.");
    EXPECT_TRUE(ctx.lists[0].contains(QStringLiteral("Austen, J.")));
    EXPECT_TRUE(db::LoadList(ctx.current.list(1)).contains(QStringLiteral("Austen, J.")));

    // Editing switched off: whole rows again.
    ctx.database.fieldEditing = false;
    window->SetViewerOptions();
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
}

} // namespace
