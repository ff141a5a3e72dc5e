#include "db/engine/expr.h"

#include "db/engine/error.h"
#include "db/engine/value.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace shelvix::db {

namespace {

char asciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Windows-1252 case pairs: ASCII letters, the Latin-1 letters (not the
// multiplication and division signs), and Š Œ Ž Ÿ. ß and µ have no capital
// here and stay as they are.
constexpr std::array<std::uint8_t, 256> makeUpperTable() {
    std::array<std::uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        t[c] = static_cast<std::uint8_t>(c);
    }
    for (int c = 'a'; c <= 'z'; ++c) {
        t[c] = static_cast<std::uint8_t>(c - 0x20);
    }
    for (int c = 0xE0; c <= 0xFE; ++c) {
        if (c != 0xF7) {
            t[c] = static_cast<std::uint8_t>(c - 0x20);
        }
    }
    t[0x9A] = 0x8A; // š
    t[0x9C] = 0x8C; // œ
    t[0x9E] = 0x8E; // ž
    t[0xFF] = 0x9F; // ÿ
    return t;
}

constexpr std::array<std::uint8_t, 256> makeLowerTable() {
    const auto upper = makeUpperTable();
    std::array<std::uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        t[c] = static_cast<std::uint8_t>(c);
    }
    for (int c = 0; c < 256; ++c) {
        if (upper[c] != c) {
            t[upper[c]] = static_cast<std::uint8_t>(c);
        }
    }
    return t;
}

constexpr auto kUpper = makeUpperTable();
constexpr auto kLower = makeLowerTable();

constexpr std::int32_t kFirstJulianDay = 1721426; // 0001-01-01
constexpr std::int32_t kLastJulianDay = 5373484;  // 9999-12-31
constexpr int kMaxStrLength = 255;
constexpr std::size_t kMaxExpressionLength = 255;

enum class Type : std::uint8_t { Text, Number, Date };

const char* typeName(Type t) {
    switch (t) {
    case Type::Text:
        return "text";
    case Type::Number:
        return "number";
    case Type::Date:
        return "date";
    }
    return "";
}

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

} // namespace

// ---------------------------------------------------------------------------

struct KeyExpression::Impl {
    std::string text;
    std::vector<Node> nodes;
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

namespace {

std::string_view fieldBytes(const Node& node, const std::uint8_t* record) {
    return {reinterpret_cast<const char*>(record) + node.offset,
            static_cast<std::size_t>(node.length)};
}

std::size_t formatStr(const DecimalNumber* number, int length, int decimals, char* out) {
    const auto width = static_cast<std::size_t>(length);
    if (number != nullptr) {
        char text[kMaxFixedText];
        // Fewer decimals before overflow; asterisks only when even the whole
        // number does not fit.
        for (int d = decimals; d >= 0; --d) {
            const std::size_t n = formatFixed(*number, d, text);
            if (n <= width) {
                std::memset(out, ' ', width - n);
                std::memcpy(out + (width - n), text, n);
                return width;
            }
        }
    }
    std::memset(out, '*', width);
    return width;
}

// Case mapping, eight ASCII bytes at a time where it can.
void mapCase(const char* in, char* out, std::size_t n, bool upper) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const std::uint64_t first = kOnes * (upper ? 'a' : 'A');
    const std::uint64_t last = kOnes * (upper ? 'z' : 'Z');
    const auto& table = upper ? kUpper : kLower;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, in + i, 8);
        if ((w & kHigh) == 0) {
            // Each byte < 0x80, so these sums never carry into the next byte.
            const std::uint64_t atLeastFirst = w + (kHigh - first);
            const std::uint64_t aboveLast = w + (kHigh - last - kOnes);
            const std::uint64_t letters = atLeastFirst & ~aboveLast & kHigh;
            w ^= letters >> 2; // 0x80 >> 2 is the case bit 0x20
            std::memcpy(out + i, &w, 8);
        } else {
            for (std::size_t k = i; k < i + 8; ++k) {
                out[k] = static_cast<char>(table[static_cast<std::uint8_t>(in[k])]);
            }
        }
    }
    for (; i < n; ++i) {
        out[i] = static_cast<char>(table[static_cast<std::uint8_t>(in[i])]);
    }
}

