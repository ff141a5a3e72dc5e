#include "db/booktable.h"

#include "core/text.h"
#include "db/engine/table.h"
#include "db/fieldtable.h"

namespace shelvix::db {

void createBookTable(const std::filesystem::path& path) {
    std::vector<FieldDef> defs;
    defs.reserve(kFieldCount);
    for (const FieldInfo& f : fieldTable()) {
        switch (f.kind) {
        case FieldKind::Text:
            defs.push_back(FieldDef::text(f.name, f.width));
            break;
        case FieldKind::WholeNumber:
            defs.push_back(FieldDef::integer(f.name));
            break;
        case FieldKind::Money:
            defs.push_back(FieldDef::floating(f.name));
            break;
        case FieldKind::Date:
            defs.push_back(FieldDef::date(f.name));
            break;
        }
    }
    Table::create(path, defs);
}

bool isBookTable(const std::vector<std::string>& fieldNames) {
    if (fieldNames.size() != static_cast<std::size_t>(kFieldCount))
        return false;
    for (int i = 0; i < kFieldCount; ++i)
        if (!core::equalsNoCase(fieldNames[static_cast<std::size_t>(i)], fieldTable()[i].name))
            return false;
    return true;
}

bool isBookTable(const Table& table) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(table.fieldCount()));
    for (int i = 0; i < table.fieldCount(); ++i)
        names.push_back(table.field(i).name);
    return isBookTable(names);
}

} // namespace shelvix::db
