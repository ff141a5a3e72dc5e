#include "transfer/mapping.h"

#include "core/text.h"
#include "db/fieldtable.h"
#include "db/textcodec.h"

#include <QRegularExpression>
#include <algorithm>

namespace shelvix::transfer {

namespace {

// Blanks out, capitals folded: "Year Pub", "YEARPUB" and "year  pub" meet.
QString nameKey(const QString& name) {
    QString key = name.toCaseFolded();
    key.remove(u' ');
    return key;
}

bool sameHeader(std::string_view a, const char* b) {
    return db::fromWindows1252(a).trimmed().compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

int columnNamed(const std::vector<std::string>& headers, const char* name) {
    for (std::size_t i = 0; i < headers.size(); ++i)
        if (sameHeader(headers[i], name))
            return int(i);
    return -1;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Year, month and day, year first, split by "/" or "-"; what follows a blank
// (a time) is ignored.
std::optional<db::Date> isoDate(std::string_view text) {
    text = core::stripSpaces(core::unwrapped(text, "[", ']'));
    text = text.substr(0, std::min(text.find(' '), text.size()));
    int parts[3] = {};
    int digits[3] = {};
    std::size_t i = 0;
    for (int p = 0; p < 3; ++p) {
        if (p > 0) {
            if (i >= text.size() || (text[i] != '/' && text[i] != '-'))
                return std::nullopt;
            ++i;
        }
        for (; i < text.size() && isDigit(text[i]) && digits[p] < 4; ++i, ++digits[p])
            parts[p] = parts[p] * 10 + (text[i] - '0');
    }
    if (i != text.size() || digits[0] != 4 || digits[1] < 1 || digits[1] > 2 || digits[2] < 1 ||
        digits[2] > 2)
        return std::nullopt;
    const db::Date d{parts[0], parts[1], parts[2]};
    if (!db::isValidDate(d))
        return std::nullopt;
    return d;
}

struct PresetColumn {
    const char* name;
    const char* fallback; // or nullptr
    int field;            // 0: rewritten, not mapped
    PresetReader::Rule rule;
};

using R = PresetReader::Rule;
namespace f = db::field;

// The library export of the book-cataloguing site most collectors use: CSV,
// ISBNs written ="9780439023481" so spreadsheets keep their digits.
constexpr PresetColumn kGoodreads[] = {
    {"Title", nullptr, f::Title, R::Plain},
    {"Author", nullptr, f::Author, R::Plain},
    {"ISBN13", "ISBN", f::ISBN, R::Unwrapped},
    {"ISBN", nullptr, 0, R::Unwrapped},
    {"Publisher", nullptr, f::Publisher, R::Plain},
    {"Number of Pages", nullptr, f::Pages, R::Plain},
    {"Year Published", "Original Publication Year", f::YearPub, R::Plain},
    {"Date Added", nullptr, f::PurchDate, R::IsoDate},
    {"Bookshelves", nullptr, f::KeyWords, R::Plain},
    {"Binding", nullptr, f::BookType, R::Plain},
    {"My Rating", nullptr, f::Rating, R::Plain},
    {"Private Notes", nullptr, f::Descriptio, R::Plain},
};

// The tab-separated export of the other cataloguing site: ISBNs and dates in
// brackets, the publisher with its place and year.
constexpr PresetColumn kLibraryThing[] = {
    {"Title", nullptr, f::Title, R::Plain},
    {"Primary Author", nullptr, f::Author, R::Plain},
    {"Publication", nullptr, f::Publisher, R::Publisher},
    {"Date", nullptr, f::YearPub, R::Year},
    {"Page Count", nullptr, f::Pages, R::Plain},
    {"ISBN", nullptr, f::ISBN, R::Bracketed},
    {"Tags", nullptr, f::KeyWords, R::Plain},
    {"Media", nullptr, f::BookType, R::Plain},
    {"Rating", nullptr, f::Rating, R::Plain},
    {"Entry Date", nullptr, f::PurchDate, R::IsoDate},
    {"Dewey Decimal", nullptr, f::Dewey, R::Plain},
    {"Lending Patron", nullptr, f::CheckName, R::Plain},
    {"Lending Patron", nullptr, f::CheckOut, R::Flag},
    {"Comment", nullptr, f::Descriptio, R::Plain},
};

// The name of the field a Flag column makes.
constexpr const char* kCheckedOutColumn = "<CHECKED OUT>";

std::pair<const PresetColumn*, const PresetColumn*> columnsOf(Preset preset) {
    if (preset == Preset::Goodreads)
        return {std::begin(kGoodreads), std::end(kGoodreads)};
    if (preset == Preset::LibraryThing)
        return {std::begin(kLibraryThing), std::end(kLibraryThing)};
    return {nullptr, nullptr};
}

} // namespace

int fieldNamedBy(std::string_view cell, const db::PerField<QString>* labels) {
    QString text = db::fromWindows1252(cell).trimmed();
    static const QRegularExpression dbaseHeader(QStringLiteral("^([^,]+),[CNDLMF](,\\d+){0,2}$"),
                                                QRegularExpression::CaseInsensitiveOption);
    if (const auto m = dbaseHeader.match(text); m.hasMatch())
        text = m.captured(1);
    const QString key = nameKey(text);
    if (key.isEmpty())
        return 0;
    for (int n = 1; n <= db::kFieldCount; ++n) {
        const db::FieldInfo& info = db::fieldInfo(n);
        if (key == nameKey(QLatin1String(info.name)) || key == nameKey(QLatin1String(info.label)))
            return n;
        if (labels && key == nameKey((*labels)[std::size_t(n - 1)]))
            return n;
    }
    return 0;
}

FieldMap headerFieldMap(const std::vector<std::string>& headers,
                        const db::PerField<QString>* labels) {
    FieldMap map(headers.size(), -1);
    std::array<bool, db::kFieldCount + 1> taken{};
    bool any = false;
    for (std::size_t i = 0; i < headers.size(); ++i) {
        const int n = fieldNamedBy(headers[i], labels);
        if (n == 0 || taken[std::size_t(n)])
            continue;
        taken[std::size_t(n)] = true;
        map[i] = n;
        any = true;
    }
    return any ? map : FieldMap{};
}

std::vector<ImportRow> importRowsForMap(const FieldMap& map, int sourceFields) {
    if (std::none_of(map.begin(), map.end(), [](int n) { return n > 0; }))
        return initialImportRows(sourceFields);
    std::vector<ImportRow> rows(std::size_t(std::max(sourceFields, db::kFieldCount)));
    std::vector<int> rest;
    for (int i = 0; i < sourceFields; ++i) {
        const int n = i < int(map.size()) ? map[std::size_t(i)] : -1;
        if (n >= 1 && n <= db::kFieldCount && rows[std::size_t(n - 1)].source < 0)
            rows[std::size_t(n - 1)] = {i, true};
        else
            rest.push_back(i);
    }
    std::size_t r = 0;
    for (int i : rest) {
        while (rows[r].source >= 0)
            ++r;
        rows[r] = {i, false};
    }
    return rows;
}

std::optional<Preset> presetNamed(std::string_view name) {
    const QString n = QString::fromUtf8(name.data(), qsizetype(name.size()));
    if (n.compare(QLatin1String("goodreads"), Qt::CaseInsensitive) == 0)
        return Preset::Goodreads;
    if (n.compare(QLatin1String("librarything"), Qt::CaseInsensitive) == 0)
        return Preset::LibraryThing;
    return std::nullopt;
}

QString presetCaption(Preset preset) {
    switch (preset) {
    case Preset::Goodreads:
        return QStringLiteral("Goodreads export");
    case Preset::LibraryThing:
        return QStringLiteral("LibraryThing export");
    case Preset::None:
        break;
    }
    return QStringLiteral("None");
}

Preset detectPreset(const std::vector<std::string>& headers) {
    auto has = [&](std::initializer_list<const char*> names) {
        return std::all_of(names.begin(), names.end(),
                           [&](const char* n) { return columnNamed(headers, n) >= 0; });
    };
    if (has({"Book Id", "Title", "Author", "ISBN13", "My Rating", "Bookshelves", "Date Added"}))
        return Preset::Goodreads;
    if (has({"Book Id", "Title", "Primary Author", "Publication", "Entry Date", "Tags"}))
        return Preset::LibraryThing;
    return Preset::None;
}

PresetReader::PresetReader(RecordReader& source, Preset preset)
    : source_(source), preset_(preset), sourceCount_(source.fieldCount()),
      names_(source.fieldNames()), headers_(source.headerTexts()) {
    map_.assign(std::size_t(sourceCount_), -1);
    const auto [begin, end] = columnsOf(preset);
    for (const PresetColumn* c = begin; c != end; ++c) {
        Take t;
        t.rule = c->rule;
        t.column = columnNamed(headers_, c->name);
        t.fallback = c->fallback ? columnNamed(headers_, c->fallback) : -1;
        if (t.column < 0)
            std::swap(t.column, t.fallback);
        if (t.column < 0 || t.column >= sourceCount_)
            continue;
        t.into = t.column;
        if (c->rule == Rule::Flag) {
            t.into = int(names_.size());
            names_.emplace_back(kCheckedOutColumn);
            headers_.emplace_back(kCheckedOutColumn);
            map_.push_back(-1);
        }
        if (c->field > 0 && map_[std::size_t(t.into)] < 0)
            map_[std::size_t(t.into)] = c->field;
        takes_.push_back(t);
    }
}

namespace {

// One value as a rule reads it; `unmapped` follows what is kept.
std::string applyRule(PresetReader::Rule rule, std::string_view in, int& unmapped,
                      std::optional<db::Date>& date) {
    switch (rule) {
    case R::Plain:
        return std::string(in);
    case R::Unwrapped:
        return std::string(core::unwrapped(in, "=\"", '"'));
    case R::Bracketed:
        return std::string(core::unwrapped(in, "[", ']'));
    case R::Publisher: {
        std::string text(
            core::stripSpaces(in.substr(0, std::min(in.find_first_of(",("), in.size()))));
        unmapped = std::min(unmapped, int(std::count(text.begin(), text.end(), '?')));
        return text;
    }
    case R::Year:
        for (std::size_t i = 0; i + 4 <= in.size(); ++i) {
            const auto at = in.begin() + std::ptrdiff_t(i);
            if (std::all_of(at, at + 4, isDigit) && (i == 0 || !isDigit(in[i - 1])) &&
                (i + 4 == in.size() || !isDigit(in[i + 4])))
                return std::string(in.substr(i, 4));
        }
        return {};
    case R::IsoDate:
        date = isoDate(in);
        return std::string(in);
    case R::Flag:
        unmapped = 0;
        return core::stripSpaces(in).empty() ? std::string() : std::string("Yes");
    }
    return {};
}

} // namespace

bool PresetReader::next(SourceRecord& record) {
    if (!source_.next(record))
        return false;
    record.values.resize(names_.size());
    for (std::size_t i = std::size_t(sourceCount_); i < names_.size(); ++i)
        record.values[i] = {};
    for (const Take& t : takes_) {
        const SourceValue& from = record.values[std::size_t(t.column)];
        int unmapped = from.unmapped;
        std::optional<db::Date> date;
        std::string text = applyRule(t.rule, from.text, unmapped, date);
        // ="" is as empty as nothing: the fallback's value then.
        if (core::stripSpaces(text).empty() && t.fallback >= 0) {
            const SourceValue& other = record.values[std::size_t(t.fallback)];
            unmapped = other.unmapped;
            text = applyRule(t.rule, other.text, unmapped, date);
        }
        SourceValue& out = record.values[std::size_t(t.into)];
        out.text = std::move(text);
        out.unmapped = unmapped;
        out.date = date;
    }
    return true;
}

} // namespace shelvix::transfer
