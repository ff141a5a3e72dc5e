#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace shelvix::db {

class Table;

// Synthetic books for benchmarks, tests and `shelvix-tool generate`: authors
// that repeat with a long tail, titles, years, dates, money, empty fields,
// Windows-1252 accents and a few deleted records. The same seed always gives
// the same books.
class BookGenerator {
public:
    explicit BookGenerator(std::uint64_t seed);

    struct Book {
        // (internal field name, value as the engine takes it: Windows-1252
        // text, decimal text for numbers, YYYYMMDD for dates). Fields left
        // out stay empty.
        std::vector<std::pair<const char*, std::string>> values;
        bool deleted = false;
    };

    void next(Book& book);

private:
    std::uint64_t nextRandom();
    std::uint64_t below(std::uint64_t n) { return nextRandom() % n; }
    bool chance(int percent) { return below(100) < static_cast<std::uint64_t>(percent); }
    std::string author();
    std::string title();
    std::string date(int fromYear, int toYear);
    std::string money(int maxWhole);

    std::uint64_t state_;
    std::uint64_t serial_ = 0;
};

// Appends `count` generated books to an open table, deleting the ones the
// generator marks deleted; the table's controls stay disabled meanwhile.
void appendGeneratedBooks(Table& table, std::uint64_t count, std::uint64_t seed);

} // namespace shelvix::db
