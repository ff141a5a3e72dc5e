#include "db/isbn.h"

#include "core/text.h"

#include <algorithm>

namespace shelvix::db::isbn {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
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

// The text without its wrapper, its blanks and hyphens: what an ISBN is read
// from. Taken apart once, without allocating, since a duplicates pass reads
// every record's.
struct Reading {
    Status status = Status::Empty;
    std::size_t size = 0;
    char chars[13] = {};
    std::string_view text() const { return {chars, size}; }
};

// A spreadsheet's ="..." or a cataloguing site's [...]: blanks, where
// nothing is unwrapped, are skipped by the readers anyway.
std::string_view unwrapped(std::string_view text) {
    return core::unwrapped(core::unwrapped(text, "=\"", '"'), "[", ']');
}

Reading read(std::string_view text) {
    Reading r;
    for (char c : unwrapped(text)) {
        if (c == ' ' || c == '-')
            continue;
        if (r.size == sizeof r.chars) {
            r.status = Status::Malformed;
            return r;
        }
        r.chars[r.size++] = c == 'x' ? 'X' : c;
    }
    const std::string_view n = r.text();
    if (n.empty())
        r.status = Status::Empty;
    else if (isShape10(n))
        r.status = check10(n) == n.back() ? Status::Valid : Status::WrongCheckDigit;
    else if (isShape13(n))
        r.status = check13(n) == n.back() ? Status::Valid : Status::WrongCheckDigit;
    else
        r.status = Status::Malformed;
    return r;
}

std::uint64_t digitsValue(std::string_view digits) {
    std::uint64_t v = 0;
    for (char c : digits)
        v = v * 11 + std::uint64_t(c == 'X' ? 10 : c - '0');
    return v;
}

} // namespace

std::string normalise(std::string_view text) {
    std::string out;
    for (char c : unwrapped(text))
        if (c != ' ' && c != '-')
            out += c == 'x' ? 'X' : c;
    return out;
}

Status check(std::string_view text) {
    return read(text).status;
}

std::optional<std::string> toIsbn13(std::string_view text) {
    const Reading r = read(text);
    if (r.status != Status::Valid)
        return std::nullopt;
    if (r.size == 13)
        return std::string(r.text());
    std::string n = "978" + std::string(r.text().substr(0, 9));
    n += check13(n);
    return n;
}

std::optional<std::string> toIsbn10(std::string_view text) {
    const Reading r = read(text);
    if (r.status != Status::Valid)
        return std::nullopt;
    if (r.size == 10)
        return std::string(r.text());
    if (!r.text().starts_with("978"))
        return std::nullopt;
    std::string n(r.text().substr(3, 9));
    n += check10(n);
    return n;
}

std::optional<std::string> bookKey(std::string_view text) {
    const Reading r = read(text);
    if (r.status == Status::Valid)
        return toIsbn13(text);
    if (r.status == Status::WrongCheckDigit)
        return std::string(r.text());
    return std::nullopt;
}

std::optional<std::uint64_t> bookNumber(std::string_view text) {
    const Reading r = read(text);
    if (r.status != Status::Valid && r.status != Status::WrongCheckDigit)
        return std::nullopt;
    // Base 11 keeps the X; the length and the status keep the kinds apart.
    std::uint64_t v = 0;
    if (r.status == Status::Valid && r.size == 10) {
        char n[13] = {'9', '7', '8'};
        std::copy_n(r.chars, 9, n + 3);
        n[12] = check13({n, 12});
        v = digitsValue({n, 13});
    } else {
        v = digitsValue(r.text());
    }
    const std::uint64_t kind = r.status == Status::Valid ? 0 : r.size == 13 ? 1 : 2;
    return v * 4 + kind;
}

} // namespace shelvix::db::isbn
