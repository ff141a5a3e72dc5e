#include "reports/reportdefinition.h"

#include "core/wholefile.h"
#include "db/databasefiles.h"
#include "db/engine/error.h"
#include "db/engine/replacingfile.h"
#include "db/textcodec.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>

namespace shelvix::reports {

namespace {

// Field offsets of a record.
constexpr int kOffCharsPerLine = 31;
constexpr int kOffFonts = 33;
constexpr int kFontSize = 61;
constexpr int kOffFlags = 338;
constexpr int kOffLineCount = 343;
constexpr int kOffTotals = 345;
constexpr int kPartSize = 75;
constexpr int kLineSize = kPartsPerLine * kPartSize;
constexpr int kOffMargins = 1845;
constexpr int kOffBorders = 1877;
constexpr int kOffTitles = 1879;
constexpr int kOffLines = 2122;
constexpr int kOffGroups = 20122;

// Far more definitions than anyone keeps: a longer file is not read.
constexpr std::uint64_t kMaxDefinitions = 2000;
constexpr std::uint64_t kMaxDefinitionBytes = kMaxDefinitions * kDefinitionSize;

// Limits past which a record is taken as damaged rather than drawn.
constexpr int kMaxCharsPerLine = 255;
constexpr int kMaxPartWidth = 999;
constexpr int kMaxFontSize = 999;
constexpr double kMaxMargin = 50.0;

static_assert(kOffLines + kBodyLines * kLineSize == kOffGroups);

class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}
    void string(std::size_t at, const std::string& s, std::size_t capacity) {
        const std::size_t n = std::min(s.size(), capacity);
        out_[at] = static_cast<char>(n);
        std::memcpy(&out_[at + 1], s.data(), n);
    }
    void i16(std::size_t at, std::int16_t v) { bytes(at, static_cast<std::uint16_t>(v), 2); }
    void i32(std::size_t at, std::int32_t v) { bytes(at, static_cast<std::uint32_t>(v), 4); }
    void f64(std::size_t at, double v) { bytes(at, std::bit_cast<std::uint64_t>(v), 8); }
    void flag(std::size_t at, bool v) { out_[at] = v ? 1 : 0; }

private:
    void bytes(std::size_t at, std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i) {
            out_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        }
    }
    std::string& out_;
};

// Why a record cannot be used: which report, and what is wrong with it.
struct Damage {
    QString where;
    QString why;
};

class Reader {
public:
    Reader(const std::string& in, std::size_t base, int record)
        : in_(in), base_(base), record_(record) {}

    std::string string(std::size_t at, std::size_t capacity, const char* what) const {
        const auto n = static_cast<unsigned char>(in_[base_ + at]);
        if (n > capacity) {
            damaged(QStringLiteral("%1 is %2 characters long, more than %3")
                        .arg(QString::fromLatin1(what))
                        .arg(n)
                        .arg(capacity));
        }
        return in_.substr(base_ + at + 1, n);
    }
    std::int16_t i16(std::size_t at) const { return static_cast<std::int16_t>(bytes(at, 2)); }
    std::int32_t i32(std::size_t at) const { return static_cast<std::int32_t>(bytes(at, 4)); }
    std::uint8_t u8(std::size_t at) const { return static_cast<std::uint8_t>(in_[base_ + at]); }
    double f64(std::size_t at) const { return std::bit_cast<double>(bytes(at, 8)); }
    bool flag(std::size_t at) const { return in_[base_ + at] != 0; }

    [[noreturn]] void damaged(const QString& why) const {
        // The name may itself be what is damaged; show it only when readable.
        QString where = QStringLiteral("report %1").arg(record_ + 1);
        const auto n = static_cast<unsigned char>(in_[base_]);
        if (n <= 30) {
            where += QStringLiteral(" (\"%1\")")
                         .arg(db::fromWindows1252(std::string_view(in_).substr(base_ + 1, n)));
        }
        throw Damage{where, why};
    }

private:
    std::uint64_t bytes(std::size_t at, int n) const {
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i) {
            v |= static_cast<std::uint64_t>(static_cast<unsigned char>(in_[base_ + at + i]))
                 << (8 * i);
        }
        return v;
    }
    const std::string& in_;
    std::size_t base_;
    int record_;
};

