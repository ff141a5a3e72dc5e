#pragma once

// The state behind Table, shared by the files that implement it: reading
// and cursors (table_read.cpp), the write path (table_write.cpp), pack and
// regenerate (table_pack.cpp), check and repair (table_check.cpp), and the
// rest (table.cpp). Private to the engine.

#include "db/engine/bytes.h"
#include "db/engine/dbf.h"
#include "db/engine/mdx.h"
#include "db/engine/table.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace shelvix::db {

inline constexpr std::size_t kStreamChunk = 1 << 20;   // bytes per read where a map cannot serve
inline constexpr std::size_t kMapWindow = 8 << 20;     // bytes mapped at a time by a scan
inline constexpr std::size_t kWindowBytes = 64 * 1024; // read-ahead while walking record order
inline constexpr std::size_t kRandomCacheSlots = 1024; // direct-mapped by record number

inline std::string displayName(const std::filesystem::path& p) {
    return p.filename().string();
}

// Reads records `first` to `count` front to back: through a mapped window at
// a time (the filter then runs on the file's own pages, and what was scanned
// leaves memory with its window), or in large page-aligned reads where the
// file cannot be mapped, the next window always advised ahead. `count` comes
// from the header as read under its lock, so every byte read is in the file.
class Streamer {
public:
    Streamer(File& file, const dbf::Header& h, std::uint32_t count, std::uint32_t first = 1)
        : file_(file), h_(h), count_(count), nextRecno_(first) {
        perMap_ = std::uint32_t(std::max<std::size_t>(1, kMapWindow / h.recordLength));
        perChunk_ = std::uint32_t(std::max<std::size_t>(1, kStreamChunk / h.recordLength));
    }
    // The next record or nullptr at the end.
    const std::uint8_t* next(std::uint32_t& recno) {
        if (nextRecno_ > count_)
            return nullptr;
        if (nextRecno_ >= bufFirst_ + bufCount_ || bufCount_ == 0)
            load(nextRecno_);
        recno = nextRecno_++;
        return base_ + std::size_t(recno - bufFirst_) * h_.recordLength;
    }

private:
    void load(std::uint32_t first) {
        bufFirst_ = first;
        bufCount_ = 0;
        map_.reset();
        const std::uint64_t left = std::uint64_t(count_) - first + 1;
        if (!noMap_) {
            const auto n = std::uint32_t(std::min<std::uint64_t>(perMap_, left));
            map_ = file_.map(h_.recordOffset(first), std::uint64_t(n) * h_.recordLength, true);
            if (map_) {
                base_ = map_->data;
                bufCount_ = n;
                adviseAfter(n);
                return;
            }
            noMap_ = true;
        }
        const auto n = std::uint32_t(std::min<std::uint64_t>(perChunk_, left));
        const std::uint64_t at = h_.recordOffset(first);
        const std::uint64_t from = at / 4096 * 4096;
        const std::size_t bytes = std::size_t(at - from) + std::size_t(n) * h_.recordLength;
        buf_.resize(bytes);
        file_.readExact(from, buf_.data(), bytes, "the records");
        base_ = buf_.data() + (at - from);
        bufCount_ = n;
        adviseAfter(n);
    }
    void adviseAfter(std::uint32_t n) {
        const std::uint32_t next = bufFirst_ + n;
        if (next <= count_) {
            const auto ahead = std::min<std::uint64_t>(noMap_ ? perChunk_ : perMap_,
                                                       std::uint64_t(count_) - next + 1);
            file_.adviseWillRead(h_.recordOffset(next), ahead * h_.recordLength);
        }
    }

    File& file_;
    const dbf::Header& h_;
    std::uint32_t count_;
    std::uint32_t perMap_, perChunk_;
    bool noMap_ = false;
    std::unique_ptr<File::Mapping> map_;
    std::vector<std::uint8_t> buf_;
    const std::uint8_t* base_ = nullptr;
    std::uint32_t bufFirst_ = 1, bufCount_ = 0, nextRecno_ = 1;
};

struct Table::Impl {
    using Kind = DatabaseError::Kind;
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
    std::filesystem::path path;
    std::string name;
    OpenMode mode;
    std::unique_ptr<File> file;
    dbf::Header hdr;
    RecordLayout layout;

    std::unique_ptr<MdxFile> mdx;
    std::filesystem::path mdxPath;
    std::vector<std::optional<KeyExpression>> exprs; // per tag of mdx
    std::vector<std::string> exprErrors;
    int selected = -1;
    bool needsRebuild = false;
    std::vector<std::string> repairs; // made by the open
    bool source = false;              // openSource(): its count is fixed at open
    bool tableOnly = false;           // openTableOnly(): its index left unread
    std::uint32_t pastCount = 0;      // records it found past the header's count
    std::uint64_t indexGen = 1;

