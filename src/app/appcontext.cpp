#include "app/appcontext.h"

#include "db/datalists.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace shelvix::app {

QString tableNameOf(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString fromPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

DatabasePaths databasePathsFor(const QString& path) {
    DatabasePaths p;
    const QFileInfo info(path);
    p.current = QDir::cleanPath(info.absoluteFilePath());
    const QString dir = QFileInfo(p.current).absolutePath();
    const QString stem = QFileInfo(p.current).completeBaseName();
    p.tableName = tableNameOf(p.current);
    p.index = db::findCompanionFile(dir, stem + QLatin1String(".MDX"));
    p.settings = db::findCompanionFile(dir, stem + QLatin1String(".INI"));
    p.base = QDir(dir).filePath(stem);
    return p;
}

bool AppContext::MyTableFilter(const db::RecordView& record) const {
    if (!SearchOn || !BuildFilter)
        return true;
    return BuildFilter(record);
}

DatabaseSettings AppContext::settingsToWrite() const {
    DatabaseSettings out = database;
    if (browseMode)
        out.fieldEditing = rememberedFieldEditing;
    return out;
}

void AppContext::takeDatabaseSettings(const DatabaseSettings& settings) {
    database = settings;
    if (browseMode) {
        rememberedFieldEditing = database.fieldEditing;
        database.fieldEditing = false;
    }
}

} // namespace shelvix::app
