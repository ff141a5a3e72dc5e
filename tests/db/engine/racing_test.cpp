// Two users of one table meeting in the instants that matter: an open
// overtaken by a replacement, a walk of the index while another appends.

#include "db/engine/table.h"
#include "support/forwardingfile.h"
#include "support/tempdir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace shelvix::db;
using shelvix::test::TempDir;

namespace {

std::vector<FieldDef> fields() {
    return {FieldDef::text("Author", 40), FieldDef::integer("Seq")};
}

void append(Table& t, const std::string& author, int seq) {
    t.insert();
    t.setText("Author", author);
    t.setNumber("Seq", seq);
    t.post();
}

// The native file system, with a hook run once right after `target` is
// opened (before the opener locks it), and one run at each read of an index
// page: what another process may do in those instants.
class RacingFileSystem final : public shelvix::test::NativeNamesFileSystem {
public:
    std::filesystem::path target;
    std::function<void()> afterOpen;
    std::function<void()> atIndexRead;

    std::unique_ptr<File> open(const std::filesystem::path& p, FileMode mode) override {
        auto f =
            std::make_unique<HookedFile>(native().open(p, mode), *this, p.extension() == ".MDX");
        if (p == target && afterOpen)
            std::exchange(afterOpen, nullptr)();
        return f;
    }

private:
    class HookedFile final : public shelvix::test::ForwardingFile {
    public:
        HookedFile(std::unique_ptr<File> in, RacingFileSystem& fs, bool index)
            : ForwardingFile(std::move(in)), fs_(fs), index_(index) {}
        std::size_t readAt(std::uint64_t o, void* b, std::size_t n) override {
            if (index_ && o > 0 && fs_.atIndexRead)
                fs_.atIndexRead();
            return in_->readAt(o, b, n);
        }

    private:
        RacingFileSystem& fs_;
        bool index_;
    };
};

// Ends the process, as a kill does, at its first write of an index page:
// inside a change, after the mark.
class DyingFileSystem final : public shelvix::test::NativeNamesFileSystem {
public:
    std::unique_ptr<File> open(const std::filesystem::path& p, FileMode mode) override {
        auto f = native().open(p, mode);
        if (p.extension() != ".MDX")
            return f;
        return std::make_unique<Dying>(std::move(f));
    }

private:
    class Dying final : public shelvix::test::ForwardingFile {
    public:
        using ForwardingFile::ForwardingFile;
        void writeAt(std::uint64_t o, const void* b, std::size_t n) override {
            if (o >= 2048)
                ::_exit(0);
            in_->writeAt(o, b, n);
        }
    };
};

} // namespace

TEST(TableLocks, AnOpenOvertakenByAReplacementWritesToTheTableNowInPlace) {
    // A restore or a pack renames a new table into place between another
    // user's open and its lock: that user must not write to the file that
    // was replaced, where nothing it stores can be found again.
    TempDir dir;
    auto path = dir / "T.DBF";
    Table::create(path, fields());
    append(*Table::open(path, OpenMode::Exclusive), "old table", 1);
    Table::create(dir / "BACKUP.DBF", fields());
    append(*Table::open(dir / "BACKUP.DBF", OpenMode::Exclusive), "restored", 2);
    for (OpenMode mode : {OpenMode::Shared, OpenMode::Exclusive}) {
        SCOPED_TRACE(int(mode));
        std::filesystem::copy_file(dir / "BACKUP.DBF", dir / "NEW.DBF");
        RacingFileSystem fs;
        fs.target = path;
        fs.afterOpen = [&] { std::filesystem::rename(dir / "NEW.DBF", path); };
        {
            auto t = Table::open(path, mode, fs);
            append(*t, "stored after the open", 3);
        }
        auto t = Table::open(path, OpenMode::ReadOnly);
        std::vector<std::string> authors;
        t->scan([&](const RecordView& r) {
            authors.emplace_back(r.text(0));
            return false;
        });
        EXPECT_EQ(authors, (std::vector<std::string>{"restored", "stored after the open"}));
    }
}

