#include "viewer/viewconfig.h"

#include "db/fieldtable.h"
#include "db/settings.h"

#include <algorithm>
#include <numeric>

namespace shelvix::viewer {

namespace {
QString yesNo(bool yes) {
    return yes ? QStringLiteral("Yes") : QStringLiteral("No");
}
} // namespace

std::vector<int> defaultOrder() {
    std::vector<int> order(db::kFieldCount);
    std::iota(order.begin(), order.end(), 1);
    return order;
}

ViewConfigPages pagesFromSettings(const db::DatabaseSettings& settings) {
    ViewConfigPages pages;
    for (std::size_t i = 0; i < std::size_t(db::kFieldCount); ++i) {
        pages.shown << yesNo(settings.displayFields[i]);
        pages.widths << QString::number(settings.fieldWidth[i]);
        pages.names << settings.fieldNames[i];
    }
    // A hand-edited file may repeat or skip positions; sorting by them still
    // lists each field exactly once, so Exit always writes a permutation.
    pages.order = defaultOrder();
    const auto rank = [&settings](int field) {
        const int p = settings.fieldOrder[std::size_t(field - 1)];
        return p >= 1 && p <= db::kFieldCount ? p : db::kFieldCount + 1;
    };
    std::stable_sort(pages.order.begin(), pages.order.end(),
                     [&rank](int a, int b) { return rank(a) < rank(b); });
    return pages;
}

QString toggledYesNo(const QString& cell) {
    return yesNo(cell != QLatin1String("Yes"));
}

std::optional<QString> duplicateFieldName(const QStringList& names) {
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString a = names[i].left(kMaxFieldNameLength);
        for (qsizetype j = i + 1; j < names.size(); ++j)
            if (names[j].left(kMaxFieldNameLength) == a)
                return a;
    }
    return std::nullopt;
}

QString duplicateNameMessage(const QString& name) {
    return QStringLiteral("Two field names have the same name \"%1\".  Please change one.")
        .arg(name);
}

int widthFromCell(const QString& cell) {
    const QString t = cell.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        negative = t[i++] == u'-';
    long long value = 0;
    bool digits = false;
    for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i) {
        digits = true;
        value = std::min<long long>(value * 10 + (t[i].unicode() - u'0'), 1000);
    }
    if (negative)
        value = -value;
    if (!digits || value <= 0 || value >= 256)
        return kDefaultFieldWidth;
    return int(value);
}

void storePages(ViewConfigPages& pages, db::DatabaseSettings& settings) {
    for (std::size_t i = 0; i < std::size_t(db::kFieldCount); ++i) {
        const qsizetype row = qsizetype(i);
        const int width = widthFromCell(pages.widths.value(row));
        settings.fieldWidth[i] = width;
        if (width == kDefaultFieldWidth)
            pages.widths[row] = QString::number(width);
        settings.displayFields[i] = pages.shown.value(row) == QLatin1String("Yes");
    }
    // Each row of the order list carries its field, so a field renamed in
    // the same visit still finds its place.
    for (std::size_t row = 0; row < pages.order.size(); ++row) {
        const int field = pages.order[row];
        if (field >= 1 && field <= db::kFieldCount)
            settings.fieldOrder[std::size_t(field - 1)] = int(row) + 1;
    }
    for (std::size_t i = 0; i < std::size_t(db::kFieldCount); ++i)
        settings.fieldNames[i] = pages.names.value(qsizetype(i)).left(kMaxFieldNameLength);
}

} // namespace shelvix::viewer
