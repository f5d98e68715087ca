// The AVI file library on Windows: the operations of avifile.h over Video for Windows, one VfwMovie per
// open file. Handles are numbers of the library's own, as on Linux: a file's and its two streams' name the
// same movie.

#include "platform/avi/avifile.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/avi/codecs.h"
#include "platform/avi/container.h"
#include "platform/avi/save_options.h"
#include "platform/win32/vfw_movie.h"

extern "C" {
// From vfw32, declared here: vfw.h's macros would rename this library's own functions.
void __stdcall AVIFileInit(void);
void __stdcall AVIFileExit(void);
}

namespace skorva::avi {
namespace {

struct Registry {
    std::mutex mutex;
    std::uint32_t next = 1;
    std::map<std::uint32_t, std::shared_ptr<win32::VfwMovie>> handles;
};

Registry& registry() {
    static Registry all;
    return all;
}

thread_local std::string openFailure;

std::uint32_t enter(const std::shared_ptr<win32::VfwMovie>& movie) {
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    const std::uint32_t handle = all.next++;
    all.handles[handle] = movie;
    return handle;
}

std::shared_ptr<win32::VfwMovie> movieOf(std::uint32_t handle) {
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    const auto found = all.handles.find(handle);
    return found == all.handles.end() ? nullptr : found->second;
}

std::uint32_t release(std::uint32_t handle) {
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    all.handles.erase(handle);
    return 0;
}

}  // namespace

void AVIFileInit() {
    ::AVIFileInit();
}

void AVIFileExit() {
    ::AVIFileExit();
}

std::int32_t AVIFileOpen(PAVIFILE* ppfile, const std::string& szFile, std::uint32_t uMode,
                         const void* lpHandler) {
    openFailure.clear();
    if (ppfile == nullptr || (uMode & (OF_WRITE | OF_CREATE)) != (OF_WRITE | OF_CREATE)) {
        return AVIERR_BADPARAM;
    }
    *ppfile = 0;
    const Container container =
        lpHandler != nullptr ? *static_cast<const Container*>(lpHandler) : containerOfName(szFile);
    if (container != Container::Avi) {
        openFailure = std::string(containerName(container)) +
                      " movies are not made by the Windows program: they need Media Foundation. Save the "
                      "movie as .avi.";
        return AVIERR_UNSUPPORTED;
    }
    auto movie = std::make_shared<win32::VfwMovie>();
    const std::int32_t opened = movie->open(szFile, openFailure);
    if (opened != AVIERR_OK) {
        return opened;
    }
    *ppfile = enter(movie);
    return AVIERR_OK;
}

std::string AVIFileOpenErrorText() {
    return openFailure;
}

std::int32_t AVIFileCreateStream(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFO* psi) {
    const std::shared_ptr<win32::VfwMovie> movie = movieOf(pfile);
    if (!movie || ppavi == nullptr || psi == nullptr) {
        return AVIERR_BADHANDLE;
    }
    movie->setStreamHeader({psi->dwRate, psi->dwScale == 0 ? 1 : psi->dwScale, psi->dwSuggestedBufferSize,
                            psi->rcFrame.right - psi->rcFrame.left, psi->rcFrame.bottom - psi->rcFrame.top});
    *ppavi = enter(movie);
    return AVIERR_OK;
}

std::int32_t AVISaveOptions(WindowHandle hwnd, std::uint32_t uiFlags, std::int32_t nStreams,
                            PAVISTREAM* ppavi, AVICOMPRESSOPTIONS** plpOptions) {
    if (nStreams < 1 || ppavi == nullptr || plpOptions == nullptr || plpOptions[0] == nullptr ||
        !movieOf(ppavi[0])) {
        return 0;
    }
    return chooseCompression(hwnd, uiFlags, Container::Avi, *plpOptions[0]) ? 1 : 0;
}

std::int32_t AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM ppsSource,
                                     const AVICOMPRESSOPTIONS* lpOptions, const void* pclsidHandler) {
    if (ppsCompressed == nullptr || lpOptions == nullptr) {
        return AVIERR_BADPARAM;
    }
    *ppsCompressed = 0;
    const std::shared_ptr<win32::VfwMovie> movie = movieOf(ppsSource);
    if (!movie || pclsidHandler != nullptr) {
        return AVIERR_BADHANDLE;
    }
    const std::uint32_t handler = lpOptions->fccHandler == makeFourcc("DIB ") ? 0 : lpOptions->fccHandler;
    const std::int32_t made =
        movie->makeCompressedStream({handler, copiesJpegFiles(handler), lpOptions->keyFrameEvery,
                                     lpOptions->quality, lpOptions->bytesPerSecond});
    if (made != AVIERR_OK) {
        return made;
    }
    *ppsCompressed = enter(movie);
    return AVIERR_OK;
}

std::int32_t AVIStreamSetFormat(PAVISTREAM pavi, std::int32_t, const void* lpFormat, std::int32_t cbFormat) {
    const std::shared_ptr<win32::VfwMovie> movie = movieOf(pavi);
    return movie ? movie->setFormat(lpFormat, cbFormat) : AVIERR_BADHANDLE;
}

std::int32_t AVIStreamWrite(PAVISTREAM pavi, std::int32_t lStart, std::int32_t lSamples, const void* lpBuffer,
                            std::int32_t cbBuffer, std::uint32_t dwFlags, std::int32_t* plSampWritten,
                            std::int32_t* plBytesWritten) {
    const std::shared_ptr<win32::VfwMovie> movie = movieOf(pavi);
    if (!movie) {
        return AVIERR_BADHANDLE;
    }
    if (lSamples != 1) {
        return AVIERR_BADPARAM;
    }
    const std::int32_t written = movie->write(lStart, lpBuffer, cbBuffer, dwFlags);
    if (plSampWritten != nullptr) {
        *plSampWritten = written == AVIERR_OK ? 1 : 0;
    }
    if (plBytesWritten != nullptr) {
        *plBytesWritten = written == AVIERR_OK ? cbBuffer : 0;
    }
    return written;
}

std::uint32_t AVIStreamRelease(PAVISTREAM pavi) {
    return release(pavi);
}

std::uint32_t AVIFileRelease(PAVIFILE pfile) {
    return release(pfile);
}

std::string AVIStreamErrorText(PAVISTREAM pavi) {
    const std::shared_ptr<win32::VfwMovie> movie = movieOf(pavi);
    return movie ? movie->writeError() : std::string();
}

MovieFileEnd AVIFileFinish(PAVIFILE pfile) {
    const std::shared_ptr<win32::VfwMovie> movie = movieOf(pfile);
    if (!movie) {
        return {AVIERR_BADHANDLE, {}, 0, {}};
    }
    const win32::VfwEnd end = movie->finish();
    return {end.result, end.reason, end.frames, end.savedAs};
}

}  // namespace skorva::avi
