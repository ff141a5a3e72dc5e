// shelvix-tool's own command line, through the built tool: every command's
// help, and the same answer for every usage mistake and every failure.
#include "db/booktable.h"
#include "support/tempdir.h"
#include "support/tool.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using shelvix::test::TempDir;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

const std::vector<std::string> kCommands = {"create",  "generate", "info",       "dump",   "search",
                                            "replace", "isbn",     "duplicates", "index",  "check",
                                            "repair",  "pack",     "reindex",    "report", "import",
                                            "export",  "backup",   "restore",    "convert"};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::vector<std::string> filesIn(const TempDir& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
        if (e.path().filename() != "stderr.txt")
            out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(ToolCommandLine, EveryCommandTellsItsOwnUse) {
    TempDir dir;
    const auto list = shelvix::test::runTool(dir, "--help");
    ASSERT_EQ(list.status, 0);
    EXPECT_THAT(list.out, StartsWith("Usage: shelvix-tool COMMAND"));
    for (const std::string& line : lines(list.out))
        EXPECT_LE(line.size(), 79u) << line;
    std::vector<std::string> listed;
    bool inList = false;
    for (const std::string& line : lines(list.out)) {
        if (line.empty())
            inList = false;
        else if (inList && line.size() > 2 && line[2] != ' ')
            listed.push_back(line.substr(2, line.find(' ', 2) - 2));
        inList = inList || line == "Commands:";
    }
    EXPECT_EQ(listed, kCommands);

    for (const std::string& command : kCommands) {
        SCOPED_TRACE(command);
        const auto help = shelvix::test::runTool(dir, command + " x --bogus --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.err, "");
        EXPECT_THAT(help.out, StartsWith("Usage: shelvix-tool " + command + " "));
        EXPECT_THAT(help.out, HasSubstr("  -h, --help"));
        EXPECT_EQ(shelvix::test::runTool(dir, "help " + command).out, help.out);
        EXPECT_EQ(shelvix::test::runTool(dir, command + " -h").out, help.out);
    }
    const auto version = shelvix::test::runTool(dir, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "shelvix-tool (Shelvix Books 97) " SHELVIX_VERSION "\n");
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{});
}

// A mistake is said in one line, the second tells where to look; nothing
// goes to standard output and no file is made or changed.
TEST(ToolCommandLine, EveryUsageMistakeIsOneLineAHintAndStatus2) {
    TempDir dir;
    shelvix::db::createBookTable(dir / "B.DBF");
    const std::string before = shelvix::test::readFile(dir / "B.DBF");
    struct Case {
        std::string args;
        std::string command; // whose help the hint names; empty: the list
        std::string message;
    };
    std::vector<Case> cases = {
        {"", "", "no command given"},
        {"frobnicate B.DBF", "", "unknown command 'frobnicate'"},
        {"help frobnicate", "", "unknown command 'frobnicate'"},
        {"info B.DBF extra", "info", "takes 1 argument (FILE), not 2"},
        {"backup B.DBF", "backup", "takes 2 arguments (FILE DIR), not 1"},
        {"dump B.DBF --tag", "dump", "missing value after '--tag'"},
        {"create B.DBF --force=yes", "create", "unexpected value after '--force'"},
        {"index B.DBF --tag T", "index", "needs --expr EXPR"},
        {"replace B.DBF --field Title --find a", "replace", "needs --with VALUE"},
        {"search B.DBF", "search",
         "needs --level \"FIELD OP VALUE[; ...]\", --saved NAME, --on-loan or --overdue"},
        {"search B.DBF --level 'Nothing = 1'", "search", "no book field Nothing"},
        {"generate many B.DBF", "generate", "N must be a whole number: many"},
        {"export B.DBF out.txt --date-format yyyy", "export",
         "unknown date format yyyy (try m/d/yyyy or dd.mm.yyyy)"},
        {"import B.DBF B.DBF --map Name=Nothing", "import", "no source field Name"},
        {"report B.DBF --name X", "report", "needs one of --text OUT and --pdf OUT"},
    };
    for (const std::string& command : kCommands) {
        cases.push_back({command, command, ""});
        cases.push_back({command + " B.DBF --bogus", command, "unknown option '--bogus'"});
        cases.push_back({command + " -x B.DBF", command, "unknown option '-x'"});
        cases.push_back({command + " B.DBF --no-such=1", command, "unknown option '--no-such'"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = shelvix::test::runTool(dir, c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        const auto said = lines(r.err);
        ASSERT_EQ(said.size(), 2u) << r.err;
        const std::string prefix = "shelvix-tool: " + (c.command.empty() ? "" : c.command + ": ");
        EXPECT_THAT(said[0], StartsWith(prefix));
        if (!c.message.empty()) {
            EXPECT_EQ(said[0], prefix + c.message);
        }
        EXPECT_EQ(said[1],
                  "try 'shelvix-tool " + (c.command.empty() ? "" : c.command + " ") + "--help'");
    }
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{"B.DBF"});
    EXPECT_EQ(shelvix::test::readFile(dir / "B.DBF"), before);
}

// A file or directory that is not there is a failure like any other.
TEST(ToolCommandLine, EveryMissingInputIsAFailureInOneLine) {
    TempDir dir;
    shelvix::db::createBookTable(dir / "B.DBF");
    std::filesystem::create_directories(dir / "d");
    const std::string none = "NONE.DBF";
    const std::vector<std::string> commands = {
        "info " + none,
        "dump " + none,
        "search " + none + " --level 'Title contains a'",
        "replace " + none + " --field Title --find a --with b",
        "index " + none + " --tag T --expr Title",
        "check " + none,
        "repair " + none,
        "pack " + none,
        "reindex " + none,
        "report " + none + " --name 'Full Report' --text out.txt",
        "report B.DBF --name 'Full Report' --text out.txt --definitions NONE.URP",
        "import " + none + " B.DBF",
        "import B.DBF NONE.TXT",
        "import B.DBF " + none,
        "export " + none + " out.txt",
        "backup " + none + " d",
        "backup B.DBF nodir",
        "restore " + none + " d",
        "restore B.DBF nodir",
        "convert nodir",
    };
    for (const std::string& args : commands) {
        SCOPED_TRACE(args);
        const auto r = shelvix::test::runTool(dir, args);
        EXPECT_EQ(r.status, 1);
        ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
        EXPECT_THAT(r.err, StartsWith("shelvix-tool: "));
        EXPECT_THAT(r.err, testing::AnyOf(HasSubstr("NONE"), HasSubstr("nodir")));
    }
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"B.DBF", "d"}));
}

} // namespace
