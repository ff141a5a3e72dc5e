#include "db/engine/table_impl.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace shelvix::db {

using Kind = DatabaseError::Kind;

// Repairs left by a writer that died: a half-written index, or bytes after
// the last counted record. Only with no other user.
void Table::Impl::repairIfSoleUser() {
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
            std::uint32_t n = countOnDisk();
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
