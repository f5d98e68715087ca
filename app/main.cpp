// Starts the program: a command from the command line runs without the window; otherwise the real
// platform services are wired and the main window opens.

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <optional>

#include "app/command_line.h"
#include "app/form1.h"
#include "app/session_check.h"
#include "app/window_system.h"
#include "core/log.h"
#include "platform/qt/codec_dialog.h"
#include "platform/qt/qt_clipboard.h"
#include "platform/qt/qt_file_dialogs.h"
#include "platform/qt/qt_folder_browser.h"
#include "platform/qt/qt_message_boxes.h"
#include "platform/services.h"
#include "platform/termination.h"
#include "platform/x11/x11_desktop.h"

int main(int argc, char** argv) {
    skorva::installTerminationHandlers();
    if (const std::optional<int> exitCode = skorva::runCommandLine(argc, argv)) {
        return *exitCode;
    }
    skorva::prepareWindowSystem();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Skorva webcam capture"));
    QApplication::setDesktopFileName(QStringLiteral("skorva"));

    skorva::QtMessageBoxes messages;
    skorva::QtFileDialogs fileDialogs;
    skorva::QtFolderBrowser folderBrowser;
    skorva::QtCodecChooser codecChooser;
    skorva::QtClipboard clipboard;
    std::unique_ptr<skorva::Desktop> desktop = skorva::makeX11Desktop();
    if (!desktop) {
        skorva::logLine("x11", "no X server to list and grab windows from; the list stays empty.");
    }
    skorva::ScopedServices installed(skorva::Services{.desktop = desktop.get(),
                                                      .messages = &messages,
                                                      .fileDialogs = &fileDialogs,
                                                      .folderBrowser = &folderBrowser,
                                                      .codecChooser = &codecChooser,
                                                      .clipboard = &clipboard});

    skorva::Form1 window;
    window.show();
    // SIGINT or SIGTERM: the window closes as if the user had closed it. A movie being written is finished
    // first (the writer asks between frames), and every dialog still open is left.
    QSocketNotifier termination(skorva::terminationRequestFd(), QSocketNotifier::Read);
    QObject::connect(&termination, &QSocketNotifier::activated, &window, [&window] {
        window.close();
        QCoreApplication::quit();
    });
    // After the window is up, so that the notice has the program's window as its background.
    QTimer::singleShot(0, &window, [] { skorva::noticeSession(skorva::sessionEnvironmentOfProcess()); });
    return QApplication::exec();
}
