#include "cli/commandline.h"

#include "cli/backup.h"
#include "cli/commands.h"
#include "cli/report.h"
#include "cli/transfer.h"
#include "core/product.h"

#include <QCommandLineParser>
#include <algorithm>
#include <ostream>

namespace shelvix::cli {

namespace {

const OptionDef kDateFormat{"--date-format", "F",
                            "how dates are written: m/d/yyyy (the default), dd.mm.yyyy or "
                            "another of the program's date formats"};
const OptionDef kLevels{"--level", "\"FIELD OP VALUE[; ...]\"",
                        "one level of a search, its criteria joined by \";\" (OP: = > < "
                        "between contains any; between takes LOW and HIGH); up to ten levels",
                        false, true};
const OptionDef kFields{"--fields", "A,B,...", "only these fields, in this order"};

} // namespace

const std::vector<CommandDef>& commandTable() {
    static const std::vector<CommandDef> table = {
        {"create",
         {"FILE"},
         {{"--force", nullptr, "replace an existing FILE"}},
         "Create an empty book table; an existing FILE is replaced only with --force.",
         runCreate},
        {"generate",
         {"N", "FILE"},
         {{"--seed", "S",
           "where the made-up books start from (1); the same seed gives the same "
           "books"}},
         "Append N synthetic books to FILE (made when missing).",
         runGenerate},
        {"info",
         {"FILE"},
         {},
         "The table's fields, record counts, language driver and index tags.",
         runInfo},
        {"dump",
         {"FILE"},
         {{"--tag", "NAME", "in the order of this tag (record order without it)"},
          kFields,
          {"--deleted", nullptr, "deleted records too, marked * in the Deleted column"}},
         "The records as CSV on standard output, a header line first.",
         runDump},
        {"search",
         {"FILE"},
         {kLevels,
          {"--saved", "NAME", "a search saved in the catalogue's settings (FILE's .INI)"},
          {"--on-loan", nullptr, "the books checked out"},
          {"--overdue", nullptr, "the books checked out longer than the loan period"},
          {"--loan-period", "DAYS", "for --overdue (the catalogue's, else 28)"},
          {"--count", nullptr, "only the number of records found"},
          kFields,
          kDateFormat},
         "The records the search window's criteria pass, or those of a saved search, as CSV "
         "on standard output.",
         runSearch,
         "search FILE (--level \"FIELD OP VALUE[; ...]\"... | --saved NAME | --on-loan | "
         "--overdue [--loan-period DAYS]) [--count] [--fields A,B,...] [--date-format F]"},
        {"replace",
         {"FILE"},
         {{"--field", "NAME", "the field to change", true},
          {"--find", "VALUE", "the value to replace (text in any capitals)", true},
          {"--with", "VALUE", "the value put in its place", true},
          kDateFormat},
         "Every record whose field equals VALUE changed, no questions asked; the counters "
         "are printed.",
         runReplace},
        {"isbn",
         {"FILE"},
         {{"--fix", nullptr,
           "write every valid ISBN in one form, as a bulk job: tags kept up to date, the files "
           "synced once"},
          {"--form", "10|13",
           "with --fix, the form: 13 digits (the default), or 10 characters where the ISBN has "
           "them (not those from 979)"}},
         "The records whose ISBN is malformed or whose check digit does not match, as CSV on "
         "standard output; blanks, hyphens and the =\"...\" and [...] wrappers do not count. "
         "The counts, and with --fix how many records changed, on standard error.",
         runIsbn},
        {"duplicates",
         {"FILE"},
         {{"--by", "isbn|title-author",
           "what makes two records the same book: the ISBN (the default; an ISBN-10 and its "
           "ISBN-13 match), or the title and the author compared without case, blanks and "
           "accents"}},
         "The groups of records that hold the same book, as CSV on standard output: the "
         "group's number, then each record's number, ISBN, title and author.",
         runDuplicates},
        {"index",
         {"FILE"},
         {{"--tag", "NAME", "the tag's name", true},
          {"--expr", "EXPR", "its key expression, such as Upper(Left(Author,80))", true}},
         "Add an index tag, or replace the tag of that name.",
         runIndex},
        {"check",
         {"FILE"},
         {},
         "Verify the table and every tag, changing nothing; exit status 1 on damage (what "
         "makes a reader go wrong). Notes tell differences of convention between dBASE "
         "writers.",
         runCheck},
        {"repair",
         {"FILE"},
         {},
         "What opening repairs, said: records past the count taken back, the end mark put "
         "right, a half-updated index rebuilt. Also an index that cannot be read or walked "
         "is rebuilt from the table (the tags lost are named), and temporary files that "
         "stopped work left beside the table are removed.",
         runRepair},
        {"pack", {"FILE"}, {}, "Remove the deleted records and rebuild the tags.", runPack},
        {"reindex", {"FILE"}, {}, "Rebuild every tag.", runReindex},
        {"report",
         {"FILE"},
         {{"--name", "NAME", "the report definition to print", true},
          {"--text", "OUT", "write the report as text into OUT"},
          {"--pdf", "OUT", "write the report as PDF into OUT"},
          {"--definitions", "PATH",
           "the report definitions (SHVBOOK.URP beside FILE; the eight default reports "
           "without it)"},
          kLevels,
          kDateFormat},
         "Render a report definition over the books the levels pass (every book without "
         "them), in the catalogue's sort order.",
         cmdReport,
         "report FILE --name NAME (--text OUT | --pdf OUT) [--definitions PATH] "
         "[--level \"FIELD OP VALUE[; ...]\"]... [--date-format F]"},
        {"import",
         {"FILE", "SOURCE"},
         {{"--map", "SRC=FIELD,...",
           "which source field goes into which book field: SRC a source field's name or "
           "number, FIELD a book field's name or number (without it, as the import window "
           "maps them)"},
          {"--skip-first", nullptr,
           "the first line or record is not imported; alone (without --map), a first line "
           "naming book fields, or a known export's columns, maps them"},
          kDateFormat,
          {"--preset", "goodreads|librarything",
           "the columns of a Goodreads or LibraryThing export, mapped by their names"},
          {"--duplicates", "skip|keep",
           "books whose ISBN FILE holds already are left out, or added (keep, the default); "
           "counted either way"}},
         "Append the records of a delimited text file or a .DBF to FILE.",
         runImport},
        {"export",
         {"FILE", "TARGET"},
         {kFields,
          {"--no-header", nullptr, "no line of field names first"},
          kDateFormat,
          kLevels,
          {"--encoding", "utf-8|windows-1252",
           "the text's encoding (windows-1252, as the program writes it, by default)"}},
         "Write the records as delimited text, or as a new dBASE table when TARGET ends in "
         ".DBF; with --level only those a search with these levels finds.",
         runExport},
        {"backup",
         {"FILE", "DIR"},
         {},
         "Copy the table (not its index), its settings and its data lists into DIR, holding "
         "it for sole use while they are copied.",
         runBackup},
        {"restore",
         {"BACKUP.DBF", "DATADIR"},
         {},
         "Copy a backed-up table with its settings and lists into DATADIR, dropping its old "
         "index and building its sort tag afresh.",
         runRestore},
        {"convert",
         {"DATADIR"},
         {{"--into", "FILE", "the book table they are appended to (DATADIR/MASTER.DBF)"}},
         "Append B2LOG.DBF and BLOG.DBF (in any capitals) of the earlier versions to a book "
         "table (DATADIR/MASTER.DBF, made only when there is something to convert) and "
         "delete each once its records are on disk.",
         runConvert},
    };
    return table;
}

namespace {

constexpr std::size_t kWidth = 79;
// Past column 20, as help2man wants a description below its term.
constexpr std::size_t kListIndent = 22;

// `text` broken into lines of at most kWidth columns: the first starts with
// `first` blanks, the others with `indent`.
std::string wrap(const std::string& text, std::size_t indent, std::size_t first) {
    std::string out, line;
    std::size_t start = 0, margin = first;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && margin + line.size() + 1 + word.size() > kWidth) {
            out += std::string(margin, ' ') + line + "\n";
            line.clear();
            margin = indent;
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    if (!line.empty())
        out += std::string(margin, ' ') + line + "\n";
    return out;
}

std::string wrap(const std::string& text, std::size_t indent) {
    return wrap(text, indent, indent);
}

std::string optionUse(const OptionDef& o) {
    std::string use = o.name;
    if (o.value)
        use += std::string(" ") + o.value;
    return use;
}

std::string synopsis(const CommandDef& c, bool shortened = false) {
    if (c.synopsis && !shortened)
        return c.synopsis;
    std::string s = c.name;
    for (const char* a : c.arguments)
        s += std::string(" ") + a;
    bool optional = false;
    for (const OptionDef& o : c.options) {
        if (shortened && !o.required) {
            optional = true;
            continue;
        }
        if (o.required)
            s += " " + optionUse(o);
        else
            s += " [" + optionUse(o) + "]";
        if (o.repeated)
            s += "...";
    }
    return optional ? s + " [OPTION]..." : s;
}

// One line in the command list; a long one leaves its options to the
// command's own help.
std::string listedSynopsis(const CommandDef& c) {
    const std::string full = synopsis(c);
    return full.size() + 2 <= kWidth ? full : synopsis(c, true);
}

// Two columns: what to type, and what it does.
std::string table(const std::vector<std::pair<std::string, std::string>>& rows) {
    std::size_t column = 0;
    for (const auto& [use, _] : rows)
        column = std::max(column, use.size());
    column = std::min<std::size_t>(column + 4, 30);
    std::string out;
    for (const auto& [use, help] : rows) {
        std::string text = wrap(help, column);
        if (use.size() + 4 <= column)
            text.replace(0, 2 + use.size(), "  " + use);
        else
            text = "  " + use + "\n" + text;
        out += text;
    }
    return out;
}

const CommandDef* findCommand(const std::string& name) {
    for (const CommandDef& c : commandTable())
        if (name == c.name)
            return &c;
    return nullptr;
}

// Arguments pass through QString as Latin-1, which gives every byte back
// unchanged: a file name in any encoding stays the name it was.
QString toQ(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

std::string fromQ(const QString& s) {
    return s.toLatin1().toStdString();
}

bool asksForHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--")
            return false;
        if (a == "--help" || a == "-h")
            return true;
    }
    return false;
}

Invocation readCommandLine(const CommandDef& command, const std::vector<std::string>& args) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionDef& o : command.options) {
        QCommandLineOption option(toQ(o.name + 2));
        if (o.value)
            option.setValueName(toQ(o.value));
        parser.addOption(option);
    }
    QStringList list{toQ(command.name)};
    for (std::size_t i = 1; i < args.size(); ++i)
        list << toQ(args[i]);
    if (!parser.parse(list)) {
        // Qt names an unknown option without its dashes.
        for (const QString& name : parser.unknownOptionNames()) {
            for (const QString& given : list) {
                const QString option = given.section(u'=', 0, 0);
                const qsizetype dashes = option.startsWith(QLatin1String("--")) ? 2 : 1;
                if (given.startsWith(u'-') && option.mid(dashes) == name)
                    throw UsageError{"unknown option '" + fromQ(option) + "'"};
            }
        }
        QString error = parser.errorText();
        if (error.endsWith(u'.'))
            error.chop(1);
        if (!error.isEmpty())
            error[0] = error[0].toLower();
        throw UsageError{fromQ(error)};
    }

    Invocation a;
    a.command = command.name;
    a.given = args;
    for (const QString& p : parser.positionalArguments())
        a.arguments.push_back(fromQ(p));
    if (a.arguments.size() != command.arguments.size()) {
        std::string names;
        for (const char* n : command.arguments)
            names += std::string(" ") + n;
        throw UsageError{"takes " + std::to_string(command.arguments.size()) + " argument" +
                         (command.arguments.size() == 1 ? "" : "s") + " (" + names.substr(1) +
                         "), not " + std::to_string(a.arguments.size())};
    }
    for (const OptionDef& o : command.options) {
        const QString name = toQ(o.name + 2);
        if (!parser.isSet(name)) {
            if (o.required)
                throw UsageError{"needs " + optionUse(o)};
            continue;
        }
        auto& values = a.options[o.name];
        if (o.value)
            for (const QString& v : parser.values(name))
                values.push_back(fromQ(v));
    }
    return a;
}

} // namespace

