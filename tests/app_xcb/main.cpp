// The main window on the real X server through Qt's own xcb platform: what a user sees of its boxes.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// Qt's xcb platform loads libdbus, which keeps one buffer for the life of the process: not a leak of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

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
