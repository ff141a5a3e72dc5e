#include "app/screensize.h"
#include "reports/forms/tmypreview.h"
#include "reports/forms/tprintrange.h"
#include "reports/forms/treplayout.h"
#include "reports/forms/treportfonts.h"
#include "reports/forms/treportpart.h"
#include "reports/forms/tuserreport.h"
#include "reports/paint/qtreport.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace shelvix;
using namespace shelvix::reports;

namespace {

struct Windows {
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    ReportFile file{QString::fromStdString((dir / "SHVBOOK.URP").string())};
    ReportDefinition def;

    explicit Windows(const app::ScreenSizeInfo& size) {
        ctx.prompter = &prompter;
        ctx.screenSize = {size.width, size.height};
        ctx.screenFactor = size.factor;
        WriteDefaultReports(file);
        def = *file.read(0);
        def.lineCount = 3;
    }
    // Each window of the editor, shown as its opener shows it.
    std::vector<std::unique_ptr<QWidget>> all() {
        std::vector<std::unique_ptr<QWidget>> w;
        w.emplace_back(new TUserReport(ctx, file, def, 0));
        w.emplace_back(new TReportFonts(ctx, def));
        w.emplace_back(new TReportPart(ctx, def, 1, 1, def.CharsPerLine));
        w.emplace_back(new TRepLayout(ctx, def, def.CharsPerLine, true));
        w.emplace_back(new TPrintRange(ctx, 12));
        return w;
    }
};

} // namespace

TEST(ReportWindows, EveryControlStaysInsideItsWindowAtEveryScreenSize) {
    for (const app::ScreenSizeInfo& size : app::screenSizes()) {
        Windows f(size);
        for (auto& window : f.all()) {
            window->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
            const QString name = window->objectName();
            EXPECT_LE(window->width(), size.width) << name.toStdString();
            EXPECT_LE(window->height(), size.height) << name.toStdString();
            for (QWidget* c : window->findChildren<QWidget*>()) {
                if (!c->isVisible() || c->isWindow())
                    continue;
                const QRect at(c->mapTo(window.get(), QPoint(0, 0)), c->size());
                EXPECT_TRUE(window->rect().contains(at))
                    << name.toStdString() << " at " << size.size << ": "
                    << c->objectName().toStdString() << " " << at.x() << "," << at.y() << " "
                    << at.width() << "x" << at.height();
            }
            window->close();
        }
    }
}

// The windows at two screen sizes for a look: set SHELVIX_SCREENSHOTS to a directory.
TEST(ReportWindows, Screenshots) {
    const QString out = qEnvironmentVariable("SHELVIX_SCREENSHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "SHELVIX_SCREENSHOTS not set";
    QDir().mkpath(out);
    for (int which : {0, 2}) {
        const app::ScreenSizeInfo& size = app::screenSizes()[std::size_t(which)];
        Windows f(size);
        for (auto& window : f.all()) {
            window->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
            window->grab().save(
                QStringLiteral("%1/%2-%3.png").arg(out, window->objectName()).arg(size.size));
            window->close();
        }
        ReportStream stream;
        TReportFiler filer;
        filer.ChoosePaper(QPageSize(QPageSize::Letter));
        filer.SetStream(&stream);
        filer.OnPrintPage = [](TBaseReport& e, int page) {
            e.ApplyFont({QStringLiteral("Arial"), 18, true, false, false, false, 0x0000C0});
            e.SetBandTop(1.0);
            e.SetBandBottom(e.PageHeightInches() - 1.0);
            e.ResetPosition();
            e.PrintCentredAt(QStringLiteral("A Sample Report, page %1").arg(page), 4.25);
            return page < 3;
        };
        filer.RunReport();
        TFilePrinter printer(&f.prompter);
        f.ctx.database.reportWindowWidth = size.width * 3 / 4;
        f.ctx.database.reportWindowHeight = size.height * 3 / 4;
        TMyPreview preview(f.ctx, stream, printer, QStringLiteral("Sample"));
        preview.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&preview));
        preview.grab().save(QStringLiteral("%1/TMyPreview-100-%2.png").arg(out).arg(size.size));
        preview.ZoomWholePage();
        QApplication::processEvents();
        preview.grab().save(QStringLiteral("%1/TMyPreview-page-%2.png").arg(out).arg(size.size));
        preview.close();
    }
}
