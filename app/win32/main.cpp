// Starts the Windows program: the command that the command line names, with its arguments taken as the
// system gives them (UTF-16, whatever the console's code page) and handed on as UTF-8; without a command,
// the main window.

#include <windows.h>

#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/win32/window_main.h"
#include "platform/termination.h"
#include "platform/win32/wide_text.h"

int main() {
    // What the program prints is UTF-8, titles included.
    ::SetConsoleOutputCP(CP_UTF8);
    skorva::installTerminationHandlers();
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(skorva::win32::narrow(wide[i]));
    }
    ::LocalFree(wide);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    if (const std::optional<int> exitCode = skorva::runCommandLine(count, argv.data())) {
        return *exitCode;
    }
    return skorva::runWindow();
}
