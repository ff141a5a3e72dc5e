#include "core/profile.h"
#include "db/displayformats.h"
#include "db/settings.h"
#include "find/criteria.h"
#include "find/savedsearches.h"
#include "support/tempdir.h"
#include "support/tool.h"

#include <cstdio>
#include <gtest/gtest.h>

using namespace shelvix;
using find::SavedSearches;
using find::SearchItem;
using test::TempDir;

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

// Every section but ours as Python's configparser reads the file, as
// Windows-1252, refusing duplicate sections and keys.
std::string otherSections(const std::filesystem::path& ini) {
    return shelvix::test::commandOutput(
        "/usr/bin/python3 -c \"import configparser, json, sys\n"
        "c = configparser.RawConfigParser(strict=True)\n"
        "c.read_file(open(sys.argv[1], encoding='cp1252'))\n"
        "print(json.dumps({s: dict(c[s]) for s in c.sections() if s != 'Saved Searches'}, "
        "sort_keys=True))\" '" +
        ini.string() + "' 2>&1");
}

// Two levels as the search window saves them, texts holding the
// separators, a backslash and letters Windows-1252 lacks.
std::vector<SearchItem> windowLevels() {
    db::DisplayFormats formats;
    find::Criteria criteria;
    std::array<QString, find::kRows> cells{};
    std::array<int, find::kRows> ops{};
    ops.fill(find::OpEqual);
    cells[db::field::Title - 1] = QStringLiteral("war; peace | a\\b \u0436 \U0001F600");
    cells[db::field::KeyWords - 1] = QStringLiteral("red  blue");
    cells[db::field::Cost - 1] = QStringLiteral("> 10 AND < 20.5");
    ops[db::field::Cost - 1] = find::OpBetween;
    cells[db::field::PurchDate - 1] = QStringLiteral("= 12/24/2020");
    EXPECT_EQ(criteria.SaveFields(cells, ops, formats).status, find::SaveResult::Saved);
    criteria.nextLevel();
    cells = {};
    ops.fill(find::OpEqual);
    cells[db::field::YearPub - 1] = QStringLiteral("< 1.9e3");
    ops[db::field::YearPub - 1] = find::OpLess;
    cells[db::field::CheckDate - 1] = QStringLiteral("> 01/02/2003");
    ops[db::field::CheckDate - 1] = find::OpGreater;
    EXPECT_EQ(criteria.SaveFields(cells, ops, formats).status, find::SaveResult::Saved);
    EXPECT_EQ(criteria.items().size(), 7u);
    return criteria.items();
}

} // namespace

// Searches under odd names go into a section of their own and come back as
// they were; every other key reads the same to another program, and a new
// catalogue's file gets its other settings with them.
TEST(SavedSearches, RoundTripThroughTheSettingsFileLeavingOtherKeysAlone) {
    TempDir dir;
    const auto file = dir / "BOOKS.INI";
    db::DatabaseSettings settings;
    settings.fieldNames[0] = QStringLiteral("T\u00EDtulo");
    settings.sortOrder = {5, 2, 0, 0};
    ASSERT_TRUE(settings.save(q(file)));
    const std::string before = otherSections(file);
    ASSERT_EQ(before.front(), '{') << before;

    const std::vector<SearchItem> levels = windowLevels();
    const QStringList names = {QStringLiteral("Poetry & war"),
                               QStringLiteral("a=b; c | d"),
                               QStringLiteral("[Section]"),
                               QStringLiteral("\u00DCn\u00EFc\u00F6d\u00E9 \u0436 \U0001F600"),
                               QStringLiteral("back\\slash \\u{41}"),
                               QStringLiteral("; comment-like")};
    SavedSearches saved;
    for (const QString& name : names)
        saved.put(name, levels);
    saved.put(QStringLiteral("Loans"), find::onLoanSearch());
    saved.setLoanPeriod(14);
    ASSERT_TRUE(saved.save(q(file), settings));

    SavedSearches back = SavedSearches::load(q(file));
    EXPECT_EQ(back.names(), QStringList(names) << QStringLiteral("Loans"));
    for (const find::SavedSearch& e : back.entries())
        EXPECT_EQ(e.items, e.name == "Loans" ? find::onLoanSearch() : levels)
            << e.name.toStdString();
    EXPECT_EQ(back.loanPeriod(), 14);
    EXPECT_EQ(otherSections(file), before);
    EXPECT_EQ(db::DatabaseSettings::load(q(file), QString()), settings);

    // A catalogue without its file yet: the file gets its settings too, not
    // only the searches.
    const auto fresh = dir / "NEW.INI";
    ASSERT_TRUE(saved.save(q(fresh), settings));
    EXPECT_EQ(db::DatabaseSettings::load(q(fresh), q(dir / "NONE.INI")), settings);
    EXPECT_EQ(otherSections(fresh), before);
}

// A search edited by hand into something that does not read is kept as it
// stands and cannot be run; a loan period out of range reads as 28 days.
TEST(SavedSearches, WhatDoesNotReadIsKeptAndNeverRun) {
    TempDir dir;
    const auto file = dir / "BOOKS.INI";
    const std::string bad = "Nofield = 3; Title contains \\u{zz";
    test::writeFile(file, "[Saved Searches]\r\nLoan Period=-5\r\nName 1=Hand made\r\nSearch 1=" +
                              bad + "\r\nName 2=Good\r\nSearch 2=title CONTAINS war | Cost>1\r\n");
    SavedSearches saved = SavedSearches::load(q(file));
    EXPECT_EQ(saved.loanPeriod(), find::kDefaultLoanPeriod);
    ASSERT_EQ(saved.entries().size(), 2u);
    EXPECT_FALSE(saved.entries()[0].readable);
    EXPECT_EQ(saved.itemsOf(QStringLiteral("hand made"), QDate(2026, 1, 1)), std::nullopt);
    const auto good = saved.itemsOf(QStringLiteral("GOOD"), QDate(2026, 1, 1));
    ASSERT_TRUE(good);
    EXPECT_EQ(find::searchText(*good), QStringLiteral("Title contains WAR | Cost > 1"));
    saved.put(QStringLiteral("More"), *good);
    ASSERT_TRUE(saved.save(q(file), db::DatabaseSettings()));
    EXPECT_EQ(core::Profile::load(file).readString("Saved Searches", "Search 1", ""), bad);

    for (const char* text : {"Title = WAR", "Cost contains 5", "PurchDate = 12/24/2020",
                             "Title contains WAR |", "", "Cost > 1,5", "Title contains"})
        EXPECT_EQ(find::parseSearchText(QString::fromUtf8(text)), std::nullopt) << text;
}
