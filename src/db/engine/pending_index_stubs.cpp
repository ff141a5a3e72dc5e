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

RecordLayout::RecordLayout(std::vector<FieldLayout> fields) : fields_(std::move(fields)) {
    recordLength_ = 1;
    for (const auto& f : fields_)
        recordLength_ += f.length;
}

int RecordLayout::indexOf(std::string_view name) const {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const std::string& n = fields_[i].name;
        if (n.size() == name.size() &&
            std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) ==
                       std::toupper(static_cast<unsigned char>(b));
            }))
            return int(i);
    }
    return -1;
}

struct KeyExpression::Impl {};
KeyExpression KeyExpression::compile(std::string_view, const RecordLayout&) {
    unavailable();
}
KeyExpression::KeyExpression(KeyExpression&&) noexcept = default;
KeyExpression& KeyExpression::operator=(KeyExpression&&) noexcept = default;
KeyExpression::~KeyExpression() = default;
const std::string& KeyExpression::text() const {
    unavailable();
}
KeyType KeyExpression::type() const {
    unavailable();
}
int KeyExpression::keyLength() const {
    unavailable();
}
int KeyExpression::bareField() const {
    unavailable();
}
void KeyExpression::evaluate(const std::uint8_t*, std::uint8_t*) const {
    unavailable();
}

std::unique_ptr<MdxFile> MdxFile::create(FileSystem&, const std::filesystem::path&,
                                         std::string_view) {
    unavailable();
}
std::unique_ptr<MdxFile> MdxFile::open(FileSystem&, const std::filesystem::path&, bool) {
    unavailable();
}

} // namespace shelvix::db
