#include "db/engine/replacingfile.h"
#include "db/engine/table_impl.h"

namespace fs = std::filesystem;

namespace shelvix::db {

using Kind = DatabaseError::Kind;

namespace {

// Why the index at `mdxPath` cannot be used, or "" when it can.
std::string indexDamage(FileSystem& fs, const fs::path& mdxPath, bool found,
                        const std::string& table) {
    if (!found)
        return "The production index " + mdxPath.filename().string() + " of table " + table +
               " is missing";
    try {
        MdxFile::open(fs, mdxPath, false);
    } catch (const DatabaseError& e) {
        if (e.kind() != Kind::Corrupt && e.kind() != Kind::Unsupported)
            throw;
        return e.what();
    }
    return MdxFile::shortfall(fs, mdxPath);
}

} // namespace

IndexRecovery Table::recoverIndex(const fs::path& path, const std::vector<TagDefinition>& fallback,
                                  FileSystem& fs) {
    IndexRecovery out;
    {
        // A look first, beside other users: most indexes are sound.
        auto look = openFile(path, OpenMode::ReadOnly, fs, false, true);
        if (!look->d->hdr.hasMdx)
            return out;
        bool found = false;
        const fs::path mdxPath = findCompanion(path, ".MDX", &found);
        if (indexDamage(fs, mdxPath, found, look->d->name).empty())
            return out;
    }
    auto table = openFile(path, OpenMode::Exclusive, fs, false, true);
    Impl& d = *table->d;
    if (!d.hdr.hasMdx)
        return out;
    bool found = false;
    d.mdxPath = findCompanion(path, ".MDX", &found);
    // Mended meanwhile by another process, perhaps.
    out.damage = indexDamage(fs, d.mdxPath, found, d.name);
    if (out.damage.empty())
        return out;

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
    d.attachIndex();
    d.compileTags();
    d.updateTagFlags();
    d.file->sync();
    return out;
}

} // namespace shelvix::db
