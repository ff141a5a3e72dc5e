#include "app/forms/colors.h"
#include "core/profile.h"
#include "shell/forms/tcolorconfig.h"
#include "shell/forms/tmain.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace shelvix;
using app::ColorConfigMode;
using shell::TColorConfig;
using shell::TMain;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

QColor role(const QWidget* w, QPalette::ColorRole r) {
    return w->palette().color(QPalette::Active, r);
}

const QColor kGrey(192, 192, 192);

bool contains(const QImage& image, const QColor& color) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color)
                return true;
    return false;
}

// A form with one control of each kind the convention knows.
struct SampleForm {
    QWidget form;
    QLabel* heading = new QLabel("Heading", &form);
    QLabel* caption = new QLabel("Caption", &form);
    QGroupBox* group = new QGroupBox("Group", &form);
    QLineEdit* edit = new QLineEdit(group);
    QComboBox* combo = new QComboBox(&form);
    QComboBox* editableCombo = new QComboBox(&form);
    QListWidget* list = new QListWidget(&form);
    QRadioButton* radio = new QRadioButton("Radio", &form);
    QCheckBox* check = new QCheckBox("Check", &form);
    QPushButton* button = new QPushButton("Button", &form);
    QListWidget* own = new QListWidget(&form);
    QTabWidget* tabs = new QTabWidget(&form);
    QLabel* onPage = new QLabel("On a page");

    SampleForm() {
        form.resize(400, 400);
        // Clear of the controls left at the top corner.
        radio->setGeometry(10, 300, 150, 24);
        check->setGeometry(10, 340, 150, 24);
        tabs->setGeometry(170, 200, 220, 150);
        tabs->addTab(new QWidget, "Page");
        onPage->setParent(tabs->widget(0));
        onPage->setGeometry(10, 10, 150, 20);
        app::setColorRole(heading, "major");
        editableCombo->setEditable(true);
        app::setColorRole(own, "none");
    }
};

} // namespace