    // Records read one at a time come from a view of the whole file, which
    // reaches past its end to leave room for growth and is replaced by a
    // larger one when outgrown. An outgrown view stays mapped while the table
    // is open (pointers into it may still be in use), until pack replaces
    // the file. Where the file cannot be mapped, two caches instead: a
    // read-ahead window for record order, a small direct-mapped one else.
    std::unique_ptr<File::Mapping> view;
    std::vector<std::unique_ptr<File::Mapping>> outgrown;
    bool noView = false;
    const std::uint8_t* viewed(std::uint32_t recno);
    void releaseViews() {
        view.reset();
        outgrown.clear();
        noView = false;
    }
    std::vector<std::uint8_t> window;
    std::uint32_t winFirst = 0, winCount = 0;
    std::vector<std::uint8_t> apart;   // the record readApart read
    std::vector<std::uint8_t> slab;    // kRandomCacheSlots records
    std::vector<std::uint32_t> slotOf; // record number held by each slot, 0 = none

    RecordFilter filter;
    bool showDeleted = false;
    // The filter passes nothing outside these key ranges (setFilter).
    std::vector<KeyRange> within;
    bool bounded = false;
    std::optional<std::pair<int, KeyExpression::Lead>>
    leadingTag(int field, bool (*usable)(const KeyExpression::Lead&)) const;
    bool inRange(const KeyRange& r, const std::uint8_t* key, bool& past) const;
    // Whether the ranges can be walked now: an index that needs rebuilding
    // cannot answer for the records. Inside a ReadSection.
    bool useRanges() const { return bounded && mdx && !needsRebuild && !mdx->interrupted(); }
    std::vector<std::uint32_t> candidates(bool inTagOrder);
    // Walks `w` on from where it stands (from its first entry when
    // `fromFirst`), offering each record number to `visit` until it answers
    // true, and returns that record number (else 0). The index is read a
    // batch at a time in a ReadSection and the records are offered between
    // the batches: a visit may take its time, and may write.
    std::uint32_t walkInBatches(Walker& w, bool fromFirst,
                                const std::function<bool(std::uint32_t)>& visit);
    // The records of the ranges the filter passes, by record number.
    std::vector<std::uint32_t> passingCandidates() {
        std::vector<std::uint32_t> out;
        const std::vector<std::uint32_t> all = candidates(false);
        // Records pages apart: a read each costs less than the page faults
        // of touching them in the map.
        const bool sparse = all.size() * kSparseGap < count();
        for (std::uint32_t r : all)
            if (passesBuf(r, sparse ? readApart(r) : readRecord(r, 0)))
                out.push_back(r);
        return out;
    }
    static constexpr std::size_t kSparseGap = 16;

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

    Impl(FileSystem& f, std::filesystem::path p, OpenMode m)
        : fs(f), path(std::move(p)), name(displayName(path)), mode(m) {
        main.t = this;
    }

    bool shared() const { return mode == OpenMode::Shared; }
    // Table text (names and values, stored or handed in) as messages show it.
    std::string shown(std::string_view bytes) const {
        return core::decode(bytes, layout.codePage());
    }

    // Bulk work in progress (beginBulk): changes are synced at its end only.
    int bulk = 0;
    bool durable() const { return bulk == 0; }

