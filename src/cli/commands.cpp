#include "cli/commands.h"

#include "cli/backup.h"
#include "cli/report.h"
#include "cli/transfer.h"
#include "core/codec.h"
#include "db/bookgen.h"
#include "db/booktable.h"
#include "db/engine/error.h"
#include "db/engine/table.h"
#include "db/recovery.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>
#include <ostream>

namespace fs = std::filesystem;
using shelvix::db::DatabaseError;
using shelvix::db::OpenMode;
using shelvix::db::Table;

namespace shelvix::cli {

const char* const kUsage =
    "usage: shelvix-tool COMMAND ...\n"
    "  create FILE [--force]               create an empty book table; an existing FILE\n"
    "                                      is replaced only with --force\n"
    "  generate N FILE [--seed S]          append N synthetic books (creates FILE if missing)\n"
    "  info FILE                           fields, counts, language driver and tags\n"
    "  dump FILE [--tag NAME] [--fields A,B,...] [--deleted]\n"
    "                                      the records as CSV, in tag or record order\n"
    "  search FILE --level \"FIELD OP VALUE[; FIELD OP VALUE...]\" [--level ...]\n"
    "         [--count] [--fields A,B,...] [--date-format m/d/yyyy]\n"
    "                                      the records the search window's criteria pass\n"
    "                                      (OP: = > < between contains any)\n"
    "  replace FILE --field NAME --find VALUE --with VALUE [--date-format m/d/yyyy]\n"
    "                                      every record whose field equals VALUE (text in\n"
    "                                      any capitals) changed, no questions asked\n"
    "  index FILE --tag NAME --expr EXPR   add or replace an index tag\n"
    "  check FILE                          verify the table and every tag, changing nothing;\n"
    "                                      exit status 1 on damage\n"
    "  repair FILE                         take back uncounted records, put the end mark\n"
    "                                      right, rebuild a half-updated or unreadable\n"
    "                                      index, remove temporary files that interrupted\n"
    "                                      work left\n"
    "  pack FILE                           remove deleted records and rebuild the tags\n"
    "  reindex FILE                        rebuild every tag\n"
    "  report FILE --name NAME (--text OUT | --pdf OUT) [--definitions PATH]\n"
    "         [--level \"FIELD OP VALUE[; ...]\" ...] [--date-format m/d/yyyy]\n"
    "                                      render a report definition (SHVBOOK.URP beside FILE)\n"
    "                                      over the books the levels pass, as search reads them\n";

namespace {

// Positional arguments and --name value options of one command.
struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::vector<std::string> flags;

    bool has(const std::string& flag) const {
        return std::find(flags.begin(), flags.end(), flag) != flags.end();
    }
    std::string option(const std::string& name) const {
        auto it = options.find(name);
        return it == options.end() ? std::string() : it->second;
    }
};

Args parse(const std::vector<std::string>& args, const std::vector<std::string>& valued,
           const std::vector<std::string>& flags, std::size_t positionals) {
    Args out;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--", 0) == 0) {
            if (std::find(valued.begin(), valued.end(), a) != valued.end()) {
                if (i + 1 >= args.size())
                    throw UsageError{a + " needs a value"};
                out.options[a] = args[++i];
            } else if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
                out.flags.push_back(a);
            } else {
                throw UsageError{"unknown option " + a};
            }
        } else {
            out.positional.push_back(a);
        }
    }
    if (out.positional.size() != positionals)
        throw UsageError{args[0] + " takes " + std::to_string(positionals) + " argument" +
                         (positionals == 1 ? "" : "s")};
    return out;
}

std::uint64_t parseCount(const std::string& text, const char* what) {
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        throw UsageError{std::string(what) + " must be a whole number: " + text};
    return value;
}