TEST(ApplyColorSet, EachKindOfControlTakesItsColours) {
    SampleForm f;
    const QColor ownBase = role(f.own, QPalette::Base);
    app::ColorSet set{};
    for (int i = 0; i < app::ColorElementCount; ++i)
        set[std::size_t(i)] = app::windowsColor(10 * (i + 1), 0, 0);
    const auto c = [&](app::ColorElement e) { return app::toQColor(set[e]); };
    app::applyColorSet(&f.form, set);

    EXPECT_EQ(role(&f.form, QPalette::Window), c(app::ColorMainBackground));
    EXPECT_TRUE(f.form.autoFillBackground());
    EXPECT_EQ(role(f.heading, QPalette::WindowText), c(app::ColorMajorTitle));
    EXPECT_EQ(role(f.caption, QPalette::WindowText), c(app::ColorMinorTitle));
    EXPECT_EQ(role(f.group, QPalette::WindowText), c(app::ColorMinorTitle));
    EXPECT_EQ(role(f.edit, QPalette::Base), c(app::ColorEditBackground));
    EXPECT_EQ(role(f.edit, QPalette::Text), c(app::ColorEditText));
    EXPECT_EQ(role(f.combo, QPalette::Button), c(app::ColorComboBackground));
    EXPECT_EQ(role(f.combo, QPalette::ButtonText), c(app::ColorComboText));
    EXPECT_EQ(role(f.combo->view(), QPalette::Base), c(app::ColorComboBackground));
    // The editable combo's own line edit is a combo, not an edit box.
    EXPECT_EQ(role(f.editableCombo->lineEdit(), QPalette::Base), c(app::ColorComboBackground));
    EXPECT_EQ(role(f.list, QPalette::Base), c(app::ColorListBoxBackground));
    EXPECT_EQ(role(f.list, QPalette::Text), c(app::ColorListBoxText));
    EXPECT_EQ(role(f.radio, QPalette::Window), c(app::ColorRadioBackground));
    EXPECT_EQ(role(f.radio, QPalette::WindowText), c(app::ColorRadioText));
    EXPECT_EQ(role(f.check, QPalette::Window), c(app::ColorCheckBackground));
    EXPECT_EQ(role(f.check, QPalette::WindowText), c(app::ColorCheckText));
    // Buttons keep the system colours; "none" is left alone.
    for (auto r : {QPalette::Window, QPalette::Button, QPalette::ButtonText})
        EXPECT_EQ(role(f.button, r), QApplication::palette(f.button).color(r));
    EXPECT_EQ(role(f.own, QPalette::Base), ownBase);

    // As drawn: radio and check boxes fill with their own background, tab
    // pages with the window's, and captions on a page show their colour.
    f.form.show();
    const QImage drawn = f.form.grab().toImage();
    const auto at = [&](QWidget* w, QPoint p) { return drawn.pixelColor(w->mapTo(&f.form, p)); };
    EXPECT_EQ(at(f.radio, {f.radio->width() - 3, 3}), c(app::ColorRadioBackground));
    EXPECT_EQ(at(f.check, {f.check->width() - 3, 3}), c(app::ColorCheckBackground));
    QWidget* page = f.tabs->widget(0);
    EXPECT_EQ(at(page, {page->width() - 5, page->height() - 5}), c(app::ColorMainBackground));
    EXPECT_TRUE(contains(f.onPage->grab().toImage(), c(app::ColorMinorTitle)));

    // Applying another set replaces every colour.
    app::applyColorSet(&f.form, app::defaultColorSet());
    EXPECT_EQ(role(&f.form, QPalette::Window), kGrey);
    // A disabled caption stays readable on the grey ("Print Search Criteria").
    f.radio->setEnabled(false);
    const QImage greyed = f.radio->grab().toImage();
    int ink = 0;
    for (int y = 0; y < greyed.height(); ++y)
        for (int x = 30; x < greyed.width(); ++x) // right of the circle
            ink += qGray(greyed.pixel(x, y)) < 140;
    EXPECT_GT(ink, 20);
    f.radio->setEnabled(true);
    EXPECT_EQ(role(f.heading, QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(role(f.edit, QPalette::Base), QColor(Qt::white));
    // The top byte of a stored colour (a Windows palette flag) is ignored.
    EXPECT_EQ(app::toQColor(0x02FF0000), QColor(0, 0, 255));
}

namespace {

class MainColorsTest : public ::testing::Test {
protected:
    void start() {
        const QStringList args{"shelvix", "--home", q(home.path())};
        ctx.paths = app::AppPaths::resolve(args, QProcessEnvironment(), q(home.path()));
        ctx.prompter = &prompter;
        window = std::make_unique<TMain>(ctx);
        ASSERT_TRUE(window->FormCreate());
        window->show();
    }
    QWidget* client() { return window->clientArea(); }
    QLabel* label(const char* name) { return window->findChild<QLabel*>(name); }
    // Opens the colour dialog from `item` and runs `inDialog` in it.
    void colorDialog(const char* item, std::function<void(TColorConfig*)> inDialog) {
        bool ran = false;
        test::onNextModal([&](QWidget* w) {
            auto* d = qobject_cast<TColorConfig*>(w);
            ASSERT_NE(d, nullptr);
            ran = true;
            inDialog(d);
        });
        window->findChild<QAction*>(item)->trigger();
        EXPECT_TRUE(ran);
    }

    test::TempDir home;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    std::unique_ptr<TMain> window;
};

} // namespace

TEST_F(MainColorsTest, MidnightBlackForTheMainWindowAndCancelChangingNothing) {
    start();
    // A database without colour entries: grey, black titles.
    EXPECT_EQ(role(client(), QPalette::Window), kGrey);
    EXPECT_EQ(role(label("ViewerLabel"), QPalette::WindowText), QColor(Qt::black));
    const auto before = ctx.database.colors;

    // Cancel after changing a colour and a combination: nothing changes.
    prompter.expectColor(app::windowsColor(192, 192, 192), 255);
    colorDialog("MenuMainColor", [](TColorConfig* d) {
        d->findChild<QPushButton*>("MainBack")->click();
        EXPECT_EQ(d->workingSet()[app::ColorMainBackground], 255);
        EXPECT_EQ(role(d, QPalette::Window), QColor(255, 0, 0)); // the sample
        d->ColorSetsChange(3);
        test::clickButton(d, "CancelButton");
    });
    EXPECT_EQ(ctx.database.colors, before);
    EXPECT_EQ(role(client(), QPalette::Window), kGrey);

    colorDialog("MenuMainColor", [](TColorConfig* d) {
        EXPECT_EQ(d->windowTitle(), "Color Configuration");
        auto* sets = d->findChild<QComboBox*>("ColorSets");
        sets->setCurrentIndex(3);
        sets->activated(3);
        EXPECT_EQ(role(d->findChild<QLabel*>("WindowLabel"), QPalette::WindowText),
                  QColor(192, 192, 192));
        test::clickButton(d, "OkButton");
    });
    EXPECT_EQ(role(client(), QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(role(label("ViewerLabel"), QPalette::WindowText), QColor(192, 192, 192));
    EXPECT_EQ(role(label("NavigatorLabel"), QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(ctx.database.colors[app::ColorsEdit], before[app::ColorsEdit]);
    // The menu bar and the speed buttons keep the system colours.
    EXPECT_EQ(window->menuBar()->palette(), QApplication::palette(window->menuBar()));
    auto* speed = window->findChild<QToolButton*>("ColorSpeed");
    EXPECT_EQ(speed->palette().color(QPalette::Window),
              QApplication::palette(speed).color(QPalette::Window));
}

TEST_F(MainColorsTest, EachCommandStartsFromItsOwnSetAndStoresByMode) {
    start();
    ctx.database.colors[app::ColorsEdit][app::ColorEditBackground] = 0x00FFFF;
    colorDialog("MenuEditColor", [](TColorConfig* d) {
        EXPECT_EQ(d->mode(), ColorConfigMode::Edit);
        EXPECT_EQ(d->workingSet()[app::ColorEditBackground], 0x00FFFF);
        EXPECT_EQ(role(d->findChild<QLineEdit*>("EditBox"), QPalette::Base), QColor(255, 255, 0));
        d->ColorSetsChange(6); // Ocean Blue
        test::clickButton(d, "OkButton");
    });
    EXPECT_EQ(ctx.database.colors[app::ColorsEdit][app::ColorMainBackground],
              app::windowsColor(0, 255, 255));
    // Only for the edit window, next time it is shown.
    EXPECT_EQ(role(client(), QPalette::Window), kGrey);
    EXPECT_EQ(ctx.database.colors[app::ColorsMain], app::defaultColorSet());

    ctx.database.colors[app::ColorsMain][app::ColorMajorTitle] = 0x0000FF;
    colorDialog("MenuAllColor", [](TColorConfig* d) {
        EXPECT_EQ(d->mode(), ColorConfigMode::All);
        EXPECT_EQ(d->workingSet()[app::ColorMajorTitle], 0x0000FF); // the main set
        test::clickButton(d, "OkButton");
    });
    for (const app::ColorSet& set : ctx.database.colors)
        EXPECT_EQ(set[app::ColorMajorTitle], 0x0000FF);
    EXPECT_EQ(role(label("ViewerLabel"), QPalette::WindowText), QColor(255, 0, 0));

    // The colours are the database's: written with its settings.
    window->close();
    window.reset();
    EXPECT_EQ(core::Profile::load(home / "MASTER.INI")
                  .readString("Search Window Color", "Major Title", "", 20),
              "255");
}

TEST_F(MainColorsTest, Screenshots) {
    const QString out = qEnvironmentVariable("SHELVIX_SCREENSHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "SHELVIX_SCREENSHOTS not set";
    QDir().mkpath(out);
    start();
    colorDialog("MenuMainColor", [&](TColorConfig* d) {
        d->ColorSetsChange(5); // Easter Pastel
        QApplication::processEvents();
        d->grab().save(out + "/colorconfig.png");
        d->ColorSetsChange(3);
        test::clickButton(d, "OkButton");
    });
    QApplication::processEvents();
    window->grab().save(out + "/mainwindow-midnight.png");
}

namespace {

// A dark mark inside the light circle or box of a checked button.
bool markShows(QAbstractButton* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    const bool radio = qobject_cast<QRadioButton*>(box);
    const QRect indicator =
        box->style()
            ->subElementRect(radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator,
                             &option, box)
            .adjusted(3, 3, -3, -3);
    const QImage drawn = box->grab().toImage();
    for (int y = indicator.top(); y <= indicator.bottom(); ++y)
        for (int x = indicator.left(); x <= indicator.right(); ++x)
            if (qGray(drawn.pixel(x, y)) < 100)
                return true;
    return false;
}

// Under "Midnight Black" everything coloured is black and every caption
// light: checks one window as drawn, page by page.
void expectMidnight(QWidget* dialog, const QString& shot) {
    SCOPED_TRACE(dialog->objectName().toStdString());
    const auto check = [&](const QString& page) {
        const QImage drawn = dialog->grab().toImage();
        if (!shot.isEmpty())
            drawn.save(shot + page + QStringLiteral(".png"));
        const auto at = [&](QWidget* w, QPoint p) { return drawn.pixelColor(w->mapTo(dialog, p)); };
        EXPECT_EQ(drawn.pixelColor(dialog->width() - 2, dialog->height() - 2), QColor(Qt::black));
        for (QWidget* w : dialog->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(dialog))
                continue;
            const std::string name = w->objectName().toStdString();
            if (auto* box = qobject_cast<QAbstractButton*>(w); box && box->isCheckable()) {
                EXPECT_EQ(at(w, {w->width() - 3, 3}), QColor(Qt::black)) << name;
                EXPECT_TRUE(contains(w->grab().toImage(), Qt::white)) << name;
                if (box->isChecked()) {
                    EXPECT_TRUE(markShows(box)) << name;
                }
            } else if (auto* label = qobject_cast<QLabel*>(w);
                       label && !label->text().isEmpty() &&
                       label->property("colorRole").toString().isEmpty()) {
                EXPECT_TRUE(contains(w->grab().toImage(), Qt::white)) << name;
            } else if (w->parentWidget() && w->parentWidget()->inherits("QStackedWidget")) {
                EXPECT_EQ(at(w, {w->width() - 4, w->height() - 4}), QColor(Qt::black)) << name;
            }
        }
    };
    check(QString());
    for (QTabWidget* tabs : dialog->findChildren<QTabWidget*>()) {
        for (int i = 1; i < tabs->count(); ++i) {
            QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {},
                              tabs->tabBar()->tabRect(i).center());
            check(QStringLiteral("-%1").arg(i + 1));
        }
        tabs->setCurrentIndex(0);
    }
}

} // namespace

TEST_F(MainColorsTest, MidnightBlackReachesEveryWindowAsDrawn) {
    ctx.screenSize = {1024, 768};
    start();
    const auto key = [this](QKeyCombination k) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([this] { return window->isActiveWindow(); }));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window.get(),
                        k.key(), k.keyboardModifiers());
    };
    key(Qt::SHIFT | Qt::Key_F3); // 1024 x 768

    // All windows: the combination picked from the list by keys.
    bool picked = false;
    test::onNextModal([&](QWidget* d) {
        auto* sets = d->findChild<QComboBox*>("ColorSets");
        sets->setFocus();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(sets, Qt::Key_Down);
        EXPECT_EQ(sets->currentText(), "Midnight Black");
        picked = true;
        test::clickButton(d, "OkButton");
    });
    key(Qt::CTRL | Qt::Key_F9);
    ASSERT_TRUE(picked);

    const QString out = qEnvironmentVariable("SHELVIX_SCREENSHOTS");
    if (!out.isEmpty())
        QDir().mkpath(out);
    const auto look = [&](const char* shot, const std::function<void()>& open) {
        bool seen = false;
        test::onNextModal([&](QWidget* d) {
            seen = true;
            QApplication::processEvents();
            expectMidnight(d, out.isEmpty() ? QString()
                                            : QStringLiteral("%1/%2-midnight").arg(out, shot));
            test::closeModal(d);
        });
        open();
        EXPECT_TRUE(seen) << shot;
    };
    look("edit", [&] { key(Qt::CTRL | Qt::Key_A); });
    look("colorconfig", [&] { key(Qt::CTRL | Qt::Key_F4); });
    look("sortorder", [&] { key(Qt::CTRL | Qt::Key_Q); });
    look("viewconfig", [&] { key(Qt::CTRL | Qt::Key_V); });
    look("listedit", [&] { window->findChild<QAction*>("MenuListAuthor")->trigger(); });
    if (!out.isEmpty())
        window->grab().save(out + "/main-midnight.png");
}
