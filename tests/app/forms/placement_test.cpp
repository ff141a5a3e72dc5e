#include "app/forms/placement.h"
#include "app/screensize.h"
#include "edit/forms/tmyedit.h"
#include "shell/forms/tmain.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace shelvix;
using app::FormGeometry;
using app::PlaceOptions;

namespace {

QFont pixels(int height, const char* family = "Arial") {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(height);
    return f;
}

// A dialog as the forms are built: absolute places at the design size.
struct SampleDialog : QDialog {
    SampleDialog() {
        setObjectName("SampleDialog");
        setWindowTitle("Sample");
        setFixedSize(300, 200); // as the forms are
        label = new QLabel("&Author", this);
        label->setObjectName("AuthorLabel");
        label->setGeometry(10, 10, 100, 20);
        label->setFont(pixels(13));
        edit = new QLineEdit(this);
        edit->setObjectName("AuthorEdit");
        edit->setGeometry(120, 10, 150, 21);
        combo = new QComboBox(this);
        combo->setObjectName("CategoryCombo");
        combo->setEditable(true);
        combo->setGeometry(120, 40, 150, 21);
        group = new QGroupBox("Kind", this);
        group->setObjectName("KindGroup");
        group->setGeometry(10, 70, 130, 80);
        radio = new QRadioButton("&Hardcover", group);
        radio->setObjectName("HardRadio");
        radio->setGeometry(8, 20, 110, 20);
        check = new QCheckBox("&Read", this);
        check->setObjectName("ReadCheck");
        check->setGeometry(150, 70, 100, 20);
        bevel = new QFrame(this);
        bevel->setObjectName("Bevel1");
        bevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        bevel->setGeometry(4, 160, 292, 3);
        ok = new QPushButton("OK", this);
        ok->setObjectName("OKButton");
        ok->setGeometry(150, 165, 69, 30);
        speed = new QToolButton(this);
        speed->setObjectName("HelpSpeed");
        speed->setGeometry(270, 165, 25, 25);
        speed->setFont(pixels(11, "Courier New"));
    }
    QLabel* label;
    QLineEdit* edit;
    QComboBox* combo;
    QGroupBox* group;
    QRadioButton* radio;
    QCheckBox* check;
    QFrame* bevel;
    QPushButton* ok;
    QToolButton* speed;
};

struct Shape {
    QSize size;
    std::vector<QRect> rects;
    std::vector<int> fontPixels;
    bool operator==(const Shape&) const = default;
};

Shape shapeOf(QWidget* w) {
    Shape s{w->size(), {}, {}};
    for (QWidget* c : app::formControls(w)) {
        s.rects.push_back(c->geometry());
        s.fontPixels.push_back(QFontInfo(c->font()).pixelSize());
    }
    return s;
}

app::AppContext contextAt(double factor, test::ScriptedPrompter* prompter = nullptr) {
    app::AppContext ctx;
    ctx.screenSize = {1280, 1024};
    ctx.screenFactor = factor;
    ctx.prompter = prompter;
    return ctx;
}

} // namespace

TEST(Placement, ControlsAreTheFormsOwnInCreationOrder) {
    SampleDialog d;
    QStringList names;
    for (QWidget* c : app::formControls(&d))
        names << c->objectName();
    // The combo box's editor and the like are parts, not controls.
    EXPECT_EQ(names, (QStringList{"AuthorLabel", "AuthorEdit", "CategoryCombo", "KindGroup",
                                  "HardRadio", "ReadCheck", "Bevel1", "OKButton", "HelpSpeed"}));
}

