#pragma once

// The .DBF file layout: header and field descriptors, record values. Private
// to the engine; the program uses table.h.

#include "core/codec.h"
#include "db/engine/expr.h"
#include "db/engine/file.h"
#include "db/engine/keys.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace shelvix::db::dbf {

inline constexpr std::uint8_t kVersion = 0x03;
inline constexpr std::uint8_t kLanguageDriver = 0x57;
inline constexpr std::uint8_t kTerminator = 0x0D;
inline constexpr std::uint8_t kEndMark = 0x1A;
inline constexpr int kHeaderSize = 32;
inline constexpr int kDescriptorSize = 32;
inline constexpr int kMaxFields = 255;
inline constexpr int kMaxRecordLength = 65535;

// Header offsets we write after creation.
inline constexpr std::uint64_t kDateOffset = 1; // YY MM DD, then the count at 4
inline constexpr std::uint64_t kMdxFlagOffset = 28;
inline constexpr int kDescriptorTagFlag = 31;

// Byte-range locks (one byte each), as other dBASE writers place them.
inline constexpr std::uint64_t kHeaderLock = 0xEFFFFFFEull;
inline constexpr std::uint64_t kAppendLock = 0xEFFFFFFFull;
inline std::uint64_t recordLockOffset(std::uint32_t recno) {
    return kHeaderLock - recno;
}
// Ours alone: every open table holds a read lock here; sole use is its atomic
// upgrade to a write lock (a refused flock conversion would drop the lock).
inline constexpr std::uint64_t kUsersLock = 0xF0000000ull;
// Ours alone: read-locked by every writer that keeps the index mark on across
// its bulk work, so a mark seen on disk with no one here is a dead writer's.
inline constexpr std::uint64_t kMarkLock = kUsersLock + 1;

struct Header {
    std::uint8_t version = kVersion;
    Date lastUpdate;
    std::uint32_t recordCount = 0;
    std::uint16_t headerLength = 0;
    std::uint16_t recordLength = 0;
    bool hasMdx = false;
    std::uint8_t languageDriver = kLanguageDriver;
    std::vector<FieldLayout> fields; // offsets from 1 (after the deletion flag)
    std::vector<bool> tagFlags;      // descriptor byte 31 per field

    std::uint64_t recordOffset(std::uint32_t recno) const {
        return headerLength + std::uint64_t(recno - 1) * recordLength;
    }
    std::uint64_t dataEnd() const {
        return headerLength + std::uint64_t(recordCount) * recordLength;
    }
};

// Reads and validates the header of an open table file. Throws DatabaseError
// Corrupt or Unsupported naming `displayName`; never writes.
Header readHeader(File& file, const std::string& displayName);

// The header bytes of `h` (descriptors and terminator included), laid out
// canonically: headerLength = 32 + 32 * fields + 1.
std::vector<std::uint8_t> buildHeader(const Header& h);

// Checks field definitions before a table is created from them and fills the
// offsets; throws DatabaseError (InvalidValue) naming the bad field.
std::vector<FieldLayout> layoutFields(const std::vector<FieldLayout>& defs);

void putDate(std::uint8_t* out3, const Date& d);
Date today();

// Field values. `raw` is the field's bytes inside a record.
std::string_view trimmed(std::string_view raw, char type);
bool isBlank(std::string_view raw);
std::optional<double> parseNumber(std::string_view raw);
std::optional<Date> parseDate(std::string_view raw);
// Logical: true, false or unknown (blank or '?').
std::optional<bool> parseLogical(std::string_view raw);
// Whether the stored bytes are a value the field type can hold (check()).
bool isWellFormed(std::string_view raw, char type);

// Writes `value` into the field: N/F right-aligned with all decimals, rounded
// half away from zero on its shortest decimal form. Throws InvalidValue when
// the number does not fit.
void formatNumber(double value, const FieldLayout& f, std::uint8_t* out);
// Text typed by the layer above: C as is (cut to width), N/F decimal text,
// D as YYYYMMDD, L as T/F/Y/N/?. Blank text clears. Throws InvalidValue.
// Messages show the text decoded from `cp`, the table's code page.
void formatText(std::string_view text, const FieldLayout& f, std::uint8_t* out, core::CodePage cp);
void formatDate(const std::optional<Date>& date, const FieldLayout& f, std::uint8_t* out);

} // namespace shelvix::db::dbf
