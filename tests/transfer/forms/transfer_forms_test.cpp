#include "app/forms/placement.h"
#include "app/forms/qtprompter.h"
#include "db/booktable.h"
#include "support/exportfiles.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
#include "transfer/delimited.h"
#include "transfer/forms/tmyexport.h"
#include "transfer/forms/tmyimport.h"
#include "transfer/forms/transfercommands.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace shelvix;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

// A search on Author "A...", ended by reopening the table without it, as the
// main window does.
struct WindowSearch {
    app::AppContext& ctx;
    int ended = 0;
    app::SearchBracket bracket{{[this] { return ctx.SearchOn; },
                                [this] {
                                    ++ended;
                                    ctx.SearchOn = false;
                                    ctx.MyTable = db::Table::open(db::toPath(ctx.current.current),
                                                                  db::OpenMode::Shared);
                                },
                                [this] { start(); }}};
    explicit WindowSearch(app::AppContext& c) : ctx(c) {}
    void start() {
        ctx.SearchOn = true;
        ctx.BuildFilter = [](const db::RecordView& r) { return r.text("Author").starts_with("A"); };
        ctx.MyTable->setFilter([c = &ctx](const db::RecordView& r) { return c->MyTableFilter(r); });
    }
};

struct TransferFixture {
    test::TempDir dir;
    std::filesystem::path table = dir / "BOOKS.DBF";
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    WindowSearch search{ctx};
    int refreshed = 0;
    transfer::TransferCommands commands{ctx, search.bracket, nullptr, [this] { ++refreshed; }};

    TransferFixture() {
        db::createBookTable(table);
        ctx.prompter = &prompter;
        ctx.screenSize = {800, 600};
        ctx.screenFactor = 1.25; // as start-up sets it for this screen
        ctx.current = db::DatabaseFiles::of(q(table));
        ctx.MyTable = db::Table::open(table, db::OpenMode::Shared);
        ctx.global.lastImportFile = ctx.global.lastExportFile = q(dir.path());
    }
    void add(const char* title, const char* author) {
        ctx.MyTable->insert();
        ctx.MyTable->setText("Title", title);
        ctx.MyTable->setText("Author", author);
        ctx.MyTable->post();
    }
    std::vector<std::string> stored(const char* field) {
        auto t = db::Table::open(table, db::OpenMode::ReadOnly);
        std::vector<std::string> out;
        t->scan([&](const db::RecordView& r) {
            out.emplace_back(r.text(field));
            return false;
        });
        return out;
    }
    static app::FileRequest fileRequest(app::FileMode mode, const char* filter, const char* ext,
                                        const QString& initial) {
        app::FileRequest r;
        r.mode = mode;
        r.title = mode == app::FileMode::Open ? QStringLiteral("Import Data")
                                              : QStringLiteral("Export Data");
        r.filter = QString::fromLatin1(filter);
        r.defaultExtension = QString::fromLatin1(ext);
        r.initialPath = initial;
        r.flags = mode == app::FileMode::Open
                      ? app::FileFlag::FileMustExist | app::FileFlag::HideReadOnly
                      : app::FileFlag::OverwritePrompt | app::FileFlag::HideReadOnly |
                            app::FileFlag::PathMustExist;
        return r;
    }
    app::FileRequest asciiOpen() const {
        return fileRequest(app::FileMode::Open,
                           "Text files (*.csv *.tsv *.txt)|*.csv;*.tsv;*.txt|All files (*)|*",
                           "TXT", q(dir.path()));
    }
};

template <class T> T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

// Buttons in their middle; radio buttons and check boxes on their mark.
void click(QWidget* w, const char* name) {
    QWidget* c = child<QWidget>(w, name);
    const bool mark = qobject_cast<QRadioButton*>(c) || qobject_cast<QCheckBox*>(c);
    QTest::mouseClick(c, Qt::LeftButton, {},
                      mark ? QPoint(8, c->height() / 2) : c->rect().center());
}

