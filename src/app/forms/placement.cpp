#include "app/forms/placement.h"

#include "app/prompter.h"
#include "app/screensize.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QWidget>

namespace shelvix::app {

namespace {

// Controls whose children are their own parts, not controls of the form.
bool isComposite(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLabel*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QAbstractScrollArea*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
           qobject_cast<const QProgressBar*>(w) || qobject_cast<const QTabBar*>(w) ||
           w->inherits("QMenuBar") || w->inherits("QStatusBar") || w->inherits("QToolBar");
}

void collect(QWidget* parent, std::vector<QWidget*>& out);

void add(QWidget* w, std::vector<QWidget*>& out) {
    out.push_back(w);
    if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
        for (int i = 0; i < tabs->count(); ++i)
            if (QWidget* page = tabs->widget(i))
                add(page, out);
    } else if (auto* area = qobject_cast<QScrollArea*>(w)) {
        if (area->widget())
            add(area->widget(), out);
    } else if (!isComposite(w)) {
        collect(w, out);
    }
}

void collect(QWidget* parent, std::vector<QWidget*>& out) {
    for (QObject* o : parent->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        // Qt names the parts it makes itself "qt_…".
        if (!w || w->isWindow() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        add(w, out);
    }
}

bool layoutHolds(const QLayout* layout, const QWidget* w) {
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == w)
            return true;
        if (item->layout() && layoutHolds(item->layout(), w))
            return true;
    }
    return false;
}

// A layout places these itself; moving them would only be undone.
bool placedByLayout(const QWidget* w) {
    const QWidget* parent = w->parentWidget();
    return parent && parent->layout() && layoutHolds(parent->layout(), w);
}

QFont scaledFont(QFont f, int percent) {
    if (f.pixelSize() > 0)
        f.setPixelSize(std::max(1, scaleValue(f.pixelSize(), percent)));
    else if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * percent / 100.0);
    return f;
}

QRect scaledRect(const QRect& r, int percent) {
    return {scaleValue(r.x(), percent), scaleValue(r.y(), percent), scaleValue(r.width(), percent),
            scaleValue(r.height(), percent)};
}

int scaledLimit(int value, int percent) {
    return value >= QWIDGETSIZE_MAX ? value : scaleValue(value, percent);
}

// Puts limits in place so that they never cross on the way (a fixed size
// growing, or shrinking back).
void setLimits(QWidget* w, QSize minimum, QSize maximum) {
    w->setMinimumSize(0, 0);
    w->setMaximumSize(maximum);
    w->setMinimumSize(minimum);
}

// A size limit given at design time (a fixed-size dialog above all) grows
// with the form; kept as it was, it would hold the form at its design size
// while the controls grow out of it.
void scaleLimits(QWidget* w, int percent) {
    const QSize min = w->minimumSize();
    const QSize max = w->maximumSize();
    if (min.isNull() && max == QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX))
        return;
    setLimits(w, {scaledLimit(min.width(), percent), scaledLimit(min.height(), percent)},
              {scaledLimit(max.width(), percent), scaledLimit(max.height(), percent)});
}

QSize screenOf(const QWidget* form, const AppContext& ctx) {
    if (ctx.screenSize.isValid())
        return ctx.screenSize;
    const QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(640, 480);
}

} // namespace

std::vector<QWidget*> formControls(QWidget* form) {
    std::vector<QWidget*> out;
    if (form)
        collect(form, out);
    return out;
}

const FontSpec* fontForControl(const QWidget* c, const DatabaseSettings& fonts) {
    if (qobject_cast<const QLabel*>(c))
        return &fonts.labelFont;
    if (qobject_cast<const QListView*>(c))
        return &fonts.labelFont;
    if (qobject_cast<const QTableWidget*>(c))
        return &fonts.editFont;
    if (qobject_cast<const QCheckBox*>(c))
        return &fonts.labelFont;
    if (qobject_cast<const QLineEdit*>(c) || qobject_cast<const QTextEdit*>(c) ||
        qobject_cast<const QPlainTextEdit*>(c) || qobject_cast<const QAbstractSpinBox*>(c))
        return &fonts.editFont;
    if (qobject_cast<const QRadioButton*>(c))
        return &fonts.labelFont;
    if (qobject_cast<const QPushButton*>(c))
        return &fonts.buttonFont;
    if (qobject_cast<const QGroupBox*>(c))
        return &fonts.labelFont;
    if (qobject_cast<const QComboBox*>(c))
        return &fonts.editFont;
    return nullptr;
}

