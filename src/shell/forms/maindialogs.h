#pragma once

#include "app/appcontext.h"
#include "app/colors.h"

#include <functional>

class QWidget;

namespace shelvix::app {
class DatabaseView;
} // namespace shelvix::app

namespace shelvix::shell {

class Maintenance;

// The main window's commands that show a dialog of their own: viewer
// configuration, sort order, colours, help, the tip of the day and About.
// Each dialog is made when its command runs, shown modally over `window`
// and freed when it closes.
class MainDialogs {
public:
    MainDialogs(app::AppContext& context, Maintenance& maintenance, app::DatabaseView& view,
                QWidget* window)
        : ctx_(context), maintenance_(maintenance), view_(view), window_(window) {}

    void DoViewer();
    void DoSortOrder();
    void DoColors(app::ColorConfigMode mode);
    void DoHelp();
    void ShowTips();
    void ShowAbout();

    // Runs after the main window's own colours changed in the colour dialog.
    std::function<void()> mainColorsChanged;

private:
    app::AppContext& ctx_;
    Maintenance& maintenance_;
    app::DatabaseView& view_;
    QWidget* window_;
};

} // namespace shelvix::shell
