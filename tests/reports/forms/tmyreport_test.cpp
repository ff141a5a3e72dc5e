// The report list driven by keys: printing to a text file and to a PDF,
// the search in force, printer selection, messages, and Cancel on the
// status screen.
#include "app/appcontext.h"
#include "app/databases.h"
#include "app/forms/qtprompter.h"
#include "app/searchbracket.h"
#include "db/booktable.h"
#include "find/criteria.h"
#include "find/search.h"
#include "reports/forms/tfilepreview.h"
#include "reports/forms/tmyreport.h"
#include "reports/forms/tprintselect.h"
#include "reports/forms/treplayout.h"
#include "reports/forms/treportform.h"
#include "reports/reportediting.h"
#include "shell/forms/tmain.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
#include "viewer/forms/viewergrid.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

namespace shelvix::reports {
namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

std::string pdfText(const std::filesystem::path& pdf) {
    std::string out;
    if (FILE* p = popen(("pdftotext -layout '" + pdf.string() + "' -").c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) {
            out.append(buf, n);
        }
        pclose(p);
    }
    return out;
}

// The search as the main window runs it: End Search reopens the table
// without the criteria; switching it on again gives the filter back.
struct FakeView : app::DatabaseView {
    app::AppContext& ctx;
    int ends = 0;
    int restores = 0;
    explicit FakeView(app::AppContext& c) : ctx(c) {}
    void filter() {
        ctx.MyTable->setFilter([c = &ctx](const db::RecordView& r) { return c->MyTableFilter(r); });
    }
    void setCaption(const QString&) override {}
    void tableClosing() override {}
    void DoFileSpecific() override {}
    void SetMenuLastFiles() override {}
    void DisplayCount() override {}
    void SetViewerOptions() override {}
    void DoEndSearch() override {
        ++ends;
        ctx.SearchOn = false;
        filter();
    }
    void EnableEndSearch() override {
        ++restores;
        ctx.SearchOn = true;
        filter();
    }
};

// A key to the focused control, once the focus is back in `window`
// (after a dialog it opened has closed).
void key(QWidget* window, int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    window->activateWindow(); // no window manager hands the focus back
    ASSERT_TRUE(QTest::qWaitFor([window] {
        return QApplication::focusWidget() && QApplication::focusWidget()->window() == window;
    }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), mods);
}

class ReportListTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    FakeView view{ctx};
    // As the main window's search brings itself back: on again, counted.
    app::SearchBracket search{{[this] { return ctx.SearchOn; }, [this] { view.DoEndSearch(); },
                               [this] {
                                   view.EnableEndSearch();
                                   view.DisplayCount();
                               }}};
    std::unique_ptr<TMyReport> list;

    void SetUp() override {
        ctx.paths.dataDir = q(dir.path());
        ctx.prompter = &prompter;
        ctx.screenSize = {1024, 768};
        WriteDefaultReports(ReportFile(q(dir / "SHVBOOK.URP")));
        db::createBookTable(dir / "MASTER.DBF");
        ctx.MyTable = db::Table::open(dir / "MASTER.DBF", db::OpenMode::Shared);
        addBooks(3);
        view.filter();
    }
    void addBooks(int perAuthor) {
        for (const char* author : {"Adams", "Brown", "Clark"}) {
            for (int i = 0; i < perAuthor; ++i) {
                ctx.MyTable->insert();
                ctx.MyTable->setText("Title", std::string("Book by ") + author + " " +
                                                  std::to_string(i + 1));
                ctx.MyTable->setText("Author", author);
                ctx.MyTable->setText("Cost", "2.5");
                ctx.MyTable->post();
            }
        }
    }
    void makeList() { list = std::make_unique<TMyReport>(ctx, search); }

