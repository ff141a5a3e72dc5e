#include "backup/forms/backupcommands.h"

#include "app/forms/placement.h"
#include "app/prompter.h"
#include "app/showerror.h"
#include "backup/forms/tmybackup.h"
#include "backup/forms/tmyrestore.h"
#include "backup/messages.h"
#include "db/conversion.h"
#include "db/engine/error.h"
#include "db/textcodec.h"

namespace shelvix::backup {

void BackupHost::reopen() {
    databases.openMyTable(db::OpenMode::Shared);
    view.SetViewerOptions();
    view.DisplayCount();
}

void BackupHost::failed(const db::DatabaseError& e) {
    app::showError(*ctx.prompter, e);
    if (!ctx.MyTable)
        reopen();
}

void BackupCommands::DoBackup() {
    if (host_.ctx.browseMode)
        return;
    TMyBackup dialog(host_, window_);
    app::placeDialog(&dialog, host_.ctx);
    dialog.exec();
}

void BackupCommands::DoRestore() {
    if (host_.ctx.browseMode)
        return;
    {
        TMyRestore dialog(host_, window_);
        app::placeDialog(&dialog, host_.ctx);
        dialog.exec();
    }
    host_.view.DisplayCount();
}

void BackupCommands::CheckForConversion() {
    app::AppContext& ctx = host_.ctx;
    // Only browsing: nothing is written, the old files wait for a full start.
    if (ctx.browseMode)
        return;
    struct Old {
        const char* name;
        bool (*check)(const QString&);
        std::uint32_t (*convert)(const QString&, db::Table&);
        const QString& question;
    };
    const Old olds[] = {
        {db::kVersion2File, db::CheckDBaseFormatV2, db::ConvertV2, Messages::convertVersion2},
        {db::kVersion1File, db::CheckDBaseFormatV1, db::ConvertV1, Messages::convertVersion1},
    };
    for (const Old& old : olds) {
        const QString path = db::findEarlierVersionFile(ctx.paths.dataDir, QLatin1String(old.name));
        if (!ctx.MyTable)
            continue;
        // A damaged old file is named rather than passed over: it waits,
        // as it is, for the user to mend it.
        if (const std::string damage = db::earlierVersionDamage(path); !damage.empty()) {
            ctx.prompter->message(
                {app::MessageKind::Warning, QStringLiteral("Convert"), db::errorText(damage)});
            continue;
        }
        if (!old.check(path))
            continue;
        if (ctx.prompter->message({app::MessageKind::Question, QStringLiteral("Convert"),
                                   old.question, app::Button::Yes | app::Button::No}) !=
            app::Button::Yes)
            continue;
        try {
            old.convert(path, *ctx.MyTable);
        } catch (const db::DatabaseError& e) {
            // The old file stays for another try.
            app::showError(*ctx.prompter, e);
            host_.view.DisplayCount();
            continue;
        }
        // Its .MDX, if any, stays, as it always has.
        try {
            db::removeEarlierVersionFile(path);
        } catch (const db::DatabaseError& e) {
            app::showError(*ctx.prompter, e);
        }
        host_.view.DisplayCount();
    }
}

} // namespace shelvix::backup
