#include "shell/forms/startup.h"

#include "app/appcontext.h"
#include "app/appinfo.h"
#include "app/commandline.h"
#include "app/endsignals.h"
#include "app/forms/qtlongwork.h"
#include "app/forms/qtprinters.h"
#include "app/forms/qtprompter.h"
#include "app/forms/resources.h"
#include "shell/forms/sessionend.h"
#include "shell/forms/tmain.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <cstdio>

namespace shelvix::shell {

int runProgram(int argc, char* argv[], const std::function<void(TMain&)>& ready) {
    using namespace app;
    // Answered before there is an application: no display, no file touched.
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    switch (wantsHelpOrVersion(raw)) {
    case StartRequest::Action::Help:
        std::fputs(startHelpText().toLocal8Bit().constData(), stdout);
        return 0;
    case StartRequest::Action::Version:
        std::fputs(startVersionText().toLocal8Bit().constData(), stdout);
        return 0;
    default:
        break;
    }

    QApplication app(argc, argv);
    // Qt's own options are gone from arguments() now.
    const StartRequest request =
        parseStartArguments(QApplication::arguments(), QDir::currentPath());
    if (request.action == StartRequest::Action::UsageError) {
        std::fprintf(stderr, "shelvix: %s\ntry 'shelvix --help'\n",
                     request.error.toLocal8Bit().constData());
        return 2;
    }
    EndSignals endSignals;
    QApplication::setApplicationName(QLatin1String(kApplicationTitle));
    QApplication::setApplicationVersion(QStringLiteral(SHELVIX_VERSION));
    initResources();
    installQtPrinters();
    // The installed menu entry and icon carry this name.
    QApplication::setDesktopFileName(QStringLiteral("shelvix-books"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/app/shelvix-books.svg")));

    QtPrompter prompter;
    AppContext context;
    context.paths = AppPaths::resolve(
        QApplication::arguments(), QProcessEnvironment::systemEnvironment(), QDir::currentPath());
    context.browseMode = request.browse;
    context.commandLineDatabase = request.database;
    context.prompter = &prompter;
    QtLongWork longWork;
    context.longWork = &longWork;

    TMain window(context);
    window.startupTipAllowed = true;
    prompter.setParent(&window);
    longWork.setWindow(&window);
    SessionEnd ending(window, endSignals);
    if (!window.FormCreate())
        return 0;
    ending.windowReady();
    if (ending.requested()) {
        ending.prepare(false);
        return 0;
    }
    if (ready)
        ready(window);
    window.show();
    return app.exec();
}

} // namespace shelvix::shell
