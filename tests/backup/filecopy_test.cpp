#include "backup/filecopy.h"
#include "db/booktable.h"
#include "db/databasefiles.h"
#include "db/engine/error.h"
#include "db/engine/table.h"
#include "support/forwardingfile.h"
#include "support/planting.h"
#include "support/tempdir.h"

#include <QString>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace shelvix;
using test::readFile;
using test::writeFile;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

std::string bytes(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = char('a' + (i * 7) % 26);
    return s;
}

// Fails the Nth write (after storing half of it) or the rename.
class FailingFile final : public test::ForwardingFile {
public:
    FailingFile(std::unique_ptr<db::File> in, int& writes, int failAt)
        : ForwardingFile(std::move(in)), writes_(writes), failAt_(failAt) {}
    void writeAt(std::uint64_t o, const void* d, std::size_t n) override {
        if (++writes_ == failAt_) {
            in_->writeAt(o, d, n / 2);
            throw db::DatabaseError("No space left on device", db::DatabaseError::Kind::Io);
        }
        in_->writeAt(o, d, n);
    }

private:
    int& writes_;
    int failAt_;
};

class FailingFileSystem final : public db::FileSystem {
public:
    explicit FailingFileSystem(int failAt) : failAt_(failAt) {}
    std::unique_ptr<db::File> open(const std::filesystem::path& p, db::FileMode m) override {
        return std::make_unique<FailingFile>(native().open(p, m), writes_, failAt_);
    }
    bool exists(const std::filesystem::path& p) override { return native().exists(p); }
    void remove(const std::filesystem::path& p) override { native().remove(p); }
    void rename(const std::filesystem::path& a, const std::filesystem::path& b) override {
        if (++writes_ == failAt_)
            throw db::DatabaseError("Injected rename failure", db::DatabaseError::Kind::Io);
        native().rename(a, b);
    }
    void syncDirectory(const std::filesystem::path& d) override { native().syncDirectory(d); }

private:
    static db::FileSystem& native() { return db::FileSystem::native(); }
    int failAt_;
    int writes_ = 0;
};

// Runs `other` (another user at work) at the first write of each file, at
// each rename and each removal.
class MeddledFileSystem final : public db::FileSystem {
public:
    std::function<void(const std::string& when)> other;
    std::unique_ptr<db::File> open(const std::filesystem::path& p, db::FileMode m) override {
        auto f = std::make_unique<FirstWrite>(native().open(p, m), *this, p.filename().string());
        return f;
    }
    bool exists(const std::filesystem::path& p) override { return native().exists(p); }
    void remove(const std::filesystem::path& p) override {
        native().remove(p);
        other("after removing " + p.filename().string());
    }
    void rename(const std::filesystem::path& a, const std::filesystem::path& b) override {
        other("before the rename");
        native().rename(a, b);
        other("after the rename");
    }
    void syncDirectory(const std::filesystem::path& d) override { native().syncDirectory(d); }

private:
    class FirstWrite final : public test::ForwardingFile {
    public:
        FirstWrite(std::unique_ptr<db::File> in, MeddledFileSystem& fs, std::string name)
            : ForwardingFile(std::move(in)), fs_(fs), name_(std::move(name)) {}
        void writeAt(std::uint64_t o, const void* d, std::size_t n) override {
            in_->writeAt(o, d, n);
            if (!written_) {
                written_ = true;
                fs_.other("writing " + name_);
            }
        }

    private:
        MeddledFileSystem& fs_;
        std::string name_;
        bool written_ = false;
    };
    static db::FileSystem& native() { return db::FileSystem::native(); }
};

std::vector<std::string> authors(const std::filesystem::path& table) {
    std::vector<std::string> out;
    db::Table::open(table, db::OpenMode::ReadOnly)->scan([&](const db::RecordView& r) {
        out.emplace_back(r.text(0));
        return false;
    });
    return out;
}

void appendAuthor(const std::filesystem::path& table, const std::string& author) {
    auto t = db::Table::open(table, db::OpenMode::Shared);
    t->insert();
    t->setText("Author", author);
    t->post();
}

} // namespace

