#pragma once
// The AVI file library the movie writer talks to: the AVIFile operations it needs, in their own terms
// (handles, stream header, compression options, BITMAPINFOHEADER format, samples), over FFmpeg. Results
// are 0 on success and an AVIERR_* code otherwise. Handles are 32-bit, 0 = none. Any thread may call; the
// calls on one file run one at a time, and nothing a call does reaches back into the caller.

#include <cstdint>
#include <string>

#include "core/types.h"
#include "platform/codec_chooser.h"

namespace skorva::avi {

using PAVIFILE = std::uint32_t;
using PAVISTREAM = std::uint32_t;
using AVICOMPRESSOPTIONS = CompressOptions;

// AVI library results.
inline constexpr std::int32_t AVIERR_OK = 0;
inline constexpr std::int32_t AVIERR_UNSUPPORTED = static_cast<std::int32_t>(0x80044065u);
inline constexpr std::int32_t AVIERR_BADFORMAT = static_cast<std::int32_t>(0x80044066u);
inline constexpr std::int32_t AVIERR_MEMORY = static_cast<std::int32_t>(0x80044067u);
inline constexpr std::int32_t AVIERR_BADFLAGS = static_cast<std::int32_t>(0x80044069u);
inline constexpr std::int32_t AVIERR_BADPARAM = static_cast<std::int32_t>(0x8004406Au);
inline constexpr std::int32_t AVIERR_BADSIZE = static_cast<std::int32_t>(0x8004406Bu);
inline constexpr std::int32_t AVIERR_BADHANDLE = static_cast<std::int32_t>(0x8004406Cu);
inline constexpr std::int32_t AVIERR_FILEWRITE = static_cast<std::int32_t>(0x8004406Eu);
inline constexpr std::int32_t AVIERR_FILEOPEN = static_cast<std::int32_t>(0x8004406Fu);
inline constexpr std::int32_t AVIERR_COMPRESSOR = static_cast<std::int32_t>(0x80044070u);
inline constexpr std::int32_t AVIERR_NOCOMPRESSOR = static_cast<std::int32_t>(0x80044071u);
inline constexpr std::int32_t AVIERR_ERROR = static_cast<std::int32_t>(0x800440C7u);

inline constexpr std::uint32_t OF_WRITE = 0x0001;
inline constexpr std::uint32_t OF_CREATE = 0x1000;
inline constexpr std::uint32_t AVIIF_KEYFRAME = 0x10;
inline constexpr std::uint32_t MMIO_TOUPPER = 0x10;

// The stream header a stream is created from.
struct AVISTREAMINFO {
    std::uint32_t fccType = 0;
    std::uint32_t fccHandler = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwCaps = 0;
    std::uint16_t wPriority = 0;
    std::uint16_t wLanguage = 0;
    std::uint32_t dwScale = 0;
    std::uint32_t dwRate = 0;
    std::uint32_t dwStart = 0;
    std::uint32_t dwLength = 0;
    std::uint32_t dwInitialFrames = 0;
    std::uint32_t dwSuggestedBufferSize = 0;
    std::uint32_t dwQuality = 0;
    std::uint32_t dwSampleSize = 0;
    Rect rcFrame;
    std::uint32_t dwEditCount = 0;
    std::uint32_t dwFormatChangeCount = 0;
    std::string szName;
};

// Uses of the library are counted: every exit ends one init, an exit without an init does nothing.
// Files can be opened only while the library is in use.
void AVIFileInit();
void AVIFileExit();

// mode OF_WRITE | OF_CREATE: a new movie of that name, which replaces an existing file when finished. The
// handler class picks the container, as the AVI library's file handlers do: null takes the name's
// extension (".avi", ".mp4", ".mkv"; AVI for any other), else it points to the Container to write.
std::int32_t AVIFileOpen(PAVIFILE* ppfile, const std::string& szFile, std::uint32_t uMode,
                         const void* lpHandler);
// Why the last AVIFileOpen of the calling thread failed, in the system's words (a missing folder, no
// permission, a read-only file system, a folder of the name); empty when it did not.
std::string AVIFileOpenErrorText();
// The first four characters, blank-padded; MMIO_TOUPPER converts them to upper case.
std::uint32_t mmioStringToFOURCC(const std::string& sz, std::uint32_t uFlags);
// One video stream ("vids") per file.
std::int32_t AVIFileCreateStream(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFO* psi);
// Shows the installed codec dialog for the first stream; 1 when the user accepted, 0 when cancelled.
std::int32_t AVISaveOptions(WindowHandle hwnd, std::uint32_t uiFlags, std::int32_t nStreams,
                            PAVISTREAM* ppavi, AVICOMPRESSOPTIONS** plpOptions);
std::int32_t AVISaveOptionsFree(std::int32_t nStreams, AVICOMPRESSOPTIONS** plpOptions);
// A stream that compresses what is written to it with the options' compressor (0 / "DIB ": none).
std::int32_t AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM ppsSource,
                                     const AVICOMPRESSOPTIONS* lpOptions, const void* pclsidHandler);
// lpFormat: a BITMAPINFOHEADER (and what follows it) of 24 or 32 bits per pixel, uncompressed.
std::int32_t AVIStreamSetFormat(PAVISTREAM pavi, std::int32_t lPos, const void* lpFormat,
                                std::int32_t cbFormat);
// One frame of DIB rows as the format describes them (bottom-up for a positive height, 4-byte padded). A
// stream of a compressor that copies JPEG files takes one whole JPEG file of cbBuffer bytes instead.
std::int32_t AVIStreamWrite(PAVISTREAM pavi, std::int32_t lStart, std::int32_t lSamples, const void* lpBuffer,
                            std::int32_t cbBuffer, std::uint32_t dwFlags, std::int32_t* plSampWritten,
                            std::int32_t* plBytesWritten);
// Both return the references left. The movie is complete on disk once the file and its streams are
// released.
std::uint32_t AVIStreamRelease(PAVISTREAM pavi);
std::uint32_t AVIFileRelease(PAVIFILE pfile);

// Why the last write to the stream failed, in the library's or the system's words; empty when it did not.
std::string AVIStreamErrorText(PAVISTREAM pavi);

// What became of a movie.
struct MovieFileEnd {
    std::int32_t result = AVIERR_OK;  // AVIERR_FILEWRITE: a write failed (a full disk, a file size limit)
    std::string reason;               // why, in the system's words
    std::int64_t frames = 0;          // the frames the movie on disk holds
    std::string savedAs;              // where that movie is; empty when none is left
};

// Finishes the movie of an open file and reports how that went; its release then only frees it. The movie
// is written to a new hidden file beside the name it was opened with, which takes that name only once it
// is finished: until then an earlier file of the name stays as it was. A file that never got its stream's
// format is removed. Where a write failed, the movie is cut back to its last whole frame with headers and
// index that count exactly the frames it keeps; it takes the name when nothing stood there, else
// "<name> (incomplete).avi" beside it; with no whole frame nothing is left.
MovieFileEnd AVIFileFinish(PAVIFILE pfile);

}  // namespace skorva::avi