    // Runs `inside` with the list shown modally, then closes it with Escape.
    void withList(const std::function<void(TMyReport*)>& inside) {
        test::onNextModal(
            [&](QWidget* w) {
                auto* l = qobject_cast<TMyReport*>(w);
                ASSERT_TRUE(l);
                // Keys go where the user's would, once the window has the focus.
                ASSERT_TRUE(QTest::qWaitFor([w] {
                    return QApplication::focusWidget() &&
                           QApplication::focusWidget()->window() == w;
                }));
                inside(l);
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w,
                                Qt::Key_Escape);
            },
            60000);
        list->DoReports();
    }
};

// Presses Enter (OK) on the status screen once its run is over. The check
// runs from a timer, never waiting inside the run's own event handling.
void answerStatus(std::function<void(TReportForm*)> check = {},
                  std::function<void(TReportForm*)> duringRun = {}) {
    test::onNextModal(
        [check, duringRun](QWidget* w) {
            auto* form = qobject_cast<TReportForm*>(w);
            ASSERT_TRUE(form) << w->windowTitle().toStdString();
            auto* timer = new QTimer(form);
            QObject::connect(timer, &QTimer::timeout, form, [form, timer, check, duringRun] {
                if (!form->Finished()) {
                    if (duringRun) {
                        duringRun(form);
                    }
                    return;
                }
                timer->stop();
                if (check) {
                    check(form);
                }
                QWidget* focus = form->focusWidget();
                QTest::keyClick(focus ? focus : form, Qt::Key_Return);
            });
            timer->start(1);
        },
        60000);
}

app::FileRequest saveRequest() {
    app::FileRequest r;
    r.mode = app::FileMode::Save;
    r.title = "Save Report As a Text File";
    r.filter = "Text Files (*.TXT)|*.TXT|PDF Files (*.PDF)|*.PDF";
    r.defaultExtension = "TXT";
    r.flags =
        app::FileFlag::OverwritePrompt | app::FileFlag::HideReadOnly | app::FileFlag::PathMustExist;
    return r;
}

