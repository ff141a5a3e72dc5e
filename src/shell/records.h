#pragma once

#include "app/appcontext.h"
#include "app/databases.h"

#include <functional>

namespace shelvix::shell {

// The record commands of the main window: add, edit and copy set the
// EditMode and show the record edit form; delete asks first. Each refreshes
// the record count.
class RecordCommands {
public:
    RecordCommands(app::AppContext& context, app::DatabaseView& view)
        : ctx_(context), view_(view) {}

    void DoAdd() { showForm(app::EditMode::Add); }
    void DoEdit() { showForm(app::EditMode::Edit); }
    void DoCopy() { showForm(app::EditMode::Copy); }
    void DoDelete();

    // Shows the record edit form (modally) for the EditMode just set; until
    // there is one, nothing.
    std::function<void()> showEditForm;

private:
    void showForm(app::EditMode mode);

    app::AppContext& ctx_;
    app::DatabaseView& view_;
};

} // namespace shelvix::shell
