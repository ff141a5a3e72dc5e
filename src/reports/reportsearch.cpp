#include "reports/reportsearch.h"

#include "app/appcontext.h"
#include "app/databases.h"

namespace shelvix::reports {

bool ViewReportSearch::searchOn() const {
    return ctx_.SearchOn;
}

void ViewReportSearch::endSearch() {
    view_.DoEndSearch();
}

void ViewReportSearch::restoreSearch() {
    // The criteria stayed in the context; switching the search on again
    // gives the table its filter back.
    view_.EnableEndSearch();
    view_.DisplayCount();
}

} // namespace shelvix::reports
