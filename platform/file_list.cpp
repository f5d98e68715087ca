#include "platform/file_list.h"

#include <fnmatch.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace skorva {
namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return lower(x) == lower(y); });
    if (ia == a.end() || ib == b.end()) {
        if (a.size() != b.size()) {
            return a.size() < b.size();
        }
        return a < b;
    }
    return static_cast<unsigned char>(lower(*ia)) < static_cast<unsigned char>(lower(*ib));
}

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
