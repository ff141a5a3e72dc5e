#include "transfer/forms/transfercommands.h"

#include "app/forms/placement.h"
#include "transfer/forms/timportformat.h"
#include "transfer/forms/tmyexport.h"

namespace shelvix::transfer {

void TransferCommands::DoImport() {
    if (ctx_.browseMode || !ctx_.MyTable)
        return;
    {
        TImportFormat dialog(ctx_, window_);
        app::placeDialog(&dialog, ctx_);
        dialog.exec();
    }
    if (afterImport_)
        afterImport_();
}

void TransferCommands::DoExport() {
    if (!ctx_.MyTable)
        return;
    TMyExport dialog(ctx_, search_, window_);
    app::placeDialog(&dialog, ctx_, {.moveUp10 = true});
    dialog.exec();
}

} // namespace shelvix::transfer
