#include "db/engine/error.h"
#include "db/engine/mdx.h"
#include "support/tempdir.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace shelvix::db;
using shelvix::test::readFile;
using shelvix::test::TempDir;
using shelvix::test::writeFile;

namespace {

using Entry = std::pair<std::string, std::uint32_t>; // key bytes, recno

std::uint32_t u32(const std::string& s, std::size_t at) {
    return static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8 |
           static_cast<std::uint8_t>(s[at + 2]) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 3])) << 24;
}
std::uint16_t u16(const std::string& s, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(s[at]) |
                                      static_cast<std::uint8_t>(s[at + 1]) << 8);
}
void setU32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}

std::vector<Entry> walk(MdxFile& mdx, int tag) {
    std::vector<Entry> out;
    auto c = mdx.cursor(tag);
    const std::size_t len = static_cast<std::size_t>(mdx.tags()[tag].keyLength);
    for (bool ok = c->first(); ok; ok = c->next()) {
        auto e = c->current();
        out.emplace_back(std::string(reinterpret_cast<const char*>(e.key), len), e.recno);
    }
    return out;
}

std::vector<Entry> walkBackwards(MdxFile& mdx, int tag) {
    std::vector<Entry> out;
    auto c = mdx.cursor(tag);
    const std::size_t len = static_cast<std::size_t>(mdx.tags()[tag].keyLength);
    for (bool ok = c->last(); ok; ok = c->prior()) {
        auto e = c->current();
        out.emplace_back(std::string(reinterpret_cast<const char*>(e.key), len), e.recno);
    }
    std::reverse(out.begin(), out.end());
    return out;
}

MdxFile::KeySource sourceOf(const std::vector<Entry>& entries) {
    auto at = std::make_shared<std::size_t>(0);
    return [&entries, at](std::uint8_t* key, std::uint32_t& recno) {
        if (*at == entries.size())
            return false;
        const Entry& e = entries[(*at)++];
        std::memcpy(key, e.first.data(), e.first.size());
        recno = e.second;
        return true;
    };
}

TagInfo charTag(const std::string& name, int length, const std::string& expr = "TITLE") {
    TagInfo info;
    info.name = name;
    info.expression = expr;
    info.type = KeyType::Character;
    info.keyLength = length;
    return info;
}

std::string padded(const std::string& s, std::size_t length) {
    std::string k = s.substr(0, length);
    k.resize(length, ' ');
    return k;
}

const std::uint8_t* bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// Entries as Perl's XBase::Index reads them (it only knows 1024-byte blocks).
std::vector<Entry> perlWalk(const std::filesystem::path& mdx, const std::string& tag) {
    std::string cmd = "/usr/bin/perl " SHELVIX_SOURCE_DIR "/tests/db/engine/mdx_perl_walk.pl '" +
                      mdx.string() + "' " + tag + " 2>&1";
    FILE* pipe = popen(cmd.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::vector<Entry> out;
    if (!pipe)
        return out;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string s(line);
        auto tab = s.find('\t');
        if (tab == std::string::npos) {
            ADD_FAILURE() << "perl: " << s;
            continue;
        }
        std::string hex = s.substr(tab + 1);
        while (!hex.empty() && (hex.back() == '\n' || hex.back() == '\r'))
            hex.pop_back();
        std::string key;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            key.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        out.emplace_back(key, static_cast<std::uint32_t>(std::stoul(s.substr(0, tab))));
    }
    EXPECT_EQ(pclose(pipe), 0);
    return out;
}

// The "tags:" section of a *.perl-dump.txt fixture: "recno<TAB>[key]".
std::vector<Entry> dumpedOrder(const std::string& fixture) {
    std::istringstream in(readFile(shelvix::test::fixturePath(fixture)));
    std::vector<Entry> out;
    std::string line;
    bool inTags = false;
    while (std::getline(in, line)) {
        if (line.rfind("tags:", 0) == 0) {
            inTags = true;
            continue;
        }
        auto tab = line.find('\t');
        if (!inTags || tab == std::string::npos || line.size() < tab + 3)
            continue;
        out.emplace_back(line.substr(tab + 2, line.size() - tab - 3),
                         static_cast<std::uint32_t>(std::stoul(line.substr(0, tab))));
    }
    return out;
}

