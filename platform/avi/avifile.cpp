#include "platform/avi/avifile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/avi/codecs.h"
#include "platform/avi/movie_output.h"
#include "platform/services.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <turbojpeg.h>

namespace skorva::avi {
namespace {

struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct BufferUnref {
    void operator()(AVBufferRef* buffer) const { av_buffer_unref(&buffer); }
};
struct SwsFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct DictionaryFree {
    void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};
// The muxer writes through a MovieOutput, which outlives it and closes the file itself.
struct FormatContextFree {
    void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextFree>;
struct TurboJpegDestroy {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct TurboJpegFree {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};
using TurboJpegPtr = std::unique_ptr<void, TurboJpegDestroy>;
using TurboJpegBuffer = std::unique_ptr<unsigned char, TurboJpegFree>;

constexpr std::uint32_t kVids = makeFourcc("vids");
constexpr std::int32_t kBiRgb = 0;

// The BITMAPINFOHEADER fields the library needs, read field by field (little-endian).
struct BitmapFormat {
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: rows top-down
    std::int32_t bitCount = 0;
    std::int64_t stride = 0;
    std::int64_t frameBytes = 0;
};

std::uint32_t readU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t readU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool parseFormat(const void* lpFormat, std::int32_t cbFormat, BitmapFormat& format) {
    if (lpFormat == nullptr || cbFormat < 40) {
        return false;
    }
    const auto* p = static_cast<const std::uint8_t*>(lpFormat);
    const auto size = static_cast<std::int32_t>(readU32(p));
    format.width = static_cast<std::int32_t>(readU32(p + 4));
    format.height = static_cast<std::int32_t>(readU32(p + 8));
    const std::uint16_t planes = readU16(p + 12);
    format.bitCount = readU16(p + 14);
    const auto compression = static_cast<std::int32_t>(readU32(p + 16));
    if (size < 40 || size > cbFormat || planes != 1 || compression != kBiRgb ||
        (format.bitCount != 24 && format.bitCount != 32) || format.width <= 0 || format.height == 0 ||
        format.width > kMovieFrameSideLimit || format.height > kMovieFrameSideLimit ||
        format.height < -kMovieFrameSideLimit) {
        return false;
    }
    format.stride = (static_cast<std::int64_t>(format.width) * format.bitCount + 31) / 32 * 4;
    format.frameBytes = format.stride * std::abs(static_cast<std::int64_t>(format.height));
    return true;
}

std::string libraryText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

// One open movie file: the muxer and its single video stream, written to a file of its own that takes
// the movie's name when it is finished.
struct FileState {
    std::unique_ptr<MovieOutput> output;
    FormatContextPtr context;    // freed before the output it writes to
    AVStream* stream = nullptr;  // made when the first stream's format is set
    bool headerWritten = false;
    bool hasStream = false;
    bool finished = false;
    std::int64_t samples = 0;     // handed to the muxer and taken
    std::vector<bool> keyFrames;  // of every sample handed to the muxer, in order

    ~FileState() {
        if (!finished) {
            try {
                finish();
            } catch (const std::exception&) {
                // A release cannot report: a movie that could not be finished is not left behind.
            }
        }
    }

    // Muxes one packet; false when the movie could not take it.
    bool write(AVPacket* packet) {
        keyFrames.push_back((packet->flags & AV_PKT_FLAG_KEY) != 0);
        const int written = av_write_frame(context.get(), packet);
        if (written < 0) {
            output->fail(libraryText(written));
            return false;
        }
        ++samples;
        return true;
    }

