// What `repair` and the commands that rebuild an index make of an index that
// cannot be read, and of the temporary files that stopped work leaves.

#include "db/engine/replacingfile.h"
#include "support/tempdir.h"
#include "support/tool.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <sys/stat.h>

using shelvix::test::readFile;
using shelvix::test::runTool;
using shelvix::test::TempDir;
using shelvix::test::writeFile;
using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

namespace {

// The tags `info` lists, by name.
std::vector<std::string> tagsOf(const TempDir& dir) {
    const auto info = runTool(dir, "info BOOKS.DBF");
    std::vector<std::string> out;
    const std::size_t at = info.out.find("tags: ");
    std::istringstream in(info.out.substr(at == std::string::npos ? info.out.size() : at));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line))
        if (line.rfind("  ", 0) == 0)
            out.push_back(line.substr(2, line.find(' ', 2) - 2));
    return out;
}

// 2000 books with three tags, and the catalogue's settings sorting by title.
class IndexRecovery : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        base = new TempDir;
        ASSERT_EQ(runTool(*base, "generate 2000 BOOKS.DBF --seed 3").status, 0);
        for (const char* tag : {"--tag AUTHOR --expr 'UPPER(AUTHOR)'",
                                "--tag TITLE --expr 'UPPER(TITLE)'", "--tag YEAR --expr YEARPUB"})
            ASSERT_EQ(runTool(*base, std::string("index BOOKS.DBF ") + tag).status, 0);
        writeFile(*base / "BOOKS.INI", "[Sort Order]\r\nPrimary Sort=1\r\n");
    }
    static void TearDownTestSuite() { delete base; }

    // A fresh copy, its index spoiled by `spoil`.
    void copy(const std::function<void(const fs::path&)>& spoil) {
        for (const char* f : {"BOOKS.DBF", "BOOKS.MDX", "BOOKS.INI"})
            fs::copy_file(*base / f, dir / f, fs::copy_options::overwrite_existing);
        spoil(dir / "BOOKS.MDX");
    }
    // Every tag is either there again or named as lost; the records are all
    // there and the table checks whole.
    void expectRecovered(const shelvix::test::ToolResult& r, const std::string& what,
                         int records = 2000) {
        SCOPED_TRACE(what);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string said = r.out + r.err;
        EXPECT_THAT(said, HasSubstr("repaired: The index ./BOOKS.MDX is damaged"));
        const auto tags = tagsOf(dir);
        for (const char* tag : {"AUTHOR", "TITLE", "YEAR"}) {
            const bool kept = std::find(tags.begin(), tags.end(), tag) != tags.end();
            const std::size_t lost = said.find("Lost: ");
            const bool named =
                lost != std::string::npos && said.find(tag, lost) != std::string::npos;
            const bool fallback = std::find(tags.begin(), tags.end(), "NewIndex") != tags.end();
            EXPECT_TRUE(kept || named || fallback) << tag << " neither rebuilt nor named lost:\n"
                                                   << said;
        }
        EXPECT_FALSE(tags.empty()) << said;
        const auto check = runTool(dir, "check BOOKS.DBF");
        EXPECT_EQ(check.status, 0) << check.out << check.err;
        EXPECT_THAT(runTool(dir, "info BOOKS.DBF").out,
                    HasSubstr("records: " + std::to_string(records) + "\n"));
    }

    static TempDir* base;
    TempDir dir;
};

TempDir* IndexRecovery::base = nullptr;

