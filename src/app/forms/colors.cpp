#include "app/forms/colors.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <algorithm>
#include <cmath>

namespace shelvix::app {

QColor toQColor(int windowsColor) {
    // The top byte of a Windows colour selects palettes and system colours,
    // which have no meaning here: only the RGB bytes count.
    return QColor(redOf(windowsColor), greenOf(windowsColor), blueOf(windowsColor));
}

int toWindowsColor(const QColor& color) {
    return windowsColor(color.red(), color.green(), color.blue());
}

void setColorRole(QWidget* widget, const char* role) {
    widget->setProperty("colorRole", QString::fromLatin1(role));
}

namespace {

QString roleOf(const QWidget* w) {
    return w->property("colorRole").toString();
}

// Sets `roles` to `color` in every colour group, so that the colours hold
// whether the window is active or not; disabled text is left to the style.
void paint(QWidget* w, std::initializer_list<QPalette::ColorRole> roles, const QColor& color,
           bool disabledToo = false) {
    QPalette p = w->palette();
    for (QPalette::ColorRole role : roles) {
        p.setColor(QPalette::Active, role, color);
        p.setColor(QPalette::Inactive, role, color);
        if (disabledToo)
            p.setColor(QPalette::Disabled, role, color);
    }
    w->setPalette(p);
}

// Relative luminance and contrast ratio as the usual readability rules
// reckon them.
double luminance(const QColor& c) {
    const auto channel = [](int v) {
        const double x = v / 255.0;
        return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A disabled caption: its colour halfway to the fill, so it reads as
// greyed; where that fades into the fill (or the caption is the fill's own
// colour), the grey nearest the fill that still stands out from it. A
// style's own disabled grey knows nothing of the set and can vanish (black
// on "Midnight Black").
QColor disabledText(const QColor& fill, const QColor& text) {
    constexpr double kReadable = 4.5;
    const QColor mix((fill.red() + text.red()) / 2, (fill.green() + text.green()) / 2,
                     (fill.blue() + text.blue()) / 2);
    if (contrast(mix, fill) >= kReadable)
        return mix;
    // Toward black or white, whichever side has more room.
    const double l = luminance(fill);
    const bool darker = (l + 0.05) / 0.05 >= 1.05 / (l + 0.05);
    for (int i = 0; i <= 255; ++i) {
        const int g = darker ? 255 - i : i;
        if ((darker ? luminance(QColor(g, g, g)) < l : luminance(QColor(g, g, g)) > l) &&
            contrast(QColor(g, g, g), fill) >= kReadable)
            return QColor(g, g, g);
    }
    return darker ? QColor(Qt::black) : QColor(Qt::white);
}

void paintDisabled(QWidget* w, std::initializer_list<QPalette::ColorRole> roles,
                   const QColor& color) {
    QPalette p = w->palette();
    for (QPalette::ColorRole role : roles)
        p.setColor(QPalette::Disabled, role, color);
    w->setPalette(p);
}

void systemColors(QWidget* w) {
    // Every role set explicitly: a palette with nothing set would still
    // inherit the form's colours.
    QPalette p = QApplication::palette(w);
    for (int g = 0; g < QPalette::NColorGroups; ++g)
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            const auto group = QPalette::ColorGroup(g);
            const auto role = QPalette::ColorRole(r);
            p.setColor(group, role, p.color(group, role));
        }
    w->setPalette(p);
}

// Scroll bars and headers inside a box keep the system look.
void systemScrollBars(QWidget* w) {
    for (QScrollBar* bar : w->findChildren<QScrollBar*>())
        systemColors(bar);
}

void boxColors(QWidget* w, const QColor& back, const QColor& text) {
    paint(w, {QPalette::Base}, back, true);
    paint(w, {QPalette::Text}, text);
    systemScrollBars(w);
}

bool isLeafOfOther(const QWidget* w) {
    // The line edit of an editable combo or a spin box takes its owner's
    // colours by inheritance.
    const QWidget* parent = w->parentWidget();
    return parent && (qobject_cast<const QComboBox*>(parent) ||
                      qobject_cast<const QAbstractSpinBox*>(parent));
}

void colorWidget(QWidget* w, const ColorSet& c);

void colorChildren(QWidget* w, const ColorSet& c) {
    for (QObject* o : w->children()) {
        auto* child = qobject_cast<QWidget*>(o);
        if (child && !child->isWindow())
            colorWidget(child, c);
    }
}

void colorWidget(QWidget* w, const ColorSet& c) {
    const QString role = roleOf(w);
    if (role == QLatin1String("none"))
        return;
    if (role == QLatin1String("system")) {
        systemColors(w);
        w->setAutoFillBackground(true);
        return;
    }
    if (isLeafOfOther(w))
        return;

    const QColor background = toQColor(c[ColorMainBackground]);
    const QColor title =
        toQColor(role == QLatin1String("major") ? c[ColorMajorTitle] : c[ColorMinorTitle]);

    const bool radio = qobject_cast<QRadioButton*>(w);
    if (radio || qobject_cast<QCheckBox*>(w)) {
        const QColor fill = toQColor(c[radio ? ColorRadioBackground : ColorCheckBackground]);
        const QColor text = toQColor(c[radio ? ColorRadioText : ColorCheckText]);
        paint(w, {QPalette::Window}, fill, true);
        paint(w, {QPalette::WindowText, QPalette::ButtonText}, text);
        paintDisabled(w, {QPalette::WindowText, QPalette::ButtonText}, disabledText(fill, text));
        // The box or circle and its mark keep the system colours (inherited
        // from a group box, the mark could take its caption's colour and
        // vanish), and the fill is the window role: a button fills from the
        // button role, which stays the system's. A fill the same as the
        // parent's is left out, so a style's shading of a group box shows
        // through evenly.
        const QPalette system = QApplication::palette(w);
        paint(w, {QPalette::Base}, system.color(QPalette::Base), true);
        paint(w, {QPalette::Text}, system.color(QPalette::Text));
        w->setBackgroundRole(QPalette::Window);
        const QWidget* parent = w->parentWidget();
        w->setAutoFillBackground(!parent || parent->palette().color(QPalette::Window) != fill);
    } else if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QMenuBar*>(w) ||
               qobject_cast<QToolBar*>(w) || qobject_cast<QStatusBar*>(w) ||
               qobject_cast<QScrollBar*>(w) || qobject_cast<QProgressBar*>(w) ||
               qobject_cast<QTabBar*>(w)) {
        systemColors(w);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        const QColor back = toQColor(c[ColorComboBackground]);
        const QColor text = toQColor(c[ColorComboText]);
        // A drop-down list draws its face as a button, an editable one as
        // an edit box: colour both, and the list that drops down.
        paint(combo, {QPalette::Base, QPalette::Button}, back, true);
        paint(combo, {QPalette::Text, QPalette::ButtonText, QPalette::WindowText}, text);
        if (QAbstractItemView* view = combo->view())
            boxColors(view, back, text);
    } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
               qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w)) {
        boxColors(w, toQColor(c[ColorEditBackground]), toQColor(c[ColorEditText]));
    } else if (qobject_cast<QAbstractItemView*>(w)) {
        boxColors(w, toQColor(c[ColorListBoxBackground]), toQColor(c[ColorListBoxText]));
    } else if (qobject_cast<QLabel*>(w)) {
        paint(w, {QPalette::Window}, background, true);
        paint(w, {QPalette::WindowText}, title);
        paintDisabled(w, {QPalette::WindowText}, disabledText(background, title));
    } else {
        // Panels, frames, group boxes and tab pages: the window background,
        // a group box's caption as a title; then what they hold.
        paint(w, {QPalette::Window}, background, true);
        if (qobject_cast<QGroupBox*>(w)) {
            paint(w, {QPalette::WindowText, QPalette::Text}, title);
            paintDisabled(w, {QPalette::WindowText, QPalette::Text},
                          disabledText(background, title));
        }
        // Unfilled, a tab page shows the pane the style draws in its own
        // light colour.
        if (auto* tabs = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < tabs->count(); ++i)
                tabs->widget(i)->setAutoFillBackground(true);
        colorChildren(w, c);
    }
}

} // namespace

void applyColorSet(QWidget* form, const ColorSet& colors) {
    if (!form)
        return;
    // A main window's menu and status bars keep the system colours.
    if (auto* main = qobject_cast<QMainWindow*>(form); main && main->centralWidget())
        form = main->centralWidget();
    paint(form, {QPalette::Window}, toQColor(colors[ColorMainBackground]), true);
    form->setAutoFillBackground(true);
    colorChildren(form, colors);
}

void applyColorSet(QWidget* form, const AppContext& ctx, ColorGroup group) {
    applyColorSet(form, ctx.database.colors[std::size_t(colorSetIndex(group))]);
}

} // namespace shelvix::app
