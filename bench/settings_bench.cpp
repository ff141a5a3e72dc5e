// Reading and writing a database's settings file (about 250 keys): one load
// and one atomic save per operation.
#include "app/settings.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

using shelvix::app::DatabaseSettings;

namespace {

struct TempFile {
    std::filesystem::path dir;
    QString ini;
    TempFile() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "shelvix-bench-XXXXXX").string();
        dir = mkdtemp(pattern.data());
        ini = QString::fromStdString((dir / "BOOKS.INI").string());
        DatabaseSettings().save(ini);
    }
    ~TempFile() { std::filesystem::remove_all(dir); }
};

void BM_ReadDatabaseSettings(benchmark::State& state) {
    TempFile f;
    for (auto _ : state)
        benchmark::DoNotOptimize(DatabaseSettings::load(f.ini, QString()));
}
BENCHMARK(BM_ReadDatabaseSettings);

void BM_WriteDatabaseSettings(benchmark::State& state) {
    TempFile f;
    DatabaseSettings s;
    s.sortOrder = {4, 1, 0, 0};
    for (auto _ : state)
        benchmark::DoNotOptimize(s.save(f.ini));
}
BENCHMARK(BM_WriteDatabaseSettings);

} // namespace

BENCHMARK_MAIN();
