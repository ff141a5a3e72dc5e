#include "reports/forms/tfilepreview.h"
#include "reports/forms/tmypreview.h"
#include "reports/forms/treplayout.h"
#include "reports/paint/qtreport.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
#include "support/tool.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>
#include <cstdio>
#include <gtest/gtest.h>

using namespace shelvix;
using namespace shelvix::reports;

namespace {

template <class T> T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

bool red(QRgb p) {
    return qRed(p) > 150 && qGreen(p) < 110 && qBlue(p) < 110;
}
bool green(QRgb p) {
    return qGreen(p) > 70 && qRed(p) < 80 && qBlue(p) < 80;
}
bool dark(QRgb p) {
    return qRed(p) < 90 && qGreen(p) < 90 && qBlue(p) < 90;
}

// Pixels of `image` inside `area` that pass `test`, and the leftmost of them.
struct Ink {
    int count = 0;
    int left = INT_MAX;
};
template <class F> Ink inkIn(const QImage& image, const QRect& area, F test) {
    Ink ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixel(x, y))) {
                ++ink.count;
                ink.left = std::min(ink.left, x);
            }
    return ink;
}

std::string pdfText(const std::filesystem::path& pdf) {
    return shelvix::test::commandOutput("pdftotext -layout '" + pdf.string() + "' -");
}

// Five pages laid out by the filer, "PAGE n" in red on each.
ReportStream fivePages() {
    ReportStream stream;
    TReportFiler filer;
    filer.ChoosePaper(QPageSize(QPageSize::Letter));
    filer.SetStream(&stream);
    filer.OnPrintPage = [](TBaseReport& e, int page) {
        e.ApplyFont({QStringLiteral("Arial"), 24, true, false, false, false, 0x0000FF});
        e.SetBandTop(1.0);
        e.SetBandBottom(e.PageHeightInches() - 1.0);
        e.ResetPosition();
        e.PrintCentredAt(QStringLiteral("PAGE %1").arg(page), e.PageWidthInches() / 2);
        return page < 5;
    };
    EXPECT_TRUE(filer.RunReport());
    return stream;
}

struct PreviewFixture {
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    ReportStream stream = fivePages();
    TFilePrinter printer{&prompter};
    std::filesystem::path pdf = dir / "out.pdf";

    PreviewFixture() {
        ctx.prompter = &prompter;
        ctx.screenSize = {1024, 768};
        ctx.database.reportWindowLeft = 40;
        ctx.database.reportWindowTop = 30;
        ctx.database.reportWindowWidth = 700;
        ctx.database.reportWindowHeight = 520;
        printer.ChoosePdfFile(QString::fromStdString(pdf.string()));
    }
    void view(std::function<void(QWidget*)> drive) {
        test::onNextModal(std::move(drive), 20000);
        TMyPreview::View(ctx, stream, printer, QStringLiteral("Five Pages"));
    }
};

QWidget* focused(QWidget* w) {
    w->activateWindow();
    QApplication::processEvents();
    QWidget* f = QApplication::focusWidget();
    return f ? f : w;
}

void key(QWidget* w, Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
    QTest::keyClick(focused(w), k, modifiers);
}

void typeInto(QWidget* w, const char* name, const QString& text) {
    auto* e = child<QLineEdit>(w, name);
    QTest::mouseClick(e, Qt::LeftButton, {}, e->rect().center());
    QWidget* f = focused(w);
    ASSERT_EQ(f, e) << name;
    QTest::keyClick(f, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(f, text);
    QTest::keyClick(f, Qt::Key_Return);
}

QString pageLabel(QWidget* w) {
    return child<QLabel>(w, "PageLabel")->text();
}

} // namespace