// VAL(): the number at the start of the text after blanks; 0 when none.
double leadingNumber(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\0')) {
        ++i;
    }
    const std::size_t start = i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    std::string_view number = s.substr(start, i - start);
    const bool negative = number.front() == '-';
    if (number.front() == '+' || number.front() == '-') {
        number.remove_prefix(1);
    }
    double value = 0.0;
    std::from_chars(number.data(), number.data() + number.size(), value);
    return negative ? -value : value;
}

} // namespace

std::string_view KeyExpression::Impl::textOf(int n, const std::uint8_t* record) const {
    const Node& node = nodes[static_cast<std::size_t>(n)];
    switch (node.op) {
    case Op::TextField:
        return fieldBytes(node, record);
    case Op::TextLiteral:
        return node.literal;
    case Op::Left: {
        const std::string_view v = textOf(node.a, record);
        return v.substr(0, std::min(v.size(), static_cast<std::size_t>(node.p1)));
    }
    case Op::Right: {
        const std::string_view v = textOf(node.a, record);
        return v.substr(v.size() - std::min(v.size(), static_cast<std::size_t>(node.p1)));
    }
    case Op::Substr: {
        const std::string_view v = textOf(node.a, record);
        const auto start = static_cast<std::size_t>(node.p1 - 1);
        if (start >= v.size()) {
            return {};
        }
        return node.p2 < 0 ? v.substr(start) : v.substr(start, static_cast<std::size_t>(node.p2));
    }
    case Op::Trim: {
        const std::string_view v = textOf(node.a, record);
        std::size_t end = v.size();
        while (end > 0 && (v[end - 1] == ' ' || v[end - 1] == '\0')) {
            --end;
        }
        return v.substr(0, end);
    }
    case Op::LTrim: {
        const std::string_view v = textOf(node.a, record);
        std::size_t i = 0;
        while (i < v.size() && (v[i] == ' ' || v[i] == '\0')) {
            ++i;
        }
        return v.substr(i);
    }
    default: {
        char* buffer = scratch[static_cast<std::size_t>(n)].data();
        return {buffer, textInto(n, record, buffer)};
    }
    }
}

std::size_t KeyExpression::Impl::textInto(int n, const std::uint8_t* record, char* out) const {
    const Node& node = nodes[static_cast<std::size_t>(n)];
    switch (node.op) {
    case Op::Upper:
    case Op::Lower: {
        const std::string_view v = textOf(node.a, record);
        mapCase(v.data(), out, v.size(), node.op == Op::Upper);
        return v.size();
    }
    case Op::Concat: {
        const std::size_t left = textInto(node.a, record, out);
        return left + textInto(node.b, record, out + left);
    }
    case Op::ConcatTrimmed: {
        // dBASE's text '-': the left side's trailing blanks move to the end.
        const std::size_t left = textInto(node.a, record, out);
        std::size_t kept = left;
        while (kept > 0 && (out[kept - 1] == ' ' || out[kept - 1] == '\0')) {
            --kept;
        }
        const std::size_t right = textInto(node.b, record, out + kept);
        std::memset(out + kept + right, ' ', left - kept);
        return left + right;
    }
    case Op::Str: {
        // A stored number is rounded on its own digits, exactly.
        DecimalNumber number;
        const Node& arg = nodes[static_cast<std::size_t>(node.a)];
        bool known = true;
        if (arg.op == Op::NumberField) {
            decimalFromText(fieldBytes(arg, record), number); // blank or junk: 0
        } else {
            known = decimalFromDouble(numberOf(node.a, record), number);
        }
        if (binaryStr) {
            // Rounded on the binary value, all decimals or asterisks.
            const auto width = static_cast<std::size_t>(node.p1);
            char shown[64];
            int len = std::snprintf(shown, sizeof shown, "%*.*f", node.p1, node.p2,
                                    numberOf(node.a, record));
            if (len < 0 || static_cast<std::size_t>(len) > width)
                std::memset(out, '*', width);
            else
                std::memcpy(out, shown, width);
            return width;
        }
        return formatStr(known ? &number : nullptr, node.p1, node.p2, out);
    }
    case Op::Dtos: {
        const Node& arg = nodes[static_cast<std::size_t>(node.a)];
        if (arg.op == Op::DateField) {
            const std::string_view v = fieldBytes(arg, record);
            if (parseDateField(v)) {
                std::memcpy(out, trimBoth(v).data(), 8);
            } else {
                std::memset(out, ' ', 8);
            }
            return 8;
        }
        const std::int32_t jd = julianOf(node.a, record);
        formatDateField(jd == 0 ? std::nullopt : std::optional<Date>(dateFromJulianDay(jd)), out);
        return 8;
    }
    default: {
        const std::string_view v = textOf(n, record);
        std::memcpy(out, v.data(), v.size());
        return v.size();
    }
    }
}

