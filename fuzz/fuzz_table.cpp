// Opens a table and its production index made of arbitrary bytes and reads
// everything through them. Any crash, hang, leak or sanitizer report is a bug:
// damaged files must end in a DatabaseError.
//
// Input: 4 bytes little-endian length L, then L bytes of .DBF, then the .MDX.

#include "db/engine/error.h"
#include "db/engine/table.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace shelvix::db;

namespace {

const fs::path& workDir() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("shelvix-fuzz-" + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

void write(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void exercise(Table& table) {
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
    (void)table.check();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    std::uint32_t dbfSize = data[0] | data[1] << 8 | data[2] << 16 | std::uint32_t(data[3]) << 24;
    data += 4;
    size -= 4;
    if (dbfSize > size)
        dbfSize = static_cast<std::uint32_t>(size);
    const fs::path dbf = workDir() / "FUZZ.DBF";
    const fs::path mdx = workDir() / "FUZZ.MDX";
    write(dbf, data, dbfSize);
    if (size > dbfSize)
        write(mdx, data + dbfSize, size - dbfSize);
    else
        fs::remove(mdx);
    try {
        auto table = Table::open(dbf, OpenMode::ReadOnly);
        exercise(*table);
    } catch (const DatabaseError&) {
    }
    return 0;
}
