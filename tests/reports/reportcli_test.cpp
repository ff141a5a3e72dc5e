// `shelvix-tool report`: the eight default reports over a generated
// catalogue, to text and to PDF, carry the same pages and lines.
#include "db/booktable.h"
#include "db/engine/table.h"
#include "reports/reportdefinition.h"
#include "support/tempdir.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace shelvix::reports {
namespace {

struct Out {
    int status = -1;
    std::string text;
};

Out sh(const std::string& command) {
    Out r;
    if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) {
            r.text.append(buf, n);
        }
        const int status = pclose(p);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return r;
}

std::string tool(const test::TempDir& dir, const std::string& args) {
    return "cd '" + dir.path().string() + "' && '" SHELVIX_TOOL_PATH "' " + args;
}

// Lines of each page, blanks gone, empty lines and a text heading's dashes left out.
std::vector<QStringList> pages(const QString& text) {
    std::vector<QStringList> out;
    QStringList chunks = text.split(u'\f');
    chunks.removeLast(); // after the last form feed
    for (const QString& chunk : chunks) {
        QStringList lines;
        for (QString line : chunk.split(u'\n')) {
            line.remove(QRegularExpression(QStringLiteral("\\s")));
            if (!line.isEmpty() && line.count(u'-') != line.size()) {
                lines << line;
            }
        }
        out.push_back(lines);
    }
    return out;
}

bool subsequence(const QString& small, const QString& big) {
    qsizetype at = 0;
    for (QChar c : small) {
        at = big.indexOf(c, at);
        if (at < 0) {
            return false;
        }
        ++at;
    }
    return true;
}

