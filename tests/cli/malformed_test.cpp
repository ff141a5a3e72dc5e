// Damaged and hostile files of every kind the tool reads, fed to every
// command that reads them: each ends in a clear one-line message or works,
// never crashes or hangs, and changes no byte unless the command itself is
// a change that succeeded on a table that then checks whole.

#include "support/malformed.h"
#include "support/tempdir.h"
#include "support/tool.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>

using shelvix::test::MalformedCase;
using shelvix::test::malformedCases;
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
    void feed(const MalformedCase& c) {
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
            "reindex data/BOOKS.DBF",
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

TEST_F(Malformed, EveryCommandEndsInOneLineAndWritesNothingItShouldNot) {
    for (const MalformedCase& c : malformedCases())
        feed(c);
}

} // namespace
