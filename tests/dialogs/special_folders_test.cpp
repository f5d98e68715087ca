#include "dialogs/special_folders.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

// The default output folder as a user who cannot write to the program's folder sees it: the answers come
// from a child process, which as root takes the identity of "nobody" (root may write anywhere).
TEST(SpecialFolders, DefaultOutputFolderLeavesAProgramFolderTheUserCannotWrite) {
    TempHome temp;
    const fs::path home = temp.home();
    const fs::path program = home / "program";
    fs::create_directory(program);
    const auto config = [&](const std::string& name, const std::string& userDirs) {
        fs::create_directory(home / name);
        std::ofstream(home / name / "user-dirs.dirs") << userDirs;
        return XdgEnvironment{home.string(), (home / name).string(), ""};
    };
    const XdgEnvironment videos = config("videos", "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n");
    // A videos folder that cannot be made: inside the program's folder.
    const XdgEnvironment blocked = config("blocked", "XDG_VIDEOS_DIR=\"" + program.string() + "/v\"\n");
    constexpr uid_t kNobody = 65534;
    if (geteuid() == 0) {
        for (const fs::path& mine : {home, home / "videos", home / "blocked"}) {
            ASSERT_EQ(::chown(mine.c_str(), kNobody, kNobody), 0);
        }
    }
    fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);

    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            _exit(3);
        }
        const std::string answers = defaultOutputFolder(program.string(), videos) + "\n" +
                                    defaultOutputFolder(program.string(), blocked) + "\n" +
                                    defaultOutputFolder(home.string(), videos) + "\n";
        const bool sent =
            ::write(pipeEnds[1], answers.data(), answers.size()) == static_cast<ssize_t>(answers.size());
        _exit(sent ? 0 : 4);
    }
    ::close(pipeEnds[1]);
    std::string answers;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        answers.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    const std::string expected =
        (home / "Filme").string() + "\n" + home.string() + "\n" + home.string() + "\n";
    // The videos folder, made for it; the home folder where none can be made; a writable program folder
    // (a build folder) stays the output folder.
    EXPECT_EQ(answers, expected);
    EXPECT_TRUE(fs::is_directory(home / "Filme"));
    EXPECT_FALSE(fs::exists(program / "v"));
}

}  // namespace
}  // namespace skorva
