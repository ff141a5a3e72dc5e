#pragma once

#include "db/displayformats.h"
#include "db/engine/replacingfile.h"
#include "reports/reportdefinition.h"
#include "reports/reportengine.h"

#include <QDate>
#include <QString>
#include <array>
#include <functional>
#include <memory>

namespace shelvix::db {
class Table;
class RecordView;
} // namespace shelvix::db

namespace shelvix::reports {

// The three outputs of a run: the printer, the stream a preview shows, a text file.
enum class ReportMode { Print = 1, View = 2, File = 3 };

// The lines of a report printed to a text file: Windows-1252, CR LF. The
// file is written beside its final place and renamed there when closed, so a
// run killed half-way leaves the old file (or none) rather than half a
// report; a cancelled run closes what it wrote so far.
class TextReportFile {
public:
    explicit TextReportFile(const QString& path, db::FileSystem& fs = db::FileSystem::native())
        : path_(path), fs_(fs) {}

    bool open();
    bool writeLine(const QString& text);
    bool close();
    // Why the file could not be written; empty while it could.
    const QString& error() const { return error_; }

private:
    void fail(const db::DatabaseError& e);
    bool flush();

    QString path_;
    db::FileSystem& fs_;
    std::unique_ptr<db::ReplacingFile> file_;
    std::string pending_; // lines not yet written
    QString error_;
};

// The report rendered over the table in its current order (the filter of a
// search limits the walk), through the five events of an output engine.
class ReportRenderer {
public:
    ReportRenderer(const ReportDefinition& definition, db::Table& table,
                   const db::DisplayFormats& formats);
    ~ReportRenderer();

    ReportMode OutputMode = ReportMode::Print;
    // Mode 3: the text file every output line goes to.
    QString TextFileName;
    // The user-visible names of the 36 fields, for column headings.
    std::array<QString, 36> FieldCaptions;
    // Field numbers of the four sort levels, 0 for a level not in use.
    std::array<int, 4> SortLevels{};
    QDate Today = QDate::currentDate();

    // Assigns the five events of `engine` to this renderer.
    void attach(TBaseReport& engine);
    // The text file could not be written (the run was cancelled): why.
    const QString& error() const { return error_; }

    void MyBeforePrintReport(TBaseReport& e);
    void MyPrintHeaderReport(TBaseReport& e);
    bool MyPrintPageReport(TBaseReport& e);
    void MyPrintFooterReport(TBaseReport& e);
    void MyAfterPrintReport(TBaseReport& e);

    // Deletes the last character of `text` while it is wider than `width`.
    static QString TruncateToWidth(const TBaseReport& e, QString text, double width);

private:
    enum class Step { Continue, Stop };

    bool toFile() const { return OutputMode == ReportMode::File; }
    void LineToFile(TBaseReport& e, const QString& text);
    void writeToFile(TBaseReport& e, const QString& text); // the engine's line stays
    void SetMyFont(TBaseReport& e, int n);
    // Enough lines left for `lines`, or a page with nothing of the walk on
    // it yet, which takes what it must print whether it fits or not.
    bool fits(const TBaseReport& e, int lines) const;

    double cellWidth(int chars) const;
    void setBodyCells(TBaseReport& e, int line);
    void setTotalsCells(TBaseReport& e);
    void printColumnHeadings(TBaseReport& e);
    void printBodyLine(TBaseReport& e, int line);
    void printTotalsLine(TBaseReport& e, const std::array<double, 5>& totals);
    // Part k of `parts` shows a number or a date (or a total).
    bool isFigure(const ReportLine& parts, int k) const;
    // `value` as a figure part of `width` characters shows it in `room`
    // (characters in a text file, inches on a page), or the marks that
    // stand for it in `marksRoom`.
    QString fitFigure(const TBaseReport& e, const QString& value, int width, double room,
                      double marksRoom) const;
    void printPartsLine(TBaseReport& e, const ReportLine& parts,
                        const std::function<QString(const ReportPartEntry&)>& text);
    void centredTitle(TBaseReport& e, const QString& text);
    void centredBox(TBaseReport& e, QString text, int borders);
    QString spacesToCentre(const QString& text) const;

    Step groupChange(TBaseReport& e, const QString& value);
    Step groupSubtotals(TBaseReport& e);
    Step groupHeading(TBaseReport& e);
    void endOfReport(TBaseReport& e);
    void accumulate();

    QString fieldText(int number) const; // as a body line shows it
    QString groupText(int number) const; // as a group compares it
    void readRecord();

    ReportDefinition def_;
    db::Table& table_;
    const db::DisplayFormats& formats_;

    std::array<int, 36> fieldIndex_{}; // table column of each field number
    double PrintWidth = 0;
    int GroupField1 = 0;
    int GroupField2 = 0;
    QString GroupValue1;
    QString GroupValue2;
    bool FirstGroup = true;
    bool HeaderPending = false;
    bool TotalsPending = false;
    bool GrandTotalsPending = false;
    std::array<double, 5> GrandTotals{};
    std::array<double, 5> GroupTotals{};
    bool pageFresh_ = false;
    bool controlsHeld_ = false;
    std::unique_ptr<db::RecordView> record_; // the current record, read once per move
    std::unique_ptr<TextReportFile> file_;
    QString error_;
};

} // namespace shelvix::reports