TEST_F(IndexRecovery, AnIndexCutAtAnyOffsetIsRebuiltFromWhatStillReads) {
    const std::uint64_t size = fs::file_size(*base / "BOOKS.MDX");
    for (std::uint64_t cut :
         {std::uint64_t{1}, std::uint64_t{545}, std::uint64_t{1100}, std::uint64_t{2047},
          std::uint64_t{2049}, std::uint64_t{3001}, size / 3 + 7, size / 2 + 1, size - 1}) {
        copy([&](const fs::path& mdx) { fs::resize_file(mdx, cut); });
        expectRecovered(runTool(dir, "repair BOOKS.DBF"), "cut at " + std::to_string(cut));
    }
    // A cut that leaves every tag's definition: all of them come back.
    copy([&](const fs::path& mdx) { fs::resize_file(mdx, size - 1); });
    const auto r = runTool(dir, "repair BOOKS.DBF");
    EXPECT_THAT(r.out, HasSubstr("tags AUTHOR, TITLE and YEAR."));
    EXPECT_THAT(r.out, Not(HasSubstr("Lost")));
}

TEST_F(IndexRecovery, AHeaderOfJunkFallsBackToTheSortTagOfTheSettings) {
    std::mt19937 random(7);
    const auto junk = [&](std::size_t from, std::size_t to) {
        return [&random, from, to](const fs::path& mdx) {
            std::string bytes = readFile(mdx);
            for (std::size_t i = from; i < to; ++i)
                bytes[i] = char(random());
            writeFile(mdx, bytes);
        };
    };
    // Nothing of the tag list reads: the catalogue's sort order, by title.
    copy(junk(0, 2048));
    auto r = runTool(dir, "repair BOOKS.DBF");
    expectRecovered(r, "all junk");
    EXPECT_THAT(r.out, HasSubstr("it was built again with the sort tag NewIndex"));
    EXPECT_THAT(runTool(dir, "info BOOKS.DBF").out,
                HasSubstr("NewIndex C(80) Upper(Left(Title,80))"));

    // The fixed part is junk, the tag list is whole: each tag is rebuilt.
    copy(junk(0, 544));
    r = runTool(dir, "repair BOOKS.DBF");
    expectRecovered(r, "fixed part junk");
    EXPECT_EQ(tagsOf(dir), (std::vector<std::string>{"AUTHOR", "TITLE", "YEAR"}));

    // The commands that rebuild anyway work on it, and say what they did;
    // a backup copies the table without reading the index.
    for (const char* command : {"reindex BOOKS.DBF", "pack BOOKS.DBF",
                                "index BOOKS.DBF --tag PUB --expr 'UPPER(PUBLISHER)'"}) {
        copy(junk(0, 2048));
        const std::string before = runTool(*base, "info BOOKS.DBF").out;
        const bool packs = std::string(command).rfind("pack", 0) == 0;
        const int deleted = std::stoi(before.substr(before.find("deleted: ") + 9));
        r = runTool(dir, command);
        expectRecovered(r, command, packs ? 2000 - deleted : 2000);
    }
    copy(junk(0, 2048));
    fs::create_directories(dir / "saved");
    r = runTool(dir, "backup BOOKS.DBF saved");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir / "saved/BOOKS.DBF"), readFile(dir / "BOOKS.DBF"));
}