TEST_F(ReportListTest, PrintsTheChosenReportToATextFileAndAPdfAndKeepsTheLastReport) {
    ctx.database.lastReport = 2;
    ctx.database.sortOrder = {2, 5, 0, 0};
    ASSERT_TRUE(ctx.MyTable->goToRecord(4));
    makeList();
    const auto txt = dir / "VALUE.TXT";
    const auto pdf = dir / "VALUE.PDF";
    prompter.expectFile(saveRequest(), q(txt));
    prompter.expectFile(saveRequest(), q(pdf));
    withList([&](TMyReport* l) {
        EXPECT_EQ(l->windowTitle(), "Reports");
        EXPECT_EQ(l->ReportBox->count(), 8);
        EXPECT_EQ(l->ReportBox->currentRow(), 2);
        EXPECT_EQ(QApplication::focusWidget(), l->ReportBox);
        EXPECT_EQ(l->SortOrderLabel->text(), "Author, Category");
        EXPECT_TRUE(l->ExportEntire->isChecked());
        EXPECT_FALSE(l->ExportSearch->isEnabled());
        EXPECT_TRUE(l->NewButton->isEnabled());
        // Down to "Value Report", then Print To File, as text and as PDF.
        for (int i = 0; i < 4; ++i) {
            key(l, Qt::Key_Down);
        }
        EXPECT_EQ(l->ReportBox->currentItem()->text(), "Value Report");
        answerStatus([](TReportForm* f) {
            EXPECT_EQ(f->windowTitle(), "Report Status Screen");
            EXPECT_EQ(f->BitBtn1->text(), "OK");
            EXPECT_EQ(f->Label1->text(), "\nReport Completed!");
        });
        key(l, Qt::Key_F, Qt::ControlModifier);
        answerStatus();
        key(l, Qt::Key_F, Qt::ControlModifier);
    });
    EXPECT_EQ(ctx.database.lastReport, 6);
    const std::string text = test::readFile(txt);
    EXPECT_NE(text.find("Book by Clark 3"), std::string::npos);
    EXPECT_NE(text.find("GRAND TOTALS\r\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\f'), 1);
    const std::string printed = pdfText(pdf);
    EXPECT_NE(printed.find("Book by Clark 3"), std::string::npos);
    EXPECT_NE(printed.find("GRAND TOTALS"), std::string::npos);
    EXPECT_NE(printed.find("Cost: 22.50"), std::string::npos) << printed;
    // The grid's table is given back, on the book it was on.
    EXPECT_EQ(ctx.MyTable->recno(), 4u);
    EXPECT_FALSE(ctx.MyTable->controlsDisabled());
}

TEST_F(ReportListTest, AnEntirePrintUnderASearchCoversEveryBookAndRestoresTheSearch) {
    ctx.BuildFilter = [](const db::RecordView& r) { return r.text("AUTHOR") == "Adams"; };
    view.EnableEndSearch();
    view.restores = 0;
    ASSERT_EQ(ctx.MyTable->recordCount(), 3u);
    makeList();
    const auto all = dir / "ALL.TXT";
    const auto found = dir / "FOUND.TXT";
    prompter.expectFile(saveRequest(), q(all));
    prompter.expectFile(saveRequest(), q(found));
    withList([&](TMyReport* l) {
        EXPECT_TRUE(l->ExportSearch->isEnabled());
        EXPECT_TRUE(l->ExportSearch->isChecked());
        QTest::mouseClick(l->ExportEntire, Qt::LeftButton);
        l->ReportBox->setFocus();
        answerStatus();
        key(l, Qt::Key_F, Qt::ControlModifier);
        EXPECT_EQ(view.ends, 1);
        EXPECT_EQ(view.restores, 1);
        QTest::mouseClick(l->ExportSearch, Qt::LeftButton);
        l->ReportBox->setFocus();
        answerStatus();
        key(l, Qt::Key_F, Qt::ControlModifier);
    });
    EXPECT_EQ(view.ends, 1); // a search print leaves the search alone
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_EQ(ctx.MyTable->recordCount(), 3u);
    const std::string everything = test::readFile(all);
    const std::string searched = test::readFile(found);
    EXPECT_NE(everything.find("Book by Clark 1"), std::string::npos);
    EXPECT_EQ(searched.find("Clark"), std::string::npos);
    EXPECT_NE(searched.find("Book by Adams 3"), std::string::npos);
}

TEST_F(ReportListTest, OtherPrinterWithoutAChoicePrintsOnTheDefaultThroughThePrintDialog) {
    makeList();
    list->printerNames = [] { return QStringList{"Laser", "Inkjet"}; };
    const auto pdf = dir / "PRINTED.PDF";
    app::PrintRequest request;
    request.initial.printer = ""; // the default printer
    app::PrintSetup answer;
    answer.outputFile = q(pdf);
    prompter.expectPrint(request, answer);
    withList([&](TMyReport* l) {
        test::onNextModal([](QWidget* w) {
            auto* select = qobject_cast<TPrintSelect*>(w);
            ASSERT_TRUE(select);
            EXPECT_EQ(select->windowTitle(), "Printer Selection");
            EXPECT_TRUE(select->DefaultPrinter->isChecked());
            EXPECT_EQ(select->PrinterList->count(), 2);
            QTest::mouseClick(select->OtherPrinter, Qt::LeftButton, {},
                              QPoint(8, select->OtherPrinter->height() / 2));
            select->PrinterList->setCurrentIndex(-1);
            test::clickButton(select, "Ok");
        });
        key(l, Qt::Key_S, Qt::ControlModifier);
        EXPECT_FALSE(ctx.database.defaultPrinter);
        EXPECT_EQ(ctx.database.printerIndex, -1);
        answerStatus();
        key(l, Qt::Key_P, Qt::ControlModifier);
    });
    EXPECT_NE(pdfText(pdf).find("Book by Brown 2"), std::string::npos);

    // Cancel in the print dialog prints nothing.
    prompter.expectPrint(request, std::nullopt);
    withList([&](TMyReport* l) { key(l, Qt::Key_P, Qt::ControlModifier); });
    prompter.verify();
}

TEST_F(ReportListTest, AnEmptyDefinitionsFileListsNothingAndEveryCommandSaysSo) {
    ReportFile(q(dir / "SHVBOOK.URP")).writeAll({});
    ctx.database.lastReport = 3; // beyond the list
    app::QtPrompter real;
    ctx.prompter = &real;
    makeList();
    withList([&](TMyReport* l) {
        EXPECT_EQ(l->ReportBox->count(), 0);
        EXPECT_EQ(l->ReportBox->currentRow(), -1);
        test::onNextModal([](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_TRUE(box);
            EXPECT_EQ(box->windowTitle(), "Error");
            EXPECT_EQ(box->text(), "No Report has been selected.  Please choose one.");
            QTest::keyClick(box, Qt::Key_Return);
        });
        key(l, Qt::Key_V, Qt::ControlModifier);
        l->activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([l] { return QApplication::focusWidget() == l->ReportBox; }));
    });
    EXPECT_EQ(ctx.database.lastReport, -1);
}

TEST_F(ReportListTest, AMissingOrDamagedDefinitionsFileIsReportedAndNothingRuns) {
    makeList();
    ASSERT_TRUE(ctx.MyTable->goToRecord(2));
    std::filesystem::remove(dir / "SHVBOOK.URP");
    prompter.expectError("Report format could not be located.");
    withList([&](TMyReport* l) { key(l, Qt::Key_P, Qt::ControlModifier); });
    // A file changed under the list to hold no whole report runs nothing.
    test::writeFile(dir / "SHVBOOK.URP", std::string(100, 'x'));
    prompter.expectError("Report format could not be located.");
    withList([&](TMyReport* l) { key(l, Qt::Key_V, Qt::ControlModifier); });
    EXPECT_EQ(prompter.beeps(), (std::vector<app::Beep>{app::Beep::Error, app::Beep::Error}));
    EXPECT_EQ(ctx.MyTable->recno(), 2u); // no walk was made
}

TEST_F(ReportListTest, TheListGrowsWithTheScreenAndNeverCreeps) {
    ctx.screenFactor = 1.25;
    makeList();
    for (int showing = 0; showing < 2; ++showing) {
        withList([&](TMyReport* l) {
            EXPECT_EQ(l->size(), QSize(575, 400));
            EXPECT_EQ(l->ViewButton->size(), QSize(120, 34));
        });
    }
}

TEST_F(ReportListTest, ViewShowsThePagesInTheReportColours) {
    ctx.database.colors[app::ColorsReport][app::ColorMainBackground] = 0x001EC80A;
    makeList();
    withList([&](TMyReport* l) {
        const QImage drawn = l->grab().toImage();
        EXPECT_EQ(drawn.pixelColor(l->width() - 3, l->height() - 3), QColor(0x0A, 0xC8, 0x1E));
        answerStatus();
        // The pages come once the status screen has closed.
        bool seen = false;
        QTimer waiter;
        QObject::connect(&waiter, &QTimer::timeout, [&] {
            QWidget* w = QApplication::activeModalWidget();
            if (seen || !w || w->objectName() != "TMyPreview") {
                return;
            }
            seen = true;
            EXPECT_EQ(w->windowTitle(), l->ReportBox->item(0)->text());
            auto* label = w->findChild<QLabel*>("PageLabel");
            ASSERT_TRUE(label);
            EXPECT_EQ(label->text(), "Page 1 of 1");
            // The page is drawn: dark ink on white paper.
            const QImage page = w->findChild<TFilePreview*>("MyFilePreview")->grab().toImage();
            int ink = 0;
            for (int y = 0; y < page.height(); y += 2) {
                for (int x = 0; x < page.width(); x += 2) {
                    ink += qGray(page.pixel(x, y)) < 100;
                }
            }
            EXPECT_GT(ink, 50);
            test::clickButton(w, "SBDone");
        });
        waiter.start(10);
        key(l, Qt::Key_Return); // View is the default button
        EXPECT_TRUE(seen);
    });
}

TEST_F(ReportListTest, CancelOnTheStatusScreenStopsAfterTheCurrentPage) {
    addBooks(150);
    makeList();
    ctx.database.lastReport = 3; // "Full Report": many pages
    const auto txt = dir / "FULL.TXT";
    prompter.expectFile(saveRequest(), q(txt));
    // Cancel pressed while a page is being printed, as soon as one is.
    int canceledOn = 0;
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        auto* form = qobject_cast<TReportForm*>(QApplication::activeModalWidget());
        static const QRegularExpression page(QStringLiteral("^Printing Page (\\d+)"));
        const auto m = form ? page.match(form->Label1->text()) : QRegularExpressionMatch();
        if (canceledOn == 0 && m.hasMatch()) {
            canceledOn = m.captured(1).toInt();
            QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        }
    });
    presser.start(1);
    withList([&](TMyReport* l) {
        answerStatus([](TReportForm* f) {
            EXPECT_TRUE(f->Canceled());
            EXPECT_EQ(f->Label1->text(), "\nReport Canceled!");
        });
        key(l, Qt::Key_F, Qt::ControlModifier);
    });
    ASSERT_GT(canceledOn, 0);
    const std::string text = test::readFile(txt);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\f'), canceledOn);
    EXPECT_EQ(text.find("GRAND TOTALS"), std::string::npos);
    EXPECT_FALSE(ctx.MyTable->controlsDisabled());
}

