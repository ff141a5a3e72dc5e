#include "db/bookfixture.h"
#include "db/displayformats.h"
#include "db/fieldtable.h"
#include "support/tempdir.h"
#include "support/tool.h"
#include "transfer/delimited.h"
#include "transfer/exporter.h"
#include "transfer/importer.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace shelvix;
using transfer::ExportRow;

namespace {

// A search on Author "A..." that ending closes and reopens the table, as the
// main window's End Search does.
struct FakeSearch {
    test::BookTable& books;
    bool on = true;
    int ended = 0;
    int restored = 0;
    app::SearchBracket bracket{{[this] { return on; },
                                [this] {
                                    ++ended;
                                    on = false;
                                    books.reopen();
                                },
                                [this] {
                                    ++restored;
                                    on = true;
                                    install();
                                }}};

    explicit FakeSearch(test::BookTable& b) : books(b) { install(); }
    void install() {
        books.table->setFilter(
            [](const db::RecordView& r) { return r.text("Author").starts_with("A"); });
        books.table->first();
    }
};

transfer::ExportRequest request(const std::filesystem::path& target,
                                const std::vector<int>& fields) {
    transfer::ExportRequest r;
    r.target = target;
    r.fields = fields;
    r.labels = app::DatabaseSettings().fieldNames;
    r.format = transfer::hasDbfExtension(QString::fromStdString(target.string()))
                   ? transfer::ExportFormat::DBase
                   : transfer::ExportFormat::Delimited;
    return r;
}

} // namespace

TEST(ExportGrid, RowsKeepTheirFieldsWhateverTheLabels) {
    app::DatabaseSettings s;
    s.fieldNames[0] = s.fieldNames[1] = QStringLiteral("Same"); // two fields, one label
    EXPECT_EQ(transfer::exportRows(s), transfer::defaultExportRows());

    auto rows = transfer::defaultExportRows();
    std::swap(rows[0], rows[1]); // Author first, then Title
    rows[0].use = false;
    std::swap(rows[2], rows[35]);
    transfer::updateConfigs(s, rows);
    EXPECT_EQ(s.exportOrder[0], 2);
    EXPECT_EQ(s.exportOrder[1], 1);
    EXPECT_FALSE(s.exportFields[1]);
    EXPECT_TRUE(s.exportFields[0]);
    EXPECT_EQ(transfer::exportRows(s), rows);
    const auto columns = transfer::calcIndexOrder(s);
    ASSERT_EQ(columns.size(), 35u);
    EXPECT_EQ(columns[0], 1);
    EXPECT_EQ(columns[1], 36);
    EXPECT_EQ(columns.back(), 3);

    // A hand-edited file naming one place twice still gives every field a row.
    s.exportOrder.fill(1);
    const auto fallback = transfer::exportRows(s);
    EXPECT_EQ(fallback.front().field, 1);
    EXPECT_EQ(fallback.back().field, 36);
    for (auto& f : s.exportFields)
        f = false;
    EXPECT_TRUE(transfer::calcIndexOrder(s).empty());
}

TEST(Exporter, EntireDatabaseOrSearchResultWithTheSearchBackAfterwards) {
    test::BookTable books;
    books.add({{"Title", "One"}, {"Author", "Austen"}});
    books.add({{"Title", "Two"}, {"Author", "Bronte"}});
    books.add({{"Title", "Three"}, {"Author", "Asimov"}});
    FakeSearch search(books);
    test::TempDir out;
    db::DisplayFormats formats;
    transfer::Exporter exporter(formats);

    auto entire = request(out / "ALL.TXT", {1});
    auto result = exporter.run(books.table, entire, &search.bracket);
    EXPECT_EQ(result.written, 3u);
    EXPECT_EQ(test::readFile(out / "ALL.TXT"), "\"Title\"\r\n\"One\"\r\n\"Two\"\r\n\"Three\"\r\n");
    EXPECT_EQ(search.ended, 1);
    EXPECT_EQ(search.restored, 1);
    EXPECT_EQ(books.table->recordCount(), 2u); // the search is in force again

    auto found = request(out / "FOUND.TXT", {2, 1});
    found.searchOnly = true;
    found.headerLine = false;
    exporter.run(books.table, found, &search.bracket);
    EXPECT_EQ(test::readFile(out / "FOUND.TXT"), "\"Austen\",\"One\"\r\n\"Asimov\",\"Three\"\r\n");
    EXPECT_EQ(search.ended, 1);

    // The open catalogue and its companions are never a target, by any case
    // of their names; the search is back after the refusal too.
    const auto before = test::readFile(books.path);
    for (const char* name : {"books.dbf", "BOOKS.MDX", "Books.ini", "BOOKS.003"}) {
        auto bad = request(books.dir / name, {1});
        bad.protectedFiles = transfer::databaseFiles(books.path);
        EXPECT_THROW(exporter.run(books.table, bad, &search.bracket), transfer::TransferError)
            << name;
    }
    EXPECT_EQ(test::readFile(books.path), before);
    EXPECT_EQ(search.ended, search.restored);

    // A cancelled export leaves the old file as it was.
    test::writeFile(out / "ALL.TXT", "old");
    result = exporter.run(books.table, entire, &search.bracket,
                          [](auto done, auto) { return done < 2; });
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(test::readFile(out / "ALL.TXT"), "old");
    EXPECT_EQ(search.ended, search.restored);
}

