#include "cli/commands.h"
#include "db/databasefiles.h"
#include "db/displayformats.h"
#include "db/engine/table.h"
#include "db/fieldtable.h"
#include "find/criteria.h"
#include "find/savedsearches.h"
#include "find/searchfilter.h"

#include <QRegularExpression>
#include <ostream>

namespace shelvix::cli {

namespace {

// "FIELD OP VALUE" as the form would hold it: the row's cell text as typed
// into its mask, and the row's operator.
void putCriterion(const QString& criterion, std::array<QString, find::kRows>& cells,
                  std::array<int, find::kRows>& operators) {
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*([A-Za-z0-9_]+)\s*(=|>|<|between\b|contains\b|any\b)\s*(.*?)\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(criterion);
    if (!m.hasMatch())
        throw UsageError{"a criterion is FIELD OP VALUE: " + criterion.toStdString()};
    const std::string name = m.captured(1).toStdString();
    const int row = db::fieldNumber(name);
    if (row == 0)
        throw UsageError{"no book field " + name};
    const QString op = m.captured(2).toLower();
    const QString value = m.captured(3);
    QString& cell = cells[std::size_t(row - 1)];
    if (!cell.isEmpty())
        throw UsageError{name + " is given twice in one level"};
    if (value.isEmpty())
        throw UsageError{"no value for " + name};

    const auto type = find::rowType(row);
    if (type == find::RowType::Text) {
        const bool keywords = row == find::kKeyWordsField;
        if (op != (keywords ? QLatin1String("any") : QLatin1String("contains")))
            throw UsageError{name + (keywords ? " takes any" : " takes contains")};
        cell = value;
        return;
    }
    if (op == QLatin1String("contains") || op == QLatin1String("any"))
        throw UsageError{name + " takes =, >, < or between"};
    int& rowOp = operators[std::size_t(row - 1)];
    if (op == QLatin1String("between")) {
        static const QRegularExpression andWord(QStringLiteral(R"(\s+and\s+)"),
                                                QRegularExpression::CaseInsensitiveOption);
        const QStringList parts = value.split(andWord);
        if (parts.size() != 2)
            throw UsageError{"between takes LOW and HIGH: " + criterion.toStdString()};
        rowOp = find::OpBetween;
        cell = QStringLiteral("> ") + parts[0] + QStringLiteral(" AND < ") + parts[1];
        return;
    }
    rowOp = op == QLatin1String(">")   ? find::OpGreater
            : op == QLatin1String("<") ? find::OpLess
                                       : find::OpEqual;
    cell = op + u' ' + value;
}

} // namespace

// One of the twelve date formats, by its pattern with or without zeros.
int dateFormatNumber(const std::string& text) {
    const QString t = QString::fromStdString(text).toLower();
    for (const auto& f : db::dateFormats())
        if (t == QLatin1String(f.caption) || t == QLatin1String(f.patternWithoutZeros))
            return f.number;
    throw UsageError{"unknown date format " + text + " (try m/d/yyyy or dd.mm.yyyy)"};
}

std::vector<find::SearchItem> searchLevels(const std::vector<std::string>& levels,
                                           const std::string& dateFormat) {
    db::DisplayFormats formats;
    formats.setDateFormat(dateFormatNumber(dateFormat));

    find::Criteria criteria;
    for (const std::string& level : levels) {
        std::array<QString, find::kRows> cells{};
        std::array<int, find::kRows> operators{};
        operators.fill(find::OpEqual);
        for (const QString& criterion :
             QString::fromStdString(level).split(u';', Qt::SkipEmptyParts))
            putCriterion(criterion, cells, operators);
        const find::SaveResult r = criteria.SaveFields(cells, operators, formats);
        switch (r.status) {
        case find::SaveResult::Saved:
            criteria.nextLevel();
            break;
        case find::SaveResult::NoCriteria:
            throw UsageError{find::kNoCriteriaText.toStdString()};
        case find::SaveResult::Invalid:
            throw UsageError{find::kInvalidText.toStdString() + " (" + db::fieldInfo(r.row).name +
                             ")"};
        case find::SaveResult::TooMany:
            throw UsageError{find::tooManyItemsText().toStdString()};
        }
    }
    return criteria.items();
}

namespace {

// The items of --saved, --on-loan or --overdue, from the catalogue's
// settings beside FILE.
std::vector<find::SearchItem> savedItems(const Invocation& a) {
    const QString file = db::DatabaseFiles::of(db::fromPath(a.arguments[0])).settings;
    find::SavedSearches saved = find::SavedSearches::load(file);
    if (a.has("--loan-period")) {
        const std::string days = a.value("--loan-period");
        const bool digits = !days.empty() && days.size() <= 4 &&
                            days.find_first_not_of("0123456789") == std::string::npos;
        if (!digits || std::stoi(days) < 1 || std::stoi(days) > find::kMaxLoanPeriod)
            throw UsageError{"--loan-period takes 1 to " + std::to_string(find::kMaxLoanPeriod) +
                             " days, not " + days};
        saved.setLoanPeriod(std::stoi(days));
    }
    const QDate today = QDate::currentDate();
    if (a.has("--on-loan"))
        return *saved.itemsOf(find::kOnLoanName, today);
    if (a.has("--overdue"))
        return *saved.itemsOf(find::kOverdueName, today);
    // Names are typed in the terminal's UTF-8.
    const QString name = QString::fromUtf8(a.value("--saved"));
    if (const auto items = saved.itemsOf(name, today))
        return *items;
    const std::string where = db::toPath(file).string();
    if (saved.find(name))
        throw std::runtime_error("the saved search " + a.value("--saved") +
                                 " does not read as a search in " + where);
    throw std::runtime_error("no saved search " + a.value("--saved") + " in " + where);
}

} // namespace

int runSearch(const Invocation& a, std::ostream& out, std::ostream& err) {
    const int ways = int(a.has("--level")) + int(a.has("--saved")) + int(a.has("--on-loan")) +
                     int(a.has("--overdue"));
    if (ways == 0)
        throw UsageError{"needs --level \"FIELD OP VALUE[; ...]\", --saved NAME, --on-loan or "
                         "--overdue"};
    if (ways > 1)
        throw UsageError{"takes one of --level, --saved, --on-loan and --overdue"};
    if (a.has("--loan-period") && !a.has("--overdue"))
        throw UsageError{"--loan-period goes with --overdue"};
    const std::vector<std::string> levels = a.values("--level");
    if (int(levels.size()) > find::kMaxLevels)
        throw UsageError{"a search has at most " + std::to_string(find::kMaxLevels) + " levels"};
    const std::vector<find::SearchItem> items =
        a.has("--level") ? searchLevels(levels, a.value("--date-format", "m/d/yyyy"))
                         : savedItems(a);

    auto table = openToRead(a.arguments[0], err);
    find::SearchFilter(items, *table).applyTo(*table);
    if (a.has("--count"))
        out << table->recordCount() << "\n";
    else
        writeCsv(*table, a.value("--fields"), out);
    return 0;
}

} // namespace shelvix::cli
