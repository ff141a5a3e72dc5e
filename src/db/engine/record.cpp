#include "db/engine/record.h"

#include "core/text.h"

namespace shelvix::db {

RecordLayout::RecordLayout(std::vector<FieldLayout> fields, core::CodePage codePage)
    : fields_(std::move(fields)), codePage_(codePage) {
    int offset = 1; // after the deletion flag
    for (FieldLayout& f : fields_) {
        f.offset = offset;
        offset += f.length;
    }
    recordLength_ = offset;
}

int RecordLayout::indexOf(std::string_view name) const {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const std::string& n = fields_[i].name;
        if (n.size() != name.size())
            continue;
        std::size_t k = 0;
        while (k < n.size() && core::toUpperAscii(n[k]) == core::toUpperAscii(name[k]))
            ++k;
        if (k == n.size())
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace shelvix::db
