// The containers by name and extension, and the compressors each holds as containerHolds says: the same
// on every system.

#include "platform/avi/container.h"

#include <algorithm>
#include <cctype>

#include "platform/path_names.h"

namespace skorva::avi {
namespace {

std::string lowerExtension(const std::string& path) {
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || dot < fileNameStart(path)) {
        return {};
    }
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

}  // namespace

std::optional<Container> containerOfExtension(const std::string& path) {
    const std::string extension = lowerExtension(path);
    if (extension == ".avi") {
        return Container::Avi;
    }
    if (extension == ".mp4") {
        return Container::Mp4;
    }
    if (extension == ".mkv") {
        return Container::Matroska;
    }
    return std::nullopt;
}

Container containerOfName(const std::string& path) {
    return containerOfExtension(path).value_or(Container::Avi);
}

const char* containerName(Container container) {
    switch (container) {
        case Container::Mp4:
            return "MP4";
        case Container::Matroska:
            return "Matroska";
        case Container::Avi:
            break;
    }
    return "AVI";
}

const char* muxerName(Container container) {
    switch (container) {
        case Container::Mp4:
            return "mp4";
        case Container::Matroska:
            return "matroska";
        case Container::Avi:
            break;
    }
    return "avi";
}

std::vector<Codec> codecsFor(Container container) {
    std::vector<Codec> held;
    for (const Codec& codec : availableCodecs()) {
        if (containerHolds(container, codec)) {
            held.push_back(codec);
        }
    }
    return held;
}

std::string notOfferedLine(Container container) {
    std::string names;
    for (const Codec& codec : availableCodecs()) {
        if (!containerHolds(container, codec)) {
            names += (names.empty() ? "" : ", ") + std::string(codec.displayName);
        }
    }
    return names.empty() ? std::string()
                         : "Not offered for " + std::string(containerName(container)) + ": " + names + ".";
}

}  // namespace skorva::avi
