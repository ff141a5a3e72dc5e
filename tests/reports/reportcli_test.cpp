// `shelvix-tool report`: the eight default reports over a generated
// catalogue, to text and to PDF, carry the same pages and lines.
#include "reports/reportdefinition.h"
#include "support/tempdir.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <cstdio>
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
}

} // namespace
} // namespace shelvix::reports
