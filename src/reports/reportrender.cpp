#include "reports/reportrender.h"

#include "db/databasefiles.h"
#include "db/engine/table.h"
#include "db/fieldtable.h"
#include "db/recordtext.h"
#include "db/textcodec.h"

#include <algorithm>

namespace shelvix::reports {

namespace {

// No field holds this, so the first record always starts a group.
const QString kNoGroup = QStringLiteral("zzxkytrweq");
constexpr int kGroupTextLength = 120;
constexpr double kCellMargin = 2; // hundredths of an inch
constexpr int kQuantity = 5;

QString fromBytes(const std::string& bytes) {
    return db::fromWindows1252(bytes);
}

QString spaces(int n) {
    return QString(std::max(0, n), u' ');
}

} // namespace

// ------------------------------------------------------------ TextReportFile

// A failed write leaves the old file; a cancelled run keeps what it wrote.
bool TextReportFile::open() {
    try {
        file_ = std::make_unique<db::ReplacingFile>(db::toPath(path_), fs_);
    } catch (const db::DatabaseError& e) {
        fail(e);
        return false;
    }
    return true;
}

void TextReportFile::fail(const db::DatabaseError& e) {
    error_ = QStringLiteral("The file %1 could not be written: %2")
                 .arg(path_, db::errorText(db::failureReason(e)));
    file_.reset();
}

bool TextReportFile::flush() {
    try {
        file_->append(pending_.data(), pending_.size());
    } catch (const db::DatabaseError& e) {
        fail(e);
        return false;
    }
    pending_.clear();
    return true;
}

bool TextReportFile::writeLine(const QString& text) {
    if (!file_) {
        return false;
    }
    pending_ += db::toWindows1252(text);
    pending_ += "\r\n";
    constexpr std::size_t kBlock = 64 * 1024;
    return pending_.size() < kBlock || flush();
}

bool TextReportFile::close() {
    if (!file_ || !flush()) {
        return false;
    }
    try {
        file_->commit();
    } catch (const db::DatabaseError& e) {
        fail(e);
        return false;
    }
    file_.reset();
    return true;
}

// ------------------------------------------------------------ ReportRenderer

ReportRenderer::ReportRenderer(const ReportDefinition& definition, db::Table& table,
                               const db::DisplayFormats& formats)
    : def_(definition), table_(table), formats_(formats) {
    for (int n = 1; n <= db::kFieldCount; ++n) {
        FieldCaptions[std::size_t(n - 1)] = QString::fromLatin1(db::fieldInfo(n).label);
    }
}

ReportRenderer::~ReportRenderer() {
    // A run that ended by an exception still gives the grid its table back.
    if (controlsHeld_) {
        table_.enableControls();
    }
}

void ReportRenderer::attach(TBaseReport& engine) {
    engine.OnBeforePrint = [this](TBaseReport& e) { MyBeforePrintReport(e); };
    engine.OnPrintHeader = [this](TBaseReport& e) { MyPrintHeaderReport(e); };
    engine.OnPrintPage = [this](TBaseReport& e, int) { return MyPrintPageReport(e); };
    engine.OnPrintFooter = [this](TBaseReport& e) { MyPrintFooterReport(e); };
    engine.OnAfterPrint = [this](TBaseReport& e) { MyAfterPrintReport(e); };
}

void ReportRenderer::SetMyFont(TBaseReport& e, int n) {
    const ReportFontSpec& f = def_.fonts[std::size_t(n - 1)];
    e.ApplyFont(fromBytes(f.name), f.size, f.bold, f.italic, f.underline, f.strikeout, f.color);
}

void ReportRenderer::LineToFile(TBaseReport& e, const QString& text) {
    writeToFile(e, text);
    e.PrintCellsLine(QString());
}

void ReportRenderer::writeToFile(TBaseReport& e, const QString& text) {
    if (file_ && !file_->writeLine(text)) {
        error_ = file_->error();
        file_.reset();
        e.CancelReport();
    }
}

bool ReportRenderer::fits(const TBaseReport& e, int lines) const {
    return pageFresh_ || e.LinesRemaining() >= lines;
}

QString ReportRenderer::TruncateToWidth(const TBaseReport& e, QString text, double width) {
    while (!text.isEmpty() && e.MeasureText(text) > width) {
        text.chop(1);
    }
    return text;
}

double ReportRenderer::cellWidth(int chars) const {
    return double(chars) / std::max<int>(1, def_.CharsPerLine) * PrintWidth;
}

void ReportRenderer::readRecord() {
    if (table_.eof() || table_.recno() == 0) {
        record_.reset();
    } else {
        record_ = std::make_unique<db::RecordView>(table_.record(table_.recno()));
    }
}

QString ReportRenderer::fieldText(int number) const {
    if (number < 1 || number > db::kFieldCount || !record_) {
        return {};
    }
    const db::FieldInfo& info = db::fieldInfo(number);
    const int index = fieldIndex_[std::size_t(number - 1)];
    if (info.type != 'N') {
        return db::fieldDisplayText(*record_, index, table_.field(index), table_.codePage(),
                                    formats_);
    }
    const std::optional<double> value = record_->number(index);
    if (!value) {
        // Empty prints empty; anything else shows as stored, never as a 0
        // the book does not have.
        return db::fieldDisplayText(*record_, index, table_.field(index), table_.codePage(),
                                    formats_)
            .trimmed();
    }
    const double x = *value;
    if (info.decimals == 2) {
        return formats_.money(0, x);
    }
    if (info.decimals == -1) {
        return formats_.plainNumber(0, 0, x);
    }
    return formats_.groupedNumber(0, 0, x);
}

QString ReportRenderer::groupText(int number) const {
    if (!record_) {
        return {};
    }
    const int index = fieldIndex_[std::size_t(number - 1)];
    return db::fieldDisplayText(*record_, index, table_.field(index), table_.codePage(), formats_)
        .left(kGroupTextLength);
}

// ------------------------------------------------------------ the five events

void ReportRenderer::MyBeforePrintReport(TBaseReport& e) {
    e.StatusFormat = QStringLiteral("Printing Page %p\r%0\r%1");
    e.StatusText << QString() << QString();
    e.MarginTop = def_.topMargin;
    e.MarginBottom = def_.bottomMargin;
    e.MarginLeft = def_.leftMargin;
    e.MarginRight = def_.rightMargin;
    PrintWidth = e.PageWidthInches() - e.MarginLeft - e.MarginRight;

    GroupField1 = GroupField2 = 0;
    if (def_.groupLevel1) {
        int found = 0;
        for (int level : SortLevels) {
            if (level > 0 && level <= db::kFieldCount) {
                (found == 0 ? GroupField1 : GroupField2) = level;
                if (++found == 2) {
                    break;
                }
            }
        }
        if (!def_.groupLevel2) {
            GroupField2 = 0;
        }
    }
    GroupValue1 = GroupValue2 = kNoGroup;
    HeaderPending = TotalsPending = GrandTotalsPending = false;
    FirstGroup = true;
    GrandTotals = {};
    GroupTotals = {};
    error_.clear();

    // A field the table lacks is the table's error, before anything is held.
    for (int n = 1; n <= db::kFieldCount; ++n) {
        fieldIndex_[std::size_t(n - 1)] = table_.fieldIndex(ReportFieldNames()[std::size_t(n - 1)]);
    }
    if (toFile()) {
        file_ = std::make_unique<TextReportFile>(TextFileName);
        if (!file_->open()) {
            error_ = file_->error();
            file_.reset();
            e.CancelReport();
        }
    }
    table_.disableControls();
    controlsHeld_ = true;
    table_.first();
    readRecord();
}

void ReportRenderer::MyPrintHeaderReport(TBaseReport& e) {
    if (toFile()) {
        for (const std::string& title : def_.titles) {
            if (!title.empty()) {
                LineToFile(e, fromBytes(title));
            }
        }
        return;
    }
    e.SetBandTop(0.5);
    e.SetBandBottom(1.25);
    e.ResetPosition();
    SetMyFont(e, 1);
    for (const std::string& title : def_.titles) {
        if (!title.empty()) {
            e.PrintCentredAt(fromBytes(title), e.PageWidthInches() / 2);
            e.AdvanceLine();
        }
    }
}

bool ReportRenderer::MyPrintPageReport(TBaseReport& e) {
    e.ResetPosition();
    e.SetBandTop(1.25);
    e.SetBandBottom(e.PageHeightInches() - e.MarginBottom - 0.75);

    const bool oneLine = def_.lineCount == 1;
    if (oneLine && def_.columnHeaders) {
        SetMyFont(e, 2);
        e.RemoveAllCells();
        const int borders = (def_.verticalLines ? 3 : 0) | (def_.horizontalLines ? 12 : 0);
        for (int k = 0; k < usedParts(def_.lines[0]); ++k) {
            e.AddCell(pjCenter, borders, 0, kCellMargin,
                      cellWidth(def_.lines[0][std::size_t(k)].width), kAfterPrevious);
        }
        printColumnHeadings(e);
        // Ended in the headings' own font, so the first body line starts below their boxes.
        if (!toFile()) {
            e.AdvanceLine();
        }
    }
    SetMyFont(e, 3);
    if (oneLine) {
        e.RemoveAllCells();
        setBodyCells(e, 1);
    }

    pageFresh_ = true;
    bool stop = false;
    while (fits(e, def_.lineCount) && !table_.eof() && !stop) {
        Step result = Step::Continue;
        if (TotalsPending) {
            result = groupSubtotals(e);
        }
        // A heading waits for the subtotals of the group before it.
        if (result == Step::Continue && HeaderPending) {
            result = groupHeading(e);
        }
        if (GroupField1 > 0) {
            const QString first = groupText(GroupField1);
            if (GroupField2 < 1) {
                if (first != GroupValue1) {
                    result = groupChange(e, first);
                }
            } else {
                const QString second = groupText(GroupField2);
                if (second != GroupValue2) {
                    GroupValue2 = second;
                    result = groupChange(e, first);
                } else if (first != GroupValue1) {
                    result = groupChange(e, first);
                }
            }
        }
        if (result == Step::Stop) {
            stop = true;
            continue;
        }
        if (oneLine) {
            printBodyLine(e, 1);
        } else {
            for (int n = 1; n <= def_.lineCount; ++n) {
                e.RemoveAllCells();
                setBodyCells(e, n);
                printBodyLine(e, n);
            }
        }
        if (def_.lineCount > 0) {
            pageFresh_ = false;
        }
        if (def_.useTotals) {
            accumulate();
        }
        table_.next();
        readRecord();
    }
    if (table_.eof()) {
        endOfReport(e);
    }
    return !(table_.eof() && !GrandTotalsPending);
}

void ReportRenderer::MyPrintFooterReport(TBaseReport& e) {
    const QString page = QStringLiteral("Page ") + QString::number(e.CurrentPage());
    const QString date = formats_.formatDate(Today);
    if (toFile()) {
        QString line = page + spaces(5);
        if (def_.dateOnPages) {
            line += spaces(5) + date;
        }
        line += QChar(12);
        LineToFile(e, QString());
        LineToFile(e, line);
        return;
    }
    const double bottom = e.PageHeightInches() - e.MarginBottom;
    e.SetBandTop(bottom - 0.5);
    e.SetBandBottom(bottom);
    SetMyFont(e, 5);
    e.PrintOnBandBottom(page, pjLeft);
    e.PrintOnBandBottom(QString(), pjCenter);
    if (def_.dateOnPages) {
        e.PrintOnBandBottom(date, pjRight);
    }
}

void ReportRenderer::MyAfterPrintReport(TBaseReport& e) {
    if (file_) {
        if (!file_->close()) {
            error_ = file_->error();
            e.CancelReport();
        }
        file_.reset();
    }
    if (controlsHeld_) {
        controlsHeld_ = false;
        table_.enableControls();
    }
}

// ------------------------------------------------------------ lines and cells

void ReportRenderer::setBodyCells(TBaseReport& e, int line) {
    const ReportLine& parts = def_.lines[std::size_t(line - 1)];
    const bool oneLine = def_.lineCount == 1;
    const int borders =
        oneLine ? (def_.verticalLines ? 3 : 0) | (def_.horizontalLines ? 12 : 0) : 0;
    for (int k = 0; k < usedParts(parts); ++k) {
        const ReportPartEntry& part = parts[std::size_t(k)];
        int justify = pjLeft;
        if (oneLine) {
            if (!part.isLabel() && !part.isFiller() && part.number >= 1 &&
                part.number <= db::kFieldCount && db::fieldInfo(part.number).type == 'N') {
                justify = pjRight;
            }
        } else if (part.isLabel()) {
            justify = pjRight;
        }
        e.AddCell(justify, borders, 0, kCellMargin, cellWidth(part.width), kAfterPrevious);
    }
}

void ReportRenderer::setTotalsCells(TBaseReport& e) {
    for (int k = 0; k < usedParts(def_.totalsLine); ++k) {
        const ReportPartEntry& part = def_.totalsLine[std::size_t(k)];
        e.AddCell(part.isLabel() ? pjRight : pjLeft, 0, 0, kCellMargin, cellWidth(part.width),
                  kAfterPrevious);
    }
}

void ReportRenderer::printColumnHeadings(TBaseReport& e) {
    const ReportLine& parts = def_.lines[0];
    QString line;
    for (int k = 0; k < usedParts(parts); ++k) {
        const ReportPartEntry& part = parts[std::size_t(k)];
        QString name;
        if (!part.isLabel() && !part.isFiller() && part.number >= 1 &&
            part.number <= db::kFieldCount) {
            name = FieldCaptions[std::size_t(part.number - 1)];
        }
        if (toFile()) {
            line += name.left(part.width).leftJustified(part.width);
        } else {
            line += u'\t' + TruncateToWidth(e, name, e.CellTextWidth(k + 1));
        }
    }
    if (toFile()) {
        LineToFile(e, line);
    } else {
        e.PrintCells(line);
    }
}

bool ReportRenderer::isFigure(const ReportLine& parts, int k) const {
    if (k < 0 || k >= usedParts(parts)) {
        return false;
    }
    const ReportPartEntry& part = parts[std::size_t(k)];
    if (part.isFiller() || part.isLabel()) {
        return false;
    }
    if (&parts == &def_.totalsLine) {
        return true;
    }
    if (part.number < 1 || part.number > db::kFieldCount) {
        return false;
    }
    const char type = db::fieldInfo(part.number).type;
    return type == 'N' || type == 'D';
}

QString ReportRenderer::fitFigure(const TBaseReport& e, const QString& value, int width,
                                  double room, double marksRoom) const {
    // A figure is shown whole or not at all: cut digits would read as
    // another value. What does not fit is a row of "#", as a spreadsheet
    // shows it.
    if (toFile()) {
        const int chars = std::max(0, static_cast<int>(room));
        return value.size() > chars ? QString(chars, u'#') : value;
    }
    return e.MeasureText(value) > room ? TruncateToWidth(e, QString(width, u'#'), marksRoom)
                                       : value;
}

void ReportRenderer::printPartsLine(TBaseReport& e, const ReportLine& parts,
                                    const std::function<QString(const ReportPartEntry&)>& text) {
    QString line;
    for (int k = 0; k < usedParts(parts); ++k) {
        const ReportPartEntry& part = parts[std::size_t(k)];
        const int w = part.width;
        if (part.isFiller()) {
            line += toFile() ? spaces(w) : QStringLiteral("\t");
        } else if (part.isLabel()) {
            const QString label = fromBytes(part.label);
            line += toFile() ? label.left(w).rightJustified(w)
                             : u'\t' + TruncateToWidth(e, label, e.CellTextWidth(k + 1));
        } else if (isFigure(parts, k)) {
            if (toFile()) {
                // Figures side by side keep a blank between them, as the
                // cells of a printed page keep their margins.
                const int room = isFigure(parts, k + 1) ? w - 1 : w;
                line += fitFigure(e, text(part), w, room, room).leftJustified(w);
            } else {
                // Its whole cell but the margin on one side: a figure never
                // reaches into the next cell, nor its text into this one's.
                const ReportCell& cell = e.Cell(k + 1);
                line += u'\t' + fitFigure(e, text(part), w, cell.width - cell.margin,
                                          e.CellTextWidth(k + 1));
            }
        } else {
            const QString value = text(part);
            line += toFile() ? value.left(w).leftJustified(w)
                             : u'\t' + TruncateToWidth(e, value, e.CellTextWidth(k + 1));
        }
    }
    if (toFile()) {
        LineToFile(e, line);
    } else {
        e.PrintCellsLine(line);
    }
}

void ReportRenderer::printBodyLine(TBaseReport& e, int line) {
    printPartsLine(e, def_.lines[std::size_t(line - 1)],
                   [this](const ReportPartEntry& part) { return fieldText(part.number); });
}

void ReportRenderer::printTotalsLine(TBaseReport& e, const std::array<double, 5>& totals) {
    printPartsLine(e, def_.totalsLine, [&](const ReportPartEntry& part) {
        if (part.number < 1 || part.number > kQuantity) {
            return QString();
        }
        const double x = totals[std::size_t(part.number - 1)];
        return part.number == kQuantity ? formats_.groupedNumber(0, 0, x) : formats_.money(0, x);
    });
}

QString ReportRenderer::spacesToCentre(const QString& text) const {
    return spaces((def_.CharsPerLine - static_cast<int>(text.size())) / 2);
}

void ReportRenderer::centredBox(TBaseReport& e, QString text, int borders) {
    double w = e.MeasureText(text);
    if (w > PrintWidth - 0.2) {
        text = TruncateToWidth(e, text, PrintWidth - 0.2);
        w = PrintWidth - 0.2;
    }
    // Centred on the printable width, box included, so a cut text's box
    // spans that width and never reaches into the right margin.
    e.RemoveAllCells();
    e.AddCell(pjCenter, borders, 0, kCellMargin, w + 0.2,
              e.MarginLeft + (PrintWidth - w - 0.2) / 2);
    e.PrintCellsLine(u'\t' + text);
}

void ReportRenderer::centredTitle(TBaseReport& e, const QString& text) {
    if (toFile()) {
        LineToFile(e, spacesToCentre(text) + text);
        return;
    }
    centredBox(e, text, pbBottom);
}

// ------------------------------------------------------------ groups and totals

ReportRenderer::Step ReportRenderer::groupChange(TBaseReport& e, const QString& value) {
    GroupValue1 = value;
    if (groupSubtotals(e) == Step::Stop) {
        HeaderPending = true;
        return Step::Stop;
    }
    return groupHeading(e);
}

ReportRenderer::Step ReportRenderer::groupSubtotals(TBaseReport& e) {
    if (FirstGroup) {
        FirstGroup = false;
        TotalsPending = false;
        return Step::Continue;
    }
    if (!def_.useTotals) {
        TotalsPending = false;
        return Step::Continue;
    }
    if (!fits(e, def_.lineCount + 3)) {
        TotalsPending = true;
        return Step::Stop;
    }
    centredTitle(e, QStringLiteral("TOTALS"));
    e.RemoveAllCells();
    setTotalsCells(e);
    printTotalsLine(e, GroupTotals);
    GroupTotals = {};
    if (def_.lineCount == 1) {
        e.RemoveAllCells();
        setBodyCells(e, 1);
    }
    TotalsPending = false;
    pageFresh_ = false;
    return Step::Continue;
}

ReportRenderer::Step ReportRenderer::groupHeading(TBaseReport& e) {
    if (!fits(e, def_.lineCount + 2)) {
        HeaderPending = true;
        return Step::Stop;
    }
    QString text = GroupField1 > 0 ? GroupValue1 : QString();
    if (GroupField2 > 0) {
        text += QStringLiteral(", ") + GroupValue2;
    }
    if (toFile()) {
        const QString indent = spacesToCentre(text);
        const QString dashes = indent + QString(text.size(), u'-');
        // The dashes stand for the box a printed heading has, and take no
        // line of their own, so the file breaks its pages where paper does.
        LineToFile(e, QString());
        writeToFile(e, dashes);
        LineToFile(e, indent + text);
        writeToFile(e, dashes);
    } else {
        e.AdvanceLine();
        centredBox(e, text, pbLeft | pbRight | pbTop | pbBottom);
        if (def_.lineCount == 1) {
            e.RemoveAllCells();
            setBodyCells(e, 1);
        }
    }
    HeaderPending = false;
    pageFresh_ = false;
    return Step::Continue;
}

void ReportRenderer::endOfReport(TBaseReport& e) {
    if (!fits(e, def_.useTotals ? 5 : 0)) {
        GrandTotalsPending = true;
        return;
    }
    if (def_.useTotals) {
        centredTitle(e, QStringLiteral("TOTALS"));
        e.RemoveAllCells();
        setTotalsCells(e);
        printTotalsLine(e, GroupTotals);
        if (toFile()) {
            LineToFile(e, QString());
        } else {
            e.AdvanceLine();
        }
        centredTitle(e, QStringLiteral("GRAND TOTALS"));
        e.RemoveAllCells();
        setTotalsCells(e);
        printTotalsLine(e, GrandTotals);
        pageFresh_ = false;
    }
    GrandTotalsPending = false;
}

void ReportRenderer::accumulate() {
    // Cost, Value, Low Market, High Market: the order of the totals.
    static constexpr int kFields[4] = {7, 8, 29, 30};
    for (int t = 0; t < 4; ++t) {
        const int index = fieldIndex_[std::size_t(kFields[t] - 1)];
        // Empty, or not a number: adds nothing.
        const double x = record_ ? record_->number(index).value_or(0) : 0;
        GrandTotals[std::size_t(t)] += x;
        GroupTotals[std::size_t(t)] += x;
    }
    GrandTotals[kQuantity - 1] += 1;
    GroupTotals[kQuantity - 1] += 1;
}

} // namespace shelvix::reports
