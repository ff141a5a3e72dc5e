#pragma once

#include "app/appcontext.h"
#include "app/databases.h"

#include <functional>

namespace shelvix::app {

// The record commands of the main window: add, edit and copy set the
// EditMode and show the record edit form; delete asks first. Each refreshes
// the record count.
class RecordCommands {
public:
    RecordCommands(AppContext& context, DatabaseView& view) : ctx_(context), view_(view) {}

    void DoAdd() { showForm(EditMode::Add); }
    void DoEdit() { showForm(EditMode::Edit); }
    void DoCopy() { showForm(EditMode::Copy); }
    void DoDelete();

    // Shows the record edit form (modally) for the EditMode just set; until
    // there is one, nothing.
    std::function<void()> showEditForm;

private:
    void showForm(EditMode mode);

    AppContext& ctx_;
    DatabaseView& view_;
};

} // namespace shelvix::app
