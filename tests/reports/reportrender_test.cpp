// The renderer over a real book table: pages as the recording device draws
// them, and the text file byte for byte.
#include "db/booktable.h"
#include "db/engine/table.h"
#include "reports/recordingreport.h"
#include "reports/reportrender.h"
#include "support/tempdir.h"

#include <QFile>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
namespace shelvix::reports {
namespace {

using Values = std::vector<std::pair<const char*, std::string>>;

struct Catalogue {
    test::TempDir dir;
    std::filesystem::path path = dir / "BOOKS.DBF";
    std::unique_ptr<db::Table> table;

    explicit Catalogue(const std::vector<Values>& books) {
        db::createBookTable(path);
        open();
        for (const Values& book : books) {
            table->insert();
            for (const auto& [name, value] : book) {
                table->setText(name, value);
            }
            table->post();
        }
    }
    void open() { table = db::Table::open(path, db::OpenMode::Shared); }
    // Stores bytes no editor would, as another tool might have.
    void patch(std::uint32_t recno, const char* field, const std::string& bytes) {
        const int index = table->fieldIndex(field);
        const int offset = table->field(index).offset;
        table.reset();
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        unsigned char h[12];
        f.read(reinterpret_cast<char*>(h), 12);
        const long header = h[8] | h[9] << 8;
        const long record = h[10] | h[11] << 8;
        f.seekp(header + long(recno - 1) * record + offset);
        f.write(bytes.data(), std::streamsize(bytes.size()));
        f.close();
        open();
    }
};

const std::vector<Values> kBooks = {
    {{"Title", "Alpha"}, {"Author", "Adams"}, {"YearPub", "1990"}, {"Cost", "10.5"}},
    {{"Title", "Beta"}, {"Author", "Adams"}, {"YearPub", "1991"}, {"Cost", "1234"}},
    {{"Title", "Gamma"}, {"Author", "Brown"}, {"YearPub", "2000"}, {"Value", "3"}},
};

// "Short Narrow Report" with a title and the Quantity in its totals line.
ReportDefinition narrow() {
    ReportDefinition def = DefaultReports()[0];
    def.titles[0] = "Livres \xe0 lire";
    def.totalsLine[12] = totalPart(5, 10);
    return def;
}

struct Rendered {
    RecordingReport engine;
    db::DisplayFormats formats;
    std::unique_ptr<ReportRenderer> renderer;

