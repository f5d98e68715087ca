#include "app/win32/form1.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/system_locale.h"
#include "app/win32/avi_library.h"
#include "app/win32/form1_ids.h"
#include "app/win32/picture_painter.h"
#include "dialogs/special_folders.h"
#include "platform/message_box.h"
#include "platform/win32/wide_text.h"
#include "recording/discovery.h"

namespace skorva {
namespace {

constexpr UINT_PTR kTimer1 = 1;

// Runs one step of the start-up under ignore-and-continue: a failing step does not stop the next.
template <typename Step>
void ignoringFailure(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

// With SKORVA_PRINT_CONTROLS set, the window prints where its buttons and list lie in its client area:
// a test drives the window by clicks, and Windows' child controls are no windows of the X server it
// clicks through.
void printControlPlaces(HWND window) {
    if (std::getenv("SKORVA_PRINT_CONTROLS") == nullptr) {
        return;
    }
    struct Named {
        const char* name;
        int id;
    };
    for (const Named& named :
         {Named{"List1", IDC_LIST1}, Named{"Command1", IDC_COMMAND1}, Named{"Start", IDC_START},
          Named{"btstop", IDC_BTSTOP}, Named{"pause", IDC_PAUSE}, Named{"reset", IDC_RESET},
          Named{"opendir", IDC_OPENDIR}, Named{"aviwrite", IDC_AVIWRITE}, Named{"cbbmp", IDC_CBBMP}}) {
        RECT place{};
        ::GetWindowRect(::GetDlgItem(window, named.id), &place);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        std::printf("control %s %ld %ld %ld %ld\n", named.name, place.left, place.top, place.right,
                    place.bottom);
    }
    std::fflush(stdout);
}

}  // namespace

Form1::Form1(MessageSink& messages) : recording(static_cast<RecordingView&>(*this), messages) {}

Form1::~Form1() {
    if (hwnd_ != nullptr) {
        ::DestroyWindow(hwnd_);
    }
    if (diskette_ != nullptr) {
        ::DestroyIcon(diskette_);
    }
    Form_Unload();
}

bool Form1::create(HINSTANCE instance) {
    hwnd_ = ::CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_FORM1), nullptr, &Form1::dialogProc,
                                 reinterpret_cast<LPARAM>(this));
    if (hwnd_ == nullptr) {
        return false;
    }
    const auto icon = [instance](int size) {
        return ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_SKORVA), IMAGE_ICON, size, size, LR_SHARED);
    };
    ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon(32)));
    ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon(16)));
    diskette_ = static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_DISKETTE), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    ::SendDlgItemMessageW(hwnd_, IDC_OPENDIR, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(diskette_));
    ::CheckDlgButton(hwnd_, IDC_CBJPG, BST_CHECKED);
    ::CheckDlgButton(hwnd_, IDC_WINDOWTOP, BST_CHECKED);
    setText(IDC_TXTFPS, "3");
    for (const wchar_t* language : {L"English", L"German"}) {
        ::SendDlgItemMessageW(hwnd_, IDC_COMBO1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(language));
    }
    Form_Load();
    ::ShowWindow(hwnd_, SW_SHOW);
    printControlPlaces(hwnd_);
    return true;
}

INT_PTR CALLBACK Form1::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<Form1*>(lParam)->hwnd_ = dialog;
        return TRUE;
    }
    auto* window = reinterpret_cast<Form1*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    return window != nullptr ? window->handle(message, wParam, lParam) : FALSE;
}

INT_PTR Form1::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_TIMER:
            if (wParam == kTimer1) {
                Timer1_Timer();
            }
            return TRUE;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->CtlID != IDC_IMAGE1) {
                return FALSE;
            }
            ::FillRect(item->hDC, &item->rcItem, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
            win32::paintStretched(item->hDC, item->rcItem, image1_);
            return TRUE;
        }
        case WM_CLOSE:
            // Closing the window ends the program; a running recording simply stops with it.
            Form_Unload();
            ::DestroyWindow(hwnd_);
            return TRUE;
        case WM_DESTROY:
            ::KillTimer(hwnd_, kTimer1);
            hwnd_ = nullptr;
            ::PostQuitMessage(0);
            return TRUE;
        default:
            return FALSE;
    }
}

void Form1::command(int control, int notification) {
    if (notification == BN_CLICKED) {
        switch (control) {
            case IDC_COMMAND1:
                return Command1_Click();
            case IDC_START:
                return Start_Click();
            case IDC_BTSTOP:
                return btstop_Click();
            case IDC_PAUSE:
                return pause_Click();
            case IDC_RESET:
                return reset_Click();
            case IDC_OPENDIR:
                return opendir_Click();
            case IDC_AVIWRITE:
                // The window's movie write (its dialogs, a writing thread, its progress) is still to come.
                return MsgBox(
                    "Write Avi is not in the Windows window yet: use skorva write-movie from a console.",
                    MessageIcon::Information);
            case IDCANCEL:
                // Escape in a dialog means Cancel; this window has nothing to cancel and stays open.
                return;
            default:
                return;
        }
    }
    if (control == IDC_LIST1 && notification == LBN_DBLCLK) {
        List1_DblClick();
    }
}

void Form1::Form_Load() {
    ignoringFailure([] { win32::initAviLibrary(); });
    ignoringFailure([this] {
        ::EnableWindow(control(IDC_COMBO1), FALSE);
        ::SendDlgItemMessageW(hwnd_, IDC_COMBO1, CB_SETCURSEL, 0, 0);
    });
    ignoringFailure([this] { Command1_Click(); });
    ignoringFailure([this] { recording.frameCounter = 0; });
    // Timer2 is disabled here and never enabled again: it has no timer of its own.
    ignoringFailure([this] { setText(IDC_TXTPATH, defaultOutputFolder()); });
    ignoringFailure([this] {
        ::EnableWindow(control(IDC_PAUSE), FALSE);
        ::EnableWindow(control(IDC_BTSTOP), FALSE);
        ::EnableWindow(control(IDC_RESET), FALSE);
    });
}

