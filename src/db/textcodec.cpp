#include "db/textcodec.h"

#include <algorithm>
#include <array>

namespace shelvix::db {

namespace {

using ByteTable = std::array<char16_t, 256>;

ByteTable makeTable(core::CodePage cp) {
    ByteTable t{};
    for (int b = 0; b < 256; ++b)
        t[std::size_t(b)] = char16_t(core::decodeByte(static_cast<unsigned char>(b), cp));
    return t;
}

const ByteTable& byteTable(core::CodePage cp) {
    static const ByteTable windows = makeTable(core::CodePage::Windows1252);
    static const ByteTable dos = makeTable(core::CodePage::Cp437);
    return cp == core::CodePage::Cp437 ? dos : windows;
}

bool isAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Length of the UTF-8 character a lead byte starts; 0 for a byte that cannot
// start one.
std::size_t utf8Length(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

} // namespace

QString decodeField(std::string_view bytes, core::CodePage cp) {
    const ByteTable& t = byteTable(cp);
    QString out(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* o = out.data();
    for (char c : bytes)
        *o++ = QChar(t[static_cast<unsigned char>(c)]);
    return out;
}

std::optional<std::string> encodeField(const QString& text, core::CodePage cp, QChar* bad) {
    std::string out;
    out.reserve(std::size_t(text.size()));
    for (QChar ch : text) {
        int b = ch.isSurrogate() ? -1 : core::encodeChar(ch.unicode(), cp);
        if (b < 0) {
            if (bad)
                *bad = ch;
            return std::nullopt;
        }
        out.push_back(static_cast<char>(b));
    }
    return out;
}

QString fromWindows1252(std::string_view bytes) {
    return decodeField(bytes, core::CodePage::Windows1252);
}

std::string toWindows1252(const QString& text, int* lost) {
    std::string out;
    out.reserve(std::size_t(text.size()));
    int missing = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        const int b =
            ch.isSurrogate() ? -1 : core::encodeChar(ch.unicode(), core::CodePage::Windows1252);
        if (b >= 0) {
            out.push_back(static_cast<char>(b));
            continue;
        }
        // One character beyond the BMP is one '?', not two.
        if (ch.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        out.push_back('?');
        ++missing;
    }
    if (lost)
        *lost = missing;
    return out;
}

std::string encodePath(const QString& path) {
    int lost = 0;
    std::string bytes = toWindows1252(path, &lost);
    return lost == 0 ? bytes : path.toStdString();
}

QString decodePath(std::string_view bytes) {
    if (!isAscii(bytes) && core::isValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return fromWindows1252(bytes);
}

QString errorText(std::string_view message) {
    QString out;
    out.reserve(qsizetype(message.size()));
    std::size_t i = 0;
    while (i < message.size()) {
        const auto lead = static_cast<unsigned char>(message[i]);
        if (lead < 0x80) {
            out.append(QChar(lead));
            ++i;
            continue;
        }
        const std::size_t n = utf8Length(lead);
        if (n > 0 && i + n <= message.size() && core::isValidUtf8(message.substr(i, n))) {
            out.append(QString::fromUtf8(message.data() + i, qsizetype(n)));
            i += n;
        } else {
            out.append(fromWindows1252(message.substr(i, 1)));
            ++i;
        }
    }
    return out;
}

QString errorText(const std::exception& error) {
    return errorText(std::string_view(error.what()));
}

} // namespace shelvix::db
