#include "shell/forms/maindialogs.h"

#include "app/databases.h"
#include "app/forms/helpviewer.h"
#include "app/forms/placement.h"
#include "shell/forms/taboutbox.h"
#include "shell/forms/tcolorconfig.h"
#include "shell/forms/tmysortorder.h"
#include "shell/forms/ttipofday.h"
#include "viewer/forms/tviewconfig.h"

namespace shelvix::shell {

void MainDialogs::DoViewer() {
    viewer::TViewConfig dialog(ctx_, window_);
    QObject::connect(&dialog, &viewer::TViewConfig::settingsChanged, window_,
                     [this] { view_.SetViewerOptions(); });
    app::placeDialog(&dialog, ctx_, {.moveUp10 = true});
    dialog.exec();
    view_.SetViewerOptions();
}

void MainDialogs::DoSortOrder() {
    TMySortOrder dialog(ctx_, maintenance_, window_);
    app::placeDialog(&dialog, ctx_);
    dialog.exec();
}

void MainDialogs::DoColors(app::ColorConfigMode mode) {
    TColorConfig dialog(ctx_, mode, window_);
    app::placeDialog(&dialog, ctx_);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if ((mode == app::ColorConfigMode::Main || mode == app::ColorConfigMode::All) &&
        mainColorsChanged)
        mainColorsChanged();
}

void MainDialogs::DoHelp() {
    app::showHelpTopic(window_, QString());
}

void MainDialogs::ShowTips() {
    TTipOfDay dialog(ctx_, window_);
    app::placeDialog(&dialog, ctx_);
    dialog.exec();
}

void MainDialogs::ShowAbout() {
    TAboutBox dialog(ctx_, window_);
    app::placeDialog(&dialog, ctx_);
    dialog.exec();
}

} // namespace shelvix::shell
