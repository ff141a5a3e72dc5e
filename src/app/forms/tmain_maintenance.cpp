// The main window's viewer configuration, sort order, pack and rebuild.
#include "app/appinfo.h"
#include "app/forms/placement.h"
#include "app/forms/tmain.h"
#include "app/forms/tmysortorder.h"
#include "app/prompter.h"
#include "viewer/forms/tviewconfig.h"

namespace shelvix::app {

void TMain::DoViewer() {
    viewer::TViewConfig dialog(ctx_, this);
    connect(&dialog, &viewer::TViewConfig::settingsChanged, this, [this] { SetViewerOptions(); });
    placeDialog(&dialog, ctx_, {.moveUp10 = true});
    dialog.exec();
    SetViewerOptions();
}

void TMain::DoSortOrder() {
    TMySortOrder dialog(ctx_, maintenance_, this);
    placeDialog(&dialog, ctx_);
    dialog.exec();
}

void TMain::MenuPackClick() {
    maintenance_.packDatabase();
}

void TMain::MenuRebuildClick() {
    maintenance_.rebuildIndexes();
}

} // namespace shelvix::app