    MovieFileEnd finish() {
        finished = true;
        MovieFileEnd end;
        if (!headerWritten) {
            end.reason = output->failure();
            output->discard();
        } else {
            // The index and the header's counts are written last; libavformat switches to OpenDML by
            // itself when the file grows past 1 GiB.
            if (output->failure().empty()) {
                if (const int trailer = av_write_trailer(context.get()); trailer < 0) {
                    output->fail(libraryText(trailer));
                }
            }
            context.reset();
            const MoviePlacement placement = output->finish(samples, keyFrames);
            end.frames = placement.frames;
            end.savedAs = placement.savedAs;
            end.reason = placement.failure;
        }
        end.result = end.reason.empty() ? AVIERR_OK : AVIERR_FILEWRITE;
        return end;
    }
};

// A stream handle. A source stream writes full frames; a compressed stream made over it encodes them.
struct StreamState {
    std::shared_ptr<FileState> file;
    std::shared_ptr<StreamState> source;  // set for a compressed stream
    AVISTREAMINFO info;
    const Codec* codec = nullptr;  // null or full frames: no encoder
    std::uint32_t tag = 0;
    CompressOptions options;
    CodecContextPtr encoder;
    // Motion JPEG by TurboJPEG: one JPEG a frame into a buffer big enough for any frame of this size.
    TurboJpegPtr jpeg;
    TurboJpegBuffer jpegBuffer;
    int jpegQuality = 0;
    SwsPtr scaler;
    FramePtr picture;
    PacketPtr packet;
    BitmapFormat format;
    bool formatSet = false;
    std::int64_t nextPosition = 0;
    std::vector<std::uint8_t> flipped;  // top-down full frames turned bottom-up
    std::vector<std::uint8_t> padded;   // the frame handed to libswscale, with room to read past its end
    // An encoder that takes only even sizes gets the last column and row once more.
    int padRight = 0;
    int padBottom = 0;
    bool drained = false;

    ~StreamState() { finishEncoding(); }

    // Hands the encoder's last frames to the file, once.
    void finishEncoding() {
        if (encoder && formatSet && !drained && file && file->headerWritten && !file->finished) {
            drain(nullptr);
        }
        drained = true;
    }

    AVRational timeBase() const {
        return AVRational{static_cast<int>(info.dwScale), static_cast<int>(info.dwRate)};
    }

    // Muxes one key-frame sample as it stands: full frames, or a JPEG made here.
    std::int32_t writeSample(const std::uint8_t* data, std::int64_t length, std::int64_t position) {
        if (!packet) {
            packet.reset(av_packet_alloc());
            if (!packet) {
                return AVIERR_MEMORY;
            }
        }
        // The muxer takes the bytes without a copy: av_write_frame does not keep the packet.
        AVPacket* sample = packet.get();
        sample->data = const_cast<std::uint8_t*>(data);
        sample->size = static_cast<int>(length);
        sample->stream_index = file->stream->index;
        sample->pts = av_rescale_q(position, timeBase(), file->stream->time_base);
        sample->dts = sample->pts;
        sample->duration = av_rescale_q(1, timeBase(), file->stream->time_base);
        sample->flags = AV_PKT_FLAG_KEY;
        sample->pos = -1;
        const bool written = file->write(sample);
        sample->data = nullptr;
        sample->size = 0;
        return written ? AVIERR_OK : AVIERR_FILEWRITE;
    }

    // Sends a frame (null: end of stream) and muxes every packet the encoder gives back.
    std::int32_t drain(const AVFrame* frame) {
        if (avcodec_send_frame(encoder.get(), frame) < 0) {
            return AVIERR_COMPRESSOR;
        }
        for (;;) {
            const int received = avcodec_receive_packet(encoder.get(), packet.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
                return AVIERR_OK;
            }
            if (received < 0) {
                return AVIERR_COMPRESSOR;
            }
            packet->stream_index = file->stream->index;
            av_packet_rescale_ts(packet.get(), encoder->time_base, file->stream->time_base);
            const bool written = file->write(packet.get());
            av_packet_unref(packet.get());
            if (!written) {
                return AVIERR_FILEWRITE;
            }
        }
    }
};

struct Registry {
    std::mutex mutex;
    int uses = 0;
    std::uint32_t lastHandle = 0;
    std::map<PAVIFILE, std::shared_ptr<FileState>> files;
    std::map<PAVISTREAM, std::shared_ptr<StreamState>> streams;