QPoint cellCentre(QTableWidget* grid, int row, int column) {
    return grid->visualRect(grid->model()->index(row, column)).center();
}

void clickCell(QTableWidget* grid, int row, int column) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, row, column));
}

// A double click is a click and then the double-click event, as a mouse sends it.
void doubleClickCell(QTableWidget* grid, int row, int column) {
    clickCell(grid, row, column);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, row, column));
}

QString text(QTableWidget* grid, int row, int column) {
    return grid->item(row, column)->text();
}

app::Message ok(const char* caption, const QString& text,
                app::MessageKind kind = app::MessageKind::Information) {
    return {kind, QString::fromLatin1(caption), text, app::Button::Ok};
}

} // namespace

TEST(ImportWindows, DelimitedFileLinedUpAndImported) {
    TransferFixture f;
    const auto file = f.dir / "IN.TXT";
    test::writeFile(file, "\"Name\",\"Year\",\"Junk\"\r\n"
                          "\"Dune\",\"1965\",\"x\"\r\n"
                          "\"Emma\",\"1815a\",\"y\"\r\n");
    // Cancelling the file dialog leaves the format dialog open.
    f.prompter.expectFile(f.asciiOpen(), std::nullopt);
    f.prompter.expectFile(f.asciiOpen(), q(file));
    f.prompter.expectMessage(ok("Ok", QStringLiteral("Import Complete.")), app::Button::Ok);
    bool importShown = false;
    test::onNextModal([&](QWidget* format) {
        EXPECT_EQ(format->windowTitle(), "Import Format");
        EXPECT_TRUE(child<QRadioButton>(format, "AsciiDelimited")->isChecked());
        click(format, "FileButton");
        EXPECT_TRUE(format->isVisible());
        test::onNextModal([&](QWidget* w) {
            importShown = true;
            EXPECT_EQ(w->windowTitle(), "Ascii Delimited Text Import");
            auto* grid = child<QTableWidget>(w, "ImportGrid");
            ASSERT_EQ(grid->rowCount(), 36);
            EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), "USE");
            EXPECT_EQ(text(grid, 2, 0), "Year Pub");
            EXPECT_EQ(text(grid, 1, 1), "Year");
            EXPECT_EQ(text(grid, 3, 1), "<EMPTY>");
            EXPECT_EQ(text(grid, 3, 2), "");
            EXPECT_TRUE(child<QCheckBox>(w, "SkipFirst")->isChecked());
            // Year slides down beside Year Pub; Junk, now beside Author, is
            // switched off, and an empty USE cell stays empty.
            clickCell(grid, 1, 1);
            click(w, "DownButton");
            EXPECT_EQ(grid->currentRow(), 2);
            EXPECT_EQ(text(grid, 2, 1), "Year");
            doubleClickCell(grid, 1, 2);
            EXPECT_EQ(text(grid, 1, 2), "No");
            doubleClickCell(grid, 5, 2);
            EXPECT_EQ(text(grid, 5, 2), "");
            click(w, "StartButton");
            EXPECT_EQ(child<QWidget>(w, "ImportCount")->property("text").toString(), "2 ");
        });
        click(format, "FileButton");
    });
    f.commands.DoImport();
    EXPECT_TRUE(importShown);
    EXPECT_EQ(f.refreshed, 1);
    EXPECT_EQ(f.stored("Title"), (std::vector<std::string>{"Dune", "Emma"}));
    EXPECT_EQ(f.stored("YearPub"), (std::vector<std::string>{"1965", "1815"}));
    EXPECT_EQ(f.stored("Author"), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(f.ctx.database.importFileType, 1);
    EXPECT_EQ(f.ctx.global.lastImportFile, q(file));
}

