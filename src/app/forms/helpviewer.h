#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;
class QPushButton;

namespace shelvix::app {

// Opens the help on the topic of `keyword` ("" = the contents page; a
// keyword without a topic also gives the contents). The help window belongs
// to `parent`'s window, so it stays usable while that window is modal, and
// is reused when that window asks again.
void showHelpTopic(QWidget* parent, const QString& keyword);

// The help window: the topics in a QTextBrowser with Contents, Back,
// Forward and Close.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // Shows the topic of `keyword`; false when it had to fall back to the
    // contents page.
    bool showTopic(const QString& keyword);
    QTextBrowser* browser() const { return browser_; }

private:
    void updateTitle();

    QTextBrowser* browser_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* forward_ = nullptr;
};

} // namespace shelvix::app