    std::uint32_t newHandle() {
        do {
            ++lastHandle;
        } while (lastHandle == 0 || files.count(lastHandle) != 0 || streams.count(lastHandle) != 0);
        return lastHandle;
    }
    std::shared_ptr<StreamState> stream(PAVISTREAM handle) {
        const auto found = streams.find(handle);
        return found == streams.end() ? nullptr : found->second;
    }
};

Registry& registry() {
    static Registry instance;
    return instance;
}

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

std::int32_t openEncoder(StreamState& stream) {
    const Codec& codec = *stream.codec;
    const AVCodec* encoder = avcodec_find_encoder_by_name(codec.encoder);
    if (encoder == nullptr) {
        return AVIERR_NOCOMPRESSOR;
    }
    CodecContextPtr context(avcodec_alloc_context3(encoder));
    if (!context) {
        return AVIERR_MEMORY;
    }
    const Rect& frame = stream.info.rcFrame;
    // H.264 in 4:2:0 has no odd sizes, not even by cropping, and recordings often have an odd side: the
    // encoder gets the last column or row once more.
    if (codec.evenSize) {
        stream.padRight = (frame.right - frame.left) & 1;
        stream.padBottom = (frame.bottom - frame.top) & 1;
    }
    context->width = frame.right - frame.left + stream.padRight;
    context->height = frame.bottom - frame.top + stream.padBottom;
    context->pix_fmt = encoderInputFormat(encoder, codec);
    context->time_base = stream.timeBase();
    context->framerate = av_inv_q(context->time_base);
    // AVI has no room for reordered frames.
    context->max_b_frames = 0;
    context->thread_count = 0;
    if (stream.options.keyFrameEvery > 0) {
        context->gop_size = static_cast<int>(stream.options.keyFrameEvery);
    } else if (codec.intraOnly) {
        // Some intra coders (FFV1) still carry state between frames unless every frame starts a group.
        context->gop_size = 1;
    }
    if (stream.options.bytesPerSecond > 0) {
        context->bit_rate = static_cast<std::int64_t>(stream.options.bytesPerSecond) * 8;
    }
    AVDictionary* rawSettings = nullptr;
    if (codec.encoderOptions[0] != '\0') {
        av_dict_parse_string(&rawSettings, codec.encoderOptions, "=", ":", 0);
    }
    applyQuality(context.get(), codec, stream.options.quality, &rawSettings);
    std::unique_ptr<AVDictionary, DictionaryFree> settings(rawSettings);
    AVDictionary* remaining = settings.release();
    const int opened = avcodec_open2(context.get(), encoder, &remaining);
    settings.reset(remaining);
    if (opened < 0) {
        return AVIERR_COMPRESSOR;
    }
    FramePtr picture(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!picture || !packet) {
        return AVIERR_MEMORY;
    }
    picture->format = context->pix_fmt;
    picture->width = context->width;
    picture->height = context->height;
    if (av_frame_get_buffer(picture.get(), 0) < 0) {
        return AVIERR_MEMORY;
    }
    stream.encoder = std::move(context);
    stream.picture = std::move(picture);
    stream.packet = std::move(packet);
    return AVIERR_OK;
}

// Quality 0..10000 of the dialog onto TurboJPEG's 1..100; 0 takes 75, a common default for JPEG.
int jpegQualityFor(std::uint32_t quality) {
    if (quality == 0) {
        return 75;
    }
    return static_cast<int>(std::clamp<std::uint32_t>((quality + 50) / 100, 1, 100));
}

// Motion JPEG without libavcodec and libswscale: TurboJPEG reads the DIB rows as they are, bottom-up and
// padded, and its SIMD colour conversion and DCT cost a fraction of the general path.
std::int32_t openJpegEncoder(StreamState& stream) {
    TurboJpegPtr jpeg(tjInitCompress());
    if (!jpeg) {
        return AVIERR_COMPRESSOR;
    }
    const Rect& frame = stream.info.rcFrame;
    const unsigned long capacity = tjBufSize(frame.right - frame.left, frame.bottom - frame.top, TJSAMP_420);
    // tjAlloc takes an int: a frame whose worst-case JPEG would not fit one is too large.
    if (capacity == static_cast<unsigned long>(-1) || capacity > static_cast<unsigned long>(INT_MAX)) {
        return AVIERR_BADSIZE;
    }
    TurboJpegBuffer buffer(tjAlloc(static_cast<int>(capacity)));
    PacketPtr packet(av_packet_alloc());
    if (!buffer || !packet) {
        return AVIERR_MEMORY;
    }
    stream.jpeg = std::move(jpeg);
    stream.jpegBuffer = std::move(buffer);
    stream.jpegQuality = jpegQualityFor(stream.options.quality);
    stream.packet = std::move(packet);
    return AVIERR_OK;
}

// Lays the frame's rows out top-down in the stream's padded block with the last column and row repeated
// where the encoder needs an even size. The stride of the laid-out rows.
std::int64_t padRows(StreamState& stream, const std::uint8_t* rows) {
    const BitmapFormat& format = stream.format;
    const std::int32_t height = std::abs(format.height);
    const std::int64_t pixelBytes = format.bitCount / 8;
    const std::int64_t rowBytes = pixelBytes * format.width;
    const std::int64_t stride = (rowBytes + pixelBytes * stream.padRight + 15) / 16 * 16;
    const auto blockBytes =
        static_cast<std::size_t>(stride * (height + stream.padBottom)) + AV_INPUT_BUFFER_PADDING_SIZE;
    if (stream.padded.size() != blockBytes) {
        stream.padded.assign(blockBytes, 0);
    }
    for (std::int32_t y = 0; y < height + stream.padBottom; ++y) {
        const std::int32_t from = std::min(y, height - 1);
        const std::uint8_t* source = rows + format.stride * (format.height > 0 ? height - 1 - from : from);
        std::uint8_t* row = stream.padded.data() + stride * y;
        std::memcpy(row, source, static_cast<std::size_t>(rowBytes));
        for (int extra = 0; extra < stream.padRight; ++extra) {
            std::memcpy(row + rowBytes + pixelBytes * extra, source + rowBytes - pixelBytes,
                        static_cast<std::size_t>(pixelBytes));
        }
    }
    return stride;
}

// Adds the file's one video stream and writes the header, now that format and compressor are known.
std::int32_t startMovie(StreamState& stream) {
    FileState& file = *stream.file;
    AVStream* video = avformat_new_stream(file.context.get(), nullptr);
    if (video == nullptr) {
        return AVIERR_MEMORY;
    }
    video->time_base = stream.timeBase();
    video->avg_frame_rate = av_inv_q(video->time_base);
    std::unique_ptr<AVDictionary, DictionaryFree> settings;
    if (stream.encoder) {
        if (avcodec_parameters_from_context(video->codecpar, stream.encoder.get()) < 0) {
            return AVIERR_MEMORY;
        }
        video->codecpar->codec_tag = stream.tag;
    } else if (stream.jpeg) {
        video->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
        video->codecpar->codec_id = AV_CODEC_ID_MJPEG;
        video->codecpar->codec_tag = stream.tag;
        video->codecpar->format = AV_PIX_FMT_YUVJ420P;
        video->codecpar->color_range = AVCOL_RANGE_JPEG;
        video->codecpar->bits_per_coded_sample = 24;
        video->codecpar->width = stream.format.width;
        video->codecpar->height = std::abs(stream.format.height);
    } else {
        // Full frames are the DIB rows as handed over: bottom-up, so the header keeps a positive height.
        video->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
        video->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
        video->codecpar->codec_tag = 0;
        video->codecpar->format = stream.format.bitCount == 32 ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_BGR24;
        video->codecpar->bits_per_coded_sample = stream.format.bitCount;
        video->codecpar->width = stream.format.width;
        video->codecpar->height = std::abs(stream.format.height);
        AVDictionary* raw = nullptr;
        av_dict_set(&raw, "flipped_raw_rgb", "1", 0);
        settings.reset(raw);
    }
    file.stream = video;
    AVDictionary* remaining = settings.release();
    const int written = avformat_write_header(file.context.get(), &remaining);
    settings.reset(remaining);
    if (written < 0) {
        return AVIERR_FILEWRITE;
    }
    file.headerWritten = true;
    return AVIERR_OK;
}

}  // namespace

void AVIFileInit() {
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    if (all.uses++ == 0) {
        av_log_set_level(AV_LOG_ERROR);
    }
}

void AVIFileExit() {
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    if (all.uses > 0) {
        --all.uses;
    }
}

std::int32_t AVIFileOpen(PAVIFILE* ppfile, const std::string& szFile, std::uint32_t uMode,
                         const void* lpHandler) {
    if (ppfile == nullptr) {
        return AVIERR_BADPARAM;
    }
    *ppfile = 0;
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    if (all.uses == 0) {
        return AVIERR_ERROR;
    }
    if (lpHandler != nullptr) {
        return AVIERR_NOCOMPRESSOR;
    }
    if (uMode != (OF_WRITE | OF_CREATE)) {
        return AVIERR_UNSUPPORTED;
    }
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "avi", nullptr) < 0 || raw == nullptr) {
        return AVIERR_MEMORY;
    }
    FormatContextPtr context(raw);
    auto file = std::make_shared<FileState>();
    // A new hidden file beside the name: an earlier movie of that name stays until this one is finished.
    file->output = MovieOutput::create(szFile);
    if (!file->output) {
        file->finished = true;
        return AVIERR_FILEOPEN;
    }
    context->pb = file->output->io();
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    file->context = std::move(context);
    const PAVIFILE handle = all.newHandle();
    all.files.emplace(handle, std::move(file));
    *ppfile = handle;
    return AVIERR_OK;
}

std::uint32_t mmioStringToFOURCC(const std::string& sz, std::uint32_t uFlags) {
    char code[4] = {' ', ' ', ' ', ' '};
    for (std::size_t i = 0; i < 4 && i < sz.size(); ++i) {
        const char c = sz[i];
        code[i] =
            (uFlags & MMIO_TOUPPER) != 0 ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    }
    return makeFourcc({code[0], code[1], code[2], code[3], '\0'});
}

std::int32_t AVIFileCreateStream(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFO* psi) {
    if (ppavi == nullptr || psi == nullptr) {
        return AVIERR_BADPARAM;
    }
    *ppavi = 0;
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    const auto found = all.files.find(pfile);
    if (found == all.files.end()) {
        return AVIERR_BADHANDLE;
    }
    if (psi->fccType != kVids || found->second->hasStream) {
        return AVIERR_UNSUPPORTED;
    }
    const Rect& frame = psi->rcFrame;
    if (psi->dwScale == 0 || psi->dwRate == 0 || psi->dwScale > 0x7FFFFFFF || psi->dwRate > 0x7FFFFFFF ||
        frame.right <= frame.left || frame.bottom <= frame.top) {
        return AVIERR_BADPARAM;
    }
    auto stream = std::make_shared<StreamState>();
    stream->file = found->second;
    stream->info = *psi;
    found->second->hasStream = true;
    const PAVISTREAM handle = all.newHandle();
    all.streams.emplace(handle, std::move(stream));
    *ppavi = handle;
    return AVIERR_OK;
}

std::int32_t AVISaveOptions(WindowHandle hwnd, std::uint32_t uiFlags, std::int32_t nStreams,
                            PAVISTREAM* ppavi, AVICOMPRESSOPTIONS** plpOptions) {
    if (nStreams < 1 || ppavi == nullptr || plpOptions == nullptr || plpOptions[0] == nullptr) {
        return 0;
    }
    {
        Registry& all = registry();
        const std::lock_guard lock(all.mutex);
        if (!all.stream(ppavi[0])) {
            return 0;
        }
    }
    // The dialog runs its own event loop: no lock is held while it is up.
    AVICOMPRESSOPTIONS chosen = *plpOptions[0];
    // The dialog knows codes by the codec they stand for: an alias names its codec.
    const Codec* initial = findCodec(chosen.fccHandler);
    chosen.fccHandler = initial != nullptr ? initial->fourcc : 0;
    std::vector<OfferedCodec> offered;
    for (const Codec& codec : availableCodecs()) {
        offered.push_back(
            OfferedCodec{codec.fourcc, codec.displayName, codec.goodFor, codec.hasQuality, codec.intraOnly});
    }
    if (!services().codecChooser->choose(hwnd, uiFlags, offered, chosen)) {
        return 0;
    }
    chosen.fccType = kVids;
    *plpOptions[0] = chosen;
    return 1;
}

std::int32_t AVISaveOptionsFree(std::int32_t nStreams, AVICOMPRESSOPTIONS** plpOptions) {
    // The options hold no memory of the library's own.
    return nStreams >= 0 && (nStreams == 0 || plpOptions != nullptr) ? AVIERR_OK : AVIERR_BADPARAM;
}

std::int32_t AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM ppsSource,
                                     const AVICOMPRESSOPTIONS* lpOptions, const void* pclsidHandler) {
    if (ppsCompressed == nullptr || lpOptions == nullptr) {
        return AVIERR_BADPARAM;
    }
    *ppsCompressed = 0;
    if (pclsidHandler != nullptr) {
        return AVIERR_NOCOMPRESSOR;
    }
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    const std::shared_ptr<StreamState> source = all.stream(ppsSource);
    if (!source || source->source) {
        return AVIERR_BADHANDLE;
    }
    const Codec* codec = findCodec(lpOptions->fccHandler);
    if (codec == nullptr) {
        return AVIERR_NOCOMPRESSOR;
    }
    auto stream = std::make_shared<StreamState>();
    stream->file = source->file;
    stream->source = source;
    stream->info = source->info;
    stream->options = *lpOptions;
    stream->codec = codec;
    stream->tag = codec->fourcc == 0 ? 0 : lpOptions->fccHandler;
    if (codec->fourcc != 0) {
        const bool jpeg = codec->turboJpeg && lpOptions->bytesPerSecond == 0;
        if (const std::int32_t opened = jpeg ? openJpegEncoder(*stream) : openEncoder(*stream);
            opened != AVIERR_OK) {
            return opened;
        }
    }
    const PAVISTREAM handle = all.newHandle();
    all.streams.emplace(handle, std::move(stream));
    *ppsCompressed = handle;
    return AVIERR_OK;
}

