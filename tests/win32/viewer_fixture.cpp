// A viewer window for the Windows program's tests: titled as its argument says ("Webcam for bob"), its
// client area painted with the fixture picture of seed 7. Prints one line once the window is shown:
//   window 0x<handle> outer <left> <top> <right> <bottom> client <left> <top>
// so that a test knows which pixels the grab should see. --close-after MS closes the window that long
// after it is shown, as a user closing the viewer mid-recording.

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/x11/fixture/fixture_picture.h"

namespace {

constexpr int kClientWidth = 400;
constexpr int kClientHeight = 300;
constexpr UINT_PTR kCloseTimer = 1;
const std::uint32_t kSeed = skorva::fixture::seedOf(0);

// The fixture picture as a top-down 32-bit DIB.
std::vector<std::uint32_t> picture() {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kClientWidth) * kClientHeight);
    for (int y = 0; y < kClientHeight; ++y) {
        for (int x = 0; x < kClientWidth; ++x) {
            pixels[static_cast<std::size_t>(y) * kClientWidth + x] = skorva::fixture::pixel(x, y, kSeed);
        }
    }
    return pixels;
}

LRESULT CALLBACK viewerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            static const std::vector<std::uint32_t> pixels = picture();
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = kClientWidth;
            info.bmiHeader.biHeight = -kClientHeight;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            PAINTSTRUCT paint;
            const HDC dc = ::BeginPaint(window, &paint);
            ::SetDIBitsToDevice(dc, 0, 0, kClientWidth, kClientHeight, 0, 0, 0, kClientHeight, pixels.data(),
                                &info, DIB_RGB_COLORS);
            ::EndPaint(window, &paint);
            return 0;
        }
        case WM_TIMER:
            if (wParam == kCloseTimer) {
                ::DestroyWindow(window);
            }
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::wstring title = L"Webcam for fixture";
    UINT closeAfter = 0;
    for (int i = 1; i < count; ++i) {
        if (std::wstring(arguments[i]) == L"--close-after" && i + 1 < count) {
            closeAfter = static_cast<UINT>(std::wcstoul(arguments[++i], nullptr, 10));
        } else {
            title = arguments[i];
        }
    }
    WNDCLASSW viewerClass{};
    viewerClass.lpfnWndProc = viewerProcedure;
    viewerClass.hInstance = ::GetModuleHandleW(nullptr);
    viewerClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    viewerClass.lpszClassName = L"SkorvaViewerFixture";
    ::RegisterClassW(&viewerClass);
    RECT outer{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    const HWND window = ::CreateWindowW(viewerClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 100,
                                        100, outer.right - outer.left, outer.bottom - outer.top, nullptr,
                                        nullptr, viewerClass.hInstance, nullptr);
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
    RECT placed{};
    ::GetWindowRect(window, &placed);
    POINT client{0, 0};
    ::ClientToScreen(window, &client);
    std::printf("window 0x%08x outer %ld %ld %ld %ld client %ld %ld\n",
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(window)), placed.left, placed.top,
                placed.right, placed.bottom, client.x, client.y);
    std::fflush(stdout);
    if (closeAfter > 0) {
        ::SetTimer(window, kCloseTimer, closeAfter, nullptr);
    }
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    ::LocalFree(arguments);
    return 0;
}
