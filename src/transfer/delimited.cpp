#include "transfer/delimited.h"

#include "core/wholefile.h"
#include "db/displayformats.h"
#include "db/engine/table.h"

#include <QString>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <unistd.h>

namespace shelvix::transfer {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;
constexpr int kEof = -1;
constexpr int kLf = 10;
constexpr int kCr = 13;
constexpr int kCtrlZ = 26;
constexpr const char* kBlankField = "<BLANK FIELD>";
// The most bytes a UTF-8 field of kMaxFieldLength characters takes.
constexpr std::size_t kMaxUtf8Field = kMaxFieldLength * 4;

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighs = 0x8080808080808080ull;

bool hasZeroByte(std::uint64_t v) {
    return ((v - kOnes) & ~v & kHighs) != 0;
}
// Whether any of the eight bytes is `b`; never for -1.
bool hasByte(std::uint64_t v, int b) {
    return b >= 0 && hasZeroByte(v ^ (kOnes * std::uint64_t(b)));
}

bool isTsv(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".tsv";
}

} // namespace

DelimitedReader::DelimitedReader(const std::filesystem::path& path)
    : path_(path), buffer_(new char[kBufferSize]) {
    // Read as it streams, so only what is no file is refused: a pipe would
    // hang the import, a device never end it.
    std::string refusal;
    const int fd = core::openOrdinaryFile(path, refusal);
    if (!refusal.empty())
        throw TransferError(refusal);
    if (fd < 0 || !(file_ = ::fdopen(fd, "rb"))) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throwFileError("read", path, error);
    }
    std::error_code ec;
    size_ = std::filesystem::file_size(path, ec);
    if (ec)
        size_ = 0;
}

DelimitedReader::~DelimitedReader() {
    if (file_)
        std::fclose(file_);
}

bool DelimitedReader::fill() {
    if (endMark_)
        return false;
    len_ = std::fread(buffer_.get(), 1, kBufferSize, file_);
    pos_ = 0;
    if (len_ == 0 && std::ferror(file_))
        throwFileError("read", path_, errno);
    return len_ > 0;
}

void DelimitedReader::rewind() {
    if (std::fseek(file_, start_, SEEK_SET) != 0)
        throwFileError("read", path_, errno);
    std::clearerr(file_);
    pos_ = len_ = 0;
    endMark_ = atEnd_ = false;
    consumed_ = std::uint64_t(start_);
}

// A byte-order mark, or the whole file (up to a Ctrl-Z) valid UTF-8 with at
// least one character beyond ASCII. One pass that stops at the first byte
// UTF-8 cannot hold, so Windows-1252 text is told early.
void DelimitedReader::detectEncoding() {
    start_ = 0;
    rewind();
    utf8_ = false;
    if (get() == 0xEF && get() == 0xBB && get() == 0xBF) {
        start_ = 3;
        utf8_ = true;
        return;
    }
    rewind();
    int need = 0;
    int lo = 0x80, hi = 0xBF;
    bool multi = false;
    for (;;) {
        if (need == 0) {
            // Eight ASCII bytes at a time.
            while (len_ - pos_ >= 8) {
                std::uint64_t v;
                std::memcpy(&v, buffer_.get() + pos_, 8);
                if ((v & kHighs) || hasByte(v, kCtrlZ))
                    break;
                pos_ += 8;
            }
        }
        const int b = get();
        if (b == kEof || (need == 0 && b == kCtrlZ))
            break;
        if (need > 0) {
            if (b < lo || b > hi)
                return;
            lo = 0x80;
            hi = 0xBF;
            --need;
            continue;
        }
        if (b < 0x80)
            continue;
        multi = true;
        if (b >= 0xC2 && b <= 0xDF)
            need = 1;
        else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            lo = b == 0xE0 ? 0xA0 : 0x80;
            hi = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            lo = b == 0xF0 ? 0x90 : 0x80;
            hi = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            return;
        }
    }
    utf8_ = multi && need == 0;
}

