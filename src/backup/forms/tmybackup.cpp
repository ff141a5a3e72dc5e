#include "backup/forms/tmybackup.h"

#include "app/forms/colors.h"
#include "app/forms/controls.h"
#include "app/forms/helpviewer.h"
#include "app/prompter.h"
#include "app/showerror.h"
#include "backup/messages.h"
#include "db/engine/error.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStorageInfo>

namespace shelvix::backup {

namespace {

constexpr const char* kReportFile = "SHVBOOK.URP";
constexpr int kPathRole = Qt::UserRole;

QRadioButton* radio(QWidget* parent, const char* name, const QString& text, int top) {
    return app::controls::radio(parent, name, text, QRect(16, top, 410, 22));
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, int left) {
    return app::controls::button(parent, name, text, QRect(left, 318, 110, 27));
}

QLabel* heading(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(8, 4, 420, 20);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    app::setColorRole(l, "major");
    return l;
}

} // namespace

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
    release();
}

void BusyCursor::release() {
    if (on_)
        QApplication::restoreOverrideCursor();
    on_ = false;
}

TMyBackup::TMyBackup(BackupHost& host, QWidget* parent) : QDialog(parent), host_(host) {
    setObjectName(QStringLiteral("TMyBackup"));
    setWindowTitle(QStringLiteral("Backup"));
    resize(460, 356);

    auto* panel1 = new QFrame(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel1->setGeometry(8, 8, 444, 132);
    heading(panel1, "Label1", QStringLiteral("What To Back Up"));
    backDbf_ = radio(panel1, "BackDBF", QStringLiteral("Current &Database (*.DBF)"), 28);
    backLst_ =
        radio(panel1, "BackLST", QStringLiteral("Data &Lists of Current Database (*.0xx)"), 52);
    backIni_ =
        radio(panel1, "BackINI", QStringLiteral("Config &File of Current Database (*.INI)"), 76);
    backUrp_ = radio(panel1, "BackURP", QStringLiteral("Global &Report Definitions (*.URP)"), 100);

    auto* panel2 = new QFrame(this);
    panel2->setObjectName(QStringLiteral("Panel2"));
    panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel2->setGeometry(8, 146, 444, 164);
    heading(panel2, "Label2", QStringLiteral("Where To Back Up To"));
    driveBox_ = new QComboBox(panel2);
    driveBox_->setObjectName(QStringLiteral("DriveBox"));
    driveBox_->setGeometry(8, 28, 428, 24);
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        QString text = volume.rootPath();
        if (!volume.displayName().isEmpty() && volume.displayName() != text)
            text += QStringLiteral("  (%1)").arg(volume.displayName());
        driveBox_->addItem(text, volume.rootPath());
    }
    connect(driveBox_, &QComboBox::activated, this, [this] { DriveBoxChange(); });
    dirLabel_ = new QLabel(panel2);
    dirLabel_->setObjectName(QStringLiteral("DirLabel"));
    dirLabel_->setGeometry(8, 56, 428, 18);
    dirLabel_->setTextFormat(Qt::PlainText);
    dirBox_ = new QListWidget(panel2);
    dirBox_->setObjectName(QStringLiteral("DirBox"));
    dirBox_->setGeometry(8, 76, 428, 80);
    // Enter or a double click goes into the directory, as in a file dialog;
    // Enter stays with the list rather than starting the backup.
    dirBox_->installEventFilter(this);
    connect(dirBox_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        const QString path = item->data(kPathRole).toString();
        // Not while the list is still handling the click on the item.
        QMetaObject::invokeMethod(
            this, [this, path] { setDirectory(path); }, Qt::QueuedConnection);
    });

    auto* start = button(this, "StartButton", QStringLiteral("&Start Back Up"), 8);
    start->setDefault(true);
    connect(start, &QPushButton::clicked, this, [this] { StartButtonClick(); });
    cancel_ = button(this, "CancelButton", QStringLiteral("&Cancel"), 175);
    connect(cancel_, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
    auto* help = button(this, "HelpButton", QStringLiteral("&Help"), 342);
    connect(help, &QPushButton::clicked, this, [this] { HelpButtonClick(); });
}

bool TMyBackup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == dirBox_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (QListWidgetItem* item = dirBox_->currentItem())
                setDirectory(item->data(kPathRole).toString());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TMyBackup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TMyBackup::FormShow() {
    SetColors();
    backDbf_->setChecked(true);
    const QString dataDir = host_.ctx.paths.dataDir;
    const int drive = driveBox_->findData(QStorageInfo(dataDir).rootPath());
    if (drive >= 0)
        driveBox_->setCurrentIndex(drive);
    setDirectory(dataDir);
}

void TMyBackup::SetColors() {
    app::applyColorSet(this, host_.ctx, app::ColorGroup::Configure);
}

