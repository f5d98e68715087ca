// Finding the webcam-viewer windows: every top-level window whose title contains "Webcam for".

#include <QListWidget>

#include "app/form1.h"
#include "platform/services.h"

namespace skorva {
namespace {

constexpr std::string_view kViewerTitleText = "Webcam for";

}  // namespace

void Form1::Command1_Click() {
    List1->clear();
    services().desktop->enumWindows([this](WindowHandle window) { return EnumWindowsProc(window, 0) != 0; });
}

std::int32_t Form1::EnumWindowsProc(WindowHandle hwnd, std::int32_t /*lParam*/) {
    const std::string title = services().desktop->windowTitle(hwnd);
    if (title.empty() || title.find(kViewerTitleText) == std::string::npos) {
        return 1;
    }
    auto* entry = new QListWidgetItem(QString::fromStdString(title), List1);
    entry->setData(Qt::UserRole, QVariant::fromValue<WindowHandle>(hwnd));
    return 1;
}

void Form1::List1_DblClick() {
    Start_Click();
}

}  // namespace skorva