TEST(ReportCliTest, EveryDefaultReportGivesTheSamePagesAsTextAndAsPdf) {
    test::TempDir dir;
    ASSERT_EQ(sh(tool(dir, "generate 300 B.DBF --seed 3")).status, 0);
    ASSERT_EQ(sh(tool(dir, "index B.DBF --tag NewIndex --expr AUTHOR")).status, 0);
    WriteDefaultReports(ReportFile(QString::fromStdString((dir / "SHVBOOK.URP").string())));
    int number = 0;
    for (const ReportDefinition& def : DefaultReports()) {
        SCOPED_TRACE(def.name);
        const std::string txt = "r" + std::to_string(number) + ".txt";
        const std::string pdf = "r" + std::to_string(number++) + ".pdf";
        const Out t = sh(tool(dir, "report B.DBF --name '" + def.name + "' --text " + txt));
        ASSERT_EQ(t.status, 0) << t.text;
        const Out p = sh(tool(dir, "report B.DBF --name '" + def.name + "' --pdf " + pdf));
        ASSERT_EQ(p.status, 0) << p.text;
        EXPECT_EQ(t.text, p.text); // "N pages"
        const std::string bytes = test::readFile(dir / txt);
        ASSERT_NE(bytes.find("\r\n"), std::string::npos);
        const auto textPages = pages(QString::fromLatin1(bytes).remove(u'\r'));
        const auto pdfPages = pages(
            QString::fromStdString(sh("pdftotext -layout '" + (dir / pdf).string() + "' -").text));
        ASSERT_EQ(textPages.size(), pdfPages.size());
        EXPECT_EQ(t.text, std::to_string(textPages.size()) + " pages\n");
        for (std::size_t page = 0; page < textPages.size(); ++page) {
            ASSERT_EQ(textPages[page].size(), pdfPages[page].size()) << "page " << page + 1;
            for (qsizetype i = 0; i < textPages[page].size(); ++i) {
                // A cell cuts its text by its width on paper and by its
                // characters in the file: one holds the other.
                const QString& a = textPages[page][i];
                const QString& b = pdfPages[page][i];
                EXPECT_TRUE(subsequence(a, b) || subsequence(b, a))
                    << "page " << page + 1 << ": " << a.toStdString() << " | " << b.toStdString();
            }
        }
    }
    // Grouped by the catalogue's sort tag; the last page ends the report.
    const std::string first = test::readFile(dir / "r0.txt");
    EXPECT_NE(first.find("GRAND TOTALS"), std::string::npos);
    EXPECT_NE(first.find("-----"), std::string::npos);

    // A search limits the walk, read as `search` reads it.
    const Out count = sh(tool(dir, "search B.DBF --level 'Author contains Twain' --count"));
    ASSERT_EQ(count.status, 0) << count.text;
    ASSERT_EQ(sh(tool(dir, "report B.DBF --name 'Short Narrow Report' --text twain.txt --level "
                           "'Author contains Twain'"))
                  .status,
              0);
    int books = 0;
    for (const QString& line :
         QString::fromLatin1(test::readFile(dir / "twain.txt")).split("\r\n")) {
        if (!line.isEmpty() && line[0] != u' ' && !line.startsWith("Title") &&
            !line.startsWith("Page")) {
            ++books;
            EXPECT_TRUE(line.contains("Twain")) << line.toStdString();
        }
    }
    EXPECT_GT(books, 0);
    EXPECT_EQ(std::to_string(books) + "\n", count.text);
    EXPECT_EQ(sh(tool(dir, "report B.DBF --name X --text a --level 'Cost contains 3'")).status, 2);

    const Out missing = sh(tool(dir, "report B.DBF --name 'No Such' --text x.txt"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.text, "shelvix-tool: no report named \"No Such\" in " +
                                (dir / "SHVBOOK.URP").string() + "\n");
    EXPECT_EQ(sh(tool(dir, "report B.DBF --name X --text a --pdf b")).status, 2);

    // A damaged record leaves the others usable, and is named when asked for.
    std::string definitions = test::readFile(dir / "SHVBOOK.URP");
    const double minusThree = -3;
    std::memcpy(&definitions[2 * kDefinitionSize + 1861], &minusThree, 8);
    test::writeFile(dir / "SHVBOOK.URP", definitions);
    EXPECT_EQ(sh(tool(dir, "report B.DBF --name 'Value Report' --text v.txt")).status, 0);
    const Out odd = sh(tool(dir, "report B.DBF --name '4 Line Report' --text x.txt"));
    EXPECT_EQ(odd.status, 1);
    EXPECT_NE(odd.text.find("(it cannot use report 3 (\"4 Line Report\"): the left margin is -3 "
                            "inches)"),
              std::string::npos)
        << odd.text;
}

// The lines of `text` (CR LF or LF) that contain `needle`.
std::vector<std::string> linesWith(const std::string& text, const std::string& needle) {
    std::vector<std::string> out;
    for (const QString& line : QString::fromLatin1(text).remove(u'\r').split(u'\n')) {
        if (line.contains(QString::fromStdString(needle))) {
            out.push_back(line.toStdString());
        }
    }
    return out;
}

// A PDF's text with each run of blanks as one: its gaps depend on the fonts.
std::string flat(const std::string& text) {
    QStringList lines = QString::fromStdString(text).split(u'\n');
    for (QString& line : lines) {
        line = line.simplified();
    }
    return lines.join(u'\n').toStdString();
}

// A printed number is whole or a row of "#", never a number with digits cut;
// number columns side by side keep a blank between them in the text file;
// an empty number prints empty, and still adds nothing to the totals.
TEST(ReportCliTest, NumbersPrintWholeOrAsHashesAndEmptyNumbersStayEmpty) {
    test::TempDir dir;
    db::createBookTable(dir / "B.DBF");
    {
        auto t = db::Table::open(dir / "B.DBF", db::OpenMode::Shared);
        const auto book = [&](const char* title, std::optional<double> year,
                              std::optional<double> pages, std::optional<double> cost,
                              std::optional<double> value, std::optional<double> low,
                              std::optional<double> high) {
            t->insert();
            t->setText("TITLE", title);
            t->setText("AUTHOR", "Nobody");
            t->setNumber("YEARPUB", year);
            t->setNumber("PAGES", pages);
            t->setNumber("COST", cost);
            t->setNumber("VALUE", value);
            t->setNumber("LOWMARKET", low);
            t->setNumber("HIGHMARKET", high);
            t->post();
        };
        book("Big Book", 1998, 1155, 1234567.89, 9999999.99, 0.01, 12.5);
        book("Dear Book", 2001, 99, 8800652.56, 0, 1, 1);
        book("No Year Book", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
             std::nullopt);
    }
    const auto run = [&](const std::string& name, const std::string& out) {
        const std::string option = out.ends_with(".pdf") ? " --pdf " : " --text ";
        const Out r = sh(tool(dir, "report B.DBF --name '" + name + "'" + option + out));
        EXPECT_EQ(r.status, 0) << r.text;
        return out.ends_with(".pdf")
                   ? flat(sh("pdftotext -layout '" + (dir / out).string() + "' -").text)
                   : test::readFile(dir / out);
    };

    // "1,155" fills its five characters, and its cell on paper; the Cost
    // total, 10,035,220.45, is 13 characters for a part of 12: marks in the
    // file, and on paper where its cell is too narrow (8 points at 120
    // characters a line) but whole where it is not (10 points at 90).
    const auto count = [](const std::string& text, const std::string& needle) {
        return QString::fromStdString(text).count(QString::fromStdString(needle));
    };
    for (const char* out : {"full.txt", "full.pdf", "sum.txt", "sum.pdf"}) {
        SCOPED_TRACE(out);
        const bool full = std::string(out).starts_with("full");
        const std::string printed = run(full ? "Full Report" : "Statistic/Summary Report", out);
        if (full) {
            EXPECT_EQ(count(printed, "Pages: 1,15"), 1) << printed;
            EXPECT_EQ(count(printed, "Pages: 1,155"), 1) << printed;
        }
        EXPECT_EQ(count(printed, "10,035,220.4"), count(printed, "10,035,220.45")) << printed;
        const bool whole = std::string(out) == "sum.pdf";
        EXPECT_EQ(count(printed, whole ? "Cost: 10,035,220.45 " : "Cost: ##########"), 2)
            << printed; // TOTALS, GRAND TOTALS
        if (!full) {
            EXPECT_EQ(count(printed, "Value: 9,999,999.99 "), 2) << printed;
        }
    }
    EXPECT_EQ(count(test::readFile(dir / "sum.txt"), "Cost: ############ "), 2);

    // Cost and Value side by side: 12 characters each leave no blank, so
    // they are marks; the empty book's numbers are blank.
    const std::string valueText = run("Value Report", "value.txt");
    const std::string valuePdf = run("Value Report", "value.pdf");
    EXPECT_EQ(linesWith(valueText, "Big Book"),
              std::vector<std::string>{std::string("Big Book").append(34, ' ') +
                                       "########### ########### 0.01        12.50       "});
    EXPECT_EQ(linesWith(valueText, "No Year Book"),
              std::vector<std::string>{"No Year Book" + std::string(78, ' ')});
    EXPECT_NE(valuePdf.find("1,234,567.89"), std::string::npos) << valuePdf;
    EXPECT_NE(valuePdf.find("9,999,999.99"), std::string::npos) << valuePdf;
    EXPECT_EQ(linesWith(valuePdf, "No Year Book"), std::vector<std::string>{"No Year Book"});

    // No year prints no year.
    const std::string narrowText = run("Short Narrow Report", "narrow.txt");
    const std::string narrowPdf = run("Short Narrow Report", "narrow.pdf");
    EXPECT_EQ(linesWith(narrowText, "No Year Book"),
              std::vector<std::string>{std::string("No Year Book").append(47 + 5, ' ') + "Nobody" +
                                       std::string(21, ' ')});
    EXPECT_EQ(linesWith(narrowPdf, "No Year Book"),
              std::vector<std::string>{"No Year Book Nobody"});
}

} // namespace
} // namespace shelvix::reports
