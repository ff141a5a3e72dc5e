#include "cli/transfer.h"

#include "cli/commands.h"
#include "db/booktable.h"
#include "db/displayformats.h"
#include "db/engine/table.h"
#include "db/fieldtable.h"
#include "db/settings.h"
#include "find/searchfilter.h"
#include "transfer/dbffiles.h"
#include "transfer/delimited.h"
#include "transfer/exporter.h"
#include "transfer/importer.h"
#include "transfer/mapping.h"

#include <QString>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace shelvix::cli {

namespace {

// ---- Spreadsheet text: --preset (import) and --encoding (export) ----------

struct TextOptions {
    std::optional<transfer::Preset> preset;
    bool utf8 = false;
};

TextOptions textOptions(const Invocation& a) {
    TextOptions o;
    if (a.has("--preset")) {
        const std::string name = a.value("--preset");
        o.preset = transfer::presetNamed(name);
        if (!o.preset)
            throw UsageError{"unknown preset " + name + " (try goodreads or librarything)"};
    }
    if (a.has("--encoding")) {
        const QString name = QString::fromStdString(a.value("--encoding")).toLower().remove(u'-');
        if (name != QLatin1String("utf8") && name != QLatin1String("windows1252") &&
            name != QLatin1String("cp1252"))
            throw UsageError{"unknown encoding (try utf-8 or windows-1252)"};
        o.utf8 = name == QLatin1String("utf8");
    }
    return o;
}

// The reader and map of an import from a text file: a preset's, asked for or
// recognised by its header when --skip-first stands alone; else the book
// fields the header names; else what --map says, or by place. A preset reads
// the first line as its header.
std::unique_ptr<transfer::RecordReader>
textImportPlan(const Invocation& a, const TextOptions& options, transfer::RecordReader& text,
               const app::PerField<QString>& labels, transfer::FieldMap& map, bool& skipFirst);

// ----------------------------------------------------------------------------

db::DisplayFormats formatsFor(const std::string& text) {
    db::DisplayFormats formats;
    const QString t = QString::fromStdString(text).toLower();
    for (const auto& f : db::dateFormats()) {
        if (t == QLatin1String(f.caption) || t == QLatin1String(f.patternWithoutZeros)) {
            formats.setDateFormat(f.number);
            formats.setLeadingZeros(t == QLatin1String(f.caption));
            return formats;
        }
    }
    throw UsageError{"unknown date format " + text + " (try m/d/yyyy or dd.mm.yyyy)"};
}

std::vector<std::string> splitList(const std::string& list) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        out.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return out;
}

int number(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 4)
        return 0;
    return std::stoi(text);
}

// A book field by internal name or number.
int bookField(const std::string& text) {
    int f = number(text);
    if (f < 1 || f > db::kFieldCount)
        f = db::fieldNumber(text);
    if (f == 0)
        throw UsageError{"no book field " + text};
    return f;
}

bool sameName(const std::string& a, const std::string& b) {
    return QString::fromLatin1(a.data(), qsizetype(a.size()))
               .compare(QString::fromLatin1(b.data(), qsizetype(b.size())), Qt::CaseInsensitive) ==
           0;
}

transfer::FieldMap mapFromOption(const std::string& option,
                                 const std::vector<std::string>& sourceNames) {
    const int count = int(sourceNames.size());
    if (option.empty())
        return transfer::fieldMapFromRows(transfer::initialImportRows(count), count);
    transfer::FieldMap map(std::size_t(count), -1);
    for (const std::string& pair : splitList(option)) {
        const auto eq = pair.find('=');
        if (eq == std::string::npos)
            throw UsageError{"--map takes SRC=FIELD pairs: " + pair};
        const std::string src = pair.substr(0, eq);
        int s = number(src);
        if (s < 1 || s > count) {
            s = 0;
            for (int i = 0; i < count && s == 0; ++i)
                if (sameName(sourceNames[std::size_t(i)], src))
                    s = i + 1;
        }
        if (s == 0)
            throw UsageError{"no source field " + src};
        map[std::size_t(s - 1)] = bookField(pair.substr(eq + 1));
    }
    return map;
}

