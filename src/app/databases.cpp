#include "app/databases.h"

#include "app/appinfo.h"
#include "app/prompter.h"
#include "app/showerror.h"
#include "core/text.h"
#include "db/booktable.h"
#include "db/datalists.h"
#include "db/engine/dbf.h"
#include "db/engine/file.h"
#include "db/recovery.h"
#include "db/sortorder.h"
#include "db/textcodec.h"

#include <QFileInfo>

namespace shelvix::app {

namespace {

const char* const kStructureMessage =
    "This DBase file was not created with Shelvix Books 97.  It cannot be opened.  You may, "
    "however, import data from this file using the import function.";
const char* const kNotValidMessage =
    "The last database used as recorded in the INI file is not a valid Shelvix Books 97 file.  "
    "You will need to choose a new file.";
const char* const kInvalidFileType = "Invalid file type selected.";

bool hasTag(const db::Table& table, const std::string& name) {
    for (const db::TagInfo& tag : table.tags())
        if (core::equalsNoCase(tag.name, name))
            return true;
    return false;
}

std::string withoutBlanks(std::string_view s) {
    std::string out;
    for (const char c : s)
        if (c != ' ')
            out += c;
    return out;
}

// Does the table's sort tag hold `expression` in ascending order over every
// record? Case and blanks aside, since our expressions hold no strings.
bool tagHolds(const db::Table& table, const std::string& name, const std::string& expression) {
    for (const db::TagInfo& tag : table.tags())
        if (core::equalsNoCase(tag.name, name))
            return !tag.descending && !tag.unique && tag.forExpression.empty() &&
                   core::equalsNoCase(withoutBlanks(tag.expression), withoutBlanks(expression));
    return false;
}

// The field names in a table's header, read without writing; nothing when
// the file has no readable dBASE header (opening it then tells why).
std::optional<std::vector<std::string>> headerFieldNames(const std::filesystem::path& path) {
    try {
        auto file = db::FileSystem::native().open(path, db::FileMode::ReadOnly);
        std::vector<std::string> names;
        for (const db::FieldLayout& f : db::dbf::readHeader(*file, path.string()).fields)
            names.push_back(f.name);
        return names;
    } catch (const db::DatabaseError&) {
        return std::nullopt;
    }
}

// What the open put right (records past the count taken back, say) is told,
// never done silently.
void tellRepairs(Prompter& prompter, const db::Table& table) {
    if (table.repairsAtOpen().empty())
        return;
    QString text = QStringLiteral("The table %1 was repaired when it was opened:")
                       .arg(db::fromPath(table.path().filename()));
    for (const std::string& line : table.repairsAtOpen())
        text += QStringLiteral("\n- ") + db::errorText(line);
    prompter.message({MessageKind::Information, QStringLiteral("Information"), text});
}

} // namespace

QString mainCaption(const QString& tableName) {
    return QStringLiteral("%1 (%2)").arg(QLatin1String(kProductName), tableName);
}

bool hasDatabaseExtension(const QString& path) {
    return path.right(4).toUpper() == QLatin1String(".DBF");
}

void Databases::showEngineError(const std::exception& e) {
    showError(*ctx_.prompter, e);
}

bool Databases::CheckDBaseFormat(const QString& path) {
    const db::DatabaseFiles p = db::DatabaseFiles::of(path);
    if (!QFileInfo::exists(p.index)) {
        // Only a book table loses its index mark: another program's table is
        // refused untouched.
        if (const auto names = headerFieldNames(db::toPath(p.current));
            names && !db::isBookTable(*names)) {
            ctx_.prompter->error(QString::fromLatin1(kStructureMessage));
            return false;
        }
        db::Table::removeMdxByte(db::toPath(p.current));
    }
    bool book = false;
    try {
        auto table = db::Table::open(db::toPath(p.current), db::OpenMode::ReadOnly);
        book = db::isBookTable(*table);
    } catch (const db::DatabaseError& e) {
        showEngineError(e);
        return false;
    }
    if (!book)
        ctx_.prompter->error(QString::fromLatin1(kStructureMessage));
    return book;
}

void Databases::mendBeforeOpening(const QString& path) {
    // Only browsing: nothing is written.
    if (ctx_.browseMode)
        return;
    const db::DatabaseFiles p = db::DatabaseFiles::of(path);
    const std::filesystem::path table = db::toPath(p.current);
    // Another program's table is left as it is.
    if (const auto names = headerFieldNames(table); !names || !db::isBookTable(*names))
        return;
    std::vector<std::string> done = db::removeLeftovers(table);
    bool lost = false;
    // A missing index is the check's to handle.
    if (QFileInfo::exists(p.index)) {
        try {
            const std::string sort = db::buildSortString(
                DatabaseSettings::load(p.settings, ctx_.paths.globalSettingsFile()).sortOrder);
            for (const std::string& line : db::rebuildUnreadableIndex(table, sort)) {
                done.push_back(line);
                lost = lost || line.find(" Lost: ") != std::string::npos;
            }
        } catch (const db::DatabaseError&) {
            // In use elsewhere, or worse: the open says what is wrong.
        }
    }
    if (done.empty())
        return;
    QString text =
        QStringLiteral("The database %1 was repaired before it was opened:").arg(p.tableName);
    for (const std::string& line : done)
        text += QStringLiteral("\n- ") + db::errorText(line);
    ctx_.prompter->message({lost ? MessageKind::Warning : MessageKind::Information,
                            lost ? QStringLiteral("Warning") : QStringLiteral("Information"),
                            text});
}

bool Databases::mendAndCheck(const QString& path) {
    mendBeforeOpening(path);
    return CheckDBaseFormat(path);
}

bool Databases::DBaseInUse(const QString& path) {
    try {
        // Its index does not matter here, damaged or not.
        db::Table::openTableOnly(db::toPath(db::DatabaseFiles::of(path).current),
                                 db::OpenMode::Exclusive);
        return false;
    } catch (const db::DatabaseError&) {
        return true;
    }
}

bool Databases::MakeNewDB(const QString& path) {
    if (QFileInfo::exists(path) && DBaseInUse(path)) {
        ctx_.prompter->error(QStringLiteral("The table \"%1\" is currently in use by another "
                                            "program.  New table creation will be aborted.")
                                 .arg(path));
        return false;
    }
    try {
        db::createBookTable(db::toPath(path));
    } catch (const db::DatabaseError& e) {
        showEngineError(e);
        return false;
    }
    return true;
}

bool Databases::openMyTable(db::OpenMode mode) {
    closeMyTable();
    try {
        auto table = db::Table::open(db::toPath(ctx_.current.current), mode);
        tellRepairs(*ctx_.prompter, *table);
        AppContext* ctx = &ctx_;
        table->setFilter([ctx](const db::RecordView& r) { return ctx->MyTableFilter(r); });
        table->selectTag(hasTag(*table, ctx_.sortTag) ? ctx_.sortTag : std::string());
        ctx_.MyTable = std::move(table);
        return true;
    } catch (const db::DatabaseError& e) {
        showEngineError(e);
        return false;
    }
}

void Databases::closeMyTable() {
    if (!ctx_.MyTable)
        return;
    view_.tableClosing();
    ctx_.MyTable.reset();
}

bool Databases::writeDatabaseSettings() {
    if (ctx_.current.settings.isEmpty())
        return false;
    return ctx_.settingsToWrite().save(ctx_.current.settings);
}

void Databases::setCurrentPaths(const QString& path) {
    ctx_.current = db::DatabaseFiles::of(path);
    view_.setCaption(mainCaption(ctx_.current.tableName));
}

// The tag a database is shown in, built when it can have the table to
// itself; another user's table keeps the tag it has.
void Databases::openWithSortTag() {
    closeMyTable();
    ctx_.sortTag = ctx_.sortExpression.empty() ? std::string() : std::string(db::kSortTagName);
    if (!ctx_.sortExpression.empty()) {
        std::unique_ptr<db::Table> sole;
        try {
            sole = db::Table::open(db::toPath(ctx_.current.current), db::OpenMode::Exclusive);
        } catch (const db::DatabaseError&) {
            // In use elsewhere: the tag stays as it is. Any other failure
            // the shared open below reports.
        }
        if (sole) {
            tellRepairs(*ctx_.prompter, *sole);
            try {
                ctx_.sortTag = db::applySortTag(*sole, ctx_.sortExpression);
            } catch (const db::DatabaseError& e) {
                showEngineError(e);
            }
        }
    }
    openMyTable(db::OpenMode::Shared);
}

void Databases::switchTo(const QString& path, SwitchKind kind) {
    const db::DatabaseFiles old = ctx_.current;
    closeMyTable();
    setCurrentPaths(path);

    if (kind != SwitchKind::FirstChoice && !old.current.isEmpty()) {
        if (!old.settings.isEmpty())
            ctx_.settingsToWrite().save(old.settings);
        db::SaveAllLists(old.base, ctx_.lists);
    }

    const QString globalIni = ctx_.paths.globalSettingsFile();
    if (kind == SwitchKind::New) {
        ctx_.lists = db::LoadDefaultList(ctx_.paths.dataDir);
        ctx_.takeDatabaseSettings(
            DatabaseSettings::loadForNewDatabase(ctx_.paths.newDatabaseSettingsFile(), globalIni));
    } else {
        if (kind == SwitchKind::Existing)
            ctx_.lists = db::LoadAllList(ctx_.current.base, ctx_.paths.dataDir);
        ctx_.takeDatabaseSettings(DatabaseSettings::load(ctx_.current.settings, globalIni));
    }
    ctx_.sortExpression = db::buildSortString(ctx_.database.sortOrder);
    openWithSortTag();

    view_.DoFileSpecific();
    ctx_.recent.DoLastFiles(old.current, ctx_.current.current);
    view_.SetMenuLastFiles();
    view_.DisplayCount();
    showRefusedFiles(*ctx_.prompter);
}

std::optional<QString> Databases::chooseDatabase(bool forNew) {
    FileRequest request;
    request.mode = forNew ? FileMode::Save : FileMode::Open;
    request.title =
        forNew ? QStringLiteral("New Database File") : QStringLiteral("Open Database File");
    request.filter = QStringLiteral("Database Files (*.DBF)|*.DBF");
    request.defaultExtension = QStringLiteral("DBF");
    request.flags =
        forNew ? (FileFlag::OverwritePrompt | FileFlag::PathMustExist | FileFlag::HideReadOnly)
               : (FileFlag::FileMustExist | FileFlag::HideReadOnly);
    request.initialPath = ctx_.current.current.isEmpty()
                              ? ctx_.paths.dataDir
                              : QFileInfo(ctx_.current.current).absolutePath();
    return ctx_.prompter->chooseFile(request);
}

Databases::Chosen Databases::openChosen(SwitchKind kind) {
    Chosen result = Chosen::Cancelled;
    if (const std::optional<QString> chosen = chooseDatabase(false)) {
        result = Chosen::Refused;
        if (!hasDatabaseExtension(*chosen)) {
            ctx_.prompter->error(QString::fromLatin1(kInvalidFileType));
        } else if (mendAndCheck(*chosen)) {
            if (ctx_.SearchOn)
                view_.DoEndSearch();
            switchTo(*chosen, kind);
            result = Chosen::Opened;
        }
    }
    view_.DisplayCount();
    return result;
}

void Databases::DoOpen() {
    openChosen(SwitchKind::Existing);
}

void Databases::DoNew() {
    const std::optional<QString> chosen = chooseDatabase(true);
    if (!chosen)
        return;
    if (ctx_.SearchOn)
        view_.DoEndSearch();
    if (!hasDatabaseExtension(*chosen))
        ctx_.prompter->error(QString::fromLatin1(kInvalidFileType));
    else if (MakeNewDB(*chosen))
        switchTo(*chosen, SwitchKind::New);
    view_.DisplayCount();
}

void Databases::OpenSaveFile(int entry) {
    const QString path = ctx_.recent.entry(entry);
    if (!path.isEmpty() && mendAndCheck(path)) {
        if (ctx_.SearchOn)
            view_.DoEndSearch();
        switchTo(path, SwitchKind::Existing);
    }
    view_.DisplayCount();
}

void Databases::MenuUpdateDatabaseClick() {
    const bool searching = ctx_.SearchOn;
    if (searching)
        view_.DoEndSearch();
    writeDatabaseSettings();
    closeMyTable();
    if (searching)
        view_.EnableEndSearch();
    openMyTable(db::OpenMode::Shared);
    view_.SetViewerOptions();
    view_.DisplayCount();
}

// The first database of the run: nothing was open before it, and the lists
// are loaded by whoever shows them.
void Databases::openFirstChoice(const QString& path) {
    closeMyTable();
    setCurrentPaths(path);
    ctx_.takeDatabaseSettings(
        DatabaseSettings::load(ctx_.current.settings, ctx_.paths.globalSettingsFile()));
    ctx_.sortExpression = db::buildSortString(ctx_.database.sortOrder);
    ctx_.sortTag = ctx_.sortExpression.empty() ? std::string() : std::string(db::kSortTagName);
    if (!openMyTable(db::OpenMode::Shared))
        return;
    // The tag is rebuilt here only when it is missing or does not hold the
    // stored order (an older order, another tool's tag); one that does is
    // taken as it is.
    if (!ctx_.sortTag.empty() && !tagHolds(*ctx_.MyTable, ctx_.sortTag, ctx_.sortExpression))
        openWithSortTag();
}

bool Databases::openNamedAtStartup(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        ctx_.prompter->error(QStringLiteral("The file \"%1\" does not exist.").arg(path));
        return false;
    }
    if (!hasDatabaseExtension(path)) {
        ctx_.prompter->error(QString::fromLatin1(kInvalidFileType));
        return false;
    }
    if (!CheckDBaseFormat(path))
        return false;
    // As a switch from the last database would: that one joins the recent list.
    const QString last = ctx_.global.lastDatabase;
    openFirstChoice(path);
    if (!last.isEmpty() && QFileInfo(last).isFile() && !db::sameFile(last, path))
        ctx_.recent.DoLastFiles(last, path);
    return true;
}

