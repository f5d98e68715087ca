#pragma once
// The main window: every control, the two timers, and the two values a recording keeps between ticks.
// The event procedures carry the names of the controls they belong to.

#include <QWidget>
#include <cstdint>
#include <string>

#include "app/file_list_box.h"
#include "app/image_box.h"
#include "app/recording_folder.h"
#include "app/vb_timer.h"
#include "core/types.h"
#include "dialogs/folder_chooser.h"
#include "movie/avi_writer_view.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace skorva {

struct GrabRect;

class Form1 : public QWidget, private AviWriterView, private FolderChooserView {
    Q_OBJECT
  public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Controls, named as the rest of the program knows them.
    QListWidget* List1;
    ImageBox* Image1;
    QCheckBox* cbjpg;
    QCheckBox* cbbmp;
    QLabel* Label2;
    QLineEdit* txtFPS;
    QLabel* Label1;
    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* Start;
    QPushButton* btstop;
    ImageBox* Picture1;
    VbTimer* Timer1;
    VbTimer* Timer2;
    QPushButton* opendir;
    QLineEdit* txtPath;
    QCheckBox* windowtop;
    QPushButton* pause;
    QPushButton* reset;
    QLabel* Label6;
    QComboBox* Combo1;
    QFrame* Line1;
    QLabel* Label4;
    FileListBox* File1;
    QPushButton* aviwrite;
    QLabel* Label5;

    // The number of the next frame, and the name (not path) of the current recording's folder.
    std::int32_t frameCounter = 0;
    std::string recordingFolder;

    // Event procedures.
    void Form_Load();
    void Form_Unload();
    void Command1_Click();
    std::int32_t EnumWindowsProc(WindowHandle hwnd, std::int32_t lParam);
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

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void createControls();
    void fitFont();
    void setTabOrder();
    void wireEvents();
    // The selected entry of List1: its text and window handle; false when nothing is selected.
    bool selectedEntry(std::string& text, WindowHandle& window) const;
    // The same; with nothing selected, says so and stops the capture timer.
    bool selectedEntryOrHalt(std::string& text, WindowHandle& window);
    // The tick's grab of `grab` and what follows it: the previews, the frame files, the counter.
    void storeFrame(const std::string& entryText, WindowHandle window, const GrabRect& grab);
    // Ends a recording whose frame numbers have run out (seven digits).
    void stopAtLastFrameNumber();

    // What the AVI writer uses of the window.
    std::string outputFolder() override;
    std::string frameRateText() override;
    FrameListControl& frameList() override;
    void showPicture(const Picture& picture) override;
    Picture shownPicture() override;
    // Owner of the writer's and the chooser's dialogs.
    WindowHandle ownerHandle() override;
    // SIGINT or SIGTERM came: a movie being written is finished with the frames so far.
    bool stopRequested() override;
    // What the folder chooser sets.
    void setOutputFolder(const std::string& path) override;

    // The folder of the current (or last) recording, with the output folder it was made in.
    RecordingFolder recording_;
    bool unloaded_ = false;
};

}  // namespace skorva
