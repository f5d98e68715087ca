#include "platform/avi/jpeg_copy_stream.h"

#include "platform/avi/codecs.h"
#include "platform/avi/jpeg_stream_encoder.h"
#include "platform/avi/movie.h"
#include "platform/jpeg/jpeg_markers.h"

namespace skorva::avi {

Status JpegCopyStream::prepare(const FrameFormat& format) {
    format_ = format;
    return {};
}

Status JpegCopyStream::describe(AVCodecParameters& parameters) const {
    describeMotionJpeg(parameters, kMotionJpegTag, format_);
    return {};
}

Status JpegCopyStream::encode(const std::uint8_t*, std::int64_t, bool, Movie&) {
    return Status::failure("The stream takes JPEG files, not DIB rows");
}

Status JpegCopyStream::writeSample(std::span<const std::uint8_t> sample, std::int64_t position,
                                   Movie& movie) {
    // The writer checked the file; what is plainly no whole JPEG still never reaches the movie.
    if (!isWholeJpeg(sample)) {
        return Status::failure("The sample is not a whole JPEG file");
    }
    return movie.writeSample(sample, position, frameRate_, true);
}

}  // namespace skorva::avi
