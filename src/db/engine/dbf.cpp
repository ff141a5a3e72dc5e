#include "db/engine/dbf.h"

#include "core/text.h"
#include "db/engine/bytes.h"
#include "db/engine/error.h"
#include "db/engine/value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>

namespace shelvix::db::dbf {

namespace {

using Kind = DatabaseError::Kind;

[[noreturn]] void corrupt(const std::string& name, const std::string& what) {
    throw DatabaseError("The table " + name + " is damaged: " + what, Kind::Corrupt);
}

} // namespace

void putDate(std::uint8_t* out, const Date& d) {
    out[0] = std::uint8_t(std::clamp(d.year - 1900, 0, 255));
    out[1] = std::uint8_t(d.month);
    out[2] = std::uint8_t(d.day);
}

Date today() {
    // localtime_r is slow enough to matter once per posted record.
    thread_local std::time_t cachedAt = 0;
    thread_local Date cached;
    std::time_t now = std::time(nullptr);
    if (now != cachedAt) {
        std::tm tm{};
        localtime_r(&now, &tm);
        cached = Date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
        cachedAt = now;
    }
    return cached;
}

Header readHeader(File& file, const std::string& name) {
    std::uint64_t size = file.size();
    std::uint8_t h[kHeaderSize];
    if (size < kHeaderSize || file.readAt(0, h, kHeaderSize) != kHeaderSize)
        corrupt(name, "the file is too short to hold a dBASE header");
    Header out;
    out.version = h[0];
    if ((h[0] & 0x07) == 4)
        throw DatabaseError("The table " + name +
                                " is a dBASE 7 table, which this program cannot read",
                            Kind::Unsupported);
    if ((h[0] & 0x07) != 3)
        throw DatabaseError("The table " + name + " is not a dBASE III/IV table (version byte " +
                                std::to_string(h[0]) + ")",
                            Kind::Unsupported);
    if (h[15] != 0)
        throw DatabaseError("The table " + name + " is encrypted", Kind::Unsupported);
    out.lastUpdate = Date{1900 + h[1], h[2], h[3]};
    out.recordCount = get32(h + 4);
    out.headerLength = get16(h + 8);
    out.recordLength = get16(h + 10);
    out.hasMdx = h[28] != 0;
    out.languageDriver = h[29];

    if (out.headerLength < kHeaderSize + kDescriptorSize + 1)
        corrupt(name, "the header is too short to describe any field");
    if (out.headerLength > size)
        corrupt(name, "the header is longer than the file");
    std::vector<std::uint8_t> desc(out.headerLength - kHeaderSize);
    file.readExact(kHeaderSize, desc.data(), desc.size(), "the field descriptors");

    int offset = 1;
    std::size_t pos = 0;
    for (;;) {
        if (pos >= desc.size())
            corrupt(name, "the field list has no end mark");
        if (desc[pos] == kTerminator)
            break;
        if (pos + kDescriptorSize > desc.size())
            corrupt(name, "the field list runs past the header length");
        if (out.fields.size() >= std::size_t(kMaxFields))
            corrupt(name, "too many fields");
        const std::uint8_t* d = desc.data() + pos;
        FieldLayout f;
        std::size_t len = 0;
        while (len < 11 && d[len] != 0)
            ++len;
        f.name = core::toUpperAscii(std::string_view(reinterpret_cast<const char*>(d), len));
        f.type = char(d[11]);
        if (f.type >= 'a' && f.type <= 'z')
            f.type = char(f.type - 'a' + 'A');
        f.length = d[16];
        f.decimals = d[17];
        f.offset = offset;
        std::string which = "field " + std::to_string(out.fields.size() + 1);
        if (f.name.empty() || std::any_of(f.name.begin(), f.name.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E;
            }))
            corrupt(name, which + " has no readable name");
        if (std::string_view("CNFDLM").find(f.type) == std::string_view::npos)
            throw DatabaseError("The table " + name + " has field " + f.name +
                                    " of a type this program cannot read",
                                Kind::Unsupported);
        if (f.length == 0)
            corrupt(name, "field " + f.name + " has no width");
        if ((f.type == 'N' || f.type == 'F') && f.decimals >= f.length && f.decimals > 0)
            corrupt(name, "field " + f.name + " has more decimals than its width");
        offset += f.length;
        out.fields.push_back(f);
        out.tagFlags.push_back(d[kDescriptorTagFlag] != 0);
        pos += kDescriptorSize;
    }
    if (out.fields.empty())
        corrupt(name, "it has no fields");
    // Some writers leave a byte or a FoxPro-style back link after the end mark;
    // anything else means the lengths lie.
    std::size_t expected = kHeaderSize + pos + 1;
    if (out.headerLength < expected || out.headerLength > expected + 263)
        corrupt(name, "the header length does not match its field list");
    if (out.recordLength != offset)
        corrupt(name, "the record length does not match the sum of the field widths");
    if (out.dataEnd() > size)
        corrupt(name, "the file is truncated: the header counts " +
                          std::to_string(out.recordCount) + " records but the file holds " +
                          std::to_string((size - out.headerLength) / out.recordLength));
    return out;
}

