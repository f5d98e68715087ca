// A movie file under hostile conditions: a write killed or asked twice to end leaves nothing but the
// target as it was, a hidden file of a writer that is gone is removed by the next, names up to the file
// system's longest are written, and the target is checked before the first frame.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "movie/avi_writer.h"
#include "platform/avi/codecs.h"
#include "platform/file_io.h"
#include "platform/held_beside.h"
#include "platform/termination.h"
#include "tests/movie/write_failure_support.h"

namespace skorva {
namespace {

namespace fs = std::filesystem;
using testing::decodeMovie;
using testing::FakeWriterView;
using testing::runInChild;
using testing::ScratchFolder;
using testing::ScriptedUser;
using namespace testing::write_failures;

TEST(MovieFile, AnInterruptedWriteLeavesNothingButTheTargetAsItWas) {
    struct Ending {
        const char* name;
        std::vector<int> signals;  // sent in turn once the write is under way
    };
    // Killed outright, or asked twice to end (the second request ends the program at once).
    const Ending endings[] = {{"SIGKILL", {SIGKILL}}, {"SIGTERM, then SIGINT", {SIGTERM, SIGINT}}};
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        ScratchFolder folder;
        writeFrames(folder, 40, 64, 48);
        const std::string output = folder.file("movie.avi");
        writeText(output, "an earlier movie");
        const std::string errors = folder.file("errors.txt");
        const auto child = runInChild(
            [&](const auto& ready) {
                installTerminationHandlers();
                const int said = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                ::dup2(said, 2);
                ScriptedUser user(output, 0);
                FakeWriterView view(folder.path().string());
                view.onFrame = [&ready](std::int32_t index) {
                    if (index == 4) {
                        ready();
                        for (;;) {
                            ::pause();
                        }
                    }
                };
                aviwrite_Click(view, user.messages);
                return reportOf(user);
            },
            [&ending](pid_t writer) {
                for (const int signal : ending.signals) {
                    kill(writer, signal);
                }
            });

        EXPECT_EQ(child.exitCode, -1) << child.report;
        EXPECT_EQ(textOf(output), "an earlier movie");
        EXPECT_EQ(hiddenFiles(folder.path()), std::vector<std::string>{});
        if (ending.signals.size() > 1) {
            EXPECT_NE(
                textOf(errors).find("asked again to end: ending at once; a movie being written is abandoned"),
                std::string::npos);
        }
        // The next write to the name is whole, and leaves nothing either.
        ScriptedUser user(output, 0);
        FakeWriterView view(folder.path().string());
        aviwrite_Click(view, user.messages);
        EXPECT_TRUE(user.messages.messages.empty());
        expectPlayable(output, 40);
        EXPECT_EQ(hiddenFiles(folder.path()), std::vector<std::string>{});
    }
}

TEST(MovieFile, NamesAsLongAsTheFileSystemTakesAreWrittenAndKeptInPart) {
    ScratchFolder folder;
    writeFrames(folder, 12, 64, 48);
    for (const char* extension : {".avi", ".mp4"}) {
        SCOPED_TRACE(extension);
        const std::string output = folder.file(std::string(255 - 4, 'n') + extension);
        ScriptedUser user(output, avi::makeFourcc("MJPG"));
        FakeWriterView view(folder.path().string());
        aviwrite_Click(view, user.messages);
        EXPECT_TRUE(user.messages.messages.empty()) << user.messages.texts()[0];
        EXPECT_EQ(decodeMovie(output, false).containerFrames, 12);
    }
    // Cut short by a file size limit beside an earlier movie of the name: the part kept takes a name the
    // file system takes, with a shorter stem.
    const std::string output = folder.file(std::string(255 - 6, 'e') + "\xc3\xa9.avi");
    writeText(output, "an earlier movie");
    const auto child = runInChild([&](const auto&) {
        installTerminationHandlers();
        const rlimit limit{60000, 60000};
        setrlimit(RLIMIT_FSIZE, &limit);
        ScriptedUser user(output, 0);
        FakeWriterView view(folder.path().string());
        aviwrite_Click(view, user.messages);
        return reportOf(user);
    });
    const std::string kept = folder.file(std::string(255 - 17, 'e') + " (incomplete).avi");
    EXPECT_NE(child.report.find("is kept as:\r\n" + kept + "\r\n"), std::string::npos) << child.report;
    EXPECT_TRUE(textOf(output) == "an earlier movie");
    EXPECT_TRUE(decodeMovie(kept, false).containerFrames > 0);
    EXPECT_TRUE(hiddenFiles(folder.path()).empty());
}

TEST(MovieFile, AHiddenFileOfAWriterThatIsGoneIsRemovedByTheNextWriterOfTheName) {
    // Where a file system has no unnamed files, a movie is written under a hidden name beside its own.
    ScratchFolder folder;
    const std::string target = folder.file(std::string(250, 'n') + ".avi");  // the longest name there is
    const auto abandoned = runInChild([&](const auto&) {
        std::string created;
        return createHeldFileBeside(target, created) >= 0 ? created : std::string("none");
    });
    ASSERT_EQ(hiddenFiles(folder.path()).size(), 1u) << abandoned.report;
    std::string first;
    const UniqueFd held(createHeldFileBeside(target, first));
    ASSERT_TRUE(held);
    EXPECT_EQ(first, abandoned.report) << "the abandoned file's name is taken again";
    // One held by a running writer is left alone.
    std::string second;
    const UniqueFd alsoHeld(createHeldFileBeside(target, second));
    ASSERT_TRUE(alsoHeld);
    EXPECT_NE(second, first);
    EXPECT_EQ(hiddenFiles(folder.path()).size(), 2u);
    EXPECT_LT(fs::path(second).filename().string().size(), 40u);
}

TEST(MovieFile, TheTargetIsCheckedBeforeTheFirstFrameWithTheSystemsReason) {
    struct Case {
        const char* name;
        std::string target;  // below the frame folder
        std::string reason;
        // Runs in the child before the write: the conditions of the case.
        std::function<bool(const std::string& folder)> arrange;
    };
    const Case cases[] = {
        {"a missing folder", "no/such/folder/x.avi", std::strerror(ENOENT), {}},
        {"a folder of the name", "taken.avi", std::strerror(EISDIR),
         [](const std::string& folder) { return fs::create_directory(folder + "/taken.avi"); }},
        {"no permission", "locked/x.avi", std::strerror(EACCES),
         [](const std::string& folder) {
             // Root may write anywhere: the write is made as nobody.
             fs::create_directory(folder + "/locked");
             ::chmod((folder + "/locked").c_str(), 0555);
             ::chmod(folder.c_str(), 0755);
             for (const auto& entry : fs::directory_iterator(folder)) {
                 ::chmod(entry.path().c_str(), entry.is_directory() ? 0555 : 0644);
             }
             return geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0);
         }},
        {"a read-only file system", "readonly/x.avi", std::strerror(EROFS),
         [](const std::string& folder) {
             fs::create_directory(folder + "/readonly");
             return mountPrivateTmpfs(folder + "/readonly", MS_RDONLY, "size=64k");
         }},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        ScratchFolder folder;
        writeFrames(folder, 3, 32, 24);
        const std::string target = folder.file(each.target);
        const auto child = runInChild([&](const auto&) {
            if (each.arrange && !each.arrange(folder.path().string())) {
                return std::string("could not arrange: ") + std::strerror(errno);
            }
            ScriptedUser user(target, 0);
            FakeWriterView view(folder.path().string());
            aviwrite_Click(view, user.messages);
            return reportOf(user) + (user.chooser.calls > 0 ? "asked for a codec" : "");
        });
        EXPECT_EQ(child.report, "Can't open File to write, try to use different name to save.\r\n" + target +
                                    "\r\n" + each.reason + kSeparator +
                                    "There was an error writing the file." + kSeparator);
        EXPECT_FALSE(fs::exists(folder.file("tmp.bmp"))) << "a frame was converted";
    }
}

}  // namespace
}  // namespace skorva
