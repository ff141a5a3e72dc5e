#include "app/forms/qtlongwork.h"

#include "app/appinfo.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

namespace shelvix::app {

namespace {

// The display is our own dialog rather than a QProgressDialog, whose timer
// would show it on its own, over a message the work is showing.
class ProgressDisplay : public QDialog {
public:
    ProgressDisplay(QWidget* window, const QString& label) : QDialog(window) {
        setObjectName(QStringLiteral("ProgressDisplay"));
        setWindowTitle(QLatin1String(kProductName));
        setWindowModality(Qt::WindowModal);
        setWindowFlag(Qt::WindowCloseButtonHint, false);
        auto* text = new QLabel(label, this);
        text->setTextFormat(Qt::PlainText);
        bar_ = new QProgressBar(this);
        bar_->setRange(0, 1000);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(text);
        layout->addWidget(bar_);
        setMinimumWidth(320);
    }
    QProgressBar* bar() const { return bar_; }

protected:
    // The work cannot be stopped half-way: Escape does nothing.
    void reject() override {}

private:
    QProgressBar* bar_ = nullptr;
};

// For one run: the busy cursor, and the display kept out of the way of the
// dialogs the work opens.
class Session : public QObject {
public:
    Session(QWidget* window, const QString& label) : display_(window, label) {
        clock_.start();
        busyCursor(true);
        qApp->installEventFilter(this);
    }
    ~Session() override {
        qApp->removeEventFilter(this);
        display_.hide();
        busyCursor(false);
    }

    void report(std::uint64_t done, std::uint64_t total) {
        const bool aside = std::any_of(dialogs_.begin(), dialogs_.end(),
                                       [](const QPointer<QWidget>& d) { return !d.isNull(); });
        if (aside)
            return;
        bool repaint = false;
        if (!display_.isVisible() && clock_.elapsed() >= QtLongWork::kDisplayDelayMs) {
            display_.show();
            repaint = true;
        }
        // The engine reports often; the display only moves in thousandths.
        const int value = total == 0 ? 0 : int(std::min<std::uint64_t>(done, total) * 1000 / total);
        if (value != display_.bar()->value()) {
            display_.bar()->setValue(value);
            repaint = true;
        }
        if (repaint && display_.isVisible())
            QCoreApplication::processEvents();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::Show && type != QEvent::Hide)
            return false;
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (!dialog || dialog == &display_ || !dialog->isWindow())
            return false;
        std::erase_if(dialogs_,
                      [dialog](const QPointer<QWidget>& d) { return d.isNull() || d == dialog; });
        if (type == QEvent::Show) {
            // Before the dialog reaches the screen: nothing may cover it.
            dialogs_.emplace_back(dialog);
            display_.hide();
            busyCursor(false);
        } else if (dialogs_.empty()) {
            busyCursor(true);
        }
        return false;
    }

private:
    void busyCursor(bool on) {
        if (on && !cursorSet_)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else if (!on && cursorSet_)
            QApplication::restoreOverrideCursor();
        cursorSet_ = on;
    }

    ProgressDisplay display_;
    QElapsedTimer clock_;
    std::vector<QPointer<QWidget>> dialogs_;
    bool cursorSet_ = false;
};

} // namespace

bool QtLongWork::run(const QString& label, const LongTask& task) {
    if (running_)
        return false;
    running_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{running_};
    // Over the dialog that started the work, if one did.
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner)
        owner = window_ ? window_.data() : QApplication::activeWindow();
    Session session(owner, label);
    task([&session](std::uint64_t d, std::uint64_t total) { session.report(d, total); });
    return true;
}

} // namespace shelvix::app
