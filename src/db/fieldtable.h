#pragma once

#include <array>
#include <string_view>

// The 36 fields every book table has, in table order. Settings, search
// criteria, sort levels, reports and import/export choices refer to a field
// by its number, 1 to 36.
namespace shelvix::db {

enum class FieldKind { Text = 1, WholeNumber = 2, Money = 3, Date = 4 };

struct FieldInfo {
    const char* name; // internal name, as in the .DBF header but mixed case
    char type;        // 'C', 'N' or 'D'
    int width;        // column width (text) or characters typed (numbers, dates)
    int decimals;     // 2 money, -1 YearPub (plain number format), else 0
    FieldKind kind;
    bool choice;       // picked from a data list or a yes/no box
    const char* label; // default user-visible name
};

inline constexpr int kFieldCount = 36;

// The field numbers by the fields' internal names, for code that means one
// particular field.
namespace field {
enum : int {
    Title = 1,
    Author,
    YearPub,
    Publisher,
    Category,
    WherePurch,
    Cost,
    Value,
    Descriptio,
    ISBN,
    Rating,
    PurchDate,
    BookType,
    CatalogNum,
    Sub1,
    Sub2,
    CheckOut,
    CheckDate,
    CheckName,
    Volume,
    Issue,
    Edition,
    KeyWords,
    Pages,
    Location,
    Condition,
    Editor,
    Dewey,
    LowMarket,
    HighMarket,
    UserDef1,
    UserDef2,
    UserDef3,
    UserDef4,
    UserDef5,
    UserDef6
};
} // namespace field

const std::array<FieldInfo, kFieldCount>& fieldTable();

// Field `number` (1 to 36); throws std::out_of_range for any other number.
const FieldInfo& fieldInfo(int number);

// The number of the field with this internal name, without regard to case;
// 0 when there is none.
int fieldNumber(std::string_view name);

} // namespace shelvix::db