DatabaseError::Kind errorKind(const std::function<void()>& f) {
    try {
        f();
    } catch (const DatabaseError& e) {
        return e.kind();
    }
    return DatabaseError::Kind::General;
}

} // namespace

TEST(Mdx, ReadsIndexesOtherToolsWrote) {
    TempDir dir;
    for (std::string name : {"BOOKS1", "BOOKS2", "BOOKS3", "PBOOKS1", "PBOOKS2", "PBOOKS3"}) {
        SCOPED_TRACE(name);
        auto path = dir.copyFixture("independent/" + name + ".MDX");
        auto mdx = MdxFile::open(FileSystem::native(), path, false);
        ASSERT_EQ(mdx->tags().size(), 1u);
        const TagInfo& info = mdx->tags()[0];
        EXPECT_EQ(info.name, "NewIndex");
        EXPECT_EQ(info.type, KeyType::Character);
        EXPECT_EQ(mdx->findTag("NEWINDEX"), 0);
        EXPECT_FALSE(mdx->interrupted());

        auto expected = dumpedOrder("independent/" + name + ".perl-dump.txt");
        ASSERT_EQ(expected.size(), 11u);
        ASSERT_EQ(static_cast<std::size_t>(info.keyLength), expected[0].first.size());
        EXPECT_EQ(walk(*mdx, 0), expected);
        EXPECT_EQ(walkBackwards(*mdx, 0), expected);
        EXPECT_TRUE(mdx->check(0).empty());
    }
    auto mdx = MdxFile::open(FileSystem::native(), dir / "BOOKS3.MDX", false);
    EXPECT_EQ(mdx->tags()[0].expression, "STR(YearPub,12,0)+DTOS(PurchDate)+STR(Cost,12,2)");
    EXPECT_EQ(mdx->tags()[0].keyLength, 32);
}

TEST(Mdx, ReadsCharacterAndNumericTagsOfAThirdPartyFile) {
    TempDir dir;
    auto path = dir.copyFixture("third-party/TEST.MDX");
    auto mdx = MdxFile::open(FileSystem::native(), path, true);
    ASSERT_EQ(mdx->tags().size(), 2u);
    int c = mdx->findTag("test1"), n = mdx->findTag("TEST2");
    ASSERT_GE(c, 0);
    ASSERT_GE(n, 0);
    EXPECT_TRUE(mdx->tags()[c].bareField);
    EXPECT_EQ(mdx->tags()[n].type, KeyType::Numeric);

    std::vector<std::uint32_t> recnos;
    for (auto& e : walk(*mdx, c))
        recnos.push_back(e.second);
    EXPECT_EQ(recnos, (std::vector<std::uint32_t>{3, 1, 2}));

    std::vector<std::pair<double, std::uint32_t>> numbers;
    auto cur = mdx->cursor(n);
    for (bool ok = cur->first(); ok; ok = cur->next())
        numbers.emplace_back(decodeNumericKey(cur->current().key), cur->current().recno);
    EXPECT_EQ(numbers, (std::vector<std::pair<double, std::uint32_t>>{{10, 1}, {15, 3}, {20, 2}}));
    std::uint8_t key[kNumericKeyLength];
    encodeNumericKey(12, key);
    ASSERT_TRUE(cur->seek(key, sizeof key));
    EXPECT_EQ(cur->current().recno, 3u);
    EXPECT_TRUE(mdx->check(c).empty());
    EXPECT_TRUE(mdx->check(n).empty());

    // Keeping the other tool's tags up to date, our numeric encoding next
    // to theirs.
    encodeNumericKey(17.5, key);
    mdx->insertKey(n, key, 4);
    encodeNumericKey(15, key);
    EXPECT_TRUE(mdx->removeKey(n, key, 3));
    numbers.clear();
    for (bool ok = cur->first(); ok; ok = cur->next())
        numbers.emplace_back(decodeNumericKey(cur->current().key), cur->current().recno);
    EXPECT_EQ(numbers,
              (std::vector<std::pair<double, std::uint32_t>>{{10, 1}, {17.5, 4}, {20, 2}}));
    EXPECT_TRUE(mdx->check(n).empty());
    std::string k = padded("test0", 50);
    mdx->insertKey(c, bytes(k), 4);
    mdx.reset();
    recnos.clear();
    for (auto& e : perlWalk(path, "TEST1"))
        recnos.push_back(e.second);
    EXPECT_EQ(recnos, (std::vector<std::uint32_t>{3, 4, 1, 2}));
}

