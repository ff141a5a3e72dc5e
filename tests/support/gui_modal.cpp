#include "support/gui_modal.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace shelvix::test {

namespace {

int watchersAlive = 0;

// Polls for the modal window; deletes itself when done.
class ModalWatcher : public QObject {
public:
    ModalWatcher(std::function<void(QWidget*)> action, int timeoutMs)
        : QObject(qApp), action_(std::move(action)), timeoutMs_(timeoutMs),
          before_(QApplication::activeModalWidget()), deadline_(timeoutMs) {
        ++watchersAlive;
        connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start(10);
    }
    ~ModalWatcher() override { --watchersAlive; }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!acted_) {
            if (modal && modal != before_ && modal->isVisible()) {
                acted_ = true;
                target_ = modal;
                deadline_ = QDeadlineTimer(timeoutMs_);
                action_(modal);
            } else if (deadline_.hasExpired()) {
                ADD_FAILURE() << "no modal window opened";
                finish();
            }
            return;
        }
        if (!target_ || !target_->isVisible()) {
            finish();
        } else if (deadline_.hasExpired()) {
            ADD_FAILURE() << "the modal window '" << target_->windowTitle().toStdString()
                          << "' stayed open";
            closeModal(target_);
            finish();
        }
    }

    void finish() {
        timer_.stop();
        deleteLater();
    }

    std::function<void(QWidget*)> action_;
    int timeoutMs_;
    QPointer<QWidget> before_;
    QPointer<QWidget> target_;
    QDeadlineTimer deadline_;
    QTimer timer_;
    bool acted_ = false;
};

// A modal window nothing waits for would block its test until the suite's
// time limit; fail the test and close it instead.
class UnansweredModalGuard : public QObject {
public:
    explicit UnansweredModalGuard(int afterMs) : QObject(qApp), afterMs_(afterMs) {
        connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start(250);
    }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || watchersAlive > 0) {
            seen_ = nullptr;
            return;
        }
        if (modal != seen_) {
            seen_ = modal;
            since_ = QDeadlineTimer(afterMs_);
        } else if (since_.hasExpired()) {
            ADD_FAILURE() << "the modal window '" << modal->windowTitle().toStdString()
                          << "' opened with nothing to answer it";
            seen_ = nullptr;
            closeModal(modal);
        }
    }

    int afterMs_;
    QPointer<QWidget> seen_;
    QDeadlineTimer since_;
    QTimer timer_;
};

QString plain(QString text) {
    return text.remove(QLatin1Char('&'));
}

} // namespace

void onNextModal(std::function<void(QWidget*)> action, int timeoutMs) {
    new ModalWatcher(std::move(action), timeoutMs);
}

void guardAgainstUnansweredModals(int afterMs) {
    new UnansweredModalGuard(afterMs);
}

void clickDefaultButton(QWidget* dialog) {
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        if (QPushButton* b = box->defaultButton()) {
            b->click();
            return;
        }
    }
    for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
        if (b->isDefault() && b->isVisible()) {
            b->click();
            return;
        }
    }
    if (auto* d = qobject_cast<QDialog*>(dialog)) {
        d->accept();
        return;
    }
    ADD_FAILURE() << "no default button";
}

void clickButton(QWidget* dialog, const QString& name) {
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
        if (b->objectName() == name || plain(b->text()) == plain(name)) {
            b->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << name.toStdString();
}

void closeModal(QWidget* dialog) {
    if (auto* box = qobject_cast<QMessageBox*>(dialog); box && box->escapeButton()) {
        box->escapeButton()->click();
        return;
    }
    if (auto* d = qobject_cast<QDialog*>(dialog))
        d->reject();
    else
        dialog->close();
}

} // namespace shelvix::test
