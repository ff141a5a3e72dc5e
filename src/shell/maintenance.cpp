#include "shell/maintenance.h"

#include "app/longwork.h"
#include "app/prompter.h"
#include "db/engine/error.h"
#include "db/sortorder.h"

namespace shelvix::shell {

namespace {

const QString kSortInUse = QStringLiteral(
    "Creating a new sort order requires exclusive use of the DBase File.  Make sure that the "
    "DBase File is not in use by another program  or that no other users are running the "
    "software or that no other copies of the software are in use.");
const QString kSortFailed =
    QStringLiteral("Error in implementing sort order.  New sort order not implemented.");
} // namespace

const QString Maintenance::kPackQuestion = QStringLiteral(
    "Deleted items are not permanently removed from the database until packing occurs.  "
    "Packing simply removes them to free up space.  Continue?");
const QString Maintenance::kRebuildQuestion = QStringLiteral(
    "It is possible for your index files to become corrupted.  As a result, some items may not "
    "show up in the viewer or in reports.  This will rebuild your index files correctly.  "
    "Continue?");

namespace {

const QString kPackFailed = QStringLiteral(
    "Unable to pack table.  Packing requires exclusive use of the DBase File.  Make sure that "
    "the DBase File is not in use by another program  or that no other users are running the "
    "software or that no other copies of the software are in use.");
const QString kRebuildFailed = QStringLiteral(
    "Unable to reindex table.  Reindexing requires exclusive use of the DBase File.  Make sure "
    "that the DBase File is not in use by another program  or that no other users are running "
    "the software or that no other copies of the software are in use.");

std::unique_ptr<db::Table> openExclusive(const app::AppContext& ctx) {
    return db::Table::open(db::toPath(ctx.current.current), db::OpenMode::Exclusive);
}

} // namespace

void Maintenance::reopenShared() {
    dbs_.openMyTable(db::OpenMode::Shared);
    view_.SetViewerOptions();
    view_.DisplayCount();
}

bool Maintenance::setSortOrder(const std::array<int, 4>& levels) {
    dbs_.closeMyTable();
    if (app::Databases::DBaseInUse(ctx_.current.current)) {
        ctx_.prompter->error(kSortInUse);
        reopenShared();
        return false;
    }

    const std::array<int, 4> oldLevels = ctx_.database.sortOrder;
    const std::string oldExpression = ctx_.sortExpression;
    const std::string oldTag = ctx_.sortTag;
    std::unique_ptr<db::Table> sole;
    try {
        sole = openExclusive(ctx_);
        ctx_.database.sortOrder = levels;
        ctx_.sortExpression = db::buildSortString(levels);
        ctx_.sortTag = db::applySortTag(*sole, ctx_.sortExpression);
        sole.reset();
        // The settings only once the tag is there, so a failure leaves the
        // file describing the order the index still has.
        dbs_.writeDatabaseSettings();
    } catch (const db::DatabaseError&) {
        ctx_.database.sortOrder = oldLevels;
        ctx_.sortExpression = oldExpression;
        ctx_.sortTag = oldTag;
        // The old tag may have been dropped before the new one failed: put
        // it back so the grid keeps the order the settings describe.
        if (sole && !oldExpression.empty()) {
            try {
                ctx_.sortTag = db::applySortTag(*sole, oldExpression);
            } catch (const db::DatabaseError&) {
                ctx_.sortTag.clear();
            }
        }
        sole.reset();
        ctx_.prompter->error(kSortFailed);
        reopenShared();
        return false;
    }
    reopenShared();
    return true;
}

bool Maintenance::packDatabase() {
    return askAndRun(Operation::Pack);
}

bool Maintenance::rebuildIndexes() {
    return askAndRun(Operation::Rebuild);
}

bool Maintenance::askAndRun(Operation op) {
    if (ctx_.longWork && ctx_.longWork->running())
        return false;
    // The question comes before the busy cursor.
    const bool packing = op == Operation::Pack;
    if (ctx_.prompter->confirm(QStringLiteral("Confirm"),
                               packing ? kPackQuestion : kRebuildQuestion) != app::Button::Yes)
        return false;
    bool done = false;
    app::runLongWork(ctx_.longWork,
                     packing ? QStringLiteral("Packing the database...")
                             : QStringLiteral("Rebuilding the indexes..."),
                     [&](const db::Progress& progress) { done = runExclusive(op, progress); });
    return done;
}

bool Maintenance::pack(const db::Progress& progress) {
    return runExclusive(Operation::Pack, progress);
}

bool Maintenance::rebuild(const db::Progress& progress) {
    return runExclusive(Operation::Rebuild, progress);
}

bool Maintenance::runExclusive(Operation op, const db::Progress& progress) {
    dbs_.closeMyTable();
    try {
        auto sole = openExclusive(ctx_);
        if (op == Operation::Pack)
            sole->pack(progress);
        else
            sole->regenerateIndexes(progress);
    } catch (const db::DatabaseError&) {
        reopenShared();
        ctx_.prompter->error(op == Operation::Pack ? kPackFailed : kRebuildFailed);
        return false;
    }
    reopenShared();
    return true;
}

} // namespace shelvix::shell
