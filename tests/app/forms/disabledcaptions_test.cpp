// Every window that greys out a caption, in every colour set: the greyed
// caption must still be read, as drawn.
#include "app/colors.h"
#include "app/forms/colors.h"
#include "app/searchbracket.h"
#include "reports/forms/tmyreport.h"
#include "reports/forms/tuserreport.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
#include "transfer/exporter.h"
#include "transfer/forms/tmyexport.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

using namespace shelvix;

namespace {

double luminance(const QColor& c) {
    const auto channel = [](int v) {
        const double x = v / 255.0;
        return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Pixels of the caption (right of the box or circle) that stand out from
// the fill at least 3 to 1.
int readableInk(QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const bool radio = qobject_cast<QRadioButton*>(button);
    const QRect caption = button->style()->subElementRect(
        radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option, button);
    const QImage drawn = button->grab().toImage();
    const QColor fill = drawn.pixelColor(button->width() - 2, 1);
    int ink = 0;
    for (int y = caption.top(); y <= caption.bottom(); ++y)
        for (int x = caption.left(); x <= caption.right(); ++x)
            ink += contrast(drawn.pixelColor(x, y), fill) >= 3.0;
    return ink;
}

// A search that is never on.
app::SearchBracket noSearch() {
    return app::SearchBracket({[] { return false; }, [] {}, [] {}});
}

} // namespace

TEST(DisabledCaptions, EveryGreyedCaptionReadsInEveryColourSet) {
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    ctx.prompter = &prompter;
    ctx.screenSize = {1024, 768};
    ctx.paths.dataDir = QString::fromStdString(dir.path().string());
    const reports::ReportFile file(QString::fromStdString((dir / "SHVBOOK.URP").string()));
    reports::WriteDefaultReports(file);

    app::SearchBracket reportSearch = noSearch();
    app::SearchBracket exportSearch = noSearch();
    // The default set, then the twelve combinations.
    for (int combination = 0; combination <= app::kColorCombinationCount; ++combination) {
        app::ColorSet set = app::defaultColorSet();
        app::applyCombination(set, combination);
        const std::string name =
            combination == 0 ? "default" : app::colorCombinations()[combination - 1].name;
        SCOPED_TRACE(name);
        ctx.database.colors[app::ColorsReport] = set;
        ctx.database.colors[app::ColorsConfigure] = set;

        reports::TMyReport list(ctx, reportSearch);
        // "Full Report" without grouping: more than one line greys the line
        // options, no first level greys the second.
        reports::ReportDefinition full = *file.read(3);
        full.groupLevel1 = false;
        reports::TUserReport editor(ctx, file, full, 3);
        transfer::TMyExport exporter(ctx, exportSearch);
        const std::vector<std::pair<QWidget*, std::vector<const char*>>> windows = {
            {&list, {"ExportSearch"}},
            {&editor, {"ColumnHeaders", "HorzLines", "VertLines", "Level2Group"}},
            {&exporter, {"ExportSearch"}},
        };
        for (const auto& [window, names] : windows) {
            window->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
            for (const char* control : names) {
                auto* button = window->findChild<QAbstractButton*>(QString::fromLatin1(control));
                ASSERT_TRUE(button) << control;
                ASSERT_FALSE(button->isEnabled()) << control;
                EXPECT_GE(readableInk(button), 40)
                    << window->objectName().toStdString() << " " << control;
            }
            window->hide();
        }
    }
}