    // Appends of bulk work with the table to ourselves are held back: the
    // records gather in `pending` (from record pendingFirst) and are written
    // a megabyte at a time, the header's count once at the end, and their
    // keys go into the index together (one by one, or by rebuilding the tag
    // when they are many). The index carries its mark, synced, from the
    // first such append to the end of the bulk work, so a crash in between
    // is caught at the next open by the mark and by the records past the
    // header's count.
    bool deferring() const { return bulk > 0 && mode == OpenMode::Exclusive; }
    std::vector<std::uint8_t> pending;
    std::uint32_t pendingFirst = 0; // 0: nothing held back
    bool countBehind = false;       // the header's count is not yet written
    std::uint32_t keysFrom = 0;     // first record whose keys are held back; 0: none
    std::vector<std::vector<std::uint8_t>> pendingKeys; // per tag, from keysFrom
    bool rebuildTags = false; // too many keys held back: rebuild the tags instead
    bool markHeld = false;    // the index's update bracket stays open
    // Shared bulk work keeps the mark on across its changes instead: each
    // change closes its bracket (so others' changes are read in between) and
    // the mark is kept on while kMarkLock is held.
    bool markKept = false;
    bool markLockHeld = false;
    // A durable append's count is not yet synced (its record is).
    bool countUnsynced = false;
    void syncCount();
    void settle();
    void settleAtClose() noexcept;
    // Whether a live writer keeps the index mark on (a mark on disk is then
    // no sign of one that died).
    bool markLive();
    bool othersKeepMark();
    void keepMark();
    // At the end of shared bulk work: the mark off, unless another writer
    // keeps it on.
    void dropKeptMark();
    // A change of ours left the index half done: it waits for a rebuild, and
    // the mark we kept is no longer a live writer's to the others.
    void indexFailed() {
        needsRebuild = true;
        markKept = false;
        try {
            if (std::exchange(markLockHeld, false))
                file->unlockRange(dbf::kMarkLock, 1);
        } catch (...) {
        }
    }
    void attachIndex() {
        if (mdx)
            mdx->setLiveMark([this] { return markLive(); });
    }
    void appendHeldBack(const std::vector<std::vector<std::uint8_t>>& keys, const Date& today);
    void flushRecords();
    void settleKeys();
    // Everything held back written (the index bracket closed when `close`).
    void settleAppends(bool close);
    void syncFiles() {
        if (mode == OpenMode::ReadOnly)
            return;
        file->sync();
        if (mdx)
            mdx->sync();
    }
    std::uint32_t count() const { return hdr.recordCount; }
    std::size_t recLen() const { return hdr.recordLength; }

    // ---- locks
    // Users who share the table meet at the header lock: a writer holds it
    // as a write lock while it appends and from the index's mark to its
    // clearing; a reader of the index holds it as a read lock. A reader thus
    // walks the index as it stood before or after each change, never half of
    // one, knows every page the index has, and can tell a mark left by a
    // writer that died (seen under the lock) from a writer at work. An
    // exclusive open has no one to meet.
    bool meetsOthers() const { return mode != OpenMode::Exclusive; }
    int writeDepth = 0;             // HeaderLock held
    int readDepth = 0;              // ReadSections open
    bool readHeld = false;          // the read lock is on (outermost section)
    std::uint64_t indexReloads = 0; // times another user's index change was read in

    // The write lock of a shared open. Never taken inside a ReadSection.
    class HeaderLock {
    public:
        explicit HeaderLock(Impl& t) : t_(t.shared() ? &t : nullptr) {
            if (!t_)
                return;
            if (t_->readHeld) {
                // Turning a read lock into a write lock can deadlock with
                // another reader doing the same: let it go first.
                t_->readHeld = false;
                t_->file->unlockRange(dbf::kHeaderLock, 1);
            }
            t_->file->lockRange(dbf::kHeaderLock, 1);
            ++t_->writeDepth;
        }
        HeaderLock(const HeaderLock&) = delete;
        HeaderLock& operator=(const HeaderLock&) = delete;
        ~HeaderLock() {
            if (!t_)
                return;
            --t_->writeDepth;
            try {
                t_->file->unlockRange(dbf::kHeaderLock, 1);
            } catch (...) {
            }
        }

    private:
        Impl* t_;
    };

    // The read lock alone, while the open reads the header and the index.
    class HeaderReadLock {
    public:
        explicit HeaderReadLock(Impl& t) : f_(t.meetsOthers() ? t.file.get() : nullptr) {
            if (f_)
                f_->lockRangeShared(dbf::kHeaderLock, 1);
        }
        HeaderReadLock(const HeaderReadLock&) = delete;
        HeaderReadLock& operator=(const HeaderReadLock&) = delete;
        ~HeaderReadLock() {
            if (f_) {
                try {
                    f_->unlockRange(dbf::kHeaderLock, 1);
                } catch (...) {
                }
            }
        }

    private:
        File* f_;
    };

    // Index reads: under the read lock, with what other users changed in
    // the index read in first. Sections nest; the outermost holds the lock.
    // Nothing is written inside one, and nothing the caller runs that may
    // write (a scan's visit) runs inside one.
    class ReadSection {
    public:
        explicit ReadSection(Impl& t) : t_(t) {
            if (t_.readDepth++ > 0 || t_.writeDepth > 0 || !t_.mdx || !t_.meetsOthers())
                return;
            try {
                t_.file->lockRangeShared(dbf::kHeaderLock, 1);
                t_.readHeld = true;
                t_.readIndexAsItIs();
            } catch (...) {
                release();
                throw;
            }
        }
        ReadSection(const ReadSection&) = delete;
        ReadSection& operator=(const ReadSection&) = delete;
        ~ReadSection() { release(); }

