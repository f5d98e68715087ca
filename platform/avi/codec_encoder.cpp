#include "platform/avi/codec_encoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/avi/movie.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace skorva::avi {
namespace {

AVPixelFormat encoderInputFormat(const AVCodec* encoder, const Codec& codec) {
    const AVPixelFormat wanted =
        codec.pixelFormat[0] != '\0' ? av_get_pix_fmt(codec.pixelFormat) : AV_PIX_FMT_NONE;
    if (encoder->pix_fmts == nullptr) {
        return wanted != AV_PIX_FMT_NONE ? wanted : AV_PIX_FMT_YUV420P;
    }
    for (const AVPixelFormat* each = encoder->pix_fmts; *each != AV_PIX_FMT_NONE; ++each) {
        if (*each == wanted) {
            return wanted;
        }
    }
    return encoder->pix_fmts[0];
}

// Quality 1..10000 of the dialog onto the encoder's own scale; 0 leaves the codec's default.
void applyQuality(AVCodecContext* context, const Codec& codec, std::uint32_t quality,
                  AVDictionary** settings) {
    if (!codec.hasQuality || context->bit_rate > 0) {
        return;
    }
    const std::uint32_t chosen = quality == 0 ? 7500 : std::min<std::uint32_t>(quality, 10000);
    const double worse = (10000.0 - chosen) / 10000.0;
    if (std::strcmp(codec.encoder, "libx264") == 0) {
        av_dict_set_int(settings, "crf", static_cast<std::int64_t>(18 + worse * 33 + 0.5), 0);
    } else {
        // Quantiser 2 (best) to 31 (worst).
        const int quantiser = static_cast<int>(2 + worse * 29 + 0.5);
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = FF_QP2LAMBDA * quantiser;
    }
}

Status outOfMemory() {
    return Status::failure(std::strerror(ENOMEM));
}

}  // namespace

