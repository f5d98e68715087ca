// The Windows program writes AVI alone: MP4 and Matroska need Media Foundation's sink writer, which is
// left out until it can be tested (Wine has no H.264 encoder for it).

#include "platform/avi/container.h"

namespace skorva::avi {

const AVOutputFormat* muxerOf(Container) {
    return nullptr;
}

bool containerHolds(Container container, const Codec&) {
    return container == Container::Avi;
}

}  // namespace skorva::avi
