#include "app/forms/qtprompter.h"
#include "edit/forms/tmyedit.h"
#include "edit/forms/tmyeditbox.h"
#include "shell/forms/tmain.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
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

using namespace shelvix;
using edit::TMyEdit;
using test::clickButton;
using test::onNextModal;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

const app::Message kExitQuestion{.kind = app::MessageKind::Warning,
                                 .caption = "Warning",
                                 .text = "Data has changed.  Do you want to exit without updating?",
                                 .buttons = app::Button::Yes | app::Button::No,
                                 .defaultButton = app::Button::No};

app::Message updateQuestion(const QString& text) {
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
    TMyEdit* form = nullptr;
};

} // namespace

TEST_F(EditFormTest, AddedRecordIsStoredListedAndThereAfterARestart) {
    start();
    bool shown = false;
    onNextModal([&](QWidget* w) {
        ASSERT_EQ(w, form);
        shown = true;
        EXPECT_EQ(form->windowTitle(), "Edit");
        EXPECT_EQ(form->findChild<QTabWidget*>()->currentIndex(), 0);
        EXPECT_EQ(edit("Cost")->text(), "0");
        edit("Title")->setText("Dune");
        combo("Author")->setEditText(" Herbert ");
        edit("YearPub")->setText("1965");
        edit("Pages")->setText("412");
        edit("Cost")->setText("1,234.5");
        leave(edit("Cost"));
        EXPECT_EQ(edit("Cost")->text(), "1,234.50");
        edit("PurchDate")->setText("12/25/2023");
        combo("Location")->setEditText("Shelf 2");
        edit("UserDef1")->setText(" first ");
        form->findChild<QPushButton*>("UpdateExitButton")->click();
    });
    window->records().DoAdd();
    ASSERT_TRUE(shown);
    EXPECT_EQ(ctx->EditMode, app::EditMode::Edit);
    EXPECT_EQ(window->findChild<QLabel*>("CountLabel")->text(), "1");
    // Both displays of the lists hold the new values.
    EXPECT_EQ(combo("Author")->findText("Herbert"), combo("Author")->count() - 1);
    EXPECT_TRUE(window->viewerGrid()->dropDownList(2).contains("Herbert"));
    EXPECT_EQ(window->viewerGrid()->dropDownList(25).last(), "Shelf 2");
    // Closing the form wrote the lists of the database.
    EXPECT_NE(test::readFile(home / "MASTER.001").find("Herbert\r\n"), std::string::npos);
    EXPECT_NE(test::readFile(home / "MASTER.002").find("Shelf 2\r\n"), std::string::npos);
    stop();

    start();
    EXPECT_EQ(window->viewerGrid()->model()->rowCount(), 1);
    stop();
    const std::string dump = run(std::string("'") + SHELVIX_TOOL_PATH + "' dump '" +
                                 (home / "MASTER.DBF").string() + "'");
    EXPECT_NE(dump.find("Dune"), std::string::npos) << dump;
    EXPECT_NE(dump.find(",1234.5000,0.0000,"), std::string::npos) << dump;
    EXPECT_NE(dump.find(",2023-12-25,"), std::string::npos) << dump;
    EXPECT_NE(dump.find("1965"), std::string::npos) << dump;
}

TEST_F(EditFormTest, ExitAndMovingAskOnlyWhenSomethingWouldBeLost) {
    start();
    addBook("A", "Adams");
    addBook("B", "Brown");
    ctx->MyTable->first();

    // Add mode without typing: Exit closes at once.
    open(1);
    form->DoExit();
    EXPECT_FALSE(form->isVisible());

    // Add mode: Next always asks; Cancel stays.
    open(1);
    prompter.expectMessage(updateQuestion("This record has not been updated yet.  Update this "
                                          "record before moving to the next record?"),
                           app::Button::Cancel);
    form->DoNextRecord();
    EXPECT_EQ(ctx->EditMode, app::EditMode::Add);
    EXPECT_EQ(edit("Title")->text(), "");
    // No: the new record is dropped and the next one shown.
    prompter.expectMessage(updateQuestion("This record has not been updated yet.  Update this "
                                          "record before moving to the next record?"),
                           app::Button::No);
    form->DoNextRecord();
    EXPECT_EQ(ctx->EditMode, app::EditMode::Edit);
    EXPECT_EQ(edit("Title")->text(), "B");
    EXPECT_EQ(ctx->MyTable->recordCount(), 2u);

    // Edit mode: a change asks before moving and before leaving.
    edit("Title")->setText("Bee");
    prompter.expectMessage(updateQuestion("Data has changed.  Update this record before moving "
                                          "to the previous record?"),
                           app::Button::Yes);
    form->DoPreviousRecord();
    EXPECT_EQ(edit("Title")->text(), "A");
    EXPECT_EQ(ctx->MyTable->recordCount(), 2u);
    edit("Title")->setText("Ay");
    prompter.expectMessage(kExitQuestion, app::Button::No);
    form->DoExit();
    EXPECT_TRUE(form->isVisible());
    prompter.expectMessage(kExitQuestion, app::Button::Yes);
    form->DoExit();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(prompter.beeps().size(), 5u);

    // Clear shows zero amounts and counts as a change.
    open(2);
    form->DoClear();
    for (const char* money : {"Cost", "Value", "LowMarket", "HighMarket"})
        EXPECT_EQ(edit(money)->text(), "0") << money;
    EXPECT_TRUE(form->ValuesChanged());
    prompter.expectMessage(updateQuestion("Data has changed.  Update this record before creating "
                                          "new one?"),
                           app::Button::Cancel);
    form->MenuNewClick();
    EXPECT_EQ(form->windowTitle(), "Edit");
    form->done(0);
    stop();
}

