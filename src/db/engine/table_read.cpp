#include "db/engine/table_impl.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <numeric>
#include <thread>

namespace fs = std::filesystem;

namespace shelvix::db {

using Kind = DatabaseError::Kind;

// ---------------------------------------------------------------- RecordView

int RecordView::fieldIndex(std::string_view name) const {
    int i = layout_->indexOf(name);
    if (i < 0)
        throw DatabaseError("Field '" + core::decode(name, layout_->codePage()) + "' not found",
                            Kind::NotFound);
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

// ---------------------------------------------------------------- reading

// ---- reading
const std::uint8_t* Table::Impl::viewed(std::uint32_t recno) {
    const std::uint64_t end = hdr.recordOffset(recno) + recLen();
    if (view && end <= view->length)
        return view->data + (end - recLen());
    if (noView)
        return nullptr;
    // Room for a quarter more records, and at least 64 MiB, before the next
    // view: a table that grows is mapped again only now and then.
    const std::uint64_t need = std::max(end, hdr.dataEnd());
    auto larger = file->map(0, need + std::max<std::uint64_t>(need / 4, 64u << 20), false);
    if (!larger) {
        noView = true;
        return nullptr;
    }
    if (view)
        outgrown.push_back(std::move(view));
    view = std::move(larger);
    return view->data + (end - recLen());
}

const std::uint8_t* Table::Impl::readApart(std::uint32_t recno) {
    if (pendingFirst && recno >= pendingFirst)
        return readRecord(recno, 0);
    apart.resize(recLen());
    file->readExact(hdr.recordOffset(recno), apart.data(), apart.size(), "a record");
    return apart.data();
}

const std::uint8_t* Table::Impl::readRecord(std::uint32_t recno, int dir) {
    if (pendingFirst && recno >= pendingFirst) // not in the file yet
        return pending.data() + std::size_t(recno - pendingFirst) * recLen();
    if (const std::uint8_t* p = viewed(recno))
        return p;
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

// Keeps the count and the rows right after one record changed here, so a
// post on a large table costs a few reads rather than a rescan.
void Table::Impl::recordChanged(std::uint32_t recno, const std::uint8_t* before,
                                const std::uint8_t* after) {
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

std::uint32_t Table::Impl::countOnDisk() {
    std::uint8_t b[4];
    file->readExact(4, b, sizeof b, "the header");
    return get32(b);
}

void Table::Impl::refreshHeader() {
    if (mode == OpenMode::Exclusive || source)
        return;
    std::uint32_t n = 0;
    {
        ReadSection lock(*this);
        n = countOnDisk();
    }
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
    if (t->keysFrom && r >= t->keysFrom) {
        // Its key is held back: the walk finds its place by (key, recno).
        cur.reset();
        key = t->keyOf(tag, t->readRecord(r, 0));
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

// ---- cursor

void Table::setFilter(RecordFilter filter) {
    d->filter = std::move(filter);
    d->within.clear();
    d->bounded = false;
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
    d->settleAppends(false);
    Impl::ReadSection lock(*d);
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
    d->settleAppends(false);
    Impl::ReadSection lock(*d);
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
    Impl::ReadSection lock(*d);
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
    Impl::ReadSection lock(*d);
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
    Impl::ReadSection lock(*d);
    if (recno == 0 || recno > d->count() || !d->passes(recno, 0) || !d->main.positionAt(recno))
        return false;
    d->setCurrent(recno);
    d->bof = d->eof = false;
    d->notifyCurrent();
    return true;
}

bool Table::catchUp() {
    if (d->state != State::Browse)
        return false;
    d->refreshHeader();
    if (d->count() == d->shownCount && d->indexReloads == d->shownReloads)
        return false;
    d->countCache.reset();
    d->rowsValid = false;
    d->rows.clear();
    if (d->cur && d->cur <= d->count())
        d->setCurrent(d->cur);
    d->notifyData();
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
    Impl::ReadSection lock(*d);
    d->refreshHeader();
    d->settleAppends(false);
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
            throw DatabaseError("'" + d->shown(text) + "' is not a number", Kind::InvalidValue);
        return findNearest(*v);
    }
    if (tag.type == KeyType::Date) {
        auto v = dbf::parseDate(text);
        if (!v)
            throw DatabaseError("'" + d->shown(text) + "' is not a date", Kind::InvalidValue);
        return findNearest(*v);
    }
    return findNearestKey(std::vector<std::uint8_t>(text.begin(), text.end()));
}

namespace {
void requireKeyType(const Table& t, KeyType type) {
    for (const TagInfo& tag : t.tags())
        if (tag.name == t.selectedTag() && tag.type != type)
            throw DatabaseError("The index tag " + core::decode(tag.name, t.layout().codePage()) +
                                    " does not hold keys of that type",
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
    d->settleAppends(false);
    if (d->main.tag < 0) {
        // Record order: the rest of the table as one pass.
        Streamer s(*d->file, d->hdr, d->count(), d->cur + 1);
        std::uint32_t recno = 0;
        while (const std::uint8_t* rec = s.next(recno))
            if (d->passesBuf(recno, rec) && visit(RecordView(rec, &d->layout, recno)))
                return recno;
        return 0;
    }
    Impl::Walker w;
    w.t = d.get();
    w.reset(d->main.tag);
    {
        Impl::ReadSection lock(*d);
        if (!w.positionAt(d->cur))
            return 0;
    }
    return d->walkInBatches(w, false, [&](std::uint32_t r) {
        const std::uint8_t* rec = d->readRecord(r, 0);
        return d->passesBuf(r, rec) && visit(RecordView(rec, &d->layout, r));
    });
}

void Table::scan(const std::function<bool(const RecordView&)>& visit) {
    d->settleAppends(false);
    std::optional<std::vector<std::uint32_t>> ranged;
    if (d->main.tag < 0) {
        Impl::ReadSection lock(*d);
        if (d->useRanges())
            ranged = d->candidates(false);
    }
    if (ranged) {
        for (std::uint32_t r : *ranged) {
            const std::uint8_t* rec = d->readRecord(r, 0);
            if (d->passesBuf(r, rec) && visit(RecordView(rec, &d->layout, r)))
                return;
        }
        return;
    }
    if (d->main.tag < 0) {
        Streamer s(*d->file, d->hdr, d->count());
        std::uint32_t recno = 0;
        while (const std::uint8_t* rec = s.next(recno))
            if (d->passesBuf(recno, rec) && visit(RecordView(rec, &d->layout, recno)))
                return;
        return;
    }
    Impl::Walker w;
    w.t = d.get();
    w.reset(d->main.tag);
    d->walkInBatches(w, true, [&](std::uint32_t r) {
        const std::uint8_t* rec = d->readRecord(r, 0);
        return d->passesBuf(r, rec) && visit(RecordView(rec, &d->layout, r));
    });
}

std::uint32_t Table::Impl::walkInBatches(Walker& w, bool fromFirst,
                                         const std::function<bool(std::uint32_t)>& visit) {
    std::vector<std::uint32_t> batch;
    bool more = true;
    while (more) {
        batch.clear();
        {
            ReadSection lock(*this);
            bool ok = fromFirst ? w.first() : w.next();
            fromFirst = false;
            while (ok) {
                batch.push_back(w.recno);
                if (batch.size() == kWalkBatch)
                    break;
                ok = w.next();
            }
            more = ok;
        }
        for (std::uint32_t r : batch)
            if (visit(r))
                return r;
    }
    return 0;
}

// ---- counts and rows

std::uint32_t Table::Impl::countPassing(std::uint32_t first, std::uint32_t last) const {
    std::uint32_t n = 0, recno = 0;
    Streamer s(*file, hdr, last, first);
    while (const std::uint8_t* rec = s.next(recno))
        n += passesBuf(recno, rec) ? 1 : 0;
    return n;
}

// A large table is counted in two halves at once: the filter's work and the
// mapping of the pages are shared by two cores. Filters only read.
std::uint32_t Table::Impl::countPassing() const {
    const std::uint32_t n = count();
    if (n < kParallelCountFrom || std::thread::hardware_concurrency() < 2)
        return countPassing(1, n);
    const std::uint32_t half = n / 2;
    auto second = std::async(std::launch::async, [&] { return countPassing(half + 1, n); });
    std::uint32_t counted = 0;
    try {
        counted = countPassing(1, half);
    } catch (...) {
        second.wait();
        throw;
    }
    return counted + second.get();
}

std::uint32_t Table::recordCount() {
    d->settleAppends(false);
    if (d->rowsValid)
        return std::uint32_t(d->rows.size());
    if (!d->filter && d->showDeleted)
        return d->count();
    Impl::ReadSection lock(*d);
    if (!d->countCache && d->useRanges())
        d->countCache = std::uint32_t(d->passingCandidates().size());
    if (!d->countCache)
        d->countCache = d->countPassing();
    return *d->countCache;
}

std::uint32_t Table::rowCount() {
    d->settleAppends(false);
    if (!d->rowsValid) {
        Impl& t = *d;
        Impl::ReadSection lock(t);
        t.rows.clear();
        bool plain = !t.filter && t.showDeleted;
        const bool ranged = !plain && t.useRanges();
        const bool walkSelected =
            ranged && t.selected >= 0 &&
            std::all_of(t.within.begin(), t.within.end(),
                        [&](const KeyRange& r) { return r.tag == t.selected; });
        if (t.selected < 0 && plain) {
            t.rows.resize(t.count());
            std::iota(t.rows.begin(), t.rows.end(), 1u);
        } else if (t.selected < 0 && ranged) {
            t.rows = t.passingCandidates();
        } else if (walkSelected) {
            // The ranges lie in the selected tag: their walk is the order.
            for (std::uint32_t r : t.candidates(true))
                if (t.passesBuf(r, t.readRecord(r, 0)))
                    t.rows.push_back(r);
        } else if (t.selected < 0) {
            std::uint32_t recno = 0;
            Streamer s(*t.file, t.hdr, t.count());
            while (const std::uint8_t* rec = s.next(recno))
                if (t.passesBuf(recno, rec))
                    t.rows.push_back(recno);
        } else {
            // One pass over the table for the filter, one over the tag's leaves.
            std::vector<std::uint8_t> ok(std::size_t(t.count()) + 1, plain ? 1 : 0);
            if (ranged) {
                for (std::uint32_t r : t.passingCandidates())
                    ok[r] = 1;
            } else if (!plain) {
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

} // namespace shelvix::db
