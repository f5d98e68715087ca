#include "platform/win32/win32_message_boxes.h"

#include "platform/win32/wide_text.h"

namespace skorva {
namespace {

UINT iconStyle(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return MB_ICONINFORMATION;
        case MessageIcon::Exclamation:
            return MB_ICONEXCLAMATION;
        case MessageIcon::Critical:
            return MB_ICONERROR;
        case MessageIcon::None:
            break;
    }
    return 0;
}

}  // namespace

void Win32MessageBoxes::show(const std::string& text, MessageIcon icon) {
    ::MessageBoxW(owner_, win32::widen(text).c_str(), win32::widen(std::string(kAppTitle)).c_str(),
                  MB_OK | MB_TOPMOST | MB_SETFOREGROUND | iconStyle(icon));
}

}  // namespace skorva
