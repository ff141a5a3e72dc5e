#pragma once

#include "transfer/convert.h"
#include "transfer/records.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace shelvix::db {
class DisplayFormats;
}

// Delimited text: every field in double quotes, fields separated by commas,
// one record per line, Windows-1252 bytes.
//
// Reading: a line ends at CR, at Ctrl-Z or at the end of the file; every
// other byte below 32 (LF among them) is dropped wherever it stands. A field
// opens with a double quote; inside it, a quote followed by a comma or the
// line end closes it, two quotes are one quote, and a quote followed by
// anything else is text. A field that does not open with a quote takes the
// rest of the line, commas included, so a comma separates only after a
// closing quote.
namespace shelvix::transfer {

// What scanning the first line found.
enum class FirstLine {
    Ok = 0,
    FieldTooLong = 1,  // a field over 255 characters
    UnexpectedEnd = 2, // the line ended inside a field, or the last field was unquoted
    TooManyFields = 3, // more than 46 fields
};

class DelimitedReader : public RecordReader {
public:
    // Opens the file; throws TransferError when it cannot be read.
    explicit DelimitedReader(const std::filesystem::path& path);
    ~DelimitedReader() override;

    // Reads the first line: its fields become the source fields, named by
    // their first 20 characters ("<BLANK FIELD>" when empty). Anything but
    // Ok leaves the reader with no fields.
    FirstLine scanFirstLine();

    int fieldCount() const override { return int(names_.size()); }
    std::vector<std::string> fieldNames() const override { return names_; }
    void rewind() override;
    // A line with nothing but an empty first field (an empty line, the end
    // of the file after the last line end) gives no record. Fields past the
    // source's count are left out and reported; longer fields are cut; a
    // line that does not end on a closing quote is read as it is, and
    // reported.
    bool next(SourceRecord& record) override;
    std::uint64_t progressDone() const override { return consumed_; }
    std::uint64_t progressTotal() const override { return size_; }

private:
    enum class End { Comma, Line, File };
    struct Field {
        End end = End::Line;
        bool closed = false; // ended by a closing quote
        bool cut = false;    // longer than kMaxFieldLength
    };

    int get() {
        if (pos_ == len_ && !fill())
            return -1;
        ++consumed_;
        return static_cast<unsigned char>(buffer_[pos_++]);
    }
    // The next character that counts: CR, -1 at the end, or 32 and above.
    int nextChar() {
        for (;;) {
            const int c = get();
            if (c >= 32 || c == 13 || c == -1)
                return c;
            if (c == 26) {
                endMark_ = true;
                pos_ = len_;
                return -1;
            }
        }
    }
    bool fill();
    Field readField(std::string& out);
    void skipLine();

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    bool endMark_ = false; // Ctrl-Z seen: nothing after it counts
    bool atEnd_ = false;
    std::uint64_t consumed_ = 0;
    std::uint64_t size_ = 0;
    std::vector<std::string> names_;
};

// Appends one written field: a comma unless it is the first, then the value
// with its quotes doubled and its blanks at both ends removed, in quotes.
void appendDelimitedField(std::string& line, std::string_view value, bool first);

class DelimitedWriter : public RecordWriter {
public:
    DelimitedWriter(const std::filesystem::path& target, const db::DisplayFormats& formats,
                    bool headerLine);
    ~DelimitedWriter() override;

    void begin(db::Table& source, const std::vector<ExportColumn>& columns) override;
    void write(const db::RecordView& record) override;
    void commit() override;

private:
    void flushIfFull();

    TargetFile file_;
    DateStyle dates_;
    bool header_;
    std::vector<ExportColumn> columns_;
    std::vector<char> types_;
    core::CodePage codePage_ = core::CodePage::Windows1252;
    std::string buffer_;
    std::string value_;
};

} // namespace shelvix::transfer
