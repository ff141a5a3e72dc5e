#include "app/colors.h"
#include "app/forms/qtprompter.h"
#include "reports/forms/treplayout.h"
#include "reports/forms/tuserreport.h"
#include "reports/paint/qtreport.h"
#include "reports/reportediting.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace shelvix;
using reports::ReportDefinition;
using reports::TUserReport;

namespace {

const QString kTitleChanged = QStringLiteral(
    "Report Title has changed!  Do you wish to save this as a new report?   (YES saves as new "
    "report.  NO overwrites old report.  CANCEL aborts.)");
const QString kTo120 = QStringLiteral(
    "Switching to 120 characters from 150 will truncate the current defined lines.  In addition, "
    "the font size will be reset to a 8 point as a default.  Are you sure you wish to do this?");
const QString kTo90 = QStringLiteral(
    "Switching to 90 characters from 120 or 150 will truncate the current defined lines.  In "
    "addition, the font size will be reset to a 10 point as a default.  Are you sure you wish to "
    "do this?");

app::Message warning(const QString& text, app::Buttons buttons, app::Button defaultButton) {
    return {app::MessageKind::Error, QStringLiteral("Warning"), text, buttons, defaultButton};
}

app::Message notice(const QString& text) {
    return {app::MessageKind::Warning, QStringLiteral("Notice"), text, app::Button::Ok};
}

template <class T> T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

void click(QWidget* w, const char* name) {
    QWidget* c = child<QWidget>(w, name);
    const bool mark = qobject_cast<QRadioButton*>(c) || qobject_cast<QCheckBox*>(c);
    QTest::mouseClick(c, Qt::LeftButton, {},
                      mark ? QPoint(8, c->height() / 2) : c->rect().center());
}

// Clicks into the edit, replaces its text by typing and leaves it with Tab.
void typeInto(QWidget* w, const char* name, const QString& text, bool leave = true) {
    auto* e = child<QLineEdit>(w, name);
    // A window a closed dialog gave back is active again, as it would be on screen.
    e->window()->activateWindow();
    QApplication::processEvents();
    QTest::mouseClick(e, Qt::LeftButton, {}, e->rect().center());
    QWidget* focused = QApplication::focusWidget();
    ASSERT_EQ(focused, e) << name;
    QTest::keyClick(focused, Qt::Key_A, Qt::ControlModifier);
    for (QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(focused, char(c.unicode()));
        } else {
            // Typed through an input method: a key event carrying the text.
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(focused, &press);
        }
    }
    if (leave)
        QTest::keyClick(focused, Qt::Key_Tab);
}

struct EditorFixture {
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    reports::ReportFile file{QString::fromStdString((dir / "SHVBOOK.URP").string())};
    ReportDefinition current;

    EditorFixture() {
        ctx.prompter = &prompter;
        ctx.screenSize = {800, 600};
        ctx.screenFactor = 1.0;
        reports::WriteDefaultReports(file);
    }
    std::string bytes() const { return test::readFile(file.path().toStdString()); }
    std::string nameAt(int i) const { return file.names().at(std::size_t(i)); }

    // Opens the editor on record `index` (or a new definition) and drives it.
    TUserReport::Outcome edit(std::optional<int> index, std::function<void(QWidget*)> drive) {
        current = index ? *file.read(*index) : reports::NewReportDefinition();
        test::onNextModal(std::move(drive));
        return TUserReport::Edit(ctx, file, current, index);
    }
};

} // namespace

