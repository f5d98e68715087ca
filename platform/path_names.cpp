#include "platform/path_names.h"

namespace skorva {

std::string::size_type fileNameStart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace skorva
