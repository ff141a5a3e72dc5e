// A dBASE table and memo file of arbitrary bytes (see fuzzsupport.h for the
// layout) imported into a book table. A source that does not open ends in
// its error; the book table must pass its check afterwards.

#include "db/displayformats.h"
#include "db/engine/error.h"
#include "db/engine/table.h"
#include "fuzzsupport.h"
#include "transfer/dbffiles.h"
#include "transfer/importer.h"

#include <filesystem>

using namespace shelvix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A source is read without its index: the second file is its memo file.
    const auto [dbf, memo] = fuzz::splitTwo({data, size});
    const auto dir = fuzz::workDir();
    fuzz::writeFile(dir / "SOURCE.DBF", dbf);
    if (memo.empty())
        std::filesystem::remove(dir / "SOURCE.DBT");
    else
        fuzz::writeFile(dir / "SOURCE.DBT", memo);
    db::DisplayFormats formats;
    db::Table& table = fuzz::bookTarget();
    try {
        transfer::DbfReader reader(dir / "SOURCE.DBF", formats);
        (void)reader.fieldNames();
        if (reader.fieldCount() > transfer::kMaxSourceFields)
            return 0;
        const int count = reader.fieldCount();
        const auto map = transfer::fieldMapFromRows(transfer::initialImportRows(count), count);
        transfer::Importer importer(table, formats);
        transfer::ImportStats stats;
        importer.run(reader, map, false, stats);
    } catch (const db::DatabaseError&) {
    }
    fuzz::requireWhole(table, "a dBASE import");
    return 0;
}
