#include "core/profile.h"

#include "core/text.h"
#include "core/wholefile.h"

#include <climits>
#include <iterator>

// The distribution ships SimpleIni's template bodies behind SI_IMPLEMENTATION
// and its converters need headers it does not ship; we only use the 8-bit
// variant with no conversion, so instantiate it here.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace fs = std::filesystem;

namespace shelvix::core {

namespace {

// Ours hold a few kilobytes: recent files, window places, a sort order.
constexpr std::uint64_t kMaxSettingsBytes = 4 * 1024 * 1024;

// Comments after the last entry belong to no section and SimpleIni would drop
// them; a section with this name, added after them on load and removed on
// save, carries them.
constexpr const char* kTailSection = "~~shelvix-end-of-file~~";
constexpr std::string_view kTailHeader = "[~~shelvix-end-of-file~~]";

// As the parser judges it: only blanks and tabs may come before the mark.
bool isCommentLine(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t");
    return first != std::string_view::npos && (line[first] == ';' || line[first] == '#');
}

bool hasTrailingComment(std::string_view text) {
    // Walk the lines from the end over blanks and comments.
    bool sawComment = false;
    std::size_t end = text.size();
    while (end > 0) {
        std::size_t nl = text.rfind('\n', end - 1);
        std::size_t start = nl == std::string_view::npos ? 0 : nl + 1;
        std::string_view line = text.substr(start, end - start);
        if (isCommentLine(line))
            sawComment = true;
        else if (!trim(line).empty())
            break;
        if (nl == std::string_view::npos)
            break;
        end = nl;
    }
    return sawComment;
}

std::string oneLine(std::string_view value) {
    std::string v(value);
    for (char& c : v) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return v;
}

} // namespace

std::int32_t parseProfileInt(std::string_view text) {
    text = text.substr(0, std::min(text.size(), kProfileNumberLength));
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    }
    // Accumulate saturating well above 32 bits; 15 characters cannot wrap.
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0)
            break;
        value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
        ++digits;
    }
    bool valid = digits > 0 && i == text.size();
    if (!valid) {
        // The old reader's fallback: the leading digits, sign dropped.
        return static_cast<std::int32_t>(std::min<std::uint64_t>(value, INT32_MAX));
    }
    if (hex && value <= 0xFFFFFFFFu) {
        auto pattern = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        return negative ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(pattern))
                        : pattern;
    }
    if (negative)
        return value > 2147483648u ? INT32_MIN : static_cast<std::int32_t>(-std::int64_t(value));
    return static_cast<std::int32_t>(std::min<std::uint64_t>(value, INT32_MAX));
}

namespace {

// Lines the parser would read differently once saved are mended first. A
// "[" line without its "]" is no section header; the parser would read the
// lines after it into the name, and every save would repeat them. Our own
// end-of-file marker is dropped: it is ours to add. A UTF-8 signature opening
// a line (files joined together) goes: the parser skips one only at the start
// of what it reads, where a saved line may land.
std::string tidyLines(std::string_view text) {
    constexpr std::string_view kSignature = "\xEF\xBB\xBF";
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    std::string line;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos); // a lone CR ends a line too
        end = end == std::string_view::npos ? text.size() : end + 1;
        line.assign(text.substr(pos, end - pos));
        pos = end;
        std::size_t first = line.find_first_not_of(" \t");
        while (first != std::string::npos && line.compare(first, 3, kSignature) == 0) {
            line.erase(first, 3);
            first = line.find_first_not_of(" \t", first);
        }
        const bool open = first != std::string::npos && line[first] == '[' &&
                          line.find(']', first) == std::string::npos;
        const bool marker = first != std::string::npos &&
                            std::string_view(line).substr(first).starts_with(kTailHeader);
        if (!open && !marker)
            out += line;
    }
    return out;
}

} // namespace

bool parseProfileYes(std::string_view text) {
    return toUpperAscii(text.substr(0, std::min(text.size(), kProfileNumberLength))) == "YES";
}

struct Profile::Impl {
    // CSimpleIniA compares section and key names without regard to case; the
    // ...CaseA variant would not.
    CSimpleIniA ini;
    fs::path path;
    bool existed = false;
    bool unreadable = false;
    bool crlf = false;

    void parse(std::string_view text) {
        crlf = text.find("\r\n") != std::string_view::npos;
        std::string data = tidyLines(text);
        if (hasTrailingComment(text)) {
            data += "\n[";
            data += kTailSection;
            data += "]\n";
        }
        ini.SetSpaces(false);
        // Load every copy of a repeated key (reads find the first one), then
        // let writes update that first copy in place, keeping its spelling.
        ini.SetMultiKey(true);
        ini.LoadData(data.data(), data.size());
        ini.SetMultiKey(false);
    }
};

