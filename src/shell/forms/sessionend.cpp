#include "shell/forms/sessionend.h"

#include "app/endsignals.h"
#include "edit/forms/tmyedit.h"
#include "shell/forms/tmain.h"

#include <QGuiApplication>
#include <QSessionManager>

namespace shelvix::shell {

SessionEnd::SessionEnd(TMain& window, EndSignals& signals, QObject* parent)
    : QObject(parent), window_(window) {
    connect(&signals, &EndSignals::received, this, [this] { endNow(); });
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &SessionEnd::commitData);
}

bool SessionEnd::prepare(bool canAsk) {
    if (!ready_)
        return true;
    if (edit::TMyEdit* form = window_.editForm(); form && form->isVisible()) {
        // The form's own Exit asks about changed data and stays open on No.
        if (canAsk)
            form->DoExit();
        else
            form->reject();
        if (form->isVisible())
            return false;
    }
    window_.FormClose();
    return true;
}

void SessionEnd::endNow() {
    if (requested_)
        return;
    requested_ = true;
    prepare(false);
    // Every dialog's event loop returns (as if cancelled), then the main one.
    QCoreApplication::exit(0);
}

// The session manager ends the program afterwards, unless the user or
// another program cancels the logout.
void SessionEnd::commitData(QSessionManager& manager) {
    const bool canAsk = manager.allowsInteraction();
    const bool ending = prepare(canAsk);
    if (canAsk)
        manager.release();
    if (!ending)
        manager.cancel();
}

} // namespace shelvix::shell
