// The program's command line, run as a user's script runs it: the real program, the private X server with
// its window manager and the fixture viewer, and the movies decoded by FFmpeg.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "platform/services.h"
#include "platform/x11/x11_desktop.h"
#include "recording/discovery.h"
#include "tests/fakes/scratch_folder.h"
#include "tests/fakes/shell.h"
#include "tests/x11/x11_test_support.h"

namespace skorva {
namespace {

namespace fs = std::filesystem;
using testing::FixtureProcess;
using testing::ScratchFolder;

// The program's own list against the private X server, with its window manager and fixture viewers.
class CommandLineX11 : public testing::X11Test {};

struct Ended {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// The program, started with `arguments` and `DISPLAY` as given (empty: unset). `whenSaid` is called with
// each piece of standard output as it comes, and may signal the program.
class Program {
  public:
    Program(const std::vector<std::string>& arguments, const std::string& display) {
        int out[2];
        int err[2];
        if (pipe(out) != 0 || pipe(err) != 0) {
            throw std::runtime_error("no pipe");
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            close(out[0]);
            close(err[0]);
            if (display.empty()) {
                unsetenv("DISPLAY");
            } else {
                setenv("DISPLAY", display.c_str(), 1);
            }
            std::vector<char*> argv{const_cast<char*>(SKORVA_PROGRAM)};
            for (const std::string& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            execv(SKORVA_PROGRAM, argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }

    pid_t pid() const { return pid_; }

    // Reads until standard output holds `text`; false when the program ended first.
    bool waitFor(const std::string& text) {
        while (ended_.out.find(text) == std::string::npos) {
            if (!readSome()) {
                return false;
            }
        }
        return true;
    }

    Ended wait() {
        while (readSome()) {
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        ended_.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        close(out_);
        close(err_);
        return ended_;
    }

  private:
    // Reads what either stream has; false once both are at their end.
    bool readSome() {
        pollfd streams[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        if (outOpen_ + errOpen_ == 0 || poll(streams, 2, -1) < 0) {
            return false;
        }
        char buffer[4096];
        for (int i = 0; i < 2; ++i) {
            bool& open = i == 0 ? outOpen_ : errOpen_;
            if (open && (streams[i].revents & (POLLIN | POLLHUP)) != 0) {
                const ssize_t got = read(streams[i].fd, buffer, sizeof buffer);
                if (got <= 0) {
                    open = false;
                } else {
                    (i == 0 ? ended_.out : ended_.err).append(buffer, static_cast<std::size_t>(got));
                }
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool outOpen_ = true;
    bool errOpen_ = true;
    Ended ended_;
};

Ended run(const std::vector<std::string>& arguments, const std::string& display = "") {
    return Program(arguments, display).wait();
}

std::string display() {
    const char* value = std::getenv("DISPLAY");
    return value == nullptr ? std::string() : value;
}

// FFmpeg decodes the frame without a word.
bool decodesCleanly(const fs::path& frame) {
    return testing::runCommand("ffmpeg -nostdin -v error -i '" + frame.string() + "' -f null -").empty();
}

TEST(CommandLine, BadArgumentsExitWithTwoAndAUsageLine) {
    const std::vector<std::vector<std::string>> cases = {
        {"record"},
        {"record", "--title", "bob", "--window-id", "0x1"},
        {"record", "--title", "bob", "--frames", "3", "--duration", "2"},
        {"record", "--title", "bob", "--interval", "32"},
        {"record", "--window-id", "nine"},
        {"record", "--title", "bob", "--colour"},
        {"write-movie", "folder"},
        {"write-movie", "-o", "x.avi"},
        {"write-movie", "folder", "-o", "x.avi", "--codec", "gif"},
        {"write-movie", "folder", "-o", "x.avi", "--quality", "0"},
        {"write-movie", "folder", "-o", "x.mov"},
        {"write-movie", "folder", "-o", "x.mp4", "--codec", "ffv1"},
        {"write-movie", "folder", "-o", "x.mkv", "--codec", "raw"},
        {"list", "extra"},
        {"bogus"},
    };
    for (const auto& arguments : cases) {
        std::string line;
        for (const std::string& argument : arguments) {
            line += argument + " ";
        }
        SCOPED_TRACE(line);
        const Ended ended = run(arguments);
        EXPECT_EQ(ended.exitCode, 2);
        EXPECT_NE(ended.err.find("Usage: skorva"), std::string::npos) << ended.err;
        EXPECT_EQ(ended.out, "");
    }
    EXPECT_NE(run({"write-movie", "folder", "-o", "x.mp4", "--codec", "ffv1"})
                  .err.find("MP4 movies cannot hold FFV1 lossless."),
              std::string::npos);
    const Ended help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* documented :
         {"list", "record", "write-movie", "--window-id", "--codec", "mjpeg-copy", ".mkv", "Exit codes"}) {
        EXPECT_NE(help.out.find(documented), std::string::npos) << documented;
    }
    EXPECT_EQ(run({"--version"}).out.rfind("skorva ", 0), 0u);
}

TEST(CommandLine, RecordTakesAnIntervalOf33To60000Milliseconds) {
    const std::pair<const char*, bool> cases[] = {
        {"32", false}, {"33", true}, {"60000", true}, {"60001", false}};
    for (const auto& [interval, taken] : cases) {
        SCOPED_TRACE(interval);
        // Without a display an interval taken gets as far as looking for the X server.
        const Ended ended = run({"record", "--title", "bob", "--interval", interval});
        if (taken) {
            EXPECT_EQ(ended.exitCode, 1);
            EXPECT_EQ(ended.err, "skorva: no X display answers: DISPLAY is not set\n");
        } else {
            EXPECT_EQ(ended.exitCode, 2);
            EXPECT_EQ(
                ended.err.rfind("skorva: --interval takes 33 to 60000 milliseconds\nUsage: skorva record", 0),
                0u)
                << ended.err;
        }
    }
}

TEST(CommandLine, WithoutADisplayListAndRecordSaySoAndWriteMovieWritesEveryCodec) {
    for (const auto& command : {std::vector<std::string>{"list"}, {"record", "--title", "bob"}}) {
        const Ended ended = run(command);
        EXPECT_EQ(ended.exitCode, 1);
        EXPECT_EQ(ended.err, "skorva: no X display answers: DISPLAY is not set\n");
    }
    ScratchFolder folder("skorva-cli");
    // Frames as a recording leaves them: JPEGs of the fixture's own picture, made by ffmpeg.
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=351x205:rate=1 -frames:v 4 '" +
                           folder.file("bob%07d.jpg") + "'")
                              .c_str()),
              0);
    // The codec ("": the container's default) and the container, by the movie's extension.
    const std::pair<std::string, std::string> cases[] = {
        {"raw", "avi"},  {"mjpeg", "avi"}, {"mjpeg-copy", "avi"}, {"mpeg4", "avi"}, {"h264", "avi"},
        {"ffv1", "avi"}, {"h264", "mp4"},  {"mjpeg-copy", "mp4"}, {"", "mkv"},      {"ffv1", "mkv"},
    };
    for (const auto& [codec, extension] : cases) {
        SCOPED_TRACE(codec + " " + extension);
        const std::string movie = folder.file("movie-" + codec + "." + extension);
        std::vector<std::string> arguments = {
            "write-movie", folder.path().string(), "-o", movie, "--fps", "7"};
        if (!codec.empty()) {
            arguments.insert(arguments.end(), {"--codec", codec});
        }
        const Ended ended = run(arguments);
        EXPECT_EQ(ended.exitCode, 0) << ended.err;
        const std::string probed = testing::runCommand(
            "ffprobe -v error -count_frames -show_entries stream=codec_name,nb_read_frames,r_frame_rate -of "
            "csv=p=0 '" +
            movie + "'");
        const std::string codecName = codec == "raw"          ? "rawvideo"
                                      : codec == "mjpeg-copy" ? "mjpeg"
                                      : codec.empty()         ? "h264"
                                                              : codec;
        EXPECT_EQ(probed, codecName + ",7/1,4\n");
    }
}

// The frames of the movie that are key frames, by their number.
std::vector<int> keyFramesOf(const std::string& movie) {
    const std::string flags = testing::runCommand(
        "ffprobe -v error -select_streams v -show_entries packet=flags -of csv=p=0 '" + movie + "'");
    std::vector<int> keys;
    int index = 0;
    for (std::size_t start = 0; start < flags.size(); ++index) {
        if (flags[start] == 'K') {
            keys.push_back(index);
        }
        const std::size_t end = flags.find('\n', start);
        start = end == std::string::npos ? flags.size() : end + 1;
    }
    return keys;
}

TEST(CommandLine, MpegFourAndH264MakeAKeyFrameEveryTenSecondsOfMovieUnlessToldOtherwise) {
    ScratchFolder folder("skorva-cli-keys");
    // A still viewer: no change of scene for the encoder to start a key frame at by itself.
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=96x64 -frames:v 1 '" +
                           folder.file("bob0000000.jpg") + "'")
                              .c_str()),
              0);
    for (int frame = 1; frame < 65; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "bob%07d.jpg", frame);
        fs::copy_file(folder.file("bob0000000.jpg"), folder.file(name));
    }
    struct Case {
        std::string codec, extension, fps, keyFrameEvery;
        std::vector<int> keys;
    };
    const Case cases[] = {
        {"", "mp4", "3", "", {0, 30, 60}},
        {"h264", "avi", "6", "", {0, 60}},
        {"mpeg4", "avi", "2", "", {0, 20, 40, 60}},
        {"h264", "mkv", "3", "25", {0, 25, 50}},
        {"mpeg4", "avi", "3", "1", {}},
        // Held to 30 frames a second, as the rate is.
        {"h264", "mp4", "45", "", {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codec + " " + c.extension + " at " + c.fps + " every " + c.keyFrameEvery);
        const std::string movie = folder.file("movie-" + c.codec + c.fps + "." + c.extension);
        std::vector<std::string> arguments = {"write-movie", folder.path().string(), "-o", movie, "--fps",
                                              c.fps};
        if (!c.codec.empty()) {
            arguments.insert(arguments.end(), {"--codec", c.codec});
        }
        if (!c.keyFrameEvery.empty()) {
            arguments.insert(arguments.end(), {"--key-frame-every", c.keyFrameEvery});
        }
        const Ended ended = run(arguments);
        ASSERT_EQ(ended.exitCode, 0) << ended.err;
        std::vector<int> expected = c.keys;
        if (expected.empty()) {
            for (int frame = 0; frame < 65; ++frame) {
                expected.push_back(frame);
            }
        }
        EXPECT_EQ(keyFramesOf(movie), expected);
    }
}

TEST_F(CommandLineX11, ListAndRecordFindTheViewerAndStoreWholeFramesUntilTheCountOrSigint) {
    FixtureProcess fixture(
        {"x=10 y=10 w=368 h=385 title=Webcam for bob", "x=420 y=10 w=368 h=385 title=Notes"});
    ASSERT_EQ(fixture.windows().size(), 2u);
    // The window manager lists the viewer before the program is asked for it.
    ASSERT_TRUE(testing::eventually([&] {
        const ScopedServices installed(Services{.desktop = desktop_.get()});
        return findViewerWindows().size() == 1;
    }));
    char bob[16];
    std::snprintf(bob, sizeof bob, "0x%08x", fixture.windows()[0]);
    const Ended listed = run({"list"}, display());
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out, std::string(bob) + "\tWebcam for bob\n");

