#include "tests/movie/write_failure_support.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "tests/fakes/shell.h"

namespace skorva::testing::write_failures {

namespace fs = std::filesystem;

std::string frameName(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "f%03d.jpg", index);
    return name;
}

void writeFrames(const ScratchFolder& folder, int count, int width, int height) {
    for (int i = 0; i < count; ++i) {
        writeJpeg(folder.file(frameName(i)), width, height, i);
    }
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string textOf(const std::string& path) {
    const std::vector<char> bytes = fileBytes(path);
    return {bytes.begin(), bytes.end()};
}

std::string reportOf(const ScriptedUser& user) {
    std::string joined;
    for (const std::string& text : user.messages.texts()) {
        joined += text + kSeparator;
    }
    return joined;
}

std::vector<std::string> messagesOf(const std::string& report) {
    std::vector<std::string> texts;
    for (std::size_t start = 0, end; (end = report.find(kSeparator, start)) != std::string::npos;
         start = end + 1) {
        texts.push_back(report.substr(start, end - start));
    }
    return texts;
}

void expectPlayable(const std::string& path, std::int64_t frames) {
    const auto movie = decodeMovie(path, false);
    ASSERT_TRUE(movie.opened) << path;
    EXPECT_EQ(movie.containerFrames, frames);
    EXPECT_EQ(static_cast<std::int64_t>(movie.frames.size()), frames);
    EXPECT_EQ(readAviHeaders(path).dwLength, static_cast<std::uint32_t>(frames));
    EXPECT_EQ(runCommand("ffmpeg -nostdin -v error -i '" + path + "' -f null -"), "");
}

std::vector<std::string> hiddenFiles(const fs::path& folder) {
    std::vector<std::string> hidden;
    for (const std::string& name : fileNames(folder)) {
        if (name.rfind(".", 0) == 0) {
            hidden.push_back(name);
        }
    }
    return hidden;
}

bool mountPrivateTmpfs(const std::string& at, unsigned long flags, const char* options) {
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    if (uid == 0 ? ::unshare(CLONE_NEWNS) != 0 : ::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
        return false;
    }
    // The user keeps its own ids inside, so that it owns the files it makes in the tmpfs.
    const auto written = [](const char* path, const std::string& text) {
        std::ofstream file(path);
        file << text;
        file.close();
        return !file.fail();
    };
    if (uid != 0 &&
        !(written("/proc/self/setgroups", "deny") &&
          written("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") &&
          written("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1"))) {
        return false;
    }
    return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", at.c_str(), "tmpfs", flags, options) == 0;
}

}  // namespace skorva::testing::write_failures