TEST(ImportWindows, DbaseSourceAndTheRefusals) {
    TransferFixture f;
    const auto source = f.dir.copyFixture("independent/PBOOKS1.DBF");
    f.dir.copyFixture("independent/PBOOKS1.MDX");
    const auto dbfOpen = TransferFixture::fileRequest(app::FileMode::Open, "DBase  (*.DBF)|*.DBF",
                                                      "DBF", q(f.dir.path()));
    f.prompter.expectFile(dbfOpen, q(f.dir / "NOTES.TXT"));
    f.prompter.expectError(QStringLiteral("Invalid file type selected."));
    auto second = dbfOpen;
    second.initialPath = q(f.dir / "NOTES.TXT");
    f.prompter.expectFile(second, q(source));
    f.prompter.expectMessage(ok("Ok", QStringLiteral("Import Complete.")), app::Button::Ok);
    test::onNextModal([&](QWidget* format) {
        click(format, "DBFFormat");
        click(format, "FileButton");
        EXPECT_TRUE(format->isVisible());
        test::onNextModal([&](QWidget* w) {
            EXPECT_EQ(w->windowTitle(), "DBase File Import");
            EXPECT_FALSE(child<QCheckBox>(w, "SkipFirst")->isVisible());
            auto* grid = child<QTableWidget>(w, "ImportGrid");
            EXPECT_EQ(text(grid, 0, 1), "AUTHOR");
            // TITLE up beside Title puts AUTHOR beside Author.
            clickCell(grid, 1, 1);
            click(w, "UpButton");
            EXPECT_EQ(grid->currentRow(), 0);
            for (int row = 2; row < 6; ++row)
                doubleClickCell(grid, row, 2);
            click(w, "StartButton");
        });
        click(format, "FileButton");
    });
    f.commands.DoImport();
    EXPECT_EQ(f.stored("Author").size(), 10u);
    EXPECT_EQ(f.stored("Title")[0], "The Hobbit");
    EXPECT_EQ(f.stored("Author")[5], "Zola, \xC9mile");
    EXPECT_EQ(f.stored("YearPub")[0], "");
    EXPECT_EQ(f.ctx.database.importFileType, 2);
}

void key(int k, Qt::KeyboardModifiers mods = {}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), mods);
}

// Keys go to the focus a window gives itself once it is active; with no
// window manager, a test must ask for that.
void activate(QWidget* window) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    ASSERT_TRUE(QTest::qWaitFor([window] {
        return QApplication::focusWidget() && QApplication::focusWidget()->window() == window;
    }));
}

