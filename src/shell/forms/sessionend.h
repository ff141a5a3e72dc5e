#pragma once

#include <QObject>

class QSessionManager;

namespace shelvix::app {
class EndSignals;
}

namespace shelvix::shell {

using app::EndSignals;
class TMain;

// Ends the program as its Exit command does when the system asks it to: on
// SIGTERM or SIGHUP, and when the desktop session ends. The settings are
// written; the record in the edit form is asked about only when a window may
// ask (a session manager that allows interaction), and is otherwise left
// unposted.
class SessionEnd : public QObject {
    Q_OBJECT
public:
    SessionEnd(TMain& window, EndSignals& signals, QObject* parent = nullptr);

    // main() says so once FormCreate has opened a database; before that an
    // ending writes nothing, as a cancelled start does.
    void windowReady() { ready_ = true; }
    // A signal asked the program to end: main() leaves instead of (or once
    // out of) its event loop.
    bool requested() const { return requested_; }

    // Both endings: the edit form closed (asked first when `canAsk`) and the
    // settings written. False when the user chose to stay; nothing written.
    bool prepare(bool canAsk);
    // A signal's ending: prepare(false), then every event loop left.
    void endNow();

private:
    void commitData(QSessionManager& manager);

    TMain& window_;
    bool ready_ = false;
    bool requested_ = false;
};

} // namespace shelvix::shell
