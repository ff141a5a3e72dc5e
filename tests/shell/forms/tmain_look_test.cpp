#include "app/forms/placement.h"
#include "core/profile.h"
#include "shell/forms/tmain.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"
#include "viewer/forms/viewergrid.h"
#include "viewer/gridmodel.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace shelvix;
using shell::TMain;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

// The main window on a home directory of its own and a screen of a chosen
// size.
class LookTest : public ::testing::Test {
protected:
    void start(QSize screen = {1280, 1024}) {
        const QStringList args{"shelvix", "--home", q(home.path())};
        ctx = std::make_unique<app::AppContext>();
        ctx->paths = app::AppPaths::resolve(args, QProcessEnvironment(), q(home.path()));
        ctx->prompter = &prompter;
        ctx->screenSize = screen;
        window = std::make_unique<TMain>(*ctx);
        ASSERT_TRUE(window->FormCreate());
        window->show();
    }
    void closeWindow() {
        window->close();
        window.reset();
    }
    QAction* action(const char* name) {
        auto* a = window->findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_NE(a, nullptr) << name;
        return a;
    }
    QStringList ticked(std::initializer_list<const char*> names) {
        QStringList out;
        for (const char* n : names)
            if (action(n)->isChecked())
                out << n;
        return out;
    }
    QStringList tickedSizes() {
        return ticked({"N640x480", "N800x600", "N1024x768", "N1280x1024"});
    }
    QStringList tickedDates() {
        QStringList out;
        for (const db::DateFormatInfo& f : db::dateFormats())
            if (action(f.menuItem)->isChecked())
                out << f.menuItem;
        return out;
    }
    std::string ini(const char* file, const char* section, const char* key) {
        return core::Profile::load(home / file).readString(section, key, "<missing>", 1000);
    }

    test::TempDir home;
    test::ScriptedPrompter prompter;
    std::unique_ptr<app::AppContext> ctx;
    std::unique_ptr<TMain> window;
};

TEST_F(LookTest, StartupTicksOneItemPerGroupFromTheSettings) {
    start();
    EXPECT_EQ(tickedSizes(), QStringList{"N640x480"});
    EXPECT_EQ(tickedDates(), QStringList{"MenuDateMDYSlash"});
    EXPECT_EQ(ticked({"MenuDateLeadingZeros", "MenuCurrencyUS", "MenuCurrencyWin", "MenuNumericUS",
                      "MenuNumericWin"}),
              (QStringList{"MenuCurrencyUS", "MenuNumericUS"}));
    EXPECT_EQ(action("N800x600")->shortcut(), QKeySequence("Shift+F2"));
    EXPECT_EQ(action("N1280x1024")->text(), "1280 x 1024");
    closeWindow();

    test::writeFile(home / "SHVBOOK.INI", "[Misc]\nWindow Size=800\nDate Format=13\n"
                                          "Date Leading Zeros=yes\nCurrency Format=2\n"
                                          "Numeric Format=7\n");
    start({1024, 768});
    EXPECT_EQ(tickedSizes(), QStringList{"N800x600"});
    EXPECT_EQ(ctx->screenFactor, 1.25);
    EXPECT_TRUE(tickedDates().isEmpty());
    EXPECT_EQ(ticked({"MenuDateLeadingZeros", "MenuCurrencyUS", "MenuCurrencyWin", "MenuNumericUS",
                      "MenuNumericWin"}),
              (QStringList{"MenuDateLeadingZeros", "MenuCurrencyWin"}));
}

TEST_F(LookTest, AStoredSizeTheScreenCannotHoldFallsBackButIsKept) {
    test::writeFile(home / "SHVBOOK.INI", "[Misc]\nWindow Size=1024\n");
    start({800, 600});
    EXPECT_EQ(ctx->screenFactor, 1.0);
    EXPECT_EQ(tickedSizes(), QStringList{"N640x480"});
    QDialog d;
    d.resize(300, 200);
    app::placeDialog(&d, *ctx);
    EXPECT_EQ(d.size(), QSize(300, 200));
    EXPECT_EQ(d.pos(), QPoint(250, 200));

    // Too large for the screen: the message, and the ticks stay.
    prompter.expectError("Your current screen resolution does not support 1280 x 1024 pixels.");
    action("N1280x1024")->trigger();
    EXPECT_EQ(tickedSizes(), QStringList{"N640x480"});
    closeWindow();
    EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Window Size"), "1024");
}