// A table with a dBASE III memo file, mailed without the index its header
// flags, and whose header counts two of its four records: chosen, lined up
// and imported by keys, closed by the real message boxes.
TEST(ImportWindows, DbaseSourceWithMemosByKeys) {
    TransferFixture f;
    const std::filesystem::path data = std::filesystem::path(SHELVIX_SOURCE_DIR) / "tests/data";
    const auto source = f.dir / "MEMO3.DBF";
    std::string table = test::readFile(data / "MEMO3.DBF");
    table[4] = 2;
    table[28] = 1;
    test::writeFile(source, table);
    std::filesystem::copy_file(data / "MEMO3.DBT", f.dir / "MEMO3.DBT");
    struct RealMessages : test::ScriptedPrompter {
        app::QtPrompter real;
        app::Button message(const app::Message& m) override { return real.message(m); }
    } prompter;
    f.ctx.prompter = &prompter;
    f.ctx.database.importFileType = 1;
    prompter.expectFile(TransferFixture::fileRequest(app::FileMode::Open, "DBase  (*.DBF)|*.DBF",
                                                     "DBF", q(f.dir.path())),
                        q(source));
    QStringList shown;
    auto answer = [&](QWidget* box) {
        shown << box->windowTitle() + u'|' + static_cast<QMessageBox*>(box)->text();
        activate(box);
        key(Qt::Key_Return);
    };
    test::onNextModal([&](QWidget* format) {
        activate(format);
        EXPECT_EQ(QApplication::focusWidget(), child<QWidget>(format, "AsciiDelimited"));
        key(Qt::Key_Down);
        EXPECT_TRUE(child<QRadioButton>(format, "DBFFormat")->isChecked());
        test::onNextModal([&](QWidget* w) {
            auto* grid = child<QTableWidget>(w, "ImportGrid");
            activate(w);
            EXPECT_EQ(QApplication::focusWidget(), grid);
            for (int i = 0; i < 3; ++i)
                key(Qt::Key_Down);
            EXPECT_EQ(text(grid, 3, 1), "NOTES");
            // A mnemonic presses its button once the press has been shown.
            for (int row = 4; row <= 8; ++row) {
                key(Qt::Key_D, Qt::AltModifier);
                EXPECT_TRUE(QTest::qWaitFor([&] { return grid->currentRow() == row; }));
            }
            EXPECT_EQ(text(grid, 8, 0), "Description");
            EXPECT_EQ(text(grid, 8, 1), "NOTES");
            test::onNextModal([&](QWidget* box) {
                test::onNextModal(answer);
                answer(box);
            });
            key(Qt::Key_S, Qt::AltModifier);
        });
        key(Qt::Key_Return);
    });
    f.commands.DoImport();
    EXPECT_EQ(shown,
              QStringList({"Ok|Import Complete.\n\n2 complete record(s) lay past the record "
                           "count in the table's header; they were read as well.",
                           "Warning|Some values were not imported as they stood:\n1 "
                           "memo(s) longer than their Shelvix field were cut to its width."}));
    EXPECT_EQ(f.stored("Title"), (std::vector<std::string>{"Dune", "Emma", "Long", "Caf\xE9"}));
    const auto notes = f.stored("Descriptio");
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(notes[0], "Memo text for A");
    EXPECT_EQ(notes[1], "");
    EXPECT_EQ(notes[2].size(), 110u);
    EXPECT_EQ(notes[3], "Caf\xE9 au lait");
    EXPECT_EQ(f.stored("Publisher"), (std::vector<std::string>(4, "")));
    EXPECT_EQ(test::readFile(source), table);
}

// A spreadsheet's CSV: UTF-8, LF, quoted only where needed, its header naming
// our fields. The grid starts lined up by those names and the import runs by
// keys; a letter the table lacks is stored as "?" and counted.
TEST(ImportWindows, SpreadsheetCsvLinedUpByItsHeaderAndImportedByKeys) {
    TransferFixture f;
    const auto file = f.dir / "books.csv";
    test::writeFile(file, "Title,AUTHOR,Shelf,year pub,Purchase Date\n"
                          "\"Caf\xC3\xA9, Society\",\xCE\xA9mega,A1,1999,3/4/2001\n"
                          "\"Two\nlines\",\"Smith, \"\"Doc\"\"\",B2,,\n");
    f.prompter.expectFile(f.asciiOpen(), q(file));
    f.prompter.expectMessage(ok("Ok", QStringLiteral("Import Complete.")), app::Button::Ok);
    f.prompter.expectMessage(ok("Warning",
                                QStringLiteral("Some values were not imported as they stood:\n1 "
                                               "character(s) that the table's code page lacks "
                                               "were stored as \"?\"."),
                                app::MessageKind::Warning),
                             app::Button::Ok);
    test::onNextModal([&](QWidget* format) {
        activate(format);
        test::onNextModal([&](QWidget* w) {
            auto* grid = child<QTableWidget>(w, "ImportGrid");
            EXPECT_EQ(child<QComboBox>(w, "PresetBox")->currentText(), "None");
            const QStringList expected{"Title|Title|Yes", "Author|AUTHOR|Yes",
                                       "Year Pub|year pub|Yes", "Publisher|Shelf|No",
                                       "Category|<EMPTY>|"};
            for (int row = 0; row < 5; ++row)
                EXPECT_EQ(text(grid, row, 0) + u'|' + text(grid, row, 1) + u'|' +
                              text(grid, row, 2),
                          expected[row]);
            EXPECT_EQ(text(grid, 11, 1), "Purchase Date");
            activate(w);
            key(Qt::Key_S, Qt::AltModifier);
        });
        key(Qt::Key_Return);
    });
    f.commands.DoImport();
    EXPECT_EQ(f.stored("Title"), (std::vector<std::string>{"Caf\xE9, Society", "Two lines"}));
    EXPECT_EQ(f.stored("Author"), (std::vector<std::string>{"?mega", "Smith, \"Doc\""}));
    EXPECT_EQ(f.stored("YearPub"), (std::vector<std::string>{"1999", ""}));
    EXPECT_EQ(f.stored("PurchDate"), (std::vector<std::string>{"20010304", ""}));
    EXPECT_EQ(f.stored("Publisher"), (std::vector<std::string>{"", ""}));
}

