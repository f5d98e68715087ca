#include "platform/file_list.h"

#include <fnmatch.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace skorva {

std::vector<std::string> listMatchingFiles(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator it(folder.empty() ? std::string(".") : folder, error);
    if (error) {
        return names;
    }
    // Stepped with an error code: a folder that fails part-way (a network folder gone) ends the list there
    // instead of throwing.
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code statError;
        if (!it->is_regular_file(statError)) {
            continue;
        }
        if (::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    return names;
}

}  // namespace skorva
