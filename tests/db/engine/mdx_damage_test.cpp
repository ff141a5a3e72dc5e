// A production index that is damaged, cut short by a killed writer or written
// by other tools' conventions: errors, never crashes, and nothing taken for
// damage that is not.

#include "db/engine/mdxtests.h"

using namespace shelvix::db;
using namespace shelvix::test::mdxtest;
using shelvix::test::readFile;
using shelvix::test::TempDir;
using shelvix::test::writeFile;

// A writer that dies between beginUpdate and endUpdate leaves a mark that
// the next open reports; Perl still reads such a file.
TEST(Mdx, AWriterKilledHalfWayIsDetected) {
    TempDir dir;
    auto path = dir / "K.MDX";
    std::vector<Entry> entries;
    for (std::uint32_t i = 1; i <= 3000; ++i)
        entries.emplace_back(padded(std::to_string(i), 10), i);
    {
        auto mdx = MdxFile::create(FileSystem::native(), path, "K");
        mdx->buildTag(charTag("K", 10), sourceOf(entries));
    }
    std::fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Dies after its table write would have begun, before the index
        // reached the disk.
        auto mdx = MdxFile::open(FileSystem::native(), path, true);
        mdx->beginUpdate();
        std::string k = padded("X", 10);
        mdx->insertKey(0, bytes(k), 5000);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));

    auto mdx = MdxFile::open(FileSystem::native(), path, true);
    EXPECT_TRUE(mdx->interrupted());
    EXPECT_EQ(perlWalk(path, "K").empty(), false);
    auto saved = mdx->tags();
    mdx->clear();
    for (const TagInfo& info : saved)
        mdx->buildTag(info, sourceOf(entries));
    EXPECT_FALSE(mdx->interrupted());
    mdx.reset();
    mdx = MdxFile::open(FileSystem::native(), path, false);
    EXPECT_FALSE(mdx->interrupted());
    EXPECT_TRUE(mdx->check(0).empty());

    // A bracket that ends normally leaves no mark, and one that changed
    // nothing writes nothing.
    auto before = readFile(path);
    mdx = MdxFile::open(FileSystem::native(), path, true);
    mdx->beginUpdate();
    mdx->endUpdate();
    EXPECT_EQ(readFile(path), before);
    mdx->beginUpdate();
    std::string k = padded("NEW", 10);
    mdx->insertKey(0, bytes(k), 9999);
    mdx->endUpdate();
    mdx.reset();
    EXPECT_FALSE(MdxFile::open(FileSystem::native(), path, false)->interrupted());
}

TEST(Mdx, DamagedFilesGiveErrorsNotCrashes) {
    TempDir dir;
    auto path = dir / "C.MDX";
    std::vector<Entry> entries;
    for (std::uint32_t i = 1; i <= 2000; ++i)
        entries.emplace_back(padded(std::to_string(i), 16), i);
    {
        auto mdx = MdxFile::create(FileSystem::native(), path, "C");
        mdx->buildTag(charTag("C", 16), sourceOf(entries));
    }
    const std::string good = readFile(path);
    const std::size_t header = 512 * std::size_t{u32(good, 544)};
    const std::uint32_t rootPage = u32(good, header);
    const std::size_t root = 512 * std::size_t{rootPage};
    const std::size_t firstChild = 512 * std::size_t{u32(good, root + 8)};

    // Opens, checks, walks every way, inserts and removes: the damage must
    // show as a Corrupt error or in what check() reports.
    auto attempt = [&](const std::string& bytesOnDisk, const char* what) {
        SCOPED_TRACE(what);
        writeFile(path, bytesOnDisk);
        bool noticed = false;
        try {
            auto mdx = MdxFile::open(FileSystem::native(), path, true);
            for (int t = 0; t < static_cast<int>(mdx->tags().size()); ++t) {
                noticed = noticed || !mdx->check(t).empty();
                auto c = mdx->cursor(t);
                for (bool ok = c->first(); ok; ok = c->next()) {
                }
                for (bool ok = c->last(); ok; ok = c->prior()) {
                }
                std::string k = padded("1234", 16);
                mdx->insertKey(t, bytes(k), 7777);
                mdx->removeKey(t, bytes(k), 4242);
            }
        } catch (const DatabaseError& e) {
            EXPECT_EQ(e.kind(), DatabaseError::Kind::Corrupt) << e.what();
            noticed = true;
        }
        EXPECT_TRUE(noticed);
    };
    attempt(good.substr(0, 1000), "shorter than the header");
    attempt(good.substr(0, good.size() - 700), "truncated inside the last block");
    std::string f = good;
    setU32(f, header, 0xFFFFF0);
    attempt(f, "root past the end");
    f = good;
    setU32(f, root + 8, rootPage);
    attempt(f, "a child pointing back at the root");
    f = good;
    setU32(f, firstChild + 8 + 20 * 3, rootPage);
    setU32(f, firstChild + 8 + 20 * u32(good, firstChild), rootPage);
    attempt(f, "a leaf turned into a branch pointing at the root");
    f = good;
    setU32(f, root + 8 + 20, u32(good, root + 8));
    attempt(f, "two items pointing at the same child");
    f = good;
    setU32(f, firstChild, 5000);
    attempt(f, "a key count larger than a block");
    f = good;
    f[22] = 0x10;
    f[23] = 0x01;
    attempt(f, "a block size that is no multiple of 512");
    f = good;
    f[28] = static_cast<char>(200);
    attempt(f, "too many tags");
    f = good;
    f[header + 12] = 0;
    f[header + 13] = 0;
    attempt(f, "key length 0");
    f = good;
    f[header + 9] = 'X';
    attempt(f, "unknown key type");
    // A damaged tag can still be replaced.
    f = good;
    setU32(f, root + 8, rootPage);
    writeFile(path, f);
    auto mdx = MdxFile::open(FileSystem::native(), path, true);
    mdx->buildTag(charTag("C", 16), sourceOf(entries));
    EXPECT_TRUE(mdx->check(0).empty());
    EXPECT_EQ(walk(*mdx, 0).size(), entries.size());

    // A chain of free blocks that runs in a circle is refused rather than
    // handing a block out twice.
    mdx->buildTag(charTag("D", 16), sourceOf(entries));
    mdx->dropTag("C");
    mdx.reset();
    f = readFile(path);
    const std::uint32_t firstFree = u32(f, 36);
    ASSERT_NE(firstFree, 0u);
    setU32(f, 512 * std::size_t{u32(f, 512 * std::size_t{firstFree} + 4)} + 4, firstFree);
    setU32(f, 40, 1000000);
    writeFile(path, f);
    mdx = MdxFile::open(FileSystem::native(), path, true);
    EXPECT_FALSE(mdx->check(0).empty());
    EXPECT_EQ(errorKind([&] { mdx->buildTag(charTag("E", 16), sourceOf(entries)); }),
              DatabaseError::Kind::Corrupt);
    EXPECT_TRUE(mdx->interrupted());
}

