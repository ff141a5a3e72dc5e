// The main window's colours and its tip of the day at start-up.
#include "app/forms/colors.h"
#include "shell/forms/tmain.h"
#include "viewer/forms/viewergrid.h"

#include <QFrame>
#include <QLabel>
#include <QTimer>

namespace shelvix::shell {

void TMain::SetColors() {
    app::setColorRole(viewerLabel_, "major");
    app::setColorRole(navigatorLabel_, "minor");
    // The grid has colours of its own (viewer configuration); the speed bar
    // keeps the system colours, as buttons do.
    if (viewerGrid_)
        app::setColorRole(viewerGrid_, "none");
    app::setColorRole(speedPanel_, "system");
    app::applyColorSet(this, ctx_, app::ColorGroup::Main);
}

void TMain::ShowTipsOnce() {
    if (!startupTipAllowed)
        return;
    // After the activation has run its course, so the window is drawn
    // behind the tip.
    QTimer::singleShot(0, this, [this] { dialogs_.ShowTips(); });
}

} // namespace shelvix::shell