TEST(TableLocks, AReaderNeverTakesAnotherUsersIndexChangeForDamage) {
    // One user appends in the middle of another's walk of the tag: the walk
    // sees the index as it stood before or after each change, never half of
    // one, and never judges a page the writer has just added against the
    // size of the file it knew.
    TempDir dir;
    auto path = dir / "T.DBF";
    Table::create(path, fields());
    auto writer = Table::open(path, OpenMode::Shared);
    writer->addTag("Author", "UPPER(Author)");
    int seq = 0;
    auto appendSome = [&](int n) {
        for (int i = 0; i < n; ++i, ++seq)
            append(*writer, "author " + std::to_string((seq * 7919) % 1000), seq);
    };
    {
        Table::Bulk bulk(*writer);
        appendSome(200);
        bulk.finish();
    }
    RacingFileSystem fs;
    auto reader = Table::open(path, OpenMode::Shared, fs);
    reader->selectTag("Author");
    std::future<void> appends;
    int reads = 0;
    fs.atIndexRead = [&] {
        if (++reads != 2 || appends.valid())
            return;
        appends = std::async(std::launch::async, [&] { appendSome(40); });
        // A reader that makes the writer wait is right to: it is given the
        // time to go wrong if it does not.
        appends.wait_for(std::chrono::milliseconds(300));
    };
    std::vector<std::string> failures;
    for (int round = 0; round < 4; ++round) {
        reader->refresh();
        const std::uint32_t known = reader->recordCount();
        reads = 0;
        try {
            const std::uint32_t rows = reader->rowCount();
            if (rows != known)
                failures.push_back("the walk found " + std::to_string(rows) + " of " +
                                   std::to_string(known) + " records");
        } catch (const DatabaseError& e) {
            failures.emplace_back(e.what());
        }
        ASSERT_TRUE(appends.valid()) << "the walk read no index pages";
        appends.get();
    }
    EXPECT_THAT(failures, ::testing::IsEmpty());
    reader->refresh();
    EXPECT_EQ(reader->rowCount(), 360u);
    EXPECT_THAT(reader->check(), ::testing::IsEmpty());
}

TEST(TableLocks, AMarkKeptAcrossSharedBulkWorkIsNoDamageUntilItsKeeperDies) {
    // Bulk work keeps the index mark on the disk across its changes, so a
    // power cut leaves it; the other users must tell that live mark from the
    // one a writer that died leaves behind.
    TempDir dir;
    auto path = dir / "T.DBF";
    Table::create(path, fields());
    Table::open(path, OpenMode::Exclusive)->addTag("Author", "UPPER(Author)");
    {
        auto writer = Table::open(path, OpenMode::Shared);
        Table::Bulk bulk(*writer);
        append(*writer, "bulk one", 1);
        auto other = Table::open(path, OpenMode::Shared);
        EXPECT_NO_THROW(append(*other, "beside the bulk", 2));
        EXPECT_THAT(Table::open(path, OpenMode::ReadOnly)->check(), ::testing::IsEmpty());
        append(*writer, "bulk two", 3);
        bulk.finish();
        EXPECT_NO_THROW(append(*other, "after the bulk", 4));
    }
    auto after = Table::open(path, OpenMode::Exclusive);
    EXPECT_THAT(after->repairsAtOpen(), ::testing::IsEmpty()) << "the mark outlived its keeper";
    EXPECT_EQ(after->rowCount(), 4u);
    after.reset();

    // A durable change leaves the mark kept until the close, or until the
    // table is settled while nothing is being changed.
    const auto markByte = [&] {
        std::ifstream in(dir / "T.MDX", std::ios::binary);
        in.seekg(52);
        return in.get();
    };
    {
        auto t = Table::open(path, OpenMode::Shared);
        append(*t, "durable", 5);
        EXPECT_EQ(markByte(), 1);
        t->settle();
        EXPECT_EQ(markByte(), 0);
        append(*t, "durable again", 6);
        EXPECT_EQ(markByte(), 1);
    }
    EXPECT_EQ(markByte(), 0);
    EXPECT_THAT(Table::open(path, OpenMode::Exclusive)->repairsAtOpen(), ::testing::IsEmpty());

    // A writer that dies inside its change while another keeps the mark on:
    // the others see the damage, and the keeper leaves the mark at its end.
    {
        auto keeper = Table::open(path, OpenMode::Shared);
        Table::Bulk bulk(*keeper);
        append(*keeper, "kept", 10);
        const pid_t dying = ::fork();
        ASSERT_NE(dying, -1);
        if (dying == 0) {
            DyingFileSystem fs;
            auto t = Table::open(path, OpenMode::Shared, fs);
            append(*t, "dies inside its change", 11);
            ::_exit(1);
        }
        int status = 0;
        ::waitpid(dying, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "it did not die inside";
        EXPECT_TRUE(Table::open(path, OpenMode::Shared)->needsRebuild());
        bulk.finish();
    }
    {
        auto mended = Table::open(path, OpenMode::Exclusive);
        EXPECT_THAT(mended->repairsAtOpen(),
                    ::testing::Contains(::testing::HasSubstr("half-updated")));
        EXPECT_THAT(mended->check(), ::testing::IsEmpty());
    }

    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        auto writer = Table::open(path, OpenMode::Shared);
        writer->beginBulk();
        append(*writer, "keeper that dies", 5);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_THAT(Table::open(path, OpenMode::ReadOnly)->check(),
                ::testing::Contains(::testing::HasSubstr("half-updated")));
    auto mended = Table::open(path, OpenMode::Shared);
    EXPECT_THAT(mended->repairsAtOpen(), ::testing::Contains(::testing::HasSubstr("half-updated")));
    EXPECT_THAT(mended->check(), ::testing::IsEmpty());
}