std::int32_t AVIStreamSetFormat(PAVISTREAM pavi, std::int32_t lPos, const void* lpFormat,
                                std::int32_t cbFormat) {
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    const std::shared_ptr<StreamState> stream = all.stream(pavi);
    if (!stream) {
        return AVIERR_BADHANDLE;
    }
    BitmapFormat format;
    if (!parseFormat(lpFormat, cbFormat, format)) {
        return AVIERR_BADFORMAT;
    }
    // One format per movie, set before the first frame.
    if (lPos != 0 || stream->formatSet || stream->file->headerWritten) {
        return AVIERR_UNSUPPORTED;
    }
    const Rect& frame = stream->info.rcFrame;
    if (format.width != frame.right - frame.left || std::abs(format.height) != frame.bottom - frame.top) {
        return AVIERR_BADFORMAT;
    }
    stream->format = format;
    if (stream->encoder) {
        const AVPixelFormat input = format.bitCount == 32 ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_BGR24;
        // Sliced over two threads: the conversion is the larger part of the writer's own work per frame.
        stream->scaler.reset(sws_alloc_context());
        SwsContext* scaler = stream->scaler.get();
        if (scaler != nullptr) {
            av_opt_set_int(scaler, "srcw", format.width + stream->padRight, 0);
            av_opt_set_int(scaler, "srch", std::abs(format.height) + stream->padBottom, 0);
            av_opt_set_pixel_fmt(scaler, "src_format", input, 0);
            av_opt_set_int(scaler, "dstw", stream->encoder->width, 0);
            av_opt_set_int(scaler, "dsth", stream->encoder->height, 0);
            av_opt_set_pixel_fmt(scaler, "dst_format", stream->encoder->pix_fmt, 0);
            av_opt_set_int(scaler, "sws_flags", SWS_BILINEAR, 0);
            av_opt_set_int(scaler, "threads", 2, 0);
            if (sws_init_context(scaler, nullptr, nullptr) < 0) {
                stream->scaler.reset();
            }
        }
        if (!stream->scaler) {
            return AVIERR_COMPRESSOR;
        }
    }
    if (const std::int32_t started = startMovie(*stream); started != AVIERR_OK) {
        return started;
    }
    stream->formatSet = true;
    return AVIERR_OK;
}

