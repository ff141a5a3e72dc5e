#include "db/recordtext.h"

#include "db/displayformats.h"
#include "db/engine/value.h"

#include <QDate>
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

} // namespace

core::CodePage tableCodePage(const db::Table& table) {
    return core::codePageForLanguageDriver(table.languageDriver());
}

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

QString generalNumber(double value) {
    db::DecimalNumber n;
    if (!db::decimalFromDouble(value, n))
        return {};
    int decimals = std::max(0, n.count - n.exponent);
    char buf[db::kMaxFixedText];
    std::size_t len = db::formatFixed(n, decimals, buf);
    return QString::fromLatin1(buf, qsizetype(len));
}

QString fieldDisplayText(const db::RecordView& record, int index, const db::FieldLayout& field,
                         core::CodePage cp, const DisplayFormats& formats) {
    switch (field.type) {
    case 'N':
    case 'F': {
        if (auto v = record.number(index))
            return generalNumber(*v);
        return decodeField(record.text(index), cp);
    }
    case 'D': {
        auto d = record.date(index);
        if (!d)
            return {};
        return formats.formatDate(QDate(d->year, d->month, d->day));
    }
    default:
        return decodeField(record.text(index), cp);
    }
}

} // namespace shelvix::db
