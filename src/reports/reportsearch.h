#pragma once

namespace shelvix::app {
struct AppContext;
class DatabaseView;
} // namespace shelvix::app

namespace shelvix::reports {

// What printing the entire catalogue asks of the search in force: end it so
// the table shows every record, then put it back with the same criteria.
class ReportSearch {
public:
    virtual ~ReportSearch() = default;
    virtual bool searchOn() const = 0;
    virtual void endSearch() = 0;
    virtual void restoreSearch() = 0;
};

// The search as the main window keeps it: `SearchOn` and the criteria in the
// context, ended and switched on again through the window.
class ViewReportSearch : public ReportSearch {
public:
    ViewReportSearch(app::AppContext& context, app::DatabaseView& view)
        : ctx_(context), view_(view) {}
    bool searchOn() const override;
    void endSearch() override;
    void restoreSearch() override;

private:
    app::AppContext& ctx_;
    app::DatabaseView& view_;
};

} // namespace shelvix::reports
