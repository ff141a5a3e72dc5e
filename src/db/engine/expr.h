#pragma once

#include "db/engine/keys.h"
#include "db/engine/record.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace shelvix::db {

// A compiled dBASE key expression: field names, string ("..", '..', [..]),
// number and date ({MM/DD/YY}, {MM/DD/YYYY}, {}) literals, '+' and '-', and
// UPPER LOWER LEFT RIGHT SUBSTR TRIM LTRIM RTRIM STR DTOS VAL (names without
// regard to case). Evaluating it on a record buffer yields the encoded index
// key. A blank or unreadable number counts as 0, a blank or impossible date as
// no date. UPPER and LOWER map the Windows-1252 letter pairs (also Š Œ Ž Ÿ;
// ß stays).
// The capital UPPER gives a Windows-1252 byte (the byte itself when none).
std::uint8_t upperCase(std::uint8_t c);

class KeyExpression {
public:
    // Throws DatabaseError (Kind::InvalidExpression) with a readable message
    // when the text does not parse, names an unknown field or function, or
    // mixes types (e.g. a date + a text).
    // The message shows the text decoded from the layout's code page.
    static KeyExpression compile(std::string_view text, const RecordLayout& layout);

    KeyExpression(KeyExpression&&) noexcept;
    KeyExpression& operator=(KeyExpression&&) noexcept;
    ~KeyExpression();

    const std::string& text() const;
    KeyType type() const;
    // C: the expression's maximum text length (at most 100); N: 12; D: 8.
    int keyLength() const;
    // The field index when the expression is one bare field name, else -1.
    int bareField() const;

    // How the key begins, when it begins with one field's value: the bare
    // number or date field (the whole key), or STR(number field, length,
    // decimals) or DTOS(date field) as the first `length` bytes of a text key.
    struct Lead {
        enum class Form { Bare, Str, Dtos } form = Form::Bare;
        int field = -1;
        int length = 0;
        int decimals = 0;
    };
    std::optional<Lead> lead() const;
    // How a text key begins when it begins with a text field's characters:
    // the field alone or under UPPER() and LEFT(), `length` characters of it.
    struct TextLead {
        int field = -1;
        bool upper = false;
        int length = 0;
    };
    std::optional<TextLead> textLead() const;

    // Writes exactly keyLength() bytes: C blank-padded, N BCD, D Julian double.
    // `record` holds layout.recordLength() bytes. Reuses buffers of its own
    // rather than allocating, so one expression must not be evaluated on two
    // threads at once.
    void evaluate(const std::uint8_t* record, std::uint8_t* key) const;
    // The key as other dBASE writers build it: STR() rounds the binary value
    // and gives asterisks rather than fewer decimals when the number is wide.
    void evaluateAsOthers(const std::uint8_t* record, std::uint8_t* key) const;
    // Whether a number or date field the expression reads is blank in the
    // record: other tools key such blanks by conventions of their own.
    bool readsBlankNumberOrDate(const std::uint8_t* record) const;

private:
    struct Impl;
    explicit KeyExpression(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace shelvix::db