TEST(Mdx, CreatesTheHeaderAndTagLayoutOtherToolsExpect) {
    TempDir dir;
    auto path = dir / "BOOKS.MDX";
    std::vector<Entry> entries;
    for (std::uint32_t i = 1; i <= 3000; ++i)
        entries.emplace_back(padded("K" + std::to_string(i * 7919 % 3001), 20), i);
    {
        auto mdx = MdxFile::create(FileSystem::native(), path, "BOOKS");
        // Tags inserted M, C, X, A: the name tree is M(C(A), X).
        for (std::string name : {"M", "C", "X", "A"}) {
            TagInfo info = charTag(name, 20, "UPPER(" + name + ")");
            info.bareField = name == "X";
            mdx->buildTag(info, sourceOf(entries));
        }
    }
    std::string f = readFile(path);
    ASSERT_EQ(f.size() % 1024, 0u);
    EXPECT_EQ(f[0], 2);
    EXPECT_EQ(f.substr(4, 16), std::string("BOOKS") + std::string(11, '\0'));
    EXPECT_EQ(u16(f, 20), 2);
    EXPECT_EQ(u16(f, 22), 1024);
    EXPECT_EQ(f[24], 1);
    EXPECT_EQ(f[25], 48);
    EXPECT_EQ(f[26], 32);
    EXPECT_EQ(u16(f, 28), 4);
    EXPECT_EQ(f[31], 0x1B);
    EXPECT_EQ(u32(f, 32), f.size() / 512);
    EXPECT_EQ(u32(f, 36), 0u);
    const int expectLeft[] = {2, 4, 0, 0}, expectRight[] = {3, 0, 0, 0},
              expectParent[] = {0, 1, 1, 2};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        std::size_t e = 544 + 32 * static_cast<std::size_t>(i);
        EXPECT_EQ(f[e + 15], 0x10);
        EXPECT_EQ(f[e + 16], expectLeft[i]);
        EXPECT_EQ(f[e + 17], expectRight[i]);
        EXPECT_EQ(f[e + 18], expectParent[i]);
        EXPECT_EQ(f[e + 19], 0x02);
        EXPECT_EQ(f[e + 20], 'C');
        std::size_t h = 512 * std::size_t{u32(f, e)};
        EXPECT_EQ(f[h + 8], 0x10);
        EXPECT_EQ(f[h + 9], 'C');
        EXPECT_EQ(f[h + 11], 0x1B);
        EXPECT_EQ(u16(f, h + 12), 20);
        EXPECT_EQ(u16(f, h + 14), (1024 - 12) / 24);
        EXPECT_EQ(u16(f, h + 16), 0);
        EXPECT_EQ(u16(f, h + 18), 24);
        EXPECT_EQ(f[h + 23], 0);
        EXPECT_EQ(std::string(f.c_str() + h + 24), "UPPER(" + f.substr(e + 4, 1) + ")");
        EXPECT_EQ(f[h + 246], 1);
        EXPECT_EQ(f[h + 480], i == 2 ? 1 : 0);
    }
    // Several thousand keys need branch levels; Perl walks them like we do.
    auto mdx = MdxFile::open(FileSystem::native(), path, false);
    auto sorted = entries;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(walk(*mdx, 2), sorted);
    EXPECT_EQ(perlWalk(path, "X"), sorted);
    for (int t = 0; t < 4; ++t)
        EXPECT_TRUE(mdx->check(t).empty());
    std::size_t root = 512 * std::size_t{u32(f, 512 * std::size_t{u32(f, 544)})};
    EXPECT_NE(u32(f, root + 8 + 24 * u32(f, root)), 0u) << "the root is a branch";
}

