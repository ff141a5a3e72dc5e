#include "db/sortorder.h"

#include "core/text.h"
#include "db/engine/table.h"
#include "db/fieldtable.h"

#include <algorithm>

namespace shelvix::db {

namespace {

// A number outside the field table (a hand-edited settings file) counts as
// no level rather than failing the open of the whole database.
bool isField(int number) {
    return number >= 1 && number <= kFieldCount;
}

} // namespace

std::string buildSortString(const std::array<int, 4>& levels) {
    const auto n = std::count_if(levels.begin(), levels.end(), isField);
    if (n == 0)
        return {};
    const std::string width = std::to_string(80 / n);

    std::string expr;
    for (int number : levels) {
        if (!isField(number))
            continue;
        const FieldInfo& f = fieldInfo(number);
        switch (f.kind) {
        case FieldKind::Text:
            expr += "Upper(Left(" + std::string(f.name) + "," + width + "))+";
            break;
        case FieldKind::WholeNumber:
            expr += "STR(" + std::string(f.name) + ",12,0)+";
            break;
        case FieldKind::Money:
            expr += "STR(" + std::string(f.name) + ",12,2)+";
            break;
        case FieldKind::Date:
            expr += "DTOS(" + std::string(f.name) + ")+";
            break;
        }
    }
    expr.pop_back();
    return expr;
}

std::string applySortTag(Table& table, const std::string& expression) {
    if (expression.empty())
        return {};
    table.selectTag("");
    for (const TagInfo& tag : table.tags())
        if (core::equalsNoCase(tag.name, kSortTagName))
            table.deleteTag(tag.name);
    table.addTag(kSortTagName, expression);
    return kSortTagName;
}

} // namespace shelvix::db
