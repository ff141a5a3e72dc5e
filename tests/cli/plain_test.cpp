// The tool runs `info` and `dump` itself, without Qt, and hands every other
// command line to the full set of commands: what it runs must answer exactly
// as the full set does, and what it hands on must leave no trace.
#include "cli/commandline.h"
#include "cli/plain/front.h"
#include "db/bookgen.h"
#include "db/booktable.h"
#include "db/engine/table.h"
#include "support/tempdir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

using shelvix::test::TempDir;
namespace cli = shelvix::cli;

namespace {

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

struct Answer {
    int status = -1;
    std::string out, err;
};

} // namespace

TEST(PlainCommands, AnswerAsTheFullToolDoesOnTablesOfEveryKind) {
    TempDir dir;
    const std::string books = (dir / "BOOKS.DBF").string();
    shelvix::db::createBookTable(books);
    {
        auto table = shelvix::db::Table::open(books, shelvix::db::OpenMode::Exclusive);
        shelvix::db::appendGeneratedBooks(*table, 300, 4);
        table->addTag("Year", "YearPub");
    }
    const std::string other = dir.copyFixture("third-party/TEST.DBF").string();
    dir.copyFixture("third-party/TEST.MDX");
    // Mailed without its index: read with a note.
    const std::string alone = dir.copyFixture("independent/BOOKS1.DBF").string();

    for (const std::string& line : std::vector<std::string>{
             "info " + books, "info " + other, "info " + alone,
             "info " + (dir / "NONE.DBF").string(), "dump " + books,
             "dump " + books + " --deleted --tag Year --fields TITLE,YEARPUB",
             "dump " + books + " --fields=ISBN,DATEPURCH,COST --tag=Year",
             "dump " + books + " --fields TITLE,NOSUCH", "dump " + books + " --tag NoSuch",
             "dump " + other + " --tag TEST2", "dump " + alone + " --fields AUTHOR"}) {
        const std::vector<std::string> args = words(line);
        Answer plain, full;
        std::ostringstream out, err;
        const auto status = cli::runPlain(args, out, err);
        ASSERT_TRUE(status.has_value()) << line;
        plain = {*status, out.str(), err.str()};
        std::ostringstream out2, err2;
        full.status = cli::runTool(args, out2, err2);
        full.out = out2.str();
        full.err = err2.str();
        EXPECT_EQ(plain.status, full.status) << line;
        EXPECT_EQ(plain.out, full.out) << line;
        EXPECT_EQ(plain.err, full.err) << line;
        EXPECT_FALSE(plain.out.empty() && plain.err.empty()) << line;
    }

    // Help, spellings the full reader knows better, mistakes and every other
    // command go on, with nothing written.
    for (const std::string& line : std::vector<std::string>{
             "", "--help", "--version", "help info", "info", "info " + books + " " + books,
             "info " + books + " --help", "info -h", "dump " + books + " -tag Year",
             "dump " + books + " --tag", "dump " + books + " --tag --deleted",
             "dump " + books + " --tag= ", "dump " + books + " --tag Year --tag Year",
             "dump " + books + " --deleted=yes", "dump -- " + books, "dump " + books + " --bogus",
             "check " + books, "search " + books + " --count", "Info " + books}) {
        std::ostringstream out, err;
        EXPECT_FALSE(cli::runPlain(words(line), out, err).has_value()) << line;
        EXPECT_EQ(out.str() + err.str(), "") << line;
    }
}