ReportPartEntry readPart(const Reader& r, std::size_t at) {
    ReportPartEntry p;
    p.name = r.string(at, 30, "a part name");
    p.number = r.u8(at + 31);
    p.width = r.i16(at + 32);
    p.label = r.string(at + 34, 40, "a label");
    return p;
}

void readLine(const Reader& r, std::size_t at, ReportLine& line) {
    for (int i = 0; i < kPartsPerLine; ++i) {
        line[i] = readPart(r, at + static_cast<std::size_t>(i) * kPartSize);
    }
}

// Parts that print must be drawable: a sane width and a field or total that exists.
void checkLine(const Reader& r, const ReportLine& line, int highest, const QString& which) {
    const int used = usedParts(line);
    for (int i = 0; i < used; ++i) {
        const ReportPartEntry& p = line[i];
        if (p.width > kMaxPartWidth) {
            r.damaged(QStringLiteral("part %1 of %2 is %3 characters wide")
                          .arg(i + 1)
                          .arg(which)
                          .arg(p.width));
        }
        if (!p.isFiller() && !p.isLabel() && (p.number < 1 || p.number > highest)) {
            r.damaged(QStringLiteral("part %1 of %2 names number %3, not 1 to %4")
                          .arg(i + 1)
                          .arg(which)
                          .arg(p.number)
                          .arg(highest));
        }
    }
}

ReportDefinition decodeAt(const std::string& bytes, std::size_t base, int record) {
    const Reader r(bytes, base, record);
    ReportDefinition d;
    d.name = r.string(0, 30, "the name");
    d.CharsPerLine = r.i16(kOffCharsPerLine);
    if (d.CharsPerLine < 1 || d.CharsPerLine > kMaxCharsPerLine) {
        r.damaged(QStringLiteral("the line width is %1 characters").arg(d.CharsPerLine));
    }
    for (int f = 0; f < 5; ++f) {
        const std::size_t at = kOffFonts + static_cast<std::size_t>(f) * kFontSize;
        ReportFontSpec& font = d.fonts[f];
        font.name = r.string(at, 50, "a font name");
        font.size = r.i16(at + 51);
        if (font.size < 1 || font.size > kMaxFontSize) {
            r.damaged(QStringLiteral("font %1 is %2 points").arg(f + 1).arg(font.size));
        }
        font.bold = r.flag(at + 53);
        font.italic = r.flag(at + 54);
        font.underline = r.flag(at + 55);
        font.strikeout = r.flag(at + 56);
        font.color = r.i32(at + 57);
    }
    d.columnHeaders = r.flag(kOffFlags);
    d.pageNumbers = r.flag(kOffFlags + 1);
    d.landscape = r.flag(kOffFlags + 2);
    d.dateOnPages = r.flag(kOffFlags + 3);
    d.useTotals = r.flag(kOffFlags + 4);
    d.lineCount = r.i16(kOffLineCount);
    if (d.lineCount < 0 || d.lineCount > kBodyLines) {
        r.damaged(QStringLiteral("the line count is %1").arg(d.lineCount));
    }
    readLine(r, kOffTotals, d.totalsLine);
    double* margins[] = {&d.topMargin, &d.bottomMargin, &d.leftMargin, &d.rightMargin};
    const char* sides[] = {"top", "bottom", "left", "right"};
    for (int m = 0; m < 4; ++m) {
        *margins[m] = r.f64(kOffMargins + static_cast<std::size_t>(m) * 8);
        if (!std::isfinite(*margins[m]) || *margins[m] < 0 || *margins[m] > kMaxMargin) {
            r.damaged(QStringLiteral("the %1 margin is %2 inches")
                          .arg(QLatin1String(sides[m]))
                          .arg(*margins[m]));
        }
    }
    d.verticalLines = r.flag(kOffBorders);
    d.horizontalLines = r.flag(kOffBorders + 1);
    for (int t = 0; t < 3; ++t) {
        d.titles[t] = r.string(kOffTitles + static_cast<std::size_t>(t) * 81, 80, "a title");
    }
    for (int l = 0; l < kBodyLines; ++l) {
        readLine(r, kOffLines + static_cast<std::size_t>(l) * kLineSize, d.lines[l]);
    }
    d.groupLevel1 = r.flag(kOffGroups);
    d.groupLevel2 = r.flag(kOffGroups + 1);

    checkLine(r, d.totalsLine, 5, QStringLiteral("the totals line"));
    for (int l = 0; l < d.lineCount; ++l) {
        checkLine(r, d.lines[l], 36, QStringLiteral("line %1").arg(l + 1));
    }
    return d;
}