// A table mailed without its index: the commands that only read take its
// records as they are and say how to build the index again, without a byte
// of the table changed; check names the loss, repair builds the index.
TEST_F(IndexRecovery, ATableWithoutItsIndexIsReadAndRepaired) {
    copy([](const fs::path& mdx) { fs::remove(mdx); });
    const std::string table = readFile(dir / "BOOKS.DBF");
    const auto info = runTool(*base, "info BOOKS.DBF").out;
    const std::size_t at = info.find("records: ");
    const std::string records = info.substr(at, info.find('\n', at) - at + 1);
    for (const char* command :
         {"info BOOKS.DBF", "dump BOOKS.DBF", "search BOOKS.DBF --level 'YearPub > 0' --count",
          "export BOOKS.DBF out.txt", "duplicates BOOKS.DBF", "isbn BOOKS.DBF"}) {
        SCOPED_TRACE(command);
        const auto r = runTool(dir, command);
        EXPECT_NE(r.status, 2) << r.err;
        EXPECT_THAT(r.err, HasSubstr("BOOKS.MDX of table BOOKS.DBF is missing; the records are "
                                     "read without it ('shelvix-tool repair BOOKS.DBF'"));
    }
    EXPECT_THAT(runTool(dir, "info BOOKS.DBF").out, HasSubstr(records));
    const std::string exported = readFile(dir / "out.txt");
    const int deleted = std::stoi(info.substr(info.find("deleted: ") + 9));
    // The records that are not deleted, after the line of names.
    EXPECT_EQ(std::count(exported.begin(), exported.end(), '\n'), 2000 - deleted + 1);
    EXPECT_EQ(readFile(dir / "BOOKS.DBF"), table);
    EXPECT_FALSE(fs::exists(dir / "BOOKS.MDX"));

    const auto check = runTool(dir, "check BOOKS.DBF");
    EXPECT_EQ(check.status, 1);
    EXPECT_THAT(check.err, HasSubstr("BOOKS.MDX of table BOOKS.DBF is missing"));
    const auto r = runTool(dir, "repair BOOKS.DBF");
    EXPECT_THAT(r.out, HasSubstr("None of its tags could be read: it was built again with the "
                                 "sort tag NewIndex"));
    EXPECT_EQ(runTool(dir, "check BOOKS.DBF").status, 0);
}

// Temporary files left by work that was killed go; those a live process
// holds, links, pipes and another catalogue's stay.
TEST(Leftovers, RepairRemovesOnlyTheTemporariesNoLiveProcessHolds) {
    TempDir dir;
    ASSERT_EQ(runTool(dir, "generate 50 BOOKS.DBF --seed 1").status, 0);
    writeFile(dir / ".BOOKS.DBF.a1B2c3.tmp", std::string(68000, 'x'));
    writeFile(dir / ".BOOKS.mdx.Zz9Yy8.tmp", "partial index");
    writeFile(dir / ".BOOKS.003.q1w2e3.tmp", "half a list");
    writeFile(dir / ".OTHER.DBF.a1B2c3.tmp", "another catalogue's");
    writeFile(dir / "victim", "someone else's");
    fs::create_symlink(dir / "victim", dir / ".BOOKS.INI.l1n2k3.tmp");
    ASSERT_EQ(::mkfifo((dir / ".BOOKS.002.p1p2p3.tmp").c_str(), 0600), 0);
    shelvix::db::ReplacingFile live(dir / "BOOKS.INI");
    live.append("being written", 13);

    const auto r = runTool(dir, "repair BOOKS.DBF", 60);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("repaired: The temporary file .BOOKS.DBF.a1B2c3.tmp (66.4 KB) "
                                 "that work left when it was stopped was removed."));
    EXPECT_THAT(r.out, HasSubstr(".BOOKS.mdx.Zz9Yy8.tmp (13 bytes)"));
    EXPECT_THAT(r.out, HasSubstr(".BOOKS.003.q1w2e3.tmp"));
    EXPECT_THAT(r.out, Not(HasSubstr("nothing to repair")));
    for (const char* gone :
         {".BOOKS.DBF.a1B2c3.tmp", ".BOOKS.mdx.Zz9Yy8.tmp", ".BOOKS.003.q1w2e3.tmp"})
        EXPECT_FALSE(fs::exists(dir / gone)) << gone;
    for (const char* kept :
         {".OTHER.DBF.a1B2c3.tmp", ".BOOKS.INI.l1n2k3.tmp", ".BOOKS.002.p1p2p3.tmp"})
        EXPECT_TRUE(fs::exists(fs::symlink_status(dir / kept))) << kept;
    EXPECT_EQ(readFile(dir / "victim"), "someone else's");
    EXPECT_TRUE(fs::exists(live.tempPath()));
    live.commit();
    EXPECT_EQ(readFile(dir / "BOOKS.INI"), "being written");

    EXPECT_THAT(runTool(dir, "repair BOOKS.DBF").out, HasSubstr("nothing to repair"));
}

} // namespace
