#include "dialogs/folder_chooser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/executable_folder.h"
#include "tests/fakes/scripted_dialogs.h"

namespace skorva {
namespace {

using testing::ScriptedFolderBrowser;

// The main window as the chooser sees it: an output-folder box and a handle.
class FakeMainWindow final : public FolderChooserView {
  public:
    void setOutputFolder(const std::string& path) override {
        txtPath = path;
        shown.push_back(path);
    }
    WindowHandle ownerHandle() override { return 0x3a00005; }

    std::string txtPath = "/previous/output";
    std::vector<std::string> shown;
};

TEST(FolderChooser, AcceptGivesThePathAsDeliveredCancelTheExecutablesFolder) {
    ScriptedFolderBrowser browser;
    browser.script = {"/home/ann/webcam/bob07_Dec_2026_05_49_27_AM", "/", std::nullopt,
                      "/media/usb" + std::string(1, '\0') + "junk", std::string(300, 'p')};
    FakeMainWindow form;
    std::vector<std::string> whileOpen;
    browser.whileOpen = [&] { whileOpen.push_back(form.txtPath); };

    opendir_Click(form);
    EXPECT_EQ(form.txtPath, "/home/ann/webcam/bob07_Dec_2026_05_49_27_AM");
    opendir_Click(form);
    EXPECT_EQ(form.txtPath, "/");
    // A cancel does not restore the folder chosen before: it gives the executable's folder.
    opendir_Click(form);
    EXPECT_EQ(form.txtPath, executableFolder());
    EXPECT_FALSE(form.txtPath.empty());
    // The path ends at its first NUL; a long path is taken whole.
    opendir_Click(form);
    EXPECT_EQ(form.txtPath, "/media/usb");
    opendir_Click(form);
    EXPECT_EQ(form.txtPath, std::string(300, 'p'));

    // The box was empty every time the dialog was open.
    EXPECT_EQ(whileOpen, std::vector<std::string>(5, ""));
    ASSERT_EQ(browser.calls.size(), 5U);
    for (const auto& call : browser.calls) {
        EXPECT_EQ(call.owner, 0x3a00005U);
        EXPECT_EQ(call.title, "Browse");
        EXPECT_EQ(call.root, "/");
    }
}

TEST(FolderChooser, SpecialFolderIdsAndFlags) {
    EXPECT_EQ(GetSpecialFolderID(0), 0);
    EXPECT_EQ(GetSpecialFolderID(1), 0);
    EXPECT_EQ(GetSpecialFolderID(-5), 0);
    EXPECT_EQ(GetSpecialFolderID(2), 2);
    EXPECT_EQ(GetSpecialFolderID(11), 11);
    EXPECT_EQ(GetSpecialFolderID(12), 16);
    EXPECT_EQ(GetSpecialFolderID(13), 17);
    EXPECT_EQ(GetSpecialFolderID(20), 24);
    EXPECT_EQ(GetSpecialFolderID(32767), 32771);
    EXPECT_EQ(GetBrowseFlags(), 1U);
}

}  // namespace
}  // namespace skorva