// Random damage anywhere in a small index: every operation either works or
// throws a DatabaseError; nothing crashes, hangs or throws anything else.
TEST(Mdx, RandomDamageIsContained) {
    TempDir dir;
    auto path = dir / "Z.MDX";
    std::vector<Entry> entries;
    for (std::uint32_t i = 1; i <= 700; ++i)
        entries.emplace_back(padded(std::to_string(i * 13 % 701), 24), i);
    {
        auto mdx = MdxFile::create(FileSystem::native(), path, "Z");
        mdx->buildTag(charTag("A", 24), sourceOf(entries));
        mdx->buildTag(charTag("B", 24), sourceOf(entries));
        for (std::uint32_t i = 1; i <= 100; ++i)
            mdx->removeKey(1, bytes(entries[i - 1].first), i); // leaves a free chain
    }
    const std::string good = readFile(path);
    std::mt19937 rng(2026);
    for (int round = 0; round < 300; ++round) {
        std::string f = good;
        for (int flips = 1 + static_cast<int>(rng() % 6); flips > 0; --flips) {
            // Mostly the header and the first blocks, where the pointers are.
            std::size_t at = rng() % 2 ? rng() % 3072 : rng() % f.size();
            f[at] = static_cast<char>(rng() % 4 ? rng() : 0);
        }
        if (round % 10 == 0)
            f.resize(rng() % f.size());
        writeFile(path, f);
        try {
            auto mdx = MdxFile::open(FileSystem::native(), path, true);
            for (int t = 0; t < static_cast<int>(mdx->tags().size()); ++t) {
                mdx->check(t);
                auto c = mdx->cursor(t);
                int n = 0;
                for (bool ok = c->first(); ok && n < 5000; ok = c->next())
                    ++n;
                for (bool ok = c->last(); ok && n < 10000; ok = c->prior())
                    ++n;
                std::string k = padded(std::to_string(rng() % 800), 24);
                c->seek(bytes(k), 24);
                if (mdx->tags()[t].keyLength == 24) {
                    mdx->insertKey(t, bytes(k), 9000);
                    mdx->removeKey(t, bytes(k), 1 + rng() % 700);
                }
            }
            if (!mdx->tags().empty())
                mdx->dropTag(mdx->tags()[0].name);
        } catch (const DatabaseError&) {
        }
    }
}

// Other writers put a node's own page number in its bytes 4-7, where we write
// 0: readers ignore them, so check() reports no damage, and a note only for
// other values.
TEST(Mdx, NodeBytesFourToSevenAreAConventionNotDamage) {
    TempDir dir;
    auto path = dir / "C.MDX";
    std::vector<Entry> entries;
    for (std::uint32_t i = 1; i <= 2000; ++i)
        entries.emplace_back(padded(std::to_string(i), 16), i);
    {
        auto mdx = MdxFile::create(FileSystem::native(), path, "C");
        mdx->buildTag(charTag("C", 16), sourceOf(entries));
    }
    const std::string good = readFile(path);
    const std::uint32_t rootPage = u32(good, 512 * std::size_t{u32(good, 544)});
    const std::size_t root = 512 * std::size_t{rootPage};
    auto inKeyOrder = entries;
    std::sort(inKeyOrder.begin(), inKeyOrder.end());
    auto withLinks = [&](bool ownPage) {
        std::string f = good;
        setU32(f, root + 4, ownPage ? rootPage : 0xBEEF);
        for (std::uint32_t i = 0; i <= u32(good, root); ++i) {
            const std::uint32_t child = u32(good, root + 8 + 20 * i);
            setU32(f, 512 * std::size_t{child} + 4, ownPage ? child : 0xBEEF);
        }
        return f;
    };
    for (bool ownPage : {true, false}) {
        SCOPED_TRACE(ownPage ? "own page numbers" : "other values");
        writeFile(path, withLinks(ownPage));
        auto mdx = MdxFile::open(FileSystem::native(), path, false);
        std::vector<std::string> notes;
        EXPECT_TRUE(mdx->check(0, &notes).empty());
        EXPECT_EQ(notes.size(), ownPage ? 0u : 1u) << ::testing::PrintToString(notes);
        EXPECT_EQ(walk(*mdx, 0), inKeyOrder);
    }
}
