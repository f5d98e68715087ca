#include "dialogs/special_folders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fakes/temp_home.h"

namespace skorva {
namespace {

using testing::TempHome;
namespace fs = std::filesystem;

TEST(SpecialFolders, UserDirsFileNamesTheFoldersWithHomeExpanded) {
    TempHome temp;
    const std::string home = temp.home().string();
    temp.writeUserDirs(
        "# written by xdg-user-dirs-update\n"
        "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
        "  XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
        "XDG_MUSIC_DIR=\"/srv/music/\"\n"
        "XDG_VIDEOS_DIR=\"$HOME/My \\\"Clips\\\"\"\n"
        "XDG_PICTURES_DIR=\"$HOME\"\n"
        "XDG_TEMPLATES_DIR=\"relative/not/allowed\"\n"
        "#XDG_DOCUMENTS_DIR=\"$HOME/commented\"\n");

    EXPECT_EQ(specialFolderPath(csidl::kDesktop), home + "/Schreibtisch");
    EXPECT_EQ(specialFolderPath(csidl::kDesktopDirectory), home + "/Schreibtisch");
    EXPECT_EQ(specialFolderPath(csidl::kPersonal), home + "/Dokumente");
    EXPECT_EQ(specialFolderPath(csidl::kMyMusic), "/srv/music");
    EXPECT_EQ(specialFolderPath(csidl::kMyVideo), home + "/My \"Clips\"");
    // "$HOME" alone means the folder is switched off: the home folder itself.
    EXPECT_EQ(specialFolderPath(csidl::kMyPictures), home);
    // A relative entry is not valid; no Templates folder exists, so the home folder stands in.
    EXPECT_EQ(specialFolderPath(csidl::kTemplates), home);
    EXPECT_EQ(specialFolderPath(csidl::kProfile), home);
    EXPECT_EQ(specialFolderPath(csidl::kAppData), home + "/.config");
    EXPECT_EQ(specialFolderPath(csidl::kLocalAppData), home + "/.local/share");
}

TEST(SpecialFolders, LaterAssignmentWinsAndPrefixOfAnotherKeyDoesNot) {
    TempHome temp;
    const std::string home = temp.home().string();
    temp.writeUserDirs(
        "XDG_DOCUMENTS_DIR_OLD=\"$HOME/old\"\n"
        "XDG_DOCUMENTS_DIR=\"$HOME/first\"\n"
        "XDG_DOCUMENTS_DIR=\"$HOME/second\"\n"
        "XDG_DESKTOP_DIR=\"$HOMEX/elsewhere\"\n"
        "XDG_MUSIC_DIR=\"$HOME/unclosed\n");
    EXPECT_EQ(xdgUserDir("XDG_DOCUMENTS_DIR", XdgEnvironment::fromProcess()), home + "/second");
    EXPECT_EQ(xdgUserDir("XDG_DESKTOP_DIR", XdgEnvironment::fromProcess()), "");
    EXPECT_EQ(xdgUserDir("XDG_MUSIC_DIR", XdgEnvironment::fromProcess()), "");
}

TEST(SpecialFolders, WithoutTheFileCustomaryFoldersOnlyIfTheyExistElseHome) {
    TempHome temp;
    const fs::path home = temp.home();
    EXPECT_EQ(specialFolderPath(csidl::kPersonal), home.string());
    EXPECT_EQ(specialFolderPath(csidl::kDesktop), home.string());

    fs::create_directory(home / "Documents");
    fs::create_directory(home / "Desktop");
    EXPECT_EQ(specialFolderPath(csidl::kPersonal), (home / "Documents").string());
    EXPECT_EQ(specialFolderPath(csidl::kDesktop), (home / "Desktop").string());

    // Without XDG_CONFIG_HOME the file is looked for in ~/.config.
    temp.setEnv("XDG_CONFIG_HOME", std::nullopt);
    temp.writeUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
    EXPECT_EQ(specialFolderPath(csidl::kPersonal), (home / "Papers").string());
    temp.setEnv("XDG_DATA_HOME", "/var/data/");
    EXPECT_EQ(specialFolderPath(csidl::kLocalAppData), "/var/data");
}

TEST(SpecialFolders, FoldersThatCannotBeNamedAreEmpty) {
    TempHome temp;
    // The computer, the network, the printers, the system folders, an unknown number.
    for (const std::int32_t id : {3, 4, 10, 17, 18, 36, 37, 9999, -1}) {
        EXPECT_EQ(specialFolderPath(id), "") << id;
    }
    // Without a home nothing below it can be named.
    temp.setEnv("HOME", std::nullopt);
    temp.setEnv("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(specialFolderPath(csidl::kPersonal), "");
    EXPECT_EQ(specialFolderPath(csidl::kProfile), "");
    EXPECT_EQ(specialFolderPath(csidl::kAppData), "");
    temp.setEnv("HOME", "relative/home");
    EXPECT_EQ(specialFolderPath(csidl::kDesktop), "");
}

}  // namespace
}  // namespace skorva
