#include "db/engine/replacingfile.h"
#include "db/engine/table.h"
#include "support/forwardingfile.h"
#include "support/planting.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace shelvix::db;
using shelvix::test::PlantingFileSystem;
using shelvix::test::readFile;
using shelvix::test::TempDir;
using shelvix::test::writeFile;
namespace fs = std::filesystem;

namespace {

unsigned modeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mode & 0777;
}

std::vector<fs::path> temporaries(const fs::path& dir) {
    std::vector<fs::path> out;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".tmp")
            out.push_back(entry.path());
    return out;
}

// A volume that refuses permission changes, as FAT does for some modes.
class NoPermissionsFile final : public shelvix::test::ForwardingFile {
public:
    using ForwardingFile::ForwardingFile;
    void setPermissions(unsigned) override {
        throw DatabaseError("Cannot set the permissions of x: Operation not permitted",
                            DatabaseError::Kind::Io);
    }
};

class NoPermissionsFileSystem final : public FileSystem {
public:
    std::unique_ptr<File> open(const fs::path& p, FileMode m) override {
        return std::make_unique<NoPermissionsFile>(FileSystem::native().open(p, m));
    }
    bool exists(const fs::path& p) override { return FileSystem::native().exists(p); }
    void remove(const fs::path& p) override { FileSystem::native().remove(p); }
    void rename(const fs::path& a, const fs::path& b) override {
        FileSystem::native().rename(a, b);
    }
    void syncDirectory(const fs::path& d) override { FileSystem::native().syncDirectory(d); }
};

// Every write fails once `failAt` writes have been made.
class FailingFile final : public shelvix::test::ForwardingFile {
public:
    FailingFile(std::unique_ptr<File> in, int& writes, int failAt)
        : ForwardingFile(std::move(in)), writes_(writes), failAt_(failAt) {}
    void writeAt(std::uint64_t o, const void* d, std::size_t n) override {
        if (++writes_ >= failAt_)
            throw DatabaseError("Cannot write /x/.y.tmp: No space left on device",
                                DatabaseError::Kind::Io);
        in_->writeAt(o, d, n);
    }

private:
    int& writes_;
    int failAt_;
};

class FailingFileSystem final : public FileSystem {
public:
    explicit FailingFileSystem(int failAt) : failAt_(failAt) {}
    std::unique_ptr<File> open(const fs::path& p, FileMode m) override {
        return std::make_unique<FailingFile>(FileSystem::native().open(p, m), writes_, failAt_);
    }
    bool exists(const fs::path& p) override { return FileSystem::native().exists(p); }
    void remove(const fs::path& p) override { FileSystem::native().remove(p); }
    void rename(const fs::path& a, const fs::path& b) override {
        FileSystem::native().rename(a, b);
    }
    void syncDirectory(const fs::path& d) override { FileSystem::native().syncDirectory(d); }

private:
    int failAt_;
    int writes_ = 0;
};

// Three books with a tag, for the work that rewrites a table and its index.
void makeTaggedTable(const std::filesystem::path& table) {
    Table::create(table, {FieldDef::text("Author", 20)});
    auto t = Table::open(table, OpenMode::Exclusive);
    for (const char* a : {"B", "A", "C"}) {
        t->insert();
        t->setText("Author", a);
        t->post();
    }
    t->addTag("ByAuthor", "UPPER(Author)");
}

TEST(ReplacingFile, NeverOpensALinkPlantedAtItsTemporaryName) {
    TempDir dir;
    const auto victim = dir / "victim";
    writeFile(victim, "someone else's file");
    fs::create_symlink(victim, dir / "planted");
    EXPECT_THROW(
        {
            try {
                FileSystem::native().open(dir / "planted", FileMode::CreateNew);
            } catch (const DatabaseError& e) {
                EXPECT_EQ(e.kind(), DatabaseError::Kind::Exists);
                throw;
            }
        },
        DatabaseError);

    // A taken name is passed over for a fresh one.
    PlantingFileSystem planting(victim, 3);
    replaceFile(dir / "BOOKS.INI", "[Misc]\r\n", planting);
    EXPECT_EQ(readFile(dir / "BOOKS.INI"), "[Misc]\r\n");
    EXPECT_EQ(readFile(victim), "someone else's file");
    const auto left = temporaries(dir.path());
    ASSERT_EQ(left.size(), 3u) << "only the planted links remain";
    for (const auto& p : left)
        EXPECT_TRUE(fs::is_symlink(p)) << p;
}