// The delimiter that splits the first line into the most fields the next
// lines agree with: a header written "TITLE,C,90;AUTHOR,C,90" is
// semicolon-separated although it holds more commas. Ties go to comma, then
// semicolon, then tab; a .tsv is tab.
int DelimitedReader::detectDelimiter() {
    if (isTsv(path_))
        return '\t';
    constexpr int kLinesCompared = 20;
    int best = ',';
    std::pair<int, int> bestScore{-1, 0}; // lines agreeing, fields on the first
    std::string text;
    for (const int d : {',', ';', '\t'}) {
        delimiter_ = d;
        rewind();
        int first = 0, agreeing = 0;
        End end = End::Line;
        for (int line = 0; line <= kLinesCompared && end != End::File; ++line) {
            int fields = 0;
            Field f;
            do {
                f = readSheet(text);
                ++fields;
            } while (f.end == End::Comma);
            end = f.end;
            if (line == 0)
                first = fields;
            else if (fields == first)
                ++agreeing;
        }
        const std::pair<int, int> score{agreeing, first};
        if (first > 1 && score > bestScore) {
            best = d;
            bestScore = score;
        }
    }
    delimiter_ = best;
    return best;
}

// The first line and the next one that is not empty are quoted lines (every
// field quoted, the last one closed) ending at CR or at the end of the file.
bool DelimitedReader::quotedStart() {
    quoted_ = true;
    rewind();
    std::string text;
    for (int line = 0; line < 2;) {
        lineFeed_ = false;
        int fields = 0;
        Field f;
        do {
            f = readQuoted(text);
            ++fields;
        } while (f.end == End::Comma);
        if (line == 0 && lineFeed_)
            return false;
        const bool empty = fields == 1 && text.empty() && !f.closed;
        if (!empty || line == 0) {
            if (!f.closed)
                return false;
            ++line;
        }
        if (f.end == End::File)
            break;
    }
    return true;
}

void DelimitedReader::takeRun(std::string& out, Field& f, int stopA, int stopB) {
    // Runs of plain characters go straight from the buffer; anything else
    // (quotes, delimiters, line ends, control bytes) goes character-wise.
    const char* const start = buffer_.get() + pos_;
    const char* const end = buffer_.get() + len_;
    const char* p = start;
    while (end - p >= 8) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        if (((v - kOnes * 32) & ~v & kHighs) || hasByte(v, stopA) || hasByte(v, stopB))
            break;
        p += 8;
    }
    while (p < end && static_cast<unsigned char>(*p) >= 32 && *p != stopA && *p != stopB)
        ++p;
    const std::size_t n = std::size_t(p - start);
    pos_ += n;
    consumed_ += n;
    const std::size_t room = limit_ - std::min(out.size(), limit_);
    out.append(start, std::min(n, room));
    if (n > room)
        f.cut = true;
}

DelimitedReader::Field DelimitedReader::readQuoted(std::string& out) {
    out.clear();
    Field f;
    auto put = [&](int ch) {
        if (out.size() < limit_)
            out += char(ch);
        else
            f.cut = true;
    };
    int c = nextChar();
    if (c != '"') {
        while (c != kEof && c != kCr) {
            put(c);
            takeRun(out, f, -1, -1);
            c = nextChar();
        }
        f.end = c == kEof ? End::File : End::Line;
        return f;
    }
    for (;;) {
        takeRun(out, f, '"', -1);
        c = nextChar();
        if (c == kEof || c == kCr) {
            f.end = c == kEof ? End::File : End::Line;
            return f;
        }
        if (c != '"') {
            put(c);
            continue;
        }
        const int d = nextChar();
        if (d == ',' || d == kCr || d == kEof) {
            f.closed = true;
            f.end = d == ',' ? End::Comma : d == kCr ? End::Line : End::File;
            return f;
        }
        put('"');
        // A lone quote is text: the character after it is an ordinary one.
        if (d != '"')
            put(d);
    }
}

