// Opens a table and its production index made of arbitrary bytes and reads
// everything through them. Any crash, hang, leak or sanitizer report is a bug:
// damaged files must end in a DatabaseError.
//
// Input: a .DBF and its .MDX as fuzzsupport.h lays them out. A table that
// checks whole is then written to, and must check whole afterwards.

#include "db/engine/error.h"
#include "db/engine/table.h"
#include "fuzzsupport.h"

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using namespace shelvix::db;
namespace fuzz = shelvix::fuzz;

namespace {

// Reads every record and walks every tag both ways; true when the check
// found nothing.
bool exercise(Table& table) {
    int n = 0;
    table.setShowDeleted(true);
    for (table.first(); !table.eof() && n < 2000; table.next(), ++n)
        for (int f = 0; f < table.fieldCount(); ++f) {
            (void)table.raw(table.field(f).name);
            (void)table.number(table.field(f).name);
            (void)table.date(table.field(f).name);
        }
    for (const auto& tag : table.tags()) {
        table.selectTag(tag.name);
        n = 0;
        for (table.first(); !table.eof() && n < 2000; table.next(), ++n)
            (void)table.recno();
        for (table.last(); !table.bof() && n < 4000; table.prior(), ++n)
            (void)table.recno();
        (void)table.findNearest("M");
    }
    return table.check().empty();
}

// A whole table stays whole through an edit, an insert and a delete.
void write(const fs::path& dbf) {
    auto table = Table::open(dbf, OpenMode::Exclusive);
    if (table->fieldCount() == 0)
        return;
    const std::string name = table->field(0).name;
    table->setShowDeleted(true);
    table->first();
    if (!table->eof()) {
        table->edit();
        table->setText(name, "Edited");
        table->post();
        table->deleteRecord();
    }
    table->insert();
    table->setText(name, "Added");
    table->post();
    const auto problems = table->check();
    if (!problems.empty())
        fuzz::fail("a table that checked whole is damaged after writing: " + problems.front());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [dbfBytes, mdxBytes] = fuzz::splitTwo({data, size});
    const fs::path dbf = fuzz::workDir() / "FUZZ.DBF";
    const fs::path mdx = fuzz::workDir() / "FUZZ.MDX";
    fuzz::writeFile(dbf, dbfBytes);
    if (!mdxBytes.empty())
        fuzz::writeFile(mdx, mdxBytes);
    else
        fs::remove(mdx);
    bool whole = false;
    try {
        auto table = Table::open(dbf, OpenMode::ReadOnly);
        whole = exercise(*table);
    } catch (const DatabaseError&) {
    }
    if (!whole)
        return 0;
    try {
        write(dbf);
    } catch (const DatabaseError&) {
        // A value the field cannot hold, say; the table must still be whole.
        auto table = Table::open(dbf, OpenMode::ReadOnly);
        const auto problems = table->check();
        if (!problems.empty())
            fuzz::fail("a refused write left damage: " + problems.front());
    }
    return 0;
}
