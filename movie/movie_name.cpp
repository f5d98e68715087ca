#include "movie/movie_name.h"

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

}  // namespace skorva
