#include "app/help.h"

#include <QDir>

namespace shelvix::app {

QString helpTopicFile(const QString& keyword) {
    const QString phrase = keyword.simplified();
    if (phrase.isEmpty())
        return QLatin1String(kHelpContentsFile);
    for (QChar ch : phrase)
        if (!(ch.isLetterOrNumber() || ch == u' ' || ch == u'-') || ch.unicode() > 127)
            return QLatin1String(kHelpContentsFile);
    return phrase.toLower().replace(u' ', u'-') + QLatin1String(".html");
}

QStringList helpSearchPaths(const QString& applicationDir) {
    QStringList paths;
    if (!applicationDir.isEmpty())
        paths << QDir::cleanPath(applicationDir + QLatin1String("/../share/shelvix-books/help"));
    paths << QStringLiteral(":/help");
    return paths;
}

} // namespace shelvix::app
