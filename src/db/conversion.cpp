#include "db/conversion.h"

#include "core/text.h"
#include "db/databasefiles.h"
#include "db/displayformats.h"
#include "db/engine/error.h"
#include "db/textcodec.h"

#include <QDir>
#include <QFileInfo>
#include <array>
#include <cstdlib>

namespace shelvix::db {

namespace {

constexpr std::array<const char*, 25> kVersion2Names = {
    "Title",   "Author",     "YearPub",  "Publisher", "Category",   "WherePurch", "Cost",
    "Value",   "Descriptio", "ISBN",     "Rating",    "PurchDate",  "BookType",   "CatalogNum",
    "Sub1",    "Sub2",       "CheckOut", "CheckDate", "CheckPerso", "Volume",     "Issue",
    "Edition", "KeyWords",   "Pages",    "Location"};
// The check compares only the first ten characters, the dBASE limit.
constexpr std::array<const char*, 14> kVersion1Names = {
    "Title", "Author",      "YearPub", "Publisher", "Category", "WherePurchased", "Cost",
    "Value", "Description", "ISBN",    "Rating",    "PurchDay", "PurchMonth",     "PurchYear"};

template <std::size_t N>
bool checkFormat(const QString& path, const std::array<const char*, N>& names) {
    if (!QFileInfo(path).isFile())
        return false;
    const DatabaseFiles files = DatabaseFiles::of(path);
    if (!QFileInfo::exists(files.index))
        Table::removeMdxByte(toPath(files.current));
    try {
        // Its records are all it gives: its index is never read.
        auto table = Table::openTableOnly(toPath(files.current), OpenMode::ReadOnly);
        if (table->fieldCount() != int(N) + 1)
            return false;
        for (std::size_t i = 0; i < N; ++i)
            if (core::toUpperAscii(table->field(int(i) + 1).name) !=
                core::toUpperAscii(std::string(names[i]).substr(0, 10)))
                return false;
        return true;
    } catch (const DatabaseError&) {
        return false;
    }
}

// The old value as the new field takes it: text moves as text (through the
// code pages of both tables), numbers and dates as themselves.
void copyField(const Table& old, const RecordView& from, Table& to, std::string_view fromName,
               std::string_view toName) {
    const CodePage fromCp = old.codePage();
    const CodePage toCp = to.codePage();
    const int i = from.fieldIndex(fromName);
    const int j = to.fieldIndex(toName);
    const char fromType = old.field(i).type;
    const char toType = to.field(j).type;
    if (from.isEmpty(i))
        return;
    if (toType == 'N' || toType == 'F') {
        std::optional<double> n = from.number(i);
        if (fromType == 'C') {
            const std::string t = core::trim(from.text(i));
            char* end = nullptr;
            const double v = std::strtod(t.c_str(), &end);
            n = end != t.c_str() ? std::optional<double>(v) : std::nullopt;
        }
        to.setNumber(toName, n);
    } else if (toType == 'D') {
        if (fromType == 'D') {
            to.setDate(toName, from.date(i));
        } else {
            const QDate d =
                DisplayFormats::parseDate(decodeField(core::trim(from.text(i)), fromCp),
                                          QStringLiteral("m/d/y"), u'/', QDate::currentDate());
            to.setDate(toName, d.isValid() ? std::optional<Date>(Date{d.year(), d.month(), d.day()})
                                           : std::nullopt);
        }
    } else {
        std::string bytes = core::trimRight(from.text(i));
        if (fromType == 'D') {
            const auto d = from.date(i);
            bytes =
                d ? QStringLiteral("%1/%2/%3").arg(d->month).arg(d->day).arg(d->year).toStdString()
                  : std::string();
        } else if (fromCp != toCp) {
            if (auto encoded = encodeField(decodeField(bytes, fromCp), toCp))
                bytes = *encoded;
        }
        to.setText(toName, bytes);
    }
}

// The old pages text without blanks and commas, as a whole number; what does
// not read as one gives 0.
std::optional<double> pagesNumber(std::string_view text) {
    const std::string t = core::removeChar(core::trim(text), ',');
    if (t.empty())
        return 0.0;
    char* end = nullptr;
    const long long v = std::strtoll(t.c_str(), &end, 10);
    if (*end != '\0')
        return 0.0;
    return double(v);
}

template <typename Each> std::uint32_t convert(const QString& path, Table& target, Each each) {
    auto old = Table::openTableOnly(toPath(DatabaseFiles::of(path).current), OpenMode::ReadOnly);
    std::vector<std::uint32_t> added;
    Table::Bulk bulk(target);
    std::exception_ptr failure;
    old->scan([&](const RecordView& r) {
        // A true answer stops the scan.
        if (r.deleted())
            return false;
        try {
            target.insert();
            each(r, *old);
            target.post();
            added.push_back(target.recno());
            return false;
        } catch (...) {
            target.cancel();
            failure = std::current_exception();
            return true;
        }
    });
    if (failure) {
        // The old file stays for the next start, which converts it again
        // from the beginning: the records of this attempt must not stay
        // live beside that second copy.
        try {
            for (const std::uint32_t recno : added)
                if (target.goToRecord(recno))
                    target.deleteRecord();
            bulk.finish();
        } catch (...) {
        }
        std::rethrow_exception(failure);
    }
    bulk.finish();
    return std::uint32_t(added.size());
}

} // namespace

std::string earlierVersionDamage(const QString& path) {
    if (!QFileInfo::exists(path))
        return {};
    try {
        auto table = Table::openTableOnly(toPath(path), OpenMode::ReadOnly);
        table->setShowDeleted(true);
        table->scan([](const RecordView&) { return false; });
    } catch (const std::exception& e) {
        return path.toStdString() + " cannot be converted: " + e.what();
    }
    return {};
}

void removeEarlierVersionFile(const QString& path, FileSystem& fs) {
    const std::filesystem::path file = toPath(path);
    fs.remove(file);
    // Its records are in the book table, synced: the removal is made to last.
    fs.syncDirectory(file.parent_path());
}

QString findEarlierVersionFile(const QString& dataDir, const QString& name) {
    const QDir dir(dataDir);
    if (QFileInfo(dir.filePath(name)).isFile())
        return dir.filePath(name);
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return dir.filePath(name);
}

bool CheckDBaseFormatV2(const QString& path) {
    return checkFormat(path, kVersion2Names);
}

bool CheckDBaseFormatV1(const QString& path) {
    return checkFormat(path, kVersion1Names);
}

std::uint32_t ConvertV2(const QString& path, Table& target) {
    return convert(path, target, [&](const RecordView& r, const Table& old) {
        for (const char* name : kVersion2Names) {
            const std::string_view n(name);
            if (n == "Pages")
                target.setNumber("Pages", pagesNumber(r.text(r.fieldIndex("Pages"))));
            else
                copyField(old, r, target, n, n == "CheckPerso" ? "CheckName" : n);
        }
    });
}

std::optional<Date> versionOneDate(std::string_view day, std::string_view month,
                                   std::string_view year) {
    static constexpr std::array<const char*, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto firstFour = [](std::string_view s) {
        return QString::fromLatin1(core::trimRight(s.substr(0, 4)));
    };
    QString m = firstFour(month);
    for (std::size_t i = 0; i < kMonths.size(); ++i)
        if (m == QLatin1String(kMonths[i]))
            m = QString::number(i + 1);
    QString text = (m + u'/').left(5);
    text = (text + firstFour(day)).left(9);
    text = (text + u'/').left(10);
    text = (text + firstFour(year)).left(14);
    const QDate d =
        DisplayFormats::parseDate(text, QStringLiteral("m/d/y"), u'/', QDate::currentDate());
    if (!d.isValid())
        return std::nullopt;
    return Date{d.year(), d.month(), d.day()};
}

std::uint32_t ConvertV1(const QString& path, Table& target) {
    return convert(path, target, [&](const RecordView& r, const Table& old) {
        for (std::size_t i = 0; i < 11; ++i) {
            const std::string_view n(kVersion1Names[i]);
            copyField(old, r, target, n.substr(0, 10), n.substr(0, 10));
        }
        // A date that is no date leaves the purchase date empty; the record
        // and its other fields still come across.
        target.setDate("PurchDate", versionOneDate(r.text(r.fieldIndex("PurchDay")),
                                                   r.text(r.fieldIndex("PurchMonth")),
                                                   r.text(r.fieldIndex("PurchYear"))));
    });
}

std::vector<FieldDef> versionFields(int version) {
    std::vector<FieldDef> f{FieldDef::integer("RecNum")};
    const auto common = [&f] {
        f.push_back(FieldDef::text("Title", 80));
        f.push_back(FieldDef::text("Author", 60));
        f.push_back({"YearPub", 'N', 4, 0});
        f.push_back(FieldDef::text("Publisher", 40));
        f.push_back(FieldDef::text("Category", 20));
        f.push_back(FieldDef::text("WherePurch", 30));
        f.push_back({"Cost", 'N', 10, 2});
        f.push_back({"Value", 'N', 10, 2});
        f.push_back(FieldDef::text("Descriptio", 100));
        f.push_back(FieldDef::text("ISBN", 20));
        f.push_back(FieldDef::text("Rating", 15));
    };
    common();
    if (version == 1) {
        f.push_back(FieldDef::text("PurchDay", 2));
        f.push_back(FieldDef::text("PurchMonth", 4));
        f.push_back(FieldDef::text("PurchYear", 4));
        return f;
    }
    f.push_back(FieldDef::date("PurchDate"));
    for (const char* name : {"BookType", "CatalogNum"})
        f.push_back(FieldDef::text(name, 15));
    for (const char* name : {"Sub1", "Sub2"})
        f.push_back(FieldDef::text(name, 6));
    f.push_back(FieldDef::text("CheckOut", 3));
    f.push_back(FieldDef::date("CheckDate"));
    f.push_back(FieldDef::text("CheckPerso", 30));
    for (const char* name : {"Volume", "Issue"})
        f.push_back(FieldDef::text(name, 8));
    f.push_back(FieldDef::text("Edition", 10));
    f.push_back(FieldDef::text("KeyWords", 80));
    f.push_back(FieldDef::text("Pages", 8));
    f.push_back(FieldDef::text("Location", 30));
    return f;
}

} // namespace shelvix::db