MadeEncoder CodecEncoder::make(const Codec& codec, const CompressOptions& options, std::uint32_t tag,
                               std::int32_t width, std::int32_t height, AVRational frameRate,
                               bool globalHeader) {
    const AVCodec* found = avcodec_find_encoder_by_name(codec.encoder);
    if (found == nullptr) {
        return {nullptr, EncoderTrouble::NoCompressor,
                Status::failure("No encoder " + std::string(codec.encoder))};
    }
    std::unique_ptr<CodecEncoder> encoder(new CodecEncoder);
    CodecContextPtr context(avcodec_alloc_context3(found));
    if (!context) {
        return {nullptr, EncoderTrouble::OutOfMemory, outOfMemory()};
    }
    // H.264 in 4:2:0 has no odd sizes, not even by cropping, and recordings often have an odd side: the
    // encoder gets the last column or row once more.
    if (codec.evenSize) {
        encoder->padRight_ = width & 1;
        encoder->padBottom_ = height & 1;
    }
    context->width = width + encoder->padRight_;
    context->height = height + encoder->padBottom_;
    context->pix_fmt = encoderInputFormat(found, codec);
    context->time_base = frameRate;
    context->framerate = av_inv_q(frameRate);
    // AVI has no room for reordered frames.
    context->max_b_frames = 0;
    context->thread_count = 0;
    if (globalHeader) {
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (options.keyFrameEvery > 0) {
        context->gop_size = static_cast<int>(options.keyFrameEvery);
    } else if (codec.intraOnly) {
        // Some intra coders (FFV1) still carry state between frames unless every frame starts a group.
        context->gop_size = 1;
    }
    if (options.bytesPerSecond > 0) {
        context->bit_rate = static_cast<std::int64_t>(options.bytesPerSecond) * 8;
    }
    AVDictionary* rawSettings = nullptr;
    if (codec.encoderOptions[0] != '\0') {
        av_dict_parse_string(&rawSettings, codec.encoderOptions, "=", ":", 0);
    }
    applyQuality(context.get(), codec, options.quality, &rawSettings);
    DictionaryPtr settings(rawSettings);
    AVDictionary* remaining = settings.release();
    const int opened = avcodec_open2(context.get(), found, &remaining);
    settings.reset(remaining);
    if (opened < 0) {
        return {nullptr, EncoderTrouble::Compressor, Status::failure(libraryText(opened))};
    }
    FramePtr picture(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!picture || !packet) {
        return {nullptr, EncoderTrouble::OutOfMemory, outOfMemory()};
    }
    picture->format = context->pix_fmt;
    picture->width = context->width;
    picture->height = context->height;
    if (av_frame_get_buffer(picture.get(), 0) < 0) {
        return {nullptr, EncoderTrouble::OutOfMemory, outOfMemory()};
    }
    encoder->encoder_ = std::move(context);
    encoder->picture_ = std::move(picture);
    encoder->packet_ = std::move(packet);
    encoder->tag_ = tag;
    encoder->chosenKeyFrames_ = options.keyFrameEvery > 0;
    return {std::move(encoder), EncoderTrouble::None, {}};
}

Status CodecEncoder::prepare(const FrameFormat& format) {
    format_ = format;
    const AVPixelFormat input = format.bitCount == 32 ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_BGR24;
    // One thread: the encoder and the decoding ahead keep the second core busy already, and slicing the
    // conversion over two cost more in hand-overs than it saved (3 % more CPU and 5 % less speed for H.264).
    scaler_.reset(sws_alloc_context());
    SwsContext* scaler = scaler_.get();
    if (scaler == nullptr) {
        return outOfMemory();
    }
    av_opt_set_int(scaler, "srcw", format.width + padRight_, 0);
    av_opt_set_int(scaler, "srch", format.rows() + padBottom_, 0);
    av_opt_set_pixel_fmt(scaler, "src_format", input, 0);
    av_opt_set_int(scaler, "dstw", encoder_->width, 0);
    av_opt_set_int(scaler, "dsth", encoder_->height, 0);
    av_opt_set_pixel_fmt(scaler, "dst_format", encoder_->pix_fmt, 0);
    av_opt_set_int(scaler, "sws_flags", SWS_BILINEAR, 0);
    av_opt_set_int(scaler, "threads", 1, 0);
    if (const int initialised = sws_init_context(scaler, nullptr, nullptr); initialised < 0) {
        scaler_.reset();
        return Status::failure(libraryText(initialised));
    }
    return {};
}

Status CodecEncoder::describe(AVCodecParameters& parameters) const {
    if (const int copied = avcodec_parameters_from_context(&parameters, encoder_.get()); copied < 0) {
        return Status::failure(libraryText(copied));
    }
    parameters.codec_tag = tag_;
    return {};
}

std::pair<const std::uint8_t*, std::int64_t> CodecEncoder::layOut(const std::uint8_t* rows) {
    const std::int32_t height = format_.rows();
    if (padRight_ == 0 && padBottom_ == 0) {
        const auto frameBytes = static_cast<std::size_t>(format_.frameBytes);
        if (padded_.size() != frameBytes + AV_INPUT_BUFFER_PADDING_SIZE) {
            padded_.assign(frameBytes + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        }
        std::memcpy(padded_.data(), rows, frameBytes);
        // Bottom-up rows are read top-down by starting at the last one with a negative stride.
        if (format_.bottomUp()) {
            return {padded_.data() + format_.stride * (height - 1), -format_.stride};
        }
        return {padded_.data(), format_.stride};
    }
    const std::int64_t pixelBytes = format_.bitCount / 8;
    const std::int64_t rowBytes = pixelBytes * format_.width;
    const std::int64_t stride = (rowBytes + pixelBytes * padRight_ + 15) / 16 * 16;
    const auto blockBytes =
        static_cast<std::size_t>(stride * (height + padBottom_)) + AV_INPUT_BUFFER_PADDING_SIZE;
    if (padded_.size() != blockBytes) {
        padded_.assign(blockBytes, 0);
    }
    for (std::int32_t y = 0; y < height + padBottom_; ++y) {
        const std::int32_t from = std::min(y, height - 1);
        const std::uint8_t* source = rows + format_.stride * (format_.bottomUp() ? height - 1 - from : from);
        std::uint8_t* row = padded_.data() + stride * y;
        std::memcpy(row, source, static_cast<std::size_t>(rowBytes));
        for (int extra = 0; extra < padRight_; ++extra) {
            std::memcpy(row + rowBytes + pixelBytes * extra, source + rowBytes - pixelBytes,
                        static_cast<std::size_t>(pixelBytes));
        }
    }
    return {padded_.data(), stride};
}

Status CodecEncoder::encode(const std::uint8_t* rows, std::int64_t position, bool keyFrame, Movie& movie) {
    AVFrame* picture = picture_.get();
    // A threaded encoder may still hold the last frame: take a fresh buffer rather than a copy of it,
    // since every pixel is about to be written anyway.
    if (!av_frame_is_writable(picture)) {
        const int pixelFormat = picture->format;
        const int width = picture->width;
        const int height = picture->height;
        av_frame_unref(picture);
        picture->format = pixelFormat;
        picture->width = width;
        picture->height = height;
        if (av_frame_get_buffer(picture, 0) < 0) {
            return outOfMemory();
        }
    }
    const auto [first, stride] = layOut(rows);
    FramePtr source(av_frame_alloc());
    BufferPtr lent(av_buffer_create(
        padded_.data(), padded_.size(), [](void*, std::uint8_t*) {}, nullptr, AV_BUFFER_FLAG_READONLY));
    if (!source || !lent) {
        return outOfMemory();
    }
    source->buf[0] = lent.release();
    source->data[0] = const_cast<std::uint8_t*>(first);
    source->linesize[0] = static_cast<int>(stride);
    source->width = format_.width + padRight_;
    source->height = format_.rows() + padBottom_;
    source->format = format_.bitCount == 32 ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_BGR24;
    if (const int scaled = sws_scale_frame(scaler_.get(), picture, source.get()); scaled < 0) {
        return Status::failure(libraryText(scaled));
    }
    picture->pts = position;
    // Every frame asked for as a key frame becomes one, unless the user chose a key-frame interval.
    picture->pict_type = keyFrame && !chosenKeyFrames_ ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    return drain(picture, movie);
}

Status CodecEncoder::flush(Movie& movie) {
    return drain(nullptr, movie);
}

Status CodecEncoder::drain(const AVFrame* frame, Movie& movie) {
    if (const int sent = avcodec_send_frame(encoder_.get(), frame); sent < 0) {
        return Status::failure(libraryText(sent));
    }
    for (;;) {
        const int received = avcodec_receive_packet(encoder_.get(), packet_.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return {};
        }
        if (received < 0) {
            return Status::failure(libraryText(received));
        }
        av_packet_rescale_ts(packet_.get(), encoder_->time_base, movie.timeBase());
        const Status written = movie.write(*packet_);
        av_packet_unref(packet_.get());
        if (!written) {
            return written;
        }
    }
}

}  // namespace skorva::avi
