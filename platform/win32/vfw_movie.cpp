#include "platform/win32/vfw_movie.h"

#include <windows.h>

#include <vfw.h>

#include <cerrno>
#include <cstring>

#include "platform/held_beside.h"
#include "platform/win32/system_errors.h"
#include "platform/win32/wide_text.h"

namespace skorva::win32 {
namespace {

// The AVI file handler, named outright: the hidden file's ".tmp" would find no handler by extension.
constexpr CLSID kAviFileHandler = {0x00020000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr DWORD kMotionJpeg = mmioFOURCC('M', 'J', 'P', 'G');

PAVIFILE fileOf(void* file) {
    return static_cast<PAVIFILE>(file);
}
PAVISTREAM streamOf(void* stream) {
    return static_cast<PAVISTREAM>(stream);
}

// Why a library call failed: the system's text where it has one, else the library's code.
std::string libraryFailure(HRESULT result) {
    switch (result) {
        case AVIERR_FILEWRITE:
            return "The movie file could not be written (the disk may be full)";
        case AVIERR_NOCOMPRESSOR:
            return "No compressor of that kind is installed";
        case AVIERR_BADFORMAT:
            return "The compressor does not take these frames";
        case AVIERR_MEMORY:
            return std::strerror(ENOMEM);
        default:
            return systemText(static_cast<unsigned long>(result));
    }
}

}  // namespace

VfwMovie::~VfwMovie() {
    if (!finished_) {
        releaseLibraryObjects();
        held_.close();
        if (!hidden_.empty()) {
            ::DeleteFileW(widen(hidden_).c_str());
        }
    }
}

std::int32_t VfwMovie::open(const std::string& target, std::string& failure) {
    target_ = target;
    const DWORD standing = ::GetFileAttributesW(widen(target).c_str());
    if (standing != INVALID_FILE_ATTRIBUTES && (standing & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        failure = std::strerror(EISDIR);
        return AVIERR_FILEOPEN;
    }
    held_ = UniqueFd(createHeldFileBeside(target, hidden_));
    if (!held_) {
        failure = std::strerror(errno);
        hidden_.clear();
        return AVIERR_FILEOPEN;
    }
    // The library opens the file by name, and shares it with no one: the name is ours (created new), and
    // while the library holds it open no other writer can take it for abandoned.
    held_.close();
    PAVIFILE file = nullptr;
    const HRESULT opened = ::AVIFileOpenW(&file, widen(hidden_).c_str(), OF_WRITE | OF_CREATE,
                                          const_cast<CLSID*>(&kAviFileHandler));
    if (FAILED(opened)) {
        failure = libraryFailure(opened);
        return static_cast<std::int32_t>(opened);
    }
    file_ = file;
    return AVIERR_OK;
}

std::int32_t VfwMovie::makeCompressedStream(const VfwCompression& compression) {
    compression_ = compression;
    AVISTREAMINFOW info{};
    info.fccType = streamtypeVIDEO;
    info.fccHandler = compression.copiesJpegFiles ? kMotionJpeg : compression.handler;
    info.dwScale = header_.scale;
    info.dwRate = header_.rate;
    info.dwSuggestedBufferSize = header_.suggestedBufferSize;
    info.dwQuality = static_cast<DWORD>(-1);
    ::SetRect(&info.rcFrame, 0, 0, header_.width, header_.height);
    PAVISTREAM raw = nullptr;
    if (const HRESULT made = ::AVIFileCreateStreamW(fileOf(file_), &raw, &info); FAILED(made)) {
        return static_cast<std::int32_t>(made);
    }
    raw_ = raw;
    // Full frames and the recorded files go into the file's stream as they are.
    if (compression.handler == 0 || compression.copiesJpegFiles) {
        ::AVIStreamAddRef(raw);
        compressed_ = raw;
        return AVIERR_OK;
    }
    AVICOMPRESSOPTIONS options{};
    options.fccType = streamtypeVIDEO;
    options.fccHandler = compression.handler;
    options.dwKeyFrameEvery = compression.keyFrameEvery;
    options.dwQuality = compression.quality;
    options.dwBytesPerSecond = compression.bytesPerSecond;
    options.dwFlags = (compression.keyFrameEvery != 0 ? AVICOMPRESSF_KEYFRAMES : 0) |
                      (compression.bytesPerSecond != 0 ? AVICOMPRESSF_DATARATE : 0);
    PAVISTREAM compressed = nullptr;
    const HRESULT made = ::AVIMakeCompressedStream(&compressed, raw, &options, nullptr);
    if (FAILED(made)) {
        return static_cast<std::int32_t>(made);
    }
    compressed_ = compressed;
    return AVIERR_OK;
}

std::int32_t VfwMovie::setFormat(const void* format, std::int32_t size) {
    if (compressed_ == nullptr || format == nullptr ||
        size < static_cast<std::int32_t>(sizeof(BITMAPINFOHEADER))) {
        return AVIERR_BADPARAM;
    }
    HRESULT set = S_OK;
    if (compression_.copiesJpegFiles) {
        // The samples are whole JPEG files: the stream says Motion JPEG of the frames' size.
        BITMAPINFOHEADER motionJpeg{};
        std::memcpy(&motionJpeg, format, sizeof motionJpeg);
        motionJpeg.biCompression = kMotionJpeg;
        motionJpeg.biBitCount = 24;
        motionJpeg.biSizeImage =
            static_cast<DWORD>(motionJpeg.biWidth) * static_cast<DWORD>(motionJpeg.biHeight) * 3;
        set = ::AVIStreamSetFormat(streamOf(compressed_), 0, &motionJpeg, sizeof motionJpeg);
    } else {
        set = ::AVIStreamSetFormat(streamOf(compressed_), 0, const_cast<void*>(format), size);
    }
    formatSet_ = SUCCEEDED(set);
    return static_cast<std::int32_t>(set);
}

std::int32_t VfwMovie::write(std::int32_t start, const void* bytes, std::int32_t size, std::uint32_t flags) {
    if (!formatSet_) {
        return AVIERR_BADPARAM;
    }
    const HRESULT written = ::AVIStreamWrite(streamOf(compressed_), start, 1, const_cast<void*>(bytes), size,
                                             flags, nullptr, nullptr);
    if (FAILED(written)) {
        writeError_ = libraryFailure(written);
        return static_cast<std::int32_t>(written);
    }
    ++frames_;
    return AVIERR_OK;
}

void VfwMovie::releaseLibraryObjects() {
    // The compressor's stream first, then the file's, then the file: its release writes the headers and
    // the index.
    if (compressed_ != nullptr) {
        ::AVIStreamRelease(streamOf(compressed_));
        compressed_ = nullptr;
    }
    if (raw_ != nullptr) {
        ::AVIStreamRelease(streamOf(raw_));
        raw_ = nullptr;
    }
    if (file_ != nullptr) {
        ::AVIFileRelease(fileOf(file_));
        file_ = nullptr;
    }
}

VfwEnd VfwMovie::finish() {
    VfwEnd end;
    if (finished_) {
        return end;
    }
    finished_ = true;
    releaseLibraryObjects();
    held_.close();
    const std::wstring hidden = widen(hidden_);
    if (!formatSet_ || !writeError_.empty()) {
        ::DeleteFileW(hidden.c_str());
        if (!writeError_.empty()) {
            end.result = AVIERR_FILEWRITE;
            end.reason = writeError_;
        }
        return end;
    }
    if (!::MoveFileExW(hidden.c_str(), widen(target_).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(hidden.c_str());
        end.result = AVIERR_FILEWRITE;
        end.reason = std::strerror(errnoOf(error));
        return end;
    }
    end.frames = frames_;
    end.savedAs = target_;
    return end;
}

}  // namespace skorva::win32
