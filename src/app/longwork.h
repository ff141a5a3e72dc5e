#pragma once

#include "db/engine/table.h"

#include <QString>
#include <functional>

namespace shelvix::app {

// Work that reports its progress (done of total) as it goes.
using LongTask = std::function<void(const db::Progress& progress)>;

// Runs long work (pack, rebuild, and later import, export, backup) for the
// user to wait on: the windows show a busy cursor and a progress display
// that appears only when the work takes a while. The work may show
// messages through the Prompter: a message is never covered, the progress
// display steps aside while one is up.
class LongWork {
public:
    virtual ~LongWork() = default;

    // Runs `task` with `label` on the display, and answers true; answers
    // false without running it while another run is going on. Whatever the
    // task does or throws, the cursor and the windows come back.
    virtual bool run(const QString& label, const LongTask& task) = 0;
    virtual bool running() const = 0;
};

// Without windows: the task runs as it is (the command-line tool, tests).
class PlainLongWork final : public LongWork {
public:
    bool run(const QString& label, const LongTask& task) override;
    bool running() const override { return running_; }

private:
    bool running_ = false;
};

// Through `runner` when there is one, else plainly.
bool runLongWork(LongWork* runner, const QString& label, const LongTask& task);

} // namespace shelvix::app
