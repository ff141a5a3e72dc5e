#include "db/databasefiles.h"

#include "db/engine/file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace shelvix::db {

std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString fromPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

QString tableNameOf(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString findCompanionFile(const QString& dir, const QString& name) {
    return fromPath(db::findCompanionFile(toPath(dir), QFile::encodeName(name).toStdString()));
}

QString databaseListFile(const QString& basePath, int number) {
    const QFileInfo base(basePath);
    return findCompanionFile(
        base.path(), base.fileName() + QStringLiteral(".%1").arg(number, 3, 10, QLatin1Char('0')));
}

DatabaseFiles DatabaseFiles::of(const QString& tablePath) {
    DatabaseFiles f;
    f.current = QDir::cleanPath(QFileInfo(tablePath).absoluteFilePath());
    const QFileInfo table(f.current);
    const QString dir = table.absolutePath();
    const QString stem = table.completeBaseName();
    f.tableName = tableNameOf(f.current);
    f.index = findCompanionFile(dir, stem + QLatin1String(".MDX"));
    f.settings = findCompanionFile(dir, stem + QLatin1String(".INI"));
    f.base = QDir(dir).filePath(stem);
    return f;
}

QString DatabaseFiles::list(int number) const {
    return databaseListFile(base, number);
}

QStringList DatabaseFiles::all() const {
    QStringList files{current, index, settings};
    for (int n = 1; n <= kListFileCount; ++n)
        files.append(list(n));
    return files;
}

QStringList DatabaseFiles::existing() const {
    QStringList files;
    for (const QString& file : all())
        if (QFileInfo(file).isFile())
            files.append(file);
    return files;
}

} // namespace shelvix::db