std::string csvField(std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(value);
    std::string out = "\"";
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

// An index that cannot be read is built again, for a command whose work
// builds it anyway; the user hears of it and of the tags lost.
void rebuildIndexIfUnreadable(const fs::path& file, std::ostream& out) {
    for (const auto& line : db::rebuildUnreadableIndex(file, db::sortExpressionOf(file)))
        out << "repaired: " << line << "\n";
}

// Opens for a command that writes; the open repairs what a writer that died
// left behind, and the user hears of it.
std::unique_ptr<Table> openToWrite(const fs::path& file, std::ostream& err,
                                   bool rebuildsIndex = false) {
    if (rebuildsIndex)
        rebuildIndexIfUnreadable(file, err);
    auto table = Table::open(file, OpenMode::Exclusive);
    for (const auto& line : table->repairsAtOpen())
        err << "repaired: " << line << "\n";
    return table;
}

int cmdCreate(const Args& a, std::ostream&, std::ostream& err) {
    const fs::path file = a.positional[0];
    std::error_code ec;
    // A catalogue is emptied only on purpose.
    if (fs::exists(fs::symlink_status(file, ec)) && !a.has("--force")) {
        err << "shelvix-tool: " << file.string() << " exists; --force replaces it\n";
        return 1;
    }
    db::createBookTable(file);
    return 0;
}

int cmdGenerate(const Args& a, std::ostream& out, std::ostream& err) {
    std::uint64_t n = parseCount(a.positional[0], "N");
    std::uint64_t seed = a.options.count("--seed") ? parseCount(a.option("--seed"), "S") : 1;
    fs::path file = a.positional[1];
    if (!fs::exists(file))
        db::createBookTable(file);
    auto table = openToWrite(file, err);
    db::appendGeneratedBooks(*table, n, seed);
    out << "appended " << n << " records\n";
    return 0;
}

int cmdInfo(const Args& a, std::ostream& out) {
    auto table = Table::open(a.positional[0], OpenMode::ReadOnly);
    std::uint32_t total = 0, deleted = 0;
    table->setShowDeleted(true);
    table->scan([&](const db::RecordView& r) {
        ++total;
        if (r.deleted())
            ++deleted;
        return false;
    });
    char driver[8];
    std::snprintf(driver, sizeof driver, "0x%02X", table->languageDriver());
    out << "file: " << table->path().string() << "\n"
        << "records: " << total << "\n"
        << "deleted: " << deleted << "\n"
        << "language driver: " << driver
        << (table->codePage() == db::CodePage::Cp437 ? " (cp437)" : " (cp1252)") << "\n"
        << "fields: " << table->fieldCount() << "\n";
    for (int i = 0; i < table->fieldCount(); ++i) {
        const auto& f = table->field(i);
        out << "  " << (i + 1) << " " << f.name << " " << f.type << "(" << f.length;
        if (f.type == 'N' || f.type == 'F')
            out << "," << f.decimals;
        out << ")\n";
    }
    auto tags = table->tags();
    out << "tags: " << tags.size() << "\n";
    for (const auto& t : tags)
        out << "  " << t.name << " " << static_cast<char>(t.type) << "(" << t.keyLength << ") "
            << t.expression << "\n";
    return 0;
}

int cmdDump(const Args& a, std::ostream& out) {
    auto table = Table::open(a.positional[0], OpenMode::ReadOnly);
    if (a.options.count("--tag"))
        table->selectTag(a.option("--tag"));
    table->setShowDeleted(a.has("--deleted"));
    writeCsv(*table, a.option("--fields"), out);
    return 0;
}

int cmdIndex(const Args& a, std::ostream& out, std::ostream& err) {
    std::string tag = a.option("--tag"), expr = a.option("--expr");
    if (tag.empty() || expr.empty())
        throw UsageError{"index needs --tag NAME and --expr EXPR"};
    auto table = openToWrite(a.positional[0], err, true);
    table->addTag(tag, expr);
    out << "tag " << tag << " built\n";
    return 0;
}

// Damage and notes of an open table; 1 when damaged.
int reportCheck(Table& table, std::ostream& out, std::ostream& err) {
    std::vector<std::string> notes;
    auto damage = table.check(&notes);
    for (const auto& n : notes)
        out << "note: " << n << "\n";
    for (const auto& p : damage)
        err << "damage: " << p << "\n";
    if (!damage.empty())
        return 1;
    out << "ok\n";
    return 0;
}

int cmdCheck(const Args& a, std::ostream& out, std::ostream& err) {
    auto table = Table::open(a.positional[0], OpenMode::ReadOnly);
    return reportCheck(*table, out, err);
}

int cmdRepair(const Args& a, std::ostream& out, std::ostream& err) {
    const fs::path file = a.positional[0];
    std::vector<std::string> done = db::removeLeftovers(file);
    for (const auto& line : done)
        out << "repaired: " << line << "\n";
    for (const auto& line : db::rebuildUnreadableIndex(file, db::sortExpressionOf(file))) {
        out << "repaired: " << line << "\n";
        done.push_back(line);
    }
    auto table = Table::open(file, OpenMode::Exclusive);
    for (const auto& line : table->repairsAtOpen())
        out << "repaired: " << line << "\n";
    // Damage in the index alone goes with a rebuild from the table.
    bool indexDamaged = false;
    const auto damage = table->check(nullptr, &indexDamaged);
    if (indexDamaged) {
        table->regenerateIndexes();
        out << "repaired: the index held damage (" << damage.front()
            << (damage.size() > 1 ? " ..." : "") << "); every tag was rebuilt\n";
    } else if (done.empty() && table->repairsAtOpen().empty()) {
        out << "nothing to repair\n";
    }
    return reportCheck(*table, out, err);
}

int cmdPack(const Args& a, std::ostream& out, std::ostream& err) {
    auto table = openToWrite(a.positional[0], err, true);
    table->pack();
    out << "packed: " << table->recordCount() << " records\n";
    return 0;
}

int cmdReindex(const Args& a, std::ostream& out, std::ostream& err) {
    auto table = openToWrite(a.positional[0], err, true);
    table->regenerateIndexes();
    out << "reindexed " << table->tags().size() << " tags\n";
    return 0;
}

} // namespace

