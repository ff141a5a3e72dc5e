#include "app/appcontext.h"
#include "app/appinfo.h"
#include "app/forms/qtlongwork.h"
#include "app/forms/qtprompter.h"
#include "app/forms/resources.h"
#include "shell/forms/tmain.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

int main(int argc, char* argv[]) {
    using namespace shelvix::app;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(kApplicationTitle));
    QApplication::setApplicationVersion(QStringLiteral(SHELVIX_VERSION));
    initResources();
    // The installed menu entry and icon carry this name.
    QApplication::setDesktopFileName(QStringLiteral("shelvix-books"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/app/shelvix-books.svg")));

    QtPrompter prompter;
    AppContext context;
    context.paths = AppPaths::resolve(
        QApplication::arguments(), QProcessEnvironment::systemEnvironment(), QDir::currentPath());
    context.browseMode = context.paths.browseMode;
    context.prompter = &prompter;
    QtLongWork longWork;
    context.longWork = &longWork;

    shelvix::shell::TMain window(context);
    window.startupTipAllowed = true;
    prompter.setParent(&window);
    longWork.setWindow(&window);
    if (!window.FormCreate())
        return 0;
    window.show();
    return app.exec();
}
