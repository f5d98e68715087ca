#include "platform/avi/avifile.h"

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/avi/avi_handles.h"
#include "platform/avi/codecs.h"
#include "platform/avi/container.h"
#include "platform/avi/save_options.h"

extern "C" {
#include <libavutil/log.h>
}

// The AVIFile operations over the movie object and the frame encoders: handles and AVIERR results live
// here and nowhere else.

namespace skorva::avi {
namespace {

// Why this thread's last AVIFileOpen failed.
thread_local std::string openFailure;

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
    openFailure.clear();
    if (ppfile == nullptr) {
        return AVIERR_BADPARAM;
    }
    *ppfile = 0;
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    if (all.uses == 0) {
        return AVIERR_ERROR;
    }
    if (uMode != (OF_WRITE | OF_CREATE)) {
        return AVIERR_UNSUPPORTED;
    }
    const Container container =
        lpHandler != nullptr ? *static_cast<const Container*>(lpHandler) : containerOfName(szFile);
    auto file = std::make_shared<FileState>();
    Status failure;
    file->movie = Movie::create(szFile, container, failure);
    if (!file->movie) {
        openFailure = failure.ok() ? std::string() : failure.text();
        return AVIERR_FILEOPEN;
    }
    const PAVIFILE handle = all.newHandle();
    all.files.emplace(handle, std::move(file));
    *ppfile = handle;
    return AVIERR_OK;
}

std::string AVIFileOpenErrorText() {
    return openFailure;
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
    Container container = Container::Avi;
    {
        Registry& all = registry();
        const std::lock_guard lock(all.mutex);
        const std::shared_ptr<StreamState> stream = all.stream(ppavi[0]);
        if (!stream) {
            return 0;
        }
        container = stream->file->movie->container();
    }
    // The dialog runs its own event loop: no lock is held while it is up.
    return chooseCompression(hwnd, uiFlags, container, *plpOptions[0]) ? 1 : 0;
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
    const std::shared_ptr<StreamState> source = findStream(ppsSource);
    if (!source || source->source) {
        return AVIERR_BADHANDLE;
    }
    const Codec* codec = findCodec(lpOptions->fccHandler);
    if (codec == nullptr) {
        return AVIERR_NOCOMPRESSOR;
    }
    return resultOfCall([&] {
        auto stream = std::make_shared<StreamState>();
        {
            const std::lock_guard fileLock(source->file->mutex);
            if (!containerHolds(source->file->movie->container(), *codec)) {
                return AVIERR_UNSUPPORTED;
            }
            stream->info = source->info;
            // The stream carries the code the user chose (an alias too), full frames none; copied JPEG
            // files are Motion JPEG to every player.
            const std::uint32_t tag =
                codec->fourcc == 0 ? 0 : (codec->copiesJpegFiles ? kMotionJpegTag : lpOptions->fccHandler);
            const Rect& frame = stream->info.rcFrame;
            MadeEncoder made =
                makeFrameEncoder(codec, *lpOptions, tag, frame.right - frame.left, frame.bottom - frame.top,
                                 stream->frameRate(), source->file->movie->wantsGlobalHeader());
            if (!made.encoder) {
                return resultOf(made.trouble);
            }
            stream->encoder = std::move(made.encoder);
        }
        stream->file = source->file;
        stream->source = source;
        Registry& all = registry();
        const std::lock_guard lock(all.mutex);
        const PAVISTREAM handle = all.newHandle();
        all.streams.emplace(handle, std::move(stream));
        *ppsCompressed = handle;
        return AVIERR_OK;
    });
}

std::int32_t AVIStreamSetFormat(PAVISTREAM pavi, std::int32_t lPos, const void* lpFormat,
                                std::int32_t cbFormat) {
    const std::shared_ptr<StreamState> stream = findStream(pavi);
    if (!stream) {
        return AVIERR_BADHANDLE;
    }
    const std::optional<FrameFormat> format = frameFormatOf(lpFormat, cbFormat);
    if (!format) {
        return AVIERR_BADFORMAT;
    }
    const std::lock_guard fileLock(stream->file->mutex);
    Movie& movie = *stream->file->movie;
    // One format per movie, set before the first frame.
    if (lPos != 0 || stream->formatSet || movie.started() || stream->file->finished) {
        return AVIERR_UNSUPPORTED;
    }
    const Rect& frame = stream->info.rcFrame;
    if (format->width != frame.right - frame.left || format->rows() != frame.bottom - frame.top) {
        return AVIERR_BADFORMAT;
    }
    return resultOfCall([&] {
        if (!stream->encoder) {
            // A source stream written to directly: its frames go in as they are.
            stream->encoder =
                makeFrameEncoder(nullptr, {}, 0, format->width, format->rows(), stream->frameRate()).encoder;
        }
        FrameEncoder& encoder = *stream->encoder;
        if (!encoder.prepare(*format)) {
            return AVIERR_COMPRESSOR;
        }
        if (!movie.start(
                stream->frameRate(),
                [&encoder](AVCodecParameters& parameters) { return encoder.describe(parameters); },
                encoder.muxerOptions())) {
            return AVIERR_FILEWRITE;
        }
        stream->format = *format;
        stream->formatSet = true;
        return AVIERR_OK;
    });
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
    const std::shared_ptr<StreamState> stream = findStream(pavi);
    if (!stream) {
        return AVIERR_BADHANDLE;
    }
    const std::lock_guard fileLock(stream->file->mutex);
    if (!stream->formatSet || stream->file->finished) {
        return AVIERR_BADFORMAT;
    }
    if (lSamples != 1 || lStart < stream->nextPosition || lpBuffer == nullptr) {
        return AVIERR_BADPARAM;
    }
    Movie& movie = *stream->file->movie;
    FrameEncoder& encoder = *stream->encoder;
    const auto* bytes = static_cast<const std::uint8_t*>(lpBuffer);
    stream->lastError.clear();
    const std::int32_t result = resultOfCall(
        [&] {
            if (encoder.takesSamples()) {
                // A finished sample (a recorded JPEG file) of its own length.
                if (cbBuffer <= 0) {
                    return AVIERR_BADSIZE;
                }
                if (const Status written = encoder.writeSample(
                        std::span(bytes, static_cast<std::size_t>(cbBuffer)), lStart, movie);
                    !written) {
                    stream->lastError = written.text();
                    return movie.writeFailed() ? AVIERR_FILEWRITE : AVIERR_BADFORMAT;
                }
                return AVIERR_OK;
            }
            // A sample shorter than one frame of the format would be read past its end.
            if (cbBuffer < stream->format.frameBytes) {
                return AVIERR_BADSIZE;
            }
            if (const Status encoded = encoder.encode(bytes, lStart, (dwFlags & AVIIF_KEYFRAME) != 0, movie);
                !encoded) {
                stream->lastError = encoded.text();
                return movie.writeFailed() ? AVIERR_FILEWRITE : AVIERR_COMPRESSOR;
            }
            return AVIERR_OK;
        },
        &stream->lastError);
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

std::string AVIStreamErrorText(PAVISTREAM pavi) {
    const std::shared_ptr<StreamState> stream = findStream(pavi);
    if (!stream) {
        return {};
    }
    const std::lock_guard fileLock(stream->file->mutex);
    return stream->lastError;
}

std::uint32_t AVIStreamRelease(PAVISTREAM pavi) {
    // The last reference hands a compressed stream's last frames to the movie.
    return release(&Registry::streams, pavi);
}

std::uint32_t AVIFileRelease(PAVIFILE pfile) {
    // The last reference finishes a movie that AVIFileFinish did not.
    return release(&Registry::files, pfile);
}

MovieFileEnd AVIFileFinish(PAVIFILE pfile) {
    std::shared_ptr<FileState> file;
    // Streams still open hand over their last frames first.
    std::vector<std::shared_ptr<StreamState>> open;
    {
        Registry& all = registry();
        const std::lock_guard lock(all.mutex);
        const auto found = all.files.find(pfile);
        if (found == all.files.end()) {
            return MovieFileEnd{AVIERR_BADHANDLE, {}, 0, {}};
        }
        file = found->second;
        for (auto& [handle, stream] : all.streams) {
            if (stream->file == file) {
                open.push_back(stream);
            }
        }
    }
    const std::lock_guard fileLock(file->mutex);
    if (file->finished) {
        return MovieFileEnd{AVIERR_BADHANDLE, {}, 0, {}};
    }
    MovieFileEnd ended;
    ended.result = resultOfCall(
        [&] {
            for (const std::shared_ptr<StreamState>& stream : open) {
                stream->finishEncoding();
            }
            file->finished = true;
            const MovieEnd end = file->movie->finish();
            ended.reason = end.status ? std::string() : end.status.text();
            ended.frames = end.frames;
            ended.savedAs = end.savedAs;
            return end.status ? AVIERR_OK : AVIERR_FILEWRITE;
        },
        &ended.reason);
    return ended;
}

}  // namespace skorva::avi
