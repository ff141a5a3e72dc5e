#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Shelvix Books 95"));
    QApplication::setApplicationVersion(QStringLiteral(SHELVIX_VERSION));
    return 0;
}
