#include "app/forms/menukeys.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace shelvix::app {

namespace {

// Watches the whole application, because in-cell editors and other controls
// appear after the window is built; only keys aimed at its own window count.
class MenuKeyGuard : public QObject {
public:
    explicit MenuKeyGuard(QWidget* window) : QObject(window), window_(window) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
            return false;
        auto* target = qobject_cast<QWidget*>(watched);
        if (!target || target == window_ || target->window() != window_)
            return false;
        if (!isMenuKey(static_cast<QKeyEvent*>(event)))
            return false;
        // Refusing the override lets the shortcut fire; the key press itself
        // only arrives when the action is disabled, and is dropped then.
        if (type == QEvent::ShortcutOverride)
            event->ignore();
        else
            event->accept();
        return true;
    }

private:
    bool isMenuKey(const QKeyEvent* key) const {
        switch (key->key()) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_Meta:
        case Qt::Key_unknown:
            return false;
        default:
            break;
        }
        const QKeySequence pressed(key->keyCombination());
        const auto matches = [&](const QAction* a) {
            for (const QKeySequence& s : a->shortcuts())
                if (s == pressed)
                    return true;
            return false;
        };
        for (const QAction* a : window_->actions())
            if (matches(a))
                return true;
        for (const QAction* a : window_->findChildren<QAction*>())
            if (matches(a))
                return true;
        return false;
    }

    QWidget* window_;
};

// Who claims an Alt letter in a window; a lower rank wins.
struct Claim {
    enum Rank { Button, Focus, Tab, Menu };
    Rank rank;
    QObject* owner;
    QWidget* bar = nullptr; // of the tab or the menu title
    int index = -1;         // the tab
};

bool hasMnemonic(const QString& text, const QKeySequence& key) {
    return !text.isEmpty() && QKeySequence::mnemonic(text) == key;
}

bool shownInWindow(const QWidget* w, const QWidget* window) {
    return w->window() == window && w->isVisible() && w->isEnabled();
}

// Every control of `window` that carries `key`: visible and enabled ones,
// every tab and menu title of a tab or menu bar that is, and a button shown
// disabled too, which keeps its letter (and does nothing) rather than hand
// it to a menu or a page.
std::vector<Claim> claimsOf(QWidget* window, const QKeySequence& key) {
    std::vector<Claim> claims;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (b->window() == window && b->isVisible() && hasMnemonic(b->text(), key))
            claims.push_back({Claim::Button, b});
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->buddy() && shownInWindow(l, window) && hasMnemonic(l->text(), key))
            claims.push_back({Claim::Focus, l});
    for (QGroupBox* g : window->findChildren<QGroupBox*>())
        if (shownInWindow(g, window) && hasMnemonic(g->title(), key))
            claims.push_back({Claim::Focus, g});
    for (QTabBar* bar : window->findChildren<QTabBar*>())
        if (shownInWindow(bar, window))
            for (int i = 0; i < bar->count(); ++i)
                if (bar->isTabEnabled(i) && hasMnemonic(bar->tabText(i), key))
                    claims.push_back({Claim::Tab, bar, bar, i});
    for (QMenuBar* bar : window->findChildren<QMenuBar*>())
        if (shownInWindow(bar, window))
            for (QAction* a : bar->actions())
                if (hasMnemonic(a->text(), key))
                    claims.push_back({Claim::Menu, a, bar});
    return claims;
}

// The first control of a group in its focus chain, the checked radio button
// if there is one.
void focusGroup(QGroupBox* group) {
    QWidget* first = nullptr;
    for (QWidget* w = group->nextInFocusChain(); w != group; w = w->nextInFocusChain()) {
        if (!group->isAncestorOf(w) || !(w->focusPolicy() & Qt::TabFocus) || !w->isVisible() ||
            !w->isEnabled())
            continue;
        if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->isCheckable() && b->isChecked()) {
            first = w;
            break;
        }
        if (!first)
            first = w;
    }
    if (first)
        first->setFocus(Qt::ShortcutFocusReason);
}