DelimitedReader::Field DelimitedReader::readSheet(std::string& out) {
    out.clear();
    Field f;
    f.closed = true;
    auto put = [&](int ch) {
        if (out.size() < limit_)
            out += char(ch);
        else
            f.cut = true;
    };
    // A CR LF pair is one line end.
    auto eatLineFeed = [&] {
        if ((pos_ < len_ || fill()) && buffer_[pos_] == '\n') {
            ++pos_;
            ++consumed_;
        }
    };
    int c = rawChar();
    if (c == '"') {
        for (;;) {
            takeRun(out, f, '"', -1);
            c = rawChar();
            if (c == kEof) {
                f.closed = false;
                f.end = End::File;
                return f;
            }
            if (c == '"') {
                const int d = rawChar();
                if (d == '"') {
                    put('"');
                    continue;
                }
                if (d == delimiter_) {
                    f.end = End::Comma;
                    return f;
                }
                if (d == kCr)
                    eatLineFeed();
                if (d == kCr || d == kLf || d == kEof) {
                    f.end = d == kEof ? End::File : End::Line;
                    return f;
                }
                f.stray = true;
                put('"');
                c = d;
                break; // the rest of the field is read unquoted
            }
            if (c == kCr)
                eatLineFeed();
            if (c == kCr || c == kLf || c == '\t')
                put(' ');
            else if (c >= 32)
                put(c);
        }
    }
    for (;;) {
        if (c == kEof) {
            f.end = End::File;
            return f;
        }
        if (c == delimiter_) {
            f.end = End::Comma;
            return f;
        }
        if (c == kCr)
            eatLineFeed();
        if (c == kCr || c == kLf) {
            f.end = End::Line;
            return f;
        }
        if (c >= 32) {
            put(c);
            takeRun(out, f, delimiter_, -1);
        } else if (c == '\t') {
            put(' ');
        }
        c = rawChar();
    }
}

void DelimitedReader::skipLine() {
    for (;;) {
        const int c = nextChar();
        if (c == kEof) {
            atEnd_ = true;
            return;
        }
        if (c == kCr)
            return;
    }
}

int DelimitedReader::convert(std::string& text, core::CodePage to, bool& cut) {
    // Letters written with combining accents (as some systems write names)
    // become the single characters a code page has.
    if (text.find('\xCC') != std::string::npos || text.find('\xCD') != std::string::npos)
        text = QString::fromUtf8(text.data(), qsizetype(text.size()))
                   .normalized(QString::NormalizationForm_C)
                   .toStdString();
    std::size_t chars = 0, at = 0;
    for (; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
            continue;
        if (chars == kMaxFieldLength)
            break;
        ++chars;
    }
    if (at < text.size()) {
        cut = true;
        text.resize(at);
    }
    core::Encoded e = core::encode(text, to);
    text = std::move(e.bytes);
    return int(e.unmappable.size());
}

FirstLine DelimitedReader::scanFirstLine() {
    names_.clear();
    headers_.clear();
    detectEncoding();
    limit_ = utf8_ ? kMaxUtf8Field : kMaxFieldLength;
    delimiter_ = detectDelimiter();
    quoted_ = delimiter_ == ',' && quotedStart();
    rewind();
    std::vector<std::string> names, headers;
    std::string text;
    for (;;) {
        if (int(names.size()) == kMaxSourceFields)
            return FirstLine::TooManyFields;
        Field f = readField(text);
        if (utf8_)
            convert(text, core::CodePage::Windows1252, f.cut);
        if (f.cut)
            return FirstLine::FieldTooLong;
        names.push_back(text.empty() ? std::string(kBlankField) : text.substr(0, kMaxNameLength));
        headers.push_back(text);
        if (f.end != End::Comma) {
            if (!f.closed)
                return FirstLine::UnexpectedEnd;
            break;
        }
    }
    // An empty file, or an empty first line, names nothing.
    if (!quoted_ && names.size() == 1 && headers[0].empty())
        return FirstLine::UnexpectedEnd;
    names_ = std::move(names);
    headers_ = std::move(headers);
    rewind();
    return FirstLine::Ok;
}

