// A data-list file of arbitrary bytes: read, saved, read again (the same
// entries), and the nine files of a database loaded together.

#include "db/datalists.h"
#include "fuzzsupport.h"

using namespace shelvix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto dir = fuzz::workDir();
    const auto file = dir / "FUZZ.004";
    fuzz::writeFile(file, {data, size});
    const QString path = QString::fromStdString(file.string());

    QStringList entries = db::LoadList(path);
    const QString copy = QString::fromStdString((dir / "COPY.LST").string());
    if (!db::SaveList(copy, entries))
        fuzz::fail("a list could not be saved");
    if (db::LoadList(copy) != entries)
        fuzz::fail("a list changed through a save and a load");
    (void)db::AddToList(entries, entries.isEmpty() ? QStringLiteral("x") : entries.front());

    // Book type (7), category (4) and rating (6) present: the database's own.
    const QString base = QString::fromStdString((dir / "FUZZ").string());
    fuzz::writeFile(dir / "FUZZ.006", {data, size});
    fuzz::writeFile(dir / "FUZZ.007", {data, size});
    const auto lists = db::LoadAllList(base, QString::fromStdString(dir.string()));
    if (lists[3] != db::LoadList(path))
        fuzz::fail("a database's list read differently with the others");
    return 0;
}
