#include "imaging/pixel_rows.h"

namespace skorva {

// One build for every x86-64 machine: the loader picks the widest vector unit the processor has (the
// shuffle the 4-to-3 byte step needs came with SSSE3). Only an ELF loader can pick (an indirect function);
// elsewhere the default build serves.
#if defined(__x86_64__) && defined(__GNUC__) && defined(__ELF__)
#define SKORVA_VECTOR_CLONES __attribute__((target_clones("avx2", "ssse3", "default")))
#else
#define SKORVA_VECTOR_CLONES
#endif

SKORVA_VECTOR_CLONES
void bgrxRowToBgr(const std::uint8_t* __restrict source, std::uint8_t* __restrict target,
                  std::int32_t width) {
    for (std::int32_t x = 0; x < width; ++x) {
        target[3 * x] = source[4 * x];
        target[3 * x + 1] = source[4 * x + 1];
        target[3 * x + 2] = source[4 * x + 2];
    }
}

SKORVA_VECTOR_CLONES
void bgrRowToBgrx(const std::uint8_t* __restrict source, std::uint8_t* __restrict target,
                  std::int32_t width) {
    for (std::int32_t x = 0; x < width; ++x) {
        target[4 * x] = source[3 * x];
        target[4 * x + 1] = source[3 * x + 1];
        target[4 * x + 2] = source[3 * x + 2];
        target[4 * x + 3] = 0xFF;
    }
}

}  // namespace skorva