TEST(Mdx, SeeksAndWalksEitherWay) {
    TempDir dir;
    auto mdx = MdxFile::create(FileSystem::native(), dir / "T.MDX", "T");
    std::vector<Entry> entries;
    // Long runs of equal keys spread over many leaves, in record order.
    for (std::uint32_t i = 1; i <= 2000; ++i)
        entries.emplace_back(padded(std::string(1, static_cast<char>('A' + i % 5)), 8), i);
    int tag = mdx->buildTag(charTag("T", 8), sourceOf(entries));
    auto c = mdx->cursor(tag);

    std::string b = padded("B", 8), bc = "BC";
    ASSERT_TRUE(c->seek(bytes(b), 1));
    EXPECT_EQ(c->current().recno, 1u);
    ASSERT_TRUE(c->seek(bytes(bc), 2));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c->current().key), 1), "C");
    ASSERT_TRUE(c->seekExact(bytes(b), 1001));
    EXPECT_EQ(c->current().recno, 1001u);
    ASSERT_TRUE(c->next());
    EXPECT_EQ(c->current().recno, 1006u);
    ASSERT_TRUE(c->prior());
    ASSERT_TRUE(c->prior());
    EXPECT_EQ(c->current().recno, 996u);
    EXPECT_FALSE(c->seekExact(bytes(b), 1002));
    EXPECT_EQ(c->current().recno, 1006u);
    std::string z = padded("Z", 8);
    EXPECT_FALSE(c->seek(bytes(z), 1));
    EXPECT_EQ(c->current().key, nullptr);
    ASSERT_TRUE(c->prior());
    EXPECT_EQ(c->current().recno, 1999u);
    ASSERT_TRUE(c->first());
    EXPECT_FALSE(c->prior());
    ASSERT_TRUE(c->next());
    EXPECT_EQ(c->current().recno, 5u);

    // The cursor finds its place again after the index changed under it.
    ASSERT_TRUE(c->seekExact(bytes(b), 1001));
    EXPECT_TRUE(mdx->removeKey(tag, bytes(b), 1001));
    mdx->insertKey(tag, bytes(b), 5001);
    ASSERT_TRUE(c->next());
    EXPECT_EQ(c->current().recno, 1006u);
    EXPECT_TRUE(mdx->removeKey(tag, bytes(b), 1006));
    ASSERT_TRUE(c->prior());
    EXPECT_EQ(c->current().recno, 996u);
    ASSERT_TRUE(c->seekExact(bytes(b), 5001));
    EXPECT_FALSE(c->next() && c->current().key[0] == 'B');
    EXPECT_TRUE(mdx->check(tag).empty());

    // An empty tag.
    int empty =
        mdx->buildTag(charTag("EMPTY", 8), [](std::uint8_t*, std::uint32_t&) { return false; });
    auto e = mdx->cursor(empty);
    EXPECT_FALSE(e->first());
    EXPECT_FALSE(e->last());
    EXPECT_FALSE(e->seek(bytes(b), 8));
    EXPECT_FALSE(mdx->removeKey(empty, bytes(b), 1));
    EXPECT_TRUE(mdx->check(empty).empty());
}

