#include "recording/discovery.h"

#include <string_view>

#include "platform/services.h"

namespace skorva {
namespace {

constexpr std::string_view kViewerTitleText = "Webcam for";

}  // namespace

std::vector<ViewerEntry> findViewerWindows() {
    Desktop& desktop = *services().desktop;
    std::vector<ViewerEntry> found;
    desktop.enumWindows([&](WindowHandle window) {
        std::string title = desktop.windowTitle(window);
        if (!title.empty() && title.find(kViewerTitleText) != std::string::npos) {
            found.push_back({std::move(title), window});
        }
        return true;
    });
    return found;
}

}  // namespace skorva