std::string toolHelpText() {
    std::string out = "Usage: shelvix-tool COMMAND ARGUMENT... [OPTION]...\n" +
                      wrap("Work on the catalogue's dBASE tables, and on any other dBASE "
                           "table, without a window.",
                           0) +
                      "\nCommands:\n";
    for (const CommandDef& c : commandTable())
        out += "  " + listedSynopsis(c) + "\n" + wrap(c.help, kListIndent);
    out += "\nOptions:\n" +
           table({{"-h, --help", "this list; shelvix-tool COMMAND --help tells one command's use"},
                  {"--version", "the version"}}) +
           "\nExit status:\n" +
           table({{"0", "success"},
                  {"1", "failure, said on standard error in one line"},
                  {"2", "a usage mistake, said in one line and a second that tells where "
                        "to look"}}) +
           "\n" +
           wrap("Commands that write repair at open as the program does, and say so on "
                "standard error (\"repaired: ...\").",
                0);
    return out;
}

std::string commandHelpText(const CommandDef& c) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (const OptionDef& o : c.options)
        rows.emplace_back(optionUse(o), std::string(o.help) + (o.repeated ? "; repeatable" : ""));
    rows.emplace_back("-h, --help", "this help");
    return wrap("Usage: shelvix-tool " + synopsis(c), 6, 0) + wrap(c.help, 0) + "\nOptions:\n" +
           table(rows);
}

std::string toolVersionText() {
    return std::string("shelvix-tool (") + core::kProductName + ") " + core::kVersion + "\n";
}

int runTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const auto mistake = [&err](const std::string& message, const std::string& command) {
        return reportMistake(message, command, err);
    };
    if (args.empty())
        return mistake("no command given", {});
    const std::string& first = args[0];
    if (first == "--help" || first == "-h") {
        out << toolHelpText();
        return 0;
    }
    if (first == "--version") {
        out << toolVersionText();
        return 0;
    }
    if (first == "help") {
        if (args.size() == 1) {
            out << toolHelpText();
            return 0;
        }
        const CommandDef* command = findCommand(args[1]);
        if (!command)
            return mistake("unknown command '" + args[1] + "'", {});
        out << commandHelpText(*command);
        return 0;
    }
    const CommandDef* command = findCommand(first);
    if (!command)
        return mistake("unknown command '" + first + "'", {});
    if (asksForHelp(args)) {
        out << commandHelpText(*command);
        return 0;
    }
    return runReporting(
        command->name, [&] { return command->run(readCommandLine(*command, args), out, err); },
        err);
}

} // namespace shelvix::cli
