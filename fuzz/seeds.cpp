// Writes the seed inputs that are made by the program itself rather than
// taken from other tools: settings files, report definitions of both
// versions. fuzz/make-corpus.sh calls it.
//
//   fuzz_seeds CORPUS_DIR

#include "app/settings.h"
#include "core/profile.h"
#include "db/settings.h"
#include "reports/reportdefinition.h"

#include <filesystem>
#include <fstream>
#include <string>

using namespace shelvix;
namespace fs = std::filesystem;

namespace {

void put(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// An earlier version's record: name, width, flags, a totals part and a body
// line with a field and a label, at that version's offsets.
std::string oldRecord(const std::string& name, int chars) {
    std::string r(reports::kOldDefinitionSize, '\0');
    auto text = [&](std::size_t at, const std::string& s) {
        r[at] = char(s.size());
        r.replace(at + 1, s.size(), s);
    };
    auto i16 = [&](std::size_t at, int v) {
        r[at] = char(v & 0xFF);
        r[at + 1] = char((v >> 8) & 0xFF);
    };
    text(0, name);
    i16(31, chars);
    r[84] = 1;
    r[85] = 1;
    i16(86, 1);
    text(88, "Quantity");
    r[88 + 31] = 3;
    i16(88 + 32, 20);
    text(1588 + 81, "Second title");
    text(1831, "YearPub");
    r[1831 + 31] = 3;
    i16(1831 + 32, 10);
    text(1831 + 75, "<LABEL>");
    i16(1831 + 75 + 32, 8);
    text(1831 + 75 + 34, "Yr");
    return r;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const fs::path out = argv[1];

    core::Profile database;
    (void)db::DatabaseSettings().write(database);
    put(out / "settings/database.ini", database.text());
    core::Profile global;
    (void)app::GlobalSettings::defaults(QStringLiteral("/home/reader")).write(global);
    put(out / "settings/global.ini", global.text());

    const auto defaults = reports::DefaultReports();
    put(out / "reports/one", std::string(1, '\0') + reports::encodeDefinition(defaults[0]));
    put(out / "reports/two", std::string(1, '\0') + reports::encodeDefinition(defaults[2]) +
                                 reports::encodeDefinition(defaults[5]));
    put(out / "reports/old", std::string(1, '\1') + oldRecord("By Year", 90));
    return 0;
}
