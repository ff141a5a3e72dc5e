#include "db/fieldtable.h"

#include "core/text.h"

#include <stdexcept>
#include <string>

namespace shelvix::db {

namespace {

using K = FieldKind;

constexpr std::array<FieldInfo, kFieldCount> kFields = {{
    {"Title", 'C', 90, 0, K::Text, false, "Title"},
    {"Author", 'C', 90, 0, K::Text, true, "Author"},
    {"YearPub", 'N', 4, -1, K::WholeNumber, false, "Year Pub"},
    {"Publisher", 'C', 60, 0, K::Text, true, "Publisher"},
    {"Category", 'C', 20, 0, K::Text, true, "Category"},
    {"WherePurch", 'C', 30, 0, K::Text, true, "Where Purchased"},
    {"Cost", 'N', 12, 2, K::Money, false, "Cost"},
    {"Value", 'N', 12, 2, K::Money, false, "Value"},
    {"Descriptio", 'C', 110, 0, K::Text, false, "Description"},
    {"ISBN", 'C', 20, 0, K::Text, false, "ISBN"},
    {"Rating", 'C', 15, 0, K::Text, true, "Rating"},
    {"PurchDate", 'D', 10, 0, K::Date, false, "Purchase Date"},
    {"BookType", 'C', 15, 0, K::Text, true, "Book Type"},
    {"CatalogNum", 'C', 15, 0, K::Text, false, "Cat Num"},
    {"Sub1", 'C', 6, 0, K::Text, false, "Sub Cat1"},
    {"Sub2", 'C', 6, 0, K::Text, false, "Sub Cat2"},
    {"CheckOut", 'C', 3, 0, K::Text, true, "Checked Out"},
    {"CheckDate", 'D', 10, 0, K::Date, false, "Check Out Date"},
    {"CheckName", 'C', 30, 0, K::Text, true, "Check Out Person"},
    {"Volume", 'C', 8, 0, K::Text, false, "Volume"},
    {"Issue", 'C', 8, 0, K::Text, false, "Issue"},
    {"Edition", 'C', 10, 0, K::Text, false, "Edition"},
    {"KeyWords", 'C', 80, 0, K::Text, false, "Key Words"},
    {"Pages", 'N', 5, 0, K::WholeNumber, false, "Pages"},
    {"Location", 'C', 30, 0, K::Text, true, "Location"},
    {"Condition", 'C', 20, 0, K::Text, true, "Condition"},
    {"Editor", 'C', 30, 0, K::Text, false, "Editor"},
    {"Dewey", 'C', 20, 0, K::Text, false, "Dewey Decimal"},
    {"LowMarket", 'N', 12, 2, K::Money, false, "Low Market"},
    {"HighMarket", 'N', 12, 2, K::Money, false, "High Market"},
    {"UserDef1", 'C', 40, 0, K::Text, false, "User Defined 1"},
    {"UserDef2", 'C', 40, 0, K::Text, false, "User Defined 2"},
    {"UserDef3", 'C', 40, 0, K::Text, false, "User Defined 3"},
    {"UserDef4", 'C', 40, 0, K::Text, false, "User Defined 4"},
    {"UserDef5", 'C', 40, 0, K::Text, false, "User Defined 5"},
    {"UserDef6", 'C', 40, 0, K::Text, false, "User Defined 6"},
}};

constexpr bool named(int number, std::string_view name) {
    return std::string_view(kFields[static_cast<std::size_t>(number - 1)].name) == name;
}
static_assert(named(field::Title, "Title") && named(field::Author, "Author") &&
              named(field::PurchDate, "PurchDate") && named(field::CheckDate, "CheckDate") &&
              named(field::Location, "Location") && named(field::UserDef1, "UserDef1") &&
              named(field::UserDef6, "UserDef6"));

} // namespace

const std::array<FieldInfo, kFieldCount>& fieldTable() {
    return kFields;
}

const FieldInfo& fieldInfo(int number) {
    if (number < 1 || number > kFieldCount)
        throw std::out_of_range("no book field number " + std::to_string(number));
    return kFields[static_cast<std::size_t>(number - 1)];
}

int fieldNumber(std::string_view name) {
    for (int i = 0; i < kFieldCount; ++i) {
        if (core::equalsNoCase(kFields[static_cast<std::size_t>(i)].name, name))
            return i + 1;
    }
    return 0;
}

} // namespace shelvix::db
