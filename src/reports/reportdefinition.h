#pragma once

#include "db/engine/file.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The report definitions file SHVBOOK.URP: fixed records of 20622 bytes, one
// report each, in the order the report list shows them. Strings are
// Windows-1252 bytes as the file holds them.
namespace shelvix::reports {

inline constexpr int kDefinitionSize = 20622;
inline constexpr int kOldDefinitionSize = 19831;
inline constexpr int kPartsPerLine = 20;
inline constexpr int kBodyLines = 12;

inline const std::string kFiller = "<FILLER>";
inline const std::string kLabel = "<LABEL>";

struct ReportFontSpec {
    std::string name = "Arial"; // capacity 50
    std::int16_t size = 8;      // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    std::int32_t color = 0; // Windows 0x00BBGGRR

    bool operator==(const ReportFontSpec&) const = default;
};

struct ReportPartEntry {
    std::string name = kFiller; // "<FILLER>", "<LABEL>", a field or a total (capacity 30)
    std::uint8_t number = 0;    // 1-based in ReportFieldNames or ReportTotalNames
    std::int16_t width = 0;     // characters; below 1 ends the line
    std::string label;          // text of a "<LABEL>" part (capacity 40)

    bool isFiller() const { return name == kFiller; }
    bool isLabel() const { return name == kLabel; }
    bool operator==(const ReportPartEntry&) const = default;
};

using ReportLine = std::array<ReportPartEntry, kPartsPerLine>;

// The parts of `line` that print: those before the first width below 1.
int usedParts(const ReportLine& line);

struct ReportDefinition {
    std::string name; // capacity 30
    std::int16_t CharsPerLine = 120;
    std::array<ReportFontSpec, 5> fonts{}; // titles, headings, body, unused, footer
    bool columnHeaders = true;
    bool pageNumbers = true;
    bool landscape = false;
    bool dateOnPages = true;
    bool useTotals = true;
    std::int16_t lineCount = 1; // 0 to 12
    ReportLine totalsLine{};
    double topMargin = 0.5; // inches
    double bottomMargin = 0.5;
    double leftMargin = 0.5;
    double rightMargin = 0.5;
    bool verticalLines = false;
    bool horizontalLines = false;
    std::array<std::string, 3> titles{}; // capacity 80 each
    std::array<ReportLine, kBodyLines> lines{};
    bool groupLevel1 = true;
    bool groupLevel2 = false;

    bool operator==(const ReportDefinition&) const = default;
};

// The 36 names a field part stores, by field number - 1.
const std::array<const char*, 36>& ReportFieldNames();
// "Cost", "Value", "Low Market", "High Market", "Quantity", by total number - 1.
const std::array<const char*, 5>& ReportTotalNames();

// A part that shows field `number` (1..36) or total `number` (1..5).
ReportPartEntry fieldPart(int number, int width);
ReportPartEntry totalPart(int number, int width);
ReportPartEntry labelPart(const std::string& text, int width);
ReportPartEntry fillerPart(int width);

ReportDefinition InitReportDefinition();
void AddStandardTotalsLine(ReportDefinition& def);
// The starting values of a definition made with New Report.
ReportDefinition NewReportDefinition();
// The eight reports a new SHVBOOK.URP holds, in file order.
std::vector<ReportDefinition> DefaultReports();

// A file that is not what it claims to be, or that could not be written.
// The message names the file and, for damage, the record.
class ReportFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Record bytes of a definition, and back. `recordNumber` (0-based) and
// `fileName` only name the record in the message of a damaged one.
std::string encodeDefinition(const ReportDefinition& def);
ReportDefinition decodeDefinition(const std::string& bytes, int recordNumber = 0,
                                  const QString& fileName = QStringLiteral("SHVBOOK.URP"));

// One whole record of the file as read: a definition, or why it cannot be one.
struct ReportRecord {
    int number = 0; // 0-based place in the file
    std::optional<ReportDefinition> definition;
    QString damage; // e.g. "report 3 (\"Wide\"): margin 1 is -3 inches"
};

// The file read record by record. Only the usable records are reports to
// the rest of the program; the others are named and kept as they are.
struct ReportFileScan {
    std::vector<ReportRecord> records; // the whole records, in file order
    std::size_t tailBytes = 0;         // bytes past the last whole record
    // The usable definitions, in file order: what the report list shows.
    std::vector<ReportDefinition> usable() const;
    // The same for the same unusable bytes, wherever they lie; 0 when sound.
    std::size_t damageKey = 0;
    // One line for each damaged record and for a short tail; empty when sound.
    QStringList problems() const;
    // The message naming them for file `fileName`; empty when sound.
    QString message(const QString& fileName) const;
};

// The definitions file. Every operation opens and closes it; nothing stays
// open between them. Writes go to a temporary file renamed into place.
//
// Reports are numbered as the list shows them: the usable records in file
// order. A damaged record and a short tail are never listed, and every write
// keeps their bytes exactly as they were (the tail stays at the end), so
// nothing the user had is dropped or changed unseen.
class ReportFile {
public:
    explicit ReportFile(QString path, db::FileSystem& fs = db::FileSystem::native())
        : path_(std::move(path)), fs_(&fs) {}
    const QString& path() const { return path_; }

    bool exists() const;
    // Nothing when the file is missing; throws ReportFileError, naming it,
    // when it cannot be read, is no ordinary file or is far too large.
    std::optional<ReportFileScan> scan() const;
    // The names of the usable reports; empty when the file cannot be opened.
    std::vector<std::string> names() const;
    // Usable report `index` (0-based); nothing when the file cannot be
    // opened or holds no such report.
    std::optional<ReportDefinition> read(int index) const;
    std::vector<ReportDefinition> readAll() const;
    // Writes `def` over usable report `index`, or after the last whole
    // record when `index` is empty or past the list; creates the file when
    // missing. Returns the report's index in the list.
    int save(const ReportDefinition& def, std::optional<int> index = std::nullopt) const;
    // Adds `defs` after the last whole record.
    void append(const std::vector<ReportDefinition>& defs) const;
    // Removes usable report `index`; the records after it move down by one.
    void remove(int index) const;
    // Replaces the whole file.
    void writeAll(const std::vector<ReportDefinition>& defs) const;

private:
    struct Loaded;
    std::optional<Loaded> load() const;
    void store(const std::string& bytes) const;

    QString path_;
    db::FileSystem* fs_;
};

// Creates (or empties) the file with the eight default reports.
void WriteDefaultReports(const ReportFile& file);

// Appends the user's own reports of the earlier version's file `oldPath`
// (BOOK.URP) to `file`, then deletes the old file. The old file is kept when
// the new one cannot take its reports, so nothing is lost. Returns the
// number of reports converted.
int ConvertOldReportFile(const QString& oldPath, const ReportFile& file);

// Start-up: the default reports when SHVBOOK.URP is missing from
// `dataDir`, then the conversion of BOOK.URP there.
void CheckReportFile(const QString& dataDir);

} // namespace shelvix::reports
