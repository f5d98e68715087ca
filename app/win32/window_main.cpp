#include "app/win32/window_main.h"

#include <windows.h>

#include <objbase.h>

#include <memory>

#include "app/win32/form1.h"
#include "core/log.h"
#include "platform/services.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_folder_browser.h"
#include "platform/win32/win32_message_boxes.h"

namespace skorva {
namespace {

// The recording's messages as the platform's message boxes.
class MessageBoxSink final : public MessageSink {
  public:
    void show(const Message& message) override { MsgBox(message.text, message.icon); }
};

// A program started from Explorer gets a console of its own because it is a console program (the command
// line needs one); the window does not, so that console goes. One started from a console keeps it.
void leaveOwnConsole() {
    DWORD processes[2] = {};
    if (::GetConsoleProcessList(processes, 2) == 1) {
        ::FreeConsole();
    }
}

}  // namespace

int runWindow() {
    leaveOwnConsole();
    // The folder chooser is a shell dialog: it needs a single-threaded apartment on the window's thread.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    Win32MessageBoxes messages;
    Win32FolderBrowser folderBrowser;
    const std::unique_ptr<Desktop> desktop = makeWin32Desktop();
    const ScopedServices installed(
        Services{.desktop = desktop.get(), .messages = &messages, .folderBrowser = &folderBrowser});

    MessageBoxSink boxes;
    Form1 window(boxes);
    if (!window.create(::GetModuleHandleW(nullptr))) {
        logLine("window", "Windows refused to make the main window.");
        return 1;
    }
    messages.setOwner(window.hWnd());
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!::IsDialogMessageW(window.hWnd(), &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    messages.setOwner(nullptr);
    if (SUCCEEDED(com)) {
        ::CoUninitialize();
    }
    return 0;
}

}  // namespace skorva
