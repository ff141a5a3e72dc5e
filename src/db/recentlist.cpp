#include "db/recentlist.h"

#include <QFile>
#include <algorithm>
#include <filesystem>

namespace shelvix::db {

bool sameFile(const QString& a, const QString& b) {
    if (a == b)
        return true;
    if (a.isEmpty() || b.isEmpty())
        return false;
    std::error_code ec;
    const bool same =
        std::filesystem::equivalent(std::filesystem::path(QFile::encodeName(a).toStdString()),
                                    std::filesystem::path(QFile::encodeName(b).toStdString()), ec);
    return same && !ec;
}

void RecentList::DoLastFiles(const QString& oldPath, const QString& newPath) {
    if (!newPath.isEmpty()) {
        auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [&](const QString& e) { return sameFile(e, newPath); });
        if (found != entries_.end()) {
            std::move(found + 1, entries_.end(), found);
            entries_.back().clear();
        }
    }
    std::move_backward(entries_.begin(), entries_.end() - 1, entries_.end());
    entries_.front() = oldPath;
}

RecentList::Menu RecentList::SetMenuLastFiles() const {
    Menu menu;
    for (int i = 0; i < kSize; ++i) {
        const QString& path = entries_[i];
        if (path.isEmpty())
            continue;
        menu.separatorVisible = true;
        // An "&" in a path would otherwise turn the next letter into a
        // shortcut and vanish from the caption.
        QString shown = path;
        shown.replace(QLatin1Char('&'), QLatin1String("&&"));
        menu.items[i] = {true, QStringLiteral("&%1   %2").arg(i + 1).arg(shown)};
    }
    return menu;
}

} // namespace shelvix::db