// Pictures of the report list, the status screen and the printer selection:
// set SHELVIX_SCREENSHOTS to a directory.
namespace {

// Clicks into a line edit of `w`, types `text` over what it holds and leaves with Tab.
void typeIn(QWidget* w, const char* name, const QString& text) {
    auto* e = w->findChild<QLineEdit*>(QString::fromLatin1(name));
    ASSERT_TRUE(e) << name;
    e->window()->activateWindow();
    QTest::mouseClick(e, Qt::LeftButton, {}, e->rect().center());
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Tab);
}

void press(QWidget* w, const char* name) {
    auto* b = w->findChild<QAbstractButton*>(QString::fromLatin1(name));
    ASSERT_TRUE(b) << name;
    const bool mark = qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b);
    QTest::mouseClick(b, Qt::LeftButton, {},
                      mark ? QPoint(8, b->height() / 2) : b->rect().center());
}

// A click on part `part` of body line `line` in the designer, then the part
// dialog set to a label, a field (list row) or a filler of `width`.
void setPart(QWidget* designer, int line, int part, const char* kind, const QString& value,
             int width) {
    auto* layout = qobject_cast<TRepLayout*>(designer);
    ASSERT_TRUE(layout);
    const LayoutGeometry& g = layout->geometry();
    const auto boxes =
        partBoxes(layout->layoutCopy().lines[std::size_t(line - 1)], 90, g.left, g.right);
    const auto box = std::find_if(boxes.begin(), boxes.end(),
                                  [part](const PartBox& b) { return b.part == part; });
    ASSERT_NE(box, boxes.end());
    const QPoint at((box->left + box->right) / 2, g.rowTop(line) + g.rowHeight / 2);
    test::onNextModal([&](QWidget* dialog) {
        press(dialog, kind);
        if (QLatin1String(kind) == QLatin1String("RadioLabel")) {
            typeIn(dialog, "LabelName", value);
        } else if (QLatin1String(kind) == QLatin1String("RadioField")) {
            auto* list = dialog->findChild<QListWidget*>(QStringLiteral("FieldList"));
            const auto found = list->findItems(value, Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(found[0]).center());
        }
        auto* widthEdit = dialog->findChild<QLineEdit*>(QStringLiteral("FieldWidth"));
        widthEdit->setFocus();
        widthEdit->selectAll();
        QTest::keyClicks(widthEdit, QString::number(width));
        press(dialog, "OkButton");
    });
    QTest::mouseClick(designer, Qt::LeftButton, {}, at);
}

} // namespace

