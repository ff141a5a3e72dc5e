#pragma once

#include "app/databases.h"
#include "db/engine/table.h"

#include <array>

namespace shelvix::shell {

// The sort order, pack and rebuild commands over the open database. Each
// ends with MyTable open shared (unless even that fails) and the viewer
// options applied, whatever happened.
class Maintenance {
public:
    Maintenance(app::AppContext& context, app::Databases& databases, app::DatabaseView& view)
        : ctx_(context), dbs_(databases), view_(view) {}

    // The sort order dialog's Ok: true when the new order is in place and
    // written, so the dialog may close. On failure the old levels stay and
    // a message has been shown.
    bool setSortOrder(const std::array<int, 4>& levels);

    // The commands: ask first; on Yes pack (or regenerate the indexes of)
    // the table held for sole use, as long work. False when declined, when
    // it failed (message shown), or while other long work runs (nothing
    // asked).
    bool packDatabase();
    bool rebuildIndexes();
    // The same once the question has been answered Yes.
    bool pack(const db::Progress& progress = {});
    bool rebuild(const db::Progress& progress = {});

    static const QString kPackQuestion;
    static const QString kRebuildQuestion;

private:
    enum class Operation { Pack, Rebuild };
    bool askAndRun(Operation op);
    bool runExclusive(Operation op, const db::Progress& progress);
    void reopenShared();

    app::AppContext& ctx_;
    app::Databases& dbs_;
    app::DatabaseView& view_;
};

} // namespace shelvix::shell
