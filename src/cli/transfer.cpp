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

#include <QString>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace shelvix::cli {

const char* const kTransferUsage =
    "  import FILE SOURCE [--map SRC=FIELD,...] [--skip-first] [--date-format F]\n"
    "                                      append the records of a delimited text file or\n"
    "                                      a .DBF; SRC is a source field's name or number,\n"
    "                                      FIELD a book field's name or number\n"
    "  export FILE TARGET [--fields A,B,...] [--no-header] [--date-format F]\n"
    "         [--level \"FIELD OP VALUE[; ...]\"]...\n"
    "                                      write the records as delimited text, or as a new\n"
    "                                      dBASE table when TARGET ends in .DBF; with --level\n"
    "                                      only those a search with these levels finds\n";

namespace {

struct TransferArgs {
    std::vector<std::string> positional;
    std::string map;
    std::string fields;
    std::string dateFormat = "m/d/yyyy";
    std::vector<std::string> levels;
    bool skipFirst = false;
    bool noHeader = false;
};

TransferArgs parseTransfer(const std::vector<std::string>& args, bool import) {
    TransferArgs a;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size())
                throw UsageError{arg + " needs a value"};
            return args[++i];
        };
        if (arg == "--date-format")
            a.dateFormat = value();
        else if (import && arg == "--map")
            a.map = value();
        else if (import && arg == "--skip-first")
            a.skipFirst = true;
        else if (!import && arg == "--fields")
            a.fields = value();
        else if (!import && arg == "--no-header")
            a.noHeader = true;
        else if (!import && arg == "--level")
            a.levels.push_back(value());
        else if (arg.rfind("--", 0) == 0)
            throw UsageError{"unknown option " + arg};
        else
            a.positional.push_back(arg);
    }
    if (a.positional.size() != 2)
        throw UsageError{args[0] + " takes 2 arguments"};
    return a;
}

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

} // namespace

int runImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const TransferArgs a = parseTransfer(args, true);
    const db::DisplayFormats formats = formatsFor(a.dateFormat);
    const std::string& source = a.positional[1];
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
    const transfer::FieldMap map = mapFromOption(a.map, reader->fieldNames());

    auto table = transfer::openForImport(a.positional[0]);
    if (!db::isBookTable(*table)) {
        err << "shelvix-tool: " << a.positional[0] << " is not a book table\n";
        return 1;
    }
    transfer::Importer importer(*table, formats);
    transfer::ImportStats stats;
    {
        ProgressLine line(err);
        importer.run(*reader, map, a.skipFirst, stats, [&](const transfer::ImportStats& s) {
            line.show("imported", s.imported, reader->progressDone(), reader->progressTotal());
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

int runExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const TransferArgs a = parseTransfer(args, false);
    const db::DisplayFormats formats = formatsFor(a.dateFormat);
    const std::filesystem::path file = a.positional[0];
    transfer::ExportRequest request;
    request.target = a.positional[1];
    request.format = transfer::hasDbfExtension(QString::fromStdString(a.positional[1]))
                         ? transfer::ExportFormat::DBase
                         : transfer::ExportFormat::Delimited;
    request.headerLine = !a.noHeader;
    request.protectedFiles = transfer::databaseFiles(file);
    if (a.fields.empty()) {
        for (int f = 1; f <= db::kFieldCount; ++f)
            request.fields.push_back(f);
    } else {
        for (const std::string& name : splitList(a.fields))
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

    auto table = db::Table::open(file, db::OpenMode::Shared);
    if (!a.levels.empty()) {
        table->setFilter(find::SearchFilter(searchLevels(a.levels, a.dateFormat), *table));
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
