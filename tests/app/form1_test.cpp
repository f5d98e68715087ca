// The main window: its controls as it opens, discovery, and the recording states.

#include <gmock/gmock.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <fstream>

#include "app/locale_names.h"
#include "platform/executable_folder.h"
#include "recording/recording_folder.h"
#include "recording/recording_names.h"
#include "tests/app/form1_fixture.h"

namespace skorva::testing {
namespace {

using ::testing::ElementsAre;

TEST_F(Form1Test, OpensWithEveryControlInItsInitialState) {
    desktop.add("Webcam for bob");
    desktop.add("Inbox - Mail");
    desktop.add("Webcam for alice");
    load();
    Form1& f = *form;

    EXPECT_EQ(f.windowTitle(), "Skorva webcam capture");
    EXPECT_EQ(f.size(), QSize(328, 217));
    EXPECT_FALSE(f.windowIcon().isNull());

    ASSERT_EQ(f.List1->count(), 2);
    EXPECT_EQ(f.List1->item(0)->text(), "Webcam for bob");
    EXPECT_EQ(f.List1->item(0)->data(Qt::UserRole).value<WindowHandle>(), desktop.order[0]);
    EXPECT_EQ(f.List1->item(1)->data(Qt::UserRole).value<WindowHandle>(), desktop.order[2]);
    EXPECT_EQ(f.List1->currentRow(), -1);

    EXPECT_EQ(f.List1->geometry(), QRect(5, 5, 105, 80));
    EXPECT_EQ(f.Image1->geometry(), QRect(120, 5, 101, 82));
    EXPECT_EQ(f.aviwrite->geometry(), QRect(265, 175, 62, 17));
    EXPECT_EQ(f.File1->geometry(), QRect(99, 179, 161, 15));
    EXPECT_GE(f.Label5->geometry().top(), f.height());  // below the visible client area

    EXPECT_TRUE(f.cbjpg->isChecked());
    EXPECT_EQ(f.cbjpg->text(), "Save as JPG");
    EXPECT_FALSE(f.cbbmp->isChecked());
    EXPECT_TRUE(f.windowtop->isChecked());
    EXPECT_EQ(f.windowtop->text(), "Keep webcam window on top");
    EXPECT_EQ(f.txtFPS->text(), "3");
    EXPECT_TRUE(f.txtFPS->isEnabled());
    EXPECT_EQ(f.Text1->text(), "");
    EXPECT_FALSE(f.Text1->isEnabled());
    EXPECT_FALSE(f.txtPath->isEnabled());
    EXPECT_EQ(f.Label1->text(), "Frame Count:");
    EXPECT_EQ(f.Label2->text(), "Frame Rate:");
    EXPECT_EQ(f.Label4->text(), "Currently encoding:");
    EXPECT_EQ(f.Label6->text(), "Messenger Language:");
    EXPECT_EQ(f.Label5->text(), "");
    EXPECT_EQ(f.Command1->text(), "Refresh List");
    EXPECT_EQ(f.aviwrite->text(), "Write Avi");
    EXPECT_TRUE(f.opendir->text().isEmpty());
    EXPECT_FALSE(f.opendir->icon().isNull());

    EXPECT_FALSE(f.Combo1->isEnabled());
    EXPECT_EQ(f.Combo1->count(), 2);
    EXPECT_EQ(f.Combo1->currentText(), "English");
    EXPECT_FALSE(f.File1->isEnabled());
    EXPECT_EQ(f.File1->Pattern(), "*.jpg");
    EXPECT_TRUE(f.Picture1->isHidden());

    EXPECT_EQ(buttons(), "1000");
    EXPECT_EQ(f.Timer1->interval(), 0);
    EXPECT_FALSE(f.Timer1->ticking());
    EXPECT_FALSE(f.Timer2->enabled());
    EXPECT_EQ(f.Timer2->interval(), 2000);
    EXPECT_EQ(f.recording.frameCounter, 0);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(Form1Test, OutputFolderStartsAsTheExecutablesFolder) {
    Form1 fresh;
    EXPECT_EQ(fresh.txtPath->text().toStdString(), executableFolder());
}

TEST_F(Form1Test, TabOrderFollowsTheDesign) {
    load();
    Form1& f = *form;
    const std::vector<QWidget*> expected = {f.List1, f.Command1, f.Start, f.pause,   f.windowtop, f.btstop,
                                            f.reset, f.cbjpg,    f.cbbmp, f.opendir, f.aviwrite,  f.txtFPS};
    // Disabled and hidden controls are skipped by the keyboard; enable them to see the chain.
    for (QWidget* w :
         {static_cast<QWidget*>(f.btstop), static_cast<QWidget*>(f.pause), static_cast<QWidget*>(f.reset)}) {
        w->setEnabled(true);
    }
    for (std::size_t i = 1; i < expected.size(); ++i) {
        QWidget* next = expected[i - 1]->nextInFocusChain();
        while (next != expected[i] && next->focusPolicy() == Qt::NoFocus) {
            next = next->nextInFocusChain();
        }
        while (next != expected[i] && (!next->isEnabled() || next->isHidden())) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, expected[i]) << "after " << expected[i - 1]->metaObject()->className() << " #" << i;
    }
}

TEST_F(Form1Test, RefreshListsViewerWindowsOnceAndKeepsClosedOnesUntilTheNext) {
    const WindowHandle bob = desktop.add("Webcam for bob");
    desktop.add("webcam for lowercase");
    desktop.add("");
    desktop.add("Yahoo! Webcam for carol - viewer");
    desktop.add("Webcam fo");
    load();
    Form1& f = *form;
    f.Command1_Click();
    f.Command1_Click();
    ASSERT_EQ(f.List1->count(), 2);
    EXPECT_EQ(f.List1->item(1)->text(), "Yahoo! Webcam for carol - viewer");

    desktop.close(bob);
    EXPECT_EQ(f.List1->count(), 2);  // stale until refreshed
    EXPECT_EQ(f.List1->item(0)->data(Qt::UserRole).value<WindowHandle>(), bob);
    f.Command1_Click();
    ASSERT_EQ(f.List1->count(), 1);
    EXPECT_EQ(f.List1->item(0)->text(), "Yahoo! Webcam for carol - viewer");
}

TEST_F(Form1Test, StartWithNothingSelectedOnlyAsks) {
    desktop.add("Webcam for bob");
    load();
    form->Start_Click();
    EXPECT_THAT(messages.texts(), ElementsAre("choose a webcam from the list first"));
    EXPECT_EQ(buttons(), "1000");
    EXPECT_FALSE(form->Timer1->ticking());
    EXPECT_TRUE(foldersBelowOutput().empty());
}

TEST_F(Form1Test, StartStopStartAgainKeepsTheCounter) {
    desktop.add("Webcam for bob");
    load();
    select(0);
    form->Start_Click();
    EXPECT_EQ(buttons(), "0111");
    EXPECT_TRUE(form->Timer1->ticking());
    EXPECT_EQ(form->Timer1->interval(), 1000);
    ASSERT_EQ(form->recording.recordingFolder.rfind("bob", 0), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(output / form->recording.recordingFolder));
    EXPECT_EQ(foldersBelowOutput().size(), 1u);

    form->recording.frameCounter = 5;
    form->btstop_Click();
    EXPECT_EQ(buttons(), "1001");  // Stopped: Reset stays enabled
    EXPECT_FALSE(form->Timer1->ticking());

    std::ofstream(output / form->recording.recordingFolder / "keep.txt") << "x";
    form->Start_Click();
    EXPECT_EQ(buttons(), "0111");
    EXPECT_EQ(form->recording.frameCounter, 5);
    // A folder that exists already (same second) is used as it is.
    EXPECT_TRUE(std::filesystem::exists(output / form->recording.recordingFolder));
    form->pause_Click();
    EXPECT_EQ(buttons(), "1001");
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(Form1Test, ResetChangesOnlyTheCounter) {
    desktop.add("Webcam for bob");
    load();
    select(0);
    form->Start_Click();
    form->recording.frameCounter = 42;
    const std::string folder = form->recording.recordingFolder;
    form->reset_Click();
    EXPECT_EQ(form->recording.frameCounter, 0);
    EXPECT_EQ(buttons(), "0111");
    EXPECT_TRUE(form->Timer1->ticking());
    EXPECT_EQ(form->recording.recordingFolder, folder);
}

TEST_F(Form1Test, DoubleClickDuringARecordingStartsANewOneForThatEntry) {
    desktop.add("Webcam for bob");
    desktop.add("Webcam for alice");
    load();
    select(0);
    form->Start_Click();
    form->recording.frameCounter = 7;
    select(1);
    form->List1_DblClick();
    EXPECT_EQ(form->recording.recordingFolder.rfind("alice", 0), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(output / form->recording.recordingFolder));
    EXPECT_EQ(form->recording.frameCounter, 7);
    EXPECT_EQ(buttons(), "0111");
    EXPECT_TRUE(form->Timer1->ticking());
}

TEST_F(Form1Test, LostSelectionHaltsAndADoubleClickResumes) {
    desktop.add("Webcam for bob");
    load();
    select(0);
    form->Start_Click();
    form->Command1_Click();  // drops the selection
    form->Timer1_Timer();
    EXPECT_THAT(messages.texts(), ElementsAre("choose a webcam from the list first"));
    EXPECT_FALSE(form->Timer1->ticking());
    EXPECT_EQ(buttons(), "0111");  // Halted: Start stays disabled

    select(0);
    form->List1_DblClick();
    EXPECT_TRUE(form->Timer1->ticking());
    EXPECT_EQ(buttons(), "0111");
    form->btstop_Click();
    EXPECT_EQ(buttons(), "1001");
}

TEST_F(Form1Test, AFolderThatCannotBeMadeStopsTheStartWithTheReason) {
    desktop.add("Webcam for bob");
    load();
    select(0);
    const std::string missing = (output / "missing").string();
    form->txtPath->setText(QString::fromStdString(missing));
    form->Start_Click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_NE(messages.messages[0].text.find(missing + "/bob"), std::string::npos);
    EXPECT_NE(messages.messages[0].text.find("No such file or directory"), std::string::npos);
    EXPECT_EQ(buttons(), "1000");
    EXPECT_FALSE(form->Timer1->ticking());
    EXPECT_EQ(form->recording.recordingFolder, "");

    // A file where the folder should be: the name holds the time, so block this second and the next.
    form->txtPath->setText(QString::fromStdString(output.string()));
    const std::time_t now = std::time(nullptr);
    for (std::time_t t : {now, now + 1}) {
        std::tm local{};
        localtime_r(&t, &local);
        std::ofstream(output / recordingFolderName("Webcam for bob", local, systemLocaleNames()))
            << "in the way";
    }
    messages.messages.clear();
    form->Start_Click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_NE(messages.messages[0].text.find("a file of that name is in the way"), std::string::npos);
    EXPECT_EQ(buttons(), "1000");
    EXPECT_FALSE(form->Timer1->ticking());
}

TEST_F(Form1Test, AFolderThatAnotherRunningRecordingHoldsIsNotShared) {
    desktop.add("Webcam for bob");
    load();
    select(0);
    // Another instance records "bob" into the folder of this second and of the next.
    std::vector<std::string> held;
    const std::time_t now = std::time(nullptr);
    for (std::time_t t : {now, now + 1}) {
        std::tm local{};
        localtime_r(&t, &local);
        held.push_back(recordingFolderName("Webcam for bob", local, systemLocaleNames()));
    }
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        RecordingFolder first;
        RecordingFolder second;
        std::string reason;
        const bool claimed = first.claim(output.string(), held[0], reason) == held[0] &&
                             second.claim(output.string(), held[1], reason) == held[1];
        const char answer = claimed ? 'y' : 'n';
        (void)!::write(ready[1], &answer, 1);
        char ignored;
        (void)!::read(release[0], &ignored, 1);  // until the test closes its end
        _exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(answer, 'y');

    form->Start_Click();
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(buttons(), "0111");
    // The next free name beside the held one.
    EXPECT_THAT(held, ::testing::Contains(form->recording.recordingFolder.substr(
                          0, form->recording.recordingFolder.size() - 2)));
    EXPECT_TRUE(form->recording.recordingFolder.ends_with("_2")) << form->recording.recordingFolder;
    EXPECT_TRUE(std::filesystem::is_directory(output / form->recording.recordingFolder));

    // Once the other recording has ended (its process gone), the name is free again.
    ::close(release[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    RecordingFolder after;
    std::string reason;
    EXPECT_EQ(after.claim(output.string(), held[0], reason), held[0]) << reason;
}

}  // namespace
}  // namespace skorva::testing
