#pragma once
// Mends an AVI movie whose writing stopped part-way (a full disk, a file size limit): cuts it back to its
// last whole frame and makes its headers and index count exactly the frames it keeps, so that ordinary
// players read it. The index goes where the cut-off bytes were; where it would need more room than the
// file has and the disk gives none, a plain movie has none, and an OpenDML continuation drops frames from
// its end until its index fits.

#include <cstdint>
#include <vector>

namespace skorva::avi {

struct SalvagedMovie {
    bool mended = false;      // false: the file could not be read or written; errno tells why
    std::int64_t frames = 0;  // whole frames the movie now holds; with 0 nothing worth keeping is left
};

// `fd`: the movie, open for reading and writing. `keyFrames[i]`: whether the i-th sample handed to the
// muxer was a key frame (a sample past its end counts as one).
SalvagedMovie salvageMovie(int fd, const std::vector<bool>& keyFrames);

}  // namespace skorva::avi
