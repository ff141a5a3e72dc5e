#include "find/criteria.h"

#include "core/text.h"
#include "db/displayformats.h"
#include "db/fieldtable.h"

#include <charconv>
#include <optional>
#include <string>

namespace shelvix::find {

namespace {

// Decimal text with point, optional sign and exponent, and nothing else:
// no thousands separators, no "inf" or "nan" that from_chars would take.
std::optional<double> toNumber(const QString& text) {
    const std::string s = text.toStdString();
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    const std::size_t mantissa = i;
    bool digits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i, digits = true;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i, digits = true;
    }
    if (!digits)
        return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        const std::size_t exponent = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        if (i == exponent)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(s.data() + mantissa, s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt; // out of range
    return s[0] == '-' ? -value : value;
}

QString removeFirst(QString text, QChar c) {
    const qsizetype at = text.indexOf(c);
    if (at >= 0)
        text.remove(at, 1);
    return text;
}

// "> A AND < B" into A and B, trimmed. Without "AND" all of it is A.
std::pair<QString, QString> splitBetween(const QString& cell) {
    const QString text = removeFirst(removeFirst(cell, u'<'), u'>').trimmed();
    const qsizetype at = text.indexOf(QLatin1String("AND"));
    if (at < 0)
        return {text, QString()};
    return {text.left(at).trimmed(), text.mid(at + 3).trimmed()};
}

// An untouched date mask leaves only its separators and blanks, whichever
// separator the date format uses.
bool isBlankDate(const QString& text) {
    for (QChar c : text)
        if (c != u' ' && c != u'/' && c != u'-' && c != u'.')
            return false;
    return true;
}

} // namespace

QString upperAsciiOnly(QString text) {
    for (QChar& c : text)
        if (c.unicode() < 0x80)
            c = QChar(core::toUpperAscii(char(c.unicode())));
    return text;
}

RowType rowType(int fieldNo) {
    switch (db::fieldInfo(fieldNo).type) {
    case 'N':
        return RowType::Number;
    case 'D':
        return RowType::Date;
    default:
        return RowType::Text;
    }
}

bool hasOptions(int fieldNo) {
    return rowType(fieldNo) != RowType::Text || db::fieldInfo(fieldNo).choice;
}

QString operatorName(int op) {
    switch (op) {
    case OpEqual:
        return QStringLiteral(" = ");
    case OpGreater:
        return QStringLiteral(" > ");
    case OpLess:
        return QStringLiteral(" < ");
    case OpBetween:
        return QStringLiteral(" > X < ");
    default:
        return {};
    }
}

QString editMask(int fieldNo, int op, QChar dateSeparator) {
    // Qt masks: x any character or blank, 0 a digit or blank, \ a literal.
    switch (rowType(fieldNo)) {
    case RowType::Number:
        switch (op) {
        case OpGreater:
            return QStringLiteral("\\> xxxxxxxxx");
        case OpLess:
            return QStringLiteral("\\< xxxxxxxxx");
        case OpBetween:
            // The second value has room for one character less.
            return QStringLiteral("\\> xxxxxxxxx \\A\\N\\D \\< xxxxxxxx");
        default:
            return QStringLiteral("= xxxxxxxxx");
        }
    case RowType::Date: {
        QString date = QStringLiteral("00/00/0000");
        date.replace(u'/', dateSeparator);
        switch (op) {
        case OpGreater:
            return QStringLiteral("\\> ") + date;
        case OpLess:
            return QStringLiteral("\\< ") + date;
        case OpBetween:
            return QStringLiteral("\\> ") + date + QStringLiteral(" \\A\\N\\D \\< ") + date;
        default:
            return QStringLiteral("= ") + date;
        }
    }
    case RowType::Text:
        break;
    }
    return {};
}

QString fitToMask(const QString& cell, int fieldNo, int op) {
    const RowType type = rowType(fieldNo);
    if (type == RowType::Text || cell.isEmpty())
        return cell;
    // Value slots of the masks: "= " then 9 characters or a date of 10;
    // between adds " AND < " and 8 characters or another date.
    const int first = type == RowType::Date ? 10 : 9;
    const int second = type == RowType::Date ? 10 : 8;
    QString a, b;
    const bool signed_ = cell.startsWith(u'=') || cell.startsWith(u'>') || cell.startsWith(u'<');
    if (!signed_) {
        a = cell;
    } else if (cell.mid(2 + first, 5) == QLatin1String(" AND ")) {
        a = cell.mid(2, first);
        b = cell.mid(2 + first + 7, second);
    } else {
        a = cell.mid(2, first);
    }
    a = a.leftJustified(first, u' ', true);
    if (op == OpBetween)
        return QStringLiteral("> ") + a + QStringLiteral(" AND < ") +
               b.leftJustified(second, u' ', true);
    const QChar sign = op == OpGreater ? u'>' : op == OpLess ? u'<' : u'=';
    return sign + (u' ' + a);
}

std::optional<double> parseNumber(const QString& text) {
    return toNumber(text);
}

double dateToDays(const QDate& date) {
    return double(QDate(1899, 12, 30).daysTo(date));
}

QDate daysToDate(double days) {
    return QDate(1899, 12, 30).addDays(qint64(days));
}

QString tooManyItemsText() {
    return QStringLiteral("More than ") + QString::number(kMaxItems) +
           QStringLiteral(" search items have been entered.  ") +
           QStringLiteral("This exceeds the maximum allowable.  Search criteria will be cleared.");
}

QString levelHeader(int level) {
    return QStringLiteral(" SEARCH CRITERIA    (Level ") + QString::number(level) + u')';
}

void Criteria::clear() {
    items_.clear();
    level_ = 1;
}

SaveResult Criteria::SaveFields(const std::array<QString, kRows>& cells,
                                const std::array<int, kRows>& operators,
                                const db::DisplayFormats& formats) {
    const std::size_t entryCount = items_.size();
    bool found = false;

    auto invalid = [&](int row) {
        items_.resize(entryCount);
        return SaveResult{SaveResult::Invalid, row};
    };
    // False when the limit was passed and everything has been cleared.
    auto add = [&](SearchItem item) {
        if (int(items_.size()) + 1 > kMaxItems) {
            clear();
            return false;
        }
        items_.push_back(std::move(item));
        return true;
    };
    auto toDate = [&](const QString& text) -> std::optional<double> {
        const QDate d = formats.parseDate(text);
        if (!d.isValid())
            return std::nullopt;
        return dateToDays(d);
    };

    for (int row = 1; row <= kRows; ++row) {
        const QString cell = cells[std::size_t(row - 1)].trimmed();
        const int op = operators[std::size_t(row - 1)];
        const RowType type = rowType(row);

        if (type == RowType::Text) {
            const QString text = upperAsciiOnly(cell).left(kMaxTextLength);
            if (text.isEmpty())
                continue;
            found = true;
            SearchItem item;
            item.Text = text;
            item.FieldNo = row;
            item.Op = row == kKeyWordsField ? OpAnyWord : OpContains;
            if (!add(std::move(item)))
                return {SaveResult::TooMany};
            continue;
        }

        const bool isDate = type == RowType::Date;
        auto blank = [&](const QString& t) { return isDate ? isBlankDate(t) : t.isEmpty(); };
        auto convert = [&](const QString& t) { return isDate ? toDate(t) : toNumber(t); };
        auto makeItem = [&](const QString& text, double value, int itemOp) {
            SearchItem item;
            item.FieldNo = row;
            item.Op = itemOp;
            item.IsDate = isDate;
            if (isDate) {
                item.DateValue = value;
            } else {
                item.Text = text.left(kMaxTextLength);
                item.NumValue = value;
            }
            return item;
        };

        if (op == OpBetween) {
            const auto [first, second] = splitBetween(cell);
            const bool firstBlank = blank(first), secondBlank = blank(second);
            if (firstBlank && secondBlank)
                continue;
            if (firstBlank || secondBlank)
                return invalid(row);
            const auto low = convert(first);
            if (!low)
                return invalid(row);
            const auto high = convert(second);
            if (!high)
                return invalid(row);
            found = true;
            if (!add(makeItem(first, *low, OpGreater)) || !add(makeItem(second, *high, OpLess)))
                return {SaveResult::TooMany};
            continue;
        }

        const int itemOp = op == OpGreater || op == OpLess ? op : OpEqual;
        const QChar sign = itemOp == OpGreater ? u'>' : itemOp == OpLess ? u'<' : u'=';
        const QString text = removeFirst(cell, sign).trimmed();
        if (blank(text))
            continue;
        const auto value = convert(text);
        if (!value)
            return invalid(row);
        found = true;
        if (!add(makeItem(text, *value, itemOp)))
            return {SaveResult::TooMany};
    }

    if (!found)
        return {SaveResult::NoCriteria};
    items_.back().LevelEnd = true;
    return {SaveResult::Saved};
}

} // namespace shelvix::find