TEST(ReportPreview, PagesAndZoomFollowKeysAndTypedValues) {
    PreviewFixture f;
    f.view([&](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Five Pages"));
        EXPECT_EQ(pageLabel(w), QStringLiteral("Page 1 of 5"));
        key(w, Qt::Key_N);
        EXPECT_EQ(pageLabel(w), QStringLiteral("Page 2 of 5"));
        key(w, Qt::Key_L);
        key(w, Qt::Key_N); // no page past the last
        EXPECT_EQ(pageLabel(w), QStringLiteral("Page 5 of 5"));
        key(w, Qt::Key_F);
        key(w, Qt::Key_E);
        EXPECT_EQ(pageLabel(w), QStringLiteral("Page 1 of 5"));
        typeInto(w, "PageEdit", QStringLiteral("3"));
        EXPECT_EQ(pageLabel(w), QStringLiteral("Page 3 of 5"));

        auto* preview = child<TFilePreview>(w, "MyFilePreview");
        auto* zoom = child<QLineEdit>(w, "ZoomEdit");
        EXPECT_EQ(zoom->text(), QStringLiteral("100.0"));
        typeInto(w, "ZoomEdit", QStringLiteral("big"));
        EXPECT_DOUBLE_EQ(preview->ZoomFactor(), 100.0);
        EXPECT_EQ(zoom->text(), QStringLiteral("100.0"));
        typeInto(w, "ZoomEdit", QStringLiteral("150"));
        EXPECT_DOUBLE_EQ(preview->ZoomFactor(), 150.0);
        QTest::mouseClick(child<QToolButton>(w, "SBZoomIn"), Qt::LeftButton);
        EXPECT_EQ(zoom->text(), QStringLiteral("160.0"));

        auto* scroll = child<QScrollArea>(w, "ScrollBox1");
        key(w, Qt::Key_W);
        EXPECT_LE(preview->width(), scroll->maximumViewportSize().width());
        EXPECT_LE(preview->height(), scroll->maximumViewportSize().height());
        EXPECT_GE(preview->height(), scroll->maximumViewportSize().height() - 4);
        key(w, Qt::Key_Z);
        EXPECT_NEAR(preview->width(), scroll->maximumViewportSize().width(), 4);

        // The page's red ink, then in black and white.
        preview->SetZoomFactor(100);
        const QImage colour = preview->grab().toImage();
        EXPECT_GT(inkIn(colour, colour.rect(), red).count, 50);
        key(w, Qt::Key_C);
        const QImage mono = preview->grab().toImage();
        EXPECT_EQ(inkIn(mono, mono.rect(), red).count, 0);
        EXPECT_GT(inkIn(mono, mono.rect(), dark).count, 50);
        key(w, Qt::Key_X);
    });
}

TEST(ReportPreview, PrintsThePageARangeOrAllFromTheStream) {
    PreviewFixture f;
    const app::Message startBad{app::MessageKind::Information, QStringLiteral("Error"),
                                QStringLiteral("Invalid Starting Page specified. Please correct.")};
    const app::Message endBad{app::MessageKind::Information, QStringLiteral("Error"),
                              QStringLiteral("Invalid Ending Page specified.  Please correct.")};
    f.view([&](QWidget* w) {
        key(w, Qt::Key_N);
        key(w, Qt::Key_P); // the page shown
        EXPECT_EQ(pdfText(f.pdf).find("PAGE 1"), std::string::npos);
        EXPECT_NE(pdfText(f.pdf).find("PAGE 2"), std::string::npos);

        test::onNextModal([&](QWidget* range) {
            EXPECT_EQ(child<QLineEdit>(range, "StartPage")->text(), QStringLiteral("1"));
            EXPECT_EQ(child<QLineEdit>(range, "EndPage")->text(), QStringLiteral("5"));
            child<QLineEdit>(range, "StartPage")->setText(QStringLiteral("4"));
            child<QLineEdit>(range, "EndPage")->setText(QStringLiteral("2"));
            f.prompter.expectMessage(endBad, app::Button::Ok);
            QTest::keyClick(focused(range), Qt::Key_Return); // Print is the default
            EXPECT_EQ(QApplication::focusWidget(), child<QWidget>(range, "EndPage"));
            for (const char* bad : {"0", "9", "x"}) {
                child<QLineEdit>(range, "StartPage")->setText(QString::fromLatin1(bad));
                f.prompter.expectMessage(startBad, app::Button::Ok);
                QTest::keyClick(focused(range), Qt::Key_Return);
                EXPECT_TRUE(range->isVisible());
            }
            child<QLineEdit>(range, "StartPage")->setText(QStringLiteral("2"));
            child<QLineEdit>(range, "EndPage")->setText(QStringLiteral("3"));
            QTest::keyClick(focused(range), Qt::Key_Return);
        });
        key(w, Qt::Key_G);
        const std::string ranged = pdfText(f.pdf);
        EXPECT_NE(ranged.find("PAGE 2"), std::string::npos);
        EXPECT_NE(ranged.find("PAGE 3"), std::string::npos);
        EXPECT_EQ(ranged.find("PAGE 4"), std::string::npos);
        EXPECT_EQ(pageLabel(w), QStringLiteral("Page 2 of 5")); // the place is kept

        test::onNextModal(
            [](QWidget* range) { test::clickButton(range, QStringLiteral("Cancel")); });
        key(w, Qt::Key_G);
        EXPECT_EQ(pdfText(f.pdf), ranged); // nothing printed

        key(w, Qt::Key_R);
        const std::string all = pdfText(f.pdf);
        for (int page = 1; page <= 5; ++page)
            EXPECT_NE(all.find("PAGE " + std::to_string(page)), std::string::npos) << page;
        QTest::mouseClick(child<QToolButton>(w, "SBDone"), Qt::LeftButton);
    });
    f.prompter.verify();
}

