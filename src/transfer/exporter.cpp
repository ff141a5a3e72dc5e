#include "transfer/exporter.h"

#include "db/displayformats.h"
#include "db/engine/table.h"
#include "db/fieldtable.h"
#include "db/textcodec.h"
#include "transfer/dbffiles.h"
#include "transfer/delimited.h"

#include <algorithm>
#include <numeric>

namespace shelvix::transfer {

const char* const kProtectedTargetMessage =
    "The file selected belongs to the open database and cannot be replaced by an export.  "
    "Choose another file.";

std::vector<ExportRow> exportRows(const app::DatabaseSettings& settings) {
    std::vector<int> fields(db::kFieldCount);
    std::iota(fields.begin(), fields.end(), 1);
    auto place = [&](int field) {
        const int order = settings.exportOrder[std::size_t(field - 1)];
        return order >= 1 && order <= db::kFieldCount ? order : db::kFieldCount + 1;
    };
    std::stable_sort(fields.begin(), fields.end(),
                     [&](int a, int b) { return place(a) < place(b); });
    std::vector<ExportRow> rows;
    for (int f : fields)
        rows.push_back({f, settings.exportFields[std::size_t(f - 1)]});
    return rows;
}

std::vector<ExportRow> defaultExportRows() {
    std::vector<ExportRow> rows;
    for (int f = 1; f <= db::kFieldCount; ++f)
        rows.push_back({f, true});
    return rows;
}

void updateConfigs(app::DatabaseSettings& settings, const std::vector<ExportRow>& rows) {
    for (std::size_t r = 0; r < rows.size() && r < std::size_t(db::kFieldCount); ++r) {
        const int f = rows[r].field;
        if (f < 1 || f > db::kFieldCount)
            continue;
        settings.exportOrder[std::size_t(f - 1)] = int(r) + 1;
        settings.exportFields[std::size_t(f - 1)] = rows[r].use;
    }
}

std::vector<int> calcIndexOrder(const app::DatabaseSettings& settings) {
    std::vector<int> out;
    for (int position = 1; position <= db::kFieldCount; ++position) {
        for (int f = 1; f <= db::kFieldCount; ++f) {
            if (settings.exportOrder[std::size_t(f - 1)] != position)
                continue;
            if (settings.exportFields[std::size_t(f - 1)])
                out.push_back(f);
            break;
        }
    }
    return out;
}

bool hasDbfExtension(const QString& path) {
    return path.right(4).toUpper() == QLatin1String(".DBF");
}

bool isProtectedTarget(const std::filesystem::path& target,
                       const std::vector<std::filesystem::path>& files) {
    const auto absTarget = std::filesystem::absolute(target).lexically_normal();
    for (const auto& file : files) {
        std::error_code ec;
        if (std::filesystem::equivalent(target, file, ec))
            return true;
        const auto absFile = std::filesystem::absolute(file).lexically_normal();
        if (absTarget.parent_path() == absFile.parent_path() &&
            QString::fromStdString(absTarget.filename().string())
                    .compare(QString::fromStdString(absFile.filename().string()),
                             Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

std::vector<std::filesystem::path> databaseFiles(const std::filesystem::path& table) {
    std::vector<std::filesystem::path> files{table};
    auto beside = [&](const char* extension) {
        auto p = table;
        files.push_back(p.replace_extension(extension));
    };
    beside(".MDX");
    beside(".INI");
    for (int i = 1; i <= 9; ++i)
        beside(("." + std::string(2, '0') + std::to_string(i)).c_str());
    return files;
}

ExportResult Exporter::run(std::unique_ptr<db::Table>& table, const ExportRequest& request,
                           app::SearchBracket* search,
                           const std::function<bool(std::uint64_t, std::uint64_t)>& progress) {
    if (isProtectedTarget(request.target, request.protectedFiles))
        throw TransferError(kProtectedTargetMessage);

    std::unique_ptr<RecordWriter> writer;
    if (request.format == ExportFormat::DBase)
        writer = std::make_unique<DbfWriter>(request.target);
    else
        writer = std::make_unique<DelimitedWriter>(request.target, formats_, request.headerLine,
                                                   request.utf8);

    // The search comes back however the export ends.
    const auto held = !request.searchOnly && search ? search->end() : app::SearchBracket::Held();
    if (!table)
        throw TransferError("No database is open.");
    db::Table& t = *table;

    std::vector<ExportColumn> columns;
    for (int f : request.fields) {
        ExportColumn c;
        c.field = f;
        c.index = t.fieldIndex(db::fieldInfo(f).name);
        c.label = db::toWindows1252(request.labels[std::size_t(f - 1)]);
        columns.push_back(std::move(c));
    }
    writer->begin(t, columns);

    ExportResult result;
    const std::uint64_t total = t.recordCount();
    t.disableControls();
    struct Enable {
        db::Table& t;
        ~Enable() { t.enableControls(); }
    } enable{t};
    t.scan([&](const db::RecordView& r) {
        writer->write(r);
        ++result.written;
        if (progress && !progress(result.written, total)) {
            result.cancelled = true;
            return true;
        }
        return false;
    });
    if (result.cancelled)
        return result;
    writer->commit();
    return result;
}

} // namespace shelvix::transfer
