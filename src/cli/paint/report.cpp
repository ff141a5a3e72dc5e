#include "cli/report.h"

#include "cli/commands.h"
#include "core/codec.h"
#include "db/databasefiles.h"
#include "db/engine/table.h"
#include "db/settings.h"
#include "find/searchfilter.h"
#include "reports/paint/qtreport.h"
#include "reports/reportdefinition.h"
#include "reports/reportrender.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <memory>
#include <ostream>
#include <stdexcept>

namespace shelvix::cli {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

int paintReport(const Invocation& a, std::ostream& out, std::ostream&) {
    if (a.has("--text") == a.has("--pdf"))
        throw UsageError{"needs one of --text OUT and --pdf OUT"};
    const std::vector<std::string> searchLevelsGiven = a.values("--level");
    if (int(searchLevelsGiven.size()) > find::kMaxLevels)
        throw UsageError{"a search has at most " + std::to_string(find::kMaxLevels) + " levels"};
    // Dates read and shown as `search` reads them.
    const std::string dateFormat = a.value("--date-format", "m/d/yyyy");
    db::DisplayFormats formats;
    for (const db::DateFormatInfo& f : db::dateFormats()) {
        if (QString::fromStdString(dateFormat).toLower() == QLatin1String(f.caption) ||
            QString::fromStdString(dateFormat).toLower() == QLatin1String(f.patternWithoutZeros))
            formats.setDateFormat(f.number);
    }
    const std::vector<find::SearchItem> criteria = searchLevels(searchLevelsGiven, dateFormat);
    // Pages are laid out with real fonts, which need the GUI library, not a screen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "shelvix-tool";
    char* argv[] = {name, nullptr};
    // Errors go to standard error on one line; Qt's own notes would mix in.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    std::unique_ptr<QGuiApplication> gui;
    if (!QCoreApplication::instance())
        gui = std::make_unique<QGuiApplication>(argc, argv);

    const db::DatabaseFiles paths = db::DatabaseFiles::of(q(a.arguments[0]));
    const QString definitions =
        a.has("--definitions")
            ? q(a.value("--definitions"))
            : QFileInfo(paths.current).absoluteDir().filePath(QStringLiteral("SHVBOOK.URP"));
    // Definitions asked for by name are never quietly the default ones; what
    // is there but no file is refused as it is read.
    if (a.has("--definitions") && !QFileInfo::exists(definitions))
        throw std::runtime_error("Cannot open " + a.value("--definitions") +
                                 ": No such file or directory");
    // Without a definitions file, the eight the program would start it with.
    const reports::ReportFile file(definitions);
    std::vector<reports::ReportDefinition> all = reports::DefaultReports();
    QStringList unusable;
    if (file.exists()) {
        const std::optional<reports::ReportFileScan> scan = file.scan();
        all = scan ? scan->usable() : std::vector<reports::ReportDefinition>();
        unusable = scan ? scan->problems() : QStringList();
    }
    const std::string wanted = core::encode(a.value("--name")).bytes;
    const auto it = std::find_if(all.begin(), all.end(), [&](const reports::ReportDefinition& d) {
        return d.name == wanted;
    });
    if (it == all.end()) {
        // The report asked for may be one the file holds damaged.
        std::string why =
            "no report named \"" + a.value("--name") + "\" in " + definitions.toStdString();
        if (!unusable.isEmpty())
            why += " (it cannot use " + unusable.join(QStringLiteral("; ")).toStdString() + ")";
        throw std::runtime_error(why);
    }
    const reports::ReportDefinition def = *it;

    // The catalogue as the program shows it: its sort order when its sort
    // tag is there, its own field names.
    const db::DatabaseSettings settings = db::DatabaseSettings::load(paths.settings, QString());
    auto table = db::Table::open(a.arguments[0], db::OpenMode::Shared);
    std::array<int, 4> levels{};
    for (const db::TagInfo& tag : table->tags()) {
        if (QString::fromStdString(tag.name).compare(QLatin1String("NewIndex"),
                                                     Qt::CaseInsensitive) == 0) {
            table->selectTag(tag.name);
            levels = settings.sortOrder;
        }
    }
    // A search prints what it passes, as "Print Search Criteria" does.
    if (!criteria.empty())
        find::SearchFilter(criteria, *table).applyTo(*table);
    reports::ReportRenderer renderer(def, *table, formats);
    renderer.SortLevels = levels;
    for (std::size_t i = 0; i < renderer.FieldCaptions.size(); ++i)
        renderer.FieldCaptions[i] = settings.fieldNames[i];

    std::unique_ptr<reports::TBaseReport> engine;
    if (a.has("--pdf")) {
        auto printer = std::make_unique<reports::TReportPrinter>();
        printer->ChoosePdfFile(q(a.value("--pdf")));
        engine = std::move(printer);
    } else {
        auto filer = std::make_unique<reports::TReportFiler>();
        filer->CountOnly = true;
        // The paper a PDF gets, so text and PDF break their pages alike.
        reports::PrinterChoice pdf;
        pdf.pdfFile = QStringLiteral("report.pdf");
        filer->ChoosePaper(QPageSize(pdf.paperInches(), QPageSize::Inch));
        renderer.OutputMode = reports::ReportMode::File;
        renderer.TextFileName = q(a.value("--text"));
        engine = std::move(filer);
    }
    engine->Orientation = def.landscape ? reports::poLandScape : reports::poPortrait;
    renderer.attach(*engine);
    if (!engine->RunReport())
        throw std::runtime_error("the PDF file " + a.value("--pdf") + " could not be written");
    if (!renderer.error().isEmpty())
        throw std::runtime_error(renderer.error().toStdString());
    out << engine->CurrentPage() << " pages\n";
    return 0;
}

} // namespace shelvix::cli
