#include "app/longwork.h"

namespace shelvix::app {

bool PlainLongWork::run(const QString&, const LongTask& task) {
    if (running_)
        return false;
    running_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{running_};
    task([](std::uint64_t, std::uint64_t) {});
    return true;
}

bool runLongWork(LongWork* runner, const QString& label, const LongTask& task) {
    if (runner)
        return runner->run(label, task);
    PlainLongWork plain;
    return plain.run(label, task);
}

} // namespace shelvix::app