// Pack and reindex make their new table and index the same way: links
// planted at every name they try are passed over, the victim untouched.
TEST(ReplacingFile, PackAndReindexNeverOpenALinkPlantedAtTheirTemporaryNames) {
    TempDir dir;
    const auto victim = dir / "victim";
    writeFile(victim, "someone else's file");
    const auto table = dir / "BOOKS.DBF";
    makeTaggedTable(table);
    PlantingFileSystem planting(victim, 1000, true);
    {
        auto t = Table::open(table, OpenMode::Exclusive, planting);
        t->goToRecord(2);
        t->deleteRecord();
        t->pack();
        t->regenerateIndexes();
        EXPECT_EQ(t->recordCount(), 2u);
        EXPECT_TRUE(t->check().empty());
    }
    EXPECT_EQ(planting.planted, 3) << "the new table, its index, the rebuilt index";
    EXPECT_EQ(readFile(victim), "someone else's file");
    EXPECT_FALSE(fs::is_symlink(table));
    EXPECT_FALSE(fs::is_symlink(dir / "BOOKS.MDX"));
}

TEST(ReplacingFile, TakesThePermissionsOfTheFileItReplacesOrOfTheSource) {
    TempDir dir;
    const mode_t mask = ::umask(027);
    replaceFile(dir / "NEW.LST", "new\r\n");
    EXPECT_EQ(modeOf(dir / "NEW.LST"), 0640u) << "a new file as any other";
    ::umask(mask);

    writeFile(dir / "PRIVATE.INI", "old");
    ::chmod((dir / "PRIVATE.INI").c_str(), 0600);
    replaceFile(dir / "PRIVATE.INI", "new");
    EXPECT_EQ(modeOf(dir / "PRIVATE.INI"), 0600u);
    EXPECT_EQ(readFile(dir / "PRIVATE.INI"), "new");

    writeFile(dir / "SOURCE.DBF", "source");
    ::chmod((dir / "SOURCE.DBF").c_str(), 0604);
    {
        ReplacingFile copy(dir / "PRIVATE.INI", FileSystem::native(), dir / "SOURCE.DBF");
        copy.append("copy", 4);
        copy.commit();
    }
    EXPECT_EQ(modeOf(dir / "PRIVATE.INI"), 0604u);

    // A backup to a volume that will not take the mode is still made.
    NoPermissionsFileSystem fat;
    replaceFile(dir / "PRIVATE.INI", "on a memory stick", fat);
    EXPECT_EQ(readFile(dir / "PRIVATE.INI"), "on a memory stick");

    // Pack and reindex keep a private catalogue private.
    const auto table = dir / "BOOKS.DBF";
    makeTaggedTable(table);
    ::chmod(table.c_str(), 0600);
    ::chmod((dir / "BOOKS.MDX").c_str(), 0600);
    {
        auto t = Table::open(table, OpenMode::Exclusive);
        t->goToRecord(2);
        t->deleteRecord();
        t->pack();
        EXPECT_EQ(t->recordCount(), 2u);
        t->regenerateIndexes();
    }
    EXPECT_EQ(modeOf(table), 0600u);
    EXPECT_EQ(modeOf(dir / "BOOKS.MDX"), 0600u);
    EXPECT_TRUE(temporaries(dir.path()).empty());
}

TEST(ReplacingFile, ALinkStaysALinkAndTheFileItNamesIsReplaced) {
    TempDir dir;
    fs::create_directories(dir / "real");
    fs::create_directories(dir / "links");
    writeFile(dir / "real/BOOKS.INI", "old");
    fs::create_symlink("../real/BOOKS.INI", dir / "links/BOOKS.INI");
    replaceFile(dir / "links/BOOKS.INI", "new");
    EXPECT_TRUE(fs::is_symlink(dir / "links/BOOKS.INI"));
    EXPECT_EQ(readFile(dir / "real/BOOKS.INI"), "new");
    EXPECT_TRUE(temporaries(dir / "links").empty());

    // A link to nothing yet gets the file it names.
    fs::create_symlink("../real/NEW.LST", dir / "links/NEW.LST");
    replaceFile(dir / "links/NEW.LST", "entry\r\n");
    EXPECT_TRUE(fs::is_symlink(dir / "links/NEW.LST"));
    EXPECT_EQ(readFile(dir / "real/NEW.LST"), "entry\r\n");
}

TEST(ReplacingFile, AFailedWriteLeavesTheTargetAndNoTemporary) {
    TempDir dir;
    const auto target = dir / "REPORTS.URP";
    writeFile(target, "the old definitions");
    for (int failAt = 1; failAt <= 2; ++failAt) {
        FailingFileSystem failing(failAt);
        try {
            ReplacingFile file(target, failing);
            file.append("part one", 8);
            file.append("part two", 8);
            file.commit();
            ADD_FAILURE() << "no failure at write " << failAt;
        } catch (const DatabaseError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot write " + target.string() + ": No space left on device");
        }
        EXPECT_EQ(readFile(target), "the old definitions");
        EXPECT_TRUE(temporaries(dir.path()).empty());
    }
}

} // namespace