double KeyExpression::Impl::numberOf(int n, const std::uint8_t* record) const {
    const Node& node = nodes[static_cast<std::size_t>(n)];
    switch (node.op) {
    case Op::NumberField:
        // Blank (and unreadable) numbers count as 0.
        return parseNumberField(fieldBytes(node, record)).value;
    case Op::NumberLiteral:
        return node.number;
    case Op::Val:
        return leadingNumber(textOf(node.a, record));
    case Op::Add:
        return numberOf(node.a, record) + numberOf(node.b, record);
    case Op::Subtract:
        return numberOf(node.a, record) - numberOf(node.b, record);
    case Op::Negate:
        return -numberOf(node.a, record);
    case Op::DateDiff: {
        const std::int32_t a = julianOf(node.a, record);
        const std::int32_t b = julianOf(node.b, record);
        return (a == 0 || b == 0) ? 0.0 : static_cast<double>(a - b);
    }
    default:
        return 0.0;
    }
}

std::int32_t KeyExpression::Impl::julianOf(int n, const std::uint8_t* record) const {
    const Node& node = nodes[static_cast<std::size_t>(n)];
    switch (node.op) {
    case Op::DateField: {
        const auto date = parseDateField(fieldBytes(node, record));
        return date ? julianDay(*date) : 0;
    }
    case Op::DateLiteral:
        return node.julian;
    case Op::DatePlus:
    case Op::DateMinus: {
        const std::int32_t jd = julianOf(node.a, record);
        if (jd == 0) {
            return 0;
        }
        double days = std::trunc(numberOf(node.b, record));
        if (node.op == Op::DateMinus) {
            days = -days;
        }
        const double result = static_cast<double>(jd) + days;
        if (!(result >= kFirstJulianDay && result <= kLastJulianDay)) {
            return 0;
        }
        return static_cast<std::int32_t>(result);
    }
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------

namespace {

enum class Tok { End, Name, Number, String, Date, LParen, RParen, Comma, Plus, Minus };

struct Token {
    Tok kind = Tok::End;
    std::string_view text; // name, number, string contents, date contents
    std::size_t pos = 0;
};

class Parser {
public:
    Parser(std::string_view text, const RecordLayout& layout, std::vector<Node>& nodes)
        : text_(text), layout_(layout), nodes_(nodes) {
        advance();
    }

    int parseAll() {
        // dBASE keeps at most 220 characters of a key expression; the bound
        // also limits how deeply the parser recurses.
        if (text_.size() > kMaxExpressionLength) {
            fail("longer than " + std::to_string(kMaxExpressionLength) + " characters");
        }
        if (tok_.kind == Tok::End) {
            fail("the expression is empty");
        }
        const int root = expression();
        if (tok_.kind != Tok::End) {
            fail("unexpected '" + std::string(text_.substr(tok_.pos)) + "'");
        }
        return root;
    }

    [[noreturn]] void fail(const std::string& detail) const {
        // The detail quotes bytes of the expression too.
        throw DatabaseError(
            core::decode("Invalid key expression '" + std::string(text_) + "': " + detail,
                         layout_.codePage()),
            DatabaseError::Kind::InvalidExpression);
    }

private:
    std::string_view text_;
    const RecordLayout& layout_;
    std::vector<Node>& nodes_;
    std::size_t pos_ = 0;
    Token tok_;

    static bool isNameStart(char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    }
    static bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    void advance() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\r' || text_[pos_] == '\n')) {
            ++pos_;
        }
        tok_ = Token{Tok::End, {}, pos_};
        if (pos_ >= text_.size()) {
            return;
        }
        const char c = text_[pos_];
        const std::size_t start = pos_;
        if (isNameStart(c)) {
            while (pos_ < text_.size() && isNameChar(text_[pos_])) {
                ++pos_;
            }
            tok_ = {Tok::Name, text_.substr(start, pos_ - start), start};
        } else if (isDigit(c) ||
                   (c == '.' && pos_ + 1 < text_.size() && isDigit(text_[pos_ + 1]))) {
            while (pos_ < text_.size() && isDigit(text_[pos_])) {
                ++pos_;
            }
            if (pos_ < text_.size() && text_[pos_] == '.') {
                ++pos_;
                while (pos_ < text_.size() && isDigit(text_[pos_])) {
                    ++pos_;
                }
            }
            tok_ = {Tok::Number, text_.substr(start, pos_ - start), start};
        } else if (c == '"' || c == '\'' || c == '[' || c == '{') {
            const char close = c == '[' ? ']' : (c == '{' ? '}' : c);
            const std::size_t end = text_.find(close, pos_ + 1);
            if (end == std::string_view::npos) {
                fail(std::string("missing closing ") + close);
            }
            tok_ = {c == '{' ? Tok::Date : Tok::String, text_.substr(pos_ + 1, end - pos_ - 1),
                    start};
            pos_ = end + 1;
        } else {
            ++pos_;
            switch (c) {
            case '(':
                tok_.kind = Tok::LParen;
                break;
            case ')':
                tok_.kind = Tok::RParen;
                break;
            case ',':
                tok_.kind = Tok::Comma;
                break;
            case '+':
                tok_.kind = Tok::Plus;
                break;
            case '-':
                tok_.kind = Tok::Minus;
                break;
            default:
                fail(std::string("unexpected character '") + c + "'");
            }
        }
    }

    void expect(Tok kind, const char* what) {
        if (tok_.kind != kind) {
            fail(std::string("expected ") + what);
        }
        advance();
    }

    int add(Node node) {
        nodes_.push_back(std::move(node));
        return static_cast<int>(nodes_.size()) - 1;
    }
    Node& at(int n) { return nodes_[static_cast<std::size_t>(n)]; }
    Type typeOf(int n) { return at(n).type; }

    int expression() {
        int left = unary();
        while (tok_.kind == Tok::Plus || tok_.kind == Tok::Minus) {
            const bool plus = tok_.kind == Tok::Plus;
            advance();
            const int right = unary();
            left = plus ? makeSum(left, right) : makeDifference(left, right);
        }
        return left;
    }

    int makeSum(int left, int right) {
        const Type a = typeOf(left);
        const Type b = typeOf(right);
        Node node;
        if (a == Type::Text && b == Type::Text) {
            node.op = Op::Concat;
            node.type = Type::Text;
            node.maxLength = at(left).maxLength + at(right).maxLength;
        } else if (a == Type::Number && b == Type::Number) {
            node.op = Op::Add;
            node.type = Type::Number;
        } else if (a == Type::Date && b == Type::Number) {
            node.op = Op::DatePlus;
            node.type = Type::Date;
        } else if (a == Type::Number && b == Type::Date) {
            node.op = Op::DatePlus;
            node.type = Type::Date;
            std::swap(left, right);
        } else {
            fail(std::string("cannot add a ") + typeName(b) + " to a " + typeName(a));
        }
        node.a = left;
        node.b = right;
        return add(std::move(node));
    }

    int makeDifference(int left, int right) {
        const Type a = typeOf(left);
        const Type b = typeOf(right);
        Node node;
        node.a = left;
        node.b = right;
        if (a == Type::Text && b == Type::Text) {
            node.op = Op::ConcatTrimmed;
            node.type = Type::Text;
            node.maxLength = at(left).maxLength + at(right).maxLength;
        } else if (a == Type::Number && b == Type::Number) {
            node.op = Op::Subtract;
            node.type = Type::Number;
        } else if (a == Type::Date && b == Type::Number) {
            node.op = Op::DateMinus;
            node.type = Type::Date;
        } else if (a == Type::Date && b == Type::Date) {
            node.op = Op::DateDiff;
            node.type = Type::Number;
        } else {
            fail(std::string("cannot subtract a ") + typeName(b) + " from a " + typeName(a));
        }
        return add(std::move(node));
    }

    int unary() {
        if (tok_.kind == Tok::Minus) {
            advance();
            const int operand = unary();
            if (typeOf(operand) != Type::Number) {
                fail(std::string("cannot negate a ") + typeName(typeOf(operand)));
            }
            if (at(operand).op == Op::NumberLiteral) {
                at(operand).number = -at(operand).number;
                return operand;
            }
            Node node;
            node.op = Op::Negate;
            node.type = Type::Number;
            node.a = operand;
            return add(std::move(node));
        }
        if (tok_.kind == Tok::Plus) {
            advance();
            const int operand = unary();
            if (typeOf(operand) != Type::Number) {
                fail(std::string("unexpected '+' before a ") + typeName(typeOf(operand)));
            }
            return operand;
        }
        return primary();
    }

    int primary() {
        const Token tok = tok_;
        switch (tok.kind) {
        case Tok::Number: {
            advance();
            Node node;
            node.op = Op::NumberLiteral;
            node.type = Type::Number;
            std::from_chars(tok.text.data(), tok.text.data() + tok.text.size(), node.number);
            return add(std::move(node));
        }
        case Tok::String: {
            advance();
            Node node;
            node.op = Op::TextLiteral;
            node.type = Type::Text;
            node.literal = std::string(tok.text);
            node.maxLength = static_cast<int>(node.literal.size());
            return add(std::move(node));
        }
        case Tok::Date: {
            advance();
            Node node;
            node.op = Op::DateLiteral;
            node.type = Type::Date;
            node.julian = dateLiteral(tok.text);
            return add(std::move(node));
        }
        case Tok::LParen: {
            advance();
            const int inner = expression();
            expect(Tok::RParen, "')'");
            return inner;
        }
        case Tok::Name:
            advance();
            if (tok_.kind == Tok::LParen) {
                return call(tok.text);
            }
            return field(tok.text);
        case Tok::End:
            fail("the expression ends too early");
        default:
            fail("unexpected '" + std::string(text_.substr(tok.pos, 1)) + "'");
        }
    }

    // {MM/DD/YY} or {MM/DD/YYYY}, two-digit years in the 1900s; {} is blank.
    std::int32_t dateLiteral(std::string_view body) {
        const std::string_view trimmed = trimBoth(body);
        if (trimmed.empty()) {
            return 0;
        }
        int parts[3] = {};
        int digits[3] = {};
        int k = 0;
        for (char c : trimmed) {
            if (isDigit(c) && k < 3) {
                parts[k] = parts[k] * 10 + (c - '0');
                ++digits[k];
            } else if ((c == '/' || c == '-' || c == '.') && k < 2 && digits[k] > 0) {
                ++k;
            } else {
                fail("invalid date {" + std::string(body) + "}");
            }
        }
        Date date{parts[2], parts[0], parts[1]};
        if (k != 2 || digits[0] > 2 || digits[1] > 2 || (digits[2] != 2 && digits[2] != 4)) {
            fail("invalid date {" + std::string(body) + "}");
        }
        if (digits[2] == 2) {
            date.year += 1900;
        }
        if (!isValidDate(date)) {
            fail("invalid date {" + std::string(body) + "}");
        }
        return julianDay(date);
    }

    int field(std::string_view name) {
        const int index = layout_.indexOf(name);
        if (index < 0) {
            fail("unknown field '" + std::string(name) + "'");
        }
        const FieldLayout& f = layout_.fields()[static_cast<std::size_t>(index)];
        Node node;
        node.offset = f.offset;
        node.length = f.length;
        node.p1 = index;
        switch (f.type) {
        case 'C':
            node.op = Op::TextField;
            node.type = Type::Text;
            node.maxLength = f.length;
            break;
        case 'N':
        case 'F':
            node.op = Op::NumberField;
            node.type = Type::Number;
            break;
        case 'D':
            node.op = Op::DateField;
            node.type = Type::Date;
            break;
        case 'L':
            fail("the logical field '" + f.name + "' cannot be part of a key");
        default:
            fail("the field '" + f.name + "' cannot be part of a key");
        }
        return add(std::move(node));
    }

    int call(std::string_view name) {
        advance(); // '('
        std::vector<int> args;
        if (tok_.kind != Tok::RParen) {
            args.push_back(expression());
            while (tok_.kind == Tok::Comma) {
                advance();
                args.push_back(expression());
            }
        }
        expect(Tok::RParen, "')'");

        std::string upper(name);
        std::transform(upper.begin(), upper.end(), upper.begin(), asciiUpper);

        auto arity = [&](std::size_t least, std::size_t most) {
            if (args.size() < least || args.size() > most) {
                fail(upper + "() takes " +
                     (least == most ? std::to_string(least)
                                    : std::to_string(least) + " to " + std::to_string(most)) +
                     " argument" + (most == 1 ? "" : "s"));
            }
        };
        auto want = [&](std::size_t i, Type type) {
            if (typeOf(args[i]) != type) {
                fail(upper + "() needs a " + typeName(type) + " as argument " +
                     std::to_string(i + 1) + ", not a " + typeName(typeOf(args[i])));
            }
        };
        // Counts and widths must be constants: they fix the key's length.
        auto constant = [&](std::size_t i, int least, int most) {
            const Node& arg = at(args[i]);
            if (arg.op != Op::NumberLiteral || arg.number != std::floor(arg.number) ||
                arg.number < least || arg.number > most) {
                fail(upper + "() needs a whole number from " + std::to_string(least) + " to " +
                     std::to_string(most) + " as argument " + std::to_string(i + 1));
            }
            return static_cast<int>(arg.number);
        };

        Node node;
        node.a = args.empty() ? -1 : args[0];
        if (upper == "UPPER" || upper == "LOWER" || upper == "TRIM" || upper == "RTRIM" ||
            upper == "LTRIM") {
            arity(1, 1);
            want(0, Type::Text);
            node.op = upper == "UPPER"   ? Op::Upper
                      : upper == "LOWER" ? Op::Lower
                      : upper == "LTRIM" ? Op::LTrim
                                         : Op::Trim;
            node.type = Type::Text;
            node.maxLength = at(node.a).maxLength;
        } else if (upper == "LEFT" || upper == "RIGHT") {
            arity(2, 2);
            want(0, Type::Text);
            node.op = upper == "LEFT" ? Op::Left : Op::Right;
            node.type = Type::Text;
            node.p1 = constant(1, 0, 65535);
            node.maxLength = std::min(node.p1, at(node.a).maxLength);
        } else if (upper == "SUBSTR") {
            arity(2, 3);
            want(0, Type::Text);
            node.op = Op::Substr;
            node.type = Type::Text;
            node.p1 = constant(1, 1, 65535);
            node.p2 = args.size() == 3 ? constant(2, 0, 65535) : -1;
            const int available = std::max(0, at(node.a).maxLength - node.p1 + 1);
            node.maxLength = node.p2 < 0 ? available : std::min(available, node.p2);
        } else if (upper == "STR") {
            arity(1, 3);
            want(0, Type::Number);
            node.op = Op::Str;
            node.type = Type::Text;
            node.p1 = args.size() >= 2 ? constant(1, 1, kMaxStrLength) : 10;
            node.p2 = args.size() == 3 ? constant(2, 0, 100) : 0;
            node.maxLength = node.p1;
        } else if (upper == "DTOS") {
            arity(1, 1);
            want(0, Type::Date);
            node.op = Op::Dtos;
            node.type = Type::Text;
            node.maxLength = 8;
        } else if (upper == "VAL") {
            arity(1, 1);
            want(0, Type::Text);
            node.op = Op::Val;
            node.type = Type::Number;
        } else {
            fail("unknown function '" + std::string(name) + "'");
        }
        return add(std::move(node));
    }
};

} // namespace

