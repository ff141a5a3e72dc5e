#include "db/engine/table_impl.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace shelvix::db {

using Kind = DatabaseError::Kind;

namespace {

std::string plural(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Keys another writer built under its own conventions: capitals of accented
// letters, NULs for blanks.
bool sameTextUpToConvention(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    auto fold = [](std::uint8_t c) { return c == 0 ? std::uint8_t(' ') : upperCase(c); };
    for (std::size_t i = 0; i < n; ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

} // namespace

Table::Impl::Tail Table::Impl::inspectTail() {
    Tail tail;
    const std::uint64_t size = file->size();
    std::uint64_t pos = hdr.dataEnd();
    if (size < pos)
        return tail; // the open refuses this; a count raised since is read again later
    // A killed writer, or a tool that never raised the count, leaves whole
    // records here; a zero-filled block after a power cut has no flag.
    std::uint8_t flag = 0;
    while (pos + recLen() <= size && file->readAt(pos, &flag, 1) == 1 &&
           (flag == ' ' || flag == '*')) {
        ++tail.records;
        pos += recLen();
    }
    tail.end = pos;
    std::uint8_t mark = 0;
    tail.hasMark = pos < size && file->readAt(pos, &mark, 1) == 1 && mark == dbf::kEndMark;
    tail.extra = size - pos - (tail.hasMark ? 1 : 0);
    return tail;
}

void Table::Impl::repairIfSoleUser() {
    bool index = false;
    if (mdx) {
        // Judged under the lock on a fresh reading: a writer that kept the
        // mark on may have finished since the open read the header.
        HeaderReadLock hl(*this);
        mdx->refresh();
        index = mdx->interrupted();
    }
    if (inspectTail().sound() && !index)
        return;
    if (mode == OpenMode::ReadOnly) {
        needsRebuild = index;
        return;
    }
    try {
        withSoleUse("Repairing", [&] {
            // What was seen at open may be stale: another user may have
            // appended (or finished an index update) since.
            std::uint32_t n = countOnDisk();
            if (hdr.headerLength + std::uint64_t(n) * hdr.recordLength > file->size())
                return; // checked again at the next open
            hdr.recordCount = n;
            if (mdx) {
                mdx->refresh();
                index = mdx->interrupted();
            }
            const bool interrupted = index;
            repairTail(index);
            if (index) {
                regenerate({});
                if (interrupted)
                    repairs.push_back(
                        "the index had been left half-updated; every tag was rebuilt");
            }
        });
    } catch (const DatabaseError& e) {
        if (e.kind() != Kind::InUse)
            throw;
        needsRebuild = index;
    }
}

void Table::Impl::repairTail(bool& rebuildIndex) {
    Tail tail = inspectTail();
    if (tail.sound())
        return;
    const std::uint32_t counted = hdr.recordCount;
    bool changed = false;
    if (tail.records > 0) {
        auto unbuildable =
            std::find_if(exprs.begin(), exprs.end(), [](const auto& e) { return !e.has_value(); });
        if (unbuildable != exprs.end()) {
            // Counting them in would leave a tag without their keys.
            repairs.push_back(plural(tail.records, "complete record", "complete records") +
                              " after record " + std::to_string(counted) +
                              " were left uncounted: the index tag " +
                              shown(mdx->tags()[std::size_t(unbuildable - exprs.begin())].name) +
                              " cannot be rebuilt here");
            return;
        }
        // The index learns of them only by a rebuild: marked first, so a
        // crash before it ends is caught at the next open.
        if (hasTags()) {
            mdx->beginUpdate();
            mdx->markNow();
            rebuildIndex = true;
        }
        const std::uint32_t n = counted + tail.records;
        std::uint8_t b[4];
        put32(b, n);
        file->writeAt(4, b, sizeof b);
        hdr.recordCount = n;
        changed = true;
        repairs.push_back(
            (tail.records == 1
                 ? "record " + std::to_string(n)
                 : "records " + std::to_string(counted + 1) + " to " + std::to_string(n)) +
            ", complete after the " + std::to_string(counted) +
            " the header counted, were taken back" + (hasTags() ? "; every tag was rebuilt" : ""));
    }
    // Only what is shorter than a record may go; anything longer is left as
    // it is (readers stop at the count).
    if (tail.extra < recLen()) {
        std::uint8_t mark = dbf::kEndMark;
        if (!tail.hasMark) {
            file->writeAt(tail.end, &mark, 1);
            if (tail.extra == 0)
                repairs.push_back("the end-of-file mark after record " +
                                  std::to_string(hdr.recordCount) + " was added");
        }
        if (tail.extra > 0) {
            file->truncate(tail.end + 1);
            repairs.push_back("a fragment of " + plural(tail.extra, "byte", "bytes") +
                              " after record " + std::to_string(hdr.recordCount) +
                              ", shorter than a record, was dropped");
        }
        changed = true;
    }
    if (changed)
        file->sync();
    if (tail.records > 0)
        dataChangedLocally();
}

bool Table::Impl::keyOfAnotherWriter(int tag, std::uint32_t recno, const std::uint8_t* stored,
                                     const std::uint8_t* ours) {
    const KeyExpression& e = *exprs[std::size_t(tag)];
    const std::uint8_t* rec = readRecord(recno, 0);
    if (e.readsBlankNumberOrDate(rec))
        return true;
    if (e.type() != KeyType::Character)
        return false;
    const std::size_t n = std::size_t(e.keyLength());
    if (sameTextUpToConvention(stored, ours, n))
        return true;
    std::vector<std::uint8_t> theirs(n);
    e.evaluateAsOthers(rec, theirs.data());
    return sameTextUpToConvention(stored, theirs.data(), n);
}

// ---- check

std::vector<std::string> Table::check(std::vector<std::string>* notes, bool* indexDamaged) {
    Impl& t = *d;
    t.settleAppends(false);
    // Other users' work is either done or not begun while it is checked.
    Impl::ReadSection lock(t);
    t.refreshHeader();
    std::vector<std::string> problems, remarks;
    const std::size_t limit = 100;
    std::size_t more = 0;
    auto report = [&](std::vector<std::string>& to, std::string p) {
        if (to.size() < limit)
            to.push_back(std::move(p));
        else
            ++more;
    };
    auto damage = [&](std::string p) { report(problems, std::move(p)); };
    auto note = [&](std::string p) { report(remarks, std::move(p)); };

    const Impl::Tail tail = t.inspectTail();
    if (tail.records > 0)
        damage(
            "The header counts " + plural(t.count(), "record", "records") + ", but " +
            plural(tail.records, "more complete record follows", "more complete records follow") +
            " them");
    if (!tail.hasMark)
        note("The end-of-file mark after the last record is missing");
    if (tail.extra > 0)
        note("The file holds " + plural(tail.extra, "byte", "bytes") + " after " +
             (tail.hasMark ? "the end-of-file mark" : "the last record") + " that are not records");

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
                damage("Record " + std::to_string(recno) + " has an unknown deletion flag");
            RecordView v(rec, &t.layout, recno);
            for (int f = 0; f < int(t.layout.fields().size()); ++f)
                if (!dbf::isWellFormed(v.raw(f), t.layout.fields()[std::size_t(f)].type))
                    damage("Record " + std::to_string(recno) + ": field " +
                           t.layout.fields()[std::size_t(f)].name + " holds '" + t.shown(v.raw(f)) +
                           "', which is not a valid value");
            for (std::size_t i = 0; i < tagCount; ++i)
                if (t.exprs[i]) {
                    std::size_t kl = std::size_t(t.exprs[i]->keyLength());
                    t.exprs[i]->evaluate(rec, keys[i].data() + (recno - 1) * kl);
                }
        }
    }
    const std::size_t tableDamage = problems.size() + more;
    if (t.needsRebuild)
        damage("The index was left half-updated and must be rebuilt");
    for (std::size_t i = 0; i < tagCount; ++i) {
        const TagInfo& info = t.mdx->tags()[i];
        std::string tagName = "Tag " + t.shown(info.name) + ": ";
        // A tree that cannot be walked to its end is damage like any other.
        try {
            std::vector<std::string> tagNotes;
            const auto broken = t.mdx->check(int(i), &tagNotes);
            for (auto& p : broken)
                damage(tagName + p);
            for (auto& p : tagNotes)
                note(tagName + p);
            // Another tool's function or key size: the tag still reads.
            if (!t.exprErrors[i].empty())
                note(tagName + t.exprErrors[i]);
            // A broken tree's entries say nothing more.
            if (!t.exprs[i] || !broken.empty())
                continue;
            std::size_t kl = std::size_t(t.exprs[i]->keyLength());
            std::vector<std::uint8_t> seen(std::size_t(t.count()) + 1, 0);
            std::uint64_t conventions = 0;
            auto c = t.mdx->cursor(int(i));
            for (bool ok = c->first(); ok; ok = c->next()) {
                KeyEntry e = c->current();
                if (e.recno == 0 || e.recno > t.count()) {
                    damage(tagName + "an entry points to record " + std::to_string(e.recno) +
                           ", past the last record");
                    continue;
                }
                if (seen[e.recno] < 2)
                    ++seen[e.recno];
                if (int(kl) != info.keyLength)
                    continue;
                const std::uint8_t* want = keys[i].data() + (e.recno - 1) * kl;
                if (compareKeys(info.type, e.key, want, kl) == 0)
                    continue;
                if (t.keyOfAnotherWriter(int(i), e.recno, e.key, want))
                    ++conventions;
                else
                    damage(tagName + "the key of record " + std::to_string(e.recno) +
                           " does not match the record");
            }
            if (conventions)
                note(tagName + plural(conventions, "key follows", "keys follow") +
                     " another writer's conventions (capitals of accented letters, rounding, blank "
                     "numbers or dates)");
            for (std::uint32_t r = 1; r <= t.count(); ++r)
                if (seen[r] > 1 || (seen[r] == 0 && !info.unique)) // unique tags skip repeats
                    damage(tagName + "record " + std::to_string(r) +
                           (seen[r] == 0 ? " has no entry" : " has more than one entry"));
        } catch (const DatabaseError& e) {
            if (e.kind() != Kind::Corrupt)
                throw;
            damage(tagName + e.what());
        }
    }
    if (indexDamaged)
        *indexDamaged = problems.size() + more > tableDamage;
    if (more)
        problems.push_back("... and " + std::to_string(more) + " more findings");
    if (notes)
        *notes = std::move(remarks);
    return problems;
}

} // namespace shelvix::db
