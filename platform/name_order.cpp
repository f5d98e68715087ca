#include <algorithm>
#include <string>

#include "platform/file_list.h"

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

}  // namespace skorva