// A progress line on a terminal, redrawn a few times a second.
class ProgressLine {
public:
    explicit ProgressLine(std::ostream& err)
        : err_(err), on_(&err == &std::cerr && ::isatty(STDERR_FILENO)) {}
    void show(const char* verb, std::uint64_t count, std::uint64_t done, std::uint64_t total) {
        if (!on_)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(200))
            return;
        last_ = now;
        err_ << "\r" << verb << " " << count << " records";
        if (total > 0)
            err_ << " (" << done * 100 / total << "%)";
        err_ << std::flush;
        shown_ = true;
    }
    ~ProgressLine() {
        if (shown_)
            err_ << "\r\033[K" << std::flush;
    }

private:
    std::ostream& err_;
    bool on_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

std::string firstLineProblem(transfer::FirstLine result) {
    switch (result) {
    case transfer::FirstLine::FieldTooLong:
        return "its first line has a field of more than 255 characters";
    case transfer::FirstLine::UnexpectedEnd:
        return "its first line ends inside a field or with an unquoted field";
    default:
        return "its first line has more than 46 fields";
    }
}

// ---- Spreadsheet text, continued: how a text import lines up ---------------

// The database's own field names when it has settings, else the defaults.
app::PerField<QString> databaseLabels(std::filesystem::path file) {
    file.replace_extension(".INI");
    const app::DatabaseSettings settings =
        std::filesystem::exists(file)
            ? app::DatabaseSettings::load(QString::fromStdString(file.string()), QString())
            : app::DatabaseSettings();
    return settings.fieldNames;
}

std::unique_ptr<transfer::RecordReader>
textImportPlan(const Invocation& a, const TextOptions& options, transfer::RecordReader& text,
               const app::PerField<QString>& labels, transfer::FieldMap& map, bool& skipFirst) {
    const auto headers = text.headerTexts();
    const std::string mapOption = a.value("--map");
    transfer::Preset preset = options.preset.value_or(transfer::Preset::None);
    if (!options.preset && mapOption.empty() && a.has("--skip-first"))
        preset = transfer::detectPreset(headers);
    if (preset != transfer::Preset::None) {
        auto reader = std::make_unique<transfer::PresetReader>(text, preset);
        map =
            mapOption.empty() ? reader->fieldMap() : mapFromOption(mapOption, reader->fieldNames());
        skipFirst = true;
        return reader;
    }
    if (mapOption.empty() && a.has("--skip-first"))
        map = transfer::headerFieldMap(headers, &labels);
    if (map.empty())
        map = mapFromOption(mapOption, text.fieldNames());
    return nullptr;
}

// ----------------------------------------------------------------------------

} // namespace

