// The main window's viewer configuration, sort order, pack and rebuild.
#include "app/appinfo.h"
#include "app/forms/placement.h"
#include "app/forms/tmain.h"
#include "app/forms/tmysortorder.h"
#include "app/prompter.h"
#include "viewer/forms/tviewconfig.h"

#include <QApplication>
#include <QProgressDialog>

namespace shelvix::app {

void TMain::DoViewer() {
    viewer::TViewConfig dialog(ctx_, this);
    connect(&dialog, &viewer::TViewConfig::settingsChanged, this, [this] { SetViewerOptions(); });
    placeDialog(&dialog, ctx_, {.moveUp10 = true});
    dialog.exec();
    SetViewerOptions();
}

void TMain::DoSortOrder() {
    TMySortOrder dialog(ctx_, maintenance_, this);
    placeDialog(&dialog, ctx_);
    dialog.exec();
}

// A window-modal progress display that appears only when the work takes a
// while, with the busy cursor throughout.
void TMain::runWithProgress(const QString& label,
                            const std::function<bool(const db::Progress&)>& operation) {
    if (maintaining_)
        return;
    maintaining_ = true;
    QProgressDialog progress(label, QString(), 0, 1000, this);
    progress.setWindowTitle(QLatin1String(kProductName));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(250);
    progress.setAutoReset(false);
    progress.setValue(0);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Whatever the operation does, the cursor and the window come back.
    struct Restore {
        bool& flag;
        QProgressDialog& dialog;
        ~Restore() {
            QApplication::restoreOverrideCursor();
            dialog.close();
            flag = false;
        }
    } restore{maintaining_, progress};
    // The engine reports often; the display only moves in thousandths.
    operation([&progress](std::uint64_t done, std::uint64_t total) {
        if (total == 0)
            return;
        const int value = int(std::min<std::uint64_t>(done, total) * 1000 / total);
        if (value != progress.value())
            progress.setValue(value);
    });
}

void TMain::MenuPackClick() {
    if (maintaining_)
        return;
    // The question comes before the busy cursor.
    if (ctx_.prompter->confirm(QStringLiteral("Confirm"), Maintenance::kPackQuestion) !=
        Button::Yes)
        return;
    runWithProgress(QStringLiteral("Packing the database..."),
                    [this](const db::Progress& p) { return maintenance_.pack(p); });
}

void TMain::MenuRebuildClick() {
    if (maintaining_)
        return;
    if (ctx_.prompter->confirm(QStringLiteral("Confirm"), Maintenance::kRebuildQuestion) !=
        Button::Yes)
        return;
    runWithProgress(QStringLiteral("Rebuilding the indexes..."),
                    [this](const db::Progress& p) { return maintenance_.rebuild(p); });
}

} // namespace shelvix::app
