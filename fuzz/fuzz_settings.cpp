// A settings file of arbitrary bytes, read as the program reads SHVBOOK.INI
// and a database's own settings, then used as the program uses them (sort
// order, grid columns, configuration pages, display formats). Writing what
// was read and reading it again must give the same settings.

#include "app/settings.h"
#include "core/profile.h"
#include "db/displayformats.h"
#include "db/settings.h"
#include "db/sortorder.h"
#include "fuzzsupport.h"
#include "viewer/viewconfig.h"
#include "viewer/viewercolumns.h"

using namespace shelvix;

namespace {

std::string firstDifference(const std::string& a, const std::string& b) {
    std::size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at])
        ++at;
    const std::size_t from = a.rfind('\n', at) == std::string::npos ? 0 : a.rfind('\n', at) + 1;
    return a.substr(from, at - from + 40) + "\n--- then ---\n" + b.substr(from, at - from + 40);
}

std::string textOf(const db::DatabaseSettings& database, const app::GlobalSettings& global) {
    core::Profile profile;
    (void)database.write(profile);
    (void)global.write(profile);
    return profile.text();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto file = fuzz::workDir() / "FUZZ.INI";
    fuzz::writeFile(file, {data, size});
    const QString path = QString::fromStdString(file.string());
    const QString missing = QString::fromStdString((fuzz::workDir() / "NONE.INI").string());

    const auto database = db::DatabaseSettings::load(path, missing);
    const auto global = app::GlobalSettings::load(path, QStringLiteral("/start"));

    (void)db::buildSortString(database.sortOrder);
    (void)viewer::planViewerColumns(database);
    auto pages = viewer::pagesFromSettings(database);
    auto stored = database;
    viewer::storePages(pages, stored);
    db::DisplayFormats formats;
    formats.setDateFormat(global.dateFormat);
    formats.setLeadingZeros(global.dateLeadingZeros);
    (void)formats.shortDateFormat();

    // Values are trimmed when read and cut to their length after, so a cut
    // may end in a blank the next read trims: settings settle after one save.
    const auto first = core::Profile::fromText(textOf(database, global));
    const auto settled = db::DatabaseSettings::read(first);
    const auto settledGlobal = app::GlobalSettings::read(first, QStringLiteral("/start"));
    const auto again = core::Profile::fromText(textOf(settled, settledGlobal));
    const auto reread = db::DatabaseSettings::read(again);
    if (!(reread == settled)) {
        core::Profile second;
        (void)reread.write(second);
        fuzz::fail("database settings changed through a write and a read:\n" +
                   firstDifference(textOf(settled, settledGlobal), second.text()));
    }
    if (!(app::GlobalSettings::read(again, QStringLiteral("/start")) == settledGlobal))
        fuzz::fail("program settings changed through a write and a read");

    // The file's own text, tidied once, stays as it is.
    const auto loaded = core::Profile::load(file);
    const std::string once = loaded.text();
    if (core::Profile::fromText(once).text() != once)
        fuzz::fail("a settings text changed when read and written a second time");
    return 0;
}
