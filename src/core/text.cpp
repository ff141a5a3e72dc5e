#include "core/text.h"

namespace shelvix::core {

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

std::string trimLeft(std::string_view s) {
    std::size_t b = 0;
    while (b < s.size() && isBlank(s[b]))
        ++b;
    return std::string(s.substr(b));
}

std::string trimRight(std::string_view s) {
    std::size_t e = s.size();
    while (e > 0 && isBlank(s[e - 1]))
        --e;
    return std::string(s.substr(0, e));
}

std::string trim(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

std::string trimCut(std::string_view s, std::size_t n) {
    std::string t = trim(s);
    if (t.size() > n)
        t.resize(n);
    return t;
}

std::string_view stripSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

std::string_view unwrapped(std::string_view text, std::string_view open, char close) {
    const std::string_view t = stripSpaces(text);
    if (t.size() >= open.size() + 1 && t.starts_with(open) && t.back() == close)
        return t.substr(open.size(), t.size() - open.size() - 1);
    return text;
}

std::string removeChar(std::string_view s, char c) {
    std::string out;
    out.reserve(s.size());
    for (char ch : s) {
        if (ch != c)
            out += ch;
    }
    return out;
}

std::string padRight(std::string_view s, std::size_t width) {
    std::string out(s);
    if (out.size() < width)
        out.append(width - out.size(), ' ');
    return out;
}

std::string padLeft(std::string_view s, std::size_t width) {
    if (s.size() >= width)
        return std::string(s);
    std::string out(width - s.size(), ' ');
    out += s;
    return out;
}

std::string repeatChar(char c, std::size_t n) {
    return std::string(n, c);
}

std::string intToText(std::int64_t n) {
    return std::to_string(n);
}

std::string yesNo(bool flag) {
    return flag ? "Yes" : "No";
}

std::string toUpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = toUpperAscii(c);
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (toUpperAscii(a[i]) != toUpperAscii(b[i]))
            return false;
    return true;
}

} // namespace shelvix::core
