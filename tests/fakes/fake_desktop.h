#pragma once
// A desktop of scripted windows for unit tests. Installed for its lifetime.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform_error.h"
#include "platform/services.h"

namespace skorva::testing {

struct FakeWindow {
    std::string title;
    Rect rect;
    bool iconic = false;
    bool onTop = false;
};

struct GrabCall {
    std::int32_t left, top, width, height;
};

class FakeDesktop final : public Desktop {
  public:
    FakeDesktop() : scope_(Services{.desktop = this}) {}

    // Adds a window; enumeration follows the order of adding.
    WindowHandle add(const std::string& title, Rect rect = {100, 100, 500, 450});
    void close(WindowHandle window);

    void enumWindows(const std::function<bool(WindowHandle)>& visit) override;
    std::string windowTitle(WindowHandle window) override;
    bool isIconic(WindowHandle window) override;
    bool restoreWindow(WindowHandle window) override;
    bool keepOnTop(WindowHandle window) override;
    void endKeepOnTop() override;
    bool windowRect(WindowHandle window, Rect& rect) override;
    Picture grabScreen(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) override;

    std::map<WindowHandle, FakeWindow> windows;
    std::vector<WindowHandle> order;
    std::vector<GrabCall> grabs;
    std::vector<WindowHandle> restored;
    // The windows keepOnTop() put on top that were not on top before.
    std::vector<WindowHandle> putOnTop;
    // Pixels of the fake screen at (x, y) as B, G, R; a deterministic pattern by default.
    std::function<std::uint32_t(std::int32_t x, std::int32_t y)> screenPixel;
    // When set, grabScreen throws it.
    std::optional<PlatformError> grabError;

  private:
    ScopedServices scope_;
    WindowHandle next_ = 0x1000001;
};

// The default fake screen's pixel: 0x00RRGGBB.
std::uint32_t patternPixel(std::int32_t x, std::int32_t y);

}  // namespace skorva::testing
