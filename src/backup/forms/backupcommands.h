#pragma once

#include "app/appcontext.h"
#include "app/databases.h"
#include "backup/filecopy.h"

#include <functional>

class QWidget;

namespace shelvix::db {
class DatabaseError;
}

namespace shelvix::backup {

// What backup and restore reach of the main window: the open database, its
// commands, the lists and report list to reload, and the volumes' free space
// (the room check).
struct BackupHost {
    app::AppContext& ctx;
    app::Databases& databases;
    app::DatabaseView& view;
    std::function<void()> reloadLists;
    std::function<void()> reloadReports;
    FreeSpace freeSpace = volumeFreeSpace;

    // MyTable open shared again with the viewer on it.
    void reopen();
    // An engine failure part-way: shown, and the table opened again if the
    // work had closed it.
    void failed(const db::DatabaseError& e);
};

// The main window's Back Up Data and Restore Data commands, and the offer
// to convert catalogues of the earlier versions at start-up.
class BackupCommands {
public:
    BackupCommands(app::AppContext& context, app::Databases& databases, app::DatabaseView& view,
                   QWidget* window)
        : host_{context, databases, view, {}, {}}, window_(window) {}

    void DoBackup();
    void DoRestore();
    // B2LOG.DBF, then BLOG.DBF, in the data directory: each one that passes
    // its check is offered; on Yes its records join the open database and the
    // old file is deleted once they are on disk.
    void CheckForConversion();

    BackupHost& host() { return host_; }

private:
    BackupHost host_;
    QWidget* window_;
};

} // namespace shelvix::backup
