#include "platform/avi/avi_handles.h"

namespace skorva::avi {

Registry& registry() {
    static Registry instance;
    return instance;
}

std::shared_ptr<StreamState> findStream(PAVISTREAM handle) {
    Registry& all = registry();
    const std::lock_guard lock(all.mutex);
    return all.stream(handle);
}

std::int32_t resultOf(EncoderTrouble trouble) {
    switch (trouble) {
        case EncoderTrouble::None:
            return AVIERR_OK;
        case EncoderTrouble::NoCompressor:
            return AVIERR_NOCOMPRESSOR;
        case EncoderTrouble::TooLarge:
            return AVIERR_BADSIZE;
        case EncoderTrouble::OutOfMemory:
            return AVIERR_MEMORY;
        case EncoderTrouble::Compressor:
            break;
    }
    return AVIERR_COMPRESSOR;
}

}  // namespace skorva::avi
