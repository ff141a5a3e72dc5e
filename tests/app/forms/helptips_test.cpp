#include "app/appcontext.h"
#include "app/appinfo.h"
#include "app/forms/helpviewer.h"
#include "shell/forms/taboutbox.h"
#include "shell/forms/ttipofday.h"
#include "shell/tips.h"
#include "support/gui_modal.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>
#include <set>

using namespace shelvix;

TEST(TipOfDay, NextWrapsAndClosingTakesTheBox) {
    app::AppContext ctx;
    ctx.global.showTips = false;
    {
        shell::TTipOfDay tips(ctx);
        EXPECT_EQ(tips.windowTitle(), "Tip of the Day");
        auto* box = tips.findChild<QCheckBox*>("ShowTips");
        EXPECT_FALSE(box->isChecked());
        const int first = tips.tipNumber();
        auto* comment = tips.findChild<QLabel*>("TipComment");
        EXPECT_EQ(comment->text(), shell::tipText(first));
        std::set<int> seen;
        for (int i = 0; i < 24; ++i) {
            test::clickButton(&tips, "NextTipButton");
            seen.insert(tips.tipNumber());
        }
        EXPECT_EQ(tips.tipNumber(), first);
        EXPECT_EQ(seen.size(), 24u);
        EXPECT_EQ(comment->text(), shell::tipText(first));
        test::clickButton(&tips, "CloseButton");
    }
    EXPECT_FALSE(ctx.global.showTips); // untouched box: still off

    {
        shell::TTipOfDay tips(ctx);
        tips.show();
        tips.findChild<QCheckBox*>("ShowTips")->setChecked(true);
        tips.close(); // the title bar's close
    }
    EXPECT_TRUE(ctx.global.showTips);

    {
        shell::TTipOfDay tips(ctx);
        EXPECT_TRUE(tips.findChild<QCheckBox*>("ShowTips")->isChecked());
        tips.findChild<QCheckBox*>("ShowTips")->setChecked(false);
        tips.reject(); // Escape
    }
    EXPECT_FALSE(ctx.global.showTips);
}

TEST(HelpViewer, EveryKeywordHasItsTopicAndOthersGetTheContents) {
    QWidget owner;
    const QStringList keywords{"Input Window",
                               "Search Window",
                               "Report Window",
                               "User Defined Reports",
                               "Import Window",
                               "Export Window",
                               "Backup and Restore",
                               "Viewer Configuration Title",
                               "Viewer Configuration Look",
                               "Viewer Configuration Show",
                               "Viewer Configuration Widths",
                               "Viewer Configuration Order",
                               "Viewer Configuration Names"};
    app::HelpViewer viewer;
    for (const QString& k : keywords) {
        EXPECT_TRUE(viewer.showTopic(k)) << k.toStdString();
        EXPECT_GT(viewer.browser()->toPlainText().size(), 150) << k.toStdString();
    }

    app::showHelpTopic(&owner, "Backup and Restore");
    auto* help = owner.findChild<app::HelpViewer*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->browser()->source().fileName(), "backup-and-restore.html");
    EXPECT_EQ(help->windowTitle(), "Shelvix Books 97 Help - Backup and Restore");
    EXPECT_TRUE(help->browser()->toPlainText().contains("Start Back Up"));

    // The same window again, on the contents for "" and unknown keywords.
    app::showHelpTopic(&owner, "No Such Window");
    EXPECT_EQ(owner.findChildren<app::HelpViewer*>().size(), 1);
    EXPECT_EQ(help->browser()->source().fileName(), "contents.html");
    app::showHelpTopic(&owner, "Viewer Configuration Order");
    app::showHelpTopic(&owner, "");
    EXPECT_EQ(help->browser()->source().fileName(), "contents.html");
    // Every link of the contents leads to a topic built into the program.
    QFile contents(":/help/contents.html");
    ASSERT_TRUE(contents.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(contents.readAll());
    static const QRegularExpression link(R"re(href="([^"]+)")re");
    int links = 0;
    for (const QRegularExpressionMatch& m : link.globalMatch(html)) {
        EXPECT_TRUE(QFile::exists(":/help/" + m.captured(1))) << m.captured(1).toStdString();
        ++links;
    }
    EXPECT_GE(links, int(keywords.size()));
}

// Each button has a key of its own: Alt+C shows the contents, Alt+L closes.
TEST(HelpViewer, EachButtonHasItsOwnAltKey) {
    auto* help = new app::HelpViewer; // goes when closed
    QPointer<app::HelpViewer> alive(help);
    QStringList keys;
    for (QPushButton* b : help->findChildren<QPushButton*>())
        keys << QKeySequence::mnemonic(b->text()).toString();
    keys.removeDuplicates();
    EXPECT_EQ(keys.size(), help->findChildren<QPushButton*>().size());
    help->showTopic("Search Window");
    help->show();
    help->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    // A button's key clicks it after showing it pressed for a moment.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return help->browser()->source().fileName() == "contents.html"; }));
    EXPECT_TRUE(help->isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return alive.isNull();
    }));
    delete alive.data();
}

// Escape closes the help from wherever the focus is in it.
TEST(HelpViewer, EscapeCloses) {
    auto* help = new app::HelpViewer; // goes when closed
    QPointer<app::HelpViewer> alive(help);
    help->showTopic("Search Window");
    help->show();
    help->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    help->browser()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return alive.isNull();
    }));
    delete alive.data();
}

TEST(AboutBox, ProductVersionAndDataDirectory) {
    app::AppContext ctx;
    ctx.paths.dataDir = "/home/reader/books";
    shell::TAboutBox about(ctx);
    EXPECT_EQ(about.findChild<QLabel*>("ProductName")->text(), "Shelvix Books 97");
    EXPECT_EQ(about.findChild<QLabel*>("Version")->text(), "Version " + app::versionString());
    EXPECT_FALSE(app::versionString().isEmpty());
    EXPECT_EQ(about.findChild<QLabel*>("DataDirectory")->text(), "/home/reader/books");
}

TEST(HelpAndTips, Screenshots) {
    const QString out = qEnvironmentVariable("SHELVIX_SCREENSHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "SHELVIX_SCREENSHOTS not set";
    QDir().mkpath(out);
    app::AppContext ctx;
    shell::TTipOfDay tips(ctx);
    tips.showTip(12);
    tips.show();
    QApplication::processEvents();
    tips.grab().save(out + "/tipofday.png");
    app::HelpViewer help;
    help.showTopic("Search Window");
    help.show();
    QApplication::processEvents();
    help.grab().save(out + "/help-search.png");
    shell::TAboutBox about(ctx);
    about.show();
    QApplication::processEvents();
    about.grab().save(out + "/about.png");
}
