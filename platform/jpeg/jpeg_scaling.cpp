#include "platform/jpeg/jpeg_scaling.h"

namespace skorva {

JpegSize smallestScaleCovering(JpegSize declared, JpegSize cover, std::span<const ScaleFraction> scales) {
    JpegSize best = declared;
    for (const ScaleFraction scale : scales) {
        if (scale.num >= scale.denom) {
            continue;
        }
        const JpegSize scaled{(declared.width * scale.num + scale.denom - 1) / scale.denom,
                              (declared.height * scale.num + scale.denom - 1) / scale.denom};
        if (scaled.width >= cover.width && scaled.height >= cover.height &&
            static_cast<long long>(scaled.width) * scaled.height <
                static_cast<long long>(best.width) * best.height) {
            best = scaled;
        }
    }
    return best;
}

}  // namespace skorva