TEST(ReportPreview, ReopensWhereItWasClosedAndStaysOnTheScreen) {
    PreviewFixture f;
    f.view([](QWidget* w) {
        w->move(120, 90);
        w->resize(680, 450);
        key(w, Qt::Key_X);
    });
    EXPECT_EQ(f.ctx.database.reportWindowLeft, 120);
    EXPECT_EQ(f.ctx.database.reportWindowTop, 90);
    EXPECT_EQ(f.ctx.database.reportWindowWidth, 680);
    EXPECT_EQ(f.ctx.database.reportWindowHeight, 450);
    f.view([](QWidget* w) {
        EXPECT_EQ(w->pos(), QPoint(120, 90));
        EXPECT_EQ(w->size(), QSize(680, 450));
        key(w, Qt::Key_X);
    });

    // Kept from a larger screen: brought back whole.
    f.ctx.database.reportWindowLeft = 5000;
    f.ctx.database.reportWindowTop = 4000;
    f.ctx.database.reportWindowWidth = 9000;
    f.view([](QWidget* w) {
        const QRect screen = QApplication::primaryScreen()->availableGeometry();
        EXPECT_TRUE(screen.contains(QRect(w->pos(), w->size()))) << w->x() << "," << w->y();
        key(w, Qt::Key_X);
    });
}

TEST(ReportLayout, DrawsFillersGreenLabelsRedFieldsBlackAndCutsWhatDoesNotFit) {
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    ctx.prompter = &prompter;
    ctx.screenSize = {1024, 768};
    ctx.screenFactor = 1.0;
    ReportDefinition def = InitReportDefinition();
    def.name = "Layout";
    def.lineCount = 2;
    def.lines[0] = {};
    def.lines[0][0] = labelPart("Price", 30);
    def.lines[0][1] = fillerPart(30);
    def.lines[0][2] = fieldPart(1, 30);
    def.lines[1] = {};
    def.lines[1][0] = labelPart("A label far too long for its little box", 8);
    def.lines[1][1] = fillerPart(82);
    def.totalsLine = {};
    def.totalsLine[0] = totalPart(1, 90);

    for (bool totals : {true, false}) {
        TRepLayout layout(ctx, def, 90, totals);
        layout.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&layout));
        const QImage image = layout.grab().toImage();
        const LayoutGeometry& g = layout.geometry();
        const auto inside = [&](const PartBox& b, int top) {
            return QRect(b.left + 2, top + 2, b.right - b.left - 3, g.rowHeight - 3);
        };
        const auto row1 = partBoxes(def.lines[0], 90, g.left, g.right);
        const QRect label = inside(row1[0], g.rowTop(1));
        const Ink price = inkIn(image, label, red);
        EXPECT_GT(price.count, 5);
        EXPECT_GT(price.left, label.center().x()); // right-aligned
        EXPECT_GT(inkIn(image, inside(row1[1], g.rowTop(1)), green).count, 5);
        EXPECT_GT(inkIn(image, inside(row1[2], g.rowTop(1)), dark).count, 5);
        EXPECT_EQ(row1[2].right, g.right);

        const auto row2 = partBoxes(def.lines[1], 90, g.left, g.right);
        const QRect cut = inside(row2[0], g.rowTop(2));
        const Ink cutInk = inkIn(image, cut, red);
        EXPECT_GT(cutInk.count, 5);
        EXPECT_LT(cutInk.left, cut.left() + 4); // cut to the box and drawn from its left

        const QRect totalsRow(g.left + 2, g.totalsTop + 2, g.right - g.left - 4, g.rowHeight - 3);
        EXPECT_EQ(inkIn(image, totalsRow, dark).count > 5, totals);
        EXPECT_EQ(child<QLabel>(&layout, "ReportTotalsLabel")->isVisible(), totals);
        EXPECT_EQ(child<QLabel>(&layout, "ReportNameLabel")->text(),
                  QStringLiteral("Report: Layout"));
    }
}
