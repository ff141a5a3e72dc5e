#pragma once

#include "core/codec.h"

#include <string>
#include <string_view>
#include <vector>

namespace shelvix::db {

// Where a field lives in a record buffer. A record buffer starts with the
// deletion flag byte, so the first field has offset 1.
struct FieldLayout {
    std::string name; // as stored in the header (upper case, at most 10 chars)
    char type = 'C';  // C N F D L M
    int offset = 0;
    int length = 0;
    int decimals = 0;
};

class RecordLayout {
public:
    RecordLayout() = default;
    // Fields lie one after the other from offset 1 in the order given; the
    // offsets are computed here, whatever the entries held.
    // `codePage` is the table's: how its text reads (in messages, say).
    explicit RecordLayout(std::vector<FieldLayout> fields,
                          core::CodePage codePage = core::CodePage::Windows1252);

    const std::vector<FieldLayout>& fields() const { return fields_; }
    int recordLength() const { return recordLength_; }
    core::CodePage codePage() const { return codePage_; }
    // Index of the field named `name` without regard to case, or -1.
    int indexOf(std::string_view name) const;

private:
    std::vector<FieldLayout> fields_;
    int recordLength_ = 1;
    core::CodePage codePage_ = core::CodePage::Windows1252;
};

} // namespace shelvix::db