    Rendered(const ReportDefinition& def, db::Table& table, std::array<int, 4> sort = {2, 0, 0, 0},
             ReportMode mode = ReportMode::Print, const QString& file = {},
             double paperHeight = 11) {
        engine.paperHeight = paperHeight;
        renderer = std::make_unique<ReportRenderer>(def, table, formats);
        renderer->OutputMode = mode;
        renderer->TextFileName = file;
        renderer->SortLevels = sort;
        renderer->Today = QDate(1997, 3, 5);
        renderer->FieldCaptions[0] = "Book Title";
        renderer->FieldCaptions[1] = "Writer";
        renderer->FieldCaptions[2] = "Year";
        renderer->attach(engine);
        EXPECT_TRUE(engine.RunReport());
    }
    QStringList all() const {
        QStringList out;
        for (int p = 1; p <= engine.pages; ++p) {
            out << engine.pageLines(p) << "--";
        }
        return out;
    }
};

const QString kTotals1 = "Cost:\t1,244.50\tValue:\t0.00\tLow Market:\t0.00\tHigh Market:\t0.00\t2";
const QString kTotals2 = "Cost:\t0.00\tValue:\t3.00\tLow Market:\t0.00\tHigh Market:\t0.00\t1";
const QString kGrand = "Cost:\t1,244.50\tValue:\t3.00\tLow Market:\t0.00\tHigh Market:\t0.00\t3";

TEST(ReportRenderTest, OneLineReportPrintsHeadingsGroupsTotalsAndFooterInTableOrder) {
    Catalogue cat(kBooks);
    Rendered run(narrow(), *cat.table);
    EXPECT_EQ(run.all(), (QStringList{"Livres \u00e0 lire", "Book Title\tYear\tWriter", "Adams",
                                      "Alpha\t1990\tAdams", "Beta\t1991\tAdams", "TOTALS", kTotals1,
                                      "Brown", "Gamma\t2000\tBrown", "TOTALS", kTotals2,
                                      "GRAND TOTALS", kGrand, "Page 1\t3/5/97", "--"}));
    // Numbers stand right in their cells, texts left.
    const RecordingReport::Text* year = nullptr;
    for (const auto& t : run.engine.texts) {
        if (t.text == "1990") {
            year = &t;
        }
    }
    ASSERT_TRUE(year);
    const double cellRight = 0.5 + (59.0 + 5.0) / 90 * 7.5 - 0.02;
    EXPECT_NEAR(year->x + run.engine.MeasureText("1990"), cellRight, 1e-9);
    // Headings and records boxed (3 cells, 4 edges, 4 rows), two group
    // headings boxed, two titles underlined.
    EXPECT_EQ(run.engine.pageRules(1).size(), 48u + 8u + 3u);
    // The walk is not undone: the table ends on its last record.
    EXPECT_TRUE(cat.table->eof());
    EXPECT_EQ(cat.table->recno(), 3u);
    EXPECT_FALSE(cat.table->controlsDisabled());

    // Two lines a record: no headings, no borders, labels right.
    ReportDefinition two = DefaultReports()[1];
    two.useTotals = false;
    two.groupLevel1 = false;
    two.verticalLines = two.horizontalLines = true;
    Rendered second(two, *cat.table);
    EXPECT_TRUE(second.engine.lines.empty());
    EXPECT_EQ(second.engine.pageLines(1).mid(0, 2),
              (QStringList{"Title\tAlpha\tCategory:", "Autho\tAdams\tYear Pub:\t1990\tRating:"}));
}

QString readAll(const std::filesystem::path& p) {
    QFile f(QString::fromStdString(p.string()));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString("<missing>");
}

TEST(ReportRenderTest, TextFileHasAlignedColumnsDashedHeadingsAndAFormFeedAfterEveryPage) {
    Catalogue cat(kBooks);
    const auto out = cat.dir / "REPORT.TXT";
    ReportDefinition def = narrow();
    Rendered run(def, *cat.table, {2, 0, 0, 0}, ReportMode::File,
                 QString::fromStdString(out.string()));
    EXPECT_TRUE(run.renderer->error().isEmpty());
    auto row = [](const QString& title, const QString& year, const QString& author) {
        return title.leftJustified(59) + year.leftJustified(5) + author.leftJustified(27);
    };
    auto totals = [](const QStringList& v) {
        return QString("Cost:").rightJustified(10) + " " + v[0].leftJustified(12) +
               QString("Value:").rightJustified(8) + " " + v[1].leftJustified(12) +
               QString("Low Market:").rightJustified(13) + " " + v[2].leftJustified(12) +
               QString("High Market:").rightJustified(14) + " " + v[3].leftJustified(12) +
               v[4].leftJustified(10);
    };
    const QString pad(42, u' ');
    const QStringList expected = {
        QString::fromLatin1("Livres \xe0 lire"),
        row("Book Title", "Year", "Writer"),
        "",
        pad + "-----",
        pad + "Adams",
        pad + "-----",
        row("Alpha", "1990", "Adams"),
        row("Beta", "1991", "Adams"),
        pad + "TOTALS",
        totals({"1,244.50", "0.00", "0.00", "0.00", "2"}),
        "",
        pad + "-----",
        pad + "Brown",
        pad + "-----",
        row("Gamma", "2000", "Brown"),
        pad + "TOTALS",
        totals({"0.00", "3.00", "0.00", "0.00", "1"}),
        "",
        QString(39, u' ') + "GRAND TOTALS",
        totals({"1,244.50", "3.00", "0.00", "0.00", "3"}),
        "",
        "Page 1          3/5/97\f",
    };
    EXPECT_EQ(readAll(out), expected.join("\r\n") + "\r\n");

    // Many pages: each ends with its footer and a form feed; labels keep
    // to the right of their columns. An empty table still prints a page.
    std::vector<Values> many;
    for (int i = 0; i < 100; ++i) {
        many.push_back({{"Title", "Book " + std::to_string(i)}, {"Author", "Same"}});
    }
    Catalogue big(many);
    Rendered paged(DefaultReports()[1], *big.table, {0, 0, 0, 0}, ReportMode::File,
                   QString::fromStdString(out.string()));
    const QString text = readAll(out);
    EXPECT_EQ(text.count(u'\f'), paged.engine.CurrentPage());
    EXPECT_GE(paged.engine.CurrentPage(), 3);
    EXPECT_TRUE(text.contains("\r\n\r\nPage 2          3/5/97\f\r\n"));
    EXPECT_TRUE(text.contains(QString("Title:").rightJustified(6) + " " +
                              QString("Book 0").leftJustified(70) + "  Category:"));
    EXPECT_TRUE(
        text.endsWith(QString("Page %1          3/5/97\f\r\n").arg(paged.engine.CurrentPage())));

    // A file that cannot be made cancels the run and says why.
    Rendered failed(def, *cat.table, {2, 0, 0, 0}, ReportMode::File,
                    QString::fromStdString((cat.dir / "no such dir" / "R.TXT").string()));
    EXPECT_TRUE(failed.engine.Canceled());
    EXPECT_TRUE(failed.renderer->error().contains("R.TXT"))
        << failed.renderer->error().toStdString();
    EXPECT_FALSE(cat.table->controlsDisabled());
}

TEST(ReportRenderTest, ARunKilledHalfWayLeavesTheOldTextFileWhole) {
    std::vector<Values> many;
    for (int i = 0; i < 200; ++i) {
        many.push_back({{"Title", "Book " + std::to_string(i)}, {"Author", "Same"}});
    }
    Catalogue cat(many);
    const auto out = cat.dir / "REPORT.TXT";
    test::writeFile(out, "the report of yesterday\r\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RecordingReport engine;
        db::DisplayFormats formats;
        ReportRenderer renderer(DefaultReports()[1], *cat.table, formats);
        renderer.OutputMode = ReportMode::File;
        renderer.TextFileName = QString::fromStdString(out.string());
        renderer.attach(engine);
        // The power goes on the third page.
        engine.OnPrintPage = [&](TBaseReport& e, int page) {
            if (page == 3) {
                raise(SIGKILL);
            }
            return renderer.MyPrintPageReport(e);
        };
        engine.RunReport();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(test::readFile(out), "the report of yesterday\r\n");
}

TEST(ReportRenderTest, BlocksThatDoNotFitMoveToTheNextPageSubtotalsFirst) {
    // Groups of three under two-line records; a short page holds the body
    // band 1.25 to 3.25 inches, twelve lines of 10 points.
    std::vector<Values> books;
    for (const char* cat : {"Art", "Bio", "Cars", "Dogs"}) {
        for (int i = 0; i < 3; ++i) {
            books.push_back({{"Title", std::string(cat) + std::to_string(i)}, {"Category", cat}});
        }
    }
    Catalogue cat(books);
    ReportDefinition def = DefaultReports()[1];
    for (auto& f : def.fonts) {
        f.size = 10;
    }
    Rendered shortPages(def, *cat.table, {5, 0, 0, 0}, ReportMode::Print, {}, 4.5);
    const RecordingReport& e = shortPages.engine;
    ASSERT_GE(e.pages, 3);
    int totalsSeen = 0;
    int headings = 0;
    for (int p = 1; p <= e.pages; ++p) {
        const QStringList lines = e.pageLines(p);
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i] == "TOTALS") {
                ++totalsSeen;
                // The totals line always follows its title on the same page.
                ASSERT_LT(i + 1, lines.size());
                EXPECT_TRUE(lines[i + 1].startsWith("Cost:"));
            }
            if (QStringList{"Art", "Bio", "Cars", "Dogs"}.contains(lines[i])) {
                ++headings;
                // A heading is followed by its first record on the same page.
                ASSERT_LT(i + 1, lines.size()) << "page " << p;
                EXPECT_TRUE(lines[i + 1].contains("\t" + lines[i] + "0\t")) << "page " << p;
            }
        }
    }
    EXPECT_EQ(headings, 4);
    EXPECT_EQ(totalsSeen, 4); // three between groups, one at the end
    EXPECT_EQ(e.pageLines(e.pages).filter("GRAND TOTALS").size(), 1);

