// Key expressions: the compiled node list and its evaluation on a record.

#include "db/engine/expr.h"

#include "db/engine/expr_impl.h"
#include "db/engine/value.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace shelvix::db {

using keyexpr::Node;
using keyexpr::Op;
using keyexpr::Type;

namespace {

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

KeyExpression::KeyExpression(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
KeyExpression::KeyExpression(KeyExpression&&) noexcept = default;
KeyExpression& KeyExpression::operator=(KeyExpression&&) noexcept = default;
KeyExpression::~KeyExpression() = default;

KeyExpression KeyExpression::compile(std::string_view text, const RecordLayout& layout) {
    auto impl = std::make_unique<Impl>();
    impl->text = std::string(text);
    impl->root = keyexpr::parse(impl->text, layout, impl->nodes);

    const Node& root = impl->nodes[static_cast<std::size_t>(impl->root)];
    switch (root.type) {
    case Type::Text:
        if (root.maxLength > kMaxCharacterKeyLength) {
            keyexpr::fail(impl->text, layout,
                          "the key would be " + std::to_string(root.maxLength) +
                              " characters long; at most " +
                              std::to_string(kMaxCharacterKeyLength) + " are allowed");
        }
        if (root.maxLength == 0) {
            keyexpr::fail(impl->text, layout, "the key would be empty");
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

std::optional<KeyExpression::Lead> KeyExpression::lead() const {
    const auto& nodes = impl_->nodes;
    int n = impl_->root;
    // The leftmost piece of a chain of '+': its bytes start the key. ('-'
    // moves blanks, so it does not qualify.)
    while (nodes[std::size_t(n)].op == Op::Concat)
        n = nodes[std::size_t(n)].a;
    const Node& node = nodes[std::size_t(n)];
    if (n == impl_->root && (node.op == Op::NumberField || node.op == Op::DateField))
        return Lead{Lead::Form::Bare, node.p1, impl_->keyLength, 0};
    if (node.op == Op::Str && nodes[std::size_t(node.a)].op == Op::NumberField)
        return Lead{Lead::Form::Str, nodes[std::size_t(node.a)].p1, node.p1, node.p2};
    if (node.op == Op::Dtos && nodes[std::size_t(node.a)].op == Op::DateField)
        return Lead{Lead::Form::Dtos, nodes[std::size_t(node.a)].p1, 8, 0};
    return std::nullopt;
}

std::optional<KeyExpression::TextLead> KeyExpression::textLead() const {
    const auto& nodes = impl_->nodes;
    int n = impl_->root;
    while (nodes[std::size_t(n)].op == Op::Concat)
        n = nodes[std::size_t(n)].a;
    TextLead lead;
    int length = std::numeric_limits<int>::max();
    for (;;) {
        const Node& node = nodes[std::size_t(n)];
        switch (node.op) {
        case Op::Upper:
            lead.upper = true;
            break;
        case Op::Left:
            length = std::min(length, node.p1);
            break;
        case Op::TextField:
            lead.field = node.p1;
            lead.length = std::min(length, node.length);
            return lead;
        default:
            return std::nullopt;
        }
        n = node.a;
    }
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
