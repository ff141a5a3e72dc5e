#pragma once

#include "app/appcontext.h"
#include "find/savedsearches.h"
#include "find/search.h"

#include <QDate>
#include <functional>

namespace shelvix::shell {

// The saved searches of the open catalogue, as the Navigate and Options
// menus offer them. The catalogue's settings file is read afresh for each
// command and written at once, so the window and the tool see the same.
class SavedSearchCommands {
public:
    SavedSearchCommands(app::AppContext& context, find::Search& search, find::SearchView& view)
        : ctx_(context), search_(search), view_(view) {}

    find::SavedSearches current() const;
    // A search in force, to be saved.
    bool canSave() const;

    // Asks for a name (again after a refusal) and keeps the search in force
    // under it; an existing name is replaced only when the user agrees.
    void saveCurrentSearch();
    // Puts the search of that name in force as the search window's OK does.
    void runSavedSearch(const QString& name);
    void deleteSavedSearch();
    void loanPeriodClick();

    // The day Overdue counts back from.
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    // Told true while a search is being put in force, then false.
    std::function<void(bool)> busy;

private:
    bool store(const find::SavedSearches& searches);

    app::AppContext& ctx_;
    find::Search& search_;
    find::SearchView& view_;
};

} // namespace shelvix::shell
