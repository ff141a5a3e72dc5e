#pragma once

#include "app/appcontext.h"
#include "app/searchbracket.h"
#include "find/criteria.h"
#include "find/searchfilter.h"

#include <vector>

namespace shelvix::app {
class Databases;
}

namespace shelvix::find {

// What the search asks of the main window.
class SearchView {
public:
    virtual ~SearchView() = default;
    // "SEARCH ON" shown and the three End Search controls enabled, or the
    // reverse.
    virtual void showSearchOn(bool on) = 0;
    // The viewer grid on the (re)opened table.
    virtual void SetViewerOptions() = 0;
    virtual void DisplayCount() = 0;
    // The search window, modally.
    virtual void showSearchWindow() = 0;
};

// The main window's search state: SearchOn, the criteria in force and the
// filter they compile to. A confirmed search keeps its criteria until it is
// ended or replaced; showing the search window, Find More and Exit never
// change what the table passes.
class Search {
public:
    Search(app::AppContext& context, app::Databases& databases, SearchView& view)
        : ctx_(context), databases_(databases), view_(view) {}
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;

    void DoSearch();
    // Back to every record: the table is reopened without the filter.
    void DoEndSearch();
    // Search on with the criteria in force (export switches it back on
    // after DoEndSearch this way).
    void EnableEndSearch();
    void DisableEndSearch();

    // Puts `items` in force and moves to the first match; when nothing
    // matches the search is ended and the answer is false.
    bool Doit(const std::vector<SearchItem>& items);

    const std::vector<SearchItem>& criteriaInForce() const { return inForce_; }

    // Export, reports and the main window end the search for work over the
    // entire catalogue through this; it comes back on the first match with
    // its count.
    app::SearchBracket& bracket() { return bracket_; }

private:
    void bringBack();

    app::AppContext& ctx_;
    app::Databases& databases_;
    SearchView& view_;
    std::vector<SearchItem> inForce_;
    // Compiled when confirmed: the table may be closed when the search is
    // switched back on, and a search never outlives its database.
    SearchFilter filter_;
    app::SearchBracket bracket_{
        {[this] { return ctx_.SearchOn; }, [this] { DoEndSearch(); }, [this] { bringBack(); }}};
};

} // namespace shelvix::find