// An earlier version's record as a definition of this one.
ReportDefinition decodeOld(const std::string& bytes, std::size_t base) {
    const Reader r(bytes, base, 0);
    ReportDefinition d = InitReportDefinition();
    d.name = r.string(0, 30, "the name");
    d.CharsPerLine = r.i16(31);
    d.columnHeaders = r.flag(83);
    d.pageNumbers = r.flag(84);
    d.useTotals = r.flag(85);
    d.lineCount = r.i16(86);
    readLine(r, 88, d.totalsLine);
    for (int t = 0; t < 3; ++t) {
        d.titles[t] = r.string(1588 + static_cast<std::size_t>(t) * 81, 80, "a title");
    }
    for (int l = 0; l < kBodyLines; ++l) {
        readLine(r, 1831 + static_cast<std::size_t>(l) * kLineSize, d.lines[l]);
    }
    d.landscape = false;
    d.dateOnPages = true;
    for (int f = 0; f < 5; ++f) {
        d.fonts[f] =
            ReportFontSpec{"Courier New", static_cast<std::int16_t>(d.CharsPerLine == 90 ? 10 : 8),
                           f == 0 || f == 1 || f == 4};
    }
    d.verticalLines = false;
    d.horizontalLines = false;
    // The earlier version numbered the count of books 3.
    for (ReportPartEntry& p : d.totalsLine) {
        if (!p.isFiller() && !p.isLabel() && p.number == 3) {
            p.number = 5;
        }
    }
    d.groupLevel1 = true;
    d.groupLevel2 = false;
    return d;
}

} // namespace

std::string encodeDefinition(const ReportDefinition& d) {
    std::string out(kDefinitionSize, '\0');
    Writer w(out);
    w.string(0, d.name, 30);
    w.i16(kOffCharsPerLine, d.CharsPerLine);
    for (int f = 0; f < 5; ++f) {
        const std::size_t at = kOffFonts + static_cast<std::size_t>(f) * kFontSize;
        const ReportFontSpec& font = d.fonts[f];
        w.string(at, font.name, 50);
        w.i16(at + 51, font.size);
        w.flag(at + 53, font.bold);
        w.flag(at + 54, font.italic);
        w.flag(at + 55, font.underline);
        w.flag(at + 56, font.strikeout);
        w.i32(at + 57, font.color);
    }
    w.flag(kOffFlags, d.columnHeaders);
    w.flag(kOffFlags + 1, d.pageNumbers);
    w.flag(kOffFlags + 2, d.landscape);
    w.flag(kOffFlags + 3, d.dateOnPages);
    w.flag(kOffFlags + 4, d.useTotals);
    w.i16(kOffLineCount, d.lineCount);
    auto writeLine = [&](std::size_t at, const ReportLine& line) {
        for (int i = 0; i < kPartsPerLine; ++i) {
            const std::size_t p = at + static_cast<std::size_t>(i) * kPartSize;
            w.string(p, line[i].name, 30);
            out[p + 31] = static_cast<char>(line[i].number);
            w.i16(p + 32, line[i].width);
            w.string(p + 34, line[i].label, 40);
        }
    };
    writeLine(kOffTotals, d.totalsLine);
    w.f64(kOffMargins, d.topMargin);
    w.f64(kOffMargins + 8, d.bottomMargin);
    w.f64(kOffMargins + 16, d.leftMargin);
    w.f64(kOffMargins + 24, d.rightMargin);
    w.flag(kOffBorders, d.verticalLines);
    w.flag(kOffBorders + 1, d.horizontalLines);
    for (int t = 0; t < 3; ++t) {
        w.string(kOffTitles + static_cast<std::size_t>(t) * 81, d.titles[t], 80);
    }
    for (int l = 0; l < kBodyLines; ++l) {
        writeLine(kOffLines + static_cast<std::size_t>(l) * kLineSize, d.lines[l]);
    }
    w.flag(kOffGroups, d.groupLevel1);
    w.flag(kOffGroups + 1, d.groupLevel2);
    return out;
}