TEST(Mdx, RandomInsertsAndRemovesKeepTheTreeSound) {
    TempDir dir;
    auto path = dir / "R.MDX";
    std::mt19937 rng(97);
    for (bool descending : {false, true}) {
        SCOPED_TRACE(descending);
        auto mdx = MdxFile::create(FileSystem::native(), path, "R");
        TagInfo info = charTag("R", 40);
        info.descending = descending;
        std::vector<Entry> initial;
        std::set<Entry> model;
        std::uint32_t nextRecno = 1;
        auto randomKey = [&] {
            // Few distinct keys so that runs of equal keys cross leaves.
            return padded("KEY" + std::to_string(rng() % 150), 40);
        };
        for (int i = 0; i < 500; ++i) {
            initial.emplace_back(randomKey(), nextRecno++);
            model.insert(initial.back());
        }
        int tag = mdx->buildTag(info, sourceOf(initial));
        auto expected = [&] {
            std::vector<Entry> v(model.begin(), model.end());
            if (descending)
                std::stable_sort(v.begin(), v.end(),
                                 [](const Entry& a, const Entry& b) { return a.first > b.first; });
            return v;
        };
        for (int round = 0; round < 30; ++round) {
            mdx->beginUpdate();
            const bool growing = round % 10 < 6;
            for (int i = 0; i < 300; ++i) {
                if (growing ? rng() % 3 != 0 : rng() % 4 == 0) {
                    Entry e{randomKey(), nextRecno++};
                    mdx->insertKey(tag, bytes(e.first), e.second);
                    model.insert(e);
                } else if (!model.empty()) {
                    auto it = model.begin();
                    std::advance(it, static_cast<long>(rng() % model.size()));
                    EXPECT_TRUE(mdx->removeKey(tag, bytes(it->first), it->second));
                    model.erase(it);
                }
            }
            mdx->endUpdate();
            ASSERT_EQ(mdx->check(tag), std::vector<std::string>{}) << "round " << round;
            ASSERT_EQ(walk(*mdx, tag), expected()) << "round " << round;
        }
        // Down to nothing and back.
        while (!model.empty()) {
            EXPECT_TRUE(mdx->removeKey(tag, bytes(model.begin()->first), model.begin()->second));
            model.erase(model.begin());
        }
        EXPECT_TRUE(mdx->check(tag).empty());
        EXPECT_TRUE(walk(*mdx, tag).empty());
        std::string k = padded("AGAIN", 40);
        mdx->insertKey(tag, bytes(k), 1);
        mdx.reset();
        auto reopened = MdxFile::open(FileSystem::native(), path, false);
        EXPECT_EQ(walk(*reopened, 0), (std::vector<Entry>{{k, 1}}));
        EXPECT_TRUE(reopened->check(0).empty());
    }
}

TEST(Mdx, NumericAndDateTagsOrderByValue) {
    TempDir dir;
    auto mdx = MdxFile::create(FileSystem::native(), dir / "ND.MDX", "ND");
    std::mt19937 rng(5);
    std::vector<double> values;
    std::vector<Entry> numbers, dates;
    for (std::uint32_t i = 1; i <= 1500; ++i) {
        double v = static_cast<double>(static_cast<int>(rng() % 20001) - 10000) / 100.0;
        values.push_back(v);
        std::string k(kNumericKeyLength, '\0');
        encodeNumericKey(v, reinterpret_cast<std::uint8_t*>(k.data()));
        numbers.emplace_back(k, i);
        std::string d(kDateKeyLength, '\0');
        std::optional<Date> date;
        if (i % 7 != 0)
            date = dateFromJulianDay(2451194 + static_cast<std::int32_t>(rng() % 3000) - 1500);
        encodeDateKey(date, reinterpret_cast<std::uint8_t*>(d.data()));
        dates.emplace_back(d, i);
    }
    TagInfo n = charTag("COST", kNumericKeyLength, "COST");
    n.type = KeyType::Numeric;
    TagInfo d = charTag("BOUGHT", kDateKeyLength, "PURCHDATE");
    d.type = KeyType::Date;
    int nt = mdx->buildTag(n, sourceOf(numbers));
    int dt = mdx->buildTag(d, sourceOf(dates));
    // Half the entries go and come back through the tree.
    for (std::uint32_t i = 1; i <= 1500; i += 2) {
        const auto& e = numbers[i - 1];
        EXPECT_TRUE(mdx->removeKey(nt, bytes(e.first), i));
        EXPECT_TRUE(mdx->removeKey(dt, bytes(dates[i - 1].first), i));
    }
    for (std::uint32_t i = 1; i <= 1500; i += 2) {
        mdx->insertKey(nt, bytes(numbers[i - 1].first), i);
        mdx->insertKey(dt, bytes(dates[i - 1].first), i);
    }
    std::vector<std::pair<double, std::uint32_t>> got, want;
    for (auto& e : walk(*mdx, nt))
        got.emplace_back(decodeNumericKey(bytes(e.first)), e.second);
    for (std::uint32_t i = 1; i <= 1500; ++i)
        want.emplace_back(values[i - 1], i);
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);

    auto walked = walk(*mdx, dt);
    ASSERT_EQ(walked.size(), 1500u);
    for (std::size_t i = 0; i < 214; ++i)
        EXPECT_FALSE(decodeDateKey(bytes(walked[i].first)).has_value()) << "blank dates first";
    for (std::size_t i = 1; i < walked.size(); ++i)
        EXPECT_LE(compareKeys(KeyType::Date, bytes(walked[i - 1].first), bytes(walked[i].first),
                              kDateKeyLength),
                  0);
    EXPECT_TRUE(mdx->check(nt).empty());
    EXPECT_TRUE(mdx->check(dt).empty());
}

