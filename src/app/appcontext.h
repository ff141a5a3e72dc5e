#pragma once

#include "app/paths.h"
#include "app/settings.h"
#include "db/databasefiles.h"
#include "db/datalists.h"
#include "db/displayformats.h"
#include "db/engine/table.h"
#include "db/recentlist.h"

#include <QSize>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace shelvix::app {

class LongWork;
class Prompter;

// What the record edit form does with its entries: a new record, the
// current one changed, or a new one started from the current one.
enum class EditMode { None = 0, Add = 1, Edit = 2, Copy = 3 };

// What the program shares for its whole run. main() owns it and hands it to
// the windows; the names follow the catalogue's own (SearchOn, EditMode,
// MyTable ...).
struct AppContext {
    AppPaths paths;
    GlobalSettings global;
    DatabaseSettings database;
    db::DisplayFormats formats;
    Prompter* prompter = nullptr;
    // Long work with the busy cursor and a progress display; without one it
    // runs plainly.
    LongWork* longWork = nullptr;

    // The screen, read once at start-up (a size set beforehand stands in for
    // it), and the factor every dialog is enlarged by when next shown.
    QSize screenSize;
    double screenFactor = 1.0;

    bool browseMode = false;
    // The catalogue named on the command line, absolute: opened at start-up
    // in place of the last one when it passes the check File > Open makes.
    QString commandLineDatabase;
    // Browse mode switches grid editing off; this is the database's own
    // value, written back whenever its settings are.
    bool rememberedFieldEditing = false;

    bool SearchOn = false;
    // The search criteria, consulted while SearchOn (installed by the search
    // form); without it a search passes every record.
    std::function<bool(const db::RecordView&)> BuildFilter;
    app::EditMode EditMode = app::EditMode::None;

    // The open book table; null while none is open.
    std::unique_ptr<db::Table> MyTable;
    db::DatabaseFiles current;
    std::string sortExpression;
    std::string sortTag; // the tag MyTable is shown in: "" or "NewIndex"

    db::RecentList recent;
    db::DataLists lists; // the nine data lists of the open database

    // The table's record filter: every record while no search is on.
    bool MyTableFilter(const db::RecordView& record) const;

    // Per-database settings as the file should hold them: in browse mode the
    // database's own "Field Editing", not the switched-off one.
    DatabaseSettings settingsToWrite() const;
    // Takes freshly read settings; browse mode remembers their "Field
    // Editing" and switches it off.
    void takeDatabaseSettings(const DatabaseSettings& settings);
};

} // namespace shelvix::app