void Databases::removeProgramLeftovers() {
    if (ctx_.browseMode)
        return;
    std::vector<std::string> data{"SHVBOOK.URP"};
    for (const db::DataListInfo& list : db::dataListTable())
        data.emplace_back(list.defaultFile);
    std::vector<std::string> done = db::removeLeftoversOf(db::toPath(ctx_.paths.dataDir), data);
    const QFileInfo global(ctx_.paths.globalSettingsFile());
    const QFileInfo newDatabase(ctx_.paths.newDatabaseSettingsFile());
    for (const std::string& line : db::removeLeftoversOf(
             db::toPath(global.absolutePath()),
             {global.fileName().toStdString(), newDatabase.fileName().toStdString()}))
        done.push_back(line);
    if (done.empty())
        return;
    QString text;
    for (const std::string& line : done)
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + db::errorText(line);
    ctx_.prompter->message({MessageKind::Information, QStringLiteral("Information"), text});
}

bool Databases::openAtStartup() {
    removeProgramLeftovers();
    if (!ctx_.commandLineDatabase.isEmpty() && openNamedAtStartup(ctx_.commandLineDatabase))
        return true;
    QString chosen = ctx_.global.lastDatabase;
    if (chosen.isEmpty() || !QFileInfo(chosen).isFile()) {
        chosen = ctx_.paths.masterDatabase();
        if (!QFileInfo::exists(chosen)) {
            try {
                db::createBookTable(db::toPath(chosen));
            } catch (const db::DatabaseError&) {
                return false;
            }
        }
    }
    // Chosen even when it fails the check, so the check below keeps failing
    // until the user picks a book database.
    ctx_.current = db::DatabaseFiles::of(chosen);
    if (mendAndCheck(chosen)) {
        openFirstChoice(chosen);
        return true;
    }
    ctx_.prompter->error(QString::fromLatin1(kNotValidMessage));
    // Asked until a book database is chosen; Cancel ends the program.
    for (;;) {
        switch (openChosen(SwitchKind::FirstChoice)) {
        case Chosen::Opened:
            return true;
        case Chosen::Cancelled:
            return false;
        case Chosen::Refused:
            break;
        }
    }
}

} // namespace shelvix::app
