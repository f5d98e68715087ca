#include "platform/avi/container.h"

#include <algorithm>
#include <cctype>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
}

namespace skorva::avi {
namespace {

std::string lowerExtension(const std::string& path) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
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

const AVOutputFormat* muxerOf(Container container) {
    // The first muxer of the name, as a look-up by name finds it, without scoring every muxer there is
    // for a file name and type that are not given: that visits all of them, which costs a first write
    // a fraction of a millisecond.
    void* at = nullptr;
    while (const AVOutputFormat* muxer = av_muxer_iterate(&at)) {
        if (av_match_name(muxerName(container), muxer->name) != 0) {
            return muxer;
        }
    }
    return nullptr;
}

bool containerHolds(Container container, const Codec& codec) {
    if (container == Container::Avi) {
        return true;
    }
    if (codec.fourcc == 0) {
        return false;
    }
    const AVOutputFormat* muxer = muxerOf(container);
    return muxer != nullptr &&
           avformat_query_codec(muxer, static_cast<AVCodecID>(codec.codecId), FF_COMPLIANCE_NORMAL) == 1;
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
