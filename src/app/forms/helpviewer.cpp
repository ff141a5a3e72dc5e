#include "app/forms/helpviewer.h"

#include "app/appinfo.h"
#include "app/forms/resources.h"
#include "app/help.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace shelvix::app {

namespace {

bool topicExists(const QStringList& paths, const QString& file) {
    for (const QString& dir : paths)
        if (QFileInfo::exists(dir + u'/' + file))
            return true;
    return false;
}

} // namespace

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
    initResources();
    setObjectName(QStringLiteral("HelpViewer"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
    contents->setObjectName(QStringLiteral("ContentsButton"));
    back_ = new QPushButton(QStringLiteral("&Back"), this);
    back_->setObjectName(QStringLiteral("BackButton"));
    forward_ = new QPushButton(QStringLiteral("&Forward"), this);
    forward_->setObjectName(QStringLiteral("ForwardButton"));
    // Alt+C belongs to Contents.
    auto* close = new QPushButton(QStringLiteral("C&lose"), this);
    close->setObjectName(QStringLiteral("CloseButton"));

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    browser_->setSearchPaths(helpSearchPaths(QCoreApplication::applicationDirPath()));
    browser_->setOpenExternalLinks(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back_);
    buttons->addWidget(forward_);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_);

    connect(contents, &QPushButton::clicked, this, [this] { showTopic(QString()); });
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, [this] { updateTitle(); });
    back_->setEnabled(false);
    forward_->setEnabled(false);
    resize(560, 460);
}

bool HelpViewer::showTopic(const QString& keyword) {
    QString file = helpTopicFile(keyword);
    const bool found = topicExists(browser_->searchPaths(), file);
    if (!found)
        file = QLatin1String(kHelpContentsFile);
    browser_->setSource(QUrl(file));
    updateTitle();
    return found && !keyword.trimmed().isEmpty();
}

void HelpViewer::updateTitle() {
    const QString topic = browser_->documentTitle();
    const QString product = QLatin1String(kProductName) + QLatin1String(" Help");
    setWindowTitle(topic.isEmpty() ? product : product + QLatin1String(" - ") + topic);
}

void showHelpTopic(QWidget* parent, const QString& keyword) {
    QWidget* owner = parent ? parent->window() : nullptr;
    HelpViewer* viewer = nullptr;
    if (owner)
        viewer = owner->findChild<HelpViewer*>(QString(), Qt::FindDirectChildrenOnly);
    if (!viewer)
        viewer = new HelpViewer(owner);
    viewer->showTopic(keyword);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

} // namespace shelvix::app