std::int32_t AVIStreamWrite(PAVISTREAM pavi, std::int32_t lStart, std::int32_t lSamples, const void* lpBuffer,
                            std::int32_t cbBuffer, std::uint32_t dwFlags, std::int32_t* plSampWritten,
                            std::int32_t* plBytesWritten) {
    if (plSampWritten != nullptr) {
        *plSampWritten = 0;
    }
    if (plBytesWritten != nullptr) {
        *plBytesWritten = 0;
    }
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    const std::shared_ptr<StreamState> stream = all.stream(pavi);
    if (!stream) {
        return AVIERR_BADHANDLE;
    }
    if (!stream->formatSet) {
        return AVIERR_BADFORMAT;
    }
    if (lSamples != 1 || lStart < stream->nextPosition || lpBuffer == nullptr) {
        return AVIERR_BADPARAM;
    }
    // A sample shorter than one frame of the format would be read past its end.
    if (cbBuffer < stream->format.frameBytes) {
        return AVIERR_BADSIZE;
    }
    const auto* rows = static_cast<const std::uint8_t*>(lpBuffer);
    const BitmapFormat& format = stream->format;
    const std::int32_t height = std::abs(format.height);
    std::int32_t result = AVIERR_OK;
    if (stream->encoder) {
        AVFrame* picture = stream->picture.get();
        // A threaded encoder may still hold the last frame: take a fresh buffer rather than a copy of it,
        // since every pixel is about to be written anyway.
        if (!av_frame_is_writable(picture)) {
            const int pixelFormat = picture->format;
            const int width = picture->width;
            const int frameHeight = picture->height;
            av_frame_unref(picture);
            picture->format = pixelFormat;
            picture->width = width;
            picture->height = frameHeight;
            if (av_frame_get_buffer(picture, 0) < 0) {
                return AVIERR_MEMORY;
            }
        }
        // libswscale's vector code reads up to 16 bytes past the end of a row, and the caller's block ends
        // with its last row: the rows go into a block with FFmpeg's input padding behind it first.
        const std::uint8_t* copy = nullptr;
        std::int64_t sourceStride = format.stride;
        if (stream->padRight == 0 && stream->padBottom == 0) {
            const auto frameBytes = static_cast<std::size_t>(format.frameBytes);
            if (stream->padded.size() != frameBytes + AV_INPUT_BUFFER_PADDING_SIZE) {
                stream->padded.assign(frameBytes + AV_INPUT_BUFFER_PADDING_SIZE, 0);
            }
            std::memcpy(stream->padded.data(), rows, frameBytes);
            copy = stream->padded.data();
            // Bottom-up rows are read top-down by starting at the last one with a negative stride.
            if (format.height > 0) {
                copy += format.stride * (height - 1);
                sourceStride = -format.stride;
            }
        } else {
            sourceStride = padRows(*stream, rows);
            copy = stream->padded.data();
        }
        FramePtr source(av_frame_alloc());
        std::unique_ptr<AVBufferRef, BufferUnref> lent(av_buffer_create(
            stream->padded.data(), stream->padded.size(), [](void*, std::uint8_t*) {}, nullptr,
            AV_BUFFER_FLAG_READONLY));
        if (!source || !lent) {
            return AVIERR_MEMORY;
        }
        source->buf[0] = lent.release();
        source->data[0] = const_cast<std::uint8_t*>(copy);
        source->linesize[0] = static_cast<int>(sourceStride);
        source->width = format.width + stream->padRight;
        source->height = height + stream->padBottom;
        source->format = format.bitCount == 32 ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_BGR24;
        if (sws_scale_frame(stream->scaler.get(), picture, source.get()) < 0) {
            return AVIERR_COMPRESSOR;
        }
        picture->pts = lStart;
        // Every sample asked for as a key frame becomes one, unless the user chose a key-frame interval.
        const bool forceKey = (dwFlags & AVIIF_KEYFRAME) != 0 && stream->options.keyFrameEvery == 0;
        picture->pict_type = forceKey ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        result = stream->drain(picture);
    } else if (stream->jpeg) {
        unsigned char* jpeg = stream->jpegBuffer.get();
        unsigned long jpegSize = 0;
        const int flags = TJFLAG_NOREALLOC | (format.height > 0 ? TJFLAG_BOTTOMUP : 0);
        if (tjCompress2(stream->jpeg.get(), rows, format.width, static_cast<int>(format.stride), height,
                        format.bitCount == 32 ? TJPF_BGRX : TJPF_BGR, &jpeg, &jpegSize, TJSAMP_420,
                        stream->jpegQuality, flags) != 0) {
            return AVIERR_COMPRESSOR;
        }
        result = stream->writeSample(jpeg, static_cast<std::int64_t>(jpegSize), lStart);
    } else {
        const std::uint8_t* sample = rows;
        std::int64_t length = cbBuffer;
        if (format.height < 0) {
            stream->flipped.resize(static_cast<std::size_t>(format.frameBytes));
            for (std::int32_t y = 0; y < height; ++y) {
                std::memcpy(stream->flipped.data() + format.stride * (height - 1 - y),
                            rows + format.stride * y, static_cast<std::size_t>(format.stride));
            }
            sample = stream->flipped.data();
            length = format.frameBytes;
        }
        result = stream->writeSample(sample, length, lStart);
    }
    if (result != AVIERR_OK) {
        return result;
    }
    stream->nextPosition = lStart + 1;
    if (plSampWritten != nullptr) {
        *plSampWritten = 1;
    }
    if (plBytesWritten != nullptr) {
        *plBytesWritten = cbBuffer;
    }
    return AVIERR_OK;
}

