#include "db/engine/mdx_impl.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace shelvix::db {

using namespace mdx;

namespace {

constexpr std::size_t kEntries = 544;
constexpr std::size_t kEntrySize = 32;
constexpr std::size_t kTagHeaderRead = 1024;
constexpr std::size_t kForExpression = 762;
constexpr std::uint64_t kEndPageOffset = 32; // the first block past those in use

// A NUL-ended text of printable bytes that begins at `from` and ends before
// `to`; nothing when it runs on or holds a control byte.
std::optional<std::string> text(const std::vector<std::uint8_t>& b, std::size_t from,
                                std::size_t to) {
    to = std::min(to, b.size());
    for (std::size_t i = from; i < to; ++i) {
        if (b[i] == 0)
            return std::string(b.begin() + std::ptrdiff_t(from), b.begin() + std::ptrdiff_t(i));
        if (b[i] < 0x20 || b[i] == 0x7F)
            return std::nullopt;
    }
    return std::nullopt;
}

bool isTagName(const std::string& s) {
    return !s.empty() && s.size() <= 10 && std::isalpha(static_cast<unsigned char>(s[0])) &&
           std::all_of(s.begin(), s.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
           });
}

bool isKeyType(std::uint8_t t) {
    return t == 'C' || t == 'N' || t == 'D';
}

// The tag whose header block starts at `page`, or nothing.
std::optional<TagInfo> readTag(File& file, std::uint32_t page, const std::string& name) {
    if (page < kFirstDataPage)
        return std::nullopt;
    std::vector<std::uint8_t> h(kTagHeaderRead);
    h.resize(file.readAt(std::uint64_t{page} * kPageSize, h.data(), h.size()));
    if (h.size() < 24)
        return std::nullopt;
    TagInfo t;
    t.name = name;
    const int keyLength = get16(&h[12]);
    if (!isKeyType(h[9]) || keyLength < 1 || keyLength > 255 ||
        (h[9] == 'N' && keyLength != kNumericKeyLength) ||
        (h[9] == 'D' && keyLength != kDateKeyLength))
        return std::nullopt;
    t.type = static_cast<KeyType>(h[9]);
    t.keyLength = keyLength;
    const auto expression = text(h, 24, 24 + kMaxExpressionLength + 1);
    if (!expression || expression->empty())
        return std::nullopt;
    t.expression = *expression;
    t.descending = (h[8] & 0x08) != 0;
    t.unique = (h[8] & 0x40) != 0 || (h.size() > 23 && h[23] != 0);
    if (h.size() > 245 && h[245] != 0) {
        // A filtered tag without its filter would be another tag.
        const auto filter = text(h, kForExpression, h.size());
        if (!filter)
            return std::nullopt;
        t.forExpression = *filter;
    }
    return t;
}

} // namespace

SalvagedTags MdxFile::salvage(FileSystem& fs, const std::filesystem::path& path) {
    SalvagedTags out;
    auto file = fs.open(path, FileMode::ReadOnly);
    std::vector<std::uint8_t> head(kHeaderBytes);
    head.resize(file->readAt(0, head.data(), head.size()));
    // A tag count that makes sense is followed; otherwise every entry that
    // looks like one is tried.
    const int stated = head.size() >= 30 ? get16(&head[28]) : 0;
    const bool counted = stated >= 1 && stated <= kMaxTags;
    const int entries = counted ? stated : kMaxTags;
    for (int i = 0; i < entries; ++i) {
        const std::size_t at = kEntries + kEntrySize * std::size_t(i);
        if (at + kEntrySize > head.size()) {
            if (counted)
                out.lost.insert(out.lost.end(), std::size_t(entries - i), std::string());
            break;
        }
        const std::uint8_t* e = &head[at];
        std::string name = text(head, at + 4, at + 15).value_or("");
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        if (!isTagName(name) || (!counted && !isKeyType(e[20]))) {
            if (counted)
                out.lost.emplace_back();
            continue;
        }
        const bool seen = std::any_of(out.tags.begin(), out.tags.end(),
                                      [&](const TagInfo& t) { return t.name == name; });
        if (seen)
            continue;
        if (auto tag = readTag(*file, get32(e), name))
            out.tags.push_back(std::move(*tag));
        else
            out.lost.push_back(name);
    }
    return out;
}

std::string MdxFile::shortfall(FileSystem& fs, const std::filesystem::path& path) {
    auto file = fs.open(path, FileMode::ReadOnly);
    std::uint8_t end[4];
    if (file->readAt(kEndPageOffset, end, sizeof end) != sizeof end)
        return {};
    const std::uint64_t named = std::uint64_t{get32(end)} * kPageSize;
    const std::uint64_t size = file->size();
    if (size >= named)
        return {};
    return "The index " + path.string() + " is damaged: it was cut short (" + std::to_string(size) +
           " of its " + std::to_string(named) + " bytes are there). Rebuild the indexes.";
}

} // namespace shelvix::db
