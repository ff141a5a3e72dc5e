// Placeholders until the key-expression and production-index code lands:
// the table works without indexes, and any index use reports so.
#include "db/engine/error.h"
#include "db/engine/expr.h"
#include "db/engine/keys.h"
#include "db/engine/mdx.h"

#include <algorithm>
#include <cctype>

namespace shelvix::db {

namespace {
[[noreturn]] void unavailable() {
    throw DatabaseError("Index support is not built into this engine",
                        DatabaseError::Kind::Unsupported);
}
} // namespace

std::unique_ptr<MdxFile> MdxFile::create(FileSystem&, const std::filesystem::path&,
                                         std::string_view) {
    unavailable();
}
std::unique_ptr<MdxFile> MdxFile::open(FileSystem&, const std::filesystem::path&, bool) {
    unavailable();
}

} // namespace shelvix::db
