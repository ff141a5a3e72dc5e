// Finding a book twice on a large catalogue: the duplicates command's two
// groupings and the import's reading of every ISBN beside one plain pass over
// the table, and the edit form's question before an add, by scan and through
// a tag on ISBN. SHELVIX_DUP_BOOKS generated books (default 1,000,000) are
// made once into build/bench-dup-data, with a tag BYISBN on the ISBN field.

#include "db/bookgen.h"
#include "db/booktable.h"
#include "db/duplicates.h"
#include "db/engine/table.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <vector>

namespace fs = std::filesystem;
using namespace shelvix;

namespace {

std::uint64_t bookCount() {
    const char* n = std::getenv("SHELVIX_DUP_BOOKS");
    return n ? std::strtoull(n, nullptr, 10) : 1000000;
}

fs::path tablePath() {
    static const fs::path path = [] {
        const fs::path dir = fs::absolute(fs::path("build") / "bench-dup-data");
        const std::uint64_t n = bookCount();
        const fs::path mark = dir / ("N" + std::to_string(n));
        const fs::path table = dir / "BOOKS.DBF";
        if (!fs::exists(mark)) {
            fs::remove_all(dir);
            fs::create_directories(dir);
            db::createBookTable(table);
            auto t = db::Table::open(table, db::OpenMode::Exclusive);
            db::appendGeneratedBooks(*t, n, 11);
            t->addTag("BYISBN", "ISBN");
            if (std::FILE* f = std::fopen(mark.c_str(), "w"))
                std::fclose(f);
        }
        return table;
    }();
    return path;
}

std::unique_ptr<db::Table> openShared() {
    return db::Table::open(tablePath(), db::OpenMode::Shared);
}

// What one pass costs that reads the fields a grouping reads, deleted
// records left out, as a search on them does: the yardstick of the others.
void onePass(benchmark::State& state, std::initializer_list<const char*> fields) {
    auto t = openShared();
    std::vector<int> indexes;
    for (const char* f : fields)
        indexes.push_back(t->fieldIndex(f));
    for (auto _ : state) {
        std::uint64_t chars = 0;
        t->scanRecords([&](const db::RecordView& r) {
            if (r.deleted())
                return false;
            for (int f : indexes)
                chars += r.text(f).size();
            return false;
        });
        benchmark::DoNotOptimize(chars);
    }
}
void BM_OnePassIsbn(benchmark::State& state) {
    onePass(state, {"ISBN"});
}
void BM_OnePassTitleAuthor(benchmark::State& state) {
    onePass(state, {"TITLE", "AUTHOR"});
}
BENCHMARK(BM_OnePassIsbn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OnePassTitleAuthor)->Unit(benchmark::kMillisecond);

void BM_DuplicatesByIsbn(benchmark::State& state) {
    auto t = openShared();
    std::size_t groups = 0;
    for (auto _ : state)
        groups = db::duplicateGroups(*t, db::DuplicatesBy::Isbn).size();
    state.counters["groups"] = double(groups);
}
BENCHMARK(BM_DuplicatesByIsbn)->Unit(benchmark::kMillisecond);

void BM_DuplicatesByTitleAuthor(benchmark::State& state) {
    auto t = openShared();
    std::size_t groups = 0;
    for (auto _ : state)
        groups = db::duplicateGroups(*t, db::DuplicatesBy::TitleAuthor).size();
    state.counters["groups"] = double(groups);
}
BENCHMARK(BM_DuplicatesByTitleAuthor)->Unit(benchmark::kMillisecond);

// What an import reads before its first record when ISBNs come in.
void BM_ImportIsbnKeys(benchmark::State& state) {
    auto t = openShared();
    for (auto _ : state)
        benchmark::DoNotOptimize(db::isbnNumbers(*t).size());
}
BENCHMARK(BM_ImportIsbnKeys)->Unit(benchmark::kMillisecond);

// The edit form's question for an ISBN the catalogue does not hold (the
// whole search), as 13 digits and as a hyphenated ISBN-10.
void findAbsent(benchmark::State& state, bool withTag) {
    auto t = openShared();
    if (!withTag)
        t->deleteTag("BYISBN");
    for (auto _ : state) {
        benchmark::DoNotOptimize(db::findSameIsbn(*t, "9780306406157"));
        benchmark::DoNotOptimize(db::findSameIsbn(*t, "0-8044-2957-X"));
    }
    if (!withTag)
        t->addTag("BYISBN", "ISBN");
}
void BM_AddQuestionByScan(benchmark::State& state) {
    findAbsent(state, false);
}
void BM_AddQuestionThroughTag(benchmark::State& state) {
    findAbsent(state, true);
}
BENCHMARK(BM_AddQuestionByScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddQuestionThroughTag)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
