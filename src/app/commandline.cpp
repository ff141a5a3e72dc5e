#include "app/commandline.h"

#include "app/appinfo.h"

#include <QDir>

namespace shelvix::app {

namespace {

bool isBrowse(const QString& arg) {
    return arg.compare(QLatin1String("/BROWSE"), Qt::CaseInsensitive) == 0;
}

StartRequest usageError(const QString& message) {
    StartRequest r;
    r.action = StartRequest::Action::UsageError;
    r.error = message;
    return r;
}

} // namespace

StartRequest::Action wantsHelpOrVersion(const QStringList& arguments) {
    StartRequest::Action action = StartRequest::Action::Run;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == QLatin1String("--"))
            break;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return StartRequest::Action::Help;
        if (arg == QLatin1String("--version"))
            action = StartRequest::Action::Version;
    }
    return action;
}

StartRequest parseStartArguments(const QStringList& arguments, const QString& currentDir) {
    StartRequest r;
    r.action = wantsHelpOrVersion(arguments);
    if (r.action != StartRequest::Action::Run)
        return r;
    QStringList files;
    bool options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (options && arg == QLatin1String("--")) {
            options = false;
        } else if (options && arg == QLatin1String("--home")) {
            if (++i >= arguments.size() || arguments.at(i).isEmpty())
                return usageError(QStringLiteral("--home needs a directory"));
        } else if (options && arg.startsWith(QLatin1String("--home="))) {
            if (arg.size() == 7)
                return usageError(QStringLiteral("--home needs a directory"));
        } else if (options && arg.size() > 1 && arg.startsWith(QLatin1Char('-'))) {
            return usageError(QStringLiteral("unknown option %1").arg(arg));
        } else if (options && isBrowse(arg)) {
            r.browse = true;
        } else {
            files << arg;
        }
    }
    if (files.size() > 1)
        return usageError(
            QStringLiteral("one catalogue at a time: %1 and %2").arg(files.at(0), files.at(1)));
    if (!files.isEmpty())
        r.database = QDir::cleanPath(QDir(currentDir).absoluteFilePath(files.at(0)));
    return r;
}

QString startHelpText() {
    return QStringLiteral(
        "Usage: shelvix [--home DIR] [/BROWSE] [FILE.DBF]\n"
        "Catalogue a personal book collection: a dBASE table of books shown in a grid,\n"
        "edited in a form, searched, sorted, printed, imported and exported.\n"
        "\n"
        "Without FILE.DBF the catalogue open last is opened again (the first time, a new\n"
        "MASTER.DBF in the data directory).\n"
        "\n"
        "Options:\n"
        "  FILE.DBF      open this catalogue, as File > Open does; a table that is not a\n"
        "                book catalogue is refused and the last one opened instead\n"
        "  /BROWSE       browse only: nothing in the catalogue can be changed\n"
        "  --home DIR    keep the data and the settings in DIR\n"
        "  -h, --help    show this help and exit\n"
        "  --version     show the version and exit\n"
        "\n"
        "Environment:\n"
        "  SHELVIX_HOME      the data directory (MASTER.DBF, the default data lists,\n"
        "                    the report definitions) when there is no --home\n"
        "  XDG_DATA_HOME     without either, the data directory is\n"
        "                    $XDG_DATA_HOME/shelvix-books (~/.local/share/shelvix-books)\n"
        "  XDG_CONFIG_HOME   without --home, the settings (SHVBOOK.INI) are in\n"
        "                    $XDG_CONFIG_HOME/shelvix-books (~/.config/shelvix-books)\n"
        "\n"
        "Signals:\n"
        "  SIGTERM, SIGHUP   end the program as its Exit command does, and as the end\n"
        "                    of the desktop session does: the settings are written, a\n"
        "                    record being edited is not stored\n");
}

QString startVersionText() {
    return QStringLiteral("shelvix (%1) %2\n").arg(QLatin1String(kProductName), versionString());
}

} // namespace shelvix::app