TEST(Placement, ScalesPositionsSizesAndFontHeightsThenCentres) {
    SampleDialog d;
    const app::AppContext ctx = contextAt(1.6);
    app::placeDialog(&d, ctx);
    EXPECT_EQ(d.size(), QSize(480, 320));
    EXPECT_EQ(d.label->geometry(), QRect(16, 16, 160, 32));
    EXPECT_EQ(d.label->font().pixelSize(), 21); // 13 × 1.6 = 20.8
    EXPECT_EQ(d.radio->geometry(), QRect(13, 32, 176, 32));
    EXPECT_EQ(d.bevel->geometry(), QRect(6, 256, 467, 5));
    EXPECT_EQ(d.speed->font().pixelSize(), 18); // 17.6
    EXPECT_EQ(d.pos(), QPoint((1280 - 480) / 2, (1024 - 320) / 2));

    // Controls without a font of their own follow the form's, scaled once.
    const QFont appFont = QApplication::font();
    SampleDialog plain;
    const int before = QFontInfo(plain.edit->font()).pixelSize();
    app::placeDialog(&plain, contextAt(2.0), PlaceOptions{.moveUp10 = true});
    EXPECT_NEAR(QFontInfo(plain.edit->font()).pixelSize(), 2 * before, 1);
    EXPECT_EQ(plain.pos(), QPoint((1280 - 600) / 2, (1024 - 400) / 2 - 10));
    EXPECT_EQ(QApplication::font(), appFont);

    // At 640 × 480 nothing grows; the dialog is still centred, on an odd
    // remainder rounded toward zero.
    SampleDialog same;
    app::AppContext small = contextAt(1.0);
    small.screenSize = {801, 601};
    app::placeDialog(&same, small);
    EXPECT_EQ(same.size(), QSize(300, 200));
    EXPECT_EQ(same.label->geometry(), QRect(10, 10, 100, 20));
    EXPECT_EQ(same.pos(), QPoint(250, 200));
}

TEST(Placement, FontsGoByControlKindNameAndStyleOnly) {
    SampleDialog d;
    app::AppContext ctx = contextAt(1.0);
    ctx.database.labelFont = {0xFF, "Courier New", 30, true, false};
    ctx.database.editFont = {0, "Times New Roman", 30, false, true};
    ctx.database.buttonFont = {0, "DejaVu Sans", 30, true, true, true};
    app::placeDialog(&d, ctx);

    for (QWidget* w : std::initializer_list<QWidget*>{d.label, d.radio, d.check, d.group}) {
        EXPECT_EQ(w->font().family(), "Courier New") << w->objectName().toStdString();
        EXPECT_TRUE(w->font().bold());
        EXPECT_FALSE(w->font().italic());
    }
    EXPECT_EQ(d.label->font().pixelSize(), 13); // the size stays the control's
    for (QWidget* w : std::initializer_list<QWidget*>{d.edit, d.combo}) {
        EXPECT_EQ(w->font().family(), "Times New Roman") << w->objectName().toStdString();
        EXPECT_TRUE(w->font().italic());
        EXPECT_FALSE(w->font().bold());
    }
    EXPECT_EQ(d.ok->font().family(), "DejaVu Sans");
    EXPECT_TRUE(d.ok->font().underline());
    EXPECT_EQ(d.speed->font().family(), "Courier New"); // its own, not the label font
    EXPECT_FALSE(d.speed->font().bold());

    QListWidget list;
    const app::DatabaseSettings& s = ctx.database;
    EXPECT_EQ(app::fontForControl(&list, s), &s.labelFont);
    EXPECT_EQ(app::fontForControl(d.bevel, s), nullptr);
}

TEST(Placement, SavedGeometryKeepsScalingFromAccumulating) {
    test::ScriptedPrompter prompter;
    SampleDialog live;
    const FormGeometry saved = FormGeometry::save(&live, &prompter);

    app::placeDialog(&live, saved, contextAt(1.6));
    app::placeDialog(&live, saved, contextAt(1.6));
    SampleDialog fresh16;
    app::placeDialog(&fresh16, contextAt(1.6));
    EXPECT_EQ(shapeOf(&live), shapeOf(&fresh16));

    // A new size: the same as a first showing at it.
    app::placeDialog(&live, saved, contextAt(1.25));
    SampleDialog fresh125;
    app::placeDialog(&fresh125, contextAt(1.25));
    EXPECT_EQ(shapeOf(&live), shapeOf(&fresh125));
    EXPECT_EQ(live.pos(), fresh125.pos());

    // Fonts chosen later than the save still apply.
    app::AppContext ctx = contextAt(1.0);
    ctx.database.buttonFont.name = "Courier New";
    app::placeDialog(&live, saved, ctx);
    EXPECT_EQ(live.ok->font().family(), "Courier New");
    EXPECT_EQ(live.size(), QSize(300, 200));
    EXPECT_EQ(live.minimumSize(), live.maximumSize()); // still fixed
}