TEST(ReportEditor, RenamingAsksToSaveAsNewOverwriteOrStay) {
    EditorFixture f;
    const std::string second = f.nameAt(2);
    const auto outcome = f.edit(2, [&](QWidget* w) {
        typeInto(w, "ReportName", QStringLiteral("My Books"));
        EXPECT_FALSE(child<QPushButton>(w, "DeleteButton")->isEnabled());
        typeInto(w, "ReportName", QString::fromStdString(second));
        EXPECT_TRUE(child<QPushButton>(w, "DeleteButton")->isEnabled());
        typeInto(w, "ReportName", QStringLiteral("My Books"));

        f.prompter.expectMessage(warning(kTitleChanged,
                                         app::Button::Yes | app::Button::No | app::Button::Cancel,
                                         app::Button::Yes),
                                 app::Button::Cancel);
        click(w, "UpdateButton");
        EXPECT_TRUE(w->isVisible());
        f.prompter.expectMessage(warning(kTitleChanged,
                                         app::Button::Yes | app::Button::No | app::Button::Cancel,
                                         app::Button::Yes),
                                 app::Button::Yes);
        click(w, "UpdateButton");
    });
    f.prompter.verify();
    EXPECT_TRUE(outcome.saved);
    EXPECT_EQ(outcome.index, 8);
    ASSERT_EQ(f.file.names().size(), 9u);
    EXPECT_EQ(f.nameAt(2), second);
    EXPECT_EQ(f.nameAt(8), "My Books");

    const auto overwrite = f.edit(2, [&](QWidget* w) {
        typeInto(w, "ReportName", QStringLiteral("Renamed"));
        f.prompter.expectMessage(warning(kTitleChanged,
                                         app::Button::Yes | app::Button::No | app::Button::Cancel,
                                         app::Button::Yes),
                                 app::Button::No);
        click(w, "UpdateButton");
    });
    EXPECT_EQ(overwrite.index, 2);
    EXPECT_EQ(f.file.names().size(), 9u);
    EXPECT_EQ(f.nameAt(2), "Renamed");
    EXPECT_EQ(f.current, *f.file.read(2));
}

TEST(ReportEditor, UpdateUnchangedKeepsEveryByteAndCancelWritesNothing) {
    EditorFixture f;
    const std::string before = f.bytes();
    for (int i = 0; i < 8; ++i) {
        const auto outcome = f.edit(i, [](QWidget* w) { click(w, "UpdateButton"); });
        EXPECT_TRUE(outcome.saved) << i;
        EXPECT_EQ(f.bytes(), before) << "report " << i;
    }
    const auto cancelled = f.edit(0, [](QWidget* w) {
        typeInto(w, "Title1", QStringLiteral("Changed"));
        typeInto(w, "NumLines", QStringLiteral("3"));
        click(w, "CancelButton");
    });
    EXPECT_FALSE(cancelled.saved);
    EXPECT_EQ(f.bytes(), before);
}

TEST(ReportEditor, LineCountRules) {
    EditorFixture f;
    const std::string before = f.bytes();
    const auto outcome = f.edit(std::nullopt, [&](QWidget* w) {
        EXPECT_FALSE(child<QPushButton>(w, "DeleteButton")->isEnabled()); // nothing to delete yet
        typeInto(w, "NumLines", QStringLiteral("2"));
        for (const char* name : {"ColumnHeaders", "HorzLines", "VertLines"})
            EXPECT_FALSE(child<QCheckBox>(w, name)->isEnabled()) << name;
        typeInto(w, "NumLines", QStringLiteral("1x"));
        EXPECT_EQ(child<QLineEdit>(w, "NumLines")->text(), QStringLiteral("1"));
        EXPECT_TRUE(child<QCheckBox>(w, "HorzLines")->isEnabled());

        typeInto(w, "NumLines", QStringLiteral("13"));
        f.prompter.expectMessage(
            notice(QStringLiteral("Number of lines must be in range of 0 to 12.  Please correct.")),
            app::Button::Ok);
        click(w, "UpdateButton");
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(QApplication::focusWidget(), child<QWidget>(w, "NumLines"));

        // No lines: the designer shows no body.
        typeInto(w, "NumLines", QStringLiteral("0"));
        test::onNextModal([](QWidget* layout) {
            EXPECT_EQ(layout->objectName(), QStringLiteral("TRepLayout"));
            EXPECT_FALSE(child<QLabel>(layout, "ReportBodyLabel")->isVisible());
            click(layout, "CancelButton");
        });
        click(w, "SpecifyButton");
        typeInto(w, "ReportName", QStringLiteral("From Scratch"));
        click(w, "UpdateButton");
    });
    f.prompter.verify();
    EXPECT_TRUE(outcome.saved);
    EXPECT_EQ(outcome.index, 8);
    EXPECT_NE(f.bytes(), before);
    EXPECT_EQ(f.file.read(8)->lineCount, 0);
    EXPECT_EQ(f.nameAt(8), "From Scratch");
}