TEST(Mdx, RemoveFindsKeysStoredUnderOtherRules) {
    TempDir dir;
    auto mdx = MdxFile::create(FileSystem::native(), dir / "F.MDX", "F");
    std::vector<Entry> entries;
    for (std::uint32_t i = 1; i <= 1500; ++i)
        entries.emplace_back(padded("V" + std::to_string(i), 12), i);
    int tag = mdx->buildTag(charTag("F", 12), sourceOf(entries));
    // The key this record would get now differs from the one stored.
    std::string wrong = padded("V999x", 12);
    EXPECT_TRUE(mdx->removeKey(tag, bytes(wrong), 999));
    EXPECT_FALSE(mdx->removeKey(tag, bytes(wrong), 999));
    EXPECT_FALSE(mdx->removeKey(tag, bytes(wrong), 4000));
    auto left = walk(*mdx, tag);
    EXPECT_EQ(left.size(), 1499u);
    EXPECT_EQ(
        std::count_if(left.begin(), left.end(), [](const Entry& e) { return e.second == 999; }), 0);
    // Inserting an entry that is already there changes nothing.
    mdx->insertKey(tag, bytes(entries[0].first), 1);
    EXPECT_EQ(walk(*mdx, tag).size(), 1499u);
    EXPECT_TRUE(mdx->check(tag).empty());
}

TEST(Mdx, UniqueTagsKeepTheFirstRecordOfEachKey) {
    TempDir dir;
    auto mdx = MdxFile::create(FileSystem::native(), dir / "U.MDX", "U");
    TagInfo info = charTag("U", 4);
    info.unique = true;
    std::vector<Entry> entries{{"BBBB", 3}, {"AAAA", 2}, {"BBBB", 1}, {"CCCC", 4}};
    int tag = mdx->buildTag(info, sourceOf(entries));
    EXPECT_EQ(walk(*mdx, tag), (std::vector<Entry>{{"AAAA", 2}, {"BBBB", 1}, {"CCCC", 4}}));
    mdx->insertKey(tag, bytes(std::string("CCCC")), 5);
    mdx->insertKey(tag, bytes(std::string("DDDD")), 6);
    EXPECT_EQ(walk(*mdx, tag).size(), 4u);
    EXPECT_TRUE(mdx->tags()[tag].unique);
}

TEST(Mdx, DroppedTagsGiveTheirPagesBack) {
    TempDir dir;
    auto path = dir / "D.MDX";
    auto mdx = MdxFile::create(FileSystem::native(), path, "D");
    std::vector<Entry> entries;
    for (std::uint32_t i = 1; i <= 5000; ++i)
        entries.emplace_back(padded(std::to_string(i * 31 % 5003), 30), i);
    mdx->buildTag(charTag("FIRST", 30), sourceOf(entries));
    mdx->buildTag(charTag("SECOND", 30), sourceOf(entries));
    const auto size = std::filesystem::file_size(path);
    // The sort tag is dropped and rebuilt over and over: the file must not
    // grow with it (but for the block of a replaced tag's header, held back
    // until the header no longer names it).
    std::uintmax_t after = 0;
    for (int i = 0; i < 5; ++i) {
        mdx->dropTag("first");
        EXPECT_EQ(mdx->tags().size(), 1u);
        mdx->buildTag(charTag("FIRST", 30), sourceOf(entries));
        mdx->buildTag(charTag("SECOND", 30), sourceOf(entries)); // replaces it
        if (i == 0)
            after = std::filesystem::file_size(path);
    }
    EXPECT_LE(after, size + 1024);
    EXPECT_EQ(std::filesystem::file_size(path), after);
    ASSERT_EQ(mdx->tags().size(), 2u);
    for (int t = 0; t < 2; ++t) {
        EXPECT_TRUE(mdx->check(t).empty());
        EXPECT_EQ(walk(*mdx, t).size(), entries.size());
    }
    // The tag built last sits at the end of the file: dropping it cuts the
    // file, and what stays reads back sound after reopening.
    mdx->buildTag(charTag("THIRD", 30), sourceOf(entries));
    const auto grown = std::filesystem::file_size(path);
    mdx->dropTag("THIRD");
    EXPECT_LT(std::filesystem::file_size(path), grown);
    mdx.reset();
    mdx = MdxFile::open(FileSystem::native(), path, true);
    ASSERT_EQ(mdx->tags().size(), 2u);
    for (int t = 0; t < 2; ++t) {
        EXPECT_TRUE(mdx->check(t).empty());
        EXPECT_EQ(walk(*mdx, t).size(), entries.size());
    }
    EXPECT_EQ(errorKind([&] { mdx->dropTag("NOSUCH"); }), DatabaseError::Kind::NotFound);
    mdx->dropTag("FIRST");
    mdx->dropTag("SECOND");
    EXPECT_EQ(std::filesystem::file_size(path), 2048u);
    std::string f = readFile(path);
    EXPECT_EQ(u16(f, 28), 0);
    EXPECT_EQ(u32(f, 32), 4u);
}