TEST(FileCopy, ReplacesTheDestinationWholeAndKnowsTheSameFileUnderOtherNames) {
    test::TempDir dir;
    const std::string source = bytes(200'000); // several blocks and a part block
    writeFile(dir / "BOOKS.DBF", source);
    std::filesystem::create_directory(dir / "dest");
    writeFile(dir / "dest/BOOKS.DBF", "an older, shorter backup");
    ASSERT_TRUE(backup::copyFile(q(dir / "BOOKS.DBF"), q(dir / "dest/BOOKS.DBF")));
    EXPECT_EQ(readFile(dir / "dest/BOOKS.DBF"), source);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "dest"), {}), 1)
        << "no temporary file left";
    writeFile(dir / "EMPTY.DBF", "");
    ASSERT_TRUE(backup::copyFile(q(dir / "EMPTY.DBF"), q(dir / "dest/EMPTY.DBF")));
    EXPECT_EQ(readFile(dir / "dest/EMPTY.DBF"), "");
    EXPECT_FALSE(backup::copyFile(q(dir / "MISSING.DBF"), q(dir / "dest/MISSING.DBF")));
    EXPECT_FALSE(std::filesystem::exists(dir / "dest/MISSING.DBF"));

    // The same file through a link, a "..", or a second hard link; another
    // case is another file here.
    std::filesystem::create_directory_symlink(dir.path(), dir / "dest/link");
    std::filesystem::create_hard_link(dir / "BOOKS.DBF", dir / "dest/HARD.DBF");
    EXPECT_TRUE(backup::sameFile(q(dir / "BOOKS.DBF"), q(dir / "dest/link/BOOKS.DBF")));
    EXPECT_TRUE(backup::sameFile(q(dir / "BOOKS.DBF"), q(dir / "dest/../BOOKS.DBF")));
    EXPECT_TRUE(backup::sameFile(q(dir / "BOOKS.DBF"), q(dir / "dest/HARD.DBF")));
    EXPECT_FALSE(backup::sameFile(q(dir / "BOOKS.DBF"), q(dir / "books.dbf")));
    EXPECT_FALSE(backup::sameFile(q(dir / "BOOKS.DBF"), q(dir / "dest/BOOKS.DBF")));
    EXPECT_TRUE(backup::sameFile(q(dir / "NEW.DBF"), q(dir / "dest/../NEW.DBF")));

    EXPECT_EQ(backup::joinPath("/", "A.DBF"), "/A.DBF");
    EXPECT_EQ(backup::joinPath("/media/usb/", "A.DBF"), "/media/usb/A.DBF");
    EXPECT_EQ(backup::joinPath("/media/usb", "A.DBF"), "/media/usb/A.DBF");
}