std::vector<std::uint8_t> buildHeader(const Header& hd) {
    std::size_t n = hd.fields.size();
    std::vector<std::uint8_t> h(kHeaderSize + kDescriptorSize * n + 1, 0);
    h[0] = hd.version;
    putDate(&h[1], hd.lastUpdate);
    put32(&h[4], hd.recordCount);
    put16(&h[8], std::uint32_t(h.size()));
    put16(&h[10], hd.recordLength);
    h[28] = hd.hasMdx ? 1 : 0;
    h[29] = hd.languageDriver;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t* d = &h[kHeaderSize + kDescriptorSize * i];
        const FieldLayout& f = hd.fields[i];
        std::memcpy(d, f.name.data(), std::min<std::size_t>(f.name.size(), 10));
        d[11] = std::uint8_t(f.type);
        d[16] = std::uint8_t(f.length);
        d[17] = std::uint8_t(f.decimals);
        d[kDescriptorTagFlag] = i < hd.tagFlags.size() && hd.tagFlags[i] ? 1 : 0;
    }
    h.back() = kTerminator;
    return h;
}

std::vector<FieldLayout> layoutFields(const std::vector<FieldLayout>& defs) {
    if (defs.empty())
        throw DatabaseError("A table needs at least one field", Kind::InvalidValue);
    if (defs.size() > std::size_t(kMaxFields))
        throw DatabaseError("A table can have at most 255 fields", Kind::InvalidValue);
    std::vector<FieldLayout> out;
    int offset = 1;
    for (const FieldLayout& def : defs) {
        FieldLayout f = def;
        f.name = core::toUpperAscii(def.name);
        auto bad = [&](const std::string& why) {
            // A table is created in Windows-1252.
            throw DatabaseError(core::decode("Invalid field '" + def.name + "': " + why),
                                Kind::InvalidValue);
        };
        if (f.name.empty() || f.name.size() > 10)
            bad("a name has 1 to 10 characters");
        if (!(f.name[0] >= 'A' && f.name[0] <= 'Z') ||
            !std::all_of(f.name.begin(), f.name.end(), [](char c) {
                return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
            }))
            bad("a name starts with a letter and holds letters, digits and _");
        for (const FieldLayout& prev : out)
            if (prev.name == f.name)
                bad("the name is used twice");
        switch (f.type) {
        case 'C':
            if (f.length < 1 || f.length > 254)
                bad("a text field is 1 to 254 characters wide");
            f.decimals = 0;
            break;
        case 'N':
        case 'F':
            if (f.length < 1 || f.length > 20 || f.decimals < 0 ||
                (f.decimals > 0 && f.decimals > f.length - 2))
                bad("a number field is 1 to 20 wide with room for its decimals");
            break;
        case 'D':
            f.length = 8;
            f.decimals = 0;
            break;
        case 'L':
            f.length = 1;
            f.decimals = 0;
            break;
        default:
            bad("the type must be C, N, F, D or L");
        }
        f.offset = offset;
        offset += f.length;
        out.push_back(f);
    }
    if (offset > kMaxRecordLength)
        throw DatabaseError("The record is too long", Kind::InvalidValue);
    return out;
}