    private:
        void release() noexcept {
            if (--t_.readDepth == 0 && t_.readHeld) {
                t_.readHeld = false;
                try {
                    t_.file->unlockRange(dbf::kHeaderLock, 1);
                } catch (...) {
                }
            }
        }
        Impl& t_;
    };
    // Under the header lock (either kind): the index as other users left
    // it. A mark seen now was left by a writer that died.
    void readIndexAsItIs() {
        if (!mdx)
            return;
        if (mdx->refresh())
            ++indexReloads;
        if (mdx->interrupted())
            needsRebuild = true;
    }
    // Entries at a time a long walk of the index reads under one section.
    static constexpr std::size_t kWalkBatch = 4096;

    // The record from a cache; dir > 0 reads ahead, < 0 behind, 0 at random.
    const std::uint8_t* readRecord(std::uint32_t recno, int dir);
    // One record read on its own, past the map (see passingCandidates).
    const std::uint8_t* readApart(std::uint32_t recno);
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
    void recordChanged(std::uint32_t recno, const std::uint8_t* before, const std::uint8_t* after);

    bool passesBuf(std::uint32_t recno, const std::uint8_t* buf) const {
        if (!showDeleted && buf[0] == '*')
            return false;
        return !filter || filter(RecordView(buf, &layout, recno));
    }
    bool passes(std::uint32_t recno, int dir) { return passesBuf(recno, readRecord(recno, dir)); }
    // The records that pass, counted by a scan (of first..last).
    std::uint32_t countPassing() const;
    std::uint32_t countPassing(std::uint32_t first, std::uint32_t last) const;
    static constexpr std::uint32_t kParallelCountFrom = 200000;

    // Re-reads the record count another user may have changed.
    void refreshHeader();
    // The record count as the file holds it now.
    std::uint32_t countOnDisk();

    // ---- notifications
    bool pendingData = false;
    // What the listeners were last told of, for catchUp().
    std::uint32_t shownCount = 0;
    std::uint64_t shownReloads = 0;
    void notifyData() {
        shownCount = count();
        shownReloads = indexReloads;
        if (disabled > 0) {
            pendingData = true;
            return;
        }
        for (auto* o : std::vector<TableObserver*>(observers))
            o->tableDataChanged();
    }
    void notifyStructure() {
        shownCount = count();
        shownReloads = indexReloads;
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
    void compileTags();
    bool hasTags() const { return mdx && !mdx->tags().empty(); }
    int tagIndex(std::string_view tagName) const { return mdx ? mdx->findTag(tagName) : -1; }

    std::vector<std::uint8_t> keyOf(int tag, const std::uint8_t* record) const {
        const KeyExpression& e = *exprs[std::size_t(tag)];
        std::vector<std::uint8_t> k(std::size_t(e.keyLength()));
        e.evaluate(record, k.data());
        return k;
    }

    std::string blockReason() const;
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
        if (tableOnly && hdr.hasMdx)
            throw DatabaseError(blockReason());
        settleAppends(true);
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
    void updateTagFlags();

    // Throws for a tag whose expression does not compile, before any work.
    void requireBuildableTags() const;
    // Builds every tag of the current table into a fresh index beside the old
    // one. The DBF is not changed.
    std::unique_ptr<MdxFile> buildIndexFile(File& table, const dbf::Header& h,
                                            const std::filesystem::path& at,
                                            const Progress& progress, std::uint64_t doneBefore,
                                            std::uint64_t total);
    void syncPath(const std::filesystem::path& p) { fs.open(p, FileMode::ReadWrite)->sync(); }

    void regenerate(const Progress& progress);

    // What follows the last counted record.
    struct Tail {
        std::uint32_t records = 0; // complete records past the count
        std::uint64_t end = 0;     // where the end mark belongs after them
        bool hasMark = false;      // and it is there
        std::uint64_t extra = 0;   // bytes after that (after the mark, when there is one)
        bool sound() const { return records == 0 && hasMark && extra == 0; }
    };
    Tail inspectTail();
    // Whether a stored key that differs from ours is one another dBASE writer
    // gives the record: a difference of convention, not damage.
    bool keyOfAnotherWriter(int tag, std::uint32_t recno, const std::uint8_t* stored,
                            const std::uint8_t* ours);

    // Repairs left by a writer that died: a half-written index, records past
    // the count, a missing end mark. Only with no other user.
    void repairIfSoleUser();
    // Takes back complete records past the count (setting `rebuildIndex`
    // when tags must learn of them) and puts the end mark right.
    void repairTail(bool& rebuildIndex);
};

} // namespace shelvix::db
