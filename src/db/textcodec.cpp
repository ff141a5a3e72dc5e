#include "db/textcodec.h"

#include "core/codec.h"

#include <algorithm>

namespace shelvix::db {

QString fromWindows1252(std::string_view bytes) {
    return QString::fromStdString(core::decode(bytes));
}

std::string toWindows1252(const QString& text, int* lost) {
    core::Encoded e = core::encode(text.toStdString());
    if (lost)
        *lost = static_cast<int>(e.unmappable.size());
    return std::move(e.bytes);
}

std::string encodePath(const QString& path) {
    std::string utf8 = path.toStdString();
    core::Encoded e = core::encode(utf8);
    return e.lossless() ? std::move(e.bytes) : utf8;
}

QString decodePath(std::string_view bytes) {
    bool ascii = std::all_of(bytes.begin(), bytes.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii && core::isValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return fromWindows1252(bytes);
}

} // namespace shelvix::db
