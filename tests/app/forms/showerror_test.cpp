#include "app/forms/qtprompter.h"
#include "app/showerror.h"
#include "db/booktable.h"
#include "db/displayformats.h"
#include "db/settings.h"
#include "support/gui_modal.h"
#include "support/tempdir.h"
#include "viewer/forms/viewergrid.h"
#include "viewer/gridmodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <gtest/gtest.h>

using namespace shelvix;

namespace {

// The text of the next message box `action` brings up; answered with OK.
QString messageOf(const std::function<void()>& action) {
    QString text;
    bool shown = false;
    test::onNextModal([&](QWidget* w) {
        shown = true;
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Error");
        text = box->text();
        test::clickDefaultButton(box);
    });
    action();
    // The grid reports a refusal once its editor has closed.
    QElapsedTimer clock;
    clock.start();
    while (!shown && clock.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return text;
}

void type(QWidget* w, const QString& text) {
    for (QChar ch : text) {
        QKeyEvent down(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(w, &down);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(w, &enter);
    QApplication::processEvents();
}

} // namespace

// Engine messages name files in UTF-8 and quote field bytes; both must read
// as the user wrote them in the message box.
TEST(ShowError, FileNamesAndStoredLettersReadAsWritten) {
    test::TempDir dir;
    app::QtPrompter prompter;

    const auto damaged = dir / "B\u00FCcher \u00C6r\u00F8.DBF";
    test::writeFile(damaged, "too short");
    EXPECT_EQ(messageOf([&] {
                  try {
                      db::Table::open(damaged, db::OpenMode::ReadOnly);
                  } catch (const db::DatabaseError& e) {
                      app::showError(prompter, e);
                  }
              }),
              QString::fromUtf8("The table B\u00FCcher \u00C6r\u00F8.DBF is damaged: the file is "
                                "too short to hold a dBASE header"));

    // A value typed into the grid is encoded in the table's code page before
    // the engine sees it, and its refusal quotes those bytes: a Windows and a
    // DOS table alike.
    for (const char driver : {'\x57', '\x1B'}) {
        const auto path = dir / ("B\u00FCcher " + std::to_string(int(driver)) + ".DBF");
        db::createBookTable(path);
        std::string bytes = test::readFile(path);
        bytes[29] = driver; // the language driver
        test::writeFile(path, bytes);
        auto table = db::Table::open(path, db::OpenMode::Shared);
        table->insert();
        table->post();

        db::DisplayFormats formats;
        db::DatabaseSettings settings;
        settings.fieldEditing = true;
        viewer::ViewerGrid grid;
        grid.setDisplayFormats(&formats);
        grid.setPrompter(&prompter);
        grid.setTable(table.get());
        grid.resize(617, 293);
        grid.SetViewerOptions(settings);
        grid.show();
        QApplication::processEvents();

        int column = -1;
        for (int c = 0; c < grid.gridModel()->columnCount(); ++c)
            if (grid.gridModel()->fieldAt(c) == 3) // YearPub
                column = c;
        const QModelIndex cell = grid.gridModel()->index(0, column);
        grid.setCurrentIndex(cell);
        grid.edit(cell);
        QApplication::processEvents();
        auto* editor = qobject_cast<QLineEdit*>(grid.indexWidget(cell));
        ASSERT_NE(editor, nullptr);
        editor->setFocus();
        EXPECT_EQ(messageOf([&] { type(editor, QString::fromUtf8("19\u00E97")); }),
                  QString::fromUtf8("'19\u00E97' is not a valid floating point value for field "
                                    "'YEARPUB'"))
            << int(driver);
        QApplication::processEvents();
        EXPECT_EQ(table->record(1).text("YEARPUB"), "");
        grid.setTable(nullptr);
    }
}
