#include "transfer/delimited.h"

#include "db/displayformats.h"
#include "db/engine/table.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace shelvix::transfer {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;
constexpr int kEof = -1;
constexpr int kCr = 13;
constexpr int kCtrlZ = 26;
constexpr const char* kBlankField = "<BLANK FIELD>";

} // namespace

DelimitedReader::DelimitedReader(const std::filesystem::path& path)
    : path_(path), buffer_(new char[kBufferSize]) {
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_)
        throwFileError("read", path, errno);
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
    if (std::fseek(file_, 0, SEEK_SET) != 0)
        throwFileError("read", path_, errno);
    std::clearerr(file_);
    pos_ = len_ = 0;
    endMark_ = atEnd_ = false;
    consumed_ = 0;
}

DelimitedReader::Field DelimitedReader::readField(std::string& out) {
    out.clear();
    Field f;
    auto put = [&](int ch) {
        if (out.size() < kMaxFieldLength)
            out += char(ch);
        else
            f.cut = true;
    };
    // Runs of plain characters go straight from the buffer; anything else
    // (quotes, line ends, control bytes) takes the character-wise road.
    auto takeRun = [&](bool stopAtQuote) {
        const char* const start = buffer_.get() + pos_;
        const char* const end = buffer_.get() + len_;
        const char* p = start;
        // Eight bytes at a time while none is a control byte or a quote.
        while (end - p >= 8) {
            std::uint64_t v;
            std::memcpy(&v, p, 8);
            const std::uint64_t ones = 0x0101010101010101ull;
            const std::uint64_t highs = 0x8080808080808080ull;
            const std::uint64_t quotes = stopAtQuote ? v ^ (ones * '"') : ~0ull;
            if (((v - ones * 32) & ~v & highs) || ((quotes - ones) & ~quotes & highs))
                break;
            p += 8;
        }
        if (stopAtQuote)
            while (p < end && static_cast<unsigned char>(*p) >= 32 && *p != '"')
                ++p;
        else
            while (p < end && static_cast<unsigned char>(*p) >= 32)
                ++p;
        const std::size_t n = std::size_t(p - start);
        pos_ += n;
        consumed_ += n;
        const std::size_t room = kMaxFieldLength - std::min(out.size(), kMaxFieldLength);
        out.append(start, std::min(n, room));
        if (n > room)
            f.cut = true;
    };
    int c = nextChar();
    if (c != '"') {
        while (c != kEof && c != kCr) {
            put(c);
            takeRun(false);
            c = nextChar();
        }
        f.end = c == kEof ? End::File : End::Line;
        return f;
    }
    for (;;) {
        takeRun(true);
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

FirstLine DelimitedReader::scanFirstLine() {
    rewind();
    names_.clear();
    std::vector<std::string> names;
    std::string text;
    for (;;) {
        if (int(names.size()) == kMaxSourceFields)
            return FirstLine::TooManyFields;
        const Field f = readField(text);
        if (f.cut)
            return FirstLine::FieldTooLong;
        names.push_back(text.empty() ? std::string(kBlankField) : text.substr(0, kMaxNameLength));
        if (f.end != End::Comma) {
            if (!f.closed)
                return FirstLine::UnexpectedEnd;
            break;
        }
    }
    names_ = std::move(names);
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
        std::size_t i = 0;
        End end = End::Line;
        bool closed = true;
        do {
            SourceValue& v = record.values[i];
            v.date.reset();
            const Field f = readField(v.text);
            if (f.cut)
                ++record.cutFields;
            end = f.end;
            closed = f.closed;
            ++i;
        } while (end == End::Comma && i < count);
        // As the first line is judged: the line must end on a closing quote.
        record.unclosed = end != End::Comma && !closed;
        const bool emptyLine = i == 1 && record.values[0].text.empty() && end != End::Comma;
        if (end == End::File)
            atEnd_ = true;
        else if (end == End::Comma) {
            record.extraFields = true;
            skipLine();
        }
        if (emptyLine)
            continue;
        for (; i < count; ++i) {
            record.values[i].text.clear();
            record.values[i].date.reset();
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
                                 const db::DisplayFormats& formats, bool headerLine)
    : file_(target), dates_(formats), header_(headerLine) {
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
        appendDelimitedField(buffer_, columns_[i].label, i == 0);
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
            if (codePage_ == core::CodePage::Windows1252)
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
