// A report definitions file of arbitrary bytes (the first byte chooses the
// current SHVBOOK.URP or an earlier version's BOOK.URP to convert). Every
// definition read is written back unchanged and printed over a few books,
// to the page and to a text file.

#include "db/booktable.h"
#include "db/displayformats.h"
#include "db/engine/error.h"
#include "db/engine/table.h"
#include "fuzzsupport.h"
#include "reports/recordingreport.h"
#include "reports/reportdefinition.h"
#include "reports/reportrender.h"

#include <filesystem>

using namespace shelvix;
using reports::ReportDefinition;

namespace {

db::Table& books() {
    static std::unique_ptr<db::Table> table = [] {
        const auto path = fuzz::workDir() / "REPORT.DBF";
        std::filesystem::remove(path);
        std::filesystem::remove(fuzz::workDir() / "REPORT.MDX");
        db::createBookTable(path);
        auto t = db::Table::open(path, db::OpenMode::Exclusive);
        const char* titles[] = {"Alpha", "Beta", "Gamma", ""};
        const char* authors[] = {"Adams", "Adams", "Brown", "Zed"};
        for (int i = 0; i < 4; ++i) {
            t->insert();
            t->setText("Title", titles[i]);
            t->setText("Author", authors[i]);
            t->setNumber("Cost", 12.5 * i);
            t->setNumber("Value", i * 3);
            t->post();
        }
        return t;
    }();
    return *table;
}

void render(const ReportDefinition& def, reports::ReportMode mode) {
    reports::RecordingReport engine;
    db::DisplayFormats formats;
    reports::ReportRenderer renderer(def, books(), formats);
    renderer.OutputMode = mode;
    renderer.TextFileName = QString::fromStdString((fuzz::workDir() / "REPORT.TXT").string());
    renderer.SortLevels = {2, 1, 0, 0};
    renderer.Today = QDate(1997, 3, 5);
    renderer.attach(engine);
    engine.RunReport();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const bool old = data[0] & 1;
    const auto dir = fuzz::workDir();
    const QString current = QString::fromStdString((dir / "SHVBOOK.URP").string());
    const reports::ReportFile file(current);
    std::vector<ReportDefinition> defs;
    if (old) {
        std::filesystem::remove(dir / "SHVBOOK.URP");
        fuzz::writeFile(dir / "BOOK.URP", {data + 1, size - 1});
        reports::CheckReportFile(QString::fromStdString(dir.string()));
        try {
            defs = file.readAll(); // ours, so it must read
        } catch (const reports::ReportFileError& e) {
            fuzz::fail(std::string("a converted definitions file does not read: ") + e.what());
        }
    } else {
        fuzz::writeFile(dir / "SHVBOOK.URP", {data + 1, size - 1});
        try {
            (void)file.names();
            defs = file.readAll();
        } catch (const reports::ReportFileError&) {
            return 0;
        }
    }
    for (const auto& def : defs) {
        if (reports::decodeDefinition(reports::encodeDefinition(def)) != def)
            fuzz::fail("a definition changed through a write and a read");
    }
    if (!defs.empty()) {
        file.save(defs.front());
        if (file.readAll().size() != defs.size() + 1)
            fuzz::fail("a saved definition is missing");
    }
    for (std::size_t i = 0; i < defs.size() && i < 3; ++i) {
        render(defs[i], reports::ReportMode::Print);
        render(defs[i], reports::ReportMode::File);
    }
    return 0;
}
