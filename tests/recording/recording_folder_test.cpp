// The folder a recording writes into is its user's own and closed to everyone else: in a shared output
// folder anyone may make the names of the seconds to come.

#include "recording/recording_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/fakes/scratch_folder.h"

namespace skorva {
namespace {

namespace fs = std::filesystem;

TEST(RecordingFolder, AFolderOfItsNameIsTakenOnlyWhenItIsTheUsersOwnAndClosedToOthers) {
    testing::ScratchFolder shared("skorva-shared");
    ASSERT_EQ(::chmod(shared.path().c_str(), 01777), 0);
    // The user's umask opens nothing up either.
    const mode_t umaskBefore = ::umask(0);
    const auto folderWithMode = [](mode_t mode) {
        return [mode](const fs::path& path) {
            ASSERT_EQ(::mkdir(path.c_str(), mode), 0);
            ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        };
    };
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> plant;
        bool taken;
    };
    std::vector<Case> cases = {
        {"nothing there", [](const fs::path&) {}, true},
        {"the user's own, closed to others", folderWithMode(0755), true},
        {"the user's own, open to its group", folderWithMode(0775), false},
        {"the user's own, open to all", folderWithMode(0777), false},
        {"a link to a folder of the user's",
         [&](const fs::path& path) {
             fs::create_directory(shared.path() / "elsewhere");
             fs::create_symlink(shared.path() / "elsewhere", path);
         },
         false},
    };
    // Only root can make a folder that belongs to someone else.
    if (::geteuid() == 0) {
        constexpr uid_t kNobody = 65534;
        for (const mode_t mode : {0755, 0777}) {
            cases.push_back({mode == 0755 ? "another user's" : "another user's, open to all",
                             [mode](const fs::path& path) {
                                 ASSERT_EQ(::mkdir(path.c_str(), mode), 0);
                                 ASSERT_EQ(::chmod(path.c_str(), mode), 0);
                                 ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
                             },
                             false});
        }
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        const std::string name = "bob06_Dec_2026_02_05_0" + std::to_string(i) + "_PM";
        cases[i].plant(shared.path() / name);
        RecordingFolder folder;
        std::string reason;
        const std::string claimed = folder.claim(shared.path().string(), name, reason);
        EXPECT_EQ(claimed, cases[i].taken ? name : name + "_2") << reason;
        struct stat taken {};
        ASSERT_EQ(::lstat((shared.path() / claimed).c_str(), &taken), 0);
        EXPECT_TRUE(S_ISDIR(taken.st_mode));
        EXPECT_EQ(taken.st_uid, ::geteuid());
        EXPECT_EQ(taken.st_mode & 022, 0u) << std::oct << taken.st_mode;
    }
    ::umask(umaskBefore);
}

}  // namespace
}  // namespace skorva
