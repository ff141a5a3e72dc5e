#include "backup/forms/tmyrestore.h"

#include "app/appinfo.h"
#include "app/forms/colors.h"
#include "app/forms/controls.h"
#include "app/forms/helpviewer.h"
#include "app/prompter.h"
#include "app/showerror.h"
#include "backup/forms/tmybackup.h"
#include "backup/messages.h"
#include "db/engine/error.h"
#include "db/engine/file.h"

#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace shelvix::backup {

namespace {

constexpr const char* kReportFile = "SHVBOOK.URP";

QRadioButton* radio(QWidget* parent, const char* name, const QString& text, int top) {
    return app::controls::radio(parent, name, text, QRect(16, top, 410, 22));
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, int left) {
    return app::controls::button(parent, name, text, QRect(left, 148, 110, 27));
}

QString extension(int n) {
    return QStringLiteral(".%1").arg(n, 3, 10, QChar(u'0'));
}

// Where a database's files are restored to: beside the open database, be it
// MASTER.DBF in the data directory or a catalogue in a folder of the user's.
QString databaseFolder(const app::AppContext& ctx) {
    return ctx.current.current.isEmpty() ? ctx.paths.dataDir
                                         : QFileInfo(ctx.current.current).absolutePath();
}

} // namespace

TMyRestore::TMyRestore(BackupHost& host, QWidget* parent) : QDialog(parent), host_(host) {
    setObjectName(QStringLiteral("TMyRestore"));
    setWindowTitle(QStringLiteral("Restore"));
    resize(460, 184);

    auto* panel1 = new QFrame(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel1->setGeometry(8, 8, 444, 132);
    auto* heading = new QLabel(QStringLiteral("What To Restore"), panel1);
    heading->setObjectName(QStringLiteral("Label1"));
    heading->setGeometry(8, 4, 420, 20);
    QFont f = heading->font();
    f.setBold(true);
    heading->setFont(f);
    app::setColorRole(heading, "major");
    restoreDbf_ = radio(panel1, "RestoreDBF", QStringLiteral("&Database File (*.DBF)"), 28);
    restoreLst_ =
        radio(panel1, "RestoreLST", QStringLiteral("Data &Lists of a Database (*.0xx)"), 52);
    restoreIni_ =
        radio(panel1, "RestoreINI", QStringLiteral("Config &File of a Database (*.INI)"), 76);
    restoreUrp_ =
        radio(panel1, "RestoreURP", QStringLiteral("Global &Report Definitions (*.URP)"), 100);

    auto* start = button(this, "StartButton", QStringLiteral("&Start Restore"), 8);
    start->setDefault(true);
    connect(start, &QPushButton::clicked, this, [this] { StartButtonClick(); });
    cancel_ = button(this, "CancelButton", QStringLiteral("&Cancel"), 175);
    connect(cancel_, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
    auto* help = button(this, "HelpButton", QStringLiteral("&Help"), 342);
    connect(help, &QPushButton::clicked, this, [this] { HelpButtonClick(); });
}

void TMyRestore::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TMyRestore::FormShow() {
    SetColors();
    restoreDbf_->setChecked(true);
}

void TMyRestore::SetColors() {
    app::applyColorSet(this, host_.ctx, app::ColorGroup::Configure);
}

void TMyRestore::CancelButtonClick() {
    reject();
}

void TMyRestore::HelpButtonClick() {
    app::showHelpTopic(this, QStringLiteral("Backup and Restore"));
}

void TMyRestore::ended() {
    cancel_->setText(QStringLiteral("&Close"));
    cancel_->setFocus();
}

void TMyRestore::notice(const QString& text) {
    host_.ctx.prompter->message({app::MessageKind::Information, QStringLiteral("Notice"), text});
}

void TMyRestore::warning(const QString& text) {
    host_.ctx.prompter->message({app::MessageKind::Warning, QStringLiteral("Warning"), text});
}

void TMyRestore::StartButtonClick() {
    app::FileRequest request;
    request.mode = app::FileMode::Open;
    request.flags = app::FileFlag::HideReadOnly | app::FileFlag::FileMustExist;
    if (restoreUrp_->isChecked()) {
        request.title = QStringLiteral("Restore URP File");
        request.defaultExtension = QStringLiteral("URP");
        request.filter = QStringLiteral("Reports Files (*.URP)|*.URP");
        request.initialPath = QLatin1String(kReportFile);
    } else {
        request.title = restoreDbf_->isChecked()   ? QStringLiteral("Restore Database File")
                        : restoreLst_->isChecked() ? QStringLiteral("Restore Data List Files")
                                                   : QStringLiteral("Restore Configuration File");
        request.defaultExtension = QStringLiteral("DBF");
        request.filter = QStringLiteral("DBase Files (*.DBF)|*.DBF");
    }
    const std::optional<QString> picked = host_.ctx.prompter->chooseFile(request);
    if (!picked)
        return;
    try {
        if (restoreDbf_->isChecked())
            restoreDatabase(*picked);
        else if (restoreLst_->isChecked())
            restoreLists(*picked);
        else if (restoreIni_->isChecked())
            restoreSettings(*picked);
        else
            restoreReports(*picked);
    } catch (const db::DatabaseError& e) {
        // A source that cannot be measured.
        host_.failed(e);
    }
}

void TMyRestore::restoreDatabase(const QString& picked) {
    app::AppContext& ctx = host_.ctx;
    if (ctx.SearchOn)
        host_.view.DoEndSearch();
    const QString target = joinPath(databaseFolder(ctx), QFileInfo(picked).fileName());
    if (sameFile(picked, target)) {
        ctx.prompter->error(Messages::identicalRestore);
        return;
    }
    if (!host_.databases.CheckDBaseFormat(picked))
        return;
    // The open database, or another program's table under the same name,
    // is not written over while someone holds it.
    const bool open = sameFile(target, ctx.current.current);
    if (open)
        host_.databases.closeMyTable();
    // Held from the test to the end, so nothing another user stores
    // meanwhile goes to the table being replaced.
    std::unique_ptr<db::File> held;
    if (!holdTarget(target, held)) {
        ctx.prompter->message({app::MessageKind::Information, QLatin1String(app::kProductName),
                               Messages::inUseRestore});
        if (open)
            host_.reopen();
        return;
    }
    bool room = false;
    try {
        room = hasRoom(picked, target, host_.freeSpace);
    } catch (const db::DatabaseError&) {
        held.reset();
        if (open)
            host_.reopen();
        throw;
    }
    if (!room) {
        held.reset();
        ctx.prompter->error(Messages::noRoomRestore);
        if (open)
            host_.reopen();
        return;
    }
    host_.databases.closeMyTable();
    BusyCursor busy;
    // The old index describes the old records: it goes, and the sort tag is
    // built afresh when the database opens.
    if (!restoreTable(picked, target, db::FileSystem::native(), &held)) {
        held.reset();
        busy.release();
        ctx.prompter->error(Messages::restoreFailed);
        host_.reopen();
        return;
    }
    held.reset(); // it opens as any database opens, its sort tag built then
    // Opened as the Open command opens a database: its settings, lists and
    // the recent list follow it (the same ones again when it was open).
    host_.databases.switchTo(target, app::Databases::SwitchKind::Existing);
    if (host_.reloadLists)
        host_.reloadLists();
    busy.release();
    notice(Messages::restoreDone);
    ended();
}

void TMyRestore::restoreLists(const QString& picked) {
    app::AppContext& ctx = host_.ctx;
    const QString sourceDir = QFileInfo(picked).absolutePath();
    // The lists belong beside the open database, where it reads them.
    const QString targetDir = databaseFolder(ctx);
    BusyCursor busy;
    bool missing = false;
    for (int n = 1; n <= db::kListFileCount; ++n) {
        const QString name = ctx.current.tableName + extension(n);
        const QString source = db::findCompanionFile(sourceDir, name);
        const QString target = ctx.current.list(n);
        if (sameFile(source, target)) {
            busy.release();
            ctx.prompter->error(Messages::identicalRestore);
            return;
        }
        if (!QFileInfo(source).isFile()) {
            busy.release();
            warning(Messages::missingFile(name));
            missing = true;
            continue;
        }
        if (!copyFile(source, joinPath(targetDir, QFileInfo(target).fileName()))) {
            busy.release();
            ctx.prompter->error(Messages::restoreFailed);
            return;
        }
    }
    busy.release();
    notice(missing ? Messages::listsMissing : Messages::listsRestored);
    ctx.lists = db::LoadAllList(ctx.current.base, ctx.paths.dataDir);
    if (host_.reloadLists)
        host_.reloadLists();
    ended();
}

void TMyRestore::restoreSettings(const QString& picked) {
    app::AppContext& ctx = host_.ctx;
    const QString namePart = db::tableNameOf(picked);
    const QString name = namePart + QStringLiteral(".INI");
    const QString source = db::findCompanionFile(QFileInfo(picked).absolutePath(), name);
    // The open database's own settings file when the name is its name;
    // otherwise beside it, where a database of that name is restored.
    const bool ours = namePart == ctx.current.tableName;
    const QString target =
        ours ? ctx.current.settings : db::findCompanionFile(databaseFolder(ctx), name);
    BusyCursor busy;
    if (sameFile(source, target)) {
        busy.release();
        ctx.prompter->error(Messages::identicalRestore);
        return;
    }
    if (!QFileInfo(source).isFile()) {
        busy.release();
        warning(Messages::missingFile(name));
        ended();
        return;
    }
    if (!copyFile(source, target)) {
        busy.release();
        ctx.prompter->error(Messages::restoreFailed);
        return;
    }
    if (ours) {
        ctx.takeDatabaseSettings(
            app::DatabaseSettings::load(ctx.current.settings, ctx.paths.globalSettingsFile()));
        host_.view.DoFileSpecific();
    }
    busy.release();
    notice(Messages::settingsRestored);
    ended();
}

void TMyRestore::restoreReports(const QString& picked) {
    app::AppContext& ctx = host_.ctx;
    const QString source =
        db::findCompanionFile(QFileInfo(picked).absolutePath(), QLatin1String(kReportFile));
    const QString target = joinPath(ctx.paths.dataDir, QLatin1String(kReportFile));
    if (sameFile(source, target)) {
        ctx.prompter->error(Messages::identicalRestore);
        return;
    }
    if (!QFileInfo(source).isFile()) {
        ctx.prompter->error(Messages::reportsMissing);
        return;
    }
    if (!hasRoom(source, target, host_.freeSpace)) {
        ctx.prompter->error(Messages::noRoomRestore);
        return;
    }
    BusyCursor busy;
    if (!copyFile(source, target)) {
        busy.release();
        ctx.prompter->error(Messages::restoreFailed);
        return;
    }
    if (host_.reloadReports)
        host_.reloadReports();
    busy.release();
    notice(Messages::restoreDone);
    ended();
}

} // namespace shelvix::backup