TEST(Placement, NoMoreThan121ControlsAreSaved) {
    test::ScriptedPrompter prompter;
    QDialog fits;
    for (int i = 0; i < 121; ++i)
        (new QLabel(&fits))->setGeometry(0, i, 10, 1);
    FormGeometry::save(&fits, &prompter); // no message

    QDialog tooMany;
    tooMany.resize(200, 300);
    for (int i = 0; i < 123; ++i)
        (new QLabel(&tooMany))->setGeometry(0, i, 10, 1);
    prompter.expectError("Too many compenents to save dimensions.");
    const FormGeometry saved = FormGeometry::save(&tooMany, &prompter);
    prompter.verify();

    const auto labels = app::formControls(&tooMany);
    labels[120]->move(50, 50);
    labels[121]->move(50, 50);
    saved.restore(&tooMany);
    EXPECT_EQ(labels[120]->pos(), QPoint(0, 120));
    EXPECT_EQ(labels[121]->pos(), QPoint(50, 50)); // past the saved ones
}

// A dialog at 1024 × 768 for a look: set SHELVIX_SCREENSHOTS to a directory.
TEST(Placement, Screenshot) {
    const QString out = qEnvironmentVariable("SHELVIX_SCREENSHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "SHELVIX_SCREENSHOTS not set";
    QDir().mkpath(out);
    SampleDialog design;
    design.grab().save(out + "/placement-640.png");
    SampleDialog d;
    app::AppContext ctx = contextAt(1.6);
    ctx.database.labelFont.bold = true;
    app::placeDialog(&d, ctx);
    d.grab().save(out + "/placement-1024.png");
}

// ------------------------------------------------------- the real windows

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

QString where(const QWidget* w) {
    QString path = w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                             : w->objectName();
    for (const QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (!p->objectName().isEmpty())
            path.prepend(p->objectName() + u'/');
    return path;
}

// Inside a view, widgets come and go with scrolling (cell editors, the
// viewport's contents): the view's own frame is what must fit.
bool insideAView(const QWidget* w, const QWidget* window) {
    for (const QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (qobject_cast<const QAbstractScrollArea*>(p))
            return true;
    return false;
}

// Room for the text a control shows: a caption cut at its end is a fault as
// much as a control outside the window.
QString textCut(QWidget* c) {
    if (auto* label = qobject_cast<QLabel*>(c)) {
        if (label->text().isEmpty())
            return {};
        const QRect room = label->contentsRect();
        if (label->wordWrap())
            return label->heightForWidth(room.width()) > room.height() ? label->text() : QString();
        const QSize need = label->sizeHint();
        return need.width() > c->width() || need.height() > c->height() ? label->text() : QString();
    }
    if (qobject_cast<QCheckBox*>(c) || qobject_cast<QRadioButton*>(c)) {
        const QSize need = c->sizeHint();
        return need.width() > c->width() || need.height() > c->height()
                   ? static_cast<QAbstractButton*>(c)->text()
                   : QString();
    }
    if (auto* button = qobject_cast<QPushButton*>(c)) {
        const QString text = button->text().remove(u'&');
        const QFontMetrics fm(button->font());
        return fm.horizontalAdvance(text) + 8 > c->width() || fm.height() + 4 > c->height()
                   ? text
                   : QString();
    }
    return {};
}

void expectControlsWhole(QWidget* window);

// The window fits the screen size it was scaled for, and on every page
// every visible control lies inside its parent and the window and shows its
// text whole.
// With `shot` set, each page is saved as `shot`-N.png for a look.
void expectWhole(QWidget* window, QSize screen, const char* size, const QString& shot) {
    SCOPED_TRACE(window->objectName().toStdString() + " at " + size);
    EXPECT_TRUE(window->width() <= screen.width() && window->height() <= screen.height())
        << "window " << window->width() << "x" << window->height();
    expectControlsWhole(window);
    for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
        const int first = tabs->currentIndex();
        for (int i = 0; i < tabs->count(); ++i) {
            QTabBar* bar = tabs->tabBar();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(i).center());
            EXPECT_EQ(tabs->currentIndex(), i);
            SCOPED_TRACE("page " + tabs->tabText(i).toStdString());
            expectControlsWhole(window);
            if (!shot.isEmpty() && i > 0)
                window->grab().save(QStringLiteral("%1-%2.png").arg(shot).arg(i + 1));
        }
        tabs->setCurrentIndex(first);
    }
}

void expectControlsWhole(QWidget* window) {
    int checked = 0;
    for (QWidget* c : window->findChildren<QWidget*>()) {
        if (c->isWindow() || !c->isVisibleTo(window) || insideAView(c, window))
            continue;
        ++checked;
        const QRect inWindow(c->mapTo(window, QPoint(0, 0)), c->size());
        EXPECT_TRUE(window->rect().contains(inWindow)) << where(c).toStdString() << " cut";
        const QWidget* parent = c->parentWidget();
        if (parent != window) {
            EXPECT_TRUE(parent->rect().contains(c->geometry()))
                << where(c).toStdString() << " cut by its parent";
        }
        const QString cut = textCut(c);
        EXPECT_TRUE(cut.isEmpty())
            << where(c).toStdString() << " cuts \"" << cut.toStdString() << "\"";
    }
    EXPECT_GT(checked, 3);
}

// The main window on a screen of 1280 × 1024, so all four sizes can be had.
class RealWindowsTest : public ::testing::Test {
protected:
    void start() {
        const QStringList args{"shelvix", "--home", q(home.path())};
        ctx.paths = app::AppPaths::resolve(args, QProcessEnvironment(), q(home.path()));
        ctx.prompter = &prompter;
        ctx.screenSize = {1280, 1024};
        window = std::make_unique<shell::TMain>(ctx);
        ASSERT_TRUE(window->FormCreate());
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // A key typed into the main window, active again once a dialog has
    // closed (as a window manager makes it).
    void key(const char* sequence) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([this] { return window->isActiveWindow(); }));
        const QKeyCombination k = QKeySequence(QString::fromLatin1(sequence))[0];
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window.get(),
                        k.key(), k.keyboardModifiers());
    }
    // Opens a window by `open` and checks it, then closes it as Escape would.
    void look(const app::ScreenSizeInfo& size, const std::function<void()>& open,
              const QString& shot) {
        bool seen = false;
        test::onNextModal([&](QWidget* w) {
            seen = true;
            QApplication::processEvents();
            const QString out = qEnvironmentVariable("SHELVIX_SCREENSHOTS");
            QString path;
            if (!out.isEmpty()) {
                QDir().mkpath(out);
                path = QStringLiteral("%1/%2-%3").arg(out, shot).arg(size.size);
                w->grab().save(path + QStringLiteral(".png"));
            }
            expectWhole(w, {size.width, size.height}, size.caption, path);
            EXPECT_TRUE(QRect(QPoint(0, 0), ctx.screenSize).contains(w->geometry()));
            test::closeModal(w);
        });
        open();
        EXPECT_TRUE(seen) << shot.toStdString();
    }

    test::TempDir home;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    std::unique_ptr<shell::TMain> window;
};

} // namespace

