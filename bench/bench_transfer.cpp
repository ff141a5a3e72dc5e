// Export to delimited text and import of that file, ours beside the sqlite3
// shell's `-csv` output and `.import` on the same books. Needs
// SHELVIX_BENCH_DIR with BOOKS.DBF and BOOKS.sqlite; bench/compare-sqlite.sh
// prepares both and prints the ratios.

#include "db/booktable.h"
#include "db/displayformats.h"
#include "db/engine/table.h"
#include "db/fieldtable.h"
#include "transfer/delimited.h"
#include "transfer/exporter.h"
#include "transfer/importer.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace shelvix;

namespace {

fs::path benchDir() {
    const char* dir = std::getenv("SHELVIX_BENCH_DIR");
    if (!dir)
        throw std::runtime_error("set SHELVIX_BENCH_DIR (see bench/compare-sqlite.sh)");
    return dir;
}

std::size_t heapInUse() {
    struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// The 36 book columns as the SQLite table names them.
std::string sqliteColumns() {
    std::string cols;
    for (const auto& f : db::fieldTable()) {
        if (!cols.empty())
            cols += ',';
        std::string name = f.name;
        for (char& c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        cols += name;
    }
    return cols;
}

void shell(const std::string& command) {
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("failed: " + command);
}

const fs::path& exportedText() {
    static const fs::path path = benchDir() / "EXPORT.TXT";
    return path;
}

std::uint64_t exportAll(std::size_t* peak) {
    db::DisplayFormats formats;
    transfer::Exporter exporter(formats);
    transfer::ExportRequest request;
    request.target = exportedText();
    for (int f = 1; f <= db::kFieldCount; ++f)
        request.fields.push_back(f);
    request.labels = app::DatabaseSettings().fieldNames;
    const std::size_t before = heapInUse();
    auto table = db::Table::open(benchDir() / "BOOKS.DBF", db::OpenMode::Shared);
    std::uint64_t n = 0;
    exporter.run(table, request, nullptr, [&](std::uint64_t done, std::uint64_t) {
        if (peak && (done & 0xFFF) == 0)
            *peak = std::max(*peak, heapInUse() - before);
        n = done;
        return true;
    });
    return n;
}

// Each run starts with nothing left for the disk to write from the run
// before, so neither side pays for the other's files.
void settle(benchmark::State& state) {
    state.PauseTiming();
    ::sync();
    state.ResumeTiming();
}

void BM_Ours_ExportDelimited(benchmark::State& state) {
    std::size_t peak = 0;
    for (auto _ : state) {
        settle(state);
        state.counters["records"] = double(exportAll(&peak));
    }
    state.counters["peak_heap_MB"] = double(peak) / (1024.0 * 1024.0);
}
BENCHMARK(BM_Ours_ExportDelimited)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Sqlite_ExportCsv(benchmark::State& state) {
    const std::string command = "sqlite3 -csv -header '" + (benchDir() / "BOOKS.sqlite").string() +
                                "' 'SELECT " + sqliteColumns() + " FROM books' > '" +
                                (benchDir() / "sqlite-export.csv").string() + "'";
    for (auto _ : state) {
        settle(state);
        shell(command);
    }
}
BENCHMARK(BM_Sqlite_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Ours_ImportDelimited(benchmark::State& state) {
    if (!fs::exists(exportedText()))
        exportAll(nullptr);
    const fs::path target = benchDir() / "IMPORTED.DBF";
    db::DisplayFormats formats;
    std::size_t peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        db::createBookTable(target);
        ::sync();
        state.ResumeTiming();
        const std::size_t before = heapInUse();
        transfer::DelimitedReader reader(exportedText());
        reader.scanFirstLine();
        auto table = transfer::openForImport(target); // as shelvix-tool import does
        transfer::Importer importer(*table, formats);
        transfer::ImportStats stats;
        const auto rows = transfer::initialImportRows(reader.fieldCount());
        importer.run(reader, transfer::fieldMapFromRows(rows, reader.fieldCount()), true, stats,
                     [&](const transfer::ImportStats& s) {
                         if ((s.imported & 0xFFF) == 0)
                             peak = std::max(peak, heapInUse() - before);
                         return true;
                     });
        state.counters["records"] = double(stats.imported);
    }
    state.counters["peak_heap_MB"] = double(peak) / (1024.0 * 1024.0);
}
BENCHMARK(BM_Ours_ImportDelimited)->Unit(benchmark::kMillisecond)->Iterations(2);

// Into a new database with SQLite's defaults: rollback journal,
// synchronous=FULL, the whole .import one transaction.
void BM_Sqlite_ImportCsv(benchmark::State& state) {
    if (!fs::exists(exportedText()))
        exportAll(nullptr);
    const fs::path db = benchDir() / "imported.sqlite";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(db);
        shell("sqlite3 '" + db.string() + "' 'CREATE TABLE books(" + sqliteColumns() + ")'");
        ::sync();
        state.ResumeTiming();
        shell("sqlite3 '" + db.string() + "' \".import --csv --skip 1 '" + exportedText().string() +
              "' books\"");
    }
}
BENCHMARK(BM_Sqlite_ImportCsv)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

BENCHMARK_MAIN();
