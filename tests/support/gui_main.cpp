// The main() of the widget tests: one offscreen QApplication for the run.
#include "app/forms/qtprinters.h"
#include "app/forms/resources.h"
#include "support/gui_modal.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    shelvix::app::initResources();
    shelvix::app::installQtPrinters();
    shelvix::test::guardAgainstUnansweredModals();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
