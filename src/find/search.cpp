#include "find/search.h"

#include "app/databases.h"
#include "db/engine/error.h"
#include "find/searchfilter.h"

namespace shelvix::find {

void Search::DoSearch() {
    view_.showSearchWindow();
    view_.DisplayCount();
}

void Search::DoEndSearch() {
    DisableEndSearch();
    databases_.openMyTable(ctx_.MyTable ? ctx_.MyTable->mode() : db::OpenMode::Shared);
    view_.SetViewerOptions();
    view_.DisplayCount();
}

void Search::EnableEndSearch() {
    ctx_.BuildFilter = filter_;
    ctx_.SearchOn = true;
    view_.showSearchOn(true);
    // A new filter object makes the table count and list its rows afresh.
    if (!ctx_.MyTable)
        return;
    auto passes = [ctx = &ctx_](const db::RecordView& r) { return ctx->MyTableFilter(r); };
    // The ranges come from the tags of the table open now, which may not be
    // the one the criteria were confirmed on.
    std::optional<std::vector<db::KeyRange>> ranges;
    try {
        ranges = SearchFilter(inForce_, *ctx_.MyTable).ranges();
    } catch (const db::DatabaseError&) {
    }
    if (ranges)
        ctx_.MyTable->setFilter(passes, *ranges);
    else
        ctx_.MyTable->setFilter(passes);
}

void Search::DisableEndSearch() {
    ctx_.SearchOn = false;
    ctx_.BuildFilter = nullptr;
    view_.showSearchOn(false);
    if (ctx_.MyTable)
        ctx_.MyTable->setFilter(
            [ctx = &ctx_](const db::RecordView& r) { return ctx->MyTableFilter(r); });
}

void Search::bringBack() {
    // The criteria stayed; switching the search on gives the table its
    // filter back.
    EnableEndSearch();
    try {
        if (ctx_.MyTable)
            ctx_.MyTable->first();
    } catch (const db::DatabaseError&) {
        // Unreadable now: the table stays where it is, the search in force.
    }
    view_.DisplayCount(); // the search's count, not the whole catalogue's
}

bool Search::Doit(const std::vector<SearchItem>& items) {
    if (ctx_.SearchOn) {
        databases_.openMyTable(ctx_.MyTable ? ctx_.MyTable->mode() : db::OpenMode::Shared);
        view_.SetViewerOptions();
    }
    inForce_ = items;
    filter_ = ctx_.MyTable ? SearchFilter(items, *ctx_.MyTable) : SearchFilter();
    EnableEndSearch();
    // The one pass that counts and lists the matches, now, while the caller
    // shows the busy cursor, rather than at the first repaint. The first
    // match is then the first row: no walk through the sort order to it,
    // which could read most of a large table at random when the matches
    // lie late in that order.
    db::Table* table = ctx_.MyTable.get();
    if (!table || table->rowCount() == 0 || !table->moveToRow(0)) {
        DoEndSearch();
        inForce_.clear();
        filter_ = SearchFilter();
        return false;
    }
    return true;
}

} // namespace shelvix::find
