#include "core/codec.h"
#include "db/bookfixture.h"
#include "db/bookgen.h"
#include "db/displayformats.h"
#include "db/fieldtable.h"
#include "db/textcodec.h"
#include "find/criteria.h"
#include "find/searchfilter.h"

#include <gtest/gtest.h>
#include <random>

using namespace shelvix;
using namespace shelvix::find;
using shelvix::test::BookTable;
using shelvix::test::TempDir;

namespace {

using Row = std::pair<int, QString>; // field number, cell text as typed with its operator

// Items of several levels, each given as its rows, saved as the form saves them.
std::vector<SearchItem> levels(const std::vector<std::vector<std::pair<Row, int>>>& plan) {
    db::DisplayFormats formats;
    formats.setDateFormat(7);
    Criteria c;
    for (const auto& level : plan) {
        std::array<QString, kRows> cells{};
        std::array<int, kRows> ops{};
        ops.fill(OpEqual);
        for (const auto& [row, op] : level) {
            cells[std::size_t(row.first - 1)] = row.second;
            ops[std::size_t(row.first - 1)] = op;
        }
        EXPECT_EQ(c.SaveFields(cells, ops, formats).status, SaveResult::Saved);
        c.nextLevel();
    }
    return c.items();
}
std::vector<SearchItem> one(int field, const QString& cell, int op = OpEqual) {
    return levels({{{{field, cell}, op}}});
}

// The record numbers the filter passes.
std::vector<std::uint32_t> matches(db::Table& table, const std::vector<SearchItem>& items) {
    table.setFilter(SearchFilter(items, table));
    std::vector<std::uint32_t> out;
    table.scan([&](const db::RecordView& r) {
        out.push_back(r.recno());
        return false;
    });
    return out;
}

using V = std::vector<std::uint32_t>;

} // namespace

TEST(SearchFilter, TextCriteria) {
    BookTable books;
    const auto warlock = books.add({{"Title", "Warlock"}, {"KeyWords", "dark RED sky"}});
    const auto coldWar = books.add({{"Title", "Cold War"}, {"KeyWords", "blueish"}});
    const auto peace = books.add({{"Title", "Peace"}, {"KeyWords", "green"}});
    const auto cafe = books.add({{"Title", "Caf\xE9"}, {"KeyWords", "CAF\xC9"}});
    db::Table& t = *books.table;

    EXPECT_EQ(matches(t, one(1, QStringLiteral("war"))), (V{warlock, coldWar}));
    EXPECT_EQ(matches(t, one(23, QStringLiteral("RED BLUE"))), (V{warlock, coldWar}));
    EXPECT_EQ(matches(t, one(23, QStringLiteral("red  green"))), (V{warlock, peace}));
    // Only a to z are upper-cased: é matches é, not É.
    EXPECT_EQ(matches(t, one(1, QStringLiteral("café"))), (V{cafe}));
    EXPECT_EQ(matches(t, one(23, QStringLiteral("café"))), (V{}));
    // A character the table cannot hold never matches, not even a stored "?".
    books.add({{"Title", "Why?"}});
    EXPECT_EQ(matches(t, one(1, QStringLiteral("\u03A9"))), (V{}));
    EXPECT_EQ(matches(t, one(23, QStringLiteral("\u03A9 green"))), (V{peace}));
}

