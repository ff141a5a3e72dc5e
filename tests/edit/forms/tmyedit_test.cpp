#include "edit/forms/editforms.h"

using namespace shelvix;
using namespace shelvix::test;
using edit::TMyEdit;

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
    const std::string dump = shelvix::test::commandOutput(
        std::string("'") + SHELVIX_TOOL_PATH + "' dump '" + (home / "MASTER.DBF").string() + "'");
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
    const std::string info = shelvix::test::commandOutput("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Pages:           3\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Shelvix Books 97"), std::string::npos) << info;
    const std::string text = shelvix::test::commandOutput("pdftotext -layout '" + pdf + "' -");
    std::size_t pages = 0;
    for (std::size_t at = 0; (at = text.find("Title: Dune", at)) != std::string::npos; ++at)
        ++pages;
    EXPECT_EQ(pages, 3u);
    EXPECT_NE(text.find("Checked Out: Yes"), std::string::npos);
    EXPECT_NE(text.find("User Defined 6:"), std::string::npos);

    // Rendered, each page has ink only in the top part: 36 lines at 1.1 spacing.
    const std::string png = (home / "page").string();
    shelvix::test::commandOutput("pdftoppm -r 40 -png '" + pdf + "' '" + png + "'");
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