TEST_F(RealWindowsTest, EveryWindowHoldsItsControlsAtEverySize) {
    start();
    const auto trigger = [this](const char* name) {
        return [this, name] { window->findChild<QAction*>(QString::fromLatin1(name))->trigger(); };
    };
    const auto byKey = [this](const char* sequence) { return [this, sequence] { key(sequence); }; };
    for (const app::ScreenSizeInfo& size : app::screenSizes()) {
        key(size.shortcut);
        ASSERT_EQ(ctx.screenFactor, size.factor) << size.caption;
        look(size, trigger("MenuTips"), "tipofday");
        look(size, trigger("MenuAbout"), "about");
        look(size, byKey("Ctrl+A"), "edit");
        look(size, byKey("Ctrl+F4"), "colorconfig");
        look(size, byKey("Ctrl+Q"), "sortorder");
        look(size, byKey("Ctrl+V"), "viewconfig");
        look(size, trigger("MenuListAuthor"), "listedit");
    }
    // Back to the design size: the edit form, kept for the whole run,
    // shrinks again.
    const app::ScreenSizeInfo& design = app::screenSizes()[0];
    key(design.shortcut);
    look(design, byKey("Ctrl+A"), "edit-again");
    EXPECT_EQ(window->editForm()->size(), QSize(600, 414));
}
