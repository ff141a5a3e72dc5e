#include "app/paint/fontfaces.h"

#include <QFontDatabase>
#include <QStringList>
#include <array>
#include <utility>

namespace shelvix::app {

namespace {

constexpr std::array<std::pair<const char*, const char*>, 5> kStandIns = {{
    {"Arial", "Liberation Sans"},
    {"Arial Narrow", "Liberation Sans Narrow"},
    {"Times New Roman", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
    {"Courier", "Liberation Mono"}, // the same fixed pitch as Courier New
}};

} // namespace

QString installedFace(const QString& stored) {
    const QString name = stored.trimmed();
    for (const auto& [windows, liberation] : kStandIns) {
        if (name.compare(QLatin1String(windows), Qt::CaseInsensitive) != 0)
            continue;
        // Asked for at every change of font while a report lays out its
        // pages: the installed families are listed once.
        thread_local const QStringList families = QFontDatabase::families();
        // Installed families only: hasFamily() would take fontconfig's
        // substitute for the face itself, and a dialog cannot show that.
        const QString standIn = QString::fromLatin1(liberation);
        if (!families.contains(name, Qt::CaseInsensitive) &&
            families.contains(standIn, Qt::CaseInsensitive))
            return standIn;
        break;
    }
    return stored;
}

QString storedFace(const QString& chosen, const QString& stored) {
    return chosen.compare(installedFace(stored), Qt::CaseInsensitive) == 0 ? stored : chosen;
}

} // namespace shelvix::app
