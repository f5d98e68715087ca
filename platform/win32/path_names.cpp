#include "platform/path_names.h"

namespace skorva {

std::string::size_type fileNameStart(const std::string& path) {
    const auto separator = path.find_last_of("/\\:");
    return separator == std::string::npos ? 0 : separator + 1;
}

}  // namespace skorva