ReportDefinition decodeDefinition(const std::string& bytes, int recordNumber,
                                  const QString& fileName) {
    if (bytes.size() != kDefinitionSize) {
        throw ReportFileError(QStringLiteral("%1 is damaged: report %2 is %3 bytes long, not %4.")
                                  .arg(QFileInfo(fileName).fileName())
                                  .arg(recordNumber + 1)
                                  .arg(bytes.size())
                                  .arg(kDefinitionSize)
                                  .toStdString());
    }
    try {
        return decodeAt(bytes, 0, recordNumber);
    } catch (const Damage& d) {
        throw ReportFileError(QStringLiteral("%1 is damaged: in %2, %3.")
                                  .arg(QFileInfo(fileName).fileName(), d.where, d.why)
                                  .toStdString());
    }
}

std::vector<ReportDefinition> ReportFileScan::usable() const {
    std::vector<ReportDefinition> out;
    for (const ReportRecord& r : records) {
        if (r.definition) {
            out.push_back(*r.definition);
        }
    }
    return out;
}

QStringList ReportFileScan::problems() const {
    QStringList out;
    for (const ReportRecord& r : records) {
        if (!r.definition) {
            out << r.damage;
        }
    }
    if (tailBytes > 0) {
        out << QStringLiteral("report %1, the last, is cut short at %2 of %3 bytes")
                   .arg(records.size() + 1)
                   .arg(tailBytes)
                   .arg(kDefinitionSize);
    }
    return out;
}

QString ReportFileScan::message(const QString& fileName) const {
    const QStringList lines = problems();
    if (lines.isEmpty()) {
        return {};
    }
    return QStringLiteral("%1 holds reports that cannot be used:\n\n%2.\n\nThey are left out of "
                          "the report list and kept in the file as they are, until you delete "
                          "or replace the file.")
        .arg(QFileInfo(fileName).fileName(), lines.join(QStringLiteral(";\n")));
}

struct ReportFile::Loaded {
    std::string bytes;
    ReportFileScan scan;

    // Where usable report `index` starts, or nothing.
    std::optional<std::size_t> offsetOf(int index) const {
        int seen = 0;
        for (const ReportRecord& r : scan.records) {
            if (r.definition && seen++ == index) {
                return static_cast<std::size_t>(r.number) * kDefinitionSize;
            }
        }
        return std::nullopt;
    }
    std::size_t wholeEnd() const { return scan.records.size() * kDefinitionSize; }
    int usableCount() const {
        return static_cast<int>(std::count_if(scan.records.begin(), scan.records.end(),
                                              [](const ReportRecord& r) { return r.definition; }));
    }
};

bool ReportFile::exists() const {
    return QFileInfo::exists(path_);
}

std::optional<ReportFile::Loaded> ReportFile::load() const {
    core::WholeFile read =
        core::readWholeFile(db::toPath(path_), kMaxDefinitionBytes, "report definitions file");
    if (read.missing) {
        return std::nullopt;
    }
    if (!read.refusal.empty()) {
        throw ReportFileError(read.refusal);
    }
    Loaded l;
    l.bytes = std::move(read.bytes);
    const std::size_t whole = l.bytes.size() / kDefinitionSize;
    l.scan.tailBytes = l.bytes.size() % kDefinitionSize;
    for (std::size_t i = 0; i < whole; ++i) {
        ReportRecord r;
        r.number = static_cast<int>(i);
        try {
            r.definition = decodeAt(l.bytes, i * kDefinitionSize, r.number);
        } catch (const Damage& d) {
            r.damage = d.where + QStringLiteral(": ") + d.why;
        }
        l.scan.records.push_back(std::move(r));
    }
    std::string unusable;
    for (const ReportRecord& r : l.scan.records) {
        if (!r.definition) {
            unusable.append(l.bytes, static_cast<std::size_t>(r.number) * kDefinitionSize,
                            kDefinitionSize);
        }
    }
    unusable.append(l.bytes, whole * kDefinitionSize);
    if (!unusable.empty()) {
        l.scan.damageKey = std::max<std::size_t>(1, std::hash<std::string>()(unusable));
    }
    return l;
}

std::optional<ReportFileScan> ReportFile::scan() const {
    if (auto l = load()) {
        return std::move(l->scan);
    }
    return std::nullopt;
}

void ReportFile::store(const std::string& bytes) const {
    try {
        db::replaceFile(db::toPath(path_), bytes, *fs_);
    } catch (const db::DatabaseError& e) {
        throw ReportFileError(QStringLiteral("%1 could not be written: %2")
                                  .arg(path_, db::errorText(db::failureReason(e)))
                                  .toStdString());
    }
}

