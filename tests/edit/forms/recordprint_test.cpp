#include "edit/forms/recordprint.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

using namespace shelvix;

namespace {

std::string pdfInfo(const std::filesystem::path& pdf) {
    std::string out;
    if (FILE* p = popen(("pdfinfo '" + pdf.string() + "'").c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

} // namespace

// No window: the print dialog is a Prompter request, answered with a PDF file.
TEST(RecordPrinter, PrintsWhereTheDialogSaysAndOffersThatChoiceAgain) {
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    edit::RecordPrinter printer;
    const QStringList lines{QStringLiteral("Title: Dune"), QStringLiteral("Author: Herbert")};

    const std::filesystem::path pdf = dir / "a5.pdf";
    const app::PrintSetup a5{.outputFile = QString::fromStdString(pdf.string()),
                             .copies = 2,
                             .paperSize = QSizeF(148, 210),
                             .landscape = true};
    prompter.expectPrint({}, a5);
    EXPECT_TRUE(printer.print(lines, prompter));
    const std::string info = pdfInfo(pdf);
    EXPECT_NE(info.find("Pages:           2\n"), std::string::npos) << info;
    double width = 0, height = 0;
    const std::size_t at = info.find("Page size:");
    ASSERT_NE(at, std::string::npos) << info;
    ASSERT_EQ(std::sscanf(info.c_str() + at, "Page size: %lf x %lf", &width, &height), 2) << info;
    EXPECT_NEAR(width, 595.3, 1.0); // A5 on its side, in points
    EXPECT_NEAR(height, 419.5, 1.0);

    // A file that cannot be written is reported, never taken for a printout.
    app::PrintSetup nowhere = a5;
    nowhere.outputFile = QString::fromStdString((dir / "missing" / "x.pdf").string());
    prompter.expectPrint({.initial = a5}, nowhere);
    prompter.expectError(QStringLiteral("The printer could not be started."));
    EXPECT_FALSE(printer.print(lines, prompter));
    EXPECT_EQ(printer.setup(), nowhere);
}