TEST_F(EditFormTest, BrowseModeNeverAsksAndOffersNoChanges) {
    start({"/BROWSE"});
    addBook("A", "Adams");
    addBook("B", "Brown");
    ctx->MyTable->first();
    open(2);
    for (const char* name : {"MenuNew", "MenuClear", "MenuUpdate", "MenuUpdateExit", "MenuCut"})
        EXPECT_FALSE(form->findChild<QAction*>(name)->isEnabled()) << name;
    EXPECT_TRUE(form->findChild<QAction*>("MenuCopyRecord")->isEnabled());
    EXPECT_TRUE(form->findChild<QAction*>("MenuPrintRecord")->isEnabled());
    EXPECT_FALSE(form->findChild<QPushButton*>("UpdateButton")->isEnabled());
    EXPECT_TRUE(form->findChild<QPushButton*>("NextButton")->isEnabled());
    edit("Title")->setText("changed");
    form->DoNextRecord();
    EXPECT_EQ(edit("Title")->text(), "B");
    edit("Title")->setText("changed");
    form->DoPreviousRecord();
    EXPECT_EQ(edit("Title")->text(), "A");
    edit("Title")->setText("changed");
    form->DoExit();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(window->findChild<QMenu*>("MenuListMaintenance")->menuAction()->isEnabled());
    stop();
}

TEST_F(EditFormTest, BadYearKeepsTheFormAndEntriesAndTheNextUpdateSucceeds) {
    start();
    open(1);
    edit("Title")->setText("Dune");
    edit("YearPub")->setText("19x4");
    prompter.expectError("'19x4' is not a valid floating point value for field 'YEARPUB'");
    form->DoAnUpdate();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(ctx->MyTable->recordCount(), 0u);
    EXPECT_EQ(ctx->MyTable->state(), db::Table::State::Browse);
    EXPECT_EQ(edit("Title")->text(), "Dune");
    EXPECT_EQ(ctx->EditMode, app::EditMode::Add);

    edit("YearPub")->setText("1965");
    form->DoAnUpdate();
    EXPECT_EQ(ctx->MyTable->recordCount(), 1u);
    EXPECT_EQ(ctx->EditMode, app::EditMode::Edit);
    EXPECT_EQ(form->windowTitle(), "Edit");
    // The next update edits that record rather than adding another.
    edit("Title")->setText("Dune Messiah");
    form->DoAnUpdate();
    EXPECT_EQ(ctx->MyTable->recordCount(), 1u);
    EXPECT_EQ(ctx->MyTable->text("TITLE"), "Dune Messiah");

    // Invalid dates and amounts go to their page and control.
    edit("CheckDate")->setText("99/99/2020");
    prompter.expectError("Invalid check out date specified.  Please correct.");
    EXPECT_FALSE(form->DoUpdate());
    EXPECT_EQ(form->findChild<QTabWidget*>()->currentIndex(), 3);
    EXPECT_EQ(form->focusWidget(), edit("CheckDate"));
    form->BlankCheckOutClick();
    EXPECT_EQ(form->values()[18], "  /  /    ");
    edit("HighMarket")->setText("12abc");
    prompter.expectError("Invalid high market value specified.  Please correct.");
    EXPECT_FALSE(form->DoUpdate());
    EXPECT_EQ(form->findChild<QTabWidget*>()->currentIndex(), 2);
    form->done(0);
    stop();
}

