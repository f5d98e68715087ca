#include "dialogs/cfile_dlg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tests/fakes/scripted_dialogs.h"
#include "tests/fakes/temp_home.h"

namespace skorva {
namespace {

using namespace std::string_literals;
using testing::FileDialogAnswer;
using testing::ScriptedFileDialogs;
using testing::TempHome;

const std::string kNul(1, '\0');

// A home whose documents folder is named by the user-dirs file.
class FileDlgTest : public ::testing::Test {
  protected:
    FileDlgTest() {
        std::filesystem::create_directory(temp.home() / "Docs");
        temp.writeUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
        documents = (temp.home() / "Docs").string();
    }
    TempHome temp;
    std::string documents;
    ScriptedFileDialogs dialogs;
};

TEST_F(FileDlgTest, InitialProperties) {
    cFileDlg dlg;
    EXPECT_EQ(dlg.OwnerHwnd(), cFileDlg::kNoOwner);
    EXPECT_TRUE(dlg.FileMustExist());
    EXPECT_FALSE(dlg.MultiSelect());
    EXPECT_FALSE(dlg.ReadOnly());
    EXPECT_TRUE(dlg.HideReadOnly());
    EXPECT_EQ(dlg.Filter(), "");
    EXPECT_EQ(dlg.FilterIndex(), 0);
    EXPECT_EQ(dlg.InitDirectory(), documents);
    EXPECT_EQ(dlg.DlgTitle(), "Skorva webcam capture");
    EXPECT_EQ(dlg.DefaultExt(), "");
    EXPECT_EQ(dlg.Flags(), 0U);
    EXPECT_TRUE(dlg.OverwritePrompt());

    dlg.setInitDirectorySpecial(40);
    EXPECT_EQ(dlg.InitDirectory(), temp.home().string());
    dlg.setInitDirectorySpecial(17);  // the computer: no folder
    EXPECT_EQ(dlg.InitDirectory(), "");
}

TEST_F(FileDlgTest, MovieSaveDialogAcceptedAndRunAgain) {
    dialogs.script = {FileDialogAnswer{"/videos/party.avi", "party.avi", 0x6U, 1}, std::nullopt};
    cFileDlg dlg;
    dlg.setDefaultExt("avi");
    dlg.setDlgTitle("Choose a filename to save AVI to...");
    dlg.setFilter("AVI Files|*.avi");
    dlg.setOwnerHwnd(0x4200007);
    std::string filename = "MyAVI.avi";
    std::string title;
    ASSERT_TRUE(dlg.VBGetSaveFileName(filename, title));

    ASSERT_EQ(dialogs.calls.size(), 1U);
    const auto& call = dialogs.calls[0];
    EXPECT_EQ(call.kind, FileDialogKind::Save);
    EXPECT_EQ(call.record.owner, 0x4200007U);
    EXPECT_EQ(call.record.flags, 0x6U);
    EXPECT_EQ(call.record.filterIndex, 0);
    EXPECT_EQ(call.record.filter, "AVI Files\0*.avi\0\0"s);
    EXPECT_EQ(call.record.file, "MyAVI.avi" + std::string(1015, '\0'));
    EXPECT_EQ(call.record.fileTitle, std::string(512, '\0'));
    EXPECT_EQ(call.record.initialDir, documents);
    EXPECT_EQ(call.record.title, "Choose a filename to save AVI to...");
    EXPECT_EQ(call.record.defExt, "avi");

    EXPECT_EQ(filename, "/videos/party.avi");
    EXPECT_EQ(title, "party.avi");
    EXPECT_EQ(dlg.Filter(), "AVI Files\0*.avi"s);
    EXPECT_EQ(dlg.FilterIndex(), 1);
    EXPECT_EQ(dlg.Flags(), 0x6U);
    EXPECT_EQ(dlg.InitDirectory(), "/videos/party.avi");

    // The next dialog starts at the last choice and offers only the chosen pair; a cancel leaves the
    // one-character NUL text and a save dialog's index 0.
    filename = "MyAVI.avi";
    EXPECT_FALSE(dlg.VBGetSaveFileName(filename, title));
    ASSERT_EQ(dialogs.calls.size(), 2U);
    EXPECT_EQ(dialogs.calls[1].record.filter, "AVI Files\0*.avi\0\0"s);
    EXPECT_EQ(dialogs.calls[1].record.filterIndex, 1);
    EXPECT_EQ(dialogs.calls[1].record.initialDir, "/videos/party.avi");
    EXPECT_EQ(dialogs.calls[1].record.flags, 0x6U);
    EXPECT_EQ(filename, kNul);
    EXPECT_EQ(title, kNul);
    EXPECT_EQ(dlg.Filter(), kNul);
    EXPECT_EQ(dlg.FilterIndex(), 0);
    EXPECT_EQ(dlg.Flags(), 0U);
    EXPECT_EQ(dlg.InitDirectory(), "/videos/party.avi");
}

TEST_F(FileDlgTest, SaveFlagsFollowPropertiesAndDropHooks) {
    cFileDlg dlg;
    std::string filename;
    std::string title;
    dlg.setOverwritePrompt(false);
    dlg.setFlags(0x20 | 0x40 | 0x800);
    dlg.VBGetSaveFileName(filename, title);
    // Open-dialog properties do not reach a save dialog.
    dlg.setMultiSelect(true);
    dlg.setHideReadOnly(false);
    dlg.setFlags(0x2);
    dlg.setOverwritePrompt(false);
    dlg.VBGetSaveFileName(filename, title);
    ASSERT_EQ(dialogs.calls.size(), 2U);
    EXPECT_EQ(dialogs.calls[0].record.flags, 0x804U);
    EXPECT_EQ(dialogs.calls[1].record.flags, 0x6U);
    // No owner set: the record carries none.
    EXPECT_EQ(dialogs.calls[0].record.owner, 0U);
}

TEST_F(FileDlgTest, OpenDialogsFlagsReadOnlyAndCancel) {
    dialogs.script = {FileDialogAnswer{"/pics/a.jpg", "a.jpg", 0x1005U, 2},
                      FileDialogAnswer{"/pics/b.jpg", "b.jpg", std::nullopt, 1}, std::nullopt};
    cFileDlg dlg;
    dlg.setFilter("JPEG|*.jpg|Bitmaps|*.bmp");
    std::string filename;
    std::string title;
    ASSERT_TRUE(dlg.VBGetOpenFileName(filename, title));
    EXPECT_EQ(dialogs.calls[0].kind, FileDialogKind::Open);
    EXPECT_EQ(dialogs.calls[0].record.flags, 0x1004U);
    EXPECT_EQ(filename, "/pics/a.jpg");
    EXPECT_EQ(dlg.Filter(), "Bitmaps\0*.bmp"s);
    EXPECT_EQ(dlg.FilterIndex(), 2);
    // The read-only box came back ticked; the next open dialog passes it in again.
    EXPECT_TRUE(dlg.ReadOnly());

    dlg.setMultiSelect(true);
    dlg.setFileMustExist(false);
    ASSERT_TRUE(dlg.VBGetOpenFileNamePreview(filename, title));
    EXPECT_EQ(dialogs.calls[1].kind, FileDialogKind::OpenPreview);
    EXPECT_EQ(dialogs.calls[1].record.flags, 0x1205U);
    EXPECT_EQ(dialogs.calls[1].record.filter, "Bitmaps\0*.bmp\0\0"s);
    // Once set, ReadOnly is never cleared by the class.
    EXPECT_TRUE(dlg.ReadOnly());

    EXPECT_FALSE(dlg.VBGetOpenFileName(filename, title));
    EXPECT_EQ(dialogs.calls[2].record.flags, 0x1205U);
    EXPECT_EQ(filename, kNul);
    EXPECT_EQ(title, kNul);
    EXPECT_EQ(dlg.FilterIndex(), -1);
    EXPECT_EQ(dlg.Filter(), kNul);
    EXPECT_EQ(dlg.Flags(), 0U);
    EXPECT_TRUE(dlg.ReadOnly());
    EXPECT_EQ(dlg.InitDirectory(), "/pics/b.jpg");
}

TEST_F(FileDlgTest, MultipleSelectionIsNotSplit) {
    dialogs.script = {FileDialogAnswer{"/pics\0a.jpg\0b.jpg\0\0"s, "", std::nullopt, 1}};
    cFileDlg dlg;
    dlg.setMultiSelect(true);
    dlg.setFilter("JPEG|*.jpg");
    std::string filename;
    std::string title = "old";
    ASSERT_TRUE(dlg.VBGetOpenFileName(filename, title));
    EXPECT_EQ(dialogs.calls[0].record.flags, 0x1204U);
    EXPECT_EQ(dialogs.calls[0].record.fileTitle, "old" + std::string(509, '\0'));
    EXPECT_EQ(filename, "/pics");
    EXPECT_EQ(title, "");
}

TEST_F(FileDlgTest, FilterConversion) {
    dialogs.script = {FileDialogAnswer{"/x/y.txt", "y.txt", std::nullopt, 2}};
    cFileDlg dlg;
    std::string filename;
    std::string title;
    // A colon splits a description: every later field moves one place.
    dlg.setFilter("Movies: AVI|*.avi|All|*.*");
    dlg.VBGetSaveFileName(filename, title);
    EXPECT_EQ(dialogs.calls[0].record.filter, "Movies\0 AVI\0*.avi\0All\0*.*\0\0"s);
    EXPECT_EQ(dlg.Filter(), "*.avi\0All"s);

    // An empty filter is just the two closing NULs.
    dlg.setFilter("");
    dlg.VBGetSaveFileName(filename, title);
    EXPECT_EQ(dialogs.calls[1].record.filter, "\0\0"s);
}

TEST(FileDlg, GetFilterPair) {
    const std::string filter = "AVI Files\0*.avi\0Bitmaps\0*.bmp;*.dib\0\0"s;
    EXPECT_EQ(cFileDlg::GetFilterPair(filter, 1), "AVI Files\0*.avi"s);
    EXPECT_EQ(cFileDlg::GetFilterPair(filter, 2), "Bitmaps\0*.bmp;*.dib"s);
    // A pair stored after a dialog has no closing NUL.
    EXPECT_EQ(cFileDlg::GetFilterPair("AVI Files\0*.avi"s, 1), "AVI Files\0*.avi"s);
    EXPECT_EQ(cFileDlg::GetFilterPair("AVI Files\0*.avi"s, 2), "");
    EXPECT_EQ(cFileDlg::GetFilterPair("", 1), "");
    EXPECT_EQ(cFileDlg::GetFilterPair(kNul, 1), "");
    EXPECT_EQ(cFileDlg::GetFilterPair("no separators", 1), "");
    EXPECT_EQ(cFileDlg::GetFilterPair(filter, 0), "");
    EXPECT_EQ(cFileDlg::GetFilterPair(filter, -3), "");
}

TEST_F(FileDlgTest, OverlongNamesAndFiltersFailBeforeTheDialog) {
    cFileDlg dlg;
    std::string longName(1025, 'a');
    std::string title;
    EXPECT_THROW(dlg.VBGetSaveFileName(longName, title), std::invalid_argument);
    std::string name;
    std::string longTitle(513, 't');
    EXPECT_THROW(dlg.VBGetOpenFileName(name, longTitle), std::invalid_argument);
    dlg.setFilter(std::string(32767, 'f'));
    EXPECT_THROW(dlg.VBGetOpenFileNamePreview(name, title), std::overflow_error);
    EXPECT_TRUE(dialogs.calls.empty());
    // Nothing changed by the failed calls.
    EXPECT_EQ(longName, std::string(1025, 'a'));
    EXPECT_EQ(dlg.FilterIndex(), 0);

    // The largest that fit: a full name buffer, a full title buffer and a filter of 32,766.
    std::string fullName(1024, 'n');
    std::string fullTitle(512, 't');
    dlg.setFilter(std::string(32766, 'f'));
    EXPECT_FALSE(dlg.VBGetSaveFileName(fullName, fullTitle));
    ASSERT_EQ(dialogs.calls.size(), 1U);
    EXPECT_EQ(dialogs.calls[0].record.file, std::string(1024, 'n'));
    EXPECT_EQ(dialogs.calls[0].record.filter.size(), 32768U);
}

TEST(FileDlg, ExistFileAndFileTitle) {
    TempHome temp;
    const auto file = temp.home() / "frame0000001.jpg";
    std::ofstream(file) << "jpeg";
    EXPECT_TRUE(cFileDlg::ExistFile(file.string()));
    std::ofstream(temp.home() / "empty.bmp");
    EXPECT_TRUE(cFileDlg::ExistFile((temp.home() / "empty.bmp").string()));
    EXPECT_FALSE(cFileDlg::ExistFile((temp.home() / "missing.jpg").string()));
    EXPECT_FALSE(cFileDlg::ExistFile(""));
    EXPECT_FALSE(cFileDlg::ExistFile(temp.home().string()));
    EXPECT_FALSE(cFileDlg::ExistFile(file.string() + "\0x"s));

    EXPECT_EQ(cFileDlg::VBGetFileTitle("/videos/party.avi"), "party.avi");
    EXPECT_EQ(cFileDlg::VBGetFileTitle("party.avi"), "party.avi");
    EXPECT_EQ(cFileDlg::VBGetFileTitle(""), "");
    EXPECT_EQ(cFileDlg::VBGetFileTitle("/videos/"), "");
    EXPECT_EQ(cFileDlg::VBGetFileTitle("/"), "");
    EXPECT_EQ(cFileDlg::VBGetFileTitle("/videos/.."), "");
}

}  // namespace
}  // namespace skorva
