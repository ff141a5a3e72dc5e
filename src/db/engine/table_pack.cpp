#include "db/engine/replacingfile.h"
#include "db/engine/table_impl.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace shelvix::db {

using Kind = DatabaseError::Kind;

namespace {

// A half-written new file is removed when the work fails, so a failure
// leaves the folder as it was.
class RemoveOnFailure {
public:
    RemoveOnFailure(FileSystem& fs, fs::path path) : fs_(fs), path_(std::move(path)) {}
    RemoveOnFailure(const RemoveOnFailure&) = delete;
    RemoveOnFailure& operator=(const RemoveOnFailure&) = delete;
    ~RemoveOnFailure() {
        if (!kept_) {
            try {
                fs_.remove(path_);
            } catch (...) {
            }
        }
    }
    void keep() { kept_ = true; }

private:
    FileSystem& fs_;
    fs::path path_;
    bool kept_ = false;
};

} // namespace

void Table::Impl::requireBuildableTags() const {
    for (std::size_t i = 0; i < exprs.size(); ++i)
        if (!exprs[i])
            throw DatabaseError("The index tag " + shown(mdx->tags()[i].name) +
                                    " cannot be rebuilt: " + exprErrors[i],
                                Kind::InvalidExpression);
}

// Builds every tag of the current table into a fresh index beside the old
// one, then puts it in place. The DBF is not changed.
std::unique_ptr<MdxFile> Table::Impl::buildIndexFile(File& table, const dbf::Header& h,
                                                     const fs::path& at, const Progress& progress,
                                                     std::uint64_t doneBefore,
                                                     std::uint64_t total) {
    requireBuildableTags();
    RemoveOnFailure guard(fs, at);
    auto fresh = MdxFile::create(fs, at, path.stem().string());
    std::uint64_t done = doneBefore;
    for (std::size_t i = 0; i < mdx->tags().size(); ++i) {
        TagInfo info = mdx->tags()[i];
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
    guard.keep();
    return fresh;
}

void Table::Impl::regenerate(const Progress& progress) {
    if (!hasTags()) {
        needsRebuild = false;
        return;
    }
    std::uint64_t total = std::uint64_t(count()) * mdx->tags().size();
    ReplacingFile fresh(mdxPath, fs);
    fresh.close();
    buildIndexFile(*file, hdr, fresh.tempPath(), progress, 0, total).reset();
    mdx.reset();
    try {
        fresh.commit();
    } catch (...) {
        // The old index is still in place: keep using it.
        try {
            mdx = MdxFile::open(fs, mdxPath, true);
            attachIndex();
            compileTags();
        } catch (...) {
            needsRebuild = true;
        }
        throw;
    }
    mdx = MdxFile::open(fs, mdxPath, true);
    attachIndex();
    compileTags();
    needsRebuild = false;
    ++indexGen;
    if (progress)
        progress(total, total);
}

void Table::regenerateIndexes(const Progress& progress) {
    d->checkBrowseMode();
    std::string selectedName = selectedTag();
    d->withSoleUse("Rebuilding the indexes", [&] {
        d->refreshHeader();
        d->regenerate(progress);
        d->updateTagFlags();
        d->file->sync();
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
        t.requireBuildableTags();
        std::uint64_t tagCount = t.hasTags() ? t.mdx->tags().size() : 0;
        std::uint64_t total = std::uint64_t(t.count()) * (1 + tagCount);

        // 1. The new table beside the old one.
        ReplacingFile newTable(t.path, t.fs);
        File* out = &newTable.file();
        dbf::Header nh = t.hdr;
        nh.recordCount = 0;
        nh.lastUpdate = dbf::today();
        auto headerBytes = dbf::buildHeader(nh);
        nh.headerLength = std::uint16_t(headerBytes.size());
        out->writeAt(0, headerBytes.data(), headerBytes.size());
        // The keys of each tag are taken from the records as they are copied,
        // and each chunk written starts on its way to the disk at once, so
        // the sync at the end waits for little.
        std::vector<std::vector<std::uint8_t>> keys(tagCount);
        std::vector<std::uint32_t> recnos;
        std::vector<std::uint8_t> buf;
        buf.reserve(kStreamChunk + t.recLen());
        std::uint64_t at = nh.headerLength;
        Streamer s(*t.file, t.hdr, t.count());
        std::uint32_t recno = 0;
        std::uint64_t done = 0, dropped = 0;
        while (const std::uint8_t* rec = s.next(recno)) {
            if (rec[0] != '*') {
                buf.insert(buf.end(), rec, rec + t.recLen());
                ++nh.recordCount;
                if (tagCount > 0)
                    recnos.push_back(nh.recordCount);
                for (std::size_t i = 0; i < tagCount; ++i) {
                    const KeyExpression& e = *t.exprs[i];
                    auto& k = keys[i];
                    k.resize(k.size() + std::size_t(e.keyLength()));
                    e.evaluate(rec, k.data() + k.size() - std::size_t(e.keyLength()));
                }
            }
            if (buf.size() >= kStreamChunk) {
                out->writeAt(at, buf.data(), buf.size());
                out->startWriteBack(at, buf.size());
                at += buf.size();
                buf.clear();
                // The old file goes at the end: its pages copied (behind the
                // window being read) make room for the new file's now.
                const std::uint64_t read = t.hdr.recordOffset(recno);
                if (read > kMapWindow + dropped) {
                    const std::uint64_t upTo = (read - kMapWindow) / 4096 * 4096;
                    t.file->adviseDone(dropped, upTo - dropped);
                    dropped = upTo;
                }
            }
            if (progress && (++done & 0xFFF) == 0)
                progress(done, total);
        }
        buf.push_back(dbf::kEndMark);
        out->writeAt(at, buf.data(), buf.size());
        headerBytes = dbf::buildHeader(nh);
        out->writeAt(0, headerBytes.data(), headerBytes.size());
        out->sync();

        // 2. Its index, from those keys.
        std::unique_ptr<ReplacingFile> newIndex;
        if (tagCount > 0) {
            newIndex = std::make_unique<ReplacingFile>(t.mdxPath, t.fs);
            newIndex->close();
            auto fresh = MdxFile::create(t.fs, newIndex->tempPath(), t.path.stem().string());
            for (std::size_t i = 0; i < tagCount; ++i) {
                TagInfo info = t.mdx->tags()[i];
                info.type = t.exprs[i]->type();
                info.keyLength = t.exprs[i]->keyLength();
                info.bareField = t.exprs[i]->bareField() >= 0;
                fresh->buildTagFrom(info, std::move(keys[i]),
                                    i + 1 == tagCount ? std::move(recnos) : recnos);
                done += nh.recordCount;
                if (progress)
                    progress(done, total);
            }
            fresh.reset();
            t.syncPath(newIndex->tempPath());
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
            newTable.commit();
        } catch (...) {
            // Still the old pair: unmark the index; the new files go.
            try {
                if (tagCount > 0 && !newTable.committed())
                    t.mdx->endUpdate();
            } catch (...) {
            }
            throw;
        }
        t.releaseViews();
        t.file = newTable.release();
        t.hdr = nh;
        t.dataChangedLocally();
        if (tagCount > 0) {
            try {
                t.mdx.reset();
                newIndex->commit();
                t.mdx = MdxFile::open(t.fs, t.mdxPath, true);
                t.attachIndex();
                t.compileTags();
            } catch (...) {
                // The new table stands beside the old, marked index: refuse
                // writes until it is rebuilt (the next open does it).
                t.needsRebuild = true;
                try {
                    if (!t.mdx) {
                        t.mdx = MdxFile::open(t.fs, t.mdxPath, true);
                        t.attachIndex();
                    }
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

} // namespace shelvix::db
