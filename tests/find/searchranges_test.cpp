// Searches that read the records of a tag's key range rather than the whole
// table must pass exactly the records the scan passes, in the same order.

#include "db/bookfixture.h"
#include "db/bookgen.h"
#include "db/displayformats.h"
#include "db/fieldtable.h"
#include "find/criteria.h"
#include "find/searchfilter.h"

#include <gtest/gtest.h>
#include <random>

using namespace shelvix;
using namespace shelvix::find;
using shelvix::test::BookTable;
using shelvix::test::TempDir;

namespace {

using Row = std::pair<int, QString>;
using V = std::vector<std::uint32_t>;

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

struct Seen {
    std::uint32_t count = 0;
    V rows, scanned;
    bool operator==(const Seen&) const = default;
};

// The count, the grid's rows and a scan, with the filter put on as given.
Seen run(db::Table& t, const SearchFilter& f, bool ranged) {
    if (ranged)
        f.applyTo(t);
    else
        t.setFilter(f);
    Seen s;
    s.count = t.recordCount();
    for (std::uint32_t i = 0; i < t.rowCount(); ++i)
        s.rows.push_back(t.recordAtRow(i));
    t.scan([&](const db::RecordView& r) {
        s.scanned.push_back(r.recno());
        return false;
    });
    return s;
}

QString typed(const std::string& ymd) {
    if (ymd.find_first_not_of(' ') == std::string::npos)
        return QStringLiteral("12/30/1899");
    return QStringLiteral("%1/%2/%3")
        .arg(std::stoi(ymd.substr(4, 2)))
        .arg(std::stoi(ymd.substr(6, 2)))
        .arg(ymd.substr(0, 4).c_str());
}

} // namespace

TEST(SearchRanges, AgreeWithTheScanOnGeneratedBooks) {
    BookTable books;
    db::appendGeneratedBooks(*books.table, 3000, 23);
    db::Table& t = *books.table;
    // Blank numbers and dates, and books deleted, beside the generated ones.
    for (int i = 0; i < 30; ++i) {
        t.insert();
        t.setText("Title", "Blank " + std::to_string(i));
        t.post();
        if (i % 3 == 0)
            t.deleteRecord();
    }
    t.addTag("Year", "YearPub");
    t.addTag("CostTitle", "STR(Cost,12,2)+Upper(Left(Title,20))");
    t.addTag("Bought", "PurchDate");
    t.addTag("DayTitle", "DTOS(PurchDate)+Upper(Left(Title,20))");

    std::vector<std::string> years, costs, dates;
    t.scan([&](const db::RecordView& r) {
        years.emplace_back(r.text(t.fieldIndex("YearPub")));
        costs.emplace_back(r.text(t.fieldIndex("Cost")));
        dates.emplace_back(r.raw(t.fieldIndex("PurchDate")));
        return false;
    });
    std::mt19937 rng(9);
    auto pick = [&](const std::vector<std::string>& v) {
        const std::string s = v[rng() % v.size()];
        return QString::fromLatin1(s.empty() ? "0" : s.c_str());
    };
    auto numberRow = [&](int field, const std::vector<std::string>& values) {
        const int op = 1 + int(rng() % 4);
        if (op == OpBetween)
            return std::pair<Row, int>{
                {field, QStringLiteral("> %1 AND < %2").arg(pick(values), pick(values))},
                OpBetween};
        return std::pair<Row, int>{{field, QStringLiteral("=><").mid(op - 1, 1) + pick(values)},
                                   op};
    };

    const char* const orders[] = {"", "Year", "CostTitle", "Bought", "DayTitle"};
    int served = 0;
    for (int round = 0; round < 60; ++round) {
        std::vector<std::vector<std::pair<Row, int>>> plan(1 + rng() % 3);
        for (auto& level : plan) {
            switch (rng() % 3) {
            case 0:
                level.push_back(numberRow(3, years));
                break;
            case 1:
                level.push_back(numberRow(7, costs));
                if (rng() % 2)
                    level.push_back({{1, QStringLiteral("e")}, OpEqual});
                break;
            default: {
                const int op = 1 + int(rng() % 4);
                const QString a = typed(dates[rng() % dates.size()]);
                const QString b = typed(dates[rng() % dates.size()]);
                level.push_back(
                    op == OpBetween
                        ? std::pair<Row, int>{{12, QStringLiteral("> %1 AND < %2").arg(a, b)},
                                              OpBetween}
                        : std::pair<Row, int>{{12, QStringLiteral("=><").mid(op - 1, 1) + a}, op});
            }
            }
        }
        const auto items = levels(plan);
        t.selectTag(orders[round % 5]);
        const SearchFilter f(items, t);
        served += f.ranges() ? 1 : 0;
        EXPECT_EQ(run(t, f, true), run(t, f, false)) << "round " << round;
    }
    // Most of them read tag ranges: years and dates always, costs from a low
    // bound up.
    EXPECT_GT(served, 40);
}

TEST(SearchRanges, AgreeWithTheScanOnTablesFromOtherTools) {
    TempDir dir;
    // STR(YearPub,12,0)+DTOS(PurchDate)+STR(Cost,12,2): a blank year, one too
    // wide for the text, a deleted record.
    for (const char* name : {"BOOKS3", "PBOOKS3"}) {
        const auto path = dir.copyFixture(std::string("independent/") + name + ".DBF");
        dir.copyFixture(std::string("independent/") + name + ".MDX");
        auto t = db::Table::open(path, db::OpenMode::ReadOnly);
        t->selectTag("NewIndex");
        const QString criteria[][2] = {{"= 2000", "1"},
                                       {"> 1950", "2"},
                                       {"> 0", "2"},
                                       {"= 0", "1"},
                                       {"> 1900 AND < 2001", "4"},
                                       {"> 1999 AND < 99999999999", "4"},
                                       {"< 1900", "3"}};
        for (const auto& c : criteria) {
            const int op = c[1].toInt();
            const SearchFilter f(levels({{{{3, c[0]}, op}}}), *t);
            EXPECT_EQ(run(*t, f, true), run(*t, f, false)) << name << " " << c[0].toStdString();
        }
        EXPECT_TRUE(SearchFilter(levels({{{{3, QStringLiteral("= 2000")}, OpEqual}}}), *t)
                        .ranges()
                        .has_value());
        t->selectTag("");
        const SearchFilter year2000(levels({{{{3, QStringLiteral("= 2000")}, OpEqual}}}), *t);
        year2000.applyTo(*t);
        EXPECT_EQ(t->recordCount(), 2u) << name;
    }
}
