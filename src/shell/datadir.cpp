#include "shell/datadir.h"

#include "db/datalists.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace shelvix::shell {

SeedResult seedDataDirectory(const QString& dataDir, const QString& sourceDir) {
    SeedResult result;
    QDir().mkpath(dataDir);
    for (int n = 1; n <= db::kDataListCount; ++n) {
        const QString target = db::defaultListFile(dataDir, n);
        if (QFileInfo::exists(target))
            continue;
        const QString name = QFileInfo(target).fileName();

        QFile source(QDir(sourceDir).filePath(name));
        // NewOnly: a file that appeared meanwhile is still the user's.
        QFile out(target);
        bool ok = false;
        if (source.open(QIODevice::ReadOnly) &&
            out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            const QByteArray bytes = source.readAll();
            ok = out.write(bytes) == bytes.size() && out.flush();
            out.close();
            if (!ok)
                out.remove(); // only ever our own partial copy
        }
        (ok ? result.copied : result.failed).append(target);
    }
    return result;
}

} // namespace shelvix::shell
