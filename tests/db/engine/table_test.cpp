#include "core/codec.h"
#include "db/engine/table.h"
#include "support/tempdir.h"
#include "support/tool.h"

#include <cstdio>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using namespace shelvix::db;
using shelvix::test::readFile;
using shelvix::test::TempDir;
using shelvix::test::writeFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Kind = DatabaseError::Kind;

namespace {

std::vector<FieldDef> bookFields() {
    return {FieldDef::text("Author", 30), FieldDef::text("Title", 40), FieldDef::integer("YearPub"),
            FieldDef::floating("Cost"),   FieldDef::date("PurchDate"), FieldDef::logical("IsRead")};
}

std::uint32_t u32(const std::string& s, std::size_t at) {
    return std::uint32_t(std::uint8_t(s[at])) | std::uint32_t(std::uint8_t(s[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(s[at + 2])) << 16 |
           std::uint32_t(std::uint8_t(s[at + 3])) << 24;
}
std::uint16_t u16(const std::string& s, std::size_t at) {
    return std::uint16_t(std::uint8_t(s[at]) | std::uint8_t(s[at + 1]) << 8);
}

void addBook(Table& t, const std::string& author, const std::string& title, const std::string& year,
             std::optional<double> cost, std::optional<Date> date) {
    t.insert();
    t.setText("Author", author);
    t.setText("title", title);
    t.setText("YEARPUB", year);
    t.setNumber("Cost", cost);
    t.setDate("PurchDate", date);
    t.post();
}

std::vector<std::uint32_t> visibleRecnos(Table& t) {
    std::vector<std::uint32_t> out;
    for (t.first(); !t.eof(); t.next())
        out.push_back(t.recno());
    return out;
}

struct CountingObserver : TableObserver {
    int data = 0, current = 0;
    void tableDataChanged() override { ++data; }
    void tableCurrentChanged() override { ++current; }
};

} // namespace

TEST(Table, CreatesAnEmptyTableInTheDbaseIvLayout) {
    TempDir dir;
    Table::create(dir / "BOOKS.DBF", bookFields());
    std::string f = readFile(dir / "BOOKS.DBF");
    const std::size_t headerLength = 32 + 32 * 6 + 1;
    ASSERT_EQ(f.size(), headerLength + 1);
    EXPECT_EQ(std::uint8_t(f[0]), 0x03);
    EXPECT_GE(std::uint8_t(f[1]), 126); // YY since 1900
    EXPECT_EQ(u32(f, 4), 0u);
    EXPECT_EQ(u16(f, 8), headerLength);
    EXPECT_EQ(u16(f, 10), 1 + 30 + 40 + 11 + 20 + 8 + 1);
    EXPECT_EQ(f[28], 0);
    EXPECT_EQ(std::uint8_t(f[29]), 0x57);
    EXPECT_EQ(f.substr(32, 11), std::string("AUTHOR\0\0\0\0\0", 11));
    EXPECT_EQ(f[32 + 32 * 2 + 11], 'N');
    EXPECT_EQ(f[32 + 32 * 2 + 16], 11);
    EXPECT_EQ(f[32 + 32 * 3 + 16], 20);
    EXPECT_EQ(f[32 + 32 * 3 + 17], 4);
    EXPECT_EQ(f[32 + 32 * 4 + 11], 'D');
    EXPECT_EQ(std::uint8_t(f[headerLength - 1]), 0x0D);
    EXPECT_EQ(std::uint8_t(f.back()), 0x1A);

    auto t = Table::open(dir / "BOOKS.DBF", OpenMode::ReadOnly);
    EXPECT_EQ(t->fieldCount(), 6);
    EXPECT_EQ(t->field(1).name, "TITLE");
    EXPECT_EQ(t->fieldIndex("purchdate"), 4);
    EXPECT_EQ(t->codePage(), CodePage::Windows1252);
    EXPECT_TRUE(t->bof() && t->eof());
    EXPECT_EQ(t->recordCount(), 0u);
    EXPECT_TRUE(t->check().empty());

    EXPECT_THROW(Table::create(dir / "X.DBF", {}), DatabaseError);
    EXPECT_THROW(Table::create(dir / "X.DBF", {FieldDef::text("A", 5), FieldDef::text("a", 5)}),
                 DatabaseError);
    EXPECT_THROW(Table::create(dir / "X.DBF", {FieldDef::text("TooLongName", 5)}), DatabaseError);
    EXPECT_THROW(Table::create(dir / "X.DBF", {FieldDef::text("A", 300)}), DatabaseError);
}

TEST(Table, WritesAndReadsBackRecords) {
    TempDir dir;
    auto path = dir / "BOOKS.DBF";
    Table::create(path, bookFields());
    {
        auto t = Table::open(path, OpenMode::Shared);
        addBook(*t, "Tolkien, J.R.R.", "The Hobbit", "1937", 12.5, Date{1999, 1, 15});
        addBook(*t, "Austen, Jane", "Pride and Prejudice", "", 2.675, std::nullopt);
        addBook(*t, "Zola, \xC9mile", "Germinal", "-12", -3.25, Date{2000, 2, 29});
        EXPECT_EQ(t->recno(), 3u);
        EXPECT_EQ(t->state(), Table::State::Browse);

        ASSERT_TRUE(t->goToRecord(2));
        t->edit();
        t->setText("Title", "Emma, a longer title than the forty characters of this field");
        t->setText("IsRead", "T");
        t->post();
        EXPECT_EQ(t->text("Title"), "Emma, a longer title than the forty char");

        ASSERT_TRUE(t->goToRecord(1));
        t->edit();
        t->setText("Title", "never kept");
        t->cancel();
        EXPECT_EQ(t->text("Title"), "The Hobbit");
    }
    std::string f = readFile(path);
    const std::size_t recLen = 111;
    EXPECT_EQ(u32(f, 4), 3u);
    ASSERT_EQ(f.size(), 225 + 3 * recLen + 1);
    EXPECT_EQ(std::uint8_t(f.back()), 0x1A);
    std::string rec2 = f.substr(225 + recLen, recLen);
    EXPECT_EQ(rec2.substr(71, 11), std::string(11, ' '));
    EXPECT_EQ(rec2.substr(82, 20), "              2.6750");
    EXPECT_EQ(rec2.substr(102, 8), "        ");
    EXPECT_EQ(rec2.substr(110, 1), "T");

    auto t = Table::open(path, OpenMode::Exclusive);
    EXPECT_EQ(t->recordCount(), 3u);
    EXPECT_EQ(t->text("author"), "Tolkien, J.R.R.");
    EXPECT_EQ(t->raw("YearPub"), "       1937");
    EXPECT_EQ(t->number("Cost"), 12.5);
    EXPECT_EQ(t->date("PurchDate"), (Date{1999, 1, 15}));
    t->next();
    EXPECT_FALSE(t->number("YearPub").has_value());
    EXPECT_TRUE(t->isEmpty("PurchDate"));
    t->next();
    EXPECT_EQ(t->text("Author"), "Zola, \xC9mile");
    EXPECT_EQ(t->number("YearPub"), -12);
    t->next();
    EXPECT_TRUE(t->eof());
    EXPECT_EQ(t->recno(), 3u);

    // Delete marks the record; it stays until pack.
    t->first();
    t->deleteRecord();
    EXPECT_EQ(t->recno(), 2u);
    EXPECT_EQ(t->recordCount(), 2u);
    EXPECT_EQ(readFile(path)[225], '*');
    t->setShowDeleted(true);
    EXPECT_EQ(t->recordCount(), 3u);
    t->first();
    EXPECT_TRUE(t->isDeleted());
    t->recall();
    EXPECT_EQ(readFile(path)[225], ' ');
    EXPECT_TRUE(t->check().empty());
}

TEST(Table, RejectsBadFieldAccessAndValues) {
    TempDir dir;
    auto path = dir / "BOOKS.DBF";
    Table::create(path, bookFields());
    auto t = Table::open(path, OpenMode::Exclusive);
    try {
        t->text("Publisher");
        FAIL();
    } catch (const DatabaseError& e) {
        EXPECT_EQ(e.kind(), Kind::NotFound);
        EXPECT_THAT(e.what(), HasSubstr("Publisher"));
    }
    EXPECT_THROW(t->setText("Author", "x"), DatabaseError); // not editing
    EXPECT_THROW(t->edit(), DatabaseError);                 // no record
    t->insert();
    try {
        t->setText("YearPub", "19x7");
        FAIL();
    } catch (const DatabaseError& e) {
        EXPECT_STREQ(e.what(), "'19x7' is not a valid floating point value for field 'YEARPUB'");
    }
    EXPECT_THROW(t->setNumber("YearPub", 123456789012.0), DatabaseError); // wider than N(11,0)
    EXPECT_THROW(t->setText("PurchDate", "20010231"), DatabaseError);
    EXPECT_THROW(t->setDate("Author", Date{2001, 1, 1}), DatabaseError);
    EXPECT_THROW(t->first(), DatabaseError); // a pending insert must be posted or cancelled
    t->setText("YearPub", " 1999 ");
    t->post();
    EXPECT_EQ(t->number("YearPub"), 1999);
    EXPECT_EQ(t->recordCount(), 1u);
    t.reset();

    auto ro = Table::open(path, OpenMode::ReadOnly);
    EXPECT_THROW(ro->insert(), DatabaseError);
    EXPECT_THROW(ro->edit(), DatabaseError);
    EXPECT_THROW(ro->deleteRecord(), DatabaseError);
}

TEST(Table, ReadsTablesWrittenByOtherTools) {
    struct Row {
        std::string author;
        std::optional<double> year, cost;
        std::optional<Date> date;
        bool deleted;
    };
    // independent/books_small.txt
    const std::vector<Row> expected = {
        {"Tolkien, J.R.R.", 1937, 12.5, Date{1999, 1, 15}, false},
        {"austen, jane", 1813, 7.99, Date{2001, 7, 4}, false},
        {"Asimov, Isaac", 1951, 5, Date{1999, 1, 15}, false},
        {"", std::nullopt, std::nullopt, std::nullopt, false},
        {"Tolkien, J.R.R.", 1977, -3.25, Date{2005, 3, 10}, false},
        {"Zola, \xC9mile", 1885, 123456789.1234, Date{1987, 12, 31}, false},
        {"\xE9lan, lower-case e-acute", 2001, 2.675, Date{2002, 2, 2}, false},
        {"McDonald, Ann", 99999999999.0, 1234567890.5, Date{2010, 1, 1}, false},
        {"Deleted, Author", 1999, 1, Date{1999, 1, 1}, true},
        {"Aardvark, Al", 2000, 0.005, Date{2000, 2, 29}, false},
        {"O'Brien, Pat", 2000, 0.015, Date{2000, 2, 29}, false},
    };
    for (std::string name : {"BOOKS1", "PBOOKS1"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        auto path = dir.copyFixture("independent/" + name + ".DBF");
        dir.copyFixture("independent/" + name + ".MDX");
        auto t = Table::open(path, OpenMode::ReadOnly);
        EXPECT_EQ(t->codePage(), name == "BOOKS1" ? CodePage::Cp437 : CodePage::Windows1252);
        EXPECT_EQ(t->languageDriver(), name == "BOOKS1" ? 0x1B : 0x57);
        EXPECT_EQ(t->recordCount(), 10u);
        t->setShowDeleted(true);
        ASSERT_EQ(t->recordCount(), expected.size());
        std::size_t i = 0;
        for (t->first(); !t->eof(); t->next(), ++i) {
            SCOPED_TRACE(i + 1);
            EXPECT_EQ(t->text("Author"), expected[i].author);
            EXPECT_EQ(t->number("YearPub"), expected[i].year);
            EXPECT_EQ(t->number("Cost"), expected[i].cost);
            EXPECT_EQ(t->date("PurchDate"), expected[i].date);
            EXPECT_EQ(t->isDeleted(), expected[i].deleted);
        }
        EXPECT_EQ(i, expected.size());
    }

    TempDir dir;
    auto path = dir.copyFixture("third-party/TEST.DBF");
    dir.copyFixture("third-party/TEST.MDX");
    auto t = Table::open(path, OpenMode::ReadOnly);
    std::vector<std::string> seen;
    t->scan([&](const RecordView& r) {
        seen.push_back(std::string(r.text("test1")) + "=" + std::string(r.text(1)));
        return false;
    });
    EXPECT_THAT(seen, ElementsAre("test1=10", "test2=20", "0test3=15"));
}

TEST(Table, IndependentReadersSeeWhatWeWrote) {
    TempDir dir;
    auto path = dir / "OURS.DBF";
    Table::create(path, bookFields());
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        addBook(*t, "Zola, \xC9mile", "Germinal", "1885", 123456789.1234, Date{1987, 12, 31});
        addBook(*t, "", "Blank", "", std::nullopt, std::nullopt);
        addBook(*t, "Gone", "Deleted", "1999", 1, Date{1999, 1, 1});
        t->deleteRecord();
        addBook(*t, "O'Brien, Pat", "Half", "2000", 2.675, Date{2000, 2, 29});
        t->goToRecord(4);
        t->edit();
        t->setText("IsRead", "F");
        t->post();
    }
    std::string py =
        shelvix::test::commandOutput("/usr/bin/python3 -c \"import dbfread\n"
                                     "t = dbfread.DBF('" +
                                     path.string() +
                                     "', encoding='cp1252')\n"
                                     "for r in t: print('|'.join(str(v) for v in r.values()))\n"
                                     "print(len(t.deleted))\"");
    EXPECT_EQ(py, "Zola, \xC3\x89mile|Germinal|1885|123456789.1234|1987-12-31|None\n"
                  "|Blank|None|None|None|None\n"
                  "O'Brien, Pat|Half|2000|2.675|2000-02-29|False\n"
                  "1\n");
    std::string pl = shelvix::test::commandOutput(
        "/usr/bin/perl -MXBase -e '$t = XBase->new(\"" + path.string() +
        "\") or die; for $i (0 .. $t->last_record) { @r = $t->get_record($i); "
        "print join(\"|\", map { defined $_ ? $_ : \"u\" } @r), \"\\n\" }'");
    EXPECT_EQ(pl, "0|Zola, \xC9mile|Germinal|1885|123456789.1234|19871231|u\n"
                  "0||Blank|u|u|u|u\n"
                  "1|Gone|Deleted|1999|1|19990101|u\n"
                  "0|O'Brien, Pat|Half|2000|2.675|20000229|0\n");
}

TEST(Table, FilterDecidesWhatMovesCountsAndRowsSee) {
    TempDir dir;
    auto path = dir / "BOOKS.DBF";
    Table::create(path, bookFields());
    auto t = Table::open(path, OpenMode::Exclusive);
    for (int i = 1; i <= 10; ++i)
        addBook(*t, "A" + std::to_string(i), "T", std::to_string(1990 + i), i, std::nullopt);
    t->goToRecord(4);
    t->deleteRecord();

    EXPECT_EQ(visibleRecnos(*t), (std::vector<std::uint32_t>{1, 2, 3, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(t->recordCount(), 9u);

    int calls = 0;
    t->setFilter([&](const RecordView& r) {
        ++calls;
        return r.number(r.fieldIndex("YEARPUB")).value_or(0) >= 1996;
    });
    EXPECT_EQ(calls, 0); // takes effect at the next move
    EXPECT_EQ(t->recordCount(), 5u);
    EXPECT_EQ(visibleRecnos(*t), (std::vector<std::uint32_t>{6, 7, 8, 9, 10}));
    t->last();
    EXPECT_TRUE(t->eof());
    t->prior();
    EXPECT_EQ(t->recno(), 9u);
    EXPECT_EQ(t->rowCount(), 5u);
    EXPECT_EQ(t->recordAtRow(0), 6u);
    EXPECT_EQ(t->currentRow(), 3u);
    ASSERT_TRUE(t->moveToRow(1));
    EXPECT_EQ(t->recno(), 7u);
    EXPECT_FALSE(t->goToRecord(2)); // filtered out
    EXPECT_EQ(t->recordAtRow(5), 0u);

    std::vector<std::uint32_t> after;
    EXPECT_EQ(t->scanAfterCurrent([&](const RecordView& r) {
        after.push_back(r.recno());
        return r.recno() == 9;
    }),
              9u);
    EXPECT_EQ(after, (std::vector<std::uint32_t>{8, 9}));
    EXPECT_EQ(t->recno(), 7u); // the scan did not move the table

    auto mark = t->bookmark();
    t->first();
    EXPECT_TRUE(t->gotoBookmark(mark));
    EXPECT_EQ(t->recno(), 7u);

    // Editing a record so that it fails the filter takes it out of the count.
    t->edit();
    t->setText("YearPub", "1900");
    t->post();
    EXPECT_EQ(t->recordCount(), 4u);
    EXPECT_EQ(t->rowCount(), 4u);

    t->setFilter([](const RecordView&) { return false; });
    t->first();
    EXPECT_TRUE(t->bof() && t->eof());
    EXPECT_EQ(t->recno(), 0u);
    EXPECT_EQ(t->recordCount(), 0u);
    EXPECT_TRUE(t->isEmpty("Author"));

    t->setFilter(nullptr);
    t->setShowDeleted(true);
    EXPECT_EQ(t->recordCount(), 10u);
    EXPECT_EQ(t->rowCount(), 10u);
}

TEST(Table, ALargeTableCountedInTwoHalvesCountsAsOne) {
    TempDir dir;
    auto path = dir / "LARGE.DBF";
    Table::create(path, {FieldDef::integer("Seq")});
    auto t = Table::open(path, OpenMode::Exclusive);
    const int n = 250001; // past the size counted in halves, and odd
    {
        Table::Bulk bulk(*t);
        for (int i = 1; i <= n; ++i) {
            t->insert();
            t->setNumber("Seq", i);
            t->post();
            if (i % 7 == 0)
                t->deleteRecord();
        }
        bulk.finish();
    }
    for (int m : {1, 3, 1000}) {
        SCOPED_TRACE(m);
        t->setFilter([m](const RecordView& r) { return int(*r.number(0)) % m == 0; });
        std::uint32_t expected = 0;
        for (int i = 1; i <= n; ++i)
            expected += i % 7 != 0 && i % m == 0 ? 1 : 0;
        EXPECT_EQ(t->recordCount(), expected);
    }
}

TEST(Table, ObserversHearOnceAfterControlsAreEnabled) {
    TempDir dir;
    auto path = dir / "BOOKS.DBF";
    Table::create(path, bookFields());
    auto t = Table::open(path, OpenMode::Exclusive);
    CountingObserver o;
    t->addObserver(&o);
    addBook(*t, "A", "T", "1", 1, std::nullopt);
    EXPECT_GE(o.data, 1);
    o = CountingObserver();

    t->disableControls();
    t->disableControls();
    for (int i = 0; i < 5; ++i)
        addBook(*t, "B", "T", "1", 1, std::nullopt);
    for (t->first(); !t->eof(); t->next()) {
    }
    t->enableControls();
    EXPECT_EQ(o.data + o.current, 0);
    t->enableControls();
    EXPECT_EQ(o.data, 1);
    t->first();
    EXPECT_EQ(o.current, 2);
    t->removeObserver(&o);
    t->next();
    EXPECT_EQ(o.current, 2);
}

TEST(Table, RefusesUnreadableFilesWithoutTouchingThem) {
    TempDir dir;
    auto good = dir / "GOOD.DBF";
    Table::create(good, bookFields());
    {
        auto t = Table::open(good, OpenMode::Exclusive);
        addBook(*t, "A", "T", "1", 1, std::nullopt);
        addBook(*t, "B", "T", "2", 2, std::nullopt);
    }
    const std::string bytes = readFile(good);
    auto variant = [&](auto change) {
        std::string b = bytes;
        change(b);
        return b;
    };
    struct Case {
        const char* what;
        std::string bytes;
        Kind kind;
    };
    std::vector<Case> cases = {
        {"dBASE 7", variant([](std::string& b) { b[0] = 0x04; }), Kind::Unsupported},
        {"encrypted", variant([](std::string& b) { b[15] = 1; }), Kind::Unsupported},
        {"truncated records", bytes.substr(0, bytes.size() - 50), Kind::Corrupt},
        {"count too large", variant([](std::string& b) { b[4] = 100; }), Kind::Corrupt},
        {"count huge", variant([](std::string& b) { b[7] = char(0xFF); }), Kind::Corrupt},
        {"record length", variant([](std::string& b) { b[10] = char(b[10] + 1); }), Kind::Corrupt},
        {"header length", variant([](std::string& b) { b[8] = char(b[8] - 32); }), Kind::Corrupt},
        {"header past end", variant([](std::string& b) { b[9] = char(0x7F); }), Kind::Corrupt},
        {"no terminator", variant([](std::string& b) { b[224] = 'X'; }), Kind::Corrupt},
        {"zero fields", variant([](std::string& b) {
             b[8] = 33;
             b[9] = 0;
             b[32] = 0x0D;
         }),
         Kind::Corrupt},
        {"zero width", variant([](std::string& b) { b[32 + 16] = 0; }), Kind::Corrupt},
        {"unknown type", variant([](std::string& b) { b[32 + 11] = 'Q'; }), Kind::Unsupported},
        {"header only", bytes.substr(0, 20), Kind::Corrupt},
        {"empty", std::string(), Kind::Corrupt},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Claims an index that is missing: clearing the flag would be a write.
        if (c.bytes.size() > 28)
            c.bytes[28] = 1;
        auto path = dir / "BAD.DBF";
        writeFile(path, c.bytes);
        Table::removeMdxByte(path);
        for (OpenMode mode : {OpenMode::Exclusive, OpenMode::Shared, OpenMode::ReadOnly}) {
            try {
                Table::open(path, mode);
                ADD_FAILURE() << "opened";
            } catch (const DatabaseError& e) {
                EXPECT_EQ(e.kind(), c.kind) << e.what();
                EXPECT_THAT(e.what(), HasSubstr("BAD.DBF"));
            }
        }
        EXPECT_EQ(readFile(path), c.bytes);
    }
    EXPECT_THROW(Table::open(dir / "MISSING.DBF", OpenMode::Shared), DatabaseError);
}

TEST(Table, RemoveMdxByteClearsOnlyTheFlagOfATable) {
    TempDir dir;
    auto path = dir.copyFixture("independent/PBOOKS1.DBF");
    std::string before = readFile(path);
    ASSERT_EQ(before[28], 1);
    Table::removeMdxByte(path);
    std::string after = readFile(path);
    EXPECT_EQ(after[28], 0);
    after[28] = 1;
    EXPECT_EQ(after, before);
    // Without its index the table opens.
    auto t = Table::open(path, OpenMode::Shared);
    EXPECT_TRUE(t->tags().empty());

    writeFile(dir / "NOTES.TXT", "hello, this is no table");
    Table::removeMdxByte(dir / "NOTES.TXT");
    EXPECT_EQ(readFile(dir / "NOTES.TXT"), "hello, this is no table");
    Table::removeMdxByte(dir / "MISSING.DBF");
}

// Messages are UTF-8: the file name as it is, table text decoded from the
// table's code page, whether it came from the file or from the caller.
TEST(Table, MessagesAreUtf8WithTableTextDecodedFromItsCodePage) {
    TempDir dir;
    const auto path = dir / "B\xC3\xBC"
                            "cher.DBF"; // Bücher.DBF
    Table::create(path, bookFields());
    auto message = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const DatabaseError& e) {
            EXPECT_TRUE(shelvix::core::isValidUtf8(e.what())) << e.what();
            return std::string(e.what());
        }
        ADD_FAILURE() << "no error";
        return std::string();
    };
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        t->insert();
        EXPECT_EQ(message([&] { t->setText("YearPub", "\xE9t\xE9"); }),
                  "'\xC3\xA9t\xC3\xA9' is not a valid floating point value for field 'YEARPUB'");
        EXPECT_EQ(message([&] { t->setText("PurchDate", "1\xB0"); }),
                  "'1\xC2\xB0' is not a valid date for field 'PURCHDATE'");
        EXPECT_EQ(message([&] { (void)t->fieldIndex("T\xEAte"); }),
                  "Field 'T\xC3\xAAte' not found in table B\xC3\xBC"
                  "cher.DBF");
        t->cancel();
        EXPECT_THAT(message([&] { t->addTag("T", "Upper(Auteur\xE9)"); }),
                    HasSubstr("'Upper(Auteur\xC3\xA9)'"));
        addBook(*t, "A", "T", "1", 1, std::nullopt);
    }
    // The same bytes in a DOS table read in code page 437 (0x82 is é there).
    std::string bytes = readFile(path);
    bytes[29] = 0x01;
    const std::size_t yearPub = 32 + 32 * 6 + 1 + 1 + 30 + 40;
    bytes.replace(yearPub, 3, "\x82\x82\x82");
    writeFile(path, bytes);
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        t->insert();
        EXPECT_EQ(message([&] { t->setText("YearPub", "\x82"); }),
                  "'\xC3\xA9' is not a valid floating point value for field 'YEARPUB'");
        t->cancel();
        auto damage = t->check();
        ASSERT_EQ(damage.size(), 1u) << ::testing::PrintToString(damage);
        EXPECT_THAT(damage[0], HasSubstr("holds '\xC3\xA9\xC3\xA9\xC3\xA9"));
    }
    writeFile(path, bytes.substr(0, 40));
    EXPECT_THAT(message([&] { Table::open(path, OpenMode::ReadOnly); }), HasSubstr("B\xC3\xBC"
                                                                                   "cher.DBF"));
}