// Books whose ISBN is there already are left out when the box is ticked,
// and the closing warning counts them with the ISBNs that fail their check.
TEST(ImportWindows, DuplicateIsbnsLeftOutByChoiceAndCounted) {
    TransferFixture f;
    f.ctx.MyTable->insert();
    f.ctx.MyTable->setText("Title", "Dune");
    f.ctx.MyTable->setText("ISBN", "0-306-40615-2");
    f.ctx.MyTable->post();
    const auto file = f.dir / "books.csv";
    test::writeFile(file, "Title,ISBN\nDune again,9780306406157\nSlip,0-306-40615-3\n");
    f.prompter.expectFile(f.asciiOpen(), q(file));
    f.prompter.expectMessage(ok("Ok", QStringLiteral("Import Complete.")), app::Button::Ok);
    f.prompter.expectMessage(
        ok("Warning",
           QStringLiteral("1 ISBN(s) whose check digit does not match were stored as they "
                          "stood.\n1 book(s) with an ISBN already in the catalogue were left out."),
           app::MessageKind::Warning),
        app::Button::Ok);
    test::onNextModal([&](QWidget* format) {
        activate(format);
        test::onNextModal([&](QWidget* w) {
            auto* skip = child<QCheckBox>(w, "SkipDuplicates");
            EXPECT_FALSE(skip->isChecked()); // kept, as ever, unless chosen
            click(w, "SkipDuplicates");
            EXPECT_TRUE(skip->isChecked());
            click(w, "StartButton");
        });
        key(Qt::Key_Return);
    });
    f.commands.DoImport();
    EXPECT_EQ(f.stored("Title"), (std::vector<std::string>{"Dune", "Slip"}));
}

// A known export is recognised by its columns; the preset is a choice in the
// window, made by keys, and lines the grid up again each time.
TEST(ImportWindows, PresetChosenInTheWindow) {
    TransferFixture f;
    const auto file = f.dir / "librarything.tsv";
    test::writeFile(file, test::libraryThingExport());
    f.prompter.expectFile(f.asciiOpen(), q(file));
    f.prompter.expectMessage(ok("Ok", QStringLiteral("Import Complete.")), app::Button::Ok);
    test::onNextModal([&](QWidget* format) {
        test::onNextModal([&](QWidget* w) {
            auto* grid = child<QTableWidget>(w, "ImportGrid");
            auto* preset = child<QComboBox>(w, "PresetBox");
            EXPECT_EQ(preset->currentText(), "LibraryThing export");
            ASSERT_EQ(grid->rowCount(), 50); // 49 columns and the one the preset adds
            EXPECT_EQ(text(grid, 1, 1) + u'|' + text(grid, 1, 2), "Primary Author|Yes");
            EXPECT_EQ(text(grid, 16, 1) + u'|' + text(grid, 16, 2), "<CHECKED OUT>|Yes");
            activate(w);
            key(Qt::Key_P, Qt::AltModifier);
            ASSERT_TRUE(QTest::qWaitFor([&] { return preset->hasFocus(); }));
            // Without it, only the columns that name our fields line up.
            key(Qt::Key_Home);
            EXPECT_EQ(preset->currentText(), "None");
            EXPECT_EQ(grid->rowCount(), 49);
            EXPECT_EQ(text(grid, 0, 1) + u'|' + text(grid, 0, 2), "Title|Yes");
            EXPECT_EQ(text(grid, 1, 1) + u'|' + text(grid, 1, 2), "Book Id|No");
            key(Qt::Key_End);
            EXPECT_EQ(text(grid, 1, 1), "Primary Author");
            key(Qt::Key_S, Qt::AltModifier);
        });
        click(format, "FileButton");
    });
    f.commands.DoImport();
    EXPECT_EQ(f.stored("Title"),
              (std::vector<std::string>{"L'\xC9tranger", "Head First \"Java\""}));
    EXPECT_EQ(f.stored("Publisher"), (std::vector<std::string>{"Gallimard", "O'Reilly Media"}));
    EXPECT_EQ(f.stored("CheckName"), (std::vector<std::string>{"Zo\xEB \xC5ngstr\xF6m", ""}));
    EXPECT_EQ(f.stored("CheckOut"), (std::vector<std::string>{"Yes", ""}));
    EXPECT_EQ(f.stored("PurchDate"), (std::vector<std::string>{"20210730", "20190105"}));
    EXPECT_EQ(f.stored("ISBN"), (std::vector<std::string>{"2070360024", "0596009208"}));
}

