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

// Delimited text, in two dialects found from the file itself.
//
// Quoted (the format we write): every field in double quotes, fields
// separated by commas, one record per line. A line ends at CR, at Ctrl-Z or
// at the end of the file; every other byte below 32 (LF among them) is
// dropped wherever it stands. A field opens with a double quote; inside it, a
// quote followed by a comma or the line end closes it, two quotes are one
// quote, and a quote followed by anything else is text. A field that does not
// open with a quote takes the rest of the line, commas included, so a comma
// separates only after a closing quote.
//
// Spreadsheet (as spreadsheets and other programs write CSV): a line ends at
// CR LF, LF or CR; an unquoted field ends at the delimiter (comma, semicolon
// or tab); a quoted field may hold the delimiter, doubled quotes and line
// breaks (each break one blank). A quote inside a quoted field that is not
// doubled and not followed by the delimiter or a line end is kept as text,
// and the rest of that field is read unquoted.
//
// A file is read in the quoted dialect when its first line and the first line
// after it that is not empty are quoted lines ending at CR: files in our own
// format read exactly as they always have. Everything else is spreadsheet
// text, its delimiter the one the first line holds most of outside quotes (a
// .tsv is tab).
//
// Encoding: a UTF-8 byte-order mark, or bytes that are valid UTF-8 with at
// least one multi-byte sequence, mean UTF-8; the text is then converted to
// the code page asked for (Windows-1252 unless deliverIn() says otherwise),
// a character it lacks becoming '?' and counted. Anything else is
// Windows-1252.
namespace shelvix::transfer {

// What scanning the first line found.
enum class FirstLine {
    Ok = 0,
    FieldTooLong = 1,  // a field over 255 characters
    UnexpectedEnd = 2, // an empty file, or one whose first line never ends its quoted field
    TooManyFields = 3, // more than kMaxSourceFields fields
};

class DelimitedReader : public RecordReader {
public:
    // Opens the file; throws TransferError when it cannot be read.
    explicit DelimitedReader(const std::filesystem::path& path);
    ~DelimitedReader() override;

    // Finds the encoding and the dialect, then reads the first line: its
    // fields become the source fields, named by their first 20 characters
    // ("<BLANK FIELD>" when empty). Anything but Ok leaves the reader with no
    // fields.
    FirstLine scanFirstLine();

    bool quotedDialect() const { return quoted_; }
    char delimiter() const { return char(delimiter_); }
    bool utf8() const { return utf8_; }

    int fieldCount() const override { return int(names_.size()); }
    std::vector<std::string> fieldNames() const override { return names_; }
    std::vector<std::string> headerTexts() const override { return headers_; }
    void rewind() override;
    // A line with nothing but an empty first field (an empty line, the end
    // of the file after the last line end) gives no record. Fields past the
    // source's count are left out and reported; longer fields are cut; a
    // quoted line that does not end on a closing quote is read as it is, and
    // reported.
    bool next(SourceRecord& record) override;
    std::uint64_t progressDone() const override { return consumed_; }
    std::uint64_t progressTotal() const override { return size_; }
    void deliverIn(core::CodePage codePage) override { target_ = codePage; }
    core::CodePage valueCodePage() const override {
        return utf8_ ? target_ : core::CodePage::Windows1252;
    }

private:
    enum class End { Comma, Line, File };
    struct Field {
        End end = End::Line;
        bool closed = false; // ended by a closing quote (spreadsheet: not ended by the file)
        bool cut = false;    // longer than kMaxFieldLength
        bool stray = false;  // held a lone quote (spreadsheet)
    };

    int get() {
        if (pos_ == len_ && !fill())
            return -1;
        ++consumed_;
        return static_cast<unsigned char>(buffer_[pos_++]);
    }
    // Every character, line feeds too; -1 at the end or at Ctrl-Z.
    int rawChar() {
        const int c = get();
        if (c == 26) {
            endMark_ = true;
            pos_ = len_;
            return -1;
        }
        return c;
    }
    // The next character that counts: CR, -1 at the end, or 32 and above.
    int nextChar() {
        for (;;) {
            const int c = rawChar();
            if (c >= 32 || c == 13 || c == -1)
                return c;
            if (c == 10)
                lineFeed_ = true;
        }
    }
    bool fill();
    void detectEncoding();
    int detectDelimiter();
    bool quotedStart();
    void takeRun(std::string& out, Field& f, int stopA, int stopB);
    Field readField(std::string& out) { return quoted_ ? readQuoted(out) : readSheet(out); }
    Field readQuoted(std::string& out);
    Field readSheet(std::string& out);
    void skipLine();
    // The UTF-8 text of a field in `to`, at most kMaxFieldLength characters;
    // returns how many characters `to` lacks.
    int convert(std::string& text, core::CodePage to, bool& cut);

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    bool endMark_ = false; // Ctrl-Z seen: nothing after it counts
    bool atEnd_ = false;
    bool lineFeed_ = false; // a line feed was dropped (quoted dialect)
    std::uint64_t consumed_ = 0;
    std::uint64_t size_ = 0;
    long start_ = 0; // past the byte-order mark
    bool utf8_ = false;
    bool quoted_ = true;
    int delimiter_ = ',';
    std::size_t limit_ = kMaxFieldLength; // bytes kept of one field as read
    core::CodePage target_ = core::CodePage::Windows1252;
    std::vector<std::string> names_;
    std::vector<std::string> headers_;
    std::string converted_;
};

// Appends one written field: a comma unless it is the first, then the value
// with its quotes doubled and its blanks at both ends removed, in quotes.
void appendDelimitedField(std::string& line, std::string_view value, bool first);

class DelimitedWriter : public RecordWriter {
public:
    // `utf8`: the text in UTF-8 (no byte-order mark) rather than Windows-1252.
    DelimitedWriter(const std::filesystem::path& target, const db::DisplayFormats& formats,
                    bool headerLine, bool utf8 = false);
    ~DelimitedWriter() override;

    void begin(db::Table& source, const std::vector<ExportColumn>& columns) override;
    void write(const db::RecordView& record) override;
    void commit() override;

private:
    void flushIfFull();

    TargetFile file_;
    DateStyle dates_;
    bool header_;
    bool utf8_;
    std::vector<ExportColumn> columns_;
    std::vector<char> types_;
    core::CodePage codePage_ = core::CodePage::Windows1252;
    std::string buffer_;
    std::string value_;
};

} // namespace shelvix::transfer