void Form1::Form_Unload() {
    // Runs once, whether the window was closed or destroyed.
    if (unloaded_) {
        return;
    }
    unloaded_ = true;
    win32::releaseAviLibrary();
}

void Form1::Command1_Click() {
    ::SendDlgItemMessageW(hwnd_, IDC_LIST1, LB_RESETCONTENT, 0, 0);
    for (const ViewerEntry& entry : findViewerWindows()) {
        const std::wstring title = win32::widen(entry.text);
        const LRESULT at =
            ::SendDlgItemMessageW(hwnd_, IDC_LIST1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(title.c_str()));
        if (at >= 0) {
            ::SendDlgItemMessageW(hwnd_, IDC_LIST1, LB_SETITEMDATA, static_cast<WPARAM>(at),
                                  static_cast<LPARAM>(entry.window));
        }
    }
}

void Form1::List1_DblClick() {
    Start_Click();
}

void Form1::Start_Click() {
    recording.start();
}

void Form1::btstop_Click() {
    recording.stop();
}

void Form1::pause_Click() {
    recording.stop();
}

void Form1::reset_Click() {
    recording.reset();
}

void Form1::Timer1_Timer() {
    recording.tick();
}

void Form1::opendir_Click() {
    skorva::opendir_Click(static_cast<FolderChooserView&>(*this));
}

bool Form1::isChecked(int id) const {
    return ::IsDlgButtonChecked(hwnd_, id) == BST_CHECKED;
}

void Form1::setText(int id, const std::string& text) {
    ::SetDlgItemTextW(hwnd_, id, win32::widen(text).c_str());
}

std::string Form1::text(int id) const {
    const HWND item = control(id);
    std::wstring wide(static_cast<std::size_t>(::GetWindowTextLengthW(item)) + 1, L'\0');
    const int got = ::GetWindowTextW(item, wide.data(), static_cast<int>(wide.size()));
    return win32::narrow(wide.data(), static_cast<std::size_t>(got > 0 ? got : 0));
}

void Form1::applyTimer() {
    // An interval of 0 does not tick, enabled or not.
    if (timerEnabled_ && timerInterval_ > 0) {
        ::SetTimer(hwnd_, kTimer1, static_cast<UINT>(timerInterval_), nullptr);
    } else {
        ::KillTimer(hwnd_, kTimer1);
    }
}

std::optional<ViewerEntry> Form1::selectedEntry() {
    const LRESULT at = ::SendDlgItemMessageW(hwnd_, IDC_LIST1, LB_GETCURSEL, 0, 0);
    if (at == LB_ERR) {
        return std::nullopt;
    }
    const auto index = static_cast<WPARAM>(at);
    const LRESULT length = ::SendDlgItemMessageW(hwnd_, IDC_LIST1, LB_GETTEXTLEN, index, 0);
    std::wstring title(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const LRESULT got =
        ::SendDlgItemMessageW(hwnd_, IDC_LIST1, LB_GETTEXT, index, reinterpret_cast<LPARAM>(title.data()));
    const LRESULT handle = ::SendDlgItemMessageW(hwnd_, IDC_LIST1, LB_GETITEMDATA, index, 0);
    return ViewerEntry{win32::narrow(title.data(), static_cast<std::size_t>(got > 0 ? got : 0)),
                       static_cast<WindowHandle>(handle)};
}

std::string Form1::outputFolder() {
    return text(IDC_TXTPATH);
}
bool Form1::saveAsJpg() {
    return isChecked(IDC_CBJPG);
}
bool Form1::saveAsBmp() {
    return isChecked(IDC_CBBMP);
}
bool Form1::keepWindowOnTop() {
    return isChecked(IDC_WINDOWTOP);
}

void Form1::showFrame(const Picture& picture) {
    picture1_ = picture;
    image1_ = picture;
    ::InvalidateRect(control(IDC_IMAGE1), nullptr, FALSE);
}

void Form1::paintPreview() {
    ::UpdateWindow(control(IDC_IMAGE1));
}

bool Form1::hasPreview() {
    return true;
}

void Form1::setFrameCountText(const std::string& text) {
    setText(IDC_TEXT1, text);
}

void Form1::setSizeClassCaption(std::string_view caption) {
    setText(IDC_LABEL5, std::string(caption));
}

void Form1::setTimerInterval(std::int32_t milliseconds) {
    timerInterval_ = milliseconds;
    applyTimer();
}

void Form1::setTimerEnabled(bool enabled) {
    timerEnabled_ = enabled;
    applyTimer();
}

void Form1::setStartEnabled(bool enabled) {
    ::EnableWindow(control(IDC_START), enabled ? TRUE : FALSE);
}

void Form1::setStopEnabled(bool enabled) {
    ::EnableWindow(control(IDC_BTSTOP), enabled ? TRUE : FALSE);
    ::EnableWindow(control(IDC_PAUSE), enabled ? TRUE : FALSE);
}

void Form1::setResetEnabled(bool enabled) {
    ::EnableWindow(control(IDC_RESET), enabled ? TRUE : FALSE);
}

LocaleNames Form1::localeNames() {
    return systemLocaleNames();
}

void Form1::setOutputFolder(const std::string& path) {
    setText(IDC_TXTPATH, path);
    ::UpdateWindow(control(IDC_TXTPATH));
}

WindowHandle Form1::ownerHandle() {
    return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(hwnd_));
}

}  // namespace skorva
