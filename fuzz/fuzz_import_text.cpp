// A delimited text file of arbitrary bytes imported into a book table as the
// import window does it: the first line scanned for field names, then every
// line appended. The table must pass its check afterwards.

#include "db/displayformats.h"
#include "db/engine/error.h"
#include "db/engine/table.h"
#include "fuzzsupport.h"
#include "transfer/delimited.h"
#include "transfer/importer.h"

using namespace shelvix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto file = fuzz::workDir() / "IMPORT.TXT";
    fuzz::writeFile(file, {data, size});
    transfer::DelimitedReader reader(file);
    if (reader.scanFirstLine() != transfer::FirstLine::Ok)
        return 0;
    const int count = reader.fieldCount();
    const auto map = transfer::fieldMapFromRows(transfer::initialImportRows(count), count);
    db::Table& table = fuzz::bookTarget();
    db::DisplayFormats formats;
    formats.setDateFormat(size % 12 + 1);
    transfer::Importer importer(table, formats);
    transfer::ImportStats stats;
    importer.run(reader, map, size & 1, stats);
    (void)transfer::importWarning(stats);
    fuzz::requireWhole(table, "a text import");
    return 0;
}
