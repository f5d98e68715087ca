#pragma once
// The main window: it lays out the controls and hands each event to the part that does the work: the
// recording, the folder chooser, the AVI writer. The event procedures carry the names of the controls
// they belong to.

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/file_list_box.h"
#include "app/image_box.h"
#include "app/movie_write_job.h"
#include "app/vb_timer.h"
#include "app/write_progress.h"
#include "core/message_sink.h"
#include "core/types.h"
#include "dialogs/folder_chooser.h"
#include "recording/recording.h"
#include "recording/recording_view.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace skorva {

class Form1 : public QWidget, private RecordingView, private FolderChooserView {
    Q_OBJECT
  public:
    // The recording's messages are shown as message boxes.
    explicit Form1(QWidget* parent = nullptr);
    // The recording's messages go to `messages`, which must outlive the window.
    explicit Form1(MessageSink& messages, QWidget* parent = nullptr);
    ~Form1() override;

    // Controls, named as the rest of the program knows them.
    // The viewer windows found: the window's title, with its handle as item data.
    QListWidget* List1;
    // The preview: the last frame grabbed, or the frame being encoded into a movie.
    ImageBox* Image1;
    // "Save as JPG": store each frame as a JPEG file.
    QCheckBox* cbjpg;
    // "Save as BMP": store each frame as a bitmap file.
    QCheckBox* cbbmp;
    // Caption of txtFPS.
    QLabel* Label2;
    // Frames per second of the movies "Write Avi" makes; the recording does not read it.
    QLineEdit* txtFPS;
    // Caption of Text1.
    QLabel* Label1;
    // The number of the frame last stored; takes no input.
    QLineEdit* Text1;
    // "Refresh List": lists the viewer windows open now.
    QPushButton* Command1;
    // Starts a recording of the selected viewer window.
    QPushButton* Start;
    // Stops the recording.
    QPushButton* btstop;
    // Takes every grabbed frame beside Image1; never shown.
    ImageBox* Picture1;
    // The capture timer: a tick a second while a recording runs.
    VbTimer* Timer1;
    // Disabled at load and never enabled again.
    VbTimer* Timer2;
    // Opens the folder chooser for txtPath.
    QPushButton* opendir;
    // The output folder: recordings go below it, movies are made of its frames; only the chooser sets it.
    QLineEdit* txtPath;
    // "Keep webcam window on top": every tick places the viewer above other windows.
    QCheckBox* windowtop;
    // Stops the recording, as Stop does.
    QPushButton* pause;
    // Numbers the frames from 0000000 again.
    QPushButton* reset;
    // Caption of Combo1.
    QLabel* Label6;
    // "Messenger Language": disabled; nothing reads it.
    QComboBox* Combo1;
    // A rule between the recording's controls and the movie's.
    QFrame* Line1;
    // Caption of File1.
    QLabel* Label4;
    // The frames of txtPath: shows the one being encoded into a movie; takes no input.
    FileListBox* File1;
    // "Write Avi": joins the JPEG frames of txtPath into a movie.
    QPushButton* aviwrite;
    // The size class of the viewer, "Small" or "Large"; lies below the visible area.
    QLabel* Label5;

    // Start, Stop, Pause, Reset and the capture tick; the frame counter and the recording's folder.
    Recording recording;
    // Runs on the writing thread before each frame of a "Write Avi": a test holds the write there.
    std::function<void(std::int32_t index)> beforeWritingFrame;

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
    void aviwrite_Click();

    // The window's handle as the owner of dialogs.
    WindowHandle hWnd();
    // True while "Write Avi" runs.
    bool writing() const { return writeJob_ != nullptr; }

  signals:
    // A "Write Avi" is over: its movie is finished and its messages were shown.
    void writeEnded();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // Where the writer's messages go, as the recording's do.
    MessageSink& messages_;
    void createControls();
    void fitFont();
    void setTabOrder();
    void wireEvents();

    // What the recording uses of the window.
    std::optional<ViewerEntry> selectedEntry() override;
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

    // txtPath: the recording's and the folder chooser's.
    std::string outputFolder() override;
    // Owner of the chooser's dialogs.
    WindowHandle ownerHandle() override;
    // What the write shows: the frame list, the preview, the progress.
    void showWriteProgress();
    void endWrite();
    // What the folder chooser sets.
    void setOutputFolder(const std::string& path) override;

    bool unloaded_ = false;
    // Set while "Write Avi" runs: the window takes no input then, and no other write may start.
    std::unique_ptr<WriteProgress> writeProgress_;
    std::unique_ptr<MovieWriteJob> writeJob_;
};

}  // namespace skorva
