#include "platform/win32/win32_desktop.h"

#include <windows.h>

#include <set>
#include <vector>

#include "platform/platform_error.h"
#include "platform/win32/gdi_canvas.h"
#include "platform/win32/wide_text.h"

namespace skorva {
namespace {

// How long a restored or raised viewer may take to paint before the grab goes on without it.
constexpr UINT kRepaintWaitMs = 500;
// What PrintWindow is checked against: GDI leaves every pixel's fourth byte 0, so a pixel of the grab that
// still holds this byte was not drawn, and the screen serves instead.
constexpr std::uint8_t kUntouched = 0xA5;

HWND hwndOf(WindowHandle window) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

class Win32Desktop final : public Desktop {
  public:
    ~Win32Desktop() override { endKeepOnTop(); }

    void enumWindows(const std::function<bool(WindowHandle)>& visit) override {
        // Collected first: the visitor may ask about windows, which must not run inside EnumWindows.
        std::vector<WindowHandle> windows;
        ::EnumWindows(
            [](HWND window, LPARAM into) -> BOOL {
                reinterpret_cast<std::vector<WindowHandle>*>(into)->push_back(
                    static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window)));
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&windows));
        for (const WindowHandle window : windows) {
            if (!visit(window)) {
                return;
            }
        }
    }

    std::string windowTitle(WindowHandle window) override {
        const int length = ::GetWindowTextLengthW(hwndOf(window));
        if (length <= 0) {
            return {};
        }
        std::wstring title(static_cast<std::size_t>(length) + 1, L'\0');
        const int got = ::GetWindowTextW(hwndOf(window), title.data(), length + 1);
        return win32::narrow(title.data(), static_cast<std::size_t>(std::max(got, 0)));
    }

    bool isIconic(WindowHandle window) override { return ::IsIconic(hwndOf(window)) != 0; }

    bool restoreWindow(WindowHandle window) override {
        const HWND hwnd = hwndOf(window);
        if (!::IsWindow(hwnd)) {
            return false;
        }
        // A minimised window sits at (-32000, -32000) with no client area until it is restored.
        ::ShowWindow(hwnd, ::IsIconic(hwnd) ? SW_RESTORE : SW_SHOWNA);
        waitForPaint(hwnd);
        return true;
    }

    bool keepOnTop(WindowHandle window) override {
        const HWND hwnd = hwndOf(window);
        if (!::IsWindow(hwnd)) {
            return false;
        }
        // One that was kept on top already stays so when the recording ends.
        if ((::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0) {
            putOnTop_.insert(window);
        }
        const bool placed =
            ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) != 0;
        waitForPaint(hwnd);
        return placed;
    }

    void endKeepOnTop() override {
        for (const WindowHandle window : putOnTop_) {
            if (::IsWindow(hwndOf(window))) {
                ::SetWindowPos(hwndOf(window), HWND_NOTOPMOST, 0, 0, 0, 0,
                               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            }
        }
        putOnTop_.clear();
    }

    bool windowRect(WindowHandle window, Rect& rect) override {
        RECT outer{};
        if (!::IsWindow(hwndOf(window)) || !::GetWindowRect(hwndOf(window), &outer)) {
            return false;
        }
        rect = {outer.left, outer.top, outer.right, outer.bottom};
        return true;
    }

    Picture grabScreen(std::int32_t left, std::int32_t top, std::int32_t width,
                       std::int32_t height) override {
        if (width <= 0 || height <= 0) {
            return Picture::black(0, 0);
        }
        // A source rectangle that runs past the screen's edge may come back all black, the visible part
        // too: only the screen's part is copied, the rest stays black.
        const std::int32_t screenLeft = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
        const std::int32_t screenTop = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
        const std::int32_t screenRight = screenLeft + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
        const std::int32_t screenBottom = screenTop + ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
        const std::int64_t clipLeft = std::max<std::int64_t>(left, screenLeft);
        const std::int64_t clipTop = std::max<std::int64_t>(top, screenTop);
        const std::int64_t clipRight = std::min<std::int64_t>(std::int64_t{left} + width, screenRight);
        const std::int64_t clipBottom = std::min<std::int64_t>(std::int64_t{top} + height, screenBottom);
        if (clipLeft >= clipRight || clipTop >= clipBottom) {
            return Picture::black(width, height);
        }
        win32::GdiCanvas canvas(static_cast<std::int32_t>(clipRight - clipLeft),
                                static_cast<std::int32_t>(clipBottom - clipTop));
        const HDC screen = ::GetDC(nullptr);
        const bool copied =
            canvas.valid() && screen != nullptr &&
            ::BitBlt(canvas.dc(), 0, 0, canvas.width(), canvas.height(), screen, static_cast<int>(clipLeft),
                     static_cast<int>(clipTop), SRCCOPY | CAPTUREBLT) != 0;
        const DWORD error = ::GetLastError();
        if (screen != nullptr) {
            ::ReleaseDC(nullptr, screen);
        }
        if (!copied) {
            throw PlatformError(static_cast<int>(error), "The screen could not be read");
        }
        return canvas.crop(static_cast<std::int32_t>(left - clipLeft),
                           static_cast<std::int32_t>(top - clipTop), width, height);
    }

    Picture grabWindow(WindowHandle window, std::int32_t left, std::int32_t top, std::int32_t width,
                       std::int32_t height, bool* notRepainted) override {
        if (notRepainted != nullptr) {
            *notRepainted = false;
        }
        Rect outer;
        if (width <= 0 || height <= 0 || !windowRect(window, outer)) {
            return Desktop::grabWindow(window, left, top, width, height, notRepainted);
        }
        // The window's own pixels, drawn through the compositor, where the system draws them; else (Wine
        // draws nothing for another process's window) the screen at the window's place.
        win32::GdiCanvas canvas(outer.right - outer.left, outer.bottom - outer.top);
        if (canvas.valid()) {
            canvas.fill(kUntouched);
            if (::PrintWindow(hwndOf(window), canvas.dc(), PW_RENDERFULLCONTENT) &&
                canvas.drawnOver(left, top, width, height, kUntouched)) {
                return canvas.crop(left, top, width, height);
            }
        }
        return Desktop::grabWindow(window, left, top, width, height, notRepainted);
    }

  private:
    // Lets the window's thread handle what it was sent (the restore, the repaint) before the grab, bounded:
    // a hung viewer does not stop the recording.
    static void waitForPaint(HWND hwnd) {
        ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kRepaintWaitMs, &ignored);
    }

    std::set<WindowHandle> putOnTop_;
};

}  // namespace

std::unique_ptr<Desktop> makeWin32Desktop() {
    return std::make_unique<Win32Desktop>();
}

}  // namespace skorva
