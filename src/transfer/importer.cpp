#include "transfer/importer.h"

#include "db/displayformats.h"
#include "db/duplicates.h"
#include "db/engine/error.h"
#include "db/engine/table.h"
#include "db/fieldtable.h"
#include "db/isbn.h"
#include "transfer/messages.h"

#include <QStringList>
#include <algorithm>

namespace shelvix::transfer {

std::vector<ImportRow> initialImportRows(int sourceFields) {
    std::vector<ImportRow> rows(std::size_t(std::max(sourceFields, db::kFieldCount)));
    for (int i = 0; i < sourceFields; ++i)
        rows[std::size_t(i)] = {i, true};
    return rows;
}

FieldMap fieldMapFromRows(const std::vector<ImportRow>& rows, int sourceFields) {
    FieldMap map(std::size_t(sourceFields), -1);
    for (std::size_t r = 0; r < rows.size() && r < std::size_t(db::kFieldCount); ++r) {
        const ImportRow& row = rows[r];
        if (row.use && row.source >= 0 && row.source < sourceFields)
            map[std::size_t(row.source)] = int(r) + 1;
    }
    return map;
}

QString importWarning(const ImportStats& s) {
    QStringList lines;
    if (s.cutFields)
        lines << QStringLiteral("%1 field(s) longer than 255 characters were cut to 255.")
                     .arg(s.cutFields);
    if (s.unreadDates)
        lines << QStringLiteral("%1 date(s) that could not be read were left empty.")
                     .arg(s.unreadDates);
    if (s.unreadNumbers)
        lines << QStringLiteral(
                     "%1 number(s) that could not be read or did not fit were left empty.")
                     .arg(s.unreadNumbers);
    if (s.longLines)
        lines << QStringLiteral(
                     "%1 line(s) had more fields than the first line; the extra fields were "
                     "left out.")
                     .arg(s.longLines);
    if (s.unclosedLines)
        lines << QStringLiteral("%1 line(s) ended inside a quoted field or held a field without "
                                "quotes; they were imported as read.")
                     .arg(s.unclosedLines);
    if (s.strayQuotes)
        lines << QStringLiteral("%1 line(s) held a double quote inside a quoted field that was "
                                "neither doubled nor closing it; it was kept as text.")
                     .arg(s.strayQuotes);
    if (s.unmappedChars)
        lines << QStringLiteral("%1 character(s) that the table's code page lacks were stored "
                                "as \"?\".")
                     .arg(s.unmappedChars);
    if (s.cutMemos)
        lines << QStringLiteral("%1 memo(s) longer than their Shelvix field were cut to its width.")
                     .arg(s.cutMemos);
    if (s.unreadMemos)
        lines << QStringLiteral("%1 memo(s) could not be read from a missing or damaged memo file "
                                "and were left empty.")
                     .arg(s.unreadMemos);
    QStringList isbns;
    if (s.isbnWrongCheckDigits)
        isbns << QStringLiteral("%1 ISBN(s) whose check digit does not match were stored as they "
                                "stood.")
                     .arg(s.isbnWrongCheckDigits);
    if (s.isbnMalformed)
        isbns << QStringLiteral("%1 ISBN(s) that are neither 10 nor 13 characters of an ISBN were "
                                "stored as they stood.")
                     .arg(s.isbnMalformed);
    if (s.duplicatesAdded)
        isbns << QStringLiteral("%1 book(s) with an ISBN already in the catalogue were added all "
                                "the same.")
                     .arg(s.duplicatesAdded);
    if (s.duplicatesSkipped)
        isbns << QStringLiteral("%1 book(s) with an ISBN already in the catalogue were left out.")
                     .arg(s.duplicatesSkipped);
    QStringList parts;
    if (!lines.isEmpty())
        parts << QStringLiteral("Some values were not imported as they stood:\n") +
                     lines.join(u'\n');
    if (!isbns.isEmpty())
        parts << isbns.join(u'\n');
    return parts.join(QStringLiteral("\n\n"));
}

QString importCompleteMessage(const ImportStats& s) {
    QString text = QString::fromLatin1(kImportComplete);
    if (s.pastCount)
        text += QStringLiteral("\n\n%1 complete record(s) lay past the record count in the "
                               "table's header; they were read as well.")
                    .arg(s.pastCount);
    return text;
}

std::unique_ptr<db::Table> openForImport(const std::filesystem::path& path) {
    try {
        return db::Table::open(path, db::OpenMode::Exclusive);
    } catch (const db::DatabaseError& e) {
        if (e.kind() != db::DatabaseError::Kind::InUse)
            throw;
    }
    return db::Table::open(path, db::OpenMode::Shared);
}

Importer::Importer(db::Table& table, const db::DisplayFormats& formats)
    : table_(table), dates_(formats), codePage_(table.codePage()) {}

namespace {

bool hasLetter(std::string_view text) {
    for (char c : text)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            return true;
    return false;
}

} // namespace

void Importer::store(int field, const SourceValue& value, ImportStats& stats) {
    const db::FieldInfo& info = db::fieldInfo(field);
    switch (info.kind) {
    case db::FieldKind::Text:
        if (value.text.empty())
            return; // a new record is blank already
        if (value.memo && value.text.find_last_not_of(' ') + 1 > std::size_t(info.width))
            ++stats.cutMemos;
        // Only what is stored counts: a '?' in a field left out is no loss.
        stats.unmappedChars += std::uint64_t(value.unmapped);
        if (from_ == codePage_) {
            table_.setText(info.name, value.text);
        } else {
            recoded_ = recode(value.text, from_, codePage_);
            table_.setText(info.name, recoded_);
        }
        return;
    case db::FieldKind::Date: {
        std::optional<db::Date> d = value.date;
        if (!d && value.text.find(dates_.separator()) != std::string::npos &&
            !hasLetter(value.text))
            d = dates_.parse(value.text);
        if (d)
            table_.setDate(info.name, d);
        else if (!trimBlanks(value.text).empty())
            ++stats.unreadDates;
        return;
    }
    default: {
        const auto n = info.kind == db::FieldKind::WholeNumber ? readWholeNumber(value.text)
                                                               : readDecimalNumber(value.text);
        if (!n) {
            if (!trimBlanks(value.text).empty())
                ++stats.unreadNumbers;
            return;
        }
        try {
            table_.setNumber(info.name, *n);
        } catch (const db::DatabaseError& e) {
            if (e.kind() != db::DatabaseError::Kind::InvalidValue)
                throw;
            ++stats.unreadNumbers;
        }
    }
    }
}

bool Importer::keepIsbn(ImportStats& stats) {
    const std::string text = table_.text(db::fieldInfo(db::field::ISBN).name);
    if (const auto key = db::isbn::bookNumber(text)) {
        if (!isbnKeys_.insert(*key)) {
            if (skipDuplicates_) {
                ++stats.duplicatesSkipped;
                return false;
            }
            ++stats.duplicatesAdded;
        }
    }
    switch (db::isbn::check(text)) {
    case db::isbn::Status::WrongCheckDigit:
        ++stats.isbnWrongCheckDigits;
        break;
    case db::isbn::Status::Malformed:
        ++stats.isbnMalformed;
        break;
    case db::isbn::Status::Empty:
    case db::isbn::Status::Valid:
        break;
    }
    return true;
}

void Importer::run(RecordReader& reader, const FieldMap& map, bool skipFirst, ImportStats& stats,
                   const std::function<bool(const ImportStats&)>& progress) {
    stats = {};
    stats.pastCount = reader.recordsPastCount();
    reader.deliverIn(codePage_);
    from_ = reader.valueCodePage();
    reader.rewind();
    SourceRecord record;
    if (skipFirst && !reader.next(record))
        return;
    const std::size_t count = std::min(map.size(), std::size_t(reader.fieldCount()));
    // The catalogue's ISBNs, read once, when the source gives ISBNs.
    const bool isbnMapped = std::find(map.begin(), map.begin() + std::ptrdiff_t(count),
                                      db::field::ISBN) != map.begin() + std::ptrdiff_t(count);
    isbnKeys_ = isbnMapped ? db::isbnNumbers(table_) : db::IsbnNumbers();
    table_.disableControls();
    struct Enable {
        db::Table& t;
        ~Enable() { t.enableControls(); }
    } enable{table_};
    // One sync at the end rather than one per record.
    db::Table::Bulk bulk(table_);
    while (reader.next(record)) {
        stats.cutFields += std::uint64_t(record.cutFields);
        if (record.extraFields)
            ++stats.longLines;
        if (record.unclosed)
            ++stats.unclosedLines;
        if (record.strayQuote)
            ++stats.strayQuotes;
        bool keep = true;
        table_.insert();
        try {
            for (std::size_t i = 0; i < count; ++i) {
                if (map[i] <= 0)
                    continue;
                if (record.values[i].unread)
                    ++stats.unreadMemos;
                store(map[i], record.values[i], stats);
            }
            keep = !isbnMapped || keepIsbn(stats);
            if (keep)
                table_.post();
            else
                table_.cancel();
        } catch (...) {
            table_.cancel();
            throw;
        }
        if (keep)
            ++stats.imported;
        if (progress && !progress(stats)) {
            stats.cancelled = true;
            break;
        }
    }
    bulk.finish();
}

} // namespace shelvix::transfer
