// The Win32 desktop on a window of the test's own, on the X display Wine draws on: listed with its title
// and place, restored, kept on top until the end, and grabbed with the pixels it painted.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/win32_desktop.h"
#include "tests/x11/fixture/fixture_picture.h"

namespace skorva {
namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 150;
constexpr std::uint32_t kSeed = 47;

// Marks a window that answers PrintWindow with a frame and nothing inside it, as a window that draws its
// inside only on the screen does.
constexpr wchar_t kFrameOnly[] = L"SkorvaFrameOnly";

LRESULT CALLBACK paintFixture(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PRINT && ::GetPropW(window, kFrameOnly) != nullptr) {
        ::PatBlt(reinterpret_cast<HDC>(wParam), 0, 0, 4, 4, BLACKNESS);
        return 0;
    }
    if (message != WM_PAINT) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    static const std::vector<std::uint32_t> pixels = [] {
        std::vector<std::uint32_t> made(static_cast<std::size_t>(kWidth) * kHeight);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                made[static_cast<std::size_t>(y) * kWidth + x] = fixture::pixel(x, y, kSeed);
            }
        }
        return made;
    }();
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    PAINTSTRUCT paint;
    const HDC dc = ::BeginPaint(window, &paint);
    ::SetDIBitsToDevice(dc, 0, 0, kWidth, kHeight, 0, 0, 0, kHeight, pixels.data(), &info, DIB_RGB_COLORS);
    ::EndPaint(window, &paint);
    return 0;
}

// A viewer-like window of this process, painted with the fixture picture.
class OwnWindow {
  public:
    explicit OwnWindow(const wchar_t* title) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = paintFixture;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"SkorvaDesktopTest";
        ::RegisterClassW(&windowClass);
        RECT outer{0, 0, kWidth, kHeight};
        ::AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
        window_ = ::CreateWindowW(windowClass.lpszClassName, title, WS_OVERLAPPEDWINDOW, 150, 150,
                                  outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
        ::ShowWindow(window_, SW_SHOWNORMAL);
        pump();
    }
    ~OwnWindow() { close(); }
    OwnWindow(const OwnWindow&) = delete;
    OwnWindow& operator=(const OwnWindow&) = delete;

    WindowHandle handle() const {
        return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window_));
    }
    HWND hwnd() const { return window_; }
    void close() {
        if (window_ != nullptr) {
            ::DestroyWindow(window_);
            window_ = nullptr;
        }
    }
    static void pump() {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&message);
        }
    }
    bool topmost() const { return (::GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

  private:
    HWND window_ = nullptr;
};

// Pixels of `picture` that differ from the fixture's at the client position (dx + x, dy + y).
int wrongPixels(const Picture& picture, int dx, int dy) {
    int wrong = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const std::uint8_t* at = picture.row(y) + 4 * x;
            const std::uint32_t seen = (std::uint32_t{at[2]} << 16) | (std::uint32_t{at[1]} << 8) | at[0];
            wrong += seen != fixture::pixel(dx + x, dy + y, kSeed) || at[3] != 0xFF ? 1 : 0;
        }
    }
    return wrong;
}

TEST(Win32Desktop, ListsAWindowWithItsTitleAndPlaceAndForgetsItWhenItCloses) {
    OwnWindow window(L"Webcam for bjørn");
    const std::unique_ptr<Desktop> desktop = makeWin32Desktop();
    bool listed = false;
    desktop->enumWindows([&](WindowHandle each) {
        listed = listed || each == window.handle();
        return true;
    });
    EXPECT_TRUE(listed);
    EXPECT_EQ(desktop->windowTitle(window.handle()), "Webcam for bj\xc3\xb8rn");
    RECT expected{};
    ::GetWindowRect(window.hwnd(), &expected);
    Rect outer;
    ASSERT_TRUE(desktop->windowRect(window.handle(), outer));
    EXPECT_EQ(outer, (Rect{expected.left, expected.top, expected.right, expected.bottom}));
    const WindowHandle gone = window.handle();
    window.close();
    EXPECT_FALSE(desktop->windowRect(gone, outer));
    EXPECT_EQ(desktop->windowTitle(gone), "");
    EXPECT_TRUE(desktop->grabWindow(gone, 0, 0, 10, 10, nullptr).isNull());
}

