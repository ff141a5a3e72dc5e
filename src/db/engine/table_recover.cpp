#include "db/engine/replacingfile.h"
#include "db/engine/table_impl.h"

namespace fs = std::filesystem;

namespace shelvix::db {

using Kind = DatabaseError::Kind;

IndexRecovery Table::recoverIndex(const fs::path& path, const std::vector<TagDefinition>& fallback,
                                  FileSystem& fs) {
    IndexRecovery out;
    auto table = openFile(path, OpenMode::Exclusive, fs, false, true);
    Impl& d = *table->d;
    if (!d.hdr.hasMdx)
        return out;
    bool found = false;
    d.mdxPath = findCompanion(path, ".MDX", &found);
    if (found) {
        try {
            MdxFile::open(fs, d.mdxPath, false);
            return out;
        } catch (const DatabaseError& e) {
            if (e.kind() != Kind::Corrupt && e.kind() != Kind::Unsupported)
                throw;
            out.damage = e.what();
        }
    } else {
        out.damage = "The production index " + d.mdxPath.filename().string() + " of table " +
                     d.name + " is missing";
    }

    const SalvagedTags salvaged = found ? MdxFile::salvage(fs, d.mdxPath) : SalvagedTags{};
    out.lost = salvaged.lost;
    // Keys are built our way, whatever size or type the old tag stored.
    std::vector<std::pair<TagInfo, KeyExpression>> build;
    const auto buildable = [&](TagInfo info) {
        try {
            KeyExpression e = KeyExpression::compile(info.expression, d.layout);
            info.type = e.type();
            info.keyLength = e.keyLength();
            info.bareField = e.bareField() >= 0;
            build.emplace_back(std::move(info), std::move(e));
            return true;
        } catch (const DatabaseError&) {
            return false;
        }
    };
    for (const TagInfo& tag : salvaged.tags)
        (buildable(tag) ? out.rebuilt : out.lost).push_back(tag.name);
    if (build.empty())
        for (const TagDefinition& tag : fallback) {
            TagInfo info;
            info.name = tag.name;
            info.expression = tag.expression;
            if (buildable(info))
                out.fromFallback.push_back(tag.name);
        }

    const fs::path dir = path.parent_path();
    if (build.empty()) {
        // The header stops naming an index before the index goes.
        d.updateTagFlags();
        d.file->sync();
        if (found) {
            fs.remove(d.mdxPath);
            fs.syncDirectory(dir);
        }
        return out;
    }
    ReplacingFile fresh(d.mdxPath, fs);
    fresh.close();
    {
        auto index = MdxFile::create(fs, fresh.tempPath(), path.stem().string());
        for (const auto& [info, expr] : build) {
            Streamer s(*d.file, d.hdr, d.count());
            index->buildTag(info, [&](std::uint8_t* key, std::uint32_t& recno) {
                const std::uint8_t* rec = s.next(recno);
                if (!rec)
                    return false;
                expr.evaluate(rec, key);
                return true;
            });
        }
        index->sync();
    }
    fresh.commit();
    d.mdx = MdxFile::open(fs, d.mdxPath, true);
    d.compileTags();
    d.updateTagFlags();
    d.file->sync();
    return out;
}

} // namespace shelvix::db
