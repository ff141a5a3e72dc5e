#include "find/replace.h"

#include "cli/commands.h"
#include "db/displayformats.h"
#include "db/engine/table.h"

#include <QString>
#include <optional>
#include <ostream>

namespace shelvix::cli {

int runReplace(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> positional;
    std::optional<std::string> field, search, replacement;
    std::string dateFormat = "m/d/yyyy";
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size())
                throw UsageError{arg + " needs a value"};
            return args[++i];
        };
        if (arg == "--field")
            field = value();
        else if (arg == "--find")
            search = value();
        else if (arg == "--with")
            replacement = value();
        else if (arg == "--date-format")
            dateFormat = value();
        else if (arg.rfind("--", 0) == 0)
            throw UsageError{"unknown option " + arg};
        else
            positional.push_back(arg);
    }
    if (positional.size() != 1)
        throw UsageError{"replace takes 1 argument"};
    if (!field || !search || !replacement)
        throw UsageError{"replace needs --field, --find and --with"};
    db::DisplayFormats formats;
    formats.setDateFormat(dateFormatNumber(dateFormat));

    // Sole use for the pass, as the window takes it; tags are kept up to
    // date as records change.
    auto table = db::Table::open(positional[0], db::OpenMode::Exclusive);
    for (const auto& line : table->repairsAtOpen())
        err << "repaired: " << line << "\n";
    const int index = table->fieldIndex(*field);
    const db::FieldLayout& f = table->field(index);
    if (f.type != 'C' && f.type != 'N' && f.type != 'F' && f.type != 'D')
        throw UsageError{"replace works on text, number and date fields"};
    find::ReplaceValues values;
    const find::ReplaceProblem problem =
        find::prepareReplace(f.type, f.length, QString::fromStdString(*search),
                             QString::fromStdString(*replacement), formats, values);
    if (problem != find::ReplaceProblem::None)
        throw UsageError{find::replaceProblemText(problem).toStdString()};
    const find::ReplaceCounters n = find::runReplacePass(*table, index, values);
    out << "processed: " << n.processed << "\nfound: " << n.found << "\nchanged: " << n.changed
        << "\n";
    return 0;
}

} // namespace shelvix::cli