int runImport(const Invocation& a, std::ostream& out, std::ostream& err) {
    const TextOptions options = textOptions(a);
    const db::DisplayFormats formats = formatsFor(a.value("--date-format", "m/d/yyyy"));
    const std::string& source = a.arguments[1];
    std::unique_ptr<transfer::RecordReader> reader;
    if (transfer::hasDbfExtension(QString::fromStdString(source))) {
        reader = std::make_unique<transfer::DbfReader>(source, formats);
        if (reader->fieldCount() > transfer::kMaxSourceFields) {
            err << "shelvix-tool: " << source << " has more than " << transfer::kMaxSourceFields
                << " fields\n";
            return 1;
        }
    } else {
        auto text = std::make_unique<transfer::DelimitedReader>(source);
        const auto result = text->scanFirstLine();
        if (result != transfer::FirstLine::Ok) {
            err << "shelvix-tool: " << source
                << " is not a delimited text file: " << firstLineProblem(result) << "\n";
            return 1;
        }
        reader = std::move(text);
    }
    bool skipFirst = a.has("--skip-first");
    const std::string duplicates = a.value("--duplicates", "keep");
    if (duplicates != "keep" && duplicates != "skip")
        throw UsageError{"--duplicates takes skip or keep, not " + duplicates};
    const bool skipDuplicates = duplicates == "skip";
    transfer::FieldMap map;
    std::unique_ptr<transfer::RecordReader> preset;
    if (dynamic_cast<transfer::DelimitedReader*>(reader.get()))
        preset =
            textImportPlan(a, options, *reader, databaseLabels(a.arguments[0]), map, skipFirst);
    else if (options.preset)
        throw UsageError{"--preset reads delimited text, not a .DBF"};
    else
        map = mapFromOption(a.value("--map"), reader->fieldNames());
    transfer::RecordReader& from = preset ? *preset : *reader;

    auto table = transfer::openForImport(a.arguments[0]);
    if (!db::isBookTable(*table)) {
        err << "shelvix-tool: " << a.arguments[0] << " is not a book table\n";
        return 1;
    }
    transfer::Importer importer(*table, formats);
    importer.setSkipDuplicates(skipDuplicates);
    transfer::ImportStats stats;
    {
        ProgressLine line(err);
        importer.run(from, map, skipFirst, stats, [&](const transfer::ImportStats& s) {
            line.show("imported", s.imported, from.progressDone(), from.progressTotal());
            return true;
        });
    }
    const QString warning = transfer::importWarning(stats);
    if (!warning.isEmpty())
        err << warning.toStdString() << "\n";
    out << "imported " << stats.imported << " records\n";
    if (stats.pastCount)
        out << stats.pastCount
            << " complete record(s) lay past the record count in the table's header and were "
               "read as well\n";
    return 0;
}

int runExport(const Invocation& a, std::ostream& out, std::ostream& err) {
    const TextOptions options = textOptions(a);
    const std::string dateFormat = a.value("--date-format", "m/d/yyyy");
    const db::DisplayFormats formats = formatsFor(dateFormat);
    const std::filesystem::path file = a.arguments[0];
    transfer::ExportRequest request;
    request.target = a.arguments[1];
    request.format = transfer::hasDbfExtension(QString::fromStdString(a.arguments[1]))
                         ? transfer::ExportFormat::DBase
                         : transfer::ExportFormat::Delimited;
    request.headerLine = !a.has("--no-header");
    request.utf8 = options.utf8;
    if (request.utf8 && request.format == transfer::ExportFormat::DBase)
        throw UsageError{"--encoding applies to delimited text, not a .DBF"};
    request.protectedFiles = transfer::databaseFiles(file);
    if (a.value("--fields").empty()) {
        for (int f = 1; f <= db::kFieldCount; ++f)
            request.fields.push_back(f);
    } else {
        for (const std::string& name : splitList(a.value("--fields")))
            request.fields.push_back(bookField(name));
    }
    // The headings are the database's own field names when it has settings.
    auto ini = file;
    ini.replace_extension(".INI");
    const db::DatabaseSettings settings =
        std::filesystem::exists(ini)
            ? db::DatabaseSettings::load(QString::fromStdString(ini.string()), QString())
            : db::DatabaseSettings();
    request.labels = settings.fieldNames;

    auto table = openToRead(file, err, db::OpenMode::Shared);
    if (const auto levels = a.values("--level"); !levels.empty()) {
        find::SearchFilter(searchLevels(levels, dateFormat), *table).applyTo(*table);
        request.searchOnly = true;
    }
    transfer::Exporter exporter(formats);
    transfer::ExportResult result;
    {
        ProgressLine line(err);
        result =
            exporter.run(table, request, nullptr, [&](std::uint64_t done, std::uint64_t total) {
                line.show("exported", done, done, total);
                return true;
            });
    }
    out << "exported " << result.written << " records\n";
    return 0;
}

} // namespace shelvix::cli