TEST(SearchFilter, NumberAndDateCriteriaWithEmptyValues) {
    BookTable books;
    const auto ten = books.add({{"Cost", "10"}, {"PurchDate", "20200101"}});
    const auto fifteen = books.add({{"Cost", "15"}, {"PurchDate", "20200615"}});
    const auto twenty = books.add({{"Cost", "20"}, {"PurchDate", "20201231"}});
    const auto empty = books.add({{"Title", "no cost, no date"}});
    const auto negative = books.add({{"Cost", "-3.25"}, {"PurchDate", "20200615"}});
    const auto odd = books.add({{"Cost", "0.1"}});
    db::Table& t = *books.table;

    EXPECT_EQ(matches(t, one(7, QStringLiteral("> 10"), OpGreater)), (V{fifteen, twenty}));
    EXPECT_EQ(matches(t, one(7, QStringLiteral("> 10 AND < 20"), OpBetween)), (V{fifteen}));
    EXPECT_EQ(matches(t, one(7, QStringLiteral("< 5"), OpLess)), (V{empty, negative, odd}));
    EXPECT_EQ(matches(t, one(7, QStringLiteral("= 0"))), (V{empty}));
    EXPECT_EQ(matches(t, one(7, QStringLiteral("= -3.25"))), (V{negative}));
    EXPECT_EQ(matches(t, one(7, QStringLiteral("= .1"))), (V{odd})); // the same double

    // An empty date is day 0 (30 December 1899): before every date typed.
    EXPECT_EQ(matches(t, one(12, QStringLiteral("< 1/1/1900"), OpLess)), (V{empty, odd}));
    EXPECT_EQ(matches(t, one(12, QStringLiteral("= 12/30/1899"))), (V{empty, odd}));
    EXPECT_EQ(matches(t, one(12, QStringLiteral("= 6/15/2020"))), (V{fifteen, negative}));
    EXPECT_EQ(matches(t, one(12, QStringLiteral("> 1/1/1900"), OpGreater)),
              (V{ten, fifteen, twenty, negative}));
    EXPECT_EQ(matches(t, one(12, QStringLiteral("> 1/1/2020 AND < 12/31/2020"), OpBetween)),
              (V{fifteen, negative}));

    // What other programs leave: an impossible date reads as empty, junk
    // in a number as 0, a number written without decimals as itself.
    books.patch(twenty, "PurchDate", "20200231");
    books.patch(fifteen, "Cost", std::string(16, ' ') + "junk");
    books.patch(ten, "Cost", std::string(17, ' ') + "10.");
    db::Table& again = *books.table;
    EXPECT_EQ(matches(again, one(12, QStringLiteral("= 12/30/1899"))), (V{twenty, empty, odd}));
    EXPECT_EQ(matches(again, one(7, QStringLiteral("= 0"))), (V{fifteen, empty}));
    EXPECT_EQ(matches(again, one(7, QStringLiteral("= 10"))), (V{ten}));
}

TEST(SearchFilter, TablesFromOtherTools) {
    TempDir dir;
    // Criteria are compared in the table's code page, as the program shows
    // its text: BOOKS1 says DOS 437 (so its 0xC9 shows as a box corner),
    // PBOOKS1 Windows-1252. Record 9 is deleted.
    struct Case {
        const char* name;
        QString zola, elan;
        V after1999, under1, leapDay;
    };
    const Case cases[] = {
        {"BOOKS1",
         QStringLiteral("zola, \u2554"),
         QStringLiteral("\u0398lan"),
         {7, 8, 10, 11},
         {4, 5, 10, 11},
         {10, 11}},
        {"PBOOKS1",
         QStringLiteral("zola, É"),
         QStringLiteral("élan"),
         {7, 8, 10, 11},
         {4, 5, 10, 11},
         {10, 11}},
    };
    for (const Case& c : cases) {
        const auto path = dir.copyFixture(std::string("independent/") + c.name + ".DBF");
        dir.copyFixture(std::string("independent/") + c.name + ".MDX");
        auto table = db::Table::open(path, db::OpenMode::ReadOnly);
        EXPECT_EQ(matches(*table, one(2, QStringLiteral("zola, é"))), (V{})) << c.name;
        EXPECT_EQ(matches(*table, one(2, c.zola)), (V{6})) << c.name;
        EXPECT_EQ(matches(*table, one(2, c.elan)), (V{7})) << c.name;
        EXPECT_EQ(matches(*table, one(3, QStringLiteral("> 1999"), OpGreater)), c.after1999)
            << c.name;
        EXPECT_EQ(matches(*table, one(7, QStringLiteral("< 1"), OpLess)), c.under1) << c.name;
        EXPECT_EQ(matches(*table, one(12, QStringLiteral("= 2/29/2000"))), c.leapDay) << c.name;
    }
}

