#include "edit/recordedit.h"

#include "db/displayformats.h"
#include "db/engine/table.h"
#include "db/recordtext.h"

#include <QDate>
#include <QRegularExpression>
#include <vector>

namespace shelvix::edit {

namespace {

using K = ControlKind;
using X = ExitHandler;

constexpr std::array<EditControlInfo, db::kFieldCount> kControls = {{
    {1, "Title", K::Edit, 90, 0, X::Caption},        {2, "Author", K::DropDown, 90, 0, X::None},
    {3, "YearPub", K::Edit, 4, 0, X::None},          {4, "Publisher", K::DropDown, 60, 0, X::None},
    {5, "Category", K::DropDown, 20, 1, X::None},    {6, "WherePurch", K::DropDown, 30, 0, X::None},
    {7, "Cost", K::Edit, 12, 2, X::Money},           {8, "Value", K::Edit, 12, 2, X::Money},
    {9, "Description", K::Edit, 110, 4, X::Caption}, {10, "ISBN", K::Edit, 20, 1, X::Caption},
    {11, "PersRating", K::DropDown, 15, 1, X::None}, {12, "PurchDate", K::Date, 10, 0, X::None},
    {13, "BookType", K::DropDown, 15, 0, X::None},   {14, "Catalog", K::Edit, 15, 1, X::Caption},
    {15, "SubCat1", K::Edit, 6, 1, X::Caption},      {16, "SubCat2", K::Edit, 6, 1, X::Caption},
    {17, "CheckOut", K::CheckBox, 0, 3, X::None},    {18, "CheckDate", K::Date, 10, 3, X::None},
    {19, "CheckName", K::DropDown, 30, 3, X::None},  {20, "Volume", K::Edit, 8, 0, X::None},
    {21, "Issue", K::Edit, 8, 0, X::None},           {22, "Edition", K::Edit, 10, 0, X::None},
    {23, "KeyWords", K::Edit, 80, 1, X::Caption},    {24, "Pages", K::Edit, 5, 0, X::None},
    {25, "Location", K::DropDown, 30, 1, X::None},   {26, "Condition", K::DropDown, 20, 4, X::None},
    {27, "Editor", K::Edit, 30, 0, X::Caption},      {28, "Dewey", K::Edit, 20, 1, X::Caption},
    {29, "LowMarket", K::Edit, 12, 2, X::Money},     {30, "HighMarket", K::Edit, 12, 2, X::Money},
    {31, "UserDef1", K::Edit, 40, 4, X::Caption},    {32, "UserDef2", K::Edit, 40, 4, X::Caption},
    {33, "UserDef3", K::Edit, 40, 4, X::Caption},    {34, "UserDef4", K::Edit, 40, 4, X::Caption},
    {35, "UserDef5", K::Edit, 40, 4, X::Caption},    {36, "UserDef6", K::Edit, 40, 4, X::Caption},
}};

constexpr int kCheckOut = db::field::CheckOut;
constexpr int kCheckDate = db::field::CheckDate;
constexpr int kPurchDate = db::field::PurchDate;
constexpr int kDateSnapshotLength = 12;

bool isMoney(int field) {
    return db::fieldInfo(field).kind == db::FieldKind::Money;
}
bool isUserDefined(int field) {
    return field >= db::field::UserDef1;
}

// Sign, digits with an optional fraction (or a fraction alone), exponent.
const QRegularExpression& numberPattern() {
    static const QRegularExpression re(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?)"));
    return re;
}

QString normaliseMoney(const QString& text, const db::DisplayFormats& formats) {
    QString s = text.trimmed();
    if (formats.currencyFormat() == db::DisplayFormats::Windows) {
        s.remove(formats.intl().thousandsChar);
        const qsizetype dot = s.indexOf(formats.intl().decimalChar);
        if (dot >= 0)
            s[dot] = u'.';
    } else {
        s.remove(u',');
    }
    return s;
}

} // namespace

const std::array<EditControlInfo, db::kFieldCount>& editControls() {
    return kControls;
}

const EditControlInfo* editControl(const QString& name) {
    for (const EditControlInfo& c : kControls)
        if (name == QLatin1String(c.control))
            return &c;
    return nullptr;
}

QString blankDateMask(QChar separator) {
    return QStringLiteral("  %1  %1    ").arg(separator);
}

bool isBlankDate(const QString& text) {
    const QString t = text.trimmed();
    return t.isEmpty() || t == QLatin1String("/  /") || t == QLatin1String("-  -") ||
           t == QLatin1String(".  .");
}

QString dateForMask(const QDate& date, const db::DisplayFormats& formats) {
    if (!date.isValid())
        return blankDateMask(formats.dateSeparator());
    const db::DateFormatInfo* info = db::dateFormatInfo(formats.dateFormat());
    QString pattern = info ? QString::fromLatin1(info->caption) : QStringLiteral("mm/dd/yy");
    // A two-digit year would be read back through the century window and
    // move an untouched 1970 to 2070: the mask has room for all four digits.
    if (!pattern.contains(QLatin1String("yyyy")))
        pattern.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return db::DisplayFormats::formatDate(date, pattern, formats.dateSeparator());
}

MoneyEntry parseMoney(const QString& text, const db::DisplayFormats& formats) {
    const QString s = normaliseMoney(text, formats);
    if (s.isEmpty())
        return {};
    const QRegularExpressionMatch m = numberPattern().match(s);
    if (!m.hasMatch() || m.capturedLength() != s.size())
        return {MoneyEntry::Invalid, 0};
    bool ok = false;
    const double v = s.toDouble(&ok);
    if (!ok)
        return {MoneyEntry::Invalid, 0};
    return {MoneyEntry::Number, v};
}

QString moneyOnExit(const QString& text, const db::DisplayFormats& formats) {
    // An entry that is not a number stays as typed, so that the update
    // refuses it instead of storing a guess (0, or the leading digits).
    const MoneyEntry entry = parseMoney(text, formats);
    if (entry.state != MoneyEntry::Number)
        return text;
    return formats.money(1, entry.value);
}

RecordValues readRecord(db::Table& table, const db::DisplayFormats& formats) {
    RecordValues values;
    const db::RecordView record = table.record(table.recno());
    const core::CodePage cp = table.codePage();
    for (const EditControlInfo& c : kControls) {
        const int index = table.fieldIndex(db::fieldInfo(c.field).name);
        const db::FieldLayout& layout = table.field(index);
        if (c.kind == K::Date) {
            const auto d = record.date(index);
            values[c.field] = dateForMask(d ? QDate(d->year, d->month, d->day) : QDate(), formats);
            continue;
        }
        QString text = db::fieldDisplayText(record, index, layout, cp, formats);
        if (isMoney(c.field) && !text.isEmpty()) {
            if (const auto n = record.number(index))
                text = formats.money(1, *n);
        }
        if (c.kind == K::CheckBox)
            values.checkedOut = text == QLatin1String("Yes");
        else
            values[c.field] = text;
    }
    return values;
}

RecordValues snapshotOf(const RecordValues& values) {
    RecordValues saved = values;
    for (const EditControlInfo& c : kControls) {
        if (c.kind == K::CheckBox)
            continue;
        const int length = c.kind == K::Date ? kDateSnapshotLength : c.maxLength;
        saved[c.field] = values[c.field].left(length);
    }
    return saved;
}

bool valuesChanged(const RecordValues& current, const RecordValues& saved) {
    if (current.checkedOut != saved.checkedOut)
        return true;
    for (const EditControlInfo& c : kControls) {
        if (c.kind == K::CheckBox)
            continue;
        const bool differs = c.kind == K::Date
                                 ? current[c.field].trimmed() != saved[c.field].trimmed()
                                 : current[c.field] != saved[c.field];
        if (differs)
            return true;
    }
    return false;
}

std::optional<EntryError> validateEntries(const RecordValues& values,
                                          const db::DisplayFormats& formats) {
    const auto badDate = [&](int field) {
        const QString t = values[field].trimmed();
        return !isBlankDate(t) && !formats.parseDate(t).isValid();
    };
    if (badDate(kCheckDate))
        return EntryError{QStringLiteral("Invalid check out date specified.  Please correct."), 3,
                          QStringLiteral("CheckDate")};
    if (badDate(kPurchDate))
        return EntryError{QStringLiteral("Invalid purchase date specified.  Please correct."), 0,
                          QStringLiteral("PurchDate")};
    const struct {
        int field;
        const char* control;
        const char* message;
    } kMoney[] = {
        {7, "Cost", "Invalid cost specified.  Please correct."},
        {8, "Value", "Invalid value specified.  Please correct."},
        {29, "LowMarket", "Invalid low market value specified.  Please correct."},
        {30, "HighMarket", "Invalid high market value specified.  Please correct."},
    };
    for (const auto& m : kMoney)
        if (parseMoney(values[m.field], formats).state == MoneyEntry::Invalid)
            return EntryError{QString::fromLatin1(m.message), 2, QString::fromLatin1(m.control)};
    return std::nullopt;
}

std::optional<QString> writeRecord(db::Table& table, const RecordValues& values, bool insert,
                                   const db::DisplayFormats& formats) {
    const core::CodePage cp = table.codePage();
    struct Write {
        std::string name;
        const EditControlInfo* control;
        std::string bytes;
    };
    // Every text is encoded before the table is touched, so a character the
    // code page lacks is refused rather than stored as "?".
    std::vector<Write> writes;
    for (const EditControlInfo& c : kControls) {
        Write w{table.field(table.fieldIndex(db::fieldInfo(c.field).name)).name, &c, {}};
        if (c.kind != K::Date && !isMoney(c.field)) {
            const QString text = c.kind == K::CheckBox
                                     ? QString::fromLatin1(values.checkedOut ? "Yes" : "No")
                                 : isUserDefined(c.field) ? values[c.field].trimmed()
                                                          : values[c.field];
            QChar bad;
            auto bytes = db::encodeField(text, cp, &bad);
            if (!bytes)
                return QStringLiteral("'%1' cannot be stored in field '%2'")
                    .arg(bad, QString::fromStdString(w.name));
            w.bytes = std::move(*bytes);
        }
        writes.push_back(std::move(w));
    }

    try {
        if (insert)
            table.insert();
        else
            table.edit();
        for (const Write& w : writes) {
            const int field = w.control->field;
            if (w.control->kind == K::Date) {
                const QString t = values[field].trimmed();
                std::optional<db::Date> date;
                if (!isBlankDate(t)) {
                    const QDate d = formats.parseDate(t);
                    date = db::Date{d.year(), d.month(), d.day()};
                }
                table.setDate(w.name, date);
            } else if (isMoney(field)) {
                table.setNumber(w.name, parseMoney(values[field], formats).value);
            } else {
                table.setText(w.name, w.bytes);
            }
        }
        table.post();
    } catch (const db::DatabaseError& e) {
        if (table.state() != db::Table::State::Browse)
            table.cancel();
        return db::errorText(e);
    }
    return std::nullopt;
}

std::optional<ChainStep> enterChainNext(const QString& control) {
    static const struct {
        const char* from;
        const char* to;
        int page;
    } kChain[] = {
        {"Title", "Author", -1},          {"Author", "Publisher", -1},
        {"Publisher", "Editor", -1},      {"Editor", "BookType", -1},
        {"BookType", "Volume", -1},       {"Volume", "Issue", -1},
        {"Issue", "YearPub", -1},         {"YearPub", "Edition", -1},
        {"Edition", "Pages", -1},         {"Pages", "PurchDate", -1},
        {"PurchDate", "WherePurch", -1},  {"WherePurch", "Catalog", 1},
        {"Catalog", "SubCat1", -1},       {"SubCat1", "SubCat2", -1},
        {"SubCat2", "Dewey", -1},         {"Dewey", "ISBN", -1},
        {"ISBN", "Category", -1},         {"Category", "KeyWords", -1},
        {"KeyWords", "PersRating", -1},   {"PersRating", "Location", -1},
        {"Location", "Cost", 2},          {"Cost", "Value", -1},
        {"Value", "LowMarket", -1},       {"LowMarket", "HighMarket", -1},
        {"HighMarket", "CheckOut", 3},    {"CheckOut", "CheckDate", -1},
        {"CheckDate", "CheckName", -1},   {"CheckName", "Condition", 4},
        {"Condition", "Description", -1}, {"Description", "UserDef1", -1},
        {"UserDef1", "UserDef2", -1},     {"UserDef2", "UserDef3", -1},
        {"UserDef3", "UserDef4", -1},     {"UserDef4", "UserDef5", -1},
        {"UserDef5", "UserDef6", -1},     {"UserDef6", "Title", 0},
    };
    for (const auto& step : kChain)
        if (control == QLatin1String(step.from))
            return ChainStep{QString::fromLatin1(step.to), step.page};
    return std::nullopt;
}

QStringList printLines(const RecordValues& values, const std::array<QString, 36>& fieldNames) {
    QStringList lines;
    for (int field = 1; field <= db::kFieldCount; ++field) {
        const QString& name = fieldNames[std::size_t(field - 1)];
        if (field == kCheckOut)
            lines << name + (values.checkedOut ? QStringLiteral(": Yes") : QStringLiteral(": No"));
        else
            lines << name + QStringLiteral(": ") + values[field];
    }
    return lines;
}

} // namespace shelvix::edit
