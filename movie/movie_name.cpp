#include "movie/movie_name.h"

#include "platform/avi/container.h"

namespace skorva {

std::string movieFileName(const std::string& chosen, std::int32_t filterIndex) {
    if (avi::containerOfExtension(chosen)) {
        return chosen;
    }
    switch (filterIndex) {
        case 2:
            return chosen + ".mp4";
        case 3:
            return chosen + ".mkv";
        default:
            return chosen + ".avi";
    }
}

}  // namespace skorva
