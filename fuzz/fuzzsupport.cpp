#include "fuzzsupport.h"

#include "db/booktable.h"
#include "db/engine/table.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace shelvix::fuzz {

const fs::path& workDir() {
    static const fs::path dir = [] {
        const fs::path base =
            fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path d = base / ("shelvix-fuzz-" + std::to_string(getpid()));
        fs::create_directories(d);
        // Registered before any table is opened, so it runs after they close.
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(workDir(), ignored);
        });
        return d;
    }();
    return dir;
}

void writeFile(const fs::path& path, Bytes bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TwoFiles splitTwo(Bytes input) {
    if (input.size() < 4)
        return {input.subspan(0, 0), input.subspan(0, 0)};
    std::uint32_t n = input[0] | input[1] << 8 | input[2] << 16 | std::uint32_t(input[3]) << 24;
    const Bytes rest = input.subspan(4);
    if (n > rest.size())
        n = std::uint32_t(rest.size());
    return {rest.subspan(0, n), rest.subspan(n)};
}

void fail(const std::string& what) {
    std::fprintf(stderr, "FUZZ FINDING: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void requireWhole(db::Table& table, const char* after) {
    const auto problems = table.check();
    if (!problems.empty())
        fail(std::string("the target table is damaged after ") + after + ": " + problems.front());
}

db::Table& bookTarget() {
    static std::unique_ptr<db::Table> table;
    const fs::path path = workDir() / "TARGET.DBF";
    if (table && table->recordCount() > 200)
        table.reset();
    if (!table) {
        fs::remove(path);
        fs::remove(workDir() / "TARGET.MDX");
        db::createBookTable(path);
        table = db::Table::open(path, db::OpenMode::Exclusive);
    }
    return *table;
}

} // namespace shelvix::fuzz