TEST(ImportWindows, NotDelimitedTextShownInARealMessageBox) {
    TransferFixture f;
    const auto file = f.dir / "WIDE.TXT";
    std::string line;
    for (int i = 0; i <= transfer::kMaxSourceFields; ++i)
        line += std::string(i ? "," : "") + "\"f\"";
    test::writeFile(file, line + "\r\n");
    // Files come from the script; the message is a real box on the screen.
    struct RealMessages : test::ScriptedPrompter {
        app::QtPrompter real;
        app::Button message(const app::Message& m) override { return real.message(m); }
    } prompter;
    f.ctx.prompter = &prompter;
    prompter.expectFile(f.asciiOpen(), q(file));
    QString shown;
    test::onNextModal([&](QWidget* format) {
        test::onNextModal([&](QWidget* box) {
            shown = box->windowTitle() + u'|' + static_cast<QMessageBox*>(box)->text();
            test::clickDefaultButton(box);
        });
        click(format, "FileButton");
        EXPECT_TRUE(format->isVisible());
        click(format, "CancelButton");
    });
    f.commands.DoImport();
    EXPECT_EQ(shown, "Error|The file selected does not appear to be an ASCII delimited text "
                     "file.  An ASCII delimited file requires a unique format of each field "
                     "being surrounded by double quotes and separated by a comma.  The selected "
                     "file has too many fields.  There are at least 10 more fields than are "
                     "required by Shelvix.");
    EXPECT_EQ(f.stored("Title").size(), 0u);
    EXPECT_EQ(f.refreshed, 1);
}

