#pragma once

#include "app/longwork.h"

#include <QPointer>
#include <QWidget>

namespace shelvix::app {

// The LongWork of the running program: the busy cursor throughout and a
// window-modal progress display over `window`, shown only once the work has
// taken kDisplayDelayMs. While any dialog of the work (a message, a file
// dialog) is up, the display is hidden and the cursor is the normal one.
class QtLongWork final : public LongWork {
public:
    static constexpr int kDisplayDelayMs = 250;

    explicit QtLongWork(QWidget* window = nullptr) : window_(window) {}
    void setWindow(QWidget* window) { window_ = window; }

    bool run(const QString& label, const LongTask& task) override;
    bool running() const override { return running_; }

private:
    QPointer<QWidget> window_;
    bool running_ = false;
};

} // namespace shelvix::app
