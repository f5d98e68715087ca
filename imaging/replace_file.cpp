#include "imaging/replace_file.h"

#include "platform/file_replacement.h"

namespace skorva {

Status replaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::string failure = replaceFileContents(path, bytes);
    return failure.empty() ? Status() : Status::failure(failure);
}

}  // namespace skorva