TEST(ExportWindow, ChoicesOrderAndTheSearch) {
    TransferFixture f;
    f.add("One", "Austen");
    f.add("Two \"Quoted\"", "Bronte");
    f.add("Three", "Asimov");
    f.search.start();
    const auto target = f.dir / "OUT.TXT";
    const auto asciiSave = TransferFixture::fileRequest(
        app::FileMode::Save, "Ascii Delimited Text (*.TXT)|*.TXT", "TXT", q(f.dir.path()));
    f.prompter.expectConfirm(QStringLiteral("Re-Order"),
                             QStringLiteral("This will set the order of fields to the program "
                                            "defaults.  Continue?"),
                             app::Button::No, app::Button::NoButton);
    f.prompter.expectError(QStringLiteral("No fields selected for export."));
    f.prompter.expectFile(asciiSave, q(target));
    f.prompter.expectMessage(ok("Ok", QStringLiteral("Export Complete.")), app::Button::Ok);

    test::onNextModal([&](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Export");
        auto* grid = child<QTableWidget>(w, "ExportGrid");
        ASSERT_EQ(grid->rowCount(), 36);
        EXPECT_EQ(grid->columnWidth(0), 250); // 200 at 800 x 600
        EXPECT_EQ(w->width(), 800);
        EXPECT_TRUE(child<QRadioButton>(w, "ExportSearch")->isChecked());
        EXPECT_TRUE(child<QRadioButton>(w, "AsciiFile")->isChecked());
        // Everything No is refused.
        for (int row = 0; row < 36; ++row)
            doubleClickCell(grid, row, 1);
        EXPECT_EQ(text(grid, 35, 1), "No");
        click(w, "DefaultsButton"); // answered No: the marks stay
        click(w, "StartExportButton");
        // Author above Title, both Yes; the whole database.
        doubleClickCell(grid, 0, 1);
        doubleClickCell(grid, 1, 1);
        clickCell(grid, 1, 0);
        click(w, "UpButton");
        EXPECT_EQ(text(grid, 0, 0), "Author");
        click(w, "ExportEntire");
        click(w, "StartExportButton");
    });
    f.commands.DoExport();
    EXPECT_EQ(test::readFile(target), "\"Author\",\"Title\"\r\n"
                                      "\"Austen\",\"One\"\r\n"
                                      "\"Bronte\",\"Two \"\"Quoted\"\"\"\r\n"
                                      "\"Asimov\",\"Three\"\r\n");
    EXPECT_EQ(f.search.ended, 1);
    EXPECT_TRUE(f.ctx.SearchOn);
    EXPECT_EQ(f.ctx.MyTable->recordCount(), 2u);
    EXPECT_EQ(f.ctx.database.exportOrder[1], 1);
    EXPECT_EQ(f.ctx.database.exportOrder[0], 2);
    EXPECT_FALSE(f.ctx.database.exportFields[2]);

    // The search result to a dBASE file; the choices come back next time.
    const auto dbfTarget = f.dir / "FOUND.DBF";
    auto dbfSave =
        TransferFixture::fileRequest(app::FileMode::Save, "DBase (*.DBF)|*.DBF", "DBF", q(target));
    f.prompter.expectFile(dbfSave, q(dbfTarget));
    f.prompter.expectMessage(ok("Ok", QStringLiteral("Export Complete.")), app::Button::Ok);
    test::onNextModal([&](QWidget* w) {
        auto* grid = child<QTableWidget>(w, "ExportGrid");
        EXPECT_EQ(text(grid, 0, 0), "Author");
        EXPECT_EQ(text(grid, 2, 1), "No");
        click(w, "DBaseFile");
        EXPECT_FALSE(child<QCheckBox>(w, "FirstRow")->isVisible());
        click(w, "StartExportButton");
    });
    f.commands.DoExport();
    auto out = db::Table::open(dbfTarget, db::OpenMode::ReadOnly);
    EXPECT_EQ(out->recordCount(), 2u);
    EXPECT_EQ(out->field(0).name, "AUTHOR");
    EXPECT_EQ(f.ctx.database.exportFileType, 2);
    EXPECT_EQ(f.search.ended, 1);
}

