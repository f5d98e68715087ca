#pragma once
// Helpers for the tests of writes that fail or are cut short: frames on disk, small text files, and the
// messages of a write made in a child process.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/fakes/scratch_folder.h"
#include "tests/movie/movie_test_support.h"

namespace skorva::testing::write_failures {

// Between the messages of a child's report.
inline constexpr char kSeparator = '\x1e';

// "f000.jpg", "f001.jpg", ...
std::string frameName(int index);
// `count` frames of `width` x `height`, named by frameName.
void writeFrames(const ScratchFolder& folder, int count, int width, int height);
void writeText(const std::string& path, const std::string& text);
std::string textOf(const std::string& path);
// The messages of a write in a child process, for its report, and back.
std::string reportOf(const ScriptedUser& user);
std::vector<std::string> messagesOf(const std::string& report);
// Headers that count exactly the frames the movie holds, each of which decodes without a word from FFmpeg.
void expectPlayable(const std::string& path, std::int64_t frames);
// The names beginning with a dot in `folder`.
std::vector<std::string> hiddenFiles(const std::filesystem::path& folder);
// A tmpfs at `at` in a mount namespace of this process's own, in a user namespace of its own too for a user
// who is not root: nothing outside sees it, and no root is needed where user namespaces are allowed. For a
// child process, which keeps the namespace for the rest of its life.
bool mountPrivateTmpfs(const std::string& at, unsigned long flags, const char* options);

}  // namespace skorva::testing::write_failures
