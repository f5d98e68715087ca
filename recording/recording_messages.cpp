#include "recording/recording_messages.h"

#include <cstdio>

#include "recording/recording_names.h"

namespace skorva {
namespace {

std::string describeWindow(const std::string& entryText, WindowHandle window) {
    char handle[16];
    std::snprintf(handle, sizeof handle, "0x%x", window);
    std::string text = "\"";
    text += shortenedForBox(entryText);
    return text + "\" (" + handle + ")";
}

std::string sizeText(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// 64 bits: the difference of two 32-bit coordinates need not fit in 32.
std::string sizeText(const Rect& outer) {
    return sizeText(std::int64_t{outer.right} - outer.left, std::int64_t{outer.bottom} - outer.top);
}

}  // namespace

Message noWebcamChosen() {
    return {"choose a webcam from the list first", MessageIcon::None};
}

Message folderNotMade(const std::string& output, const std::string& name, const std::string& reason) {
    return {
        "Cannot create the recording folder " + shortenedForBox(output + "/" + name) + ": " + reason + ".",
        MessageIcon::Exclamation};
}

Message frameTooLarge(const std::string& entryText, WindowHandle window, const Rect& outer,
                      const GrabRect& grab) {
    return {"The webcam window " + describeWindow(entryText, window) + " is " + sizeText(outer) +
                " pixels: its frames of " + sizeText(grab.width, grab.height) +
                " pixels would be larger than a movie can hold (" + std::to_string(kMovieFrameSideLimit) +
                " pixels a side). The recording stops.",
            MessageIcon::Exclamation};
}

Message noMemoryForFrame(const std::string& entryText, WindowHandle window, const Rect& outer) {
    return {"There is not enough memory for a frame of the webcam window " +
                describeWindow(entryText, window) + " (" + sizeText(outer) + " pixels). The recording stops.",
            MessageIcon::Exclamation};
}

Message frameNotMade(const std::string& entryText, WindowHandle window, const Rect& outer,
                     const std::string& what) {
    return {"A frame of the webcam window " + describeWindow(entryText, window) + " (" + sizeText(outer) +
                " pixels) could not be made: " + what + ". The recording stops.",
            MessageIcon::Exclamation};
}

Message noPicture(const std::string& entryText, WindowHandle window) {
    return {"The webcam window " + describeWindow(entryText, window) +
                " gave no picture: it seems to be closed or too small. The recording stops.",
            MessageIcon::Exclamation};
}

Message bitmapNotSaved(const std::string& path, const std::string& reason) {
    return {"Failed to save the frame " + shortenedForBox(path) + ": " + reason + ". The recording stops.",
            MessageIcon::Exclamation};
}

Message lastFrameNumberReached(std::int32_t lastFrame) {
    return {"The recording has reached frame " + frameNumberText(lastFrame) +
                ", the last frame number, and stops here. Reset starts the numbering at 0000000 again.",
            MessageIcon::Information};
}

Message leftOutLateFrames(std::int64_t count) {
    return {std::to_string(count) + (count == 1 ? " frame was" : " frames were") +
                " left out: a frame before took so long that they could not be taken within half an "
                "interval of their time.",
            MessageIcon::Information};
}

}  // namespace skorva