TEST(ReportEditor, SwitchingTheLineWidthFitsTheLinesAndSetsTheBodyFont) {
    EditorFixture f;
    ReportDefinition def = *f.file.read(0);
    def.CharsPerLine = 150;
    def.lineCount = 1;
    def.lines[0] = {};
    def.lines[0][0] = reports::fieldPart(1, 60);
    def.lines[0][1] = reports::fieldPart(2, 60);
    def.lines[0][2] = reports::fieldPart(3, 30);
    f.file.save(def, 0);
    const auto widths = [&] {
        std::vector<int> out;
        for (int i = 0; i < reports::usedParts(f.current.lines[0]); ++i)
            out.push_back(f.current.lines[0][std::size_t(i)].width);
        return out;
    };
    const auto yesNo = app::Button::Yes | app::Button::No;
    f.edit(0, [&](QWidget* w) {
        f.prompter.expectMessage(warning(kTo120, yesNo, app::Button::No), app::Button::No);
        click(w, "Chars120");
        EXPECT_TRUE(child<QRadioButton>(w, "Chars150")->isChecked());
        EXPECT_EQ(widths(), (std::vector<int>{60, 60, 30}));

        f.prompter.expectMessage(warning(kTo120, yesNo, app::Button::No), app::Button::Yes);
        f.prompter.expectMessage(
            notice(QStringLiteral(
                "The Report Body font size has been set to a 8 Point default size as.")),
            app::Button::Ok);
        click(w, "Chars120");
        EXPECT_EQ(widths(), (std::vector<int>{60, 60})); // ends where 120 is reached
        EXPECT_EQ(child<QLineEdit>(w, "RepBodyDataFont")->text(), QStringLiteral("Arial 8pt"));

        f.prompter.expectMessage(warning(kTo90, yesNo, app::Button::No), app::Button::Yes);
        click(w, "Chars90");
        EXPECT_EQ(widths(), (std::vector<int>{60, 30}));
        EXPECT_EQ(child<QLineEdit>(w, "RepBodyDataFont")->text(), QStringLiteral("Arial 10pt"));

        f.prompter.expectMessage(
            notice(QStringLiteral("The Report Body font size has been set to a 6 Point default "
                                  "size as a result of switching to 150 characters per line.")),
            app::Button::Ok);
        click(w, "Chars150");
        EXPECT_EQ(widths(), (std::vector<int>{60, 30, 60}));
        EXPECT_EQ(f.current.lines[0][2].number, 3); // the emptied part comes back as it was
        click(w, "UpdateButton");
    });
    f.prompter.verify();
    const ReportDefinition saved = *f.file.read(0);
    EXPECT_EQ(saved.CharsPerLine, 150);
    EXPECT_EQ(saved.fonts[2].size, 6);
    EXPECT_EQ(saved.lines[0][2].width, 60);
}

TEST(ReportEditor, DeleteAsksWithTheRealMessageBox) {
    EditorFixture f;
    app::QtPrompter real;
    f.ctx.prompter = &real;
    const std::string third = f.nameAt(2);
    const auto outcome = f.edit(1, [&](QWidget* w) {
        test::onNextModal([](QWidget* box) {
            auto* message = qobject_cast<QMessageBox*>(box);
            ASSERT_NE(message, nullptr);
            EXPECT_EQ(message->text(),
                      QStringLiteral("Are you sure you want to delete this report?"));
            EXPECT_EQ(message->windowTitle(), QStringLiteral("Warning"));
            test::clickDefaultButton(box); // No is the default
        });
        click(w, "DeleteButton");
        EXPECT_TRUE(w->isVisible());
        test::onNextModal([](QWidget* box) { test::clickButton(box, QStringLiteral("Yes")); });
        click(w, "DeleteButton");
    });
    EXPECT_TRUE(outcome.deleted);
    EXPECT_EQ(f.file.names().size(), 7u);
    EXPECT_EQ(f.nameAt(1), third);
}

