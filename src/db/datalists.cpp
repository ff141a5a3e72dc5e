#include "db/datalists.h"

#include "core/text.h"
#include "core/wholefile.h"
#include "db/engine/error.h"
#include "db/engine/replacingfile.h"
#include "db/fieldtable.h"
#include "db/textcodec.h"

#include <QDir>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace shelvix::db {

namespace {

constexpr std::array<DataListInfo, kDataListCount> kLists = {{
    {"AUTHOR.LST", "&Author", "Author", 90, "Author", "MyComboAuthor", field::Author},
    {"LOCATION.LST", "&Location", "Location", 30, "Location", "MyComboLocation", field::Location},
    {"BOUGHT.LST", "&Where Purchased", "Purchased From", 30, "WherePurch", "MyComboBought",
     field::WherePurch},
    {"CATEGORY.LST", "&Category", "Category", 20, "Category", "MyComboCategory", field::Category},
    {"PUBLISH.LST", "&Publisher", "Publisher", 90, "Publisher", "MyComboPublisher",
     field::Publisher},
    {"RATING.LST", "&Rating", "Rating", 15, "PersRating", "MyComboRating", field::Rating},
    {"BOOKTYPE.LST", "&Book Type", "Book Type", 30, "BookType", "MyComboBookType", field::BookType},
    {"CHECKOUT.LST", "Chec&k Out Person", "Check Out Person", 30, "CheckName", "MyComboCheckOut",
     field::CheckName},
    {"CONDITION.LST", "C&ondition", "Condition", 20, "Condition", "MyComboCondition",
     field::Condition},
}};

constexpr std::size_t kMaxLine = 255;
// Tens of thousands of entries; a list past this is no list of ours.
constexpr std::uint64_t kMaxListBytes = 16 * 1024 * 1024;

} // namespace

const std::array<DataListInfo, kDataListCount>& dataListTable() {
    return kLists;
}

int dataListOfField(int field) {
    for (std::size_t i = 0; i < kLists.size(); ++i)
        if (kLists[i].field == field)
            return int(i) + 1;
    return 0;
}

QString defaultListFile(const QString& dataDir, int number) {
    return findCompanionFile(dataDir, QString::fromLatin1(kLists.at(number - 1).defaultFile));
}

QStringList LoadList(const QString& file) {
    QStringList list;
    const core::WholeFile read = core::readWholeFile(toPath(file), kMaxListBytes, "data list");
    if (!read.refusal.empty())
        core::noteRefusal(read.refusal);
    const std::string_view text = read.bytes;

    // Lines may end in CR LF, LF or CR alone.
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string entry = core::trim(text.substr(start, std::min(end - start, kMaxLine)));
        if (!entry.empty())
            list.append(fromWindows1252(entry));
        start = end;
        if (start < text.size() && text[start] == '\r')
            ++start;
        if (start < text.size() && text[start] == '\n')
            ++start;
    }
    return list;
}

bool SaveList(const QString& file, const QStringList& entries, FileSystem& fs) {
    // A list too large to have been read is kept, not replaced by the
    // nothing that was read of it.
    std::error_code error;
    if (std::filesystem::file_size(toPath(file), error) > kMaxListBytes && !error)
        return false;
    std::string bytes;
    for (const QString& entry : entries) {
        // A line break inside an entry would split it into two on reading.
        QString line = entry;
        line.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        bytes += toWindows1252(line);
        bytes += "\r\n";
    }
    try {
        replaceFile(toPath(file), bytes, fs);
        return true;
    } catch (const DatabaseError&) {
        return false;
    }
}

bool AddToList(QStringList& list, const QString& text) {
    const QString entry = text.trimmed();
    if (entry.isEmpty() || list.contains(entry, Qt::CaseSensitive))
        return false;
    list.append(entry);
    return true;
}

DataLists LoadAllList(const QString& basePath, const QString& dataDir) {
    const bool hasOwnLists = QFileInfo::exists(databaseListFile(basePath, 7)) ||
                             QFileInfo::exists(databaseListFile(basePath, 4)) ||
                             QFileInfo::exists(databaseListFile(basePath, 6));
    if (!hasOwnLists)
        return LoadDefaultList(dataDir);
    DataLists lists;
    for (int i = 0; i < kDataListCount; ++i)
        lists[i] = LoadList(databaseListFile(basePath, i + 1));
    return lists;
}

bool SaveAllLists(const QString& basePath, const DataLists& lists, FileSystem& fs) {
    bool all = true;
    for (int i = 0; i < kDataListCount; ++i)
        all = SaveList(databaseListFile(basePath, i + 1), lists[i], fs) && all;
    return all;
}

DataLists LoadDefaultList(const QString& dataDir) {
    DataLists lists;
    for (int i = 0; i < kDataListCount; ++i)
        lists[i] = LoadList(defaultListFile(dataDir, i + 1));
    return lists;
}

bool SaveDefaultLists(const QString& dataDir, const DataLists& lists) {
    bool all = true;
    for (int i = 0; i < kDataListCount; ++i)
        all = SaveList(defaultListFile(dataDir, i + 1), lists[i]) && all;
    return all;
}

} // namespace shelvix::db