// ---------------------------------------------------------------------------

KeyExpression::KeyExpression(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
KeyExpression::KeyExpression(KeyExpression&&) noexcept = default;
KeyExpression& KeyExpression::operator=(KeyExpression&&) noexcept = default;
KeyExpression::~KeyExpression() = default;

KeyExpression KeyExpression::compile(std::string_view text, const RecordLayout& layout) {
    auto impl = std::make_unique<Impl>();
    impl->text = std::string(text);
    Parser parser(impl->text, layout, impl->nodes);
    impl->root = parser.parseAll();

    const Node& root = impl->nodes[static_cast<std::size_t>(impl->root)];
    switch (root.type) {
    case Type::Text:
        if (root.maxLength > kMaxCharacterKeyLength) {
            parser.fail("the key would be " + std::to_string(root.maxLength) +
                        " characters long; at most " + std::to_string(kMaxCharacterKeyLength) +
                        " are allowed");
        }
        if (root.maxLength == 0) {
            parser.fail("the key would be empty");
        }
        impl->type = KeyType::Character;
        impl->keyLength = root.maxLength;
        break;
    case Type::Number:
        impl->type = KeyType::Numeric;
        impl->keyLength = kNumericKeyLength;
        break;
    case Type::Date:
        impl->type = KeyType::Date;
        impl->keyLength = kDateKeyLength;
        break;
    }
    if (root.op == Op::TextField || root.op == Op::NumberField || root.op == Op::DateField) {
        impl->bareField = root.p1;
    }

    impl->scratch.resize(impl->nodes.size());
    for (std::size_t i = 0; i < impl->nodes.size(); ++i) {
        const Node& node = impl->nodes[i];
        if (node.type == Type::Text) {
            impl->scratch[i].resize(static_cast<std::size_t>(std::max(node.maxLength, 1)));
        }
    }
    return KeyExpression(std::move(impl));
}

const std::string& KeyExpression::text() const {
    return impl_->text;
}
KeyType KeyExpression::type() const {
    return impl_->type;
}
int KeyExpression::keyLength() const {
    return impl_->keyLength;
}
int KeyExpression::bareField() const {
    return impl_->bareField;
}

bool KeyExpression::readsBlankNumberOrDate(const std::uint8_t* record) const {
    for (const Node& n : impl_->nodes) {
        if (n.op != Op::NumberField && n.op != Op::DateField)
            continue;
        const std::uint8_t* p = record + n.offset;
        if (std::all_of(p, p + n.length, [](std::uint8_t c) { return c == ' ' || c == 0; }))
            return true;
    }
    return false;
}

std::uint8_t upperCase(std::uint8_t c) {
    return kUpper[c];
}

void KeyExpression::evaluateAsOthers(const std::uint8_t* record, std::uint8_t* key) const {
    impl_->binaryStr = true;
    try {
        evaluate(record, key);
    } catch (...) {
        impl_->binaryStr = false;
        throw;
    }
    impl_->binaryStr = false;
}

void KeyExpression::evaluate(const std::uint8_t* record, std::uint8_t* key) const {
    const Impl& impl = *impl_;
    switch (impl.type) {
    case KeyType::Character: {
        char* out = reinterpret_cast<char*>(key);
        const std::size_t n = impl.textInto(impl.root, record, out);
        std::memset(out + n, ' ', static_cast<std::size_t>(impl.keyLength) - n);
        break;
    }
    case KeyType::Numeric:
        encodeNumericKey(impl.numberOf(impl.root, record), key);
        break;
    case KeyType::Date: {
        const std::int32_t jd = impl.julianOf(impl.root, record);
        encodeDateKey(jd == 0 ? std::nullopt : std::optional<Date>(dateFromJulianDay(jd)), key);
        break;
    }
    }
}

} // namespace shelvix::db