namespace {

// The filter read plainly, value by value, through the
// engine's own readers: the yardstick for the compiled one.
bool reference(const std::vector<SearchItem>& items, const db::Table& table,
               const db::RecordView& r) {
    bool pass = true;
    for (const SearchItem& item : items) {
        const int f = table.fieldIndex(db::fieldInfo(item.FieldNo).name);
        if (item.Op >= 1 && item.Op <= 3) {
            double value, operand;
            if (item.IsDate) {
                auto d = r.date(f);
                value = d ? dateToDays(QDate(d->year, d->month, d->day)) : 0;
                operand = item.DateValue;
            } else {
                value = r.number(f).value_or(0);
                operand = item.NumValue;
            }
            pass = pass && (item.Op == 1   ? value == operand
                            : item.Op == 2 ? value > operand
                                           : value < operand);
        } else {
            QString value = db::fromWindows1252(r.text(f));
            for (QChar& c : value)
                if (c >= u'a' && c <= u'z')
                    c = c.toUpper();
            bool any = false;
            const QStringList words = item.Op == 6 ? item.Text.split(u' ') : QStringList{item.Text};
            for (const QString& w : words)
                if (!w.isEmpty() && value.contains(w))
                    any = true;
            pass = pass && any;
        }
        if (item.LevelEnd) {
            if (pass)
                return true;
            pass = true;
        }
    }
    return false;
}

} // namespace

TEST(SearchFilter, AgreesWithTheReferenceOnGeneratedBooks) {
    BookTable books;
    db::appendGeneratedBooks(*books.table, 3000, 11);
    db::Table& t = *books.table;

    // Criteria drawn from the books themselves, so that some pass.
    std::mt19937 rng(5);
    std::vector<std::string> titles, authors;
    std::vector<std::string> costs, dates;
    t.scan([&](const db::RecordView& r) {
        titles.emplace_back(r.text(0));
        authors.emplace_back(r.text(1));
        costs.emplace_back(r.text(t.fieldIndex("Cost")));
        dates.emplace_back(r.raw(t.fieldIndex("PurchDate")));
        return false;
    });
    auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
    auto piece = [&](const std::string& s) {
        if (s.size() < 3)
            return QString::fromLatin1(s.c_str());
        const std::size_t at = rng() % (s.size() - 2);
        return db::fromWindows1252(s.substr(at, 2 + rng() % 3));
    };
    auto typedDate = [&](const std::string& ymd) {
        if (ymd.find_first_not_of(' ') == std::string::npos)
            return QStringLiteral("1/1/1990");
        return QStringLiteral("%1/%2/%3")
            .arg(std::stoi(ymd.substr(4, 2)))
            .arg(std::stoi(ymd.substr(6, 2)))
            .arg(ymd.substr(0, 4).c_str());
    };

    int passedSomewhere = 0;
    for (int round = 0; round < 40; ++round) {
        std::vector<std::vector<std::pair<Row, int>>> plan(1 + rng() % 3);
        for (auto& level : plan) {
            switch (rng() % 4) {
            case 0:
                level.push_back({{1, piece(pick(titles))}, OpEqual});
                break;
            case 1:
                level.push_back({{2, piece(pick(authors))}, OpEqual});
                level.push_back({{23, QStringLiteral("a  e")}, OpEqual});
                break;
            case 2: {
                const int op = 1 + int(rng() % 3);
                QString cost = QString::fromLatin1(pick(costs).c_str()).trimmed();
                if (cost.isEmpty())
                    cost = QStringLiteral("0");
                level.push_back({{7, QStringLiteral("=><").mid(op - 1, 1) + cost}, op});
                break;
            }
            default:
                level.push_back({{12, QStringLiteral("> %1 AND < %2")
                                          .arg(typedDate(pick(dates)), typedDate(pick(dates)))},
                                 OpBetween});
                level.push_back({{1, piece(pick(titles))}, OpEqual});
                break;
            }
        }
        const auto items = levels(plan);
        const SearchFilter compiled(items, t);
        t.setFilter(nullptr);
        t.scan([&](const db::RecordView& r) {
            const bool expected = reference(items, t, r);
            EXPECT_EQ(compiled(r), expected) << "round " << round << " record " << r.recno();
            passedSomewhere += expected;
            return false;
        });
    }
    EXPECT_GT(passedSomewhere, 100);
}