void applyFonts(QWidget* form, const AppContext& ctx) {
    for (QWidget* c : formControls(form)) {
        const FontSpec* def = fontForControl(c, ctx.database);
        if (!def)
            continue;
        QFont f = c->font();
        f.setFamilies({def->name});
        f.setBold(def->bold);
        f.setItalic(def->italic);
        f.setUnderline(def->underline);
        f.setStrikeOut(def->strikeout);
        c->setFont(f);
    }
}

void scaleForm(QWidget* form, int percent) {
    if (!form || percent == 100)
        return;
    if (!form->testAttribute(Qt::WA_Resized))
        form->adjustSize();
    const std::vector<QWidget*> controls = formControls(form);

    // Every new font is worked out before any is set: a control that
    // inherits its size would otherwise see its parent's scaled one.
    std::vector<std::pair<QWidget*, QFont>> fonts;
    fonts.emplace_back(form, scaledFont(form->font(), percent));
    for (QWidget* c : controls)
        if (c->testAttribute(Qt::WA_SetFont))
            fonts.emplace_back(c, scaledFont(c->font(), percent));

    for (QWidget* c : controls) {
        if (placedByLayout(c))
            continue;
        const QRect r = scaledRect(c->geometry(), percent);
        scaleLimits(c, percent);
        c->setGeometry(r);
    }
    for (auto& [w, f] : fonts)
        w->setFont(f);
    const QSize size(scaleValue(form->width(), percent), scaleValue(form->height(), percent));
    scaleLimits(form, percent);
    form->resize(size);
}

void centreForm(QWidget* form, const AppContext& ctx, PlaceOptions options) {
    const QSize screen = screenOf(form, ctx);
    const int left = (screen.width() - form->width()) / 2;
    int top = (screen.height() - form->height()) / 2;
    if (options.moveUp10)
        top -= 10;
    form->move(left, top);
}

void placeDialog(QWidget* dialog, const AppContext& ctx, PlaceOptions options) {
    if (!dialog)
        return;
    applyFonts(dialog, ctx);
    scaleForm(dialog, scalePercent(ctx.screenFactor));
    centreForm(dialog, ctx, options);
}

void placeDialog(QWidget* dialog, const FormGeometry& saved, const AppContext& ctx,
                 PlaceOptions options) {
    if (!dialog)
        return;
    saved.restore(dialog);
    placeDialog(dialog, ctx, options);
}

// ---------------------------------------------------------------- geometry

namespace {

void takeFont(const QWidget* w, int& pixelSize, qreal& pointSize) {
    const QFont f = w->font();
    pixelSize = f.pixelSize();
    pointSize = f.pointSizeF();
}

void putFont(QWidget* w, int pixelSize, qreal pointSize) {
    QFont f = w->font();
    if (pixelSize > 0)
        f.setPixelSize(pixelSize);
    else if (pointSize > 0)
        f.setPointSizeF(pointSize);
    else
        return;
    w->setFont(f);
}

} // namespace

// Every control keeps its font height as well as its place, whatever its
// kind: a height left out would grow again at each showing.
FormGeometry FormGeometry::save(QWidget* form, Prompter* prompter) {
    FormGeometry g;
    if (!form)
        return g;
    g.client_ = form->size();
    g.own_.minimum = form->minimumSize();
    g.own_.maximum = form->maximumSize();
    takeFont(form, g.own_.pixelSize, g.own_.pointSize);
    const std::vector<QWidget*> controls = formControls(form);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (i > std::size_t(kMaxIndex)) {
            if (prompter)
                prompter->error(QStringLiteral("Too many compenents to save dimensions."));
            break;
        }
        Entry e;
        e.rect = controls[i]->geometry();
        e.minimum = controls[i]->minimumSize();
        e.maximum = controls[i]->maximumSize();
        takeFont(controls[i], e.pixelSize, e.pointSize);
        g.entries_.push_back(e);
    }
    return g;
}

void FormGeometry::restore(QWidget* form) const {
    if (!form || empty())
        return;
    setLimits(form, own_.minimum, own_.maximum);
    form->resize(client_);
    putFont(form, own_.pixelSize, own_.pointSize);
    const std::vector<QWidget*> controls = formControls(form);
    const std::size_t n = std::min(controls.size(), entries_.size());
    for (std::size_t i = 0; i < n; ++i) {
        const Entry& e = entries_[i];
        if (!placedByLayout(controls[i])) {
            setLimits(controls[i], e.minimum, e.maximum);
            controls[i]->setGeometry(e.rect);
        }
        putFont(controls[i], e.pixelSize, e.pointSize);
    }
}

} // namespace shelvix::app
