#include "app/forms/qtlongwork.h"
#include "app/forms/qtprompter.h"
#include "support/gui_modal.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace shelvix;

namespace {

QDialog* progressDisplay(QWidget* window) {
    return window->findChild<QDialog*>(QStringLiteral("ProgressDisplay"));
}

// Reports hundredths `from` to `to`, taking about `ms` milliseconds.
void slowWork(const db::Progress& progress, int ms, int from = 0, int to = 100) {
    for (int i = from; i <= to; ++i) {
        progress(std::uint64_t(i), 100);
        QThread::msleep(std::uint64_t(ms / (to - from + 1)));
    }
}

class LongWorkTest : public ::testing::Test {
protected:
    LongWorkTest() : work(&window), prompter(&window) {
        window.resize(640, 480);
        window.show();
    }
    QMainWindow window;
    app::QtLongWork work;
    app::QtPrompter prompter;
};

// Quick work never shows the display; the busy cursor is there throughout.
TEST_F(LongWorkTest, QuickWorkShowsOnlyTheBusyCursor) {
    bool busy = false;
    EXPECT_TRUE(work.run("Quick", [&](const db::Progress& p) {
        p(1, 2);
        busy = QApplication::overrideCursor() &&
               QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        EXPECT_TRUE(work.running());
        // A second run meanwhile is refused.
        EXPECT_FALSE(work.run("Again", [](const db::Progress&) { ADD_FAILURE(); }));
        p(2, 2);
        EXPECT_TRUE(!progressDisplay(&window) || !progressDisplay(&window)->isVisible());
    }));
    EXPECT_TRUE(busy);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(work.running());
}

// A message shown half-way through slow work, answered with the real box:
// the display steps aside at once and stays away however long the message
// is up, with the normal cursor; then the work goes on under the display.
TEST_F(LongWorkTest, AMessageIsNeverCovered) {
    bool displayed = false;
    bool answered = false;
    int displayValue = 0;
    work.run("Slow", [&](const db::Progress& p) {
        slowWork(p, 600, 0, 50);
        QDialog* display = progressDisplay(&window);
        ASSERT_NE(display, nullptr);
        displayed = display->isVisible();
        displayValue = display->findChild<QProgressBar*>()->value();
        test::onNextModal([&](QWidget* box) {
            EXPECT_NE(qobject_cast<QMessageBox*>(box), nullptr);
            QTest::qWait(3 * app::QtLongWork::kDisplayDelayMs);
            EXPECT_FALSE(display->isVisible());
            EXPECT_EQ(QApplication::activeModalWidget(), box);
            EXPECT_EQ(QApplication::overrideCursor(), nullptr);
            QTest::keyClick(box, Qt::Key_Return);
            answered = true;
        });
        prompter.error("Unable to go on.");
        slowWork(p, 50, 50, 100);
        EXPECT_TRUE(display->isVisible());
        EXPECT_NE(QApplication::overrideCursor(), nullptr);
    });
    EXPECT_TRUE(displayed);
    EXPECT_EQ(displayValue, 500);
    EXPECT_TRUE(answered);
    EXPECT_EQ(progressDisplay(&window), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(LongWorkTest, WorkThatThrowsGivesBackCursorAndWindow) {
    EXPECT_THROW(work.run("Throws",
                          [](const db::Progress& p) {
                              slowWork(p, 300);
                              throw std::runtime_error("disk gone");
                          }),
                 std::runtime_error);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(progressDisplay(&window), nullptr);
    EXPECT_FALSE(work.running());
    EXPECT_TRUE(window.isEnabled());
}

} // namespace