TEST_F(LookTest, AChosenSizeScalesTheNextShowingAndIsStored) {
    start({1280, 1024});
    QDialog live;
    live.resize(300, 200);
    auto* button = new QPushButton("OK", &live);
    button->setGeometry(10, 10, 60, 20);
    const app::FormGeometry saved = app::FormGeometry::save(&live, &prompter);
    app::placeDialog(&live, saved, *ctx);
    EXPECT_EQ(live.size(), QSize(300, 200));

    action("N1280x1024")->trigger();
    EXPECT_EQ(tickedSizes(), QStringList{"N1280x1024"});
    action("N1280x1024")->trigger(); // chosen again: stays ticked
    EXPECT_EQ(tickedSizes(), QStringList{"N1280x1024"});
    app::placeDialog(&live, saved, *ctx);
    EXPECT_EQ(live.size(), QSize(600, 400));
    EXPECT_EQ(button->geometry(), QRect(20, 20, 120, 40));
    EXPECT_EQ(live.pos(), QPoint(340, 312));

    action("N800x600")->trigger();
    app::placeDialog(&live, saved, *ctx);
    EXPECT_EQ(live.size(), QSize(375, 250));
    EXPECT_EQ(button->geometry(), QRect(13, 13, 75, 25)); // 12.5 rounds up
    action("N1280x1024")->trigger();
    closeWindow();
    EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Window Size"), "1280");

    start({1280, 1024});
    EXPECT_EQ(ctx->screenFactor, 2.0);
    EXPECT_EQ(tickedSizes(), QStringList{"N1280x1024"});
}

TEST_F(LookTest, DateFormatsRefreshTheGridOnlyWhenTheyChange) {
    start();
    closeWindow();
    {
        auto t = db::Table::open(home / "MASTER.DBF", db::OpenMode::Shared);
        t->insert();
        t->setText("AUTHOR", "Austen, Jane");
        t->setText("PURCHDATE", "19970305");
        t->post();
    }
    start();
    viewer::GridModel* model = window->viewerGrid()->gridModel();
    int column = -1;
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->fieldAt(c) == 12) // PurchDate
            column = c;
    ASSERT_GE(column, 0);
    const auto cell = [&] { return model->index(0, column).data().toString(); };
    EXPECT_EQ(cell(), "3/5/97");
    int refreshes = 0;
    QObject::connect(model, &QAbstractItemModel::dataChanged, [&] { ++refreshes; });

    action("MenuDateDMYDotYr")->trigger();
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(cell(), "5.3.1997");
    EXPECT_EQ(tickedDates(), QStringList{"MenuDateDMYDotYr"});
    action("MenuDateDMYDotYr")->trigger();
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(tickedDates(), QStringList{"MenuDateDMYDotYr"});

    action("MenuDateLeadingZeros")->trigger();
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(cell(), "05.03.1997");
    EXPECT_TRUE(action("MenuDateLeadingZeros")->isChecked());

    action("MenuCurrencyWin")->trigger();
    action("MenuCurrencyWin")->trigger();
    action("MenuNumericWin")->trigger();
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(ticked({"MenuCurrencyUS", "MenuCurrencyWin", "MenuNumericUS", "MenuNumericWin"}),
              (QStringList{"MenuCurrencyWin", "MenuNumericWin"}));
    closeWindow();
    EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Date Format"), "12");
    EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Date Leading Zeros"), "Yes");
    EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Currency Format"), "2");
    EXPECT_EQ(ini("SHVBOOK.INI", "Misc", "Numeric Format"), "2");
}

TEST_F(LookTest, FontCommandsApplyToTheMainWindowAndAreSavedPerDatabase) {
    start();
    auto* viewerLabel = window->findChild<QLabel*>("ViewerLabel");
    auto* addButton = window->findChild<QPushButton*>("AddButton");
    const int labelHeight = viewerLabel->font().pixelSize();
    EXPECT_EQ(viewerLabel->font().family(), "Arial");

    app::FontSpec chosen{0, "Courier New", 14, true, true};
    prompter.expectFont({.initial = ctx->database.labelFont}, chosen);
    action("MenuLabelFont")->trigger();
    EXPECT_EQ(ctx->database.labelFont, chosen);
    EXPECT_EQ(viewerLabel->font().family(), "Courier New");
    EXPECT_TRUE(viewerLabel->font().italic());
    EXPECT_EQ(viewerLabel->font().pixelSize(), labelHeight);
    EXPECT_EQ(addButton->font().family(), "Arial");

    prompter.expectFont({.initial = ctx->database.buttonFont}, std::nullopt);
    action("MenuButtonFont")->trigger();
    app::FontSpec button = ctx->database.buttonFont;
    button.name = "DejaVu Serif";
    prompter.expectFont({.initial = ctx->database.buttonFont}, button);
    action("MenuButtonFont")->trigger();
    EXPECT_EQ(addButton->font().family(), "DejaVu Serif");
    prompter.expectFont({.initial = ctx->database.editFont}, std::nullopt);
    action("MenuEditFont")->trigger();
    closeWindow();

    EXPECT_EQ(ini("MASTER.INI", "Label Font", "Font Name"), "Courier New");
    EXPECT_EQ(ini("MASTER.INI", "Label Font", "Bold"), "Yes");
    EXPECT_EQ(ini("MASTER.INI", "Label Font", "Italic"), "Yes");
    EXPECT_EQ(ini("MASTER.INI", "Button Font", "Font Name"), "DejaVu Serif");

    // The next start shows the database's fonts.
    start();
    EXPECT_EQ(window->findChild<QLabel*>("ViewerLabel")->font().family(), "Courier New");
    EXPECT_TRUE(window->findChild<QLabel*>("NavigatorLabel")->font().bold());
}

} // namespace