TEST(Mdx, RefusesBadTagDefinitions) {
    TempDir dir;
    auto mdx = MdxFile::create(FileSystem::native(), dir / "B.MDX", "B");
    auto none = [](std::uint8_t*, std::uint32_t&) { return false; };
    using K = DatabaseError::Kind;
    EXPECT_EQ(errorKind([&] { mdx->buildTag(charTag("TOOLONGNAME", 10), none); }), K::InvalidValue);
    EXPECT_EQ(errorKind([&] { mdx->buildTag(charTag("1ST", 10), none); }), K::InvalidValue);
    EXPECT_EQ(errorKind([&] { mdx->buildTag(charTag("WIDE", 101), none); }), K::InvalidValue);
    TagInfo n = charTag("NUM", 8);
    n.type = KeyType::Numeric;
    EXPECT_EQ(errorKind([&] { mdx->buildTag(n, none); }), K::InvalidValue);
    EXPECT_EQ(errorKind([&] { mdx->buildTag(charTag("LONG", 10, std::string(221, 'A')), none); }),
              K::InvalidExpression);
    for (int i = 0; i < 47; ++i)
        mdx->buildTag(charTag("T" + std::to_string(i), 10), none);
    EXPECT_EQ(errorKind([&] { mdx->buildTag(charTag("ONEMORE", 10), none); }), K::General);
    EXPECT_EQ(mdx->tags().size(), 47u);
    auto ro = MdxFile::open(FileSystem::native(), dir / "B.MDX", false);
    EXPECT_EQ(errorKind([&] { ro->dropTag("T1"); }), K::General);
}

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

TEST(Mdx, RefreshSeesWhatAnotherWriterDid) {
    TempDir dir;
    auto path = dir / "S.MDX";
    std::vector<Entry> entries;
    for (std::uint32_t i = 1; i <= 400; ++i)
        entries.emplace_back(padded(std::to_string(i), 10), i);
    auto a = MdxFile::create(FileSystem::native(), path, "S");
    a->buildTag(charTag("S", 10), sourceOf(entries));
    auto b = MdxFile::open(FileSystem::native(), path, true);
    auto cb = b->cursor(0);
    ASSERT_TRUE(cb->first());

    std::string k = padded("0NEW", 10);
    a->insertKey(0, bytes(k), 401);
    b->refresh();
    ASSERT_TRUE(cb->first());
    EXPECT_EQ(cb->current().recno, 401u);
    b->insertKey(0, bytes(padded("0OTHER", 10)), 402);
    a->refresh();
    EXPECT_EQ(walk(*a, 0).size(), 402u);
    a->dropTag("S");
    a->buildTag(charTag("OTHER", 10), sourceOf(entries));
    b->refresh();
    ASSERT_EQ(b->tags().size(), 1u);
    EXPECT_EQ(b->tags()[0].name, "OTHER");
    EXPECT_EQ(walk(*b, 0).size(), 400u);
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