std::string_view trimmed(std::string_view raw, char type) {
    std::size_t end = raw.size();
    while (end > 0 && (raw[end - 1] == ' ' || raw[end - 1] == '\0'))
        --end;
    std::size_t begin = 0;
    if (type != 'C')
        while (begin < end && raw[begin] == ' ')
            ++begin;
    return raw.substr(begin, end - begin);
}

bool isBlank(std::string_view raw) {
    return std::all_of(raw.begin(), raw.end(), [](char c) { return c == ' ' || c == '\0'; });
}

std::optional<double> parseNumber(std::string_view raw) {
    StoredNumber n = parseNumberField(raw);
    return n.isNumber() ? std::optional<double>(n.value) : std::nullopt;
}

std::optional<Date> parseDate(std::string_view raw) {
    return parseDateField(raw);
}

std::optional<bool> parseLogical(std::string_view raw) {
    return parseLogicalField(raw);
}

bool isWellFormed(std::string_view raw, char type) {
    if (isBlank(raw))
        return true;
    switch (type) {
    case 'N':
    case 'F':
        return parseNumberField(raw).state != StoredNumber::State::Invalid;
    case 'D':
        return parseDateField(raw).has_value();
    case 'L':
        return raw.size() == 1 &&
               std::string_view("TtFfYyNn?").find(raw[0]) != std::string_view::npos;
    default:
        return true;
    }
}

void formatNumber(double value, const FieldLayout& f, std::uint8_t* out) {
    formatNumberField(value, f.length, f.decimals, f.name, reinterpret_cast<char*>(out));
}

void formatDate(const std::optional<Date>& date, const FieldLayout& f, std::uint8_t* out) {
    std::memset(out, ' ', std::size_t(f.length));
    char buf[8];
    formatDateField(date, buf);
    std::memcpy(out, buf, std::min<std::size_t>(8, std::size_t(f.length)));
}

void formatText(std::string_view text, const FieldLayout& f, std::uint8_t* out, core::CodePage cp) {
    char* o = reinterpret_cast<char*>(out);
    switch (f.type) {
    case 'N':
    case 'F':
        if (auto v = parseNumberText(text, f.name, cp))
            formatNumber(*v, f, out);
        else
            std::memset(out, ' ', std::size_t(f.length));
        return;
    case 'D': {
        std::string_view t = trimBoth(text);
        auto d = parseDateField(t);
        if (!t.empty() && !d)
            throw DatabaseError(core::decode("'" + std::string(text) +
                                                 "' is not a valid date for field '" + f.name + "'",
                                             cp),
                                Kind::InvalidValue);
        formatDate(d, f, out);
        return;
    }
    case 'L': {
        std::string_view t = trimBoth(text);
        if (!t.empty() &&
            (t.size() != 1 || std::string_view("TtFfYyNn?").find(t[0]) == std::string_view::npos))
            throw DatabaseError(core::decode("'" + std::string(text) +
                                                 "' is not a valid logical value for field '" +
                                                 f.name + "'",
                                             cp),
                                Kind::InvalidValue);
        std::memset(out, ' ', std::size_t(f.length));
        if (!t.empty())
            o[0] = t[0] == '?' ? '?' : formatLogicalField(parseLogicalField(t));
        return;
    }
    default:
        formatCharacterField(text, f.length, o);
        return;
    }
}

} // namespace shelvix::db::dbf
