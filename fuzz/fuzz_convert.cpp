// An earlier version's catalogue of arbitrary bytes (the first byte chooses
// version 1 or 2; then a table and index as fuzzsupport.h lays them out),
// checked and converted into a book table as start-up does. A file that does
// not convert ends in its error; the book table must pass its check.

#include "db/conversion.h"
#include "db/engine/error.h"
#include "db/engine/table.h"
#include "fuzzsupport.h"

#include <filesystem>

using namespace shelvix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const bool v1 = data[0] & 1;
    const auto [dbf, mdx] = fuzz::splitTwo({data + 1, size - 1});
    const auto dir = fuzz::workDir();
    const auto name = dir / (v1 ? db::kVersion1File : db::kVersion2File);
    const auto index = std::filesystem::path(name).replace_extension(".MDX");
    fuzz::writeFile(name, dbf);
    if (mdx.empty())
        std::filesystem::remove(index);
    else
        fuzz::writeFile(index, mdx);
    const QString path = QString::fromStdString(name.string());
    db::Table& table = fuzz::bookTarget();
    try {
        if (v1 ? db::CheckDBaseFormatV1(path) : db::CheckDBaseFormatV2(path))
            (void)(v1 ? db::ConvertV1(path, table) : db::ConvertV2(path, table));
    } catch (const db::DatabaseError&) {
    }
    fuzz::requireWhole(table, "a conversion");
    return 0;
}
