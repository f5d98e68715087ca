#pragma once
// The containers a movie can be written in, AVI, MP4 and Matroska, told by the movie's file name, and
// which compressors each can hold.

#include <optional>
#include <string>
#include <vector>

#include "platform/avi/codecs.h"

struct AVOutputFormat;

namespace skorva::avi {

enum class Container { Avi, Mp4, Matroska };

// The container an extension (".avi", ".mp4", ".mkv", letter case ignored) stands for; nothing for any
// other name.
std::optional<Container> containerOfExtension(const std::string& path);
// The container a movie of that name is written in: its extension's, AVI for any other.
Container containerOfName(const std::string& path);
// As the user reads it: "AVI", "MP4", "Matroska".
const char* containerName(Container container);
// FFmpeg's muxer.
const char* muxerName(Container container);
// That muxer, or null when the installed FFmpeg lacks it.
const AVOutputFormat* muxerOf(Container container);

// Whether a movie in `container` can hold streams of `codec`. Full frames are bottom-up rows that only an
// AVI header can describe; the rest is as FFmpeg's muxer says.
bool containerHolds(Container container, const Codec& codec);
// The installed compressors `container` can hold, in the dialog's order.
std::vector<Codec> codecsFor(Container container);
// A line for the codec dialog naming the installed compressors `container` cannot hold ("Not offered for
// MP4: ..."); empty when it holds them all.
std::string notOfferedLine(Container container);

}  // namespace skorva::avi
