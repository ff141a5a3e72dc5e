#include "find/replace.h"

#include "cli/commands.h"
#include "db/displayformats.h"
#include "db/engine/table.h"

#include <QString>
#include <ostream>

namespace shelvix::cli {

int runReplace(const Invocation& a, std::ostream& out, std::ostream& err) {
    const std::string field = a.value("--field"), search = a.value("--find"),
                      replacement = a.value("--with");
    db::DisplayFormats formats;
    formats.setDateFormat(dateFormatNumber(a.value("--date-format", "m/d/yyyy")));

    // Sole use for the pass, as the window takes it; tags are kept up to
    // date as records change.
    auto table = db::Table::open(a.arguments[0], db::OpenMode::Exclusive);
    for (const auto& line : table->repairsAtOpen())
        err << "repaired: " << line << "\n";
    const int index = table->fieldIndex(field);
    const db::FieldLayout& f = table->field(index);
    if (f.type != 'C' && f.type != 'N' && f.type != 'F' && f.type != 'D')
        throw UsageError{"replace works on text, number and date fields"};
    find::ReplaceValues values;
    const find::ReplaceProblem problem =
        find::prepareReplace(f.type, f.length, QString::fromStdString(search),
                             QString::fromStdString(replacement), formats, values);
    if (problem != find::ReplaceProblem::None)
        throw UsageError{find::replaceProblemText(problem).toStdString()};
    const find::ReplaceCounters n = find::runReplacePass(*table, index, values);
    out << "processed: " << n.processed << "\nfound: " << n.found << "\nchanged: " << n.changed
        << "\n";
    return 0;
}

} // namespace shelvix::cli
