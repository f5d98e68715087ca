#include "imaging/save_jpg.h"

#include <climits>
#include <span>

#include "imaging/replace_file.h"
#include "imaging/turbojpeg_handle.h"
#include "platform/message_box.h"

namespace skorva {
namespace {

constexpr int kTurboJpegFailure = -1;

// One compressor and one output buffer per thread, kept for the thread's life: SaveJPG runs for every
// captured frame, and setting up an encoder and a worst-case buffer each time would cost more than the
// encoding of a small frame.
struct Encoder {
    TurboJpegHandle handle;
    TurboJpegBuffer buffer;
    unsigned long capacity = 0;
};

Encoder& threadEncoder() {
    thread_local Encoder encoder;
    if (!encoder.handle) {
        encoder.handle.reset(tjInitCompress());
    }
    return encoder;
}

// A buffer that holds the largest JPEG of this size, so that the encoder never has to grow it.
bool reserve(Encoder& encoder, int width, int height) {
    const unsigned long needed = tjBufSize(width, height, TJSAMP_420);
    if (needed == static_cast<unsigned long>(-1) || needed > static_cast<unsigned long>(INT_MAX)) {
        return false;
    }
    if (needed > encoder.capacity) {
        encoder.buffer.reset();
        encoder.capacity = 0;
        encoder.buffer.reset(tjAlloc(static_cast<int>(needed)));
        if (!encoder.buffer) {
            return false;
        }
        encoder.capacity = needed;
    }
    return true;
}

void writeFailed() {
    MsgBox("Failed to save to JPG, seems webcam window is closed or no space left.",
           MessageIcon::Exclamation);
}

}  // namespace

bool SaveJPG(const cDIBSection& section, const std::string& fileName, std::int32_t quality) {
    Encoder& encoder = threadEncoder();
    if (!encoder.handle) {
        MsgBox("Failed to initialise the IJL library: " + std::to_string(kTurboJpegFailure),
               MessageIcon::Exclamation);
        return false;
    }
    const std::int32_t width = section.Width();
    const std::int32_t height = section.Height();
    const std::uint8_t* bits = section.DIBSectionBitsPtr();
    const std::int32_t pitch = section.BytesPerScanLine();
    // A closed viewer window leaves a section without pixels: nothing to encode.
    if (bits == nullptr || width <= 0 || height <= 0 || fileName.empty() ||
        !reserve(encoder, width, height)) {
        writeFailed();
        return false;
    }
    // The section's memory starts with the bottom row; TJFLAG_BOTTOMUP makes the JPEG upright, and the
    // pitch steps over the row padding, so the encoder reads the section in place.
    unsigned char* output = encoder.buffer.get();
    unsigned long size = encoder.capacity;
    if (tjCompress2(encoder.handle.get(), bits, width, pitch, height, TJPF_BGR, &output, &size, TJSAMP_420,
                    quality, TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC) != 0) {
        writeFailed();
        return false;
    }
    // No fsync: a frame that a power cut loses is not worth a disk flush every second; what must never
    // happen, a truncated frame left after a failed write, the write-and-rename already rules out.
    if (!replaceFile(fileName, std::span<const std::uint8_t>(output, size))) {
        writeFailed();
        return false;
    }
    return true;
}

}  // namespace skorva