    // A subtotal carried over comes before the next heading, at the top of a page.
    bool carried = false;
    for (int p = 2; p <= e.pages; ++p) {
        const QStringList lines = e.pageLines(p);
        if (lines.size() > 2 && lines[0] == "TOTALS" && lines[2] != "GRAND TOTALS") {
            carried = true;
            EXPECT_TRUE(QStringList({"Bio", "Cars", "Dogs"}).contains(lines[2]));
        }
    }
    EXPECT_TRUE(carried);
}

TEST(ReportRenderTest, SummaryAndEmptyReportsPrintTheirTotals) {
    Catalogue cat(kBooks);
    // Zero lines: only headings and totals; the first group has no TOTALS before it.
    Rendered summary(DefaultReports()[7], *cat.table);
    EXPECT_EQ(summary.engine.pageLines(1),
              (QStringList{"Adams", "TOTALS", kTotals1.section('\t', 0, 7), "Brown", "TOTALS",
                           kTotals2.section('\t', 0, 7), "GRAND TOTALS", kGrand.section('\t', 0, 7),
                           "Page 1\t3/5/97"}));

    // No grouping: the last TOTALS equal the GRAND TOTALS.
    ReportDefinition flat = narrow();
    flat.groupLevel1 = false;
    Rendered ungrouped(flat, *cat.table);
    const QStringList lines = ungrouped.engine.pageLines(1);
    const int t = static_cast<int>(lines.indexOf("TOTALS"));
    ASSERT_GT(t, 0);
    EXPECT_EQ(lines[t + 1], kGrand);
    EXPECT_EQ(lines[t + 3], kGrand);

    // An empty table: titles, headings, footer and zero totals.
    Catalogue none({});
    Rendered empty(narrow(), *none.table);
    EXPECT_EQ(empty.all(),
              (QStringList{"Livres \u00e0 lire", "Book Title\tYear\tWriter", "TOTALS",
                           "Cost:\t0.00\tValue:\t0.00\tLow Market:\t0.00\tHigh Market:\t0.00\t0",
                           "GRAND TOTALS",
                           "Cost:\t0.00\tValue:\t0.00\tLow Market:\t0.00\tHigh Market:\t0.00\t0",
                           "Page 1\t3/5/97", "--"}));
}

TEST(ReportRenderTest, APageTooSmallForARecordStillMovesOnAndJunkAddsNothing) {
    Catalogue cat(kBooks);
    cat.patch(1, "Cost", "   12x4.0000");
    // The body band is a tenth of an inch, less than one line.
    Rendered run(narrow(), *cat.table, {2, 0, 0, 0}, ReportMode::Print, {}, 2.6);
    // Every record still prints, one to a page, and the run ends.
    ASSERT_GE(run.engine.pages, 3);
    EXPECT_LT(run.engine.pages, 12);
    QStringList all;
    for (int p = 1; p <= run.engine.pages; ++p) {
        all << run.engine.pageLines(p);
    }
    EXPECT_EQ(all.filter("Gamma").size(), 1);
    EXPECT_TRUE(
        all.contains("Cost:\t1,234.00\tValue:\t3.00\tLow Market:\t0.00\tHigh Market:\t0.00\t3"));
}

} // namespace
} // namespace shelvix::reports
