#pragma once

#include "shell/savedsearchcommands.h"

#include <QObject>

class QMenu;

namespace shelvix::shell {

// Navigate > "Saved Searches" and Options > "Loan Period (days)...": the
// submenu lists the built-in searches and the catalogue's own each time it
// opens.
class SavedSearchMenu : public QObject {
    Q_OBJECT
public:
    SavedSearchMenu(app::AppContext& context, find::Search& search, find::SearchView& view,
                    QMenu* navigate, QMenu* options, QObject* parent);

    SavedSearchCommands& commands() { return commands_; }
    QMenu* menu() const { return menu_; }

private:
    void fill();

    SavedSearchCommands commands_;
    QMenu* menu_ = nullptr;
};

} // namespace shelvix::shell
