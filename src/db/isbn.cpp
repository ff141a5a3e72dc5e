#include "db/isbn.h"

#include <algorithm>

namespace shelvix::db::isbn {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

bool isShape10(std::string_view n) {
    return n.size() == 10 && std::all_of(n.begin(), n.end() - 1, isDigit) &&
           (isDigit(n.back()) || n.back() == 'X');
}

bool isShape13(std::string_view n) {
    return n.size() == 13 && std::all_of(n.begin(), n.end(), isDigit) &&
           (n.starts_with("978") || n.starts_with("979"));
}

// The check character of the first nine (or twelve) characters.
char check10(std::string_view n) {
    int sum = 0;
    for (int i = 0; i < 9; ++i)
        sum += (10 - i) * (n[std::size_t(i)] - '0');
    const int c = (11 - sum % 11) % 11;
    return c == 10 ? 'X' : char('0' + c);
}

char check13(std::string_view n) {
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += (i % 2 ? 3 : 1) * (n[std::size_t(i)] - '0');
    return char('0' + (10 - sum % 10) % 10);
}

} // namespace

std::string normalise(std::string_view text) {
    std::string_view t = trimBlanks(text);
    if (t.size() >= 3 && t.starts_with("=\"") && t.ends_with('"'))
        t = t.substr(2, t.size() - 3);
    else if (t.size() >= 2 && t.front() == '[' && t.back() == ']')
        t = t.substr(1, t.size() - 2);
    std::string out;
    out.reserve(t.size());
    for (char c : t) {
        if (c == ' ' || c == '-')
            continue;
        out += c == 'x' ? 'X' : c;
    }
    return out;
}

Status check(std::string_view text) {
    const std::string n = normalise(text);
    if (n.empty())
        return Status::Empty;
    if (isShape10(n))
        return check10(n) == n.back() ? Status::Valid : Status::WrongCheckDigit;
    if (isShape13(n))
        return check13(n) == n.back() ? Status::Valid : Status::WrongCheckDigit;
    return Status::Malformed;
}

std::optional<std::string> toIsbn13(std::string_view text) {
    if (check(text) != Status::Valid)
        return std::nullopt;
    std::string n = normalise(text);
    if (n.size() == 13)
        return n;
    n = "978" + n.substr(0, 9);
    n += check13(n);
    return n;
}

std::optional<std::string> toIsbn10(std::string_view text) {
    if (check(text) != Status::Valid)
        return std::nullopt;
    std::string n = normalise(text);
    if (n.size() == 10)
        return n;
    if (!n.starts_with("978"))
        return std::nullopt;
    n = n.substr(3, 9);
    n += check10(n);
    return n;
}

std::optional<std::string> bookKey(std::string_view text) {
    switch (check(text)) {
    case Status::Valid:
        return toIsbn13(text);
    case Status::WrongCheckDigit:
        return normalise(text);
    case Status::Empty:
    case Status::Malformed:
        break;
    }
    return std::nullopt;
}

} // namespace shelvix::db::isbn
