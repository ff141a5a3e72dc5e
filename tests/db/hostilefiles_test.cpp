// Every reader of settings, data lists, report definitions and import
// sources, handed what is no file of that kind: it refuses at once in one
// line naming the file, never waits on a pipe and never allocates for a
// size far beyond what the format holds.

#include "core/profile.h"
#include "core/wholefile.h"
#include "db/databasefiles.h"
#include "db/datalists.h"
#include "db/engine/error.h"
#include "db/engine/replacingfile.h"
#include "db/engine/table.h"
#include "reports/reportdefinition.h"
#include "support/tempdir.h"
#include "transfer/delimited.h"

#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace shelvix;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

// What a reader said of `path`: its refusal, or "" when it read it.
using Reader = std::function<std::string(const fs::path&)>;

std::string refusalNoted() {
    const auto lines = core::takeRefusals();
    return lines.empty() ? std::string() : lines.front();
}

template <class Error> std::string thrown(const std::function<void()>& read) {
    try {
        read();
    } catch (const Error& e) {
        return e.what();
    }
    return {};
}

const std::vector<std::pair<const char*, Reader>>& readers() {
    static const std::vector<std::pair<const char*, Reader>> all = {
        {"settings",
         [](const fs::path& p) {
             const auto profile = core::Profile::load(p);
             EXPECT_TRUE(profile.unreadable());
             return refusalNoted();
         }},
        {"data list",
         [](const fs::path& p) {
             EXPECT_TRUE(db::LoadList(db::fromPath(p)).isEmpty());
             return refusalNoted();
         }},
        {"report definitions",
         [](const fs::path& p) {
             return thrown<reports::ReportFileError>(
                 [&] { reports::ReportFile(db::fromPath(p)).scan(); });
         }},
        {"earlier report definitions",
         [](const fs::path& p) {
             const reports::ReportFile into(db::fromPath(p.parent_path() / "SHVBOOK.URP"));
             EXPECT_EQ(reports::ConvertOldReportFile(db::fromPath(p), into), 0);
             EXPECT_TRUE(fs::exists(fs::symlink_status(p))) << "the earlier file stays";
             return refusalNoted();
         }},
        {"delimited import source",
         [](const fs::path& p) {
             return thrown<transfer::TransferError>([&] { transfer::DelimitedReader r(p); });
         }},
        {"dBASE import source",
         [](const fs::path& p) {
             return thrown<db::DatabaseError>([&] { db::Table::openSource(p); });
         }},
    };
    return all;
}

TEST(HostileFiles, EveryReaderRefusesAPipeADeviceAndAFolderInOneLine) {
    test::TempDir dir;
    const auto fifo = dir / "PIPE.LST";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto zero = dir / "ZERO.URP";
    fs::create_symlink("/dev/zero", zero);
    const auto folder = dir / "FOLDER.INI";
    fs::create_directories(folder);
    for (const auto& [what, read] : readers())
        for (const auto& [path, kind] : {std::pair{fifo, "a pipe"}, std::pair{zero, "a device"},
                                         std::pair{folder, "a folder"}}) {
            SCOPED_TRACE(std::string(what) + " from " + kind);
            const std::string said = read(path);
            EXPECT_THAT(said, HasSubstr(path.string()));
            EXPECT_THAT(said, HasSubstr("not an ordinary file"));
            EXPECT_EQ(said.find('\n'), std::string::npos) << said;
        }
    EXPECT_TRUE(core::takeRefusals().empty());

    // Nor is any of them replaced by a save: a list behind a link to a
    // device stays that link.
    const auto list = dir / "BOOKS.004";
    fs::create_symlink("/dev/zero", list);
    EXPECT_FALSE(db::SaveList(db::fromPath(list), {QStringLiteral("Crime")}));
    EXPECT_TRUE(fs::is_symlink(list));
    EXPECT_FALSE(db::SaveList(db::fromPath(fifo), {QStringLiteral("Crime")}));
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(HostileFiles, FilesReadWholeRefuseASizeFarBeyondTheirFormat) {
    test::TempDir dir;
    // Sparse: two gigabytes that take no room until someone reads them.
    const auto huge = dir / "HUGE";
    test::writeFile(huge, "[Misc]\r\n");
    fs::resize_file(huge, std::uint64_t{2} << 30);
    for (const auto& [what, read] : readers()) {
        if (std::string(what).find("import") != std::string::npos)
            continue; // streamed, never held whole
        SCOPED_TRACE(what);
        const std::string said = read(huge);
        EXPECT_THAT(said, HasSubstr(huge.string() + " holds 2.0 GB, far more than a "));
        EXPECT_THAT(said, HasSubstr("at most), and was not read"));
    }
    // A list refused for its size is not replaced by the nothing read of it.
    EXPECT_FALSE(db::SaveList(db::fromPath(huge), {QStringLiteral("Crime")}));
    EXPECT_EQ(fs::file_size(huge), std::uint64_t{2} << 30);
    std::string head(8, '\0');
    std::ifstream(huge, std::ios::binary).read(head.data(), 8);
    EXPECT_EQ(head, "[Misc]\r\n");
    core::takeRefusals();
    // Within the limit, the same readers read.
    test::writeFile(dir / "SMALL.INI", "[Misc]\r\nShow Tips=No\r\n");
    EXPECT_EQ(core::Profile::load(dir / "SMALL.INI").readBool("Misc", "Show Tips", true), false);
    EXPECT_TRUE(core::takeRefusals().empty());
}

} // namespace