std::uint32_t AVIStreamRelease(PAVISTREAM pavi) {
    std::shared_ptr<StreamState> stream;
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    const auto found = all.streams.find(pavi);
    if (found == all.streams.end()) {
        return 0;
    }
    stream = std::move(found->second);
    all.streams.erase(found);
    const auto left = static_cast<std::uint32_t>(stream.use_count() - 1);
    stream->finishEncoding();  // a compressed stream hands its last frames to the file here
    stream.reset();
    return left;
}

std::uint32_t AVIFileRelease(PAVIFILE pfile) {
    std::shared_ptr<FileState> file;
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    const auto found = all.files.find(pfile);
    if (found == all.files.end()) {
        return 0;
    }
    file = std::move(found->second);
    all.files.erase(found);
    const auto left = static_cast<std::uint32_t>(file.use_count() - 1);
    file.reset();  // the last reference finishes a movie that AVIFileFinish did not
    return left;
}

MovieFileEnd AVIFileFinish(PAVIFILE pfile) {
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    const auto found = all.files.find(pfile);
    if (found == all.files.end() || found->second->finished) {
        return MovieFileEnd{AVIERR_BADHANDLE, {}, 0, {}};
    }
    // Streams still open hand over their last frames first.
    for (auto& [handle, stream] : all.streams) {
        if (stream->file == found->second) {
            stream->finishEncoding();
        }
    }
    return found->second->finish();
}

}  // namespace skorva::avi