// The Yes/No cells switch with Space as with a double-click, whichever cell
// of the row is current; Enter presses no button, and Tab goes on past the
// grid's last cell.
TEST(TransferWindows, YesNoCellsSwitchWithSpace) {
    TransferFixture f;
    const auto activeGrid = [](QWidget* w, const char* name) {
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
        auto* grid = child<QTableWidget>(w, name);
        grid->setFocus();
        return grid;
    };
    test::onNextModal([&](QWidget* w) {
        auto* grid = activeGrid(w, "ExportGrid");
        QTest::keyClick(grid, Qt::Key_Space);
        EXPECT_EQ(text(grid, 0, 1), "No");
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Right);
        QTest::keyClick(grid, Qt::Key_Space);
        QTest::keyClick(grid, Qt::Key_Space);
        QTest::keyClick(grid, Qt::Key_Space);
        EXPECT_EQ(text(grid, 1, 1), "No");
        QTest::keyClick(grid, Qt::Key_Return);
        EXPECT_TRUE(w->isVisible());
        int tabs = 0;
        while (QApplication::focusWidget() == grid && tabs++ < 100)
            QTest::keyClick(grid, Qt::Key_Tab);
        EXPECT_EQ(tabs, 36 * 2 - 3); // from the second row's mark
        EXPECT_EQ(QApplication::focusWidget(), child<QWidget>(w, "UpButton"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(), grid);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_X, Qt::AltModifier);
    });
    f.commands.DoExport();
    EXPECT_FALSE(f.ctx.database.exportFields[0]);
    EXPECT_FALSE(f.ctx.database.exportFields[1]);
    EXPECT_TRUE(f.ctx.database.exportFields[2]);

    const auto file = f.dir / "IN.TXT";
    test::writeFile(file, "\"Name\",\"Who\"\r\n\"Dune\",\"Herbert\"\r\n");
    f.prompter.expectFile(f.asciiOpen(), q(file));
    f.prompter.expectMessage(ok("Ok", QStringLiteral("Import Complete.")), app::Button::Ok);
    test::onNextModal([&](QWidget* format) {
        test::onNextModal([&](QWidget* w) {
            auto* grid = activeGrid(w, "ImportGrid");
            QTest::keyClick(grid, Qt::Key_Space); // Name beside Title
            EXPECT_EQ(text(grid, 0, 2), "No");
            QTest::keyClick(grid, Qt::Key_Down);
            QTest::keyClick(grid, Qt::Key_Down);
            QTest::keyClick(grid, Qt::Key_Space); // an empty row stays empty
            EXPECT_EQ(text(grid, 2, 2), "");
            click(w, "StartButton");
        });
        click(format, "FileButton");
    });
    f.commands.DoImport();
    EXPECT_EQ(f.stored("Title"), (std::vector<std::string>{""}));
    EXPECT_EQ(f.stored("Author"), (std::vector<std::string>{"Herbert"}));
}

TEST(ExportWindow, DrawnInTheConfigurationColours) {
    TransferFixture f;
    auto& set = f.ctx.database.colors[app::ColorsConfigure];
    set[app::ColorMainBackground] = 0x00204060;    // RGB 60 40 20
    set[app::ColorListBoxBackground] = 0x0000FFFF; // yellow
    transfer::TMyExport w(f.ctx, f.search.bracket);
    w.show();
    QApplication::processEvents();
    const QImage image = w.grab().toImage();
    // Inside a cell of a row that is not the current one, and an empty spot
    // of the form below the buttons.
    const QRect cell = w.grid()->visualRect(w.grid()->model()->index(3, 1));
    const QPoint inCell = w.grid()->viewport()->mapTo(&w, cell.topLeft() + QPoint(4, 4));
    EXPECT_EQ(image.pixelColor(inCell), QColor(255, 255, 0));
    EXPECT_EQ(image.pixelColor(5, w.height() - 3), QColor(0x60, 0x40, 0x20));
}

TEST(TransferWindows, Screenshot) {
    const QString out = qEnvironmentVariable("SHELVIX_SCREENSHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "SHELVIX_SCREENSHOTS not set";
    QDir().mkpath(out);
    TransferFixture f;
    f.ctx.screenSize = {640, 480};
    f.ctx.screenFactor = 1.0;
    transfer::TMyExport exportWindow(f.ctx, f.search.bracket);
    app::placeDialog(&exportWindow, f.ctx);
    exportWindow.show();
    QApplication::processEvents();
    exportWindow.grab().save(out + QStringLiteral("/export.png"));
    const auto file = f.dir / "IN.tsv";
    test::writeFile(file, test::libraryThingExport());
    auto reader = std::make_unique<transfer::DelimitedReader>(file);
    reader->scanFirstLine();
    transfer::TMyImport importWindow(f.ctx, transfer::TMyImport::Ascii, std::move(reader));
    app::placeDialog(&importWindow, f.ctx);
    importWindow.show();
    QApplication::processEvents();
    importWindow.grab().save(out + QStringLiteral("/import.png"));
}
