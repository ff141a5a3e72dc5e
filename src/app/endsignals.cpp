#include "app/endsignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace shelvix::app {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP};
int socketPair[2] = {-1, -1}; // [0] written by the handler, [1] read by the loop

extern "C" void onEndSignal(int number) {
    const int saved = errno;
    const char byte = static_cast<char>(number);
    // A full socket means a signal is already waiting: one is enough.
    [[maybe_unused]] const ssize_t written = ::write(socketPair[0], &byte, 1);
    errno = saved;
}

} // namespace

EndSignals::EndSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, socketPair) != 0)
        return;
    notifier_ = new QSocketNotifier(socketPair[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &EndSignals::readSignal);
    struct sigaction action = {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals)
        ::sigaction(number, &action, nullptr);
}

EndSignals::~EndSignals() {
    if (!notifier_)
        return;
    for (int number : kSignals)
        std::signal(number, SIG_DFL);
    delete notifier_;
    for (int& fd : socketPair) {
        ::close(fd);
        fd = -1;
    }
}

void EndSignals::readSignal() {
    char byte = 0;
    while (::read(socketPair[1], &byte, 1) == 1)
        Q_EMIT received(static_cast<unsigned char>(byte));
}

} // namespace shelvix::app
