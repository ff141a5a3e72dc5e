#include "db/engine/table_impl.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace fs = std::filesystem;

namespace shelvix::db {

using Kind = DatabaseError::Kind;

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
        if (t.pendingFirst && t.cur >= t.pendingFirst)
            t.pending[std::size_t(t.cur - t.pendingFirst) * t.recLen()] = b;
        else
            t.file->writeAt(t.hdr.recordOffset(t.cur), &b, 1);
        Date today = dbf::today();
        if (!(t.hdr.lastUpdate == today)) {
            std::uint8_t hb[3];
            dbf::putDate(hb, today);
            t.file->writeAt(dbf::kDateOffset, hb, 3);
            t.hdr.lastUpdate = today;
        }
        if (t.durable())
            t.file->sync();
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

// ---- field values

void Table::setText(std::string_view name, std::string_view value) {
    int i = fieldIndex(name);
    std::uint8_t* out = d->editField(i);
    std::vector<std::uint8_t> tmp(std::size_t(field(i).length));
    dbf::formatText(value, field(i), tmp.data(), d->layout.codePage());
    std::memcpy(out, tmp.data(), tmp.size());
}

void Table::setNumber(std::string_view name, std::optional<double> value) {
    int i = fieldIndex(name);
    const FieldLayout& f = field(i);
    if (f.type != 'N' && f.type != 'F')
        throw DatabaseError("Field '" + d->shown(f.name) + "' is not a number field",
                            Kind::InvalidValue);
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
        throw DatabaseError("Field '" + d->shown(f.name) + "' is not a date field",
                            Kind::InvalidValue);
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
        d->flushRecords();
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
    if (inserting && t.deferring()) {
        t.appendHeldBack(newKeys, today);
        recno = t.hdr.recordCount;
    } else {
        t.settleAppends(false); // an edit reads its record and keys as stored
        Impl::HeaderLock lock(t);
        if (t.shared()) {
            std::uint32_t n = t.countOnDisk();
            if (n != t.hdr.recordCount) {
                t.hdr.recordCount = n; // others appended: what we counted is stale
                t.countCache.reset();
                t.rowsValid = false;
                t.rows.clear();
            }
        }
        if (tagCount > 0) {
            t.readIndexAsItIs();
            t.checkWritable();
        }
        std::vector<std::vector<std::uint8_t>> oldKeys(tagCount);
        if (!inserting) {
            old.resize(t.recLen());
            t.file->readExact(t.hdr.recordOffset(recno), old.data(), old.size(), "a record");
            for (std::size_t i = 0; i < tagCount; ++i)
                oldKeys[i] = t.keyOf(int(i), old.data());
        }
        // A damaged tree (a loop, a page past the end) is found by a reading
        // descent before anything is written, so the files stay as they were.
        for (std::size_t i = 0; i < tagCount; ++i) {
            auto probe = t.mdx->cursor(int(i));
            (void)probe->seek(newKeys[i].data(), newKeys[i].size());
            if (!inserting && oldKeys[i] != newKeys[i])
                (void)probe->seekExact(oldKeys[i].data(), recno);
        }
        // The index is marked as mid-change before the table, so a crash
        // anywhere below is caught at the next open.
        if (tagCount > 0) {
            t.mdx->beginUpdate();
            t.mdx->markNow();
            // On the disk before the first change and kept there: a power cut
            // anywhere later leaves it for the next open, which builds the
            // tags again from the table. So a change needs only its record
            // synced; the index is synced once, when the mark comes off (at
            // the close, or at the end of bulk work). Exclusive bulk work
            // holds the index's bracket open instead, writing its header once.
            if (!t.markHeld && !t.markKept) {
                try {
                    if (!t.durable() && !t.shared()) {
                        t.mdx->beginUpdate();
                        t.markHeld = true;
                    } else {
                        t.keepMark();
                    }
                    t.mdx->sync();
                } catch (...) {
                    t.mdx->endUpdate();
                    throw;
                }
            }
        }
        std::uint8_t hb[7];
        dbf::putDate(hb, today);
        // A durable append makes its record alone durable; the count follows
        // at the next sync of the table (settle, close). A power cut between
        // leaves a whole record past the count, which the next open takes
        // back, and the count is read by others from the file at once.
        bool synced = false;
        try {
            if (inserting) {
                recno = t.hdr.recordCount + 1;
                std::vector<std::uint8_t> rec(t.editBuf);
                rec.push_back(dbf::kEndMark);
                const std::uint64_t end = t.hdr.recordOffset(recno) + t.recLen() + 1;
                // Leftovers of a writer that died go, with the whole file synced.
                const bool leftovers = t.file->size() > end;
                if (t.durable() && !leftovers) {
                    t.file->writeDurably(t.hdr.recordOffset(recno), rec.data(), rec.size());
                    synced = true;
                    t.countUnsynced = true;
                } else {
                    t.file->writeAt(t.hdr.recordOffset(recno), rec.data(), rec.size());
                }
                if (leftovers)
                    t.file->truncate(end);
                put32(hb + 3, recno);
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
                    consistent = t.countOnDisk() < recno;
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
                    t.indexFailed(); // the mark stays for the next open
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
            if (tagCount > 0) {
                if (t.durable() && !synced)
                    t.file->sync(); // the keys are covered by the kept mark
                t.mdx->endUpdate();
            }
        } catch (...) {
            t.indexFailed();
            t.dataChangedLocally();
            throw;
        }
        bool dated = false;
        if (!inserting && !(t.hdr.lastUpdate == today)) {
            t.file->writeAt(dbf::kDateOffset, hb, 3);
            t.hdr.lastUpdate = today;
            dated = true;
        }
        if (t.durable() && ((tagCount == 0 && !synced) || dated))
            t.file->sync();
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
    {
        Impl::ReadSection lock(t);
        t.main.positionAt(recno);
    }
    t.bof = t.eof = false;
    t.notifyData();
    t.notifyCurrent();
}

void Table::deleteRecord() {
    d->setDeletedFlag('*');
    std::uint32_t was = d->cur;
    Impl::ReadSection lock(*d);
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

// ---- appends held back

void Table::Impl::appendHeldBack(const std::vector<std::vector<std::uint8_t>>& keys,
                                 const Date& today) {
    const std::uint32_t recno = hdr.recordCount + 1;
    if (!keys.empty() && !markHeld) {
        // On disk before any record: a crash from here on is caught.
        mdx->beginUpdate();
        markHeld = true;
        mdx->markNow();
        mdx->sync();
    }
    if (pendingFirst == 0) {
        pending.reserve(kStreamChunk + 2 * recLen());
        pendingFirst = recno;
    }
    pending.insert(pending.end(), editBuf.begin(), editBuf.end());
    hdr.recordCount = recno;
    hdr.lastUpdate = today;
    countBehind = true;
    if (!keys.empty()) {
        if (keysFrom == 0) {
            keysFrom = recno;
            pendingKeys.assign(keys.size(), {});
        }
        // Many keys against the tag's size: rebuilding it costs less than
        // inserting them one by one.
        const std::uint32_t held = recno - keysFrom + 1;
        if (!rebuildTags && held > 256 && std::uint64_t(held) * 4 > keysFrom - 1) {
            rebuildTags = true;
            pendingKeys.assign(keys.size(), {});
        }
        if (!rebuildTags)
            for (std::size_t i = 0; i < keys.size(); ++i)
                pendingKeys[i].insert(pendingKeys[i].end(), keys[i].begin(), keys[i].end());
    }
    if (pending.size() >= kStreamChunk)
        flushRecords();
}

void Table::Impl::flushRecords() {
    if (pendingFirst == 0)
        return;
    const std::uint64_t at = hdr.recordOffset(pendingFirst);
    pending.push_back(dbf::kEndMark);
    file->writeAt(at, pending.data(), pending.size());
    const std::uint64_t end = at + pending.size();
    pending.clear();
    pendingFirst = 0;
    if (file->size() > end)
        file->truncate(end); // leftovers of a writer that died
}

void Table::Impl::settleKeys() {
    if (keysFrom == 0)
        return;
    flushRecords();
    try {
        for (std::size_t i = 0; i < pendingKeys.size(); ++i) {
            if (rebuildTags) {
                TagInfo info = mdx->tags()[i];
                const KeyExpression& e = *exprs[i];
                Streamer s(*file, hdr, count());
                mdx->buildTag(info, [&](std::uint8_t* key, std::uint32_t& r) {
                    const std::uint8_t* rec = s.next(r);
                    if (!rec)
                        return false;
                    e.evaluate(rec, key);
                    return true;
                });
                continue;
            }
            // In key order: neighbours share the leaves they go to.
            const std::size_t kl = std::size_t(exprs[i]->keyLength());
            const std::vector<std::uint8_t>& keys = pendingKeys[i];
            std::vector<std::uint32_t> order(keys.size() / kl);
            for (std::uint32_t k = 0; k < order.size(); ++k)
                order[k] = k;
            const KeyType type = mdx->tags()[i].type;
            std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
                return compareKeys(type, keys.data() + a * kl, keys.data() + b * kl, kl) < 0;
            });
            for (std::uint32_t k : order)
                mdx->insertKey(int(i), keys.data() + k * kl, keysFrom + k);
        }
    } catch (...) {
        indexFailed(); // the mark stays for the next open
        throw;
    }
    keysFrom = 0;
    rebuildTags = false;
    pendingKeys.clear();
    ++indexGen;
}

void Table::Impl::settleAppends(bool close) {
    flushRecords();
    if (countBehind) {
        std::uint8_t hb[7];
        dbf::putDate(hb, hdr.lastUpdate);
        put32(hb + 3, hdr.recordCount);
        file->writeAt(dbf::kDateOffset, hb, sizeof hb);
        countBehind = false;
    }
    settleKeys();
    if (close && markHeld) {
        markHeld = false;
        mdx->endUpdate();
    }
    if (close && markKept)
        dropKeptMark();
}

bool Table::Impl::markLive() {
    return markHeld || markKept || othersKeepMark();
}

bool Table::Impl::othersKeepMark() {
    return meetsOthers() && file->lockedByOthers(dbf::kMarkLock, 1);
}

void Table::Impl::keepMark() {
    // Held before the mark reaches the disk: no one sees it unexplained.
    if (shared() && !markLockHeld) {
        file->lockRangeShared(dbf::kMarkLock, 1);
        markLockHeld = true;
    }
    markKept = true;
}

void Table::Impl::syncCount() {
    if (std::exchange(countUnsynced, false))
        file->sync();
}

void Table::Impl::settle() {
    // The index synced and its kept mark taken off, then the count of durable
    // appends synced; the mark stays on when this fails, for the next open
    // to build the tags again.
    if (markKept)
        dropKeptMark();
    syncCount();
}

void Table::Impl::settleAtClose() noexcept {
    try {
        settle();
    } catch (...) {
    }
}

void Table::Impl::dropKeptMark() {
    try {
        HeaderLock lock(*this);
        readIndexAsItIs(); // others' changes in, the mark still ours
        markKept = false;
        syncCount();
        if (!needsRebuild && !othersKeepMark()) {
            // The keys the mark covered reach the disk before it goes.
            mdx->sync();
            mdx->clearMark();
        }
    } catch (...) {
        markKept = false;
        if (std::exchange(markLockHeld, false))
            file->unlockRange(dbf::kMarkLock, 1);
        throw;
    }
    if (std::exchange(markLockHeld, false))
        file->unlockRange(dbf::kMarkLock, 1);
}

// ---- bulk work

void Table::beginBulk() {
    ++d->bulk;
}

void Table::endBulk() {
    if (d->bulk == 0)
        return;
    if (--d->bulk == 0) {
        // The records, their count and their keys reach the disk before the
        // index's mark is cleared.
        d->settleAppends(false);
        d->syncFiles();
        d->settleAppends(true);
    }
}

void Table::settle() {
    if (d->bulk == 0 && d->state == State::Browse)
        d->settle();
}

Table::Bulk::Bulk(Table& table) : table_(&table) {
    table_->beginBulk();
}

Table::Bulk::~Bulk() {
    if (!table_)
        return;
    try {
        table_->endBulk();
    } catch (...) {
    }
}

void Table::Bulk::finish() {
    Table* t = std::exchange(table_, nullptr);
    if (t)
        t->endBulk();
}

} // namespace shelvix::db