void TMyBackup::setDirectory(const QString& path) {
    QDir dir(path);
    directory_ = QDir::cleanPath(dir.absolutePath());
    dirLabel_->setText(directory_);
    dirBox_->clear();
    // Typing looks for a name in the new listing, not one begun in the last.
    dirBox_->keyboardSearch(QString());
    const auto add = [this](const QString& text, const QString& target) {
        auto* item = new QListWidgetItem(text, dirBox_);
        item->setData(kPathRole, target);
    };
    if (!dir.isRoot())
        add(QStringLiteral(".."), QFileInfo(directory_).absolutePath());
    for (const QFileInfo& sub : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                                  QDir::Name | QDir::IgnoreCase))
        add(sub.fileName(), sub.absoluteFilePath());
    dirBox_->setCurrentRow(0);
}

void TMyBackup::DriveBoxChange() {
    setDirectory(driveBox_->currentData().toString());
}

void TMyBackup::CancelButtonClick() {
    reject();
}

void TMyBackup::HelpButtonClick() {
    app::showHelpTopic(this, QStringLiteral("Backup and Restore"));
}

void TMyBackup::error(const QString& text) {
    host_.ctx.prompter->error(text);
}

void TMyBackup::succeeded() {
    host_.ctx.prompter->message(
        {app::MessageKind::Information, QStringLiteral("Notice"), Messages::backupDone});
    cancel_->setText(QStringLiteral("&Close"));
    cancel_->setFocus();
}

void TMyBackup::StartButtonClick() {
    const QString dir = directory_;
    try {
        if (backDbf_->isChecked())
            backupDatabase(dir);
        else if (backLst_->isChecked())
            backupLists(dir);
        else if (backIni_->isChecked())
            backupSettings(dir);
        else if (backUrp_->isChecked())
            backupReports(dir);
    } catch (const db::DatabaseError& e) {
        // A source that cannot be measured.
        host_.failed(e);
    }
}

void TMyBackup::backupDatabase(const QString& dir) {
    app::AppContext& ctx = host_.ctx;
    const QString source = ctx.current.current;
    const QString target = joinPath(dir, ctx.current.tableName + QStringLiteral(".DBF"));
    if (sameFile(source, target)) {
        error(Messages::identicalBackup);
        return;
    }
    const bool searching = ctx.SearchOn;
    if (searching)
        host_.view.DoEndSearch();
    // The search comes back, and the table opens shared again, however the
    // backup ends.
    const auto finish = [&] {
        if (searching)
            host_.view.EnableEndSearch();
        host_.reopen();
    };
    host_.databases.closeMyTable();
    if (app::Databases::DBaseInUse(source)) {
        error(Messages::exclusiveBackup);
        finish();
        return;
    }
    bool room = false;
    try {
        room = hasRoom(source, target, host_.freeSpace);
    } catch (const db::DatabaseError&) {
        finish();
        throw;
    }
    if (!room) {
        error(Messages::noRoomBackup);
        finish();
        return;
    }
    BusyCursor busy;
    const bool copied = copyFile(source, target);
    if (copied) {
        finish();
        busy.release();
        succeeded();
    } else {
        busy.release();
        error(Messages::backupFailed);
        finish();
    }
}

void TMyBackup::backupLists(const QString& dir) {
    app::AppContext& ctx = host_.ctx;
    BusyCursor busy;
    db::SaveAllLists(ctx.current.base, ctx.lists);
    for (int n = 1; n <= db::kListFileCount; ++n) {
        const QString source = ctx.current.list(n);
        if (!QFileInfo(source).isFile())
            continue;
        const QString target =
            joinPath(dir, ctx.current.tableName + QStringLiteral(".%1").arg(n, 3, 10, QChar(u'0')));
        if (sameFile(source, target)) {
            busy.release();
            error(Messages::identicalBackup);
            return;
        }
        if (!copyFile(source, target)) {
            busy.release();
            error(Messages::backupFailed);
            return;
        }
    }
    busy.release();
    succeeded();
}

void TMyBackup::backupSettings(const QString& dir) {
    app::AppContext& ctx = host_.ctx;
    BusyCursor busy;
    host_.databases.writeDatabaseSettings();
    const QString source = ctx.current.settings;
    if (!QFileInfo(source).isFile()) {
        busy.release();
        succeeded();
        return;
    }
    const QString target = joinPath(dir, ctx.current.tableName + QStringLiteral(".INI"));
    if (sameFile(source, target)) {
        busy.release();
        error(Messages::identicalBackup);
        return;
    }
    const bool copied = copyFile(source, target);
    busy.release();
    if (copied)
        succeeded();
    else
        error(Messages::backupFailed);
}

void TMyBackup::backupReports(const QString& dir) {
    const QString source = joinPath(host_.ctx.paths.dataDir, QLatin1String(kReportFile));
    const QString target = joinPath(dir, QLatin1String(kReportFile));
    if (sameFile(source, target)) {
        error(Messages::identicalBackupReports);
        return;
    }
    if (!hasRoom(source, target, host_.freeSpace)) {
        error(Messages::noRoomBackupReports);
        return;
    }
    BusyCursor busy;
    const bool copied = copyFile(source, target);
    busy.release();
    if (copied)
        succeeded();
    else
        error(Messages::backupFailed);
}

} // namespace shelvix::backup
