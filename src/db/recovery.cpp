#include "db/recovery.h"

#include "core/text.h"
#include "db/databasefiles.h"
#include "db/engine/replacingfile.h"
#include "db/engine/table.h"
#include "db/settings.h"
#include "db/sortorder.h"

#include <algorithm>
#include <cstdio>

namespace shelvix::db {

namespace {

constexpr const char* kSortTag = "NewIndex";
constexpr std::string_view kRemedy = " Rebuild the indexes.";

std::string list(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i)
        out += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return out;
}

std::string size(std::uint64_t bytes) {
    char text[32];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%llu byte%s", static_cast<unsigned long long>(bytes),
                      bytes == 1 ? "" : "s");
    else if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KB", double(bytes) / 1024);
    else
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / (1024 * 1024));
    return text;
}

std::string describe(const IndexRecovery& r) {
    // The remedy the message offers is the one being taken.
    std::string line = r.damage;
    if (line.size() >= kRemedy.size() &&
        line.compare(line.size() - kRemedy.size(), kRemedy.size(), kRemedy) == 0)
        line.resize(line.size() - kRemedy.size());
    else if (!line.empty() && line.back() != '.')
        line += '.';
    if (!r.rebuilt.empty())
        line += std::string(" It was built again from the table: tag") +
                (r.rebuilt.size() == 1 ? " " : "s ") + list(r.rebuilt) + ".";
    else if (!r.fromFallback.empty())
        line += " None of its tags could be read: it was built again with the sort tag " +
                list(r.fromFallback) + " of the catalogue's settings.";
    else
        line += " None of its tags could be read and the settings name no sort order: the "
                "index was removed.";
    std::vector<std::string> named;
    std::size_t unnamed = 0;
    for (const std::string& name : r.lost)
        name.empty() ? void(++unnamed) : named.push_back(name);
    if (unnamed > 0)
        named.push_back(std::to_string(unnamed) + (unnamed == 1 ? " tag" : " tags") +
                        " whose name could not be read");
    if (!named.empty())
        line += " Lost: " + list(named) + ".";
    return line;
}

} // namespace

std::vector<std::string> rebuildUnreadableIndex(const std::filesystem::path& table,
                                                const std::string& sortExpression) {
    std::vector<TagDefinition> fallback;
    if (!sortExpression.empty())
        fallback.push_back({kSortTag, sortExpression});
    const IndexRecovery r = Table::recoverIndex(table, fallback);
    if (r.damage.empty())
        return {};
    return {describe(r)};
}

std::string sortExpressionOf(const std::filesystem::path& table) {
    const DatabaseFiles files = DatabaseFiles::of(fromPath(table));
    return buildSortString(DatabaseSettings::load(files.settings, {}).sortOrder);
}

std::vector<std::string> removeLeftoversOf(const std::filesystem::path& folder,
                                           const std::vector<std::string>& names) {
    // Their extensions in any case, as the companions are found.
    const auto ours = [&](const std::string& name) {
        const std::size_t dot = name.rfind('.');
        return std::any_of(names.begin(), names.end(), [&](const std::string& own) {
            return own.size() == name.size() && dot != std::string::npos &&
                   own.compare(0, dot, name, 0, dot) == 0 &&
                   core::toUpperAscii(own.substr(dot)) == core::toUpperAscii(name.substr(dot));
        });
    };
    std::vector<std::string> lines;
    for (const RemovedTemporary& t : removeAbandonedTemporaries(folder, ours))
        lines.push_back("The temporary file " + t.path.filename().string() + " (" + size(t.size) +
                        ") that work left when it was stopped was removed.");
    return lines;
}

std::vector<std::string> removeLeftovers(const std::filesystem::path& table) {
    std::vector<std::string> names;
    for (const QString& file : DatabaseFiles::of(fromPath(table)).all())
        names.push_back(toPath(file).filename().string());
    return removeLeftoversOf(table.parent_path(), names);
}

} // namespace shelvix::db
