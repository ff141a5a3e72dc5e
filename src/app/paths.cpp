#include "app/paths.h"

#include <QDir>

namespace shelvix::app {

namespace {

const QString kAppDirName = QStringLiteral("shelvix-books");

QString absoluteFrom(const QString& base, const QString& path) {
    return QDir::cleanPath(QDir(base).absoluteFilePath(path));
}

// An XDG base directory: the variable when it holds an absolute path, else
// the fallback under the home directory.
QString xdgDir(const QProcessEnvironment& env, const QString& name, const QString& home,
               const QString& fallback) {
    QString value = env.value(name);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(home + QLatin1Char('/') + fallback);
}

} // namespace

AppPaths AppPaths::resolve(const QStringList& arguments, const QProcessEnvironment& env,
                           const QString& currentDir) {
    AppPaths p;
    p.startDir = QDir::cleanPath(currentDir);

    QString home;
    bool haveHome = false;
    QString firstOther;
    bool haveFirstOther = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == QLatin1String("--home") && i + 1 < arguments.size()) {
            home = arguments.at(++i);
            haveHome = true;
        } else if (arg.startsWith(QLatin1String("--home="))) {
            home = arg.mid(7);
            haveHome = true;
        } else if (!haveFirstOther) {
            firstOther = arg;
            haveFirstOther = true;
        }
    }
    p.browseMode = firstOther.left(30).toUpper() == QLatin1String("/BROWSE");

    QString userHome = env.value(QStringLiteral("HOME"));
    if (userHome.isEmpty())
        userHome = QDir::homePath();

    if (haveHome && !home.isEmpty()) {
        p.dataDir = absoluteFrom(p.startDir, home);
        p.configDir = p.dataDir;
        return p;
    }
    QString shelvixHome = env.value(QStringLiteral("SHELVIX_HOME"));
    if (!shelvixHome.isEmpty()) {
        p.dataDir = absoluteFrom(p.startDir, shelvixHome);
    } else {
        p.dataDir =
            xdgDir(env, QStringLiteral("XDG_DATA_HOME"), userHome, QStringLiteral(".local/share")) +
            QLatin1Char('/') + kAppDirName;
    }
    p.configDir =
        xdgDir(env, QStringLiteral("XDG_CONFIG_HOME"), userHome, QStringLiteral(".config")) +
        QLatin1Char('/') + kAppDirName;
    return p;
}

QString AppPaths::globalSettingsFile() const {
    return configDir + QStringLiteral("/SHVBOOK.INI");
}

QString AppPaths::newDatabaseSettingsFile() const {
    return configDir + QStringLiteral("/SHVINV.INI");
}

QString AppPaths::masterDatabase() const {
    return dataDir + QStringLiteral("/MASTER.DBF");
}

bool AppPaths::makeDirectories(QString* error) const {
    for (const QString& dir : {dataDir, configDir}) {
        if (!QDir().mkpath(dir)) {
            if (error)
                *error = QStringLiteral("Cannot create the directory %1.").arg(dir);
            return false;
        }
    }
    return true;
}

} // namespace shelvix::app
