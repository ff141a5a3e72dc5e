#include "shell/records.h"

#include "app/prompter.h"
#include "db/engine/error.h"
#include "db/textcodec.h"

namespace shelvix::shell {

void RecordCommands::showForm(app::EditMode mode) {
    ctx_.EditMode = mode;
    if (showEditForm)
        showEditForm();
    view_.DisplayCount();
}

void RecordCommands::DoDelete() {
    if (ctx_.prompter->confirm(QStringLiteral("Confirm"), QStringLiteral("Delete this record?")) ==
            app::Button::Yes &&
        ctx_.MyTable && ctx_.MyTable->recno() != 0) {
        try {
            ctx_.MyTable->deleteRecord();
        } catch (const db::DatabaseError& e) {
            ctx_.prompter->error(db::errorText(e));
        }
    }
    view_.DisplayCount();
}

} // namespace shelvix::shell