std::vector<std::string> ReportFile::names() const {
    std::vector<std::string> out;
    for (const ReportDefinition& d : readAll()) {
        out.push_back(d.name);
    }
    return out;
}

std::vector<ReportDefinition> ReportFile::readAll() const {
    const auto s = scan();
    return s ? s->usable() : std::vector<ReportDefinition>();
}

std::optional<ReportDefinition> ReportFile::read(int index) const {
    const auto s = scan();
    if (!s) {
        return std::nullopt;
    }
    int seen = 0;
    for (const ReportRecord& r : s->records) {
        if (r.definition && seen++ == index) {
            return r.definition;
        }
    }
    return std::nullopt;
}

int ReportFile::save(const ReportDefinition& def, std::optional<int> index) const {
    Loaded l = load().value_or(Loaded{});
    const std::string record = encodeDefinition(def);
    const std::optional<std::size_t> at = index ? l.offsetOf(*index) : std::nullopt;
    if (at) {
        l.bytes.replace(*at, kDefinitionSize, record);
        store(l.bytes);
        return *index;
    }
    // After the last whole record: a short tail stays at the end.
    l.bytes.insert(l.wholeEnd(), record);
    store(l.bytes);
    return l.usableCount();
}

void ReportFile::append(const std::vector<ReportDefinition>& defs) const {
    Loaded l = load().value_or(Loaded{});
    std::string records;
    for (const ReportDefinition& d : defs) {
        records += encodeDefinition(d);
    }
    l.bytes.insert(l.wholeEnd(), records);
    store(l.bytes);
}

void ReportFile::remove(int index) const {
    const auto l = load();
    if (!l) {
        return;
    }
    if (const auto at = l->offsetOf(index)) {
        std::string rest = l->bytes;
        rest.erase(*at, kDefinitionSize);
        store(rest);
    }
}

void ReportFile::writeAll(const std::vector<ReportDefinition>& defs) const {
    std::string bytes;
    for (const ReportDefinition& d : defs) {
        bytes += encodeDefinition(d);
    }
    store(bytes);
}

void WriteDefaultReports(const ReportFile& file) {
    file.writeAll(DefaultReports());
}

int ConvertOldReportFile(const QString& oldPath, const ReportFile& file) {
    const core::WholeFile read = core::readWholeFile(
        db::toPath(oldPath), kMaxDefinitions * std::uint64_t{kOldDefinitionSize},
        "report definitions file");
    if (!read.refusal.empty()) {
        core::noteRefusal(read.refusal);
    }
    if (read.missing || !read.refusal.empty()) {
        return 0;
    }
    const std::string& old = read.bytes;

    static const char* const earlierDefaults[] = {
        "1 Line 90 Column Report",  "2 Line 120 Column Report", "Full Report",
        "Statistic/Summary Report", "1 Line Location Report",   "120 Column 4 Line Report"};
    std::vector<ReportDefinition> converted;
    for (std::size_t base = 0; base + kOldDefinitionSize <= old.size();
         base += kOldDefinitionSize) {
        try {
            ReportDefinition d = decodeOld(old, base);
            if (std::find_if(std::begin(earlierDefaults), std::end(earlierDefaults),
                             [&](const char* n) { return d.name == n; }) !=
                std::end(earlierDefaults)) {
                continue;
            }
            // Only what this version can draw joins the file.
            decodeDefinition(encodeDefinition(d));
            converted.push_back(std::move(d));
        } catch (const Damage&) {
        } catch (const ReportFileError&) {
        }
    }
    if (!converted.empty()) {
        try {
            file.append(converted);
        } catch (const ReportFileError&) {
            return 0; // the old file stays for a later start
        }
    }
    QFile::remove(oldPath);
    return static_cast<int>(converted.size());
}

void CheckReportFile(const QString& dataDir) {
    const ReportFile file(dataDir + QStringLiteral("/SHVBOOK.URP"));
    if (!file.exists()) {
        try {
            WriteDefaultReports(file);
        } catch (const ReportFileError&) {
            // A directory that cannot be written leaves the list empty.
        }
    }
    ConvertOldReportFile(dataDir + QStringLiteral("/BOOK.URP"), file);
}

} // namespace shelvix::reports