    ScratchFolder output("skorva-cli-record");
    const Ended recorded = run(
        {"record", "--window-id", bob, "--frames", "3", "--interval", "100", "-o", output.path().string()},
        display());
    EXPECT_EQ(recorded.exitCode, 0) << recorded.err;
    const std::vector<std::string> folders = output.entries();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_TRUE(
        std::regex_match(folders[0], std::regex("bob\\d\\d_[A-Za-z]+_\\d{4}_\\d\\d_\\d\\d_\\d\\d_[A-Z]+")))
        << folders[0];
    EXPECT_EQ(recorded.out, output.file(folders[0]) + "\nframe 0\nframe 1\nframe 2\n");
    // Kept on top while it recorded, and no longer once it is done: neither after the count nor after SIGINT.
    EXPECT_FALSE(server_->hasNetWmState(fixture.windows()[0], "_NET_WM_STATE_ABOVE"));
    EXPECT_EQ(testing::fileNames(output.path() / folders[0]),
              (std::vector<std::string>{"bob0000000.jpg", "bob0000001.jpg", "bob0000002.jpg"}));
    for (const std::string& frame : testing::fileNames(output.path() / folders[0])) {
        EXPECT_TRUE(decodesCleanly(output.path() / folders[0] / frame)) << frame;
    }