void writeCsv(Table& table, const std::string& fieldList, std::ostream& out) {
    std::vector<int> fields;
    if (!fieldList.empty()) {
        const std::string& list = fieldList;
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t comma = list.find(',', start);
            if (comma == std::string::npos)
                comma = list.size();
            fields.push_back(table.fieldIndex(list.substr(start, comma - start)));
            start = comma + 1;
        }
    } else {
        for (int i = 0; i < table.fieldCount(); ++i)
            fields.push_back(i);
    }
    const auto cp = core::codePageForLanguageDriver(table.languageDriver());
    out << "Recno,Deleted";
    for (int f : fields)
        out << "," << table.field(f).name;
    out << "\n";
    std::string line;
    table.scan([&](const db::RecordView& r) {
        line = std::to_string(r.recno());
        line += r.deleted() ? ",*" : ",";
        for (int f : fields) {
            line += ',';
            char type = table.field(f).type;
            if (type == 'D') {
                if (auto d = r.date(f)) {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d->year, d->month, d->day);
                    line += buf;
                }
            } else if (type == 'N' || type == 'F') {
                std::string_view t = r.text(f);
                line += csvField(t);
            } else {
                line += csvField(core::decode(r.text(f), cp));
            }
        }
        line += '\n';
        out << line;
        return false;
    });
}

int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty())
        throw UsageError{};
    const std::string& cmd = args[0];
    if (cmd == "search")
        return runSearch(args, out);
    if (cmd == "replace")
        return runReplace(args, out, err);
    if (cmd == "create")
        return cmdCreate(parse(args, {}, {"--force"}, 1), out, err);
    if (cmd == "generate")
        return cmdGenerate(parse(args, {"--seed"}, {}, 2), out, err);
    if (cmd == "info")
        return cmdInfo(parse(args, {}, {}, 1), out);
    if (cmd == "dump")
        return cmdDump(parse(args, {"--tag", "--fields"}, {"--deleted"}, 1), out);
    if (cmd == "index")
        return cmdIndex(parse(args, {"--tag", "--expr"}, {}, 1), out, err);
    if (cmd == "check")
        return cmdCheck(parse(args, {}, {}, 1), out, err);
    if (cmd == "repair")
        return cmdRepair(parse(args, {}, {}, 1), out, err);
    if (cmd == "pack")
        return cmdPack(parse(args, {}, {}, 1), out, err);
    if (cmd == "reindex")
        return cmdReindex(parse(args, {}, {}, 1), out, err);
    if (cmd == "import")
        return runImport(args, out, err);
    if (cmd == "export")
        return runExport(args, out, err);
    if (cmd == "report")
        return cmdReport(args, out);
    if (cmd == "backup")
        return runBackup(args, out, err);
    if (cmd == "restore")
        return runRestore(args, out, err);
    if (cmd == "convert")
        return runConvert(args, out, err);
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        out << kUsage << kTransferUsage << kBackupUsage;
        return 0;
    }
    throw UsageError{"unknown command " + cmd};
}

} // namespace shelvix::cli