Profile::Profile() : impl_(std::make_unique<Impl>()) {
    impl_->ini.SetSpaces(false);
}

Profile::~Profile() = default;
Profile::Profile(Profile&&) noexcept = default;
Profile& Profile::operator=(Profile&&) noexcept = default;

Profile Profile::load(const fs::path& path) {
    Profile p;
    p.impl_->path = path;
    const WholeFile file = readWholeFile(path, kMaxSettingsBytes, "settings file");
    if (file.missing)
        return p;
    p.impl_->existed = true;
    if (!file.refusal.empty()) {
        // Never replaced by a save either: it is not ours to overwrite.
        p.impl_->unreadable = true;
        noteRefusal(file.refusal);
        return p;
    }
    p.impl_->parse(file.bytes);
    return p;
}

Profile Profile::fromText(std::string_view text) {
    Profile p;
    p.impl_->parse(text);
    return p;
}

const fs::path& Profile::path() const {
    return impl_->path;
}

void Profile::setPath(const fs::path& path) {
    impl_->path = path;
}

bool Profile::existed() const {
    return impl_->existed;
}

bool Profile::hasSection(std::string_view section) const {
    std::string s(section);
    return s != kTailSection && impl_->ini.GetSection(s.c_str()) != nullptr;
}

bool Profile::hasKey(std::string_view section, std::string_view key) const {
    std::string s(section);
    std::string k(key);
    return impl_->ini.GetValue(s.c_str(), k.c_str(), nullptr) != nullptr;
}

std::string Profile::readString(std::string_view section, std::string_view key,
                                std::string_view def, std::size_t maxLength) const {
    std::string s(section);
    std::string k(key);
    const char* v = impl_->ini.GetValue(s.c_str(), k.c_str(), nullptr);
    std::string value = v ? trim(v) : std::string(def);
    if (value.size() > maxLength)
        value.resize(maxLength);
    return value;
}

std::int32_t Profile::readInt(std::string_view section, std::string_view key,
                              std::int32_t def) const {
    std::string s(section);
    std::string k(key);
    const char* v = impl_->ini.GetValue(s.c_str(), k.c_str(), nullptr);
    return v ? parseProfileInt(trim(v)) : def;
}

bool Profile::readBool(std::string_view section, std::string_view key, bool def) const {
    std::string s(section);
    std::string k(key);
    const char* v = impl_->ini.GetValue(s.c_str(), k.c_str(), nullptr);
    return v ? parseProfileYes(trim(v)) : def;
}

void Profile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    std::string s = oneLine(trim(section));
    std::string k = oneLine(trim(key));
    std::string v = oneLine(value);
    impl_->ini.SetValue(s.c_str(), k.c_str(), v.c_str(), nullptr, true);
}

void Profile::writeInt(std::string_view section, std::string_view key, std::int64_t value) {
    writeString(section, key, intToText(value));
}

void Profile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, yesNo(value));
}

void Profile::removeSection(std::string_view section) {
    std::string s(trim(section));
    if (s != kTailSection)
        impl_->ini.Delete(s.c_str(), nullptr, true);
}

std::string Profile::text() const {
    std::string raw;
    // With single keys SimpleIni would write only the first copy of a key.
    impl_->ini.SetMultiKey(true);
    impl_->ini.Save(raw, false);
    impl_->ini.SetMultiKey(false);

    std::string out;
    out.reserve(raw.size() + raw.size() / 16);
    const char* eol = impl_->crlf ? "\r\n" : "\n";
    bool pendingBlank = false;
    bool afterHeader = false;
    bool onlyComments = true;
    std::size_t pos = 0;
    while (pos < raw.size()) {
        std::size_t nl = raw.find('\n', pos);
        std::size_t end = nl == std::string::npos ? raw.size() : nl;
        std::string_view line(raw.data() + pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos = end + 1;
        if (line == kTailHeader)
            continue;
        if (trim(line).empty()) {
            // SimpleIni puts a blank line before every comment, even the one
            // that opens a section; keep blanks only between entries.
            pendingBlank = !out.empty() && !afterHeader;
            continue;
        }
        afterHeader = line.front() == '[';
        // Comments that open the file are read back as the file's own comment,
        // which is written with a blank after it; write it so the first time.
        const bool comment = isCommentLine(line);
        if (onlyComments && !comment && !out.empty())
            pendingBlank = true;
        onlyComments = onlyComments && comment;
        if (pendingBlank)
            out += eol;
        pendingBlank = false;
        out += line;
        out += eol;
    }
    return out;
}

bool Profile::unreadable() const {
    return impl_->unreadable;
}

} // namespace shelvix::core
