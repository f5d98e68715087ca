// The main window on the real X server through Qt's own xcb platform: what a user sees of its boxes.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (std::getenv("DISPLAY") == nullptr) {
        // No server, no application object: the tests see no DISPLAY and skip themselves.
        return RUN_ALL_TESTS();
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
