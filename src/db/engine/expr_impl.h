#pragma once

// Private to the key-expression compiler (expr.cpp, expr_parse.cpp).

#include "db/engine/expr.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace shelvix::db::keyexpr {

enum class Type : std::uint8_t { Text, Number, Date };

enum class Op : std::uint8_t {
    // text
    TextField,
    TextLiteral,
    Left,
    Right,
    Substr,
    Trim,
    LTrim,
    Upper,
    Lower,
    Concat,
    ConcatTrimmed,
    Str,
    Dtos,
    // number
    NumberField,
    NumberLiteral,
    Val,
    Add,
    Subtract,
    Negate,
    DateDiff,
    // date
    DateField,
    DateLiteral,
    DatePlus,
    DateMinus,
};

struct Node {
    Op op = Op::TextLiteral;
    Type type = Type::Text;
    int a = -1; // children
    int b = -1;
    int offset = 0; // field bytes in the record
    int length = 0;
    int p1 = 0; // LEFT/RIGHT count, SUBSTR start, STR length
    int p2 = 0; // SUBSTR length (-1: to the end), STR decimals
    double number = 0.0;
    std::int32_t julian = 0;
    std::string literal;
    int maxLength = 0; // text nodes: the most bytes they produce
};

// Parses `text` into `nodes`, children before their parents, and returns the
// root's index. Throws as KeyExpression::compile describes.
int parse(std::string_view text, const RecordLayout& layout, std::vector<Node>& nodes);

// Throws the InvalidExpression error for `text`, `detail` appended.
[[noreturn]] void fail(std::string_view text, const RecordLayout& layout,
                       const std::string& detail);

} // namespace shelvix::db::keyexpr

namespace shelvix::db {

struct KeyExpression::Impl {
    std::string text;
    std::vector<keyexpr::Node> nodes;
    int root = -1;
    KeyType type = KeyType::Character;
    int keyLength = 0;
    int bareField = -1;
    // Per-node output buffers, sized at compile time so that evaluation does
    // not allocate. Makes an expression unsafe to share between threads.
    mutable std::vector<std::vector<char>> scratch;
    // STR() as other writers give it, for check() alone.
    mutable bool binaryStr = false;

    std::string_view textOf(int n, const std::uint8_t* record) const;
    std::size_t textInto(int n, const std::uint8_t* record, char* out) const;
    double numberOf(int n, const std::uint8_t* record) const;
    std::int32_t julianOf(int n, const std::uint8_t* record) const;
};

} // namespace shelvix::db
