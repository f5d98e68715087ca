#include "dialogs/special_folders.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/executable_folder.h"
#include "platform/user_folders.h"

namespace skorva {
namespace {

std::string fromEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

bool isAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

bool isFolder(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

bool isWritableFolder(const std::string& path) {
    return mayWriteInto(path);
}

// Drops closing slashes so that "$HOME/" names the home folder itself; "/" stays.
std::string withoutClosingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string userDirsFile(const XdgEnvironment& env) {
    if (isAbsolute(env.configHome)) {
        return env.configHome + "/user-dirs.dirs";
    }
    if (isAbsolute(env.home)) {
        return env.home + "/.config/user-dirs.dirs";
    }
    return {};
}

// The value of one line `KEY="value"` as the shell would read it, or nothing when the line is no such
// assignment. Only the two forms the file may hold are accepted: "$HOME/..." and an absolute path.
bool parseValue(const std::string& raw, const XdgEnvironment& env, std::string& path) {
    std::string value;
    if (!raw.empty() && raw.front() == '"') {
        bool closed = false;
        for (std::size_t i = 1; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                value += raw[++i];
            } else if (raw[i] == '"') {
                closed = true;
                break;
            } else {
                value += raw[i];
            }
        }
        if (!closed) {
            return false;
        }
    } else {
        value = raw.substr(0, raw.find_first_of(" \t#"));
    }
    const std::string homeVar = "$HOME";
    if (value.compare(0, homeVar.size(), homeVar) == 0 &&
        (value.size() == homeVar.size() || value[homeVar.size()] == '/')) {
        if (!isAbsolute(env.home)) {
            return false;
        }
        path = withoutClosingSlash(env.home + value.substr(homeVar.size()));
        return true;
    }
    if (isAbsolute(value)) {
        path = withoutClosingSlash(value);
        return true;
    }
    return false;
}

// A user folder: the user-dirs entry, else the customary folder below home if it exists, else home
// itself, as xdg-user-dir answers.
std::string userFolder(const char* key, const char* customary, const XdgEnvironment& env) {
    std::string path = xdgUserDir(key, env);
    if (!path.empty()) {
        return path;
    }
    if (!isAbsolute(env.home)) {
        return {};
    }
    const std::string home = withoutClosingSlash(env.home);
    const std::string below = (home == "/" ? "" : home) + "/" + customary;
    return isFolder(below) ? below : home;
}

std::string baseFolder(const std::string& set, const char* belowHome, const XdgEnvironment& env) {
    if (isAbsolute(set)) {
        return withoutClosingSlash(set);
    }
    if (!isAbsolute(env.home)) {
        return {};
    }
    const std::string home = withoutClosingSlash(env.home);
    return (home == "/" ? "" : home) + belowHome;
}

}  // namespace

XdgEnvironment XdgEnvironment::fromProcess() {
    return {fromEnv("HOME"), fromEnv("XDG_CONFIG_HOME"), fromEnv("XDG_DATA_HOME")};
}

std::string xdgUserDir(const std::string& key, const XdgEnvironment& env) {
    const std::string file = userDirsFile(env);
    if (file.empty()) {
        return {};
    }
    std::ifstream in(file);
    std::string line;
    std::string found;
    // The file is sourced by shells, so a later assignment wins.
    while (std::getline(in, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') {
            continue;
        }
        if (line.compare(start, key.size(), key) != 0 || line.size() <= start + key.size() ||
            line[start + key.size()] != '=') {
            continue;
        }
        std::string path;
        if (parseValue(line.substr(start + key.size() + 1), env, path)) {
            found = path;
        }
    }
    return found;
}

std::string specialFolderPath(std::int32_t id, const XdgEnvironment& env) {
    switch (id) {
        case csidl::kDesktop:
        case csidl::kDesktopDirectory:
            return userFolder("XDG_DESKTOP_DIR", "Desktop", env);
        case csidl::kPersonal:
        case csidl::kMyDocuments:
            return userFolder("XDG_DOCUMENTS_DIR", "Documents", env);
        case csidl::kMyMusic:
            return userFolder("XDG_MUSIC_DIR", "Music", env);
        case csidl::kMyVideo:
            return userFolder("XDG_VIDEOS_DIR", "Videos", env);
        case csidl::kMyPictures:
            return userFolder("XDG_PICTURES_DIR", "Pictures", env);
        case csidl::kTemplates:
            return userFolder("XDG_TEMPLATES_DIR", "Templates", env);
        case csidl::kAppData:
            return baseFolder(env.configHome, "/.config", env);
        case csidl::kLocalAppData:
            return baseFolder(env.dataHome, "/.local/share", env);
        case csidl::kProfile:
            return isAbsolute(env.home) ? withoutClosingSlash(env.home) : std::string();
        default:
            // Virtual shell folders (the computer, the network, the printers) and the system's own
            // folders have no counterpart here.
            return {};
    }
}

std::string specialFolderPath(std::int32_t id) {
    return specialFolderPath(id, XdgEnvironment::fromProcess());
}

std::string defaultOutputFolder(const std::string& programFolder, const XdgEnvironment& env) {
    if (isWritableFolder(programFolder)) {
        return programFolder;
    }
    // Where the system itself names the videos folder (Windows' known folder), that is the one.
    if (const std::string known = systemVideosFolder(); !known.empty() && isWritableFolder(known)) {
        return known;
    }
    // The videos folder of the user-dirs file, else ~/Videos, made when missing. Not the shell's answer
    // for a missing ~/Videos, the home folder itself, where the recordings would lie among the user's
    // own files; the user-dirs file may still name it.
    const std::string named = xdgUserDir("XDG_VIDEOS_DIR", env);
    if (!named.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(named, ignored);
        if (isWritableFolder(named)) {
            return named;
        }
    }
    const std::string home = specialFolderPath(csidl::kProfile, env);
    if (home.empty()) {
        return programFolder;
    }
    const std::string videos = (home == "/" ? "" : home) + "/Videos";
    std::error_code ignored;
    // Only the last step: a home folder that is missing is not made here.
    std::filesystem::create_directory(videos, ignored);
    if (isWritableFolder(videos)) {
        return videos;
    }
    // Nowhere to write at all: the program's folder, where Start then says why it cannot record.
    return isWritableFolder(home) ? home : programFolder;
}

std::string defaultOutputFolder() {
    return defaultOutputFolder(executableFolder(), XdgEnvironment::fromProcess());
}

}  // namespace skorva