TEST_F(EditFormTest, ListsGrowByExactMatchInBothPlaces) {
    start();
    open(1);
    const int before = combo("Author")->count();
    combo("Author")->setEditText(" Smith ");
    ASSERT_TRUE(form->DoUpdate());
    ASSERT_TRUE(form->DoUpdate());
    combo("Author")->setEditText("smith");
    ASSERT_TRUE(form->DoUpdate());
    combo("Author")->setEditText("   ");
    ASSERT_TRUE(form->DoUpdate());
    QStringList items;
    for (int i = before; i < combo("Author")->count(); ++i)
        items << combo("Author")->itemText(i);
    EXPECT_EQ(items, (QStringList{"Smith", "smith"}));
    EXPECT_EQ(window->viewerGrid()->dropDownList(2), ctx->lists[0]);
    EXPECT_EQ(ctx->lists[0].mid(before), (QStringList{"Smith", "smith"}));
    form->done(0);
    stop();
}

TEST_F(EditFormTest, CheckOutBoxRemembersDateAndPerson) {
    start();
    addBook("A", "Adams");
    ctx->MyTable->edit();
    ctx->MyTable->setText("CHECKOUT", "Yes");
    ctx->MyTable->setDate("CHECKDATE", db::Date{2024, 3, 9});
    ctx->MyTable->setText("CHECKNAME", "Jane");
    ctx->MyTable->post();
    open(2);
    EXPECT_TRUE(checkOut()->isChecked());
    EXPECT_EQ(edit("CheckDate")->displayText(), "03/09/2024");
    checkOut()->click();
    EXPECT_EQ(form->values()[18], "  /  /    ");
    EXPECT_EQ(combo("CheckName")->currentText(), "");
    checkOut()->click();
    EXPECT_EQ(form->values()[18], "03/09/2024");
    EXPECT_EQ(combo("CheckName")->currentText(), "Jane");
    EXPECT_FALSE(form->ValuesChanged());
    form->done(0);
    stop();
}

TEST_F(EditFormTest, EnterFollowsTheChainAcrossPages) {
    start();
    open(1);
    const auto enter = [&](QWidget* w) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(w, &press);
    };
    auto* pages = form->findChild<QTabWidget*>();
    enter(combo("WherePurch")->lineEdit());
    EXPECT_EQ(pages->currentIndex(), 1);
    EXPECT_EQ(form->focusWidget(), edit("Catalog"));
    enter(edit("UserDef6"));
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(form->focusWidget(), edit("Title"));
    // The key never reaches a control: a combo does not take it as a new item.
    combo("Author")->setEditText("Zed");
    const int count = combo("Author")->count();
    enter(combo("Author")->lineEdit());
    EXPECT_EQ(combo("Author")->count(), count);
    form->done(0);
    stop();
}

TEST_F(EditFormTest, HeaderLabelsAndFieldNamesFollowTheSettings) {
    start();
    ctx->database.fieldNames[0] = "Book Title";
    ctx->database.fieldNames[1] = "Writer";
    open(1);
    EXPECT_EQ(form->findChild<QLabel*>("AuthorLabel")->text(), "Writer");
    edit("Title")->setText("Emma");
    leave(edit("Title"));
    for (const char* h : {"WarrantyItem", "WorthItem", "LibraryItem", "OtherItem"})
        EXPECT_EQ(form->findChild<QLabel*>(h)->text(), "Book Title: Emma") << h;
    EXPECT_EQ(edit("Title")->maxLength(), 90);
    EXPECT_EQ(combo("Publisher")->lineEdit()->maxLength(), 60);
    EXPECT_EQ(edit("UserDef3")->maxLength(), 40);
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    form->done(0);
    stop();
}