bool enabled(const Claim& claim) {
    auto* w = qobject_cast<QWidget*>(claim.owner);
    return !w || w->isEnabled();
}

void press(const Claim& claim) {
    switch (claim.rank) {
    case Claim::Button:
        // As Qt presses a button whose letter is its own: shown down, then
        // clicked.
        if (auto* b = static_cast<QAbstractButton*>(claim.owner); b->isEnabled() && !b->isDown())
            b->animateClick();
        break;
    case Claim::Focus:
        if (auto* l = qobject_cast<QLabel*>(claim.owner))
            l->buddy()->setFocus(Qt::ShortcutFocusReason);
        else
            focusGroup(static_cast<QGroupBox*>(claim.owner));
        break;
    case Claim::Tab:
        static_cast<QTabBar*>(claim.bar)->setCurrentIndex(claim.index);
        break;
    case Claim::Menu:
        static_cast<QMenuBar*>(claim.bar)->setActiveAction(static_cast<QAction*>(claim.owner));
        break;
    }
}

QMenuBar* menuBarOf(QWidget* window) {
    for (QMenuBar* bar : window->findChildren<QMenuBar*>())
        if (shownInWindow(bar, window))
            return bar;
    return nullptr;
}

// The pages the focus is on, or the window's only pages.
QTabWidget* pagesOf(QWidget* focus, QWidget* window) {
    for (QWidget* w = focus; w && w != window; w = w->parentWidget())
        if (auto* tabs = qobject_cast<QTabWidget*>(w))
            return tabs;
    QTabWidget* only = nullptr;
    for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
        if (!shownInWindow(tabs, window))
            continue;
        if (only)
            return nullptr;
        only = tabs;
    }
    return only;
}

void turnPage(QTabWidget* tabs, int step) {
    const int count = tabs->count();
    for (int i = 1; i < count; ++i) {
        const int page = (tabs->currentIndex() + step * i + count) % count;
        if (tabs->isTabEnabled(page)) {
            tabs->setCurrentIndex(page);
            return;
        }
    }
}

class WindowKeys : public QObject {
public:
    explicit WindowKeys(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
            return false;
        auto* target = qobject_cast<QWidget*>(watched);
        if (!target)
            return false;
        QWidget* window = target->window();
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;

        if (mods == Qt::AltModifier && ((key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z) ||
                                        (key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9))) {
            const std::vector<Claim> claims = claimsOf(
                window, QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(key->key()))));
            if (claims.size() < 2)
                return false; // Qt's own: one control, or none
            // Taking the override keeps Qt from cycling through the claims;
            // the key press that follows comes here.
            event->accept();
            if (type == QEvent::KeyPress)
                press(*std::min_element(
                    claims.begin(), claims.end(), [](const Claim& a, const Claim& b) {
                        return std::pair(a.rank, !enabled(a)) < std::pair(b.rank, !enabled(b));
                    }));
            return true;
        }
        if (type != QEvent::KeyPress)
            return false;
        if (key->key() == Qt::Key_F10 && mods == Qt::NoModifier) {
            QMenuBar* bar = menuBarOf(window);
            if (!bar)
                return false;
            for (QAction* a : bar->actions()) {
                if (a->isVisible() && a->isEnabled() && a->menu()) {
                    bar->setActiveAction(a);
                    return true;
                }
            }
            return false;
        }
        if ((key->key() == Qt::Key_PageDown || key->key() == Qt::Key_PageUp) &&
            mods == Qt::ControlModifier) {
            QTabWidget* tabs = pagesOf(target, window);
            if (!tabs || tabs->count() < 2)
                return false;
            turnPage(tabs, key->key() == Qt::Key_PageDown ? 1 : -1);
            return true;
        }
        return false;
    }
};

} // namespace

void giveMenuKeysPrecedence(QWidget* window) {
    new MenuKeyGuard(window);
}

void installWindowKeys() {
    static QPointer<WindowKeys> installed;
    if (!installed)
        installed = new WindowKeys(qApp);
}

} // namespace shelvix::app
