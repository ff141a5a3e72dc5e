#pragma once

#include "core/codec.h"
#include "db/engine/keys.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace shelvix::db {
class RecordView;
class ReplacingFile;
class Table;
} // namespace shelvix::db

// What import reads and export writes, whatever the file format. Text is
// Windows-1252 bytes on both sides (a UTF-8 source delivers the table's code
// page directly); the formats recode from and to their own code page.
namespace shelvix::transfer {

// A failure of the transfer itself (a file that cannot be read or written),
// with a message meant for the user.
class TransferError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The most source fields a source may have. Only the grid's first 36 rows
// import, so this only keeps a runaway first line from filling the grid.
inline constexpr int kMaxSourceFields = 1024;
// The most characters of one delimited field.
inline constexpr std::size_t kMaxFieldLength = 255;
// Source field names are cut to this.
inline constexpr std::size_t kMaxNameLength = 20;

struct SourceValue {
    std::string text;               // the value as text
    std::optional<db::Date> date{}; // set when the source holds a real date
    bool memo = false;              // the text of a memo: a cut to the target's width counts
    bool unread = false;            // a memo its file did not hold: left empty
    int unmapped = 0;               // characters the code page lacks, written as '?'
};

struct SourceRecord {
    std::vector<SourceValue> values; // one per source field, missing ones empty
    int cutFields = 0;               // fields cut to kMaxFieldLength
    bool extraFields = false;        // the line went on past the source's fields
    bool unclosed = false;           // the line ended inside a quoted field or an unquoted one
    bool strayQuote = false;         // a quote inside a quoted field kept as text
};

// One source of records: a delimited text file or a dBASE table.
class RecordReader {
public:
    virtual ~RecordReader() = default;
    virtual int fieldCount() const = 0;
    // At most kMaxNameLength bytes each.
    virtual std::vector<std::string> fieldNames() const = 0;
    // The fields' names in full (a text file's first line), for matching.
    virtual std::vector<std::string> headerTexts() const { return fieldNames(); }
    // Back to the first record.
    virtual void rewind() = 0;
    // The next record; false at the end of the source.
    virtual bool next(SourceRecord& record) = 0;
    // How far the reading is, in units of progressTotal() (bytes or records).
    virtual std::uint64_t progressDone() const = 0;
    virtual std::uint64_t progressTotal() const = 0;
    // Complete records found past the count a table's header gives, read too.
    virtual std::uint32_t recordsPastCount() const { return 0; }
    // Asks for text in the code page the values go to, where the source can
    // convert to it directly; valueCodePage() tells what the values hold.
    virtual void deliverIn(core::CodePage) {}
    virtual core::CodePage valueCodePage() const { return core::CodePage::Windows1252; }
};

// One exported column: a book field and where the source table holds it.
struct ExportColumn {
    int field = 0;       // book field number, 1 to 36
    int index = 0;       // the field's position in the source table
    std::string label{}; // the heading, Windows-1252
};

// One target of records. Nothing replaces the target until commit(); a
// writer destroyed before then leaves no trace.
class RecordWriter {
public:
    virtual ~RecordWriter() = default;
    virtual void begin(db::Table& source, const std::vector<ExportColumn>& columns) = 0;
    virtual void write(const db::RecordView& record) = 0;
    virtual void commit() = 0;
};

// The file an export writes, through db::ReplacingFile (a failed or
// cancelled write never harms what was there); its failures are
// TransferErrors.
class TargetFile {
public:
    explicit TargetFile(const std::filesystem::path& target);
    ~TargetFile();
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    const std::filesystem::path& tempPath() const;
    // Closes the temporary file, for a table that reopens it by name.
    void close();
    void write(const char* data, std::size_t size);
    void commit();

private:
    std::unique_ptr<db::ReplacingFile> file_;
};

// The text of errno for a failed file operation on `path`.
[[noreturn]] void throwFileError(const char* what, const std::filesystem::path& path, int error);

} // namespace shelvix::transfer