TEST(Exporter, DbaseTargetIsTypedByKindAndReadsInOtherTools) {
    test::BookTable books;
    books.add({{"Title", "Germinal"},
               {"Author", "Zola, \xC9mile"},
               {"YearPub", "1885"},
               {"Cost", "12.5"},
               {"PurchDate", "19871231"}});
    books.add({{"Title", "Blank"}});
    test::TempDir out;
    db::DisplayFormats formats;
    transfer::Exporter exporter(formats);
    const auto target = out / "OUT.DBF";
    exporter.run(books.table, request(target, {2, 1, 3, 7, 12}), nullptr);

    auto t = db::Table::open(target, db::OpenMode::ReadOnly);
    ASSERT_EQ(t->fieldCount(), 5);
    const char* expected[][3] = {{"AUTHOR", "C", "90"},
                                 {"TITLE", "C", "90"},
                                 {"YEARPUB", "N", "11"},
                                 {"COST", "N", "20"},
                                 {"PURCHDATE", "D", "8"}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(t->field(i).name, expected[i][0]);
        EXPECT_EQ(std::string(1, t->field(i).type), expected[i][1]);
        EXPECT_EQ(std::to_string(t->field(i).length), expected[i][2]);
    }
    EXPECT_TRUE(t->tags().empty());
    t.reset();

    EXPECT_EQ(shelvix::test::commandOutput(
                  "/usr/bin/python3 -c \"import dbfread\n"
                  "for r in dbfread.DBF('" +
                  target.string() +
                  "', encoding='cp1252'): print('|'.join(str(v) for v in r.values()))\""),
              "Zola, \xC3\x89mile|Germinal|1885|12.5|1987-12-31\n"
              "|Blank|None|None|None\n");
    EXPECT_EQ(shelvix::test::commandOutput(
                  "/usr/bin/perl -MXBase -e '$t = XBase->new(\"" + target.string() +
                  "\") or die; for $i (0 .. $t->last_record) { @r = $t->get_record($i); "
                  "print join(\"|\", map { defined $_ ? $_ : \"u\" } @r), \"\\n\" }'"),
              "0|Zola, \xC9mile|Germinal|1885|12.5|19871231\n"
              "0||Blank|u|u|u\n");
    // GDAL recodes by the language driver: the letter arrives as UTF-8.
    const std::string gdal =
        shelvix::test::commandOutput("ogrinfo -q -al -ro '" + target.string() + "' 2>&1");
    for (const char* line : {"AUTHOR (String) = Zola, \xC3\x89mile", "TITLE (String) = Germinal",
                             "YEARPUB (Integer64) = 1885", "COST (Real) = 12.5",
                             "PURCHDATE (Date) = 1987/12/31", "TITLE (String) = Blank"})
        EXPECT_NE(gdal.find(line), std::string::npos) << line << "\n" << gdal;

    // An empty table gives an empty table, or a file with only its header line.
    test::BookTable empty;
    exporter.run(empty.table, request(out / "EMPTY.DBF", {1, 2}), nullptr);
    EXPECT_EQ(db::Table::open(out / "EMPTY.DBF", db::OpenMode::ReadOnly)->recordCount(), 0u);
    exporter.run(empty.table, request(out / "EMPTY.TXT", {1, 2}), nullptr);
    EXPECT_EQ(test::readFile(out / "EMPTY.TXT"), "\"Title\",\"Author\"\r\n");
}

// A writer killed half-way: the export's target keeps its old contents, and
// an import leaves a sound table holding the records posted before.
TEST(Transfer, KilledHalfWay) {
    test::BookTable books;
    for (int i = 0; i < 200; ++i)
        books.add({{"Title", "Book " + std::to_string(i)}});
    test::TempDir out;
    const auto target = out / "OUT.TXT";
    test::writeFile(target, "old");
    auto killedAfter = [](std::uint64_t n, const std::function<void(std::uint64_t&)>& work) {
        const pid_t child = fork();
        if (child == 0) {
            std::uint64_t limit = n;
            try {
                work(limit);
            } catch (...) {
                _exit(4);
            }
            _exit(3); // never reached: the work dies first
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    db::DisplayFormats formats;
    EXPECT_EQ(killedAfter(100,
                          [&](std::uint64_t& limit) {
                              transfer::Exporter exporter(formats);
                              exporter.run(books.table, request(target, {1}), nullptr,
                                           [&](std::uint64_t done, std::uint64_t) {
                                               if (done == limit)
                                                   _exit(0);
                                               return true;
                                           });
                          }),
              0);
    EXPECT_EQ(test::readFile(target), "old");

    const auto text = out / "IN.TXT";
    std::string lines = "\"Title\"\r\n";
    for (int i = 0; i < 200; ++i)
        lines += "\"Imported " + std::to_string(i) + "\"\r\n";
    test::writeFile(text, lines);
    test::BookTable into;
    into.table.reset();
    EXPECT_EQ(killedAfter(50,
                          [&](std::uint64_t& limit) {
                              auto table = db::Table::open(into.path, db::OpenMode::Shared);
                              transfer::DelimitedReader reader(text);
                              reader.scanFirstLine();
                              transfer::Importer importer(*table, formats);
                              transfer::ImportStats stats;
                              importer.run(reader, {1}, true, stats,
                                           [&](const transfer::ImportStats& s) {
                                               if (s.imported == limit)
                                                   _exit(0);
                                               return true;
                                           });
                          }),
              0);
    into.reopen();
    EXPECT_EQ(into.table->recordCount(), 50u);
    EXPECT_TRUE(into.table->check().empty());
}