TEST_F(EditFormTest, MaintenanceDialogEditsOneListAndCancelKeepsIt) {
    start();
    ctx->lists[0] = QStringList{"Adams", "Brown", "Clark"};
    form->showLists();
    onNextModal([&](QWidget* w) {
        auto* box = qobject_cast<edit::TMyEditBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Edit \"Author\" List");
        auto* list = box->findChild<QListWidget*>("TheList");
        EXPECT_EQ(list->currentRow(), 0);
        box->findChild<QLineEdit*>("AddInfo")->setText(" Adams ");
        box->AddButtonClick();
        list->setCurrentRow(0);
        box->DeleteButtonClick();
        EXPECT_EQ(list->currentRow(), 0);
        clickButton(box, "CancelButton");
    });
    form->EditAList(1);
    EXPECT_EQ(ctx->lists[0], (QStringList{"Adams", "Brown", "Clark"}));

    onNextModal([&](QWidget* w) {
        auto* box = static_cast<edit::TMyEditBox*>(w);
        auto* list = box->findChild<QListWidget*>("TheList");
        EXPECT_EQ(box->findChild<QLineEdit*>("AddInfo")->maxLength(), 30);
        box->findChild<QLineEdit*>("AddInfo")->setText("attic");
        box->AddButtonClick();
        box->findChild<QLineEdit*>("AddInfo")->setText("Attic");
        box->AddButtonClick();
        box->findChild<QLineEdit*>("AddInfo")->setText("attic");
        box->AddButtonClick(); // duplicates are kept
        list->setCurrentRow(2);
        box->DeleteButtonClick(); // the last entry: the new last is selected
        EXPECT_EQ(list->currentRow(), 1);
        EXPECT_TRUE(list->currentItem()->isSelected());
        box->findChild<QLineEdit*>("AddInfo")->setText("Basement");
        box->AddButtonClick();
        prompter.expectConfirm("Confirm",
                               "Are you sure you want to sort the data?  Sorting cannot be undone.",
                               app::Button::Yes);
        box->SortButtonClick();
        EXPECT_EQ(box->entries(), (QStringList{"attic", "Attic", "Basement"}));
        clickButton(box, "OkButton");
    });
    ctx->lists[1].clear();
    form->EditAList(2);
    EXPECT_EQ(ctx->lists[1], (QStringList{"attic", "Attic", "Basement"}));
    EXPECT_EQ(window->viewerGrid()->dropDownList(25), ctx->lists[1]);
    EXPECT_EQ(combo("Location")->count(), 3);
    EXPECT_EQ(test::readFile(home / "MASTER.002"), "attic\r\nAttic\r\nBasement\r\n");

    onNextModal([&](QWidget* w) {
        auto* list = w->findChild<QListWidget*>("TheList");
        list->setCurrentRow(0);
        static_cast<edit::TMyEditBox*>(w)->DeleteButtonClick();
        EXPECT_EQ(list->currentRow(), -1);
        EXPECT_EQ(list->count(), 0);
        clickButton(w, "OkButton");
    });
    ctx->lists[6] = QStringList{"Only"};
    window->findChild<QAction*>("MenuListBookType")->trigger();
    EXPECT_TRUE(ctx->lists[6].isEmpty());
    stop();
}

TEST_F(EditFormTest, DefaultListCommandsAskWithNoAsTheDefault) {
    start();
    ctx->lists[3] = QStringList{"Zzyzx Verse"};
    const app::Message save{
        .kind = app::MessageKind::Warning,
        .caption = "Warning",
        .text = "Your current Data Lists will become your default list values.  These values will "
                "be used when new databases are created.  Previous default values will be lost.  "
                "Do you want to proceed?",
        .buttons = app::Button::Yes | app::Button::No,
        .defaultButton = app::Button::No};
    prompter.expectMessage(save, app::Button::No);
    window->findChild<QAction*>("MenuSaveDefaults")->trigger();
    EXPECT_EQ(test::readFile(home / "CATEGORY.LST").find("Zzyzx Verse"), std::string::npos);
    prompter.expectMessage(save, app::Button::Yes);
    window->findChild<QAction*>("MenuSaveDefaults")->trigger();
    EXPECT_EQ(test::readFile(home / "CATEGORY.LST"), "Zzyzx Verse\r\n");

    ctx->lists[3] = QStringList{"Other"};
    prompter.expectMessage(
        {.kind = app::MessageKind::Warning,
         .caption = "Warning",
         .text = "Your current Data Lists will be overridden with your default list values. "
                 "Previous  values will be lost.  Do you want to proceed?",
         .buttons = app::Button::Yes | app::Button::No,
         .defaultButton = app::Button::No},
        app::Button::Yes);
    window->findChild<QAction*>("MenuLoadDefaults")->trigger();
    EXPECT_EQ(ctx->lists[3], QStringList{"Zzyzx Verse"});
    EXPECT_EQ(window->viewerGrid()->dropDownList(5), QStringList{"Zzyzx Verse"});
    EXPECT_EQ(prompter.beeps().size(), 3u);
    stop();
}

