#include "tests/fakes/fake_desktop.h"

#include <algorithm>

#include "platform/platform_error.h"

namespace skorva::testing {

std::uint32_t patternPixel(std::int32_t x, std::int32_t y) {
    const auto r = static_cast<std::uint32_t>(x) & 0xFF;
    const auto g = static_cast<std::uint32_t>(y) & 0xFF;
    const auto b = static_cast<std::uint32_t>(x + y) & 0xFF;
    return (r << 16) | (g << 8) | b;
}

WindowHandle FakeDesktop::add(const std::string& title, Rect rect) {
    const WindowHandle handle = next_++;
    windows[handle] = FakeWindow{title, rect};
    order.push_back(handle);
    return handle;
}

void FakeDesktop::close(WindowHandle window) {
    windows.erase(window);
    order.erase(std::remove(order.begin(), order.end(), window), order.end());
}

void FakeDesktop::enumWindows(const std::function<bool(WindowHandle)>& visit) {
    const auto snapshot = order;
    for (WindowHandle window : snapshot) {
        if (!visit(window)) {
            return;
        }
    }
}

std::string FakeDesktop::windowTitle(WindowHandle window) {
    const auto it = windows.find(window);
    return it == windows.end() ? std::string() : it->second.title;
}

bool FakeDesktop::isIconic(WindowHandle window) {
    const auto it = windows.find(window);
    return it != windows.end() && it->second.iconic;
}

bool FakeDesktop::restoreWindow(WindowHandle window) {
    const auto it = windows.find(window);
    if (it == windows.end()) {
        return false;
    }
    it->second.iconic = false;
    restored.push_back(window);
    return true;
}

bool FakeDesktop::keepOnTop(WindowHandle window) {
    const auto it = windows.find(window);
    if (it == windows.end()) {
        return false;
    }
    if (!it->second.onTop) {
        putOnTop.push_back(window);
    }
    it->second.onTop = true;
    return true;
}

void FakeDesktop::endKeepOnTop() {
    for (const WindowHandle window : putOnTop) {
        if (const auto it = windows.find(window); it != windows.end()) {
            it->second.onTop = false;
        }
    }
    putOnTop.clear();
}

bool FakeDesktop::windowRect(WindowHandle window, Rect& rect) {
    const auto it = windows.find(window);
    if (it == windows.end()) {
        return false;
    }
    rect = it->second.rect;
    return true;
}

Picture FakeDesktop::grabScreen(std::int32_t left, std::int32_t top, std::int32_t width,
                                std::int32_t height) {
    grabs.push_back({left, top, width, height});
    if (grabError) {
        throw *grabError;
    }
    if (width <= 0 || height <= 0) {
        return Picture::fromPixels(0, 0, 0, PixelFormat::Bgrx32, {});
    }
    const auto pixel = screenPixel ? screenPixel : patternPixel;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    std::size_t i = 0;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t value = pixel(left + x, top + y);
            bytes[i++] = static_cast<std::uint8_t>(value);
            bytes[i++] = static_cast<std::uint8_t>(value >> 8);
            bytes[i++] = static_cast<std::uint8_t>(value >> 16);
            bytes[i++] = 0xFF;
        }
    }
    return Picture::fromPixels(width, height, width * 4, PixelFormat::Bgrx32, std::move(bytes));
}

}  // namespace skorva::testing
