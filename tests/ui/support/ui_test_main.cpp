// Runs the GUI tests inside one QApplication on the offscreen platform (unless the caller chose
// another, for example xcb to watch them).

#include <gtest/gtest.h>

#include "app/guarded_application.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    tw::ui::GuardedApplication app(argc, argv);
    // Tests close main windows; the application lives on for the next test.
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
