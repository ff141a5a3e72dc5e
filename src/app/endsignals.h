#pragma once

#include <QObject>

class QSocketNotifier;

namespace shelvix::app {

// SIGTERM and SIGHUP (a logout, a closed terminal, `kill`) turned into a Qt
// signal the event loop delivers, so the program can end as its Exit
// command does instead of dying where it stands. The handler only writes
// the signal's number into a socket; everything else happens in the event
// loop. One object at a time; the default actions come back when it goes.
class EndSignals : public QObject {
    Q_OBJECT
public:
    explicit EndSignals(QObject* parent = nullptr);
    ~EndSignals() override;
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* notifier_ = nullptr;
};

} // namespace shelvix::app
