#include "find/savedsearches.h"

#include "core/profile.h"
#include "core/text.h"
#include "db/databasefiles.h"
#include "db/engine/replacingfile.h"
#include "db/fieldtable.h"
#include "db/settings.h"
#include "db/textcodec.h"

#include <QRegularExpression>
#include <algorithm>

namespace shelvix::find {

namespace {

constexpr const char* kSection = "Saved Searches";
constexpr const char* kLoanPeriodKey = "Loan Period";
constexpr int kMaxEntries = 1000;
constexpr std::size_t kValueLength = 64 * 1024;

std::string nameKey(std::size_t i) {
    return "Name " + std::to_string(i + 1);
}
std::string searchKey(std::size_t i) {
    return "Search " + std::to_string(i + 1);
}

bool validLoanPeriod(int days) {
    return days >= 1 && days <= kMaxLoanPeriod;
}

// A character the settings file can hold as it is: Windows-1252, not a
// control character (the C1 range included, whose bytes some readers of
// Windows-1252 refuse).
bool storable(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return false;
    int lost = 0;
    db::toWindows1252(QString::fromUcs4(&c, 1), &lost);
    return lost == 0;
}

// Texts in the section: "\" before a backslash and before each of
// `specials`, any other character the file cannot hold as "\u{hex}".
QString escaped(const QString& text, QStringView specials) {
    QString out;
    for (const char32_t c : text.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        if (c == U'\\' || (c < 0x80 && specials.contains(QChar(char16_t(c)))))
            out += u'\\' + one;
        else if (!storable(c))
            out += QStringLiteral("\\u{%1}").arg(quint32(c), 0, 16);
        else
            out += one;
    }
    return out;
}

QString unescaped(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        ++i;
        if (text[i] == u'u' && i + 1 < text.size() && text[i + 1] == u'{') {
            const qsizetype close = text.indexOf(u'}', i + 2);
            bool ok = false;
            const uint code = close > 0 ? text.mid(i + 2, close - i - 2).toUInt(&ok, 16) : 0;
            if (ok && code <= 0x10FFFF) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
                i = close;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Pieces between the separators that no backslash escapes, escapes kept.
QStringList splitUnescaped(const QString& text, QChar separator) {
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            part += text[i];
            part += text[++i];
        } else if (text[i] == separator) {
            parts << part;
            part.clear();
        } else {
            part += text[i];
        }
    }
    parts << part;
    return parts;
}

QString criterionText(const SearchItem& item) {
    QString out = QString::fromLatin1(db::fieldInfo(item.FieldNo).name) + u' ';
    switch (item.Op) {
    case OpContains:
        return out + QStringLiteral("contains ") + escaped(item.Text, u";|");
    case OpAnyWord:
        return out + QStringLiteral("any ") + escaped(item.Text, u";|");
    default:
        break;
    }
    out += item.Op == OpGreater ? u'>' : item.Op == OpLess ? u'<' : u'=';
    out += u' ';
    if (item.IsDate)
        return out + daysToDate(item.DateValue).toString(Qt::ISODate);
    return out + (item.Text.isEmpty() ? QString::number(item.NumValue, 'g', 17) : item.Text);
}

std::optional<SearchItem> parseCriterion(const QString& text, QString* why) {
    static const QRegularExpression re(
        QStringLiteral(R"(^([A-Za-z0-9_]+)\s*(=|>|<|contains\b|any\b)\s*(.*)$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto fail = [why](const QString& reason) -> std::optional<SearchItem> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return fail(QStringLiteral("not FIELD OP VALUE: ") + text.trimmed());
    const QString name = m.captured(1);
    const int field = db::fieldNumber(name.toStdString());
    if (field == 0)
        return fail(QStringLiteral("no book field ") + name);
    const QString op = m.captured(2).toLower();
    const QString value = unescaped(m.captured(3)).trimmed();
    if (value.isEmpty())
        return fail(QStringLiteral("no value for ") + name);

    SearchItem item;
    item.FieldNo = field;
    const RowType type = rowType(field);
    const bool textOp = op == QLatin1String("contains") || op == QLatin1String("any");
    if ((type == RowType::Text) != textOp)
        return fail(name + QStringLiteral(" cannot take ") + op);
    if (type == RowType::Text) {
        item.Op = op == QLatin1String("any") ? OpAnyWord : OpContains;
        item.Text = upperAsciiOnly(value);
        if (item.Text.size() > kMaxTextLength)
            return fail(name + QStringLiteral(": more than %1 characters").arg(kMaxTextLength));
        return item;
    }
    item.Op = op == QLatin1String(">") ? OpGreater : op == QLatin1String("<") ? OpLess : OpEqual;
    if (type == RowType::Date) {
        const QDate date = QDate::fromString(value, Qt::ISODate);
        if (!date.isValid())
            return fail(name + QStringLiteral(": not a date yyyy-mm-dd: ") + value);
        item.IsDate = true;
        item.DateValue = dateToDays(date);
        return item;
    }
    const auto number = parseNumber(value);
    if (!number)
        return fail(name + QStringLiteral(": not a number: ") + value);
    item.Text = value;
    item.NumValue = *number;
    return item;
}

} // namespace

std::vector<SearchItem> onLoanSearch() {
    SearchItem out;
    out.FieldNo = db::field::CheckOut;
    out.Op = OpContains;
    out.Text = QStringLiteral("YES");
    out.LevelEnd = true;
    return {out};
}

std::vector<SearchItem> overdueSearch(const QDate& today, int loanPeriod) {
    std::vector<SearchItem> items = onLoanSearch();
    items.back().LevelEnd = false;
    SearchItem dated; // after day 0, which an empty date reads as
    dated.FieldNo = db::field::CheckDate;
    dated.Op = OpGreater;
    dated.IsDate = true;
    dated.DateValue = 0;
    SearchItem before = dated;
    before.Op = OpLess;
    before.DateValue = dateToDays(today.addDays(-loanPeriod));
    before.LevelEnd = true;
    items.push_back(dated);
    items.push_back(before);
    return items;
}

bool isBuiltInName(const QString& name) {
    return name.compare(kOnLoanName, Qt::CaseInsensitive) == 0 ||
           name.compare(kOverdueName, Qt::CaseInsensitive) == 0;
}

QString searchText(const std::vector<SearchItem>& items) {
    QString out;
    bool levelStart = true;
    for (const SearchItem& item : items) {
        if (!levelStart)
            out += QStringLiteral("; ");
        out += criterionText(item);
        levelStart = item.LevelEnd;
        if (item.LevelEnd && &item != &items.back())
            out += QStringLiteral(" | ");
    }
    return out;
}

std::optional<std::vector<SearchItem>> parseSearchText(const QString& text, QString* why) {
    std::vector<SearchItem> items;
    for (const QString& level : splitUnescaped(text, u'|')) {
        bool any = false;
        for (const QString& criterion : splitUnescaped(level, u';')) {
            if (criterion.trimmed().isEmpty())
                continue;
            auto item = parseCriterion(criterion, why);
            if (!item)
                return std::nullopt;
            items.push_back(*item);
            any = true;
        }
        if (!any) {
            if (why)
                *why = QStringLiteral("a level without criteria");
            return std::nullopt;
        }
        items.back().LevelEnd = true;
    }
    return items;
}

// ---------------------------------------------------------------- the section

SavedSearches SavedSearches::read(const core::Profile& ini) {
    SavedSearches s;
    const int days = ini.readInt(kSection, kLoanPeriodKey, kDefaultLoanPeriod);
    s.loanPeriod_ = validLoanPeriod(days) ? days : kDefaultLoanPeriod;
    for (std::size_t i = 0; i < kMaxEntries && ini.hasKey(kSection, nameKey(i)); ++i) {
        SavedSearch entry;
        entry.name =
            unescaped(db::fromWindows1252(ini.readString(kSection, nameKey(i), {}, kValueLength)));
        entry.stored = ini.readString(kSection, searchKey(i), {}, kValueLength);
        if (entry.name.isEmpty() || s.find(entry.name))
            continue; // a search is found by its name
        auto items = parseSearchText(db::fromWindows1252(entry.stored));
        entry.readable = items.has_value();
        if (items) {
            entry.items = std::move(*items);
            entry.stored.clear();
        }
        s.entries_.push_back(std::move(entry));
    }
    return s;
}

void SavedSearches::write(core::Profile& ini) const {
    ini.removeSection(kSection);
    ini.writeInt(kSection, kLoanPeriodKey, loanPeriod_);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const SavedSearch& e = entries_[i];
        ini.writeString(kSection, nameKey(i), db::toWindows1252(escaped(e.name, u"")));
        ini.writeString(kSection, searchKey(i),
                        e.readable ? db::toWindows1252(searchText(e.items)) : e.stored);
    }
}

SavedSearches SavedSearches::load(const QString& settingsFile) {
    return read(core::Profile::load(db::toPath(settingsFile)));
}

bool SavedSearches::save(const QString& settingsFile, const db::DatabaseSettings& databaseSettings,
                         QString* error, db::FileSystem& fs) const {
    core::Profile ini = core::Profile::load(db::toPath(settingsFile));
    if (!ini.existed())
        databaseSettings.write(ini);
    write(ini);
    std::string why;
    if (db::saveProfile(ini, &why, fs))
        return true;
    if (error)
        *error = db::errorText(why);
    return false;
}

QStringList SavedSearches::names() const {
    QStringList out;
    for (const SavedSearch& e : entries_)
        out << e.name;
    return out;
}

const SavedSearch* SavedSearches::find(const QString& name) const {
    for (const SavedSearch& e : entries_)
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

void SavedSearches::put(const QString& name, const std::vector<SearchItem>& items) {
    SavedSearch entry{name, items, true, {}};
    if (const SavedSearch* e = find(name))
        entries_[std::size_t(e - entries_.data())] = std::move(entry);
    else
        entries_.push_back(std::move(entry));
}

bool SavedSearches::remove(const QString& name) {
    const SavedSearch* e = find(name);
    if (!e)
        return false;
    entries_.erase(entries_.begin() + (e - entries_.data()));
    return true;
}

void SavedSearches::setLoanPeriod(int days) {
    if (validLoanPeriod(days))
        loanPeriod_ = days;
}

std::optional<std::vector<SearchItem>> SavedSearches::itemsOf(const QString& name,
                                                              const QDate& today) const {
    if (name.compare(kOnLoanName, Qt::CaseInsensitive) == 0)
        return onLoanSearch();
    if (name.compare(kOverdueName, Qt::CaseInsensitive) == 0)
        return overdueSearch(today, loanPeriod_);
    const SavedSearch* e = find(name);
    if (!e || !e->readable)
        return std::nullopt;
    return e->items;
}

} // namespace shelvix::find
