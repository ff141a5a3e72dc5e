// Key evaluation speed: one evaluation per record when a tag is built.
#include "db/engine/expr.h"
#include "db/engine/value.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace shelvix::db;

namespace {

RecordLayout bookLayout() {
    return RecordLayout({{"TITLE", 'C', 0, 90, 0},
                         {"AUTHOR", 'C', 0, 90, 0},
                         {"YEARPUB", 'N', 0, 11, 0},
                         {"PURCHDATE", 'D', 0, 8, 0},
                         {"COST", 'N', 0, 20, 4}});
}

// A few thousand varied records, cycled through so the data stays in cache
// the way a table scan's current block does.
std::vector<std::string> makeRecords(const RecordLayout& layout) {
    static const char* const surnames[] = {"Tolkien",
                                           "austen",
                                           "Asimov",
                                           "\xC9lan",
                                           "Zola",
                                           "McDonald",
                                           "O'Brien",
                                           "Garc\xED"
                                           "a",
                                           "M\xFCller",
                                           "Dostoevsky",
                                           "",
                                           "le Guin"};
    std::mt19937 rng(1997);
    std::vector<std::string> records;
    for (int i = 0; i < 4096; ++i) {
        std::string r(static_cast<std::size_t>(layout.recordLength()), ' ');
        auto put = [&](int field, const std::string& text, bool right = false) {
            const FieldLayout& f = layout.fields()[static_cast<std::size_t>(field)];
            std::string cell = text.substr(0, static_cast<std::size_t>(f.length));
            const std::size_t pad = static_cast<std::size_t>(f.length) - cell.size();
            cell = right ? std::string(pad, ' ') + cell : cell + std::string(pad, ' ');
            r.replace(static_cast<std::size_t>(f.offset), cell.size(), cell);
        };
        const std::string author = std::string(surnames[rng() % 12]) + ", " +
                                   std::string(1 + rng() % 12, static_cast<char>('a' + rng() % 26));
        put(0, "The Book of " + std::to_string(rng() % 100000));
        put(1, author);
        if (i % 10 != 0) {
            put(2, std::to_string(1800 + rng() % 226), true);
            put(3, formatDateField(Date{static_cast<int>(1980 + rng() % 45),
                                        static_cast<int>(1 + rng() % 12),
                                        static_cast<int>(1 + rng() % 28)}));
            put(4, formatNumberField((rng() % 1000000) / 100.0, 20, 4, "COST"), true);
        }
        records.push_back(std::move(r));
    }
    return records;
}

void evaluateAll(benchmark::State& state, const char* expression) {
    const RecordLayout layout = bookLayout();
    const std::vector<std::string> records = makeRecords(layout);
    const KeyExpression key = KeyExpression::compile(expression, layout);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(key.keyLength()));
    std::size_t i = 0;
    for (auto _ : state) {
        key.evaluate(reinterpret_cast<const std::uint8_t*>(records[i].data()), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
        i = (i + 1) & (records.size() - 1);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void BM_UpperLeftAuthor(benchmark::State& state) {
    evaluateAll(state, "Upper(Left(Author,80))");
}
void BM_AuthorThenTitle(benchmark::State& state) {
    evaluateAll(state, "Upper(Left(Author,40))+Upper(Left(Title,40))");
}
void BM_YearDateCost(benchmark::State& state) {
    evaluateAll(state, "STR(YearPub,12,0)+DTOS(PurchDate)+STR(Cost,12,2)");
}
void BM_NumericKey(benchmark::State& state) {
    evaluateAll(state, "Cost");
}
void BM_DateKey(benchmark::State& state) {
    evaluateAll(state, "PurchDate");
}

void BM_Compile(benchmark::State& state) {
    const RecordLayout layout = bookLayout();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            KeyExpression::compile("STR(YearPub,12,0)+DTOS(PurchDate)+STR(Cost,12,2)", layout));
    }
}

// The sorting half of building a tag over `range(0)` books. The whole build
// (read the table, write and sync the index) beside SQLite's CREATE INDEX is
// BM_Ours_BuildAuthorTag in bench_catalogue.
void BM_SortKeys(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const RecordLayout layout = bookLayout();
    const KeyExpression key = KeyExpression::compile("Upper(Left(Author,80))", layout);
    const auto width = static_cast<std::size_t>(key.keyLength());
    static const char* const surnames[] = {"Tolkien", "austen",   "Asimov",
                                           "Zola",    "McDonald", "le Guin"};
    std::mt19937 rng(97);
    std::string record(static_cast<std::size_t>(layout.recordLength()), ' ');
    const FieldLayout& author = layout.fields()[1];
    std::vector<std::uint8_t> keys(n * width);
    for (std::size_t i = 0; i < n; ++i) {
        std::string text = std::string(surnames[rng() % 6]) + ", ";
        for (unsigned k = 0, len = 1 + rng() % 12; k < len; ++k) {
            text += "0123456789ABCDEF"[rng() % 16];
        }
        text.resize(static_cast<std::size_t>(author.length), ' ');
        record.replace(static_cast<std::size_t>(author.offset), text.size(), text);
        key.evaluate(reinterpret_cast<const std::uint8_t*>(record.data()), &keys[i * width]);
    }
    std::vector<std::uint32_t> order(n);
    for (auto _ : state) {
        state.PauseTiming();
        for (std::size_t i = 0; i < n; ++i) {
            order[i] = static_cast<std::uint32_t>(i);
        }
        state.ResumeTiming();
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            const int c = compareKeys(key.type(), &keys[a * width], &keys[b * width], width);
            return c < 0 || (c == 0 && a < b);
        });
        benchmark::DoNotOptimize(order.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

} // namespace

BENCHMARK(BM_UpperLeftAuthor);
BENCHMARK(BM_AuthorThenTitle);
BENCHMARK(BM_YearDateCost);
BENCHMARK(BM_NumericKey);
BENCHMARK(BM_DateKey);
BENCHMARK(BM_Compile);
BENCHMARK(BM_SortKeys)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