    // Ended by SIGINT after its second frame: every frame it stored is whole, and it says it is done.
    ScratchFolder interrupted("skorva-cli-sigint");
    Program program({"record", "--title", "for bob", "--interval", "100", "-o", interrupted.path().string()},
                    display());
    ASSERT_TRUE(program.waitFor("frame 1\n"));
    EXPECT_TRUE(server_->hasNetWmState(fixture.windows()[0], "_NET_WM_STATE_ABOVE"));
    kill(program.pid(), SIGINT);
    const Ended ended = program.wait();
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
    EXPECT_FALSE(server_->hasNetWmState(fixture.windows()[0], "_NET_WM_STATE_ABOVE"));
    const std::vector<std::string> recording = interrupted.entries();
    ASSERT_EQ(recording.size(), 1u);
    const std::vector<std::string> frames = testing::fileNames(interrupted.path() / recording[0]);
    EXPECT_GE(frames.size(), 2u);
    for (const std::string& frame : frames) {
        EXPECT_EQ(frame.find(".tmp"), std::string::npos);
        EXPECT_TRUE(decodesCleanly(interrupted.path() / recording[0] / frame)) << frame;
    }
}

TEST_F(CommandLineX11, RecordAtThirtyFramesASecondStoresEveryTicksFrameInOrder) {
    FixtureProcess fixture({"x=10 y=10 w=368 h=385 moving title=Webcam for bob"});
    ASSERT_EQ(fixture.windows().size(), 1u);
    ASSERT_TRUE(testing::eventually([&] {
        const ScopedServices installed(Services{.desktop = desktop_.get()});
        return findViewerWindows().size() == 1;
    }));
    ScratchFolder output("skorva-cli-33ms");
    const Ended recorded = run(
        {"record", "--title", "for bob", "--frames", "40", "--interval", "33", "-o", output.path().string()},
        display());
    EXPECT_EQ(recorded.exitCode, 0) << recorded.err;
    const std::vector<std::string> folders = output.entries();
    ASSERT_EQ(folders.size(), 1u);
    std::string said = output.file(folders[0]) + "\n";
    std::vector<std::string> expected;
    for (int frame = 0; frame < 40; ++frame) {
        said += "frame " + std::to_string(frame) + "\n";
        char name[32];
        std::snprintf(name, sizeof name, "bob%07d.jpg", frame);
        expected.push_back(name);
    }
    EXPECT_EQ(recorded.out, said);
    EXPECT_EQ(testing::fileNames(output.path() / folders[0]), expected);
    // Decoded as one numbered sequence, as a movie is made of them: every frame whole, none missing.
    EXPECT_EQ(
        testing::runCommand("ffprobe -v error -count_frames -show_entries stream=width,height,nb_read_frames "
                            "-of csv=p=0 '" +
                            (output.path() / folders[0] / "bob%07d.jpg").string() + "'"),
        "320,240,40\n");
}

}  // namespace
}  // namespace skorva
