#include "dialogs/special_folders.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
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
// from a child process, which as root takes the identity of "nobody" (root may write anywhere). Each case
// has a home of its own.
TEST(SpecialFolders, DefaultOutputFolderLeavesAProgramFolderTheUserCannotWrite) {
    TempHome temp;
    const fs::path program = temp.home() / "program";
    fs::create_directory(program);
    struct Case {
        const char* name;
        // The user-dirs file, "" for none; "PROGRAM" stands for the program's folder.
        std::string userDirs;
        // A file where ~/Videos would be.
        bool videosIsAFile;
        // The program's folder is the case's home (a build folder the user may write to).
        bool writableProgram;
        // The answer below the case's home; "" for the home itself.
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"the user-dirs entry, made", "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n", false, false, "Filme"},
        {"a fresh home: ~/Videos, made", "", false, false, "Videos"},
        {"an entry that cannot be made: ~/Videos", "XDG_VIDEOS_DIR=\"PROGRAM/v\"\n", false, false, "Videos"},
        {"neither can be had: the home folder", "", true, false, ""},
        {"a writable program folder stays", "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n", false, true, ""},
    };
    constexpr uid_t kNobody = 65534;
    std::vector<XdgEnvironment> environments;
    for (const Case& c : cases) {
        const fs::path home = temp.home() / ("home" + std::to_string(environments.size()));
        fs::create_directories(home / ".config");
        std::string userDirs = c.userDirs;
        if (const auto at = userDirs.find("PROGRAM"); at != std::string::npos) {
            userDirs.replace(at, 7, program.string());
        }
        if (!userDirs.empty()) {
            std::ofstream(home / ".config" / "user-dirs.dirs") << userDirs;
        }
        if (c.videosIsAFile) {
            std::ofstream(home / "Videos") << "not a folder";
        }
        if (geteuid() == 0) {
            for (const fs::path& mine : {home, home / ".config"}) {
                ASSERT_EQ(::chown(mine.c_str(), kNobody, kNobody), 0);
            }
        }
        environments.push_back(XdgEnvironment{home.string(), (home / ".config").string(), ""});
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
        std::string answers;
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const std::string programFolder =
                cases[i].writableProgram ? environments[i].home : program.string();
            answers += defaultOutputFolder(programFolder, environments[i]) + "\n";
        }
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

    std::istringstream lines(answers);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const fs::path home = environments[i].home;
        const fs::path expected = cases[i].expected.empty() ? home : home / cases[i].expected;
        std::string answer;
        ASSERT_TRUE(std::getline(lines, answer));
        EXPECT_EQ(answer, expected.string());
        EXPECT_TRUE(fs::is_directory(expected));
    }
    // Nothing was made in the program's folder, nor a videos folder beside a writable program folder.
    EXPECT_FALSE(fs::exists(program / "v"));
    EXPECT_FALSE(fs::exists(fs::path(environments.back().home) / "Filme"));
}

}  // namespace
}  // namespace skorva
