#pragma once
// The shell's special folders as far as they mean something on a Linux desktop: the user's folders come
// from the XDG user-dirs file, the rest from the XDG base directories. A folder that has no counterpart
// here cannot be named and gives an empty path.

#include <cstdint>
#include <string>

namespace skorva {

namespace csidl {
inline constexpr std::int32_t kDesktop = 0;
inline constexpr std::int32_t kPersonal = 5;  // the user's documents
inline constexpr std::int32_t kMyDocuments = 12;
inline constexpr std::int32_t kMyMusic = 13;
inline constexpr std::int32_t kMyVideo = 14;
inline constexpr std::int32_t kDesktopDirectory = 16;
inline constexpr std::int32_t kTemplates = 21;
inline constexpr std::int32_t kAppData = 26;
inline constexpr std::int32_t kLocalAppData = 28;
inline constexpr std::int32_t kMyPictures = 39;
inline constexpr std::int32_t kProfile = 40;
}  // namespace csidl

// The parts of the environment the lookup reads; empty members count as unset.
struct XdgEnvironment {
    std::string home;        // $HOME
    std::string configHome;  // $XDG_CONFIG_HOME
    std::string dataHome;    // $XDG_DATA_HOME

    static XdgEnvironment fromProcess();
};

// The folder that the user-dirs file names for `key` (e.g. "XDG_DOCUMENTS_DIR"), with $HOME expanded;
// empty when the file or the entry is missing or the entry cannot be read.
std::string xdgUserDir(const std::string& key, const XdgEnvironment& env);

// The path of the shell special folder `id`, or empty when it cannot be named here.
std::string specialFolderPath(std::int32_t id, const XdgEnvironment& env);
std::string specialFolderPath(std::int32_t id);

// Where recordings go until the user picks a folder: the program's own folder when the user may write
// there (a build folder), else the user's videos folder (XDG_VIDEOS_DIR of the user-dirs file, else
// ~/Videos; made if missing), else the home folder. An installed program's folder (/usr/bin) is no place
// for frames.
std::string defaultOutputFolder(const std::string& programFolder, const XdgEnvironment& env);
std::string defaultOutputFolder();

}  // namespace skorva
