#pragma once
// The main window on Windows: a dialog from the program's resources, run by the caller's IsDialogMessageW
// loop. It drives the same recording and folder chooser as the Linux window; each control's event goes to
// the procedure named after it.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/message_sink.h"
#include "core/picture.h"
#include "dialogs/folder_chooser.h"
#include "recording/recording.h"
#include "recording/recording_view.h"

namespace skorva {

class Form1 final : private RecordingView, private FolderChooserView {
  public:
    // The recording's messages go to `messages`, which must outlive the window.
    explicit Form1(MessageSink& messages);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates and shows the window; false when Windows refuses it.
    bool create(HINSTANCE instance);
    HWND hWnd() const { return hwnd_; }

    // Start, Stop, Pause, Reset and the capture tick; the frame counter and the recording's folder.
    Recording recording;

    // Event procedures.
    void Form_Load();
    void Form_Unload();
    void Command1_Click();
    void List1_DblClick();
    void Start_Click();
    void btstop_Click();
    void pause_Click();
    void reset_Click();
    void Timer1_Timer();
    void opendir_Click();

  private:
    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void command(int control, int notification);
    HWND control(int id) const { return ::GetDlgItem(hwnd_, id); }
    bool isChecked(int id) const;
    void setText(int id, const std::string& text);
    std::string text(int id) const;
    // Puts the capture timer in step with its interval and its enabled flag.
    void applyTimer();

    // What the recording uses of the window.
    std::optional<ViewerEntry> selectedEntry() override;
    std::string outputFolder() override;
    bool saveAsJpg() override;
    bool saveAsBmp() override;
    bool keepWindowOnTop() override;
    void showFrame(const Picture& picture) override;
    void paintPreview() override;
    bool hasPreview() override;
    void setFrameCountText(const std::string& text) override;
    void setSizeClassCaption(std::string_view caption) override;
    void setTimerInterval(std::int32_t milliseconds) override;
    void setTimerEnabled(bool enabled) override;
    void setStartEnabled(bool enabled) override;
    void setStopEnabled(bool enabled) override;
    void setResetEnabled(bool enabled) override;
    LocaleNames localeNames() override;

    // What the folder chooser uses.
    void setOutputFolder(const std::string& path) override;
    WindowHandle ownerHandle() override;

    HWND hwnd_ = nullptr;
    HICON diskette_ = nullptr;
    // Image1's picture, and Picture1's, which nothing shows.
    Picture image1_;
    Picture picture1_;
    std::int32_t timerInterval_ = 0;
    bool timerEnabled_ = true;
    bool unloaded_ = false;
};

}  // namespace skorva
