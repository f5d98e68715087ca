#include "platform/avi/save_options.h"

#include <cctype>
#include <string>
#include <vector>

#include "platform/avi/avifile.h"
#include "platform/avi/codecs.h"
#include "platform/services.h"

namespace skorva::avi {

bool chooseCompression(WindowHandle owner, std::uint32_t flags, Container container,
                       CompressOptions& options) {
    CompressOptions chosen = options;
    // The dialog knows codes by the codec they stand for: an alias names its codec.
    const Codec* initial = findCodec(chosen.fccHandler);
    chosen.fccHandler = initial != nullptr ? initial->fourcc : 0;
    std::vector<OfferedCodec> offered;
    // Only what the movie's container can hold is offered; a line says what is left out.
    for (const Codec& codec : codecsFor(container)) {
        offered.push_back(
            OfferedCodec{codec.fourcc, codec.displayName, codec.goodFor, codec.hasQuality, codec.intraOnly});
    }
    if (!services().codecChooser->choose(owner, flags, offered, notOfferedLine(container), chosen)) {
        return false;
    }
    chosen.fccType = kStreamTypeVideo;
    options = chosen;
    return true;
}

std::int32_t AVISaveOptionsFree(std::int32_t nStreams, AVICOMPRESSOPTIONS** plpOptions) {
    // The options hold no memory of the library's own.
    return nStreams >= 0 && (nStreams == 0 || plpOptions != nullptr) ? AVIERR_OK : AVIERR_BADPARAM;
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

}  // namespace skorva::avi
