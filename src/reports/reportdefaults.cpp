#include "reports/reportdefinition.h"

// What a new report and a new definitions file start from: the parts, the
// empty definition and the eight built-in reports.
namespace shelvix::reports {

int usedParts(const ReportLine& line) {
    int n = 0;
    while (n < kPartsPerLine && line[n].width >= 1) {
        ++n;
    }
    return n;
}

const std::array<const char*, 36>& ReportFieldNames() {
    static const std::array<const char*, 36> names = {
        "Title",     "Author",     "YearPub",    "Publisher", "Category",  "WherePurch",
        "Cost",      "Value",      "Descriptio", "ISBN",      "Rating",    "PurchDate",
        "BookType",  "CatalogNum", "Sub1",       "Sub2",      "CheckOut",  "CheckDate",
        "CheckName", "Volume",     "Issue",      "Edition",   "KeyWords",  "Pages",
        "Location",  "Condition",  "Editor",     "Dewey",     "LowMarket", "HighMarket",
        "UserDef1",  "UserDef2",   "UserDef3",   "UserDef4",  "UserDef5",  "UserDef6"};
    return names;
}

const std::array<const char*, 5>& ReportTotalNames() {
    static const std::array<const char*, 5> names = {"Cost", "Value", "Low Market", "High Market",
                                                     "Quantity"};
    return names;
}

ReportPartEntry fieldPart(int number, int width) {
    return {ReportFieldNames().at(number - 1),
            static_cast<std::uint8_t>(number),
            static_cast<std::int16_t>(width),
            {}};
}

ReportPartEntry totalPart(int number, int width) {
    return {ReportTotalNames().at(number - 1),
            static_cast<std::uint8_t>(number),
            static_cast<std::int16_t>(width),
            {}};
}

ReportPartEntry labelPart(const std::string& text, int width) {
    return {kLabel, 0, static_cast<std::int16_t>(width), text};
}

ReportPartEntry fillerPart(int width) {
    return {kFiller, 0, static_cast<std::int16_t>(width), {}};
}

ReportDefinition InitReportDefinition() {
    ReportDefinition d;
    d.totalsLine[0].width = 150;
    for (ReportLine& line : d.lines) {
        line[0].width = 150;
    }
    return d;
}

void AddStandardTotalsLine(ReportDefinition& def) {
    const ReportPartEntry parts[] = {labelPart("Cost:", 10),
                                     fillerPart(1),
                                     totalPart(1, 12),
                                     labelPart("Value:", 8),
                                     fillerPart(1),
                                     totalPart(2, 12),
                                     labelPart("Low Market:", 13),
                                     fillerPart(1),
                                     totalPart(3, 12),
                                     labelPart("High Market:", 14),
                                     fillerPart(1),
                                     totalPart(4, 12),
                                     fillerPart(60)};
    std::copy(std::begin(parts), std::end(parts), def.totalsLine.begin());
}

ReportDefinition NewReportDefinition() {
    ReportDefinition d = InitReportDefinition();
    d.CharsPerLine = 90;
    d.verticalLines = true;
    d.horizontalLines = true;
    for (int f = 0; f < 5; ++f) {
        d.fonts[f] = ReportFontSpec{"Courier New", 10, f == 0 || f == 1 || f == 4};
    }
    return d;
}

namespace {

using Parts = std::vector<ReportPartEntry>;

void setLine(ReportDefinition& d, int line, const Parts& parts) {
    ReportLine& target = d.lines[line - 1];
    target = ReportLine{};
    std::copy(parts.begin(), parts.end(), target.begin());
}

ReportPartEntry F(const char* name, int width) {
    int n = 0;
    while (std::strcmp(ReportFieldNames()[n], name) != 0) {
        ++n;
    }
    return fieldPart(n + 1, width);
}

ReportPartEntry L(const char* text, int width) {
    return labelPart(text, width);
}

const ReportPartEntry f1 = fillerPart(1);

struct DefaultSpec {
    const char* name;
    int chars;
    int lines;
    bool headers, landscape, date, totals, vertical, horizontal, group1, group2;
};

} // namespace

std::vector<ReportDefinition> DefaultReports() {
    static const DefaultSpec specs[] = {
        {"Short Narrow Report", 90, 1, true, false, true, true, true, true, true, false},
        {"2 Line 120 Column Report", 120, 2, false, false, true, true, false, false, true, false},
        {"4 Line Report", 120, 4, false, false, true, true, false, false, true, false},
        {"Full Report", 120, 10, false, false, true, true, false, false, true, false},
        {"Location Report", 90, 1, true, false, true, false, true, true, true, false},
        {"Library Checkout Report", 120, 1, true, false, true, false, true, true, false, false},
        {"Value Report", 90, 1, true, false, true, true, true, true, true, false},
        {"Statistic/Summary Report", 90, 0, false, false, true, true, false, false, true, false},
    };
    const Parts titleBookType = {L("Title:", 6),      f1, F("Title", 70),
                                 L("Book Type:", 11), f1, F("BookType", 20)};
    const Parts authorYearRating = {L("Author:", 7),    f1, F("Author", 60),
                                    L("Year Pub:", 11), f1, F("YearPub", 5),
                                    L("Rating:", 9),    f1, F("Rating", 15)};
    const Parts blank = {fillerPart(150)};

    std::vector<ReportDefinition> out;
    for (int i = 0; i < 8; ++i) {
        const DefaultSpec& s = specs[i];
        ReportDefinition d = InitReportDefinition();
        AddStandardTotalsLine(d);
        d.name = s.name;
        d.CharsPerLine = static_cast<std::int16_t>(s.chars);
        d.lineCount = static_cast<std::int16_t>(s.lines);
        d.columnHeaders = s.headers;
        d.landscape = s.landscape;
        d.dateOnPages = s.date;
        d.useTotals = s.totals;
        d.verticalLines = s.vertical;
        d.horizontalLines = s.horizontal;
        d.groupLevel1 = s.group1;
        d.groupLevel2 = s.group2;
        for (ReportFontSpec& f : d.fonts) {
            f.size = static_cast<std::int16_t>(s.chars == 90 ? 10 : 8);
        }
        if (i >= 1 && i <= 3) {
            d.fonts[3].name = "Courier";
        }
        switch (i) {
        case 0:
            setLine(d, 1, {F("Title", 59), F("YearPub", 5), F("Author", 27)});
            break;
        case 1:
            setLine(
                d, 1,
                {L("Title:", 6), f1, F("Title", 70), L("Category:", 11), f1, F("Category", 20)});
            setLine(d, 2, authorYearRating);
            break;
        case 2:
        case 3: {
            setLine(d, 1, titleBookType);
            if (i == 2) {
                setLine(d, 2,
                        {L("Author:", 7), f1, F("Author", 59), L("Year Pub:", 11), f1,
                         F("YearPub", 5), L("Rating:", 9), f1, F("Rating", 15)});
                setLine(d, 3,
                        {L("Category:", 9), f1, F("Category", 20), L("Catalog:", 9), f1,
                         F("CatalogNum", 15), L("Sub Cat 1:", 12), f1, F("Sub1", 6),
                         L("Sub Cat 2:", 12), f1, F("Sub2", 6), L("Pages:", 8), f1, F("Pages", 5)});
                setLine(d, 4, blank);
                break;
            }
            setLine(d, 2, authorYearRating);
            setLine(d, 3,
                    {L("Publisher:", 10), f1, F("Publisher", 40), L("Editor:", 9), f1,
                     F("Editor", 30), L("ISBN:", 7), f1, F("ISBN", 20)});
            setLine(d, 4,
                    {L("Cost:", 7), f1, F("Cost", 12), L("Value:", 8), f1, F("Value", 12),
                     L("Low Market:", 13), f1, F("LowMarket", 12), L("High Market:", 14), f1,
                     F("HighMarket", 12), L("Cond:", 7), f1, F("Condition", 20)});
            setLine(d, 5,
                    {L("Category:", 9), f1, F("Category", 20), L("Catalog:", 10), f1,
                     F("CatalogNum", 15), L("Sub Cat 1:", 12), f1, F("Sub1", 6),
                     L("Sub Cat 2:", 12), f1, F("Sub2", 6), L("Pages:", 8), f1, F("Pages", 5)});
            setLine(d, 6,
                    {L("Date Purchased:", 15), f1, F("PurchDate", 11), L("Where Purchased:", 18),
                     f1, F("WherePurch", 30), L("Location:", 11), f1, F("Location", 30)});
            setLine(d, 7,
                    {L("Checked Out:", 12), f1, F("CheckOut", 3), L("Checkout Date:", 16), f1,
                     F("CheckDate", 11), L("Checked Out To:", 17), f1, F("CheckName", 30),
                     L("Edition:", 11), f1, F("Edition", 10)});
            setLine(d, 8,
                    {L("Vol:", 4), f1, F("Volume", 8), L("Issue:", 8), f1, F("Issue", 8),
                     L("Key Words:", 12), f1, F("KeyWords", 77)});
            setLine(d, 9, {L("Desc:", 6), f1, F("Descriptio", 110)});
            setLine(d, 10, blank);
            break;
        }
        case 4:
            setLine(d, 1, {F("Title", 60), F("Location", 30)});
            break;
        case 5:
            setLine(d, 1,
                    {F("Title", 60), F("CheckOut", 3), F("CheckDate", 12), F("CheckName", 30)});
            break;
        case 6:
            setLine(d, 1,
                    {F("Title", 42), F("Cost", 12), F("Value", 12), F("LowMarket", 12),
                     F("HighMarket", 12)});
            break;
        default:
            break;
        }
        out.push_back(std::move(d));
    }
    return out;
}

} // namespace shelvix::reports