TEST(FileCopy, ACopyThatFailsAnywhereLeavesTheOldDestination) {
    test::TempDir dir;
    writeFile(dir / "BOOKS.DBF", bytes(300'000));
    const std::string old = "the backup made last week";
    // Every write of the five blocks, then the rename.
    for (int failAt = 1; failAt <= 6; ++failAt) {
        writeFile(dir / "OLD.DBF", old);
        FailingFileSystem fs(failAt);
        EXPECT_FALSE(backup::copyFile(q(dir / "BOOKS.DBF"), q(dir / "OLD.DBF"), fs)) << failAt;
        EXPECT_EQ(readFile(dir / "OLD.DBF"), old) << failAt;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2)
            << "a temporary file left at " << failAt;
    }
}

// Permissions follow the catalogue: a backup takes its table's, a restored
// table keeps those of the table it replaces.
TEST(FileCopy, APrivateCatalogueStaysPrivateInItsBackupAndAfterARestore) {
    test::TempDir dir;
    const auto mode = [](const std::filesystem::path& p) {
        struct stat st {};
        EXPECT_EQ(::stat(p.c_str(), &st), 0);
        return st.st_mode & 0777;
    };
    writeFile(dir / "BOOKS.DBF", bytes(1000));
    ::chmod((dir / "BOOKS.DBF").c_str(), 0600);
    writeFile(dir / "BACKUP.DBF", "last week's, readable by all");
    ::chmod((dir / "BACKUP.DBF").c_str(), 0644);
    ASSERT_TRUE(backup::copyFile(q(dir / "BOOKS.DBF"), q(dir / "BACKUP.DBF")));
    EXPECT_EQ(mode(dir / "BACKUP.DBF"), 0600u);

    db::createBookTable(dir / "TABLE.DBF");
    ::chmod((dir / "TABLE.DBF").c_str(), 0600);
    db::createBookTable(dir / "OLDBACKUP.DBF");
    ::chmod((dir / "OLDBACKUP.DBF").c_str(), 0644);
    ASSERT_TRUE(backup::restoreTable(q(dir / "OLDBACKUP.DBF"), q(dir / "TABLE.DBF")));
    EXPECT_EQ(mode(dir / "TABLE.DBF"), 0600u);
    ASSERT_TRUE(backup::restoreTable(q(dir / "OLDBACKUP.DBF"), q(dir / "NEW.DBF")));
    EXPECT_EQ(mode(dir / "NEW.DBF"), 0644u) << "a new table takes its backup's";
}

// A backup folder shared with someone who plants links where the copies
// will be made: backup and restore pass over every one of them.
TEST(FileCopy, BackupAndRestoreNeverOpenALinkPlantedAtTheirTemporaryNames) {
    test::TempDir dir;
    writeFile(dir / "victim", "someone else's file");
    std::filesystem::create_directory(dir / "shared");
    db::createBookTable(dir / "BOOKS.DBF");
    test::PlantingFileSystem planting(dir / "victim", 1000, true);
    ASSERT_TRUE(backup::copyFile(q(dir / "BOOKS.DBF"), q(dir / "shared/BOOKS.DBF"), planting));
    ASSERT_TRUE(
        backup::restoreTable(q(dir / "shared/BOOKS.DBF"), q(dir / "RESTORED.DBF"), planting));
    EXPECT_EQ(planting.planted, 2);
    EXPECT_EQ(readFile(dir / "victim"), "someone else's file");
    EXPECT_EQ(readFile(dir / "RESTORED.DBF"), readFile(dir / "BOOKS.DBF"));
}

TEST(FileCopy, RoomCountsInSixtyFourBitsAndTheOldCopyIsNoRoom) {
    test::TempDir dir;
    writeFile(dir / "BOOKS.DBF", bytes(5000));
    writeFile(dir / "OLD.DBF", bytes(4000));
    const auto free = [](std::int64_t n) { return [n](const QString&) { return n; }; };
    const QString source = q(dir / "BOOKS.DBF");
    EXPECT_TRUE(backup::hasRoom(source, q(dir / "NEW.DBF"), free(5000)));
    EXPECT_FALSE(backup::hasRoom(source, q(dir / "NEW.DBF"), free(4999)));
    // The old copy stays until the new one is whole.
    EXPECT_FALSE(backup::hasRoom(source, q(dir / "OLD.DBF"), free(1000)));
    // Today's disks: more than a 32-bit count holds, and a multiple of 2^32.
    EXPECT_TRUE(backup::hasRoom(source, q(dir / "NEW.DBF"), free(std::int64_t(5) << 40)));
    EXPECT_TRUE(backup::hasRoom(source, q(dir / "NEW.DBF"), free(std::int64_t(1) << 32)));
    EXPECT_THROW(backup::hasRoom(q(dir / "MISSING.DBF"), q(dir / "NEW.DBF"), free(1 << 20)),
                 db::DatabaseError);
    EXPECT_GT(backup::volumeFreeSpace(q(dir.path())), 0);
}

// A real full volume: a small tmpfs, where the machine lets us mount one.
TEST(FileCopy, AFullVolumeRefusesRoomAndAFailedCopyLeavesTheOldFile) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "small");
    if (::mount("tmpfs", (dir / "small").c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        std::filesystem::path at;
        ~Unmount() { ::umount(at.c_str()); }
    } unmount{dir / "small"};
    const std::string old = bytes(30'000);
    writeFile(dir / "small/BOOKS.DBF", old);
    writeFile(dir / "BOOKS.DBF", bytes(50'000));
    EXPECT_FALSE(backup::hasRoom(q(dir / "BOOKS.DBF"), q(dir / "small/BOOKS.DBF")));
    EXPECT_FALSE(backup::copyFile(q(dir / "BOOKS.DBF"), q(dir / "small/BOOKS.DBF")));
    EXPECT_EQ(readFile(dir / "small/BOOKS.DBF"), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "small"), {}), 1);
    writeFile(dir / "SMALL.DBF", bytes(10'000));
    EXPECT_TRUE(backup::hasRoom(q(dir / "SMALL.DBF"), q(dir / "small/SMALL.DBF")));
    EXPECT_TRUE(backup::copyFile(q(dir / "SMALL.DBF"), q(dir / "small/SMALL.DBF")));
}

TEST(FileCopy, ARestoreHoldsItsTableFromTheTestToTheEndSoNoWriteIsLost) {
    // Another user's write while the backup is copied or renamed into place
    // would go to the table about to be replaced: it must be refused (the
    // user is told the table is in use), or land in the restored table.
    test::TempDir dir;
    std::filesystem::create_directory(dir / "backup");
    const std::vector<db::FieldDef> fields{db::FieldDef::text("Author", 30)};
    db::Table::create(dir / "MASTER.DBF", fields);
    appendAuthor(dir / "MASTER.DBF", "before the restore");
    db::Table::open(dir / "MASTER.DBF", db::OpenMode::Exclusive)->addTag("Author", "Author");
    db::Table::create(dir / "backup/MASTER.DBF", fields);
    appendAuthor(dir / "backup/MASTER.DBF", "from the backup");

    MeddledFileSystem fs;
    std::vector<std::string> stored, refused;
    fs.other = [&](const std::string& when) {
        try {
            appendAuthor(dir / "MASTER.DBF", when);
            stored.push_back(when);
        } catch (const db::DatabaseError& e) {
            EXPECT_EQ(e.kind(), db::DatabaseError::Kind::InUse) << when << ": " << e.what();
            refused.push_back(when);
        }
    };
    ASSERT_TRUE(backup::restoreTable(q(dir / "backup/MASTER.DBF"), q(dir / "MASTER.DBF"), fs));
    fs.other("after the restore");
    EXPECT_THAT(refused, ::testing::Contains(::testing::StartsWith("writing .MASTER.DBF.")));
    EXPECT_THAT(stored, ::testing::Contains("after the restore"));
    const auto found = authors(dir / "MASTER.DBF");
    EXPECT_EQ(found.front(), "from the backup");
    for (const std::string& s : stored)
        EXPECT_THAT(found, ::testing::Contains(s)) << "reported as stored, then lost";
}
