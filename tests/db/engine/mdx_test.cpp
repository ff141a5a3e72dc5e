#include "db/engine/mdxtests.h"

using namespace shelvix::db;
using namespace shelvix::test::mdxtest;
using shelvix::test::readFile;
using shelvix::test::TempDir;
using shelvix::test::writeFile;

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
    // grow with it.
    for (int i = 0; i < 5; ++i) {
        mdx->dropTag("first");
        EXPECT_EQ(mdx->tags().size(), 1u);
        mdx->buildTag(charTag("FIRST", 30), sourceOf(entries));
        mdx->buildTag(charTag("SECOND", 30), sourceOf(entries)); // replaces it
    }
    EXPECT_EQ(std::filesystem::file_size(path), size);
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
