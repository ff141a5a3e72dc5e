// The main window's colour, tip, help and About commands.
#include "app/forms/colors.h"
#include "app/forms/helpviewer.h"
#include "app/forms/placement.h"
#include "app/forms/taboutbox.h"
#include "app/forms/tcolorconfig.h"
#include "app/forms/tmain.h"
#include "app/forms/ttipofday.h"
#include "viewer/forms/viewergrid.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QTimer>

namespace shelvix::app {

void TMain::connectColorAndHelpCommands() {
    const auto item = [this](const char* name, std::function<void()> run) {
        if (auto* a = findChild<QAction*>(QString::fromLatin1(name))) {
            a->setEnabled(true);
            connect(a, &QAction::triggered, this, std::move(run));
        }
    };
    item("MenuMainColor", [this] { DoColors(ColorConfigMode::Main); });
    item("MenuEditColor", [this] { DoColors(ColorConfigMode::Edit); });
    item("MenuSearchColor", [this] { DoColors(ColorConfigMode::Search); });
    item("MenuReportColor", [this] { DoColors(ColorConfigMode::Report); });
    item("MenuConfigureColor", [this] { DoColors(ColorConfigMode::Configure); });
    item("MenuAllColor", [this] { DoColors(ColorConfigMode::All); });
    item("MenuTips", [this] { ShowTips(); });
    item("MenuAbout", [this] { ShowAbout(); });
    // ColorSpeed and the Help commands are wired in buildMenus.
}

void TMain::SetColors() {
    setColorRole(viewerLabel_, "major");
    setColorRole(navigatorLabel_, "minor");
    // The grid has colours of its own (viewer configuration); the speed bar
    // keeps the system colours, as buttons do.
    if (viewerGrid_)
        setColorRole(viewerGrid_, "none");
    setColorRole(speedPanel_, "system");
    applyColorSet(this, ctx_, ColorGroup::Main);
}

void TMain::DoColors(ColorConfigMode mode) {
    TColorConfig dialog(ctx_, mode, this);
    placeDialog(&dialog, ctx_);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (mode == ColorConfigMode::Main || mode == ColorConfigMode::All)
        SetColors();
}

void TMain::DoHelp() {
    showHelpTopic(this, QString());
}

void TMain::ShowTips() {
    TTipOfDay dialog(ctx_, this);
    placeDialog(&dialog, ctx_);
    dialog.exec();
}

void TMain::ShowTipsOnce() {
    if (!startupTipAllowed)
        return;
    // After the activation has run its course, so the window is drawn
    // behind the tip.
    QTimer::singleShot(0, this, [this] { ShowTips(); });
}

void TMain::ShowAbout() {
    TAboutBox dialog(ctx_, this);
    placeDialog(&dialog, ctx_);
    dialog.exec();
}

} // namespace shelvix::app
