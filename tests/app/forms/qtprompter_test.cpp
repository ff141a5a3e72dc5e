#include "app/forms/qtprompter.h"
#include "support/gui_modal.h"
#include "support/tempdir.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QThread>
#include <filesystem>
#include <gtest/gtest.h>

using namespace shelvix::app;
using namespace shelvix::test;

namespace {

// The dialog reads its directory in the background and may reset the typed
// name meanwhile, so type and accept until it takes.
void acceptFileName(QFileDialog* d, const QString& name) {
    auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    for (int i = 0; i < 200 && d->isVisible(); ++i) {
        edit->setText(name);
        static_cast<QDialog*>(d)->accept(); // public there
        if (d->isVisible()) {
            QThread::msleep(10);
            QCoreApplication::processEvents();
        }
    }
}

} // namespace

TEST(QtPrompter, MessageBoxShowsCaptionTextIconButtonsAndDefault) {
    QtPrompter prompter;
    const QString text =
        QStringLiteral("Deleted items stay.  Packing removes <b>them</b>.  Continue?");
    bool checked = false;
    onNextModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Confirm");
        EXPECT_EQ(box->text(), text);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        checked = true;
        clickDefaultButton(box);
    });
    EXPECT_EQ(prompter.confirm("Confirm", text, Button::No), Button::No);
    EXPECT_TRUE(checked);

    onNextModal([](QWidget* w) { clickButton(w, "&Yes"); });
    EXPECT_EQ(prompter.confirm("Confirm", "Delete this record?"), Button::Yes);
}

TEST(QtPrompter, EscapeGivesCancelOrNoOrOk) {
    QtPrompter prompter;
    onNextModal([](QWidget* w) {
        EXPECT_EQ(qobject_cast<QMessageBox*>(w)->icon(), QMessageBox::Critical);
        closeModal(w);
    });
    prompter.error("Invalid file type selected.");

    onNextModal(closeModal);
    EXPECT_EQ(prompter.message({.kind = MessageKind::Warning,
                                .caption = "Warning",
                                .text = "Save?",
                                .buttons = Button::Yes | Button::No | Button::Cancel}),
              Button::Cancel);
    onNextModal(closeModal);
    EXPECT_EQ(prompter.confirm("Confirm", "Sort?"), Button::No);
}

TEST(QtPrompter, FileDialogFiltersInAnyCaseAndAddsTheExtension) {
    EXPECT_EQ(qtNameFilters("Database Files (*.DBF)|*.DBF|All Files (*.*)|*.*"),
              QStringList({"Database Files (*.DBF *.dbf)", "All Files (*)"}));
    EXPECT_EQ(qtNameFilters("Text (*.txt;*.csv)|*.txt;*.csv"),
              QStringList({"Text (*.txt *.TXT *.csv *.CSV)"}));

    TempDir dir;
    writeFile(dir / "books.dbf", "");
    // Empty, so that the dialog has nothing to select on its own while it
    // reads the directory.
    std::filesystem::create_directory(dir / "new");
    const QString folder = QString::fromStdString(dir.path().string());
    QtPrompter prompter;

    FileRequest open{FileMode::Open,
                     "Open Database File",
                     "Database Files (*.DBF)|*.DBF",
                     "DBF",
                     folder,
                     FileFlag::FileMustExist | FileFlag::HideReadOnly};
    onNextModal([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle(), "Open Database File");
        EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
        acceptFileName(d, "books.dbf");
    });
    EXPECT_EQ(prompter.chooseFile(open), folder + "/books.dbf");

    FileRequest save{
        FileMode::Save, "New Database File", "Database Files (*.DBF)|*.DBF",
        "DBF",          folder + "/new",     FileFlag::OverwritePrompt | FileFlag::PathMustExist};
    onNextModal([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
        acceptFileName(d, "NEWBOOKS");
    });
    EXPECT_EQ(prompter.chooseFile(save), folder + "/new/NEWBOOKS.DBF");

    onNextModal(closeModal);
    EXPECT_EQ(prompter.chooseFile(open), std::nullopt);
}

TEST(QtPrompter, ColourDialogSpeaksWindowsColours) {
    QtPrompter prompter;
    onNextModal([](QWidget* w) {
        auto* d = qobject_cast<QColorDialog*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->currentColor(), QColor(0x10, 0x20, 0x30));
        d->setCurrentColor(QColor(255, 128, 0));
        static_cast<QDialog*>(d)->accept(); // public there
    });
    EXPECT_EQ(prompter.chooseColor(0x302010), 0x0080FF);
}

// The real print dialog opens on the setup it is given and hands back what it
// shows; it prints nothing itself.
TEST(QtPrompter, PrintDialogStartsFromTheSetupAndGivesBackTheChoice) {
    TempDir dir;
    QtPrompter prompter;
    const PrintSetup initial{.outputFile = QString::fromStdString((dir / "out.pdf").string()),
                             .copies = 3,
                             .fromPage = 2,
                             .toPage = 4,
                             .paperSize = QSizeF(210, 297)};
    onNextModal([](QWidget* w) {
        EXPECT_NE(qobject_cast<QPrintDialog*>(w), nullptr);
        closeModal(w);
    });
    EXPECT_EQ(prompter.choosePrinter({initial, 5}), std::nullopt);

    onNextModal([](QWidget* w) { clickDefaultButton(w); });
    const std::optional<PrintSetup> chosen = prompter.choosePrinter({initial, 5});
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->outputFile, initial.outputFile);
    EXPECT_EQ(chosen->copies, 3);
    EXPECT_EQ(chosen->fromPage, 2);
    EXPECT_EQ(chosen->toPage, 4);
    EXPECT_NEAR(chosen->paperSize.width(), 210, 0.5);
    EXPECT_NEAR(chosen->paperSize.height(), 297, 0.5);
    EXPECT_FALSE(chosen->landscape);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.pdf"));
}
