#include "db/engine/table_impl.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace shelvix::db {

using Kind = DatabaseError::Kind;

namespace {

// Opens `path` and takes `lock` on it; again when another user renamed a new
// file into its place between the two (a restore, a pack), since a lock on
// the file replaced guards nothing and what is written there is lost. Null
// when someone else holds it.
std::unique_ptr<File> openLocked(FileSystem& fs, const fs::path& path, FileMode mode,
                                 File::OpenLock lock, std::unique_ptr<File> held = nullptr) {
    for (int attempt = 1;; ++attempt) {
        auto f = held ? std::move(held) : fs.open(path, mode);
        if (!f->tryLockFile(lock))
            return nullptr;
        if (f->isAt(path))
            return f;
        if (attempt == 3)
            return nullptr; // replaced again and again: someone is at work on it
    }
}

} // namespace

// ---------------------------------------------------------------- Table

Table::Table(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

Table::~Table() {
    if (d && d->state != State::Browse) {
        try {
            cancel();
        } catch (...) {
        }
    }
    // Bulk work left open: what it appended is written and synced.
    if (d && d->bulk > 0) {
        d->bulk = 1;
        try {
            endBulk();
        } catch (...) {
        }
    }
    if (d)
        d->settleAtClose();
}

void Table::create(const fs::path& path, const std::vector<FieldDef>& fields, FileSystem& fs) {
    std::vector<FieldLayout> defs;
    for (const FieldDef& f : fields)
        defs.push_back(FieldLayout{f.name, f.type, 0, f.length, f.decimals});
    dbf::Header h;
    h.fields = dbf::layoutFields(defs);
    h.tagFlags.assign(h.fields.size(), false);
    h.recordLength = std::uint16_t(h.fields.back().offset + h.fields.back().length);
    h.lastUpdate = dbf::today();
    auto bytes = dbf::buildHeader(h);
    bytes.push_back(dbf::kEndMark);
    // Replacing a table someone has open would pull it from under them.
    std::unique_ptr<File> file;
    if (fs.exists(path)) {
        file = openLocked(fs, path, FileMode::ReadWrite, File::OpenLock::Exclusive);
        if (!file)
            throw DatabaseError("The table " + displayName(path) + " is in use by another user",
                                Kind::InUse);
        file->truncate(0);
    } else {
        file = fs.open(path, FileMode::Create);
    }
    file->writeAt(0, bytes.data(), bytes.size());
    file->sync();
    fs.syncDirectory(path.parent_path());
}

std::unique_ptr<Table> Table::open(const fs::path& path, OpenMode mode, FileSystem& fs) {
    return openFile(path, mode, fs, false);
}

std::unique_ptr<Table> Table::openSource(const fs::path& path, FileSystem& fs) {
    return openFile(path, OpenMode::ReadOnly, fs, true);
}

std::unique_ptr<Table> Table::openTableOnly(const fs::path& path, OpenMode mode, FileSystem& fs) {
    return openFile(path, mode, fs, false, true);
}

std::unique_ptr<Table> Table::openFile(const fs::path& path, OpenMode mode, FileSystem& fs,
                                       bool source, bool tableOnly, std::unique_ptr<File> held) {
    auto d = std::make_unique<Impl>(fs, path, mode);
    d->source = source;
    d->tableOnly = tableOnly;
    auto lock = mode == OpenMode::Exclusive ? File::OpenLock::Exclusive : File::OpenLock::Shared;
    d->file =
        openLocked(fs, path, mode == OpenMode::ReadOnly ? FileMode::ReadOnly : FileMode::ReadWrite,
                   lock, std::move(held));
    if (!d->file)
        throw DatabaseError(mode == OpenMode::Exclusive
                                ? "The table " + d->name +
                                      " cannot be opened exclusively: it is in use by another user"
                                : "The table " + d->name + " is in use by another user",
                            Kind::InUse);
    if (!d->file->tryLockRange(dbf::kUsersLock, 1, mode == OpenMode::Exclusive))
        throw DatabaseError("The table " + d->name + " is being reorganised by another user",
                            Kind::InUse);
    {
        // Writers hold this while the index is mid-change: a mark seen under
        // it was left by a writer that died.
        Impl::HeaderReadLock hl(*d);
        d->hdr = dbf::readHeader(*d->file, d->name);
        d->layout =
            RecordLayout(d->hdr.fields, core::codePageForLanguageDriver(d->hdr.languageDriver));
        if (d->hdr.hasMdx && !source && !tableOnly) {
            bool found = false;
            d->mdxPath = findCompanion(path, ".MDX", &found);
            if (!found)
                throw DatabaseError("The production index " + d->mdxPath.filename().string() +
                                        " of table " + d->name + " is missing",
                                    Kind::NotFound);
            d->mdx = MdxFile::open(fs, d->mdxPath, mode != OpenMode::ReadOnly);
            d->attachIndex();
            d->compileTags();
        } else {
            d->mdxPath = findCompanion(path, ".MDX");
        }
    }
    if (source) {
        d->pastCount = d->inspectTail().records;
        d->hdr.recordCount += d->pastCount;
    } else if (!tableOnly) {
        d->repairIfSoleUser();
    }
    d->shownCount = d->count();
    std::unique_ptr<Table> t(new Table(std::move(d)));
    t->first();
    return t;
}

std::unique_ptr<File> Table::hold(const fs::path& path, FileSystem& fs) {
    auto f = openLocked(fs, path, FileMode::ReadOnly, File::OpenLock::Exclusive);
    if (!f)
        throw DatabaseError("The table " + displayName(path) + " is in use by another user",
                            Kind::InUse);
    return f;
}

bool Table::holdNew(File& file) {
    return file.tryLockFile(File::OpenLock::Exclusive) && file.tryLockRange(dbf::kUsersLock, 1);
}

std::unique_ptr<Table> Table::openHeld(std::unique_ptr<File> held, const fs::path& path,
                                       FileSystem& fs) {
    return openFile(path, OpenMode::Exclusive, fs, false, false, std::move(held));
}

void Table::removeMdxByte(const fs::path& path) {
    try {
        // Like any writer, only with the table to itself.
        auto f =
            openLocked(FileSystem::native(), path, FileMode::ReadWrite, File::OpenLock::Exclusive);
        if (!f)
            return;
        // Nothing is written to a file until it has read as a table.
        dbf::Header h = dbf::readHeader(*f, displayName(path));
        if (!h.hasMdx)
            return;
        std::uint8_t zero = 0;
        f->writeAt(dbf::kMdxFlagOffset, &zero, 1);
    } catch (const DatabaseError&) {
    }
}

const fs::path& Table::path() const {
    return d->path;
}
OpenMode Table::mode() const {
    return d->mode;
}
int Table::fieldCount() const {
    return int(d->hdr.fields.size());
}
const FieldLayout& Table::field(int index) const {
    if (index < 0 || std::size_t(index) >= d->layout.fields().size())
        throw DatabaseError("Field number " + std::to_string(index) + " does not exist in " +
                                d->name,
                            Kind::NotFound);
    return d->layout.fields()[std::size_t(index)];
}
const RecordLayout& Table::layout() const {
    return d->layout;
}
int Table::fieldIndex(std::string_view name) const {
    int i = d->layout.indexOf(name);
    if (i < 0)
        throw DatabaseError("Field '" + d->shown(name) + "' not found in table " + d->name,
                            Kind::NotFound);
    return i;
}
std::uint8_t Table::languageDriver() const {
    return d->hdr.languageDriver;
}
CodePage Table::codePage() const {
    return core::codePageForLanguageDriver(d->hdr.languageDriver);
}
std::uint8_t Table::version() const {
    return d->hdr.version;
}
std::uint32_t Table::recordsPastCount() const {
    return d->pastCount;
}

// ---- tags

std::vector<TagInfo> Table::tags() const {
    return d->mdx ? d->mdx->tags() : std::vector<TagInfo>{};
}

void Table::addTag(std::string_view name, std::string_view expression) {
    d->checkBrowseMode();
    if (name.empty() || name.size() > 10)
        throw DatabaseError("An index tag name has 1 to 10 characters", Kind::InvalidValue);
    KeyExpression expr = KeyExpression::compile(expression, d->layout);
    d->withSoleUse("Adding an index tag", [&] {
        d->refreshHeader(); // others may have appended since we last looked
        const bool created = !d->mdx;
        if (created) {
            // A stray index without the header flag is not ours: replace it.
            d->mdx = MdxFile::create(d->fs, d->mdxPath, d->path.stem().string());
            d->attachIndex();
        }
        std::string selectedName =
            d->selected >= 0 ? d->mdx->tags()[std::size_t(d->selected)].name : std::string();
        TagInfo info;
        info.name = std::string(name);
        info.expression = std::string(expression);
        info.type = expr.type();
        info.keyLength = expr.keyLength();
        info.bareField = expr.bareField() >= 0;
        Streamer s(*d->file, d->hdr, d->count());
        d->mdx->buildTag(info, [&](std::uint8_t* key, std::uint32_t& recno) {
            const std::uint8_t* rec = s.next(recno);
            if (!rec)
                return false;
            expr.evaluate(rec, key);
            return true;
        });
        // The index and its name are on disk before the header names it: a
        // flag naming a missing index would keep the table from opening.
        d->mdx->sync();
        if (created)
            d->fs.syncDirectory(d->path.parent_path());
        d->compileTags();
        d->selected = selectedName.empty() ? -1 : d->tagIndex(selectedName);
        d->main.reset(d->selected);
        d->updateTagFlags();
        d->dataChangedLocally();
        d->within.clear(); // tags may have moved: the filter scans
        d->bounded = false;
        d->syncFiles();
    });
    if (d->main.tag >= 0 || d->cur == 0)
        first();
    d->notifyStructure();
}

void Table::deleteTag(std::string_view name) {
    d->checkBrowseMode();
    int idx = d->tagIndex(name);
    if (idx < 0)
        throw DatabaseError("Index tag '" + d->shown(name) + "' not found in " + d->name,
                            Kind::NotFound);
    d->withSoleUse("Deleting an index tag", [&] {
        std::string selectedName = d->selected >= 0 && d->selected != idx
                                       ? d->mdx->tags()[std::size_t(d->selected)].name
                                       : std::string();
        d->mdx->dropTag(name);
        d->within.clear(); // tags have moved: the filter scans
        d->bounded = false;
        d->compileTags();
        d->selected = selectedName.empty() ? -1 : d->tagIndex(selectedName);
        d->main.reset(d->selected);
        d->updateTagFlags();
        // The header flag is cleared on disk before the index goes: a flag
        // naming a missing index would keep the table from opening.
        d->syncFiles();
        if (!d->hasTags()) {
            d->mdx.reset();
            d->fs.remove(d->mdxPath);
            d->fs.syncDirectory(d->path.parent_path());
            d->needsRebuild = false;
        }
        d->dataChangedLocally();
    });
    std::uint32_t at = d->cur;
    if (!(at && d->main.positionAt(at)))
        first();
    d->notifyStructure();
}

void Table::selectTag(std::string_view name) {
    d->checkBrowseMode();
    int idx = -1;
    if (!name.empty()) {
        idx = d->tagIndex(name);
        if (idx < 0)
            throw DatabaseError("Index tag '" + d->shown(name) + "' not found in " + d->name,
                                Kind::NotFound);
    }
    d->selected = idx;
    d->main.reset(idx);
    d->rowsValid = false;
    d->rows.clear();
    first();
    d->notifyData();
}

std::string Table::selectedTag() const {
    return d->selected >= 0 ? d->mdx->tags()[std::size_t(d->selected)].name : std::string();
}

std::string Table::writeBlockedReason() const {
    return d->mode == OpenMode::ReadOnly ? "The table " + d->name + " is open read-only"
                                         : d->blockReason();
}
const std::vector<std::string>& Table::repairsAtOpen() const {
    return d->repairs;
}

bool Table::needsRebuild() const {
    return d->needsRebuild;
}

// ---- observers

void Table::addObserver(TableObserver* observer) {
    d->observers.push_back(observer);
}
void Table::removeObserver(TableObserver* observer) {
    std::erase(d->observers, observer);
}
void Table::disableControls() {
    ++d->disabled;
}
void Table::enableControls() {
    if (d->disabled == 0)
        return;
    if (--d->disabled == 0) {
        d->pendingData = false;
        d->notifyData();
        d->notifyCurrent();
    }
}
bool Table::controlsDisabled() const {
    return d->disabled > 0;
}

// ---- index bookkeeping

void Table::Impl::compileTags() {
    exprs.clear();
    exprErrors.clear();
    if (!mdx)
        return;
    for (const TagInfo& tag : mdx->tags()) {
        try {
            exprs.emplace_back(KeyExpression::compile(tag.expression, layout));
            const KeyExpression& e = *exprs.back();
            // Kept for a rebuild, which writes keys our way; until then
            // keys of another size must not reach the tag.
            if (e.keyLength() != tag.keyLength || e.type() != tag.type)
                exprErrors.emplace_back("its keys are stored in another size or type");
            else
                exprErrors.emplace_back();
        } catch (const DatabaseError& e) {
            exprs.emplace_back(std::nullopt);
            exprErrors.emplace_back(e.what());
        }
    }
}

std::string Table::Impl::blockReason() const {
    if (tableOnly && hdr.hasMdx)
        return "The table " + name + " was opened without its index and cannot be changed";
    if (needsRebuild)
        return "The index of table " + name +
               " was left half-updated and must be rebuilt before the table can be changed";
    for (std::size_t i = 0; i < exprErrors.size(); ++i)
        if (!exprErrors[i].empty())
            return "The index tag " + shown(mdx->tags()[i].name) + " of table " + name +
                   " cannot be kept up to date (" + exprErrors[i] +
                   "); the table cannot be changed until the tag is deleted";
    return {};
}

void Table::Impl::updateTagFlags() {
    std::vector<bool> flags(hdr.fields.size(), false);
    for (std::size_t i = 0; i < exprs.size(); ++i)
        if (exprs[i] && exprs[i]->bareField() >= 0)
            flags[std::size_t(exprs[i]->bareField())] = true;
    for (std::size_t i = 0; i < flags.size(); ++i) {
        if (hdr.tagFlags[i] == flags[i])
            continue;
        std::uint8_t v = flags[i] ? 1 : 0;
        writeHeaderBytes(dbf::kHeaderSize + dbf::kDescriptorSize * i + dbf::kDescriptorTagFlag, &v,
                         1);
        hdr.tagFlags[i] = flags[i];
    }
    std::uint8_t has = hasTags() ? 1 : 0;
    if (hdr.hasMdx != bool(has)) {
        writeHeaderBytes(dbf::kMdxFlagOffset, &has, 1);
        hdr.hasMdx = has;
    }
}

} // namespace shelvix::db
