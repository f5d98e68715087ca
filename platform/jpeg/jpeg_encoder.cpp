#include "platform/jpeg/jpeg_encoder.h"

#include <turbojpeg.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace skorva {
namespace {

int librarySubsampling(JpegSubsampling subsampling) {
    switch (subsampling) {
        case JpegSubsampling::Full444:
            return TJSAMP_444;
        case JpegSubsampling::Half422:
            return TJSAMP_422;
        case JpegSubsampling::Grey:
            return TJSAMP_GRAY;
        case JpegSubsampling::Quarter420:
            break;
    }
    return TJSAMP_420;
}

int libraryPixelFormat(JpegPixels format) {
    switch (format) {
        case JpegPixels::Bgrx:
            return TJPF_BGRX;
        case JpegPixels::Rgb:
            return TJPF_RGB;
        case JpegPixels::Bgr:
            break;
    }
    return TJPF_BGR;
}

}  // namespace

std::optional<std::uint64_t> jpegWorstCaseSize(std::int32_t width, std::int32_t height,
                                               JpegSubsampling subsampling) {
    const unsigned long size = tjBufSize(width, height, librarySubsampling(subsampling));
    if (size == static_cast<unsigned long>(-1)) {
        return std::nullopt;
    }
    return size;
}

void JpegEncoder::HandleDestroy::operator()(void* handle) const {
    tjDestroy(handle);
}

void JpegEncoder::BufferFree::operator()(unsigned char* buffer) const {
    tjFree(buffer);
}

JpegEncoder::JpegEncoder() : handle_(tjInitCompress()) {}

JpegEncoder::~JpegEncoder() = default;

Status JpegEncoder::ready() const {
    if (!handle_) {
        // Without a handle the library keeps the reason in its global error text.
        return Status::failure(tjGetErrorStr2(nullptr));
    }
    return {};
}

Status JpegEncoder::reserve(std::int32_t width, std::int32_t height, JpegSubsampling subsampling) {
    const std::optional<std::uint64_t> needed = jpegWorstCaseSize(width, height, subsampling);
    if (!needed) {
        // A size the library refuses; it keeps the reason in its global error text.
        return Status::failure(tjGetErrorStr2(nullptr));
    }
    // tjAlloc takes an int: a frame whose worst-case JPEG would not fit one cannot have its buffer.
    if (*needed > static_cast<std::uint64_t>(INT_MAX)) {
        return Status::failure(std::strerror(ENOMEM));
    }
    if (*needed > capacity_) {
        buffer_.reset();
        capacity_ = 0;
        size_ = 0;
        buffer_.reset(tjAlloc(static_cast<int>(*needed)));
        if (!buffer_) {
            return Status::failure(std::strerror(ENOMEM));
        }
        capacity_ = static_cast<std::size_t>(*needed);
    }
    return {};
}

Status JpegEncoder::encode(const JpegInput& input, JpegSubsampling subsampling, int quality) {
    size_ = 0;
    if (Status status = ready(); !status) {
        return status;
    }
    if (Status status = reserve(input.width, input.height, subsampling); !status) {
        return status;
    }
    unsigned char* output = buffer_.get();
    unsigned long size = capacity_;
    const int flags = TJFLAG_NOREALLOC | (input.bottomUp ? TJFLAG_BOTTOMUP : 0);
    if (tjCompress2(handle_.get(), input.pixels, input.width, input.pitch, input.height,
                    libraryPixelFormat(input.format), &output, &size, librarySubsampling(subsampling),
                    quality, flags) != 0) {
        return Status::failure(tjGetErrorStr2(handle_.get()));
    }
    size_ = size;
    return {};
}

}  // namespace skorva