TEST(Win32Desktop, KeepOnTopLastsUntilTheEndAndAWindowOnTopBeforeStaysSo) {
    for (const bool onTopBefore : {false, true}) {
        SCOPED_TRACE(onTopBefore ? "on top before" : "not on top before");
        OwnWindow window(L"Webcam for carol");
        if (onTopBefore) {
            ::SetWindowPos(window.hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        }
        const std::unique_ptr<Desktop> desktop = makeWin32Desktop();
        ASSERT_TRUE(desktop->keepOnTop(window.handle()));
        EXPECT_TRUE(window.topmost());
        desktop->endKeepOnTop();
        EXPECT_EQ(window.topmost(), onTopBefore);
    }
    // A desktop that goes (the program ends) puts its windows back too.
    OwnWindow window(L"Webcam for dave");
    makeWin32Desktop()->keepOnTop(window.handle());
    EXPECT_FALSE(window.topmost());
}

TEST(Win32Desktop, AMinimisedWindowIsRestoredAndGrabbedWithItsPixelsAndTheScreenIsBlackBeyondItsEdge) {
    for (const bool frameOnly : {false, true}) {
        SCOPED_TRACE(frameOnly ? "PrintWindow draws only a frame" : "PrintWindow left to the default");
        OwnWindow window(L"Webcam for erin");
        if (frameOnly) {
            ::SetPropW(window.hwnd(), kFrameOnly, window.hwnd());
        }
        const std::unique_ptr<Desktop> desktop = makeWin32Desktop();
        ::ShowWindow(window.hwnd(), SW_MINIMIZE);
        OwnWindow::pump();
        EXPECT_TRUE(desktop->isIconic(window.handle()));
        ASSERT_TRUE(desktop->restoreWindow(window.handle()));
        EXPECT_FALSE(desktop->isIconic(window.handle()));
        desktop->keepOnTop(window.handle());

        // The client area, 20 pixels in: the window manager maps and paints it in its own time, so the grab
        // is asked again until it shows the picture or a deadline passes.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int wrong = -1;
        while (wrong != 0 && std::chrono::steady_clock::now() < deadline) {
            OwnWindow::pump();
            // The window manager carries out the minimise in its own time, which may come after the
            // restore and minimise the window again: as the tick does at every frame, a minimised window
            // is restored before the grab.
            if (desktop->isIconic(window.handle())) {
                ASSERT_TRUE(desktop->restoreWindow(window.handle()));
            }
            RECT outer{};
            ::GetWindowRect(window.hwnd(), &outer);
            POINT client{20, 20};
            ::ClientToScreen(window.hwnd(), &client);
            const Picture grabbed = desktop->grabWindow(window.handle(), client.x - outer.left,
                                                        client.y - outer.top, 60, 40, nullptr);
            ASSERT_EQ(grabbed.width(), 60);
            ASSERT_EQ(grabbed.height(), 40);
            wrong = wrongPixels(grabbed, 20, 20);
        }
        EXPECT_EQ(wrong, 0);
        if (frameOnly) {
            ::RemovePropW(window.hwnd(), kFrameOnly);
        }
    }

    // Across the screen's top-left corner: the size asked for, black where there is no screen.
    const std::unique_ptr<Desktop> desktop = makeWin32Desktop();
    const Picture corner = desktop->grabScreen(-10, -10, 30, 30);
    ASSERT_EQ(corner.width(), 30);
    ASSERT_EQ(corner.height(), 30);
    const std::uint8_t* beyond = corner.row(5) + 4 * 5;
    EXPECT_EQ(beyond[0] | beyond[1] | beyond[2], 0);
    EXPECT_EQ(beyond[3], 0xFF);
    EXPECT_TRUE(desktop->grabScreen(0, 0, 0, 10).isEmpty());
}

}  // namespace
}  // namespace skorva