TEST_F(ReportListTest, AReportDesignedInTheEditorIsListedViewedAndWrittenAlike) {
    makeList();
    const auto txt = dir / "SCRATCH.TXT";
    const auto pdf = dir / "SCRATCH.PDF";
    prompter.expectFile(saveRequest(), q(txt));
    prompter.expectFile(saveRequest(), q(pdf));
    withList([&](TMyReport* l) {
        test::onNextModal([&](QWidget* editor) {
            EXPECT_EQ(editor->windowTitle(), "Report Definition");
            typeIn(editor, "ReportName", "From Scratch");
            typeIn(editor, "Title1", "My Own Catalogue");
            typeIn(editor, "NumLines", "2");
            test::onNextModal([&](QWidget* designer) {
                setPart(designer, 1, 1, "RadioLabel", "By:", 6);
                setPart(designer, 1, 2, "RadioField", ctx.database.fieldNames[1], 30);
                setPart(designer, 2, 1, "RadioField", ctx.database.fieldNames[0], 40);
                press(designer, "OkButton");
            });
            press(editor, "SpecifyButton");
            press(editor, "UpdateButton");
        });
        key(l, Qt::Key_N, Qt::ControlModifier);
        ASSERT_EQ(l->ReportBox->count(), 9);
        EXPECT_EQ(l->ReportBox->currentRow(), 8);
        EXPECT_EQ(l->ReportBox->currentItem()->text(), "From Scratch");

        answerStatus();
        // The preview comes once the status screen has closed.
        bool previewed = false;
        QTimer waiter;
        QObject::connect(&waiter, &QTimer::timeout, [&] {
            QWidget* preview = QApplication::activeModalWidget();
            if (previewed || !preview || preview->objectName() != "TMyPreview") {
                return;
            }
            previewed = true;
            EXPECT_EQ(preview->windowTitle(), "From Scratch");
            EXPECT_EQ(preview->findChild<QLabel*>("PageLabel")->text(), "Page 1 of 1");
            test::clickButton(preview, "SBDone");
        });
        waiter.start(10);
        key(l, Qt::Key_Return); // View
        EXPECT_TRUE(previewed);
        answerStatus();
        key(l, Qt::Key_F, Qt::ControlModifier);
        answerStatus();
        key(l, Qt::Key_F, Qt::ControlModifier);
    });
    prompter.verify();
    const ReportDefinition saved = *ReportFile(q(dir / "SHVBOOK.URP")).read(8);
    EXPECT_EQ(saved.lineCount, 2);
    EXPECT_EQ(saved.lines[0][0].label, "By:");
    EXPECT_EQ(saved.lines[0][1].number, 2);
    EXPECT_EQ(saved.lines[0][2].width, 90 - 6 - 30);
    const std::string text = test::readFile(txt);
    const std::string printed = pdfText(pdf);
    for (const char* expected : {"My Own Catalogue", "By:", "Adams", "Book by Clark 3"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
        EXPECT_NE(printed.find(expected), std::string::npos) << expected << "\n" << printed;
    }
}

// Values an earlier editor wrote (a margin of -3 inches) and a file cut
// short: named once when the list is made at start-up, in one message; the
// other reports are listed and serve; saves keep the odd bytes as they were.
TEST_F(ReportListTest, ADamagedRecordIsNamedOnceAtStartAndTheOthersServe) {
    const auto urp = dir / "SHVBOOK.URP";
    std::string bytes = test::readFile(urp);
    const double minusThree = -3;
    std::memcpy(&bytes[2 * kDefinitionSize + 1861], &minusThree, 8); // "4 Line Report"
    const std::string odd = bytes.substr(2 * kDefinitionSize, kDefinitionSize);
    const std::string tail = bytes.substr(0, kDefinitionSize - 100);
    test::writeFile(urp, bytes + tail);
    const QString named =
        "SHVBOOK.URP holds reports that cannot be used:\n\n"
        "report 3 (\"4 Line Report\"): the left margin is -3 inches;\n"
        "report 9, the last, is cut short at 20522 of 20622 bytes.\n\n"
        "They are left out of the report list and kept in the file as they are, until you "
        "delete or replace the file.";
    app::QtPrompter real;
    ctx.prompter = &real;
    int boxes = 0;
    test::onNextModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_TRUE(box);
        ++boxes;
        EXPECT_EQ(box->windowTitle(), "Error");
        EXPECT_EQ(box->text(), named);
        QTest::keyClick(box, Qt::Key_Return);
    });
    makeList();
    EXPECT_EQ(boxes, 1);
    ctx.prompter = &prompter;

    const auto txt = dir / "VALUE.TXT";
    prompter.expectFile(saveRequest(), q(txt));
    withList([&](TMyReport* l) {
        QStringList names;
        for (int i = 0; i < l->ReportBox->count(); ++i) {
            names << l->ReportBox->item(i)->text();
        }
        EXPECT_EQ(names, QStringList({"Short Narrow Report", "2 Line 120 Column Report",
                                      "Full Report", "Location Report", "Library Checkout Report",
                                      "Value Report", "Statistic/Summary Report"}));
        // The report after the odd one runs.
        l->ReportBox->setCurrentRow(5);
        answerStatus();
        key(l, Qt::Key_F, Qt::ControlModifier);
        // A new report, and a change to the one the odd record used to precede.
        test::onNextModal([&](QWidget* editor) {
            typeIn(editor, "ReportName", "Mine");
            press(editor, "UpdateButton");
        });
        key(l, Qt::Key_N, Qt::ControlModifier);
        EXPECT_EQ(l->ReportBox->count(), 8);
        EXPECT_EQ(l->ReportBox->currentItem()->text(), "Mine");
        l->ReportBox->setCurrentRow(2);
        test::onNextModal([&](QWidget* editor) {
            typeIn(editor, "Title1", "Everything");
            press(editor, "UpdateButton");
        });
        key(l, Qt::Key_M, Qt::ControlModifier);
        EXPECT_EQ(l->ReportBox->currentItem()->text(), "Full Report");
    });
    prompter.verify(); // nothing said twice
    const std::string value = test::readFile(txt);
    EXPECT_NE(value.find("Book by Clark 3"), std::string::npos);
    EXPECT_NE(value.find("Title                                     Cost"), std::string::npos)
        << value;
    const std::string now = test::readFile(urp);
    ASSERT_EQ(now.size(), 9u * kDefinitionSize + tail.size());
    EXPECT_EQ(now.substr(2 * kDefinitionSize, kDefinitionSize), odd);
    EXPECT_EQ(now.substr(now.size() - tail.size()), tail);
    const ReportFile file(q(urp));
    EXPECT_EQ(file.read(2)->titles[0], "Everything");
    EXPECT_EQ(file.read(7)->name, "Mine");

    // The next start names them again, once; the tail is now after ten.
    prompter.expectError(QString(named).replace("report 9,", "report 10,"));
    makeList();
    prompter.verify();
}

