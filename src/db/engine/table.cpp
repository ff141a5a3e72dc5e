#include "db/engine/table.h"

#include "db/engine/dbf.h"
#include "db/engine/mdx.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <unistd.h>

namespace fs = std::filesystem;

namespace shelvix::db {

using Kind = DatabaseError::Kind;

// ---------------------------------------------------------------- RecordView

int RecordView::fieldIndex(std::string_view name) const {
    int i = layout_->indexOf(name);
    if (i < 0)
        throw DatabaseError("Field '" + std::string(name) + "' not found", Kind::NotFound);
    return i;
}

std::string_view RecordView::raw(int field) const {
    if (field < 0 || std::size_t(field) >= layout_->fields().size())
        throw DatabaseError("Field number " + std::to_string(field) + " does not exist",
                            Kind::NotFound);
    const FieldLayout& f = layout_->fields()[std::size_t(field)];
    return {reinterpret_cast<const char*>(record_) + f.offset, std::size_t(f.length)};
}

std::string_view RecordView::text(int field) const {
    return dbf::trimmed(raw(field), layout_->fields()[std::size_t(field)].type);
}

std::optional<double> RecordView::number(int field) const {
    return dbf::parseNumber(raw(field));
}
std::optional<Date> RecordView::date(int field) const {
    return dbf::parseDate(raw(field));
}
bool RecordView::isEmpty(int field) const {
    return dbf::isBlank(raw(field));
}

// ---------------------------------------------------------------- Impl

namespace {

constexpr std::size_t kStreamChunk = 1 << 17;   // bytes per sequential read
constexpr std::size_t kWindowBytes = 64 * 1024; // read-ahead while walking record order
constexpr std::size_t kRandomCacheSlots = 1024; // direct-mapped by record number

std::string displayName(const fs::path& p) {
    return p.filename().string();
}

// Reads the table front to back in large chunks.
class Streamer {
public:
    Streamer(File& file, const dbf::Header& h, std::uint32_t count)
        : file_(file), h_(h), count_(count) {
        perChunk_ = std::max<std::size_t>(1, kStreamChunk / h.recordLength);
        buf_.resize(perChunk_ * h.recordLength);
    }
    // The next record or nullptr at the end.
    const std::uint8_t* next(std::uint32_t& recno) {
        if (nextRecno_ > count_)
            return nullptr;
        if (nextRecno_ >= bufFirst_ + bufCount_ || bufCount_ == 0) {
            bufFirst_ = nextRecno_;
            bufCount_ = std::uint32_t(std::min<std::uint64_t>(perChunk_, count_ - nextRecno_ + 1));
            file_.readExact(h_.recordOffset(bufFirst_), buf_.data(),
                            std::size_t(bufCount_) * h_.recordLength, "the records");
        }
        recno = nextRecno_++;
        return buf_.data() + std::size_t(recno - bufFirst_) * h_.recordLength;
    }

private:
    File& file_;
    const dbf::Header& h_;
    std::uint32_t count_;
    std::size_t perChunk_;
    std::vector<std::uint8_t> buf_;
    std::uint32_t bufFirst_ = 1, bufCount_ = 0, nextRecno_ = 1;
};

void syncDirectory(const fs::path& dir) {
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

struct Table::Impl {
    // A position in record or tag order, without the filter.
    struct Walker {
        Impl* t = nullptr;
        int tag = -1;
        std::uint64_t gen = 0;
        std::unique_ptr<MdxFile::Cursor> cur;
        std::vector<std::uint8_t> key;
        std::uint32_t recno = 0;

        void reset(int newTag) {
            tag = newTag;
            cur.reset();
            recno = 0;
        }
        bool first();
        bool last();
        bool next();
        bool prior();
        bool positionAt(std::uint32_t r);
        bool seek(const std::uint8_t* k, std::size_t len);

    private:
        enum class Where { Exact, After, End };
        Where ensure();
        bool take();
        bool skipForward();
        bool skipBackward();
    };

    FileSystem& fs;
    fs::path path;
    std::string name;
    OpenMode mode;
    std::unique_ptr<File> file;
    dbf::Header hdr;
    RecordLayout layout;

    std::unique_ptr<MdxFile> mdx;
    fs::path mdxPath;
    std::vector<std::optional<KeyExpression>> exprs; // per tag of mdx
    std::vector<std::string> exprErrors;
    int selected = -1;
    bool needsRebuild = false;
    std::vector<std::string> repairs; // made by the open
    std::uint64_t indexGen = 1;

    // Record caches: a read-ahead window for record order, a small map else.
    std::vector<std::uint8_t> window;
    std::uint32_t winFirst = 0, winCount = 0;
    std::vector<std::uint8_t> slab;    // kRandomCacheSlots records
    std::vector<std::uint32_t> slotOf; // record number held by each slot, 0 = none

    RecordFilter filter;
    bool showDeleted = false;

    Walker main;
    bool bof = true, eof = true;
    std::uint32_t cur = 0;
    std::vector<std::uint8_t> curBuf, editBuf;
    Table::State state = Table::State::Browse;
    std::uint32_t lockedRecord = 0;

    std::optional<std::uint32_t> countCache;
    bool rowsValid = false;
    std::vector<std::uint32_t> rows;

    std::vector<TableObserver*> observers;
    int disabled = 0;

    Impl(FileSystem& f, fs::path p, OpenMode m)
        : fs(f), path(std::move(p)), name(displayName(path)), mode(m) {
        main.t = this;
    }

    bool shared() const { return mode == OpenMode::Shared; }
    std::uint32_t count() const { return hdr.recordCount; }
    std::size_t recLen() const { return hdr.recordLength; }

    // ---- locks
    struct RangeLock {
        File* f = nullptr;
        std::uint64_t off = 0;
        RangeLock() = default;
        RangeLock(File* file, std::uint64_t offset) : f(file), off(offset) {
            if (f)
                f->lockRange(off, 1);
        }
        RangeLock(const RangeLock&) = delete;
        RangeLock& operator=(const RangeLock&) = delete;
        ~RangeLock() {
            if (f) {
                try {
                    f->unlockRange(off, 1);
                } catch (...) {
                }
            }
        }
    };
    File* lockTarget() { return shared() ? file.get() : nullptr; }

    // ---- reading
    const std::uint8_t* readRecord(std::uint32_t recno, int dir) {
        if (recno >= winFirst && recno < winFirst + winCount)
            return window.data() + std::size_t(recno - winFirst) * recLen();
        if (dir == 0) {
            if (slab.empty()) {
                slab.resize(kRandomCacheSlots * recLen());
                slotOf.assign(kRandomCacheSlots, 0);
            }
            std::size_t slot = recno % kRandomCacheSlots;
            std::uint8_t* buf = slab.data() + slot * recLen();
            if (slotOf[slot] != recno) {
                slotOf[slot] = 0;
                file->readExact(hdr.recordOffset(recno), buf, recLen(), "a record");
                slotOf[slot] = recno;
            }
            return buf;
        }
        std::uint32_t per = std::uint32_t(std::max<std::size_t>(1, kWindowBytes / recLen()));
        std::uint32_t firstRec = recno, n = std::min(per, count() - recno + 1);
        if (dir < 0) {
            firstRec = recno >= per ? recno - per + 1 : 1;
            n = recno - firstRec + 1;
        }
        window.resize(std::size_t(n) * recLen());
        winCount = 0;
        file->readExact(hdr.recordOffset(firstRec), window.data(), window.size(), "the records");
        winFirst = firstRec;
        winCount = n;
        return window.data() + std::size_t(recno - winFirst) * recLen();
    }
    void dropCaches() {
        winCount = 0;
        std::fill(slotOf.begin(), slotOf.end(), 0u);
    }
    void dataChangedLocally() {
        dropCaches();
        countCache.reset();
        rowsValid = false;
        rows.clear();
        ++indexGen;
    }

    // Keeps the count and the rows right after one record changed here, so a
    // post on a large table costs a few reads rather than a rescan.
    void recordChanged(std::uint32_t recno, const std::uint8_t* before, const std::uint8_t* after) {
        dropCaches();
        ++indexGen;
        bool was = before && passesBuf(recno, before);
        bool now = passesBuf(recno, after);
        if (countCache)
            *countCache = *countCache + (now ? 1 : 0) - (was ? 1 : 0);
        if (!rowsValid)
            return;
        if (selected >= 0 && (!exprErrors[std::size_t(selected)].empty() ||
                              mdx->tags()[std::size_t(selected)].descending)) {
            rowsValid = false;
            rows.clear();
            return;
        }
        if (was) {
            auto it = selected < 0 ? std::lower_bound(rows.begin(), rows.end(), recno)
                                   : std::find(rows.begin(), rows.end(), recno);
            if (it != rows.end() && *it == recno)
                rows.erase(it);
        }
        if (!now)
            return;
        if (selected < 0) {
            rows.insert(std::lower_bound(rows.begin(), rows.end(), recno), recno);
            return;
        }
        // Binary search in key order, reading the records it probes.
        const KeyType type = exprs[std::size_t(selected)]->type();
        const auto key = keyOf(selected, after);
        std::size_t lo = 0, hi = rows.size();
        while (lo < hi) {
            std::size_t mid = (lo + hi) / 2;
            auto k = keyOf(selected, readRecord(rows[mid], 0));
            int c = compareKeys(type, k.data(), key.data(), key.size());
            if (c < 0 || (c == 0 && rows[mid] < recno))
                lo = mid + 1;
            else
                hi = mid;
        }
        rows.insert(rows.begin() + std::ptrdiff_t(lo), recno);
    }

    bool passesBuf(std::uint32_t recno, const std::uint8_t* buf) const {
        if (!showDeleted && buf[0] == '*')
            return false;
        return !filter || filter(RecordView(buf, &layout, recno));
    }
    bool passes(std::uint32_t recno, int dir) { return passesBuf(recno, readRecord(recno, dir)); }

    // Re-reads the record count another user may have changed.
    void refreshHeader() {
        if (mode == OpenMode::Exclusive)
            return;
        std::uint8_t b[8];
        {
            RangeLock lock(lockTarget(), dbf::kHeaderLock);
            file->readExact(0, b, sizeof b, "the header");
            if (mdx) {
                mdx->refresh();
                if (mdx->interrupted())
                    needsRebuild = true;
            }
        }
        std::uint32_t n = std::uint32_t(b[4]) | (std::uint32_t(b[5]) << 8) |
                          (std::uint32_t(b[6]) << 16) | (std::uint32_t(b[7]) << 24);
        if (n != hdr.recordCount &&
            hdr.headerLength + std::uint64_t(n) * hdr.recordLength <= file->size()) {
            hdr.recordCount = n;
            countCache.reset();
            rowsValid = false;
        }
        // Records of other users may have changed too: read them afresh.
        dropCaches();
        ++indexGen;
    }

    // ---- notifications
    bool pendingData = false;
    void notifyData() {
        if (disabled > 0) {
            pendingData = true;
            return;
        }
        for (auto* o : std::vector<TableObserver*>(observers))
            o->tableDataChanged();
    }
    void notifyStructure() {
        if (disabled > 0) {
            pendingData = true;
            return;
        }
        for (auto* o : std::vector<TableObserver*>(observers))
            o->tableStructureChanged();
    }
    void notifyCurrent() {
        if (disabled > 0)
            return;
        for (auto* o : std::vector<TableObserver*>(observers))
            o->tableCurrentChanged();
    }

    // ---- cursor
    void setCurrent(std::uint32_t recno) {
        cur = recno;
        if (recno == 0) {
            curBuf.assign(recLen(), ' ');
        } else {
            const std::uint8_t* b = readRecord(recno, 0);
            curBuf.assign(b, b + recLen());
        }
    }
    void goEmpty() {
        main.recno = 0;
        setCurrent(0);
        bof = eof = true;
    }
    int walkDir() const { return main.tag < 0 ? 1 : 0; }

    bool firstPassing(Walker& w) {
        for (bool ok = w.first(); ok; ok = w.next())
            if (passes(w.recno, walkDir()))
                return true;
        return false;
    }
    bool lastPassing(Walker& w) {
        for (bool ok = w.last(); ok; ok = w.prior())
            if (passes(w.recno, main.tag < 0 ? -1 : 0))
                return true;
        return false;
    }

    void checkBrowseMode();
    void setDeletedFlag(char flag);
    const std::vector<std::uint8_t>& buffer() const {
        return state == Table::State::Browse ? curBuf : editBuf;
    }
    std::uint8_t* editField(int index) {
        if (state == Table::State::Browse)
            throw DatabaseError("The table " + name + " is not in edit or insert mode");
        return editBuf.data() + layout.fields()[std::size_t(index)].offset;
    }

    // ---- index
    void compileTags() {
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
    bool hasTags() const { return mdx && !mdx->tags().empty(); }
    int tagIndex(std::string_view tagName) const { return mdx ? mdx->findTag(tagName) : -1; }

    std::vector<std::uint8_t> keyOf(int tag, const std::uint8_t* record) const {
        const KeyExpression& e = *exprs[std::size_t(tag)];
        std::vector<std::uint8_t> k(std::size_t(e.keyLength()));
        e.evaluate(record, k.data());
        return k;
    }

    std::string blockReason() const {
        if (needsRebuild)
            return "The index of table " + name +
                   " was left half-updated and must be rebuilt before the table can be changed";
        for (std::size_t i = 0; i < exprErrors.size(); ++i)
            if (!exprErrors[i].empty())
                return "The index tag " + mdx->tags()[i].name + " of table " + name +
                       " cannot be kept up to date (" + exprErrors[i] +
                       "); the table cannot be changed until the tag is deleted";
        return {};
    }
    void checkWritable() {
        if (mode == OpenMode::ReadOnly)
            throw DatabaseError("The table " + name + " is open read-only");
        if (std::string why = blockReason(); !why.empty())
            throw DatabaseError(why);
    }

    // Runs `work` with no other user of the table, upgrading a shared lock for
    // the time being.
    template <class F> void withSoleUse(const std::string& what, F&& work) {
        if (mode == OpenMode::ReadOnly)
            throw DatabaseError("The table " + name + " is open read-only");
        const bool upgrade = mode == OpenMode::Shared;
        if (upgrade && !file->tryLockRange(dbf::kUsersLock, 1, true))
            throw DatabaseError(what + " requires exclusive use of the table " + name, Kind::InUse);
        try {
            work();
        } catch (...) {
            if (upgrade)
                file->tryLockRange(dbf::kUsersLock, 1, false);
            throw;
        }
        if (upgrade)
            file->tryLockRange(dbf::kUsersLock, 1, false);
    }

    void writeHeaderBytes(std::uint64_t offset, const std::uint8_t* b, std::size_t n) {
        file->writeAt(offset, b, n);
    }
    void updateTagFlags() {
        std::vector<bool> flags(hdr.fields.size(), false);
        for (std::size_t i = 0; i < exprs.size(); ++i)
            if (exprs[i] && exprs[i]->bareField() >= 0)
                flags[std::size_t(exprs[i]->bareField())] = true;
        for (std::size_t i = 0; i < flags.size(); ++i) {
            if (hdr.tagFlags[i] == flags[i])
                continue;
            std::uint8_t v = flags[i] ? 1 : 0;
            writeHeaderBytes(dbf::kHeaderSize + dbf::kDescriptorSize * i + dbf::kDescriptorTagFlag,
                             &v, 1);
            hdr.tagFlags[i] = flags[i];
        }
        std::uint8_t has = hasTags() ? 1 : 0;
        if (hdr.hasMdx != bool(has)) {
            writeHeaderBytes(dbf::kMdxFlagOffset, &has, 1);
            hdr.hasMdx = has;
        }
    }

    // Builds every tag of the current table into a fresh index beside the old
    // one, then puts it in place. The DBF is not changed.
    std::unique_ptr<MdxFile> buildIndexFile(File& table, const dbf::Header& h, const fs::path& at,
                                            const Progress& progress, std::uint64_t doneBefore,
                                            std::uint64_t total) {
        auto fresh = MdxFile::create(fs, at, path.stem().string());
        std::uint64_t done = doneBefore;
        for (std::size_t i = 0; i < mdx->tags().size(); ++i) {
            TagInfo info = mdx->tags()[i];
            if (!exprs[i])
                throw DatabaseError("The index tag " + info.name +
                                        " cannot be rebuilt: " + exprErrors[i],
                                    Kind::InvalidExpression);
            info.type = exprs[i]->type();
            info.keyLength = exprs[i]->keyLength();
            info.bareField = exprs[i]->bareField() >= 0;
            Streamer s(table, h, h.recordCount);
            const KeyExpression& e = *exprs[i];
            fresh->buildTag(info, [&](std::uint8_t* key, std::uint32_t& recno) {
                const std::uint8_t* rec = s.next(recno);
                if (!rec)
                    return false;
                e.evaluate(rec, key);
                if (progress && (++done & 0xFFF) == 0)
                    progress(done, total);
                return true;
            });
        }
        return fresh;
    }
    void syncPath(const fs::path& p) { fs.open(p, FileMode::ReadWrite)->sync(); }

    void regenerate(const Progress& progress) {
        if (!hasTags()) {
            needsRebuild = false;
            return;
        }
        std::uint64_t total = std::uint64_t(count()) * mdx->tags().size();
        fs::path tmp = mdxPath;
        tmp += ".tmp";
        { auto fresh = buildIndexFile(*file, hdr, tmp, progress, 0, total); }
        syncPath(tmp);
        mdx.reset();
        try {
            fs.rename(tmp, mdxPath);
        } catch (...) {
            // The old index is still in place: keep using it.
            try {
                fs.remove(tmp);
                mdx = MdxFile::open(fs, mdxPath, true);
                compileTags();
            } catch (...) {
                needsRebuild = true;
            }
            throw;
        }
        syncDirectory(path.parent_path());
        mdx = MdxFile::open(fs, mdxPath, true);
        compileTags();
        needsRebuild = false;
        ++indexGen;
        if (progress)
            progress(total, total);
    }

    // Repairs left by a writer that died: a half-written index, or bytes after
    // the last counted record. Only with no other user.
    void repairIfSoleUser() {
        bool dbfTail = false;
        std::uint64_t size = file->size();
        if (size != hdr.dataEnd() + 1) {
            dbfTail = true;
        } else {
            std::uint8_t mark = 0;
            file->readAt(hdr.dataEnd(), &mark, 1);
            dbfTail = mark != dbf::kEndMark;
        }
        bool index = mdx && mdx->interrupted();
        if (!dbfTail && !index)
            return;
        if (mode == OpenMode::ReadOnly) {
            needsRebuild = index;
            return;
        }
        try {
            withSoleUse("Repairing", [&] {
                // What was seen at open may be stale: another user may have
                // appended (or finished an index update) since.
                std::uint8_t b[8];
                file->readExact(0, b, sizeof b, "the header");
                std::uint32_t n = std::uint32_t(b[4]) | (std::uint32_t(b[5]) << 8) |
                                  (std::uint32_t(b[6]) << 16) | (std::uint32_t(b[7]) << 24);
                if (hdr.headerLength + std::uint64_t(n) * hdr.recordLength > file->size())
                    return; // checked again at the next open
                hdr.recordCount = n;
                std::uint8_t mark = 0;
                dbfTail = file->size() != hdr.dataEnd() + 1 ||
                          file->readAt(hdr.dataEnd(), &mark, 1) != 1 || mark != dbf::kEndMark;
                if (mdx) {
                    mdx->refresh();
                    index = mdx->interrupted();
                }
                if (dbfTail) {
                    mark = dbf::kEndMark;
                    file->writeAt(hdr.dataEnd(), &mark, 1);
                    file->truncate(hdr.dataEnd() + 1);
                    repairs.push_back("the end of the table after record " +
                                      std::to_string(hdr.recordCount) + " was put right");
                }
                if (index) {
                    regenerate({});
                    repairs.push_back("the index had been left half-updated; every tag was "
                                      "rebuilt");
                }
            });
        } catch (const DatabaseError& e) {
            if (e.kind() != Kind::InUse)
                throw;
            needsRebuild = index;
        }
    }
};

// ---------------------------------------------------------------- Walker

bool Table::Impl::Walker::take() {
    KeyEntry e = cur->current();
    key.assign(e.key, e.key + t->mdx->tags()[std::size_t(tag)].keyLength);
    recno = e.recno;
    return true;
}

// Entries pointing past the count (a broken index, or an append not yet
// seen) are stepped over.
bool Table::Impl::Walker::skipForward() {
    while (recno == 0 || recno > t->count()) {
        if (!cur->next())
            return false;
        take();
    }
    return true;
}
bool Table::Impl::Walker::skipBackward() {
    while (recno == 0 || recno > t->count()) {
        if (!cur->prior())
            return false;
        take();
    }
    return true;
}

Table::Impl::Walker::Where Table::Impl::Walker::ensure() {
    if (cur && gen == t->indexGen)
        return Where::Exact;
    cur = t->mdx->cursor(tag);
    gen = t->indexGen;
    if (cur->seekExact(key.data(), recno))
        return Where::Exact;
    // Our entry is gone: stand on the first one after (key, recno).
    if (!cur->seek(key.data(), key.size()))
        return Where::End;
    for (;;) {
        KeyEntry e = cur->current();
        if (std::memcmp(e.key, key.data(), key.size()) != 0 || e.recno > recno)
            return Where::After;
        if (!cur->next())
            return Where::End;
    }
}

bool Table::Impl::Walker::first() {
    if (tag < 0) {
        recno = t->count() > 0 ? 1 : 0;
        return recno != 0;
    }
    cur = t->mdx->cursor(tag);
    gen = t->indexGen;
    if (!cur->first())
        return false;
    take();
    return skipForward();
}

bool Table::Impl::Walker::last() {
    if (tag < 0) {
        recno = t->count();
        return recno != 0;
    }
    cur = t->mdx->cursor(tag);
    gen = t->indexGen;
    if (!cur->last())
        return false;
    take();
    return skipBackward();
}

bool Table::Impl::Walker::next() {
    if (tag < 0) {
        if (recno >= t->count())
            return false;
        ++recno;
        return true;
    }
    switch (ensure()) {
    case Where::End:
        return false;
    case Where::After:
        take();
        return skipForward();
    case Where::Exact:
        break;
    }
    if (!cur->next())
        return false;
    take();
    return skipForward();
}

bool Table::Impl::Walker::prior() {
    if (tag < 0) {
        if (recno <= 1)
            return false;
        --recno;
        return true;
    }
    Where w = ensure();
    if (w == Where::End ? !cur->last() : !cur->prior())
        return false;
    take();
    return skipBackward();
}

bool Table::Impl::Walker::positionAt(std::uint32_t r) {
    if (r == 0 || r > t->count())
        return false;
    if (tag < 0) {
        recno = r;
        return true;
    }
    cur = t->mdx->cursor(tag);
    gen = t->indexGen;
    if (t->exprs[std::size_t(tag)] && t->exprErrors[std::size_t(tag)].empty()) {
        auto k = t->keyOf(tag, t->readRecord(r, 0));
        if (cur->seekExact(k.data(), r))
            return take();
    }
    // Another tool may have written the key under other rules: look for it.
    for (bool ok = cur->first(); ok; ok = cur->next())
        if (cur->current().recno == r)
            return take();
    return false;
}

bool Table::Impl::Walker::seek(const std::uint8_t* k, std::size_t len) {
    cur = t->mdx->cursor(tag);
    gen = t->indexGen;
    if (!cur->seek(k, len))
        return false;
    take();
    return skipForward();
}

void Table::Impl::checkBrowseMode() {
    if (state != Table::State::Browse)
        throw DatabaseError("The table " + name + " has a pending edit: post or cancel it first");
}

void Table::Impl::setDeletedFlag(char flag) {
    Impl& t = *this;
    t.checkBrowseMode();
    t.checkWritable();
    if (t.cur == 0)
        throw DatabaseError("The table " + t.name + " has no current record");
    bool locked = false;
    const std::vector<std::uint8_t> before = t.curBuf;
    if (t.shared()) {
        if (!t.file->tryLockRange(dbf::recordLockOffset(t.cur), 1))
            throw DatabaseError("Record " + std::to_string(t.cur) + " is locked by another user",
                                Kind::InUse);
        locked = true;
    }
    try {
        std::uint8_t b = std::uint8_t(flag);
        t.file->writeAt(t.hdr.recordOffset(t.cur), &b, 1);
        Date today = dbf::today();
        if (!(t.hdr.lastUpdate == today)) {
            std::uint8_t hb[3];
            dbf::putDate(hb, today);
            t.file->writeAt(dbf::kDateOffset, hb, 3);
            t.hdr.lastUpdate = today;
        }
    } catch (...) {
        if (locked)
            t.file->unlockRange(dbf::recordLockOffset(t.cur), 1);
        throw;
    }
    if (locked)
        t.file->unlockRange(dbf::recordLockOffset(t.cur), 1);
    std::vector<std::uint8_t> after = before;
    after[0] = std::uint8_t(flag);
    t.recordChanged(t.cur, before.data(), after.data());
    t.setCurrent(t.cur);
}

// ---------------------------------------------------------------- Table

Table::Table(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

Table::~Table() {
    if (d && d->state != State::Browse) {
        try {
            cancel();
        } catch (...) {
        }
    }
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
        file = fs.open(path, FileMode::ReadWrite);
        if (!file->tryLockFile(File::OpenLock::Exclusive))
            throw DatabaseError("The table " + displayName(path) + " is in use by another user",
                                Kind::InUse);
        file->truncate(0);
    } else {
        file = fs.open(path, FileMode::Create);
    }
    file->writeAt(0, bytes.data(), bytes.size());
    file->sync();
}

std::unique_ptr<Table> Table::open(const fs::path& path, OpenMode mode, FileSystem& fs) {
    auto d = std::make_unique<Impl>(fs, path, mode);
    d->file = fs.open(path, mode == OpenMode::ReadOnly ? FileMode::ReadOnly : FileMode::ReadWrite);
    auto lock = mode == OpenMode::Exclusive ? File::OpenLock::Exclusive : File::OpenLock::Shared;
    if (!d->file->tryLockFile(lock))
        throw DatabaseError(mode == OpenMode::Exclusive
                                ? "The table " + d->name +
                                      " cannot be opened exclusively: it is in use by another user"
                                : "The table " + d->name + " is in use by another user",
                            Kind::InUse);
    if (!d->file->tryLockRange(dbf::kUsersLock, 1, mode == OpenMode::Exclusive))
        throw DatabaseError("The table " + d->name + " is being reorganised by another user",
                            Kind::InUse);
    {
        // A writer in another process holds this while the index is mid-change.
        Impl::RangeLock hl(d->lockTarget(), dbf::kHeaderLock);
        d->hdr = dbf::readHeader(*d->file, d->name);
        d->layout = RecordLayout(d->hdr.fields);
        if (d->hdr.hasMdx) {
            bool found = false;
            d->mdxPath = findCompanion(path, ".MDX", &found);
            if (!found)
                throw DatabaseError("The production index " + d->mdxPath.filename().string() +
                                        " of table " + d->name + " is missing",
                                    Kind::NotFound);
            d->mdx = MdxFile::open(fs, d->mdxPath, mode != OpenMode::ReadOnly);
            d->compileTags();
        } else {
            d->mdxPath = findCompanion(path, ".MDX");
        }
    }
    d->repairIfSoleUser();
    std::unique_ptr<Table> t(new Table(std::move(d)));
    t->first();
    return t;
}

void Table::removeMdxByte(const fs::path& path) {
    try {
        auto f = FileSystem::native().open(path, FileMode::ReadWrite);
        std::uint8_t h[32];
        if (f->readAt(0, h, sizeof h) != sizeof h || (h[0] & 0x07) != 3 || h[28] == 0)
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
        throw DatabaseError("Field '" + std::string(name) + "' not found in table " + d->name,
                            Kind::NotFound);
    return i;
}
std::uint8_t Table::languageDriver() const {
    return d->hdr.languageDriver;
}
CodePage Table::codePage() const {
    std::uint8_t b = d->hdr.languageDriver;
    return b == 0x01 || b == 0x1B ? CodePage::Dos437 : CodePage::Windows1252;
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
        if (!d->mdx) {
            // A stray index without the header flag is not ours: replace it.
            d->mdx = MdxFile::create(d->fs, d->mdxPath, d->path.stem().string());
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
        d->compileTags();
        d->selected = selectedName.empty() ? -1 : d->tagIndex(selectedName);
        d->main.reset(d->selected);
        d->updateTagFlags();
        d->dataChangedLocally();
    });
    if (d->main.tag >= 0 || d->cur == 0)
        first();
    d->notifyStructure();
}

void Table::deleteTag(std::string_view name) {
    d->checkBrowseMode();
    int idx = d->tagIndex(name);
    if (idx < 0)
        throw DatabaseError("Index tag '" + std::string(name) + "' not found in " + d->name,
                            Kind::NotFound);
    d->withSoleUse("Deleting an index tag", [&] {
        std::string selectedName = d->selected >= 0 && d->selected != idx
                                       ? d->mdx->tags()[std::size_t(d->selected)].name
                                       : std::string();
        d->mdx->dropTag(name);
        d->compileTags();
        d->selected = selectedName.empty() ? -1 : d->tagIndex(selectedName);
        d->main.reset(d->selected);
        d->updateTagFlags();
        if (!d->hasTags()) {
            d->mdx.reset();
            d->fs.remove(d->mdxPath);
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
            throw DatabaseError("Index tag '" + std::string(name) + "' not found in " + d->name,
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

void Table::regenerateIndexes(const Progress& progress) {
    d->checkBrowseMode();
    std::string selectedName = selectedTag();
    d->withSoleUse("Rebuilding the indexes", [&] {
        d->refreshHeader();
        d->regenerate(progress);
        d->updateTagFlags();
        d->selected = selectedName.empty() ? -1 : d->tagIndex(selectedName);
        d->main.reset(d->selected);
        d->dataChangedLocally();
    });
    first();
    d->notifyData();
}

void Table::pack(const Progress& progress) {
    d->checkBrowseMode();
    std::string selectedName = selectedTag();
    d->withSoleUse("Packing", [&] {
        Impl& t = *d;
        t.refreshHeader();
        for (std::size_t i = 0; i < t.exprs.size(); ++i)
            if (!t.exprs[i])
                throw DatabaseError("The index tag " + t.mdx->tags()[i].name +
                                        " cannot be rebuilt: " + t.exprErrors[i],
                                    Kind::InvalidExpression);
        std::uint64_t tagCount = t.hasTags() ? t.mdx->tags().size() : 0;
        std::uint64_t total = std::uint64_t(t.count()) * (1 + tagCount);

        // 1. The new table beside the old one.
        fs::path tmp = t.path;
        tmp += ".tmp";
        auto out = t.fs.open(tmp, FileMode::Create);
        dbf::Header nh = t.hdr;
        nh.recordCount = 0;
        nh.lastUpdate = dbf::today();
        auto headerBytes = dbf::buildHeader(nh);
        nh.headerLength = std::uint16_t(headerBytes.size());
        out->writeAt(0, headerBytes.data(), headerBytes.size());
        std::vector<std::uint8_t> buf;
        buf.reserve(kStreamChunk + t.recLen());
        std::uint64_t at = nh.headerLength;
        Streamer s(*t.file, t.hdr, t.count());
        std::uint32_t recno = 0;
        std::uint64_t done = 0;
        while (const std::uint8_t* rec = s.next(recno)) {
            if (rec[0] != '*') {
                buf.insert(buf.end(), rec, rec + t.recLen());
                ++nh.recordCount;
            }
            if (buf.size() >= kStreamChunk) {
                out->writeAt(at, buf.data(), buf.size());
                at += buf.size();
                buf.clear();
            }
            if (progress && (++done & 0xFFF) == 0)
                progress(done, total);
        }
        buf.push_back(dbf::kEndMark);
        out->writeAt(at, buf.data(), buf.size());
        headerBytes = dbf::buildHeader(nh);
        out->writeAt(0, headerBytes.data(), headerBytes.size());
        out->sync();

        // 2. Its index, from the new records.
        fs::path tmpMdx = t.mdxPath;
        tmpMdx += ".tmp";
        if (tagCount > 0) {
            { auto fresh = t.buildIndexFile(*out, nh, tmpMdx, progress, done, total); }
            t.syncPath(tmpMdx);
        }
        // The new file carries our locks across the rename.
        if (!out->tryLockFile(t.mode == OpenMode::Exclusive ? File::OpenLock::Exclusive
                                                            : File::OpenLock::Shared) ||
            !out->tryLockRange(dbf::kUsersLock, 1, true))
            throw DatabaseError("Packing requires exclusive use of the table " + t.name,
                                Kind::InUse);

        // 3. Swap. The old index is marked as mid-change first, so a crash
        // between the two renames leaves the new table with an index that is
        // rebuilt at the next open.
        try {
            if (tagCount > 0) {
                t.mdx->beginUpdate();
                t.mdx->markNow();
                t.syncPath(t.mdxPath);
            }
            t.fs.rename(tmp, t.path);
        } catch (...) {
            // Still the old pair: unmark the index, drop the new files.
            try {
                if (tagCount > 0)
                    t.mdx->endUpdate();
                t.fs.remove(tmp);
                t.fs.remove(tmpMdx);
            } catch (...) {
            }
            throw;
        }
        syncDirectory(t.path.parent_path());
        t.file = std::move(out);
        t.hdr = nh;
        t.dataChangedLocally();
        if (tagCount > 0) {
            try {
                t.mdx.reset();
                t.fs.rename(tmpMdx, t.mdxPath);
                syncDirectory(t.path.parent_path());
                t.mdx = MdxFile::open(t.fs, t.mdxPath, true);
                t.compileTags();
            } catch (...) {
                // The new table stands beside the old, marked index: refuse
                // writes until it is rebuilt (the next open does it).
                t.needsRebuild = true;
                try {
                    if (!t.mdx)
                        t.mdx = MdxFile::open(t.fs, t.mdxPath, true);
                    t.compileTags();
                } catch (...) {
                }
                t.selected = -1;
                t.main.reset(-1);
                throw;
            }
        }
        t.needsRebuild = false;
        t.selected = selectedName.empty() ? -1 : t.tagIndex(selectedName);
        t.main.reset(t.selected);
        t.dataChangedLocally();
        if (progress)
            progress(total, total);
    });
    first();
    d->notifyStructure();
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

// ---- cursor

void Table::setFilter(RecordFilter filter) {
    d->filter = std::move(filter);
    d->countCache.reset();
    d->rowsValid = false;
    d->rows.clear();
    d->notifyData();
}

void Table::setShowDeleted(bool show) {
    if (d->showDeleted == show)
        return;
    d->showDeleted = show;
    d->countCache.reset();
    d->rowsValid = false;
    d->rows.clear();
    d->notifyData();
}
bool Table::showDeleted() const {
    return d->showDeleted;
}

void Table::first() {
    d->checkBrowseMode();
    d->refreshHeader();
    if (d->firstPassing(d->main)) {
        d->setCurrent(d->main.recno);
        d->bof = true;
        d->eof = false;
    } else {
        d->goEmpty();
    }
    d->notifyCurrent();
}

void Table::last() {
    d->checkBrowseMode();
    d->refreshHeader();
    if (d->lastPassing(d->main)) {
        d->setCurrent(d->main.recno);
        d->eof = true;
        d->bof = false;
    } else {
        d->goEmpty();
    }
    d->notifyCurrent();
}

void Table::next() {
    d->checkBrowseMode();
    if (d->cur == 0) {
        d->eof = true;
        return;
    }
    while (d->main.next()) {
        if (d->passes(d->main.recno, d->walkDir())) {
            d->setCurrent(d->main.recno);
            d->bof = false;
            d->eof = false;
            d->notifyCurrent();
            return;
        }
    }
    d->main.positionAt(d->cur);
    d->eof = true;
}

void Table::prior() {
    d->checkBrowseMode();
    if (d->cur == 0) {
        d->bof = true;
        return;
    }
    while (d->main.prior()) {
        if (d->passes(d->main.recno, d->main.tag < 0 ? -1 : 0)) {
            d->setCurrent(d->main.recno);
            d->bof = false;
            d->eof = false;
            d->notifyCurrent();
            return;
        }
    }
    d->main.positionAt(d->cur);
    d->bof = true;
}

bool Table::bof() const {
    return d->bof;
}
bool Table::eof() const {
    return d->eof;
}
std::uint32_t Table::recno() const {
    return d->cur;
}

bool Table::goToRecord(std::uint32_t recno) {
    d->checkBrowseMode();
    if (recno == 0 || recno > d->count() || !d->passes(recno, 0) || !d->main.positionAt(recno))
        return false;
    d->setCurrent(recno);
    d->bof = d->eof = false;
    d->notifyCurrent();
    return true;
}

void Table::refresh() {
    d->checkBrowseMode();
    std::uint32_t before = d->count();
    d->refreshHeader();
    d->countCache.reset();
    d->rowsValid = false;
    d->rows.clear();
    if (d->cur && d->cur <= d->count())
        d->setCurrent(d->cur);
    if (before != d->count() || d->shared())
        d->notifyData();
}

Table::Bookmark Table::bookmark() const {
    return Bookmark{d->cur};
}
bool Table::gotoBookmark(const Bookmark& mark) {
    return goToRecord(mark.recno);
}

bool Table::findNearestKey(const std::vector<std::uint8_t>& key) {
    d->checkBrowseMode();
    if (d->selected < 0)
        throw DatabaseError("No index tag is selected for table " + d->name);
    d->refreshHeader();
    std::size_t len = std::min<std::size_t>(
        key.size(), std::size_t(d->mdx->tags()[std::size_t(d->selected)].keyLength));
    bool ok = d->main.seek(key.data(), len);
    while (ok && !d->passes(d->main.recno, 0))
        ok = d->main.next();
    if (!ok) {
        last();
        return false;
    }
    d->setCurrent(d->main.recno);
    d->bof = d->eof = false;
    d->notifyCurrent();
    return true;
}

bool Table::findNearest(std::string_view text) {
    if (d->selected < 0)
        throw DatabaseError("No index tag is selected for table " + d->name);
    const TagInfo& tag = d->mdx->tags()[std::size_t(d->selected)];
    if (tag.type == KeyType::Numeric) {
        auto v = dbf::parseNumber(text);
        if (!v)
            throw DatabaseError("'" + std::string(text) + "' is not a number", Kind::InvalidValue);
        return findNearest(*v);
    }
    if (tag.type == KeyType::Date) {
        auto v = dbf::parseDate(text);
        if (!v)
            throw DatabaseError("'" + std::string(text) + "' is not a date", Kind::InvalidValue);
        return findNearest(*v);
    }
    return findNearestKey(std::vector<std::uint8_t>(text.begin(), text.end()));
}

namespace {
void requireKeyType(const Table& t, KeyType type) {
    for (const TagInfo& tag : t.tags())
        if (tag.name == t.selectedTag() && tag.type != type)
            throw DatabaseError("The index tag " + tag.name + " does not hold keys of that type",
                                Kind::InvalidValue);
}
} // namespace

bool Table::findNearest(double number) {
    requireKeyType(*this, KeyType::Numeric);
    std::vector<std::uint8_t> key(kNumericKeyLength);
    encodeNumericKey(number, key.data());
    return findNearestKey(key);
}

bool Table::findNearest(const Date& date) {
    requireKeyType(*this, KeyType::Date);
    std::vector<std::uint8_t> key(kDateKeyLength);
    encodeDateKey(date, key.data());
    return findNearestKey(key);
}

std::uint32_t Table::scanAfterCurrent(const std::function<bool(const RecordView&)>& visit) {
    if (d->cur == 0)
        return 0;
    Impl::Walker w;
    w.t = d.get();
    w.reset(d->main.tag);
    if (!w.positionAt(d->cur))
        return 0;
    while (w.next()) {
        const std::uint8_t* rec = d->readRecord(w.recno, d->walkDir());
        if (d->passesBuf(w.recno, rec) && visit(RecordView(rec, &d->layout, w.recno)))
            return w.recno;
    }
    return 0;
}

void Table::scan(const std::function<bool(const RecordView&)>& visit) {
    Impl::Walker w;
    w.t = d.get();
    w.reset(d->main.tag);
    for (bool ok = w.first(); ok; ok = w.next()) {
        const std::uint8_t* rec = d->readRecord(w.recno, d->walkDir());
        if (d->passesBuf(w.recno, rec) && visit(RecordView(rec, &d->layout, w.recno)))
            return;
    }
}

// ---- counts and rows

std::uint32_t Table::recordCount() {
    if (d->rowsValid)
        return std::uint32_t(d->rows.size());
    if (!d->filter && d->showDeleted)
        return d->count();
    if (!d->countCache) {
        std::uint32_t n = 0, recno = 0;
        Streamer s(*d->file, d->hdr, d->count());
        while (const std::uint8_t* rec = s.next(recno))
            n += d->passesBuf(recno, rec) ? 1 : 0;
        d->countCache = n;
    }
    return *d->countCache;
}

std::uint32_t Table::rowCount() {
    if (!d->rowsValid) {
        Impl& t = *d;
        t.rows.clear();
        bool plain = !t.filter && t.showDeleted;
        if (t.selected < 0 && plain) {
            t.rows.resize(t.count());
            std::iota(t.rows.begin(), t.rows.end(), 1u);
        } else if (t.selected < 0) {
            std::uint32_t recno = 0;
            Streamer s(*t.file, t.hdr, t.count());
            while (const std::uint8_t* rec = s.next(recno))
                if (t.passesBuf(recno, rec))
                    t.rows.push_back(recno);
        } else {
            // One pass over the table for the filter, one over the tag's leaves.
            std::vector<std::uint8_t> ok(std::size_t(t.count()) + 1, plain ? 1 : 0);
            if (!plain) {
                std::uint32_t recno = 0;
                Streamer s(*t.file, t.hdr, t.count());
                while (const std::uint8_t* rec = s.next(recno))
                    ok[recno] = t.passesBuf(recno, rec) ? 1 : 0;
            }
            auto c = t.mdx->cursor(t.selected);
            for (bool more = c->first(); more; more = c->next()) {
                std::uint32_t r = c->current().recno;
                if (r >= 1 && r <= t.count() && ok[r]) {
                    t.rows.push_back(r);
                    ok[r] = 0;
                }
            }
        }
        t.rowsValid = true;
        t.countCache = std::uint32_t(t.rows.size());
    }
    return std::uint32_t(d->rows.size());
}

std::uint32_t Table::recordAtRow(std::uint32_t row) {
    if (row >= rowCount())
        return 0;
    return d->rows[row];
}

std::optional<std::uint32_t> Table::currentRow() {
    if (d->cur == 0)
        return std::nullopt;
    rowCount();
    const auto& rows = d->rows;
    if (d->selected < 0) {
        auto it = std::lower_bound(rows.begin(), rows.end(), d->cur);
        if (it != rows.end() && *it == d->cur)
            return std::uint32_t(it - rows.begin());
        return std::nullopt;
    }
    auto it = std::find(rows.begin(), rows.end(), d->cur);
    if (it == rows.end())
        return std::nullopt;
    return std::uint32_t(it - rows.begin());
}

bool Table::moveToRow(std::uint32_t row) {
    std::uint32_t r = recordAtRow(row);
    return r != 0 && goToRecord(r);
}

RecordView Table::record(std::uint32_t recno) {
    if (recno == 0 || recno > d->count())
        throw DatabaseError("Record " + std::to_string(recno) + " does not exist in " + d->name,
                            Kind::NotFound);
    return RecordView(d->readRecord(recno, 0), &d->layout, recno);
}

// ---- field access

std::string Table::raw(std::string_view name) const {
    return std::string(RecordView(d->buffer().data(), &d->layout, d->cur).raw(fieldIndex(name)));
}
std::string Table::text(std::string_view name) const {
    return std::string(RecordView(d->buffer().data(), &d->layout, d->cur).text(fieldIndex(name)));
}
std::optional<double> Table::number(std::string_view name) const {
    return RecordView(d->buffer().data(), &d->layout, d->cur).number(fieldIndex(name));
}
std::optional<Date> Table::date(std::string_view name) const {
    return RecordView(d->buffer().data(), &d->layout, d->cur).date(fieldIndex(name));
}
bool Table::isEmpty(std::string_view name) const {
    return RecordView(d->buffer().data(), &d->layout, d->cur).isEmpty(fieldIndex(name));
}
bool Table::isDeleted() const {
    return d->buffer()[0] == '*';
}

void Table::setText(std::string_view name, std::string_view value) {
    int i = fieldIndex(name);
    std::uint8_t* out = d->editField(i);
    std::vector<std::uint8_t> tmp(std::size_t(field(i).length));
    dbf::formatText(value, field(i), tmp.data());
    std::memcpy(out, tmp.data(), tmp.size());
}

void Table::setNumber(std::string_view name, std::optional<double> value) {
    int i = fieldIndex(name);
    const FieldLayout& f = field(i);
    if (f.type != 'N' && f.type != 'F')
        throw DatabaseError("Field '" + f.name + "' is not a number field", Kind::InvalidValue);
    std::uint8_t* out = d->editField(i);
    std::vector<std::uint8_t> tmp(std::size_t(f.length), ' ');
    if (value)
        dbf::formatNumber(*value, f, tmp.data());
    std::memcpy(out, tmp.data(), tmp.size());
}

void Table::setDate(std::string_view name, std::optional<Date> value) {
    int i = fieldIndex(name);
    const FieldLayout& f = field(i);
    if (f.type != 'D')
        throw DatabaseError("Field '" + f.name + "' is not a date field", Kind::InvalidValue);
    std::uint8_t* out = d->editField(i);
    std::vector<std::uint8_t> tmp(std::size_t(f.length));
    dbf::formatDate(value, f, tmp.data());
    std::memcpy(out, tmp.data(), tmp.size());
}

void Table::clear(std::string_view name) {
    int i = fieldIndex(name);
    std::uint8_t* out = d->editField(i);
    std::memset(out, ' ', std::size_t(field(i).length));
}

// ---- editing

Table::State Table::state() const {
    return d->state;
}

void Table::edit() {
    if (d->state != State::Browse)
        return;
    d->checkWritable();
    if (d->cur == 0)
        throw DatabaseError("The table " + d->name + " has no current record to edit");
    if (d->shared()) {
        if (!d->file->tryLockRange(dbf::recordLockOffset(d->cur), 1))
            throw DatabaseError("Record " + std::to_string(d->cur) + " is locked by another user",
                                Kind::InUse);
        d->lockedRecord = d->cur;
        d->dropCaches();
    }
    try {
        d->editBuf.resize(d->recLen());
        d->file->readExact(d->hdr.recordOffset(d->cur), d->editBuf.data(), d->recLen(), "a record");
    } catch (...) {
        cancel();
        throw;
    }
    d->state = State::Edit;
}

void Table::insert() {
    d->checkBrowseMode();
    d->checkWritable();
    d->editBuf.assign(d->recLen(), ' ');
    d->state = State::Insert;
}

void Table::cancel() {
    if (d->lockedRecord) {
        d->file->unlockRange(dbf::recordLockOffset(d->lockedRecord), 1);
        d->lockedRecord = 0;
    }
    d->state = State::Browse;
    d->editBuf.clear();
}

void Table::post() {
    Impl& t = *d;
    if (t.state == State::Browse)
        return;
    t.checkWritable();
    const bool inserting = t.state == State::Insert;
    const std::size_t tagCount = t.hasTags() ? t.mdx->tags().size() : 0;
    std::vector<std::vector<std::uint8_t>> newKeys(tagCount);
    for (std::size_t i = 0; i < tagCount; ++i)
        newKeys[i] = t.keyOf(int(i), t.editBuf.data());

    std::uint32_t recno = t.cur;
    Date today = dbf::today();
    std::vector<std::uint8_t> old;
    {
        Impl::RangeLock lock(t.lockTarget(), dbf::kHeaderLock);
        if (t.shared()) {
            std::uint8_t b[8];
            t.file->readExact(0, b, sizeof b, "the header");
            std::uint32_t n = std::uint32_t(b[4]) | (std::uint32_t(b[5]) << 8) |
                              (std::uint32_t(b[6]) << 16) | (std::uint32_t(b[7]) << 24);
            if (n != t.hdr.recordCount) {
                t.hdr.recordCount = n; // others appended: what we counted is stale
                t.countCache.reset();
                t.rowsValid = false;
                t.rows.clear();
            }
        }
        if (tagCount > 0) {
            t.mdx->refresh();
            if (t.mdx->interrupted()) {
                t.needsRebuild = true;
                t.checkWritable();
            }
        }
        std::vector<std::vector<std::uint8_t>> oldKeys(tagCount);
        if (!inserting) {
            old.resize(t.recLen());
            t.file->readExact(t.hdr.recordOffset(recno), old.data(), old.size(), "a record");
            for (std::size_t i = 0; i < tagCount; ++i)
                oldKeys[i] = t.keyOf(int(i), old.data());
        }
        // The index is marked as mid-change before the table, so a crash
        // anywhere below is caught at the next open.
        if (tagCount > 0) {
            t.mdx->beginUpdate();
            t.mdx->markNow();
        }
        std::uint8_t hb[7];
        dbf::putDate(hb, today);
        try {
            if (inserting) {
                recno = t.hdr.recordCount + 1;
                std::vector<std::uint8_t> rec(t.editBuf);
                rec.push_back(dbf::kEndMark);
                t.file->writeAt(t.hdr.recordOffset(recno), rec.data(), rec.size());
                std::uint64_t end = t.hdr.recordOffset(recno) + t.recLen() + 1;
                if (t.file->size() > end)
                    t.file->truncate(end); // leftovers of a writer that died
                for (int i = 0; i < 4; ++i)
                    hb[3 + i] = std::uint8_t(recno >> (8 * i));
                t.file->writeAt(dbf::kDateOffset, hb, 7);
                t.hdr.recordCount = recno;
                t.hdr.lastUpdate = today;
            } else {
                t.file->writeAt(t.hdr.recordOffset(recno), t.editBuf.data(), t.recLen());
            }
        } catch (...) {
            // Whatever reached the disk must not disagree with the index.
            // An append is harmless until the count names it; a half-written
            // edit gets its old bytes back.
            bool consistent = false;
            try {
                if (inserting) {
                    std::uint8_t b[4];
                    t.file->readExact(4, b, 4, "the header");
                    std::uint32_t n = std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) |
                                      (std::uint32_t(b[2]) << 16) | (std::uint32_t(b[3]) << 24);
                    consistent = n < recno;
                } else {
                    t.file->writeAt(t.hdr.recordOffset(recno), old.data(), old.size());
                    consistent = true;
                }
            } catch (...) {
            }
            if (tagCount > 0) {
                if (consistent)
                    t.mdx->endUpdate();
                else
                    t.needsRebuild = true; // the mark stays for the next open
            }
            t.dataChangedLocally();
            throw;
        }
        try {
            for (std::size_t i = 0; i < tagCount; ++i) {
                if (inserting) {
                    t.mdx->insertKey(int(i), newKeys[i].data(), recno);
                } else if (oldKeys[i] != newKeys[i]) {
                    t.mdx->removeKey(int(i), oldKeys[i].data(), recno);
                    t.mdx->insertKey(int(i), newKeys[i].data(), recno);
                }
            }
            if (tagCount > 0)
                t.mdx->endUpdate();
        } catch (...) {
            t.needsRebuild = true;
            t.dataChangedLocally();
            throw;
        }
        if (!inserting && !(t.hdr.lastUpdate == today)) {
            t.file->writeAt(dbf::kDateOffset, hb, 3);
            t.hdr.lastUpdate = today;
        }
    }
    if (t.lockedRecord) {
        t.file->unlockRange(dbf::recordLockOffset(t.lockedRecord), 1);
        t.lockedRecord = 0;
    }
    t.state = State::Browse;
    t.recordChanged(recno, inserting ? nullptr : old.data(), t.editBuf.data());
    t.curBuf.swap(t.editBuf);
    t.editBuf.clear();
    t.cur = recno;
    t.main.positionAt(recno);
    t.bof = t.eof = false;
    t.notifyData();
    t.notifyCurrent();
}

void Table::deleteRecord() {
    d->setDeletedFlag('*');
    std::uint32_t was = d->cur;
    d->main.positionAt(was);
    if (!d->showDeleted) {
        // The record leaves the view: go to the one after it, or before it.
        bool moved = false;
        while (d->main.next())
            if ((moved = d->passes(d->main.recno, d->walkDir())))
                break;
        if (!moved) {
            d->main.positionAt(was);
            while (d->main.prior())
                if ((moved = d->passes(d->main.recno, 0)))
                    break;
        }
        if (moved) {
            d->setCurrent(d->main.recno);
            d->bof = d->eof = false;
        } else {
            d->goEmpty();
        }
    }
    d->notifyData();
    d->notifyCurrent();
}

void Table::recall() {
    d->setDeletedFlag(' ');
    d->notifyData();
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

// ---- check

std::vector<std::string> Table::check() {
    Impl& t = *d;
    t.refreshHeader();
    std::vector<std::string> problems;
    const std::size_t limit = 100;
    std::size_t more = 0;
    auto report = [&](std::string p) {
        if (problems.size() < limit)
            problems.push_back(std::move(p));
        else
            ++more;
    };
    std::uint64_t size = t.file->size();
    if (size < t.hdr.dataEnd() + 1) {
        report("The end-of-file mark after the last record is missing");
    } else {
        std::uint8_t mark = 0;
        t.file->readAt(t.hdr.dataEnd(), &mark, 1);
        if (mark != dbf::kEndMark)
            report("The byte after the last record is not the end-of-file mark");
        if (size > t.hdr.dataEnd() + 1)
            report("The file holds " + std::to_string(size - t.hdr.dataEnd() - 1) +
                   " bytes after the end-of-file mark");
    }

    const std::size_t tagCount = t.hasTags() ? t.mdx->tags().size() : 0;
    std::vector<std::vector<std::uint8_t>> keys(tagCount);
    for (std::size_t i = 0; i < tagCount; ++i)
        if (t.exprs[i])
            keys[i].resize(std::size_t(t.count()) * std::size_t(t.exprs[i]->keyLength()));
    {
        Streamer s(*t.file, t.hdr, t.count());
        std::uint32_t recno = 0;
        while (const std::uint8_t* rec = s.next(recno)) {
            if (rec[0] != ' ' && rec[0] != '*')
                report("Record " + std::to_string(recno) + " has an unknown deletion flag");
            RecordView v(rec, &t.layout, recno);
            for (int f = 0; f < int(t.layout.fields().size()); ++f)
                if (!dbf::isWellFormed(v.raw(f), t.layout.fields()[std::size_t(f)].type))
                    report("Record " + std::to_string(recno) + ": field " +
                           t.layout.fields()[std::size_t(f)].name + " holds '" +
                           std::string(v.raw(f)) + "', which is not a valid value");
            for (std::size_t i = 0; i < tagCount; ++i)
                if (t.exprs[i]) {
                    std::size_t kl = std::size_t(t.exprs[i]->keyLength());
                    t.exprs[i]->evaluate(rec, keys[i].data() + (recno - 1) * kl);
                }
        }
    }
    if (t.needsRebuild)
        report("The index was left half-updated and must be rebuilt");
    for (std::size_t i = 0; i < tagCount; ++i) {
        const TagInfo& info = t.mdx->tags()[i];
        std::string tagName = "Tag " + info.name + ": ";
        for (auto& p : t.mdx->check(int(i)))
            report(tagName + p);
        if (!t.exprErrors[i].empty())
            report(tagName + t.exprErrors[i]);
        if (!t.exprs[i])
            continue;
        std::size_t kl = std::size_t(t.exprs[i]->keyLength());
        std::vector<std::uint8_t> seen(std::size_t(t.count()) + 1, 0);
        auto c = t.mdx->cursor(int(i));
        for (bool ok = c->first(); ok; ok = c->next()) {
            KeyEntry e = c->current();
            if (e.recno == 0 || e.recno > t.count()) {
                report(tagName + "an entry points to record " + std::to_string(e.recno) +
                       ", past the last record");
                continue;
            }
            if (seen[e.recno] < 2)
                ++seen[e.recno];
            if (int(kl) == info.keyLength &&
                compareKeys(info.type, e.key, keys[i].data() + (e.recno - 1) * kl, kl) != 0)
                report(tagName + "the key of record " + std::to_string(e.recno) +
                       " does not match the record");
        }
        for (std::uint32_t r = 1; r <= t.count(); ++r)
            if (seen[r] > 1 || (seen[r] == 0 && !info.unique)) // unique tags skip repeats
                report(tagName + "record " + std::to_string(r) +
                       (seen[r] == 0 ? " has no entry" : " has more than one entry"));
    }
    if (more)
        problems.push_back("... and " + std::to_string(more) + " more problems");
    return problems;
}

} // namespace shelvix::db
