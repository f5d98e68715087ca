// The one main of the tests that need a Qt application object: one object for the whole run, on the
// platform the executable is built for (Qt's offscreen platform unless the environment names another),
// with pixel sizes in device pixels.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#ifndef SKORVA_TEST_QT_PLATFORM
#define SKORVA_TEST_QT_PLATFORM "offscreen"
#endif

// Qt's xcb platform loads libdbus, which keeps one buffer for the life of the process: not a leak of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const QByteArray platform(SKORVA_TEST_QT_PLATFORM);
    if (platform == "xcb" && std::getenv("DISPLAY") == nullptr) {
        // No server, no application object: the tests see no DISPLAY and skip themselves.
        return RUN_ALL_TESTS();
    }
    // The tests of boxes on a real X server need its own platform whatever the environment says.
    if (platform == "xcb" || qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", platform);
    }
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
