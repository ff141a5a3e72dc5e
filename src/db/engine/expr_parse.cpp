// The key-expression lexer and parser: text to a typed list of nodes.

#include "core/text.h"
#include "db/engine/error.h"
#include "db/engine/expr_impl.h"
#include "db/engine/value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace shelvix::db::keyexpr {

namespace {

constexpr int kMaxStrLength = 255;
constexpr std::size_t kMaxExpressionLength = 255;

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
        keyexpr::fail(text_, layout_, detail);
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

        const std::string upper = core::toUpperAscii(name);

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

int parse(std::string_view text, const RecordLayout& layout, std::vector<Node>& nodes) {
    Parser parser(text, layout, nodes);
    return parser.parseAll();
}

void fail(std::string_view text, const RecordLayout& layout, const std::string& detail) {
    // The detail quotes bytes of the expression too.
    throw DatabaseError(
        core::decode("Invalid key expression '" + std::string(text) + "': " + detail,
                     layout.codePage()),
        DatabaseError::Kind::InvalidExpression);
}

} // namespace shelvix::db::keyexpr