TEST_F(EditFormTest, ThreeCopiesPrintThreePagesOfThirtySixLines) {
    start();
    open(1);
    edit("Title")->setText("Dune");
    checkOut()->setChecked(true);
    const std::string pdf = (home / "record.pdf").string();
    const app::PrintSetup threeCopies{.outputFile = QString::fromStdString(pdf), .copies = 3};
    prompter.expectPrint({}, threeCopies);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
    const std::string info = run("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Pages:           3\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Shelvix Books 97"), std::string::npos) << info;
    const std::string text = run("pdftotext -layout '" + pdf + "' -");
    std::size_t pages = 0;
    for (std::size_t at = 0; (at = text.find("Title: Dune", at)) != std::string::npos; ++at)
        ++pages;
    EXPECT_EQ(pages, 3u);
    EXPECT_NE(text.find("Checked Out: Yes"), std::string::npos);
    EXPECT_NE(text.find("User Defined 6:"), std::string::npos);

    // Rendered, each page has ink only in the top part: 36 lines at 1.1 spacing.
    const std::string png = (home / "page").string();
    run("pdftoppm -r 40 -png '" + pdf + "' '" + png + "'");
    for (int page = 1; page <= 3; ++page) {
        const QImage image(QString::fromStdString(png + "-" + std::to_string(page) + ".png"));
        ASSERT_FALSE(image.isNull()) << page;
        int lastInk = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 128)
                    lastInk = y;
        EXPECT_GT(lastInk, image.height() / 3) << page;
        EXPECT_LT(lastInk, image.height() * 3 / 4) << page;
    }
    if (const char* keep = std::getenv("SHELVIX_SCREENSHOT_DIR"))
        std::filesystem::copy_file(png + "-1.png", std::filesystem::path(keep) / "printout-1.png",
                                   std::filesystem::copy_options::overwrite_existing);

    // The dialog offers the last choice again; cancelled, it prints nothing and says nothing.
    std::filesystem::remove(pdf);
    prompter.expectPrint({.initial = threeCopies}, std::nullopt);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(std::filesystem::exists(pdf));
    form->done(0);
    stop();
}

TEST_F(EditFormTest, Screenshots) {
    const char* dir = std::getenv("SHELVIX_SCREENSHOT_DIR");
    if (!dir)
        GTEST_SKIP() << "set SHELVIX_SCREENSHOT_DIR to keep the pictures";
    start();
    addBook("Dune", "Herbert");
    open(2);
    auto* pages = form->findChild<QTabWidget*>();
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QApplication::processEvents();
        form->grab().save(QStringLiteral("%1/editform-page%2.png").arg(dir).arg(i));
    }
    form->done(0);
    stop();
}

TEST_F(EditFormTest, UnchangedDatesSaveByteForByteInEveryDateFormat) {
    start();
    const QDate dates[] = {{1900, 1, 1},  {1960, 2, 29}, {1975, 12, 31}, {1999, 7, 4},
                           {2000, 1, 31}, {2049, 10, 9}, {2075, 6, 19}};
    constexpr int kBooks = 7;
    for (int i = 0; i < kBooks; ++i) {
        const QDate& p = dates[i];
        const QDate& c = dates[(i + 3) % kBooks];
        ctx->MyTable->insert();
        ctx->MyTable->setText("TITLE", "Book " + std::to_string(i));
        ctx->MyTable->setDate("PURCHDATE", db::Date{p.year(), p.month(), p.day()});
        ctx->MyTable->setText("CHECKOUT", "Yes");
        ctx->MyTable->setDate("CHECKDATE", db::Date{c.year(), c.month(), c.day()});
        for (const char* money : {"COST", "VALUE", "LOWMARKET", "HIGHMARKET"})
            ctx->MyTable->setNumber(money, 0); // the form stores an empty amount as 0
        ctx->MyTable->post();
    }
    const auto records = [&] {
        const std::string file = test::readFile(home / "MASTER.DBF");
        const auto headerLength =
            std::size_t(std::uint8_t(file.at(8))) | std::size_t(std::uint8_t(file.at(9))) << 8;
        return file.substr(headerLength);
    };
    const std::string before = records();
    auto* update = form->findChild<QPushButton*>("UpdateButton");
    auto* next = form->findChild<QPushButton*>("NextButton");
    for (int format = 1; format <= 12; ++format) {
        for (bool zeros : {false, true}) {
            ctx->formats.setDateFormat(format);
            ctx->formats.setLeadingZeros(zeros);
            ctx->MyTable->first();
            open(2);
            for (int i = 0; i < kBooks; ++i) {
                ASSERT_EQ(edit("Title")->text(), QStringLiteral("Book %1").arg(i));
                EXPECT_TRUE(edit("PurchDate")->text().endsWith(QString::number(dates[i].year())))
                    << format << " " << edit("PurchDate")->text().toStdString();
                QTest::mouseClick(update, Qt::LeftButton);
                EXPECT_FALSE(form->ValuesChanged());
                QTest::mouseClick(next, Qt::LeftButton);
            }
            form->done(0);
            ASSERT_EQ(records(), before)
                << "format " << format << (zeros ? " with" : " without") << " leading zeros";
        }
    }
    stop();
}

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
