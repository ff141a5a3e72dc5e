#include "shell/forms/taboutbox.h"

#include "app/appcontext.h"
#include "app/appinfo.h"
#include "app/forms/resources.h"

#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace shelvix::shell {

TAboutBox::TAboutBox(const app::AppContext& context, QWidget* parent) : QDialog(parent) {
    app::initResources();
    setObjectName(QStringLiteral("TAboutBox"));
    setWindowTitle(QStringLiteral("About"));
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(13);
    setFont(arial);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("ProgramIcon"));
    picture->setGeometry(16, 16, 48, 48);
    picture->setPixmap(QIcon(QStringLiteral(":/pictures/tip.svg")).pixmap(48, 48));

    const auto label = [this](const char* name, const QString& text, int top, int height) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        l->setGeometry(80, top, 300, height);
        return l;
    };
    QLabel* product = label("ProductName", QLatin1String(app::kProductName), 16, 26);
    QFont big = product->font();
    big.setPixelSize(19);
    big.setBold(true);
    product->setFont(big);
    label("Version", QStringLiteral("Version %1").arg(app::versionString()), 46, 20);
    label("DataDirectoryLabel", QStringLiteral("Data directory:"), 76, 20);
    QLabel* dir = label("DataDirectory", QDir::toNativeSeparators(context.paths.dataDir), 96, 40);
    dir->setWordWrap(true);
    dir->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(160, 146, 75, 27);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(396, 186);
}

} // namespace shelvix::shell
