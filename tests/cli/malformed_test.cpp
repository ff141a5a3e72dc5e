// Damaged and hostile files of every kind the tool reads, fed to every
// command that reads them: each ends in a clear one-line message or works,
// never crashes or hangs, and changes no byte unless the command itself is
// a change that succeeded on a table that then checks whole.

#include "support/tempdir.h"
#include "support/tool.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>

using shelvix::test::readFile;
using shelvix::test::runTool;
using shelvix::test::TempDir;
using shelvix::test::writeFile;

namespace {

using Files = std::map<std::string, std::string>;

Files snapshot(const std::filesystem::path& dir) {
    Files out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.is_regular_file())
            out[e.path().filename().string()] = readFile(e.path());
    return out;
}

// The names of the files that differ, or "".
std::string changed(const Files& before, const Files& after) {
    std::string names;
    for (const auto& [name, bytes] : after) {
        const auto it = before.find(name);
        if (it == before.end() || it->second != bytes)
            names += name + " ";
    }
    for (const auto& [name, bytes] : before)
        if (!after.count(name))
            names += name + " (gone) ";
    return names;
}

void put32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + std::size_t(i)] = char((v >> (8 * i)) & 0xFF);
}
std::uint32_t get32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | std::uint8_t(b[at + std::size_t(i)]);
    return v;
}

struct Case {
    const char* name;
    std::function<void(const std::filesystem::path& data)> spoil;
};

// A catalogue of 3000 books with an index tag on the author, and what the
// commands read besides: report definitions, settings, an import source.
class Malformed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        base = new TempDir;
        const auto data = *base / "data";
        std::filesystem::create_directories(data);
        ASSERT_EQ(runTool(*base, "generate 3000 data/BOOKS.DBF --seed 2").status, 0);
        ASSERT_EQ(runTool(*base, "index data/BOOKS.DBF --tag AUTHOR --expr 'UPPER(AUTHOR)'").status,
                  0);
        ASSERT_EQ(runTool(*base, "export data/BOOKS.DBF data/SOURCE.TXT").status, 0);
    }
    static void TearDownTestSuite() {
        delete base;
        base = nullptr;
    }

    // Every command on a fresh copy spoiled by `c`.
    void feed(const Case& c) {
        static const char* const reading[] = {
            "check data/BOOKS.DBF",
            "info data/BOOKS.DBF",
            "dump data/BOOKS.DBF --tag AUTHOR",
            "search data/BOOKS.DBF --level 'Title contains a' --count",
            "export data/BOOKS.DBF out.txt",
            "report data/BOOKS.DBF --name 'Full Report' --text report.txt "
            "--definitions data/SHVBOOK.URP",
            "backup data/BOOKS.DBF saved",
            "restore data/BOOKS.DBF restored",
        };
        static const char* const changing[] = {
            "import data/BOOKS.DBF data/SOURCE.TXT --skip-first",
            "replace data/BOOKS.DBF --field Author --find x --with y",
            "pack data/BOOKS.DBF",
        };
        auto run = [&](const char* command, bool changes) {
            SCOPED_TRACE(std::string(c.name) + ": " + command);
            TempDir dir;
            std::filesystem::copy(*base / "data", dir / "data");
            std::filesystem::create_directories(dir / "saved");
            std::filesystem::create_directories(dir / "restored");
            c.spoil(dir / "data");
            const Files before = snapshot(dir / "data");
            const auto r = runTool(dir, command, 120);
            ASSERT_TRUE(r.status == 0 || r.status == 1)
                << "status " << r.status << " (crash or hang)\n"
                << r.err;
            if (r.status == 1) {
                ASSERT_FALSE(r.err.empty());
                EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "not one line:\n" << r.err;
            }
            const std::string differ = changed(before, snapshot(dir / "data"));
            if (!changes || r.status != 0) {
                EXPECT_EQ(differ, "") << r.out << r.err;
            } else if (!differ.empty()) {
                const auto check = runTool(dir, "check data/BOOKS.DBF", 120);
                EXPECT_EQ(check.status, 0) << "a change left damage: " << check.out << check.err;
            }
        };
        for (const char* command : reading)
            run(command, false);
        for (const char* command : changing)
            run(command, true);
    }

    static TempDir* base;
};

TempDir* Malformed::base = nullptr;

const Case kCases[] = {
    {"header cut inside its descriptors",
     [](const auto& d) { writeFile(d / "BOOKS.DBF", readFile(d / "BOOKS.DBF").substr(0, 200)); }},
    {"header cut before its first descriptor",
     [](const auto& d) { writeFile(d / "BOOKS.DBF", readFile(d / "BOOKS.DBF").substr(0, 20)); }},
    {"a record count far past the end",
     [](const auto& d) {
         std::string b = readFile(d / "BOOKS.DBF");
         put32(b, 4, 0x7FFFFFF0);
         writeFile(d / "BOOKS.DBF", b);
     }},
    {"a header length past the end",
     [](const auto& d) {
         std::string b = readFile(d / "BOOKS.DBF");
         b[8] = char(0xFF);
         b[9] = char(0xFF);
         writeFile(d / "BOOKS.DBF", b);
     }},
    {"field descriptors past the header length",
     [](const auto& d) {
         std::string b = readFile(d / "BOOKS.DBF");
         b[8] = char(32 + 32 * 3 + 1); // three fields' room; 36 descriptors follow
         b[9] = 0;
         writeFile(d / "BOOKS.DBF", b);
     }},
    {"a record length that is not the fields' sum",
     [](const auto& d) {
         std::string b = readFile(d / "BOOKS.DBF");
         b[10] = char(std::uint8_t(b[10]) + 7);
         writeFile(d / "BOOKS.DBF", b);
     }},
    {"an index root page out of range",
     [](const auto& d) {
         std::string b = readFile(d / "BOOKS.MDX");
         const std::uint32_t tagHeader = get32(b, 544);
         put32(b, std::size_t(tagHeader) * 512, 0x00FFFFFF);
         writeFile(d / "BOOKS.MDX", b);
     }},
    {"an index node that is its own child",
     [](const auto& d) {
         std::string b = readFile(d / "BOOKS.MDX");
         const std::uint32_t tagHeader = get32(b, 544);
         const std::uint32_t root = get32(b, std::size_t(tagHeader) * 512);
         put32(b, std::size_t(root) * 512 + 8, root);
         writeFile(d / "BOOKS.MDX", b);
     }},
    {"settings of binary junk",
     [](const auto& d) {
         std::string junk;
         for (int i = 0; i < 5000; ++i)
             junk += char((i * 7919) & 0xFF);
         writeFile(d / "BOOKS.INI", junk);
     }},
    {"report definitions of the wrong length",
     [](const auto& d) { writeFile(d / "SHVBOOK.URP", std::string(20622 * 2 + 5, 'A')); }},
    {"an import source with NUL bytes and a 10 MB line",
     [](const auto& d) {
         std::string text = "\"Title\",\"Author\"\r\n\"A\0B\",\"C\0\"\r\n";
         text.append(std::size_t(10) << 20, 'x');
         text += "\r\n\"last\",\"line\"\r\n";
         writeFile(d / "SOURCE.TXT", text);
     }},
};

TEST_F(Malformed, EveryCommandEndsInOneLineAndWritesNothingItShouldNot) {
    for (const Case& c : kCases)
        feed(c);
}

} // namespace
