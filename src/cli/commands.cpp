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

namespace {

std::uint64_t parseCount(const std::string& text, const char* what) {
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        throw UsageError{std::string(what) + " must be a whole number: " + text};
    return value;
}

} // namespace

// An index that cannot be read is built again, for a command whose work
// builds it anyway; the user hears of it and of the tags lost.
static void rebuildIndexIfUnreadable(const fs::path& file, std::ostream& out) {
    for (const auto& line : db::rebuildUnreadableIndex(file, db::sortExpressionOf(file)))
        out << "repaired: " << line << "\n";
}

std::unique_ptr<Table> openToWrite(const fs::path& file, std::ostream& err, bool rebuildsIndex) {
    if (rebuildsIndex)
        rebuildIndexIfUnreadable(file, err);
    auto table = Table::open(file, OpenMode::Exclusive);
    for (const auto& line : table->repairsAtOpen())
        err << "repaired: " << line << "\n";
    return table;
}

namespace {

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

} // namespace

int runCreate(const Invocation& a, std::ostream&, std::ostream& err) {
    const fs::path file = a.arguments[0];
    std::error_code ec;
    // A catalogue is emptied only on purpose.
    if (fs::exists(fs::symlink_status(file, ec)) && !a.has("--force")) {
        err << "shelvix-tool: " << file.string() << " exists; --force replaces it\n";
        return 1;
    }
    db::createBookTable(file);
    return 0;
}

int runGenerate(const Invocation& a, std::ostream& out, std::ostream& err) {
    std::uint64_t n = parseCount(a.arguments[0], "N");
    std::uint64_t seed = a.has("--seed") ? parseCount(a.value("--seed"), "S") : 1;
    fs::path file = a.arguments[1];
    if (!fs::exists(file))
        db::createBookTable(file);
    auto table = openToWrite(file, err);
    db::appendGeneratedBooks(*table, n, seed);
    out << "appended " << n << " records\n";
    return 0;
}

int runIndex(const Invocation& a, std::ostream& out, std::ostream& err) {
    const std::string tag = a.value("--tag"), expr = a.value("--expr");
    if (tag.empty() || expr.empty())
        throw UsageError{"needs a tag name and an expression"};
    auto table = openToWrite(a.arguments[0], err, true);
    table->addTag(tag, expr);
    out << "tag " << tag << " built\n";
    return 0;
}

int runCheck(const Invocation& a, std::ostream& out, std::ostream& err) {
    auto table = Table::open(a.arguments[0], OpenMode::ReadOnly);
    return reportCheck(*table, out, err);
}

int runRepair(const Invocation& a, std::ostream& out, std::ostream& err) {
    const fs::path file = a.arguments[0];
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

int runPack(const Invocation& a, std::ostream& out, std::ostream& err) {
    auto table = openToWrite(a.arguments[0], err, true);
    table->pack();
    out << "packed: " << table->recordCount() << " records\n";
    return 0;
}

int runReindex(const Invocation& a, std::ostream& out, std::ostream& err) {
    auto table = openToWrite(a.arguments[0], err, true);
    table->regenerateIndexes();
    out << "reindexed " << table->tags().size() << " tags\n";
    return 0;
}

} // namespace shelvix::cli
