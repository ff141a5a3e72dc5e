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
        paint(w, {QPalette::Window}, fill, true);
        paint(w, {QPalette::WindowText, QPalette::ButtonText},
              toQColor(c[radio ? ColorRadioText : ColorCheckText]));
        // Disabled captions in a grey that shows on this fill: the style's
        // own grey vanished on a silver set ("Print Search Criteria").
        const QColor disabled = fill.lightness() > 128 ? fill.darker(190) : fill.lighter(190);
        {
            QPalette p = w->palette();
            p.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
            p.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
            w->setPalette(p);
        }
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
    } else {
        // Panels, frames, group boxes and tab pages: the window background,
        // a group box's caption as a title; then what they hold.
        paint(w, {QPalette::Window}, background, true);
        if (qobject_cast<QGroupBox*>(w))
            paint(w, {QPalette::WindowText, QPalette::Text}, title);
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