bool DelimitedReader::next(SourceRecord& record) {
    const std::size_t count = names_.size();
    if (count == 0)
        return false;
    record.values.resize(count);
    while (!atEnd_) {
        record.cutFields = 0;
        record.extraFields = false;
        record.strayQuote = false;
        std::size_t i = 0;
        Field f;
        do {
            SourceValue& v = record.values[i];
            v.date.reset();
            f = readField(v.text);
            v.unmapped = utf8_ ? convert(v.text, target_, f.cut) : 0;
            if (f.cut)
                ++record.cutFields;
            record.strayQuote |= f.stray;
            ++i;
        } while (f.end == End::Comma && i < count);
        // As the first line is judged: a quoted line must end on a closing
        // quote; a spreadsheet line must not end inside a quoted field.
        record.unclosed = f.end != End::Comma && !f.closed;
        const bool emptyLine = i == 1 && record.values[0].text.empty() && f.end != End::Comma;
        if (f.end == End::File)
            atEnd_ = true;
        else if (f.end == End::Comma && quoted_) {
            record.extraFields = true;
            skipLine();
        } else if (f.end == End::Comma) {
            // Extra fields of a spreadsheet line may hold quoted line breaks;
            // empty ones (a trailing delimiter) are nothing lost.
            Field extra;
            do {
                extra = readSheet(converted_);
                if (!converted_.empty())
                    record.extraFields = true;
            } while (extra.end == End::Comma);
            atEnd_ = extra.end == End::File;
        }
        if (emptyLine)
            continue;
        for (; i < count; ++i) {
            record.values[i].text.clear();
            record.values[i].date.reset();
            record.values[i].unmapped = 0;
        }
        return true;
    }
    return false;
}

void appendDelimitedField(std::string& line, std::string_view value, bool first) {
    if (!first)
        line += ',';
    line += '"';
    for (char c : trimBlanks(value)) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

DelimitedWriter::DelimitedWriter(const std::filesystem::path& target,
                                 const db::DisplayFormats& formats, bool headerLine, bool utf8)
    : file_(target), dates_(formats), header_(headerLine), utf8_(utf8) {
    buffer_.reserve(kBufferSize + 4096);
}

DelimitedWriter::~DelimitedWriter() = default;

void DelimitedWriter::begin(db::Table& source, const std::vector<ExportColumn>& columns) {
    columns_ = columns;
    types_.clear();
    for (const ExportColumn& c : columns_)
        types_.push_back(source.field(c.index).type);
    codePage_ = source.codePage();
    if (!header_)
        return;
    for (std::size_t i = 0; i < columns_.size(); ++i)
        appendDelimitedField(buffer_, utf8_ ? core::decode(columns_[i].label) : columns_[i].label,
                             i == 0);
    buffer_ += "\r\n";
}

void DelimitedWriter::write(const db::RecordView& record) {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const int index = columns_[i].index;
        value_.clear();
        switch (types_[i]) {
        case 'N':
        case 'F':
            if (!record.isEmpty(index))
                value_ = generalNumberText(record.raw(index));
            break;
        case 'D':
            if (auto d = record.date(index))
                dates_.format(*d, value_);
            break;
        default:
            if (utf8_)
                value_ = core::decode(record.text(index), codePage_);
            else if (codePage_ == core::CodePage::Windows1252)
                value_.assign(record.text(index));
            else
                value_ = recode(record.text(index), codePage_, core::CodePage::Windows1252);
        }
        appendDelimitedField(buffer_, value_, i == 0);
    }
    buffer_ += "\r\n";
    flushIfFull();
}

void DelimitedWriter::flushIfFull() {
    if (buffer_.size() >= kBufferSize) {
        file_.write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
}

void DelimitedWriter::commit() {
    file_.write(buffer_.data(), buffer_.size());
    buffer_.clear();
    file_.commit();
}

} // namespace shelvix::transfer