// From the main window: afterwards the grid is on the book the user had
// chosen, and after "Print Entire Database" under a search the count is the
// search's again.
TEST(ReportsFromTheMainWindow, TheChosenBookAndTheSearchCountComeBackAfterARun) {
    test::TempDir home;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    const QStringList args{"shelvix", "--home", q(home.path())};
    ctx.paths = app::AppPaths::resolve(args, QProcessEnvironment(), q(home.path()));
    ctx.prompter = &prompter;
    db::createBookTable(home / "MASTER.DBF");
    {
        auto t = db::Table::open(home / "MASTER.DBF", db::OpenMode::Shared);
        for (const char* author : {"Adams", "Brown", "Clark"}) {
            for (int i = 1; i <= 4; ++i) {
                t->insert();
                t->setText("AUTHOR", author);
                t->setText("TITLE", std::string("Book ") + author[0] + std::to_string(i));
                t->post();
            }
        }
    }
    shell::TMain window(ctx);
    ASSERT_TRUE(window.FormCreate());
    window.show();
    const auto count = [&] { return window.findChild<QLabel*>("CountLabel")->text(); };
    // The third book of the grid chosen with the keys, then Ctrl+R and
    // "Value Report" to a text file, of every book when `entire`.
    const auto chooseThirdAndPrint = [&](const std::filesystem::path& txt, bool entire) {
        key(&window, Qt::Key_Home, Qt::ControlModifier);
        window.viewerGrid()->setFocus();
        QTest::keyClick(window.viewerGrid(), Qt::Key_Down);
        QTest::keyClick(window.viewerGrid(), Qt::Key_Down);
        const std::uint32_t chosen = ctx.MyTable->recno();
        prompter.expectFile(saveRequest(), q(txt));
        test::onNextModal(
            [&](QWidget* w) {
                auto* list = qobject_cast<TMyReport*>(w);
                ASSERT_TRUE(list);
                if (entire) {
                    QTest::mouseClick(list->ExportEntire, Qt::LeftButton, {},
                                      QPoint(8, list->ExportEntire->height() / 2));
                }
                list->ReportBox->setCurrentRow(6); // "Value Report"
                list->ReportBox->setFocus();
                answerStatus();
                key(list, Qt::Key_F, Qt::ControlModifier);
                key(list, Qt::Key_Escape);
            },
            60000);
        key(&window, Qt::Key_R, Qt::ControlModifier);
        EXPECT_NE(test::readFile(txt).find("Book C4"), std::string::npos);
        EXPECT_EQ(ctx.MyTable->recno(), chosen);
        EXPECT_EQ(window.viewerGrid()->currentIndex().row(), 2);
    };
    ASSERT_EQ(count(), "12");
    chooseThirdAndPrint(home / "ALL.TXT", false);

    // A search for Brown in force, as the search form's OK leaves it.
    ASSERT_TRUE(window.search().Doit({{.Text = QStringLiteral("BROWN"),
                                       .FieldNo = 2,
                                       .Op = find::OpContains,
                                       .LevelEnd = true}}));
    window.DisplayCount();
    ASSERT_EQ(count(), "4");
    chooseThirdAndPrint(home / "ENTIRE.TXT", true);
    EXPECT_TRUE(ctx.SearchOn);
    EXPECT_EQ(count(), "4");
    EXPECT_EQ(ctx.MyTable->recordCount(), 4u);
    EXPECT_EQ(ctx.MyTable->text("TITLE"), "Book B3");
    prompter.verify();
    window.close();
}

TEST_F(ReportListTest, Screenshots) {
    const QString out = qEnvironmentVariable("SHELVIX_SCREENSHOTS");
    if (out.isEmpty()) {
        GTEST_SKIP() << "SHELVIX_SCREENSHOTS not set";
    }
    makeList();
    withList([&](TMyReport* l) {
        l->grab().save(out + "/report-list.png");
        test::onNextModal([&](QWidget* w) {
            w->grab().save(out + "/report-printer-selection.png");
            test::clickButton(w, "CancelButton");
        });
        key(l, Qt::Key_S, Qt::ControlModifier);
        answerStatus([&](TReportForm* f) { f->grab().save(out + "/report-status.png"); });
        prompter.expectFile(saveRequest(), q(dir / "SHOT.TXT"));
        key(l, Qt::Key_F, Qt::ControlModifier);
    });
}

} // namespace
} // namespace shelvix::reports
