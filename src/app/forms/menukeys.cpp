#include "app/forms/menukeys.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

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

} // namespace

void giveMenuKeysPrecedence(QWidget* window) {
    new MenuKeyGuard(window);
}

} // namespace shelvix::app
