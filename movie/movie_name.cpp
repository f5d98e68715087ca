#include "movie/movie_name.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace skorva {

avi::Container movieContainer(const std::string& chosen, std::int32_t filterIndex) {
    if (const std::optional<avi::Container> named = avi::containerOfExtension(chosen)) {
        return *named;
    }
    switch (filterIndex) {
        case 2:
            return avi::Container::Mp4;
        case 3:
            return avi::Container::Matroska;
        default:
            return avi::Container::Avi;
    }
}

bool namesAnInput(const std::string& output, const std::string& folder, const std::string& temporaryName,
                  const std::vector<std::string>& frames) {
    namespace fs = std::filesystem;
    const fs::path path(output);
    std::error_code outputError;
    std::error_code folderError;
    const fs::path parent =
        fs::weakly_canonical(path.has_parent_path() ? path.parent_path() : fs::path("."), outputError);
    const fs::path frameFolder =
        fs::weakly_canonical(folder.empty() ? fs::path(".") : fs::path(folder), folderError);
    if (outputError || folderError || parent != frameFolder) {
        return false;
    }
    const std::string name = path.filename().string();
    return name == temporaryName || std::find(frames.begin(), frames.end(), name) != frames.end();
}

}  // namespace skorva