TEST(ReportEditor, PartDialogFromTheDesignerFitsTheLine) {
    EditorFixture f;
    ReportDefinition def = *f.file.read(0);
    def.CharsPerLine = 90;
    def.lineCount = 1;
    def.lines[0] = {};
    def.lines[0][0] = reports::fillerPart(90);
    f.file.save(def, 0);
    f.ctx.screenFactor = 1.25;

    f.edit(0, [&](QWidget* w) {
        test::onNextModal([&](QWidget* designer) {
            auto* layout = qobject_cast<reports::TRepLayout*>(designer);
            ASSERT_NE(layout, nullptr);
            const reports::LayoutGeometry& g = layout->geometry();
            const QPoint inPart1(g.scaled(50), g.scaled(85));
            const QPoint inTotals(g.scaled(50), g.scaled(365));

            // Pressed in the body, released in the totals row: nothing opens.
            QTest::mousePress(designer, Qt::LeftButton, {}, inPart1);
            QTest::mouseRelease(designer, Qt::LeftButton, {}, inTotals);
            EXPECT_EQ(QApplication::activeModalWidget(), designer);

            test::onNextModal([](QWidget* part) {
                EXPECT_EQ(child<QLabel>(part, "SelPartLabel")->text(),
                          QStringLiteral("Line 1, Item 1"));
                EXPECT_FALSE(child<QListWidget>(part, "FieldList")->isEnabled());
                click(part, "RadioField");
                // Tab would enter the list, which takes its first entry.
                typeInto(part, "FieldWidth", QStringLiteral("30"), false);
                // A field part without a field is refused like a bad width.
                click(part, "OkButton");
                EXPECT_TRUE(part->isVisible());
                auto* list = child<QListWidget>(part, "FieldList");
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  list->visualItemRect(list->item(0)).center());
                click(part, "OkButton");
            });
            f.prompter.expectMessage({app::MessageKind::Warning, QStringLiteral("Error"),
                                      QStringLiteral("Invalid width entered.  Please correct.")},
                                     app::Button::Ok);
            QTest::mousePress(designer, Qt::LeftButton, {}, inPart1);
            QTest::mouseRelease(designer, Qt::LeftButton, {}, inPart1);

            const reports::ReportLine& line = layout->layoutCopy().lines[0];
            EXPECT_EQ(line[0].number, 1);
            EXPECT_EQ(line[0].width, 30);
            EXPECT_TRUE(line[1].isFiller());
            EXPECT_EQ(line[1].width, 60);
            EXPECT_EQ(line[2].width, 0);
            EXPECT_EQ(f.current.lines[0][0].width, 90); // not yet copied back
            click(designer, "OkButton");
        });
        click(w, "SpecifyButton");
        EXPECT_EQ(f.current.lines[0][1].width, 60);
        click(w, "CancelButton");
    });
    f.prompter.verify();
    EXPECT_EQ(f.file.read(0)->lines[0][0].width, 90); // Cancel wrote nothing
}

TEST(ReportEditor, FontsDialogChangesFourFontsAndTheEditorShowsThem) {
    EditorFixture f;
    const ReportDefinition before = *f.file.read(0);
    app::FontSpec body;
    body.name = QString::fromLatin1(before.fonts[2].name.c_str());
    body.size = before.fonts[2].size;
    body.color = before.fonts[2].color;
    body.bold = before.fonts[2].bold;
    body.italic = before.fonts[2].italic;
    app::FontSpec chosen = body;
    chosen.name = QStringLiteral("Courier New");
    chosen.size = 9;
    chosen.bold = true;
    chosen.color = 0x0000FF;
    f.edit(0, [&](QWidget* w) {
        test::onNextModal([&](QWidget* fonts) {
            EXPECT_EQ(fonts->windowTitle(), QStringLiteral("Report Fonts"));
            EXPECT_EQ(fonts->findChildren<QLineEdit*>().size(), 4); // font 4 is not offered
            f.prompter.expectFont({.initial = body, .color = true}, std::nullopt);
            click(fonts, "BodyFontButton");
            f.prompter.expectFont({.initial = body, .color = true}, chosen);
            click(fonts, "BodyFontButton");
            EXPECT_EQ(child<QLineEdit>(fonts, "BodyFont")->text(),
                      QStringLiteral("Courier New 9pt"));
            click(fonts, "OkButton");
        });
        click(w, "SetFonts");
        EXPECT_EQ(child<QLineEdit>(w, "RepBodyDataFont")->text(),
                  QStringLiteral("Courier New 9pt"));
        click(w, "UpdateButton");
    });
    f.prompter.verify();
    const ReportDefinition saved = *f.file.read(0);
    EXPECT_EQ(saved.fonts[2].name, "Courier New");
    EXPECT_EQ(saved.fonts[2].size, 9);
    EXPECT_TRUE(saved.fonts[2].bold);
    EXPECT_EQ(saved.fonts[2].color, 0x0000FF);
    EXPECT_EQ(saved.fonts[0], before.fonts[0]);
    EXPECT_EQ(saved.fonts[3], before.fonts[3]);
}

