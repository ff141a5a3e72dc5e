#include "db/recordtext.h"

#include "db/displayformats.h"
#include "db/engine/value.h"

#include <QDate>

namespace shelvix::db {

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
