#include "cli/plain/readers.h"

#include "core/codec.h"
#include "db/engine/error.h"

#include <cstdio>
#include <ostream>

namespace fs = std::filesystem;
using shelvix::db::OpenMode;
using shelvix::db::Table;

namespace shelvix::cli {

std::string csvField(std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(value);
    std::string out = "\"";
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::unique_ptr<Table> openToRead(const fs::path& file, std::ostream& err, OpenMode mode) {
    try {
        return Table::open(file, mode);
    } catch (const db::DatabaseError& e) {
        if (e.kind() != db::DatabaseError::Kind::NotFound || !fs::is_regular_file(file))
            throw;
        auto table = Table::openTableOnly(file, mode);
        err << "shelvix-tool: note: " << e.what() << "; the records are read without it ('"
            << "shelvix-tool repair " << file.string() << "' builds it again)\n";
        return table;
    }
}

int runInfo(const Invocation& a, std::ostream& out, std::ostream& err) {
    auto table = openToRead(a.arguments[0], err);
    std::uint32_t total = 0, deleted = 0;
    table->setShowDeleted(true);
    table->scan([&](const db::RecordView& r) {
        ++total;
        if (r.deleted())
            ++deleted;
        return false;
    });
    char driver[8];
    std::snprintf(driver, sizeof driver, "0x%02X", table->languageDriver());
    out << "file: " << table->path().string() << "\n"
        << "records: " << total << "\n"
        << "deleted: " << deleted << "\n"
        << "language driver: " << driver
        << (table->codePage() == db::CodePage::Cp437 ? " (cp437)" : " (cp1252)") << "\n"
        << "fields: " << table->fieldCount() << "\n";
    for (int i = 0; i < table->fieldCount(); ++i) {
        const auto& f = table->field(i);
        out << "  " << (i + 1) << " " << f.name << " " << f.type << "(" << f.length;
        if (f.type == 'N' || f.type == 'F')
            out << "," << f.decimals;
        out << ")\n";
    }
    auto tags = table->tags();
    out << "tags: " << tags.size() << "\n";
    for (const auto& t : tags)
        out << "  " << t.name << " " << static_cast<char>(t.type) << "(" << t.keyLength << ") "
            << t.expression << "\n";
    return 0;
}

int runDump(const Invocation& a, std::ostream& out, std::ostream& err) {
    auto table = openToRead(a.arguments[0], err);
    if (a.has("--tag"))
        table->selectTag(a.value("--tag"));
    table->setShowDeleted(a.has("--deleted"));
    writeCsv(*table, a.value("--fields"), out);
    return 0;
}

void writeCsv(Table& table, const std::string& fieldList, std::ostream& out) {
    std::vector<int> fields;
    if (!fieldList.empty()) {
        const std::string& list = fieldList;
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t comma = list.find(',', start);
            if (comma == std::string::npos)
                comma = list.size();
            fields.push_back(table.fieldIndex(list.substr(start, comma - start)));
            start = comma + 1;
        }
    } else {
        for (int i = 0; i < table.fieldCount(); ++i)
            fields.push_back(i);
    }
    const auto cp = table.codePage();
    out << "Recno,Deleted";
    for (int f : fields)
        out << "," << table.field(f).name;
    out << "\n";
    std::string line;
    table.scan([&](const db::RecordView& r) {
        line = std::to_string(r.recno());
        line += r.deleted() ? ",*" : ",";
        for (int f : fields) {
            line += ',';
            char type = table.field(f).type;
            if (type == 'D') {
                if (auto d = r.date(f)) {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d->year, d->month, d->day);
                    line += buf;
                }
            } else if (type == 'N' || type == 'F') {
                std::string_view t = r.text(f);
                line += csvField(t);
            } else {
                line += csvField(core::decode(r.text(f), cp));
            }
        }
        line += '\n';
        out << line;
        return false;
    });
}

} // namespace shelvix::cli