// "Arial" is not installed here: the dialog opens on its Liberation face,
// with its styles, offers the colour, and keeps the stored name while the
// user keeps the face. Pages draw with the same face.
TEST(ReportEditor, TheRealFontDialogOffersColourAndKeepsAnUnchangedArial) {
    EditorFixture f;
    app::QtPrompter real;
    f.ctx.prompter = &real;
    const auto fontDialog = [](const std::function<void(QFontDialog*)>& drive) {
        test::onNextModal([drive](QWidget* w) {
            auto* d = qobject_cast<QFontDialog*>(w);
            ASSERT_TRUE(d);
            drive(d);
            test::clickDefaultButton(d);
        });
    };
    f.edit(0, [&](QWidget* w) {
        test::onNextModal([&](QWidget* fonts) {
            fontDialog([](QFontDialog* d) {
                EXPECT_EQ(d->currentFont().family(), "Liberation Sans");
                EXPECT_TRUE(QFontDatabase::styles(d->currentFont().family()).contains("Bold"));
                QLineEdit* sample = nullptr;
                for (QLineEdit* e : d->findChildren<QLineEdit*>()) {
                    if (qobject_cast<QGroupBox*>(e->parentWidget())) {
                        sample = e;
                    }
                }
                ASSERT_TRUE(sample);
                test::onNextModal([](QWidget* c) {
                    auto* colors = qobject_cast<QColorDialog*>(c);
                    ASSERT_TRUE(colors);
                    EXPECT_EQ(colors->currentColor(), QColor(Qt::black));
                    colors->setCurrentColor(QColor(200, 0, 0));
                    test::clickDefaultButton(colors);
                });
                click(d, "ColorButton");
                EXPECT_EQ(sample->palette().color(QPalette::Text), QColor(200, 0, 0));
            });
            click(fonts, "TitleFontButton");
            EXPECT_EQ(child<QLineEdit>(fonts, "TitleFont")->text(), "Arial 10pt");
            fontDialog([](QFontDialog* d) { d->setCurrentFont(QFont("DejaVu Sans", 12)); });
            click(fonts, "FootnoteFontButton");
            click(fonts, "OkButton");
        });
        click(w, "SetFonts");
        click(w, "UpdateButton");
    });
    const ReportDefinition saved = *f.file.read(0);
    EXPECT_EQ(saved.fonts[0].name, "Arial");
    EXPECT_EQ(saved.fonts[0].color, app::windowsColor(200, 0, 0));
    EXPECT_EQ(saved.fonts[0].size, 10);
    EXPECT_EQ(saved.fonts[4].name, "DejaVu Sans");
    EXPECT_EQ(saved.fonts[4].size, 12);
    EXPECT_EQ(saved.fonts[4].color, 0);
    reports::ReportFont arial;
    arial.name = "Arial";
    EXPECT_EQ(QFontInfo(reports::qtFont(arial)).family(), "Liberation Sans");
}

TEST(ReportEditor, TypedMarginsAndTextsAreStoredSoTheFileStaysReadable) {
    EditorFixture f;
    f.edit(3, [&](QWidget* w) {
        typeInto(w, "NumLines", QStringLiteral("14"));
        EXPECT_LE(f.current.lineCount, 12); // never held out of range, even before Update
        typeInto(w, "NumLines", QStringLiteral("2"));
        typeInto(w, "TopMargin", QStringLiteral("-1"));
        typeInto(w, "BottomMargin", QStringLiteral("75"));
        typeInto(w, "LeftMargin", QStringLiteral("abc"));
        typeInto(w, "RightMargin", QStringLiteral(".75"));
        typeInto(w, "Title1", QStringLiteral("Café € list"));
        click(w, "UpdateButton");
    });
    const ReportDefinition saved = *f.file.read(3); // the whole file is still sound
    EXPECT_EQ(f.file.names().size(), 8u);
    EXPECT_DOUBLE_EQ(saved.topMargin, 0.0);
    EXPECT_DOUBLE_EQ(saved.bottomMargin, 50.0);
    EXPECT_DOUBLE_EQ(saved.leftMargin, 0.0);
    EXPECT_DOUBLE_EQ(saved.rightMargin, 0.75);
    EXPECT_EQ(saved.titles[0], "Caf\xE9 \x80 list"); // Windows-1252, as the file holds text
    EXPECT_EQ(saved.lineCount, 2);
}
