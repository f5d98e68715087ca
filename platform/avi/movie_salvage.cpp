#include "platform/avi/movie_salvage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "core/little_endian.h"
#include "platform/avi/codecs.h"
#include "platform/file_io.h"

namespace skorva::avi {
namespace {

constexpr std::uint32_t kRiff = makeFourcc("RIFF");
constexpr std::uint32_t kList = makeFourcc("LIST");
constexpr std::uint32_t kAvi = makeFourcc("AVI ");
constexpr std::uint32_t kAvix = makeFourcc("AVIX");
constexpr std::uint32_t kHdrl = makeFourcc("hdrl");
constexpr std::uint32_t kStrl = makeFourcc("strl");
constexpr std::uint32_t kMovi = makeFourcc("movi");
constexpr std::uint32_t kAvih = makeFourcc("avih");
constexpr std::uint32_t kStrh = makeFourcc("strh");
constexpr std::uint32_t kIndx = makeFourcc("indx");
constexpr std::uint32_t kJunk = makeFourcc("JUNK");
constexpr std::uint32_t kOdml = makeFourcc("odml");
constexpr std::uint32_t kIdx1 = makeFourcc("idx1");
constexpr std::uint32_t kIx00 = makeFourcc("ix00");

constexpr std::int64_t kChunkHeader = 8;
constexpr std::int64_t kListHeader = 12;
constexpr std::uint32_t kHasIndex = 0x10;  // main header flag
constexpr std::uint32_t kKeyFrame = 0x10;  // idx1 entry flag
constexpr std::uint32_t kNotKey = 0x80000000u;
constexpr std::int64_t kStandardIndexHeader = 32;  // "ix00", size and the 24 bytes before the entries
constexpr std::int64_t kSuperIndexEntries = 24;    // where the entries begin in the super index's data
// Field offsets inside the chunks' data.
constexpr std::int64_t kAvihFlags = 12;
constexpr std::int64_t kAvihTotalFrames = 16;
constexpr std::int64_t kStrhLength = 32;
constexpr std::int64_t kStrhSuggestedBufferSize = 36;
constexpr std::int64_t kDmlhTotalFrames = 20;  // from the start of the odml list

struct Chunk {
    std::int64_t at = 0;
    std::uint32_t id = 0;
    std::uint32_t size = 0;
    std::int64_t data() const { return at + kChunkHeader; }
    std::int64_t end() const { return data() + size + (size & 1); }
};

struct Frame {
    std::int64_t at;
    std::uint32_t id;
    std::uint32_t size;
    std::int64_t end() const { return at + kChunkHeader + size + (size & 1); }
};

// One RIFF list of the movie: "AVI " first, then an "AVIX" for every further GiB.
struct Segment {
    std::int64_t at = 0;    // its "RIFF"
    std::int64_t movi = 0;  // the "LIST" of its movi list
    std::vector<Frame> frames;
    std::int64_t moviFourcc() const { return movi + kChunkHeader; }
};

// Where the fields that count frames stand; -1 where the file has none.
struct Header {
    std::int64_t avih = -1;        // data of the main header
    std::int64_t strh = -1;        // data of the stream header
    std::int64_t superIndex = -1;  // the stream's OpenDML super index, or the placeholder for it
    std::int64_t odml = -1;        // the OpenDML header list, or the placeholder for it
};

class MovieFile {
  public:
    MovieFile(int fd, std::int64_t length) : fd_(fd), length_(length) {}

    std::int64_t length() const { return length_; }
    bool failed() const { return failed_; }

    std::optional<std::uint32_t> u32(std::int64_t at) {
        std::uint8_t bytes[4];
        if (at < 0 || at + 4 > length_ || !read(at, bytes, sizeof bytes)) {
            return std::nullopt;
        }
        return readLe32(bytes);
    }

    // The chunk whose header starts at `at`, when the file holds the header.
    std::optional<Chunk> chunk(std::int64_t at) {
        const auto id = u32(at);
        const auto size = u32(at + 4);
        if (!id || !size) {
            return std::nullopt;
        }
        return Chunk{at, *id, *size};
    }

    bool put(std::int64_t at, const std::uint8_t* bytes, std::size_t length) {
        return writeAt(fd_, at, std::span<const std::uint8_t>(bytes, length));
    }

    bool put32(std::int64_t at, std::uint32_t value) {
        std::uint8_t bytes[4];
        writeLe32(bytes, value);
        return put(at, bytes, sizeof bytes);
    }

    bool cut(std::int64_t length) {
        if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
            return false;
        }
        length_ = length;
        return true;
    }

  private:
    bool read(std::int64_t at, std::uint8_t* into, std::size_t length) {
        const std::int64_t got = readAt(fd_, at, std::span<std::uint8_t>(into, length));
        failed_ = failed_ || got < 0;
        return got == static_cast<std::int64_t>(length);
    }

    int fd_;
    std::int64_t length_;
    bool failed_ = false;
};

// Writes an index a block at a time, so that no index of a long movie is held whole.
class IndexWriter {
  public:
    IndexWriter(MovieFile& file, std::int64_t at) : file_(file), at_(at) {}
    bool add(std::uint32_t value) {
        writeLe32(block_ + used_, value);
        used_ += 4;
        return used_ < sizeof block_ || flush();
    }
    bool flush() {
        const bool written = file_.put(at_, block_, used_);
        at_ += static_cast<std::int64_t>(used_);
        used_ = 0;
        return written;
    }

  private:
    MovieFile& file_;
    std::int64_t at_;
    std::uint8_t block_[64 * 1024];
    std::size_t used_ = 0;
};

bool isFrame(std::uint32_t id) {
    // "00dc" (compressed) or "00db" (full frames) of the one video stream.
    return id == makeFourcc("00dc") || id == makeFourcc("00db");
}

void readHeaderList(MovieFile& file, const Chunk& list, Header& header) {
    for (std::int64_t at = list.data() + 4; at < list.end();) {
        const auto chunk = file.chunk(at);
        if (!chunk || chunk->end() > list.end()) {
            return;
        }
        const auto type = file.u32(chunk->data());
        if (chunk->id == kAvih) {
            header.avih = chunk->data();
        } else if (chunk->id == kList && type == kStrl && header.strh < 0) {
            for (std::int64_t inner = chunk->data() + 4; inner < chunk->end();) {
                const auto part = file.chunk(inner);
                if (!part || part->end() > chunk->end()) {
                    break;
                }
                if (part->id == kStrh) {
                    header.strh = part->data();
                } else if ((part->id == kIndx || part->id == kJunk) && header.superIndex < 0 &&
                           part->size >= kSuperIndexEntries) {
                    header.superIndex = part->at;
                }
                inner = part->end();
            }
        } else if ((chunk->id == kJunk || chunk->id == kList) && type == kOdml) {
            header.odml = chunk->at;
        }
        at = chunk->end();
    }
}

// Collects the whole frames of a movi list; stops at its end, at a chunk of another kind, or where the
// file stops.
void readFrames(MovieFile& file, Segment& segment) {
    for (std::int64_t at = segment.moviFourcc() + 4;;) {
        const auto chunk = file.chunk(at);
        if (!chunk || chunk->end() > file.length()) {
            return;
        }
        if (isFrame(chunk->id)) {
            segment.frames.push_back(Frame{chunk->at, chunk->id, chunk->size});
        } else if (chunk->id != kIx00 && chunk->id != kJunk) {
            return;
        }
        at = chunk->end();
    }
}

// The first RIFF list and its header; nullopt when the file holds no movi list yet.
std::optional<Segment> readFirstSegment(MovieFile& file, Header& header) {
    if (file.u32(0) != kRiff || file.u32(8) != kAvi) {
        return std::nullopt;
    }
    for (std::int64_t at = 12;;) {
        const auto chunk = file.chunk(at);
        if (!chunk) {
            return std::nullopt;
        }
        const auto type = file.u32(chunk->data());
        if (chunk->id == kList && type == kMovi) {
            return Segment{0, chunk->at, {}};
        }
        // Everything before the movi list was written with the header: it must be whole.
        if (chunk->end() > file.length()) {
            return std::nullopt;
        }
        if (chunk->id == kList && type == kHdrl) {
            readHeaderList(file, *chunk, header);
        }
        at = chunk->end();
    }
}

// The "AVIX" list that follows `segment`, when the file holds its start. Only a finished list has its
// size filled in, so only a finished list leads to another.
std::optional<Segment> nextSegment(MovieFile& file, const Segment& segment) {
    const auto size = file.u32(segment.at + 4);
    if (!size) {
        return std::nullopt;
    }
    const std::int64_t at = segment.at + kChunkHeader + *size + (*size & 1);
    if (file.u32(at) != kRiff || file.u32(at + 8) != kAvix || file.u32(at + 12) != kList ||
        file.u32(at + 20) != kMovi) {
        return std::nullopt;
    }
    return Segment{at, at + 12, {}};
}

bool keyAt(const std::vector<bool>& keyFrames, std::int64_t index) {
    return index < 0 || static_cast<std::size_t>(index) >= keyFrames.size() ||
           keyFrames[static_cast<std::size_t>(index)];
}

// Writes the idx1 index of a lone first segment's frames at `at`; false on a write error.
bool writePlainIndex(MovieFile& file, const Segment& segment, std::int64_t at,
                     const std::vector<bool>& keyFrames) {
    IndexWriter index(file, at);
    bool written = index.add(kIdx1) && index.add(static_cast<std::uint32_t>(16 * segment.frames.size()));
    for (std::size_t i = 0; written && i < segment.frames.size(); ++i) {
        const Frame& frame = segment.frames[i];
        written = index.add(frame.id) &&
                  index.add(keyAt(keyFrames, static_cast<std::int64_t>(i)) ? kKeyFrame : 0) &&
                  index.add(static_cast<std::uint32_t>(frame.at - segment.moviFourcc())) &&
                  index.add(frame.size);
    }
    return written && index.flush();
}

// Writes the standard index of the last segment's frames at `at`; false on a write error.
bool writeStandardIndex(MovieFile& file, const Segment& segment, std::int64_t at, std::int64_t before,
                        const std::vector<bool>& keyFrames) {
    const std::int64_t base = segment.moviFourcc();
    const auto count = static_cast<std::uint32_t>(segment.frames.size());
    IndexWriter index(file, at);
    // Two longs an entry, an index of chunks; the chunk id; the base offset; a reserved 0.
    bool written = index.add(kIx00) && index.add(24 + 8 * count) && index.add(2 | 1u << 24) &&
                   index.add(count) && index.add(segment.frames.front().id) &&
                   index.add(static_cast<std::uint32_t>(base)) &&
                   index.add(static_cast<std::uint32_t>(base >> 32)) && index.add(0);
    for (std::uint32_t i = 0; written && i < count; ++i) {
        const Frame& frame = segment.frames[i];
        const std::uint32_t key = keyAt(keyFrames, before + i) ? 0 : kNotKey;
        written = index.add(static_cast<std::uint32_t>(frame.at + kChunkHeader - base)) &&
                  index.add(frame.size | key);
    }
    return written && index.flush();
}

// Drops frames from the end of the segment until an index of `perFrame` bytes a frame and `fixed` bytes
// more fits between the last frame kept and the end of the file.
void keepWhatTheIndexLeavesRoomFor(Segment& segment, std::int64_t length, std::int64_t fixed,
                                   std::int64_t perFrame) {
    while (!segment.frames.empty() &&
           segment.frames.back().end() + fixed + perFrame * static_cast<std::int64_t>(segment.frames.size()) >
               length) {
        segment.frames.pop_back();
    }
}

// Closes a lone first segment with an idx1 index, where the cut-off bytes or the disk give room for one;
// without, the movie has no index and says so. The super index and the OpenDML header become padding
// again: without a second segment they would promise one. False on a write error.
bool closePlainMovie(MovieFile& file, const Header& header, Segment& segment,
                     const std::vector<bool>& keyFrames) {
    const std::int64_t moviEnd = segment.frames.back().end();
    const bool indexed = writePlainIndex(file, segment, moviEnd, keyFrames);
    const std::int64_t end =
        indexed ? moviEnd + kChunkHeader + 16 * static_cast<std::int64_t>(segment.frames.size()) : moviEnd;
    if (!file.cut(end)) {
        return false;
    }
    const auto flags = file.u32(header.avih + kAvihFlags);
    bool written =
        flags &&
        file.put32(header.avih + kAvihFlags, indexed ? (*flags | kHasIndex) : (*flags & ~kHasIndex)) &&
        file.put32(segment.movi + 4, static_cast<std::uint32_t>(moviEnd - segment.moviFourcc())) &&
        file.put32(4, static_cast<std::uint32_t>(end - kChunkHeader));
    if (written && header.superIndex >= 0) {
        written = file.put32(header.superIndex, kJunk);
    }
    if (written && header.odml >= 0) {
        written = file.put32(header.odml, kJunk);
    }
    return written;
}

// Closes the last "AVIX" segment, number `number`, with its standard index. The index must exist for its
// frames to be found: where neither the cut-off bytes nor the disk give room for it, frames are dropped
// from the segment's end until it fits; with none left the segment goes. `before` frames lie in the
// segments before it. False on a write error.
bool closeContinuation(MovieFile& file, const Header& header, Segment& segment, std::uint32_t number,
                       std::int64_t before, const std::vector<bool>& keyFrames) {
    const std::int64_t length = file.length();
    bool indexed = !segment.frames.empty() &&
                   writeStandardIndex(file, segment, segment.frames.back().end(), before, keyFrames);
    if (!indexed) {
        keepWhatTheIndexLeavesRoomFor(segment, length, kStandardIndexHeader, 8);
        if (!segment.frames.empty() &&
            !writeStandardIndex(file, segment, segment.frames.back().end(), before, keyFrames)) {
            return false;
        }
    }
    const auto count = static_cast<std::uint32_t>(segment.frames.size());
    const std::int64_t ixAt = count > 0 ? segment.frames.back().end() : segment.at;
    const std::int64_t end = count > 0 ? ixAt + kStandardIndexHeader + 8 * count : segment.at;
    if (!file.cut(end)) {
        return false;
    }
    const std::uint32_t segmentsIndexed = count > 0 ? number + 1 : number;
    bool written =
        file.put32(header.superIndex, kIndx) && file.put32(header.superIndex + 12, segmentsIndexed);
    if (written && count > 0) {
        const std::int64_t entry =
            header.superIndex + kChunkHeader + kSuperIndexEntries + 16 * std::int64_t{number};
        written =
            file.put32(segment.movi + 4, static_cast<std::uint32_t>(ixAt - segment.moviFourcc() +
                                                                    kStandardIndexHeader + 8 * count)) &&
            file.put32(segment.at + 4, static_cast<std::uint32_t>(end - segment.at - kChunkHeader)) &&
            file.put32(entry, static_cast<std::uint32_t>(ixAt)) &&
            file.put32(entry + 4, static_cast<std::uint32_t>(ixAt >> 32)) &&
            file.put32(entry + 8, static_cast<std::uint32_t>(end - ixAt)) && file.put32(entry + 12, count);
    }
    return written && file.put32(header.odml, kList) &&
           file.put32(header.odml + kDmlhTotalFrames, static_cast<std::uint32_t>(before + count));
}

}  // namespace

SalvagedMovie salvageMovie(int fd, const std::vector<bool>& keyFrames) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return {};
    }
    MovieFile file(fd, status.st_size);
    Header header;
    std::vector<Segment> segments;
    if (auto first = readFirstSegment(file, header)) {
        segments.push_back(std::move(*first));
        readFrames(file, segments.back());
        while (auto next = nextSegment(file, segments.back())) {
            segments.push_back(std::move(*next));
            readFrames(file, segments.back());
        }
    }
    if (file.failed()) {
        return {};
    }
    // The header's fields must all be there to be made to count.
    if (segments.empty() || header.avih < 0 || header.strh < 0 ||
        (segments.size() > 1 && (header.superIndex < 0 || header.odml < 0))) {
        return SalvagedMovie{true, 0};
    }
    Segment& last = segments.back();
    std::int64_t before = 0;
    for (const Segment& segment : segments) {
        before += &segment == &last ? 0 : static_cast<std::int64_t>(segment.frames.size());
    }
    if (segments.size() == 1) {
        if (last.frames.empty()) {
            return SalvagedMovie{true, 0};
        }
        if (!closePlainMovie(file, header, last, keyFrames)) {
            return {};
        }
    } else if (!closeContinuation(file, header, last, static_cast<std::uint32_t>(segments.size() - 1), before,
                                  keyFrames)) {
        return {};
    }
    const std::int64_t total = before + static_cast<std::int64_t>(last.frames.size());
    std::uint32_t largest = 0;
    for (const Segment& segment : segments) {
        for (const Frame& frame : segment.frames) {
            largest = std::max(largest, frame.size);
        }
    }
    const auto firstFrames = static_cast<std::uint32_t>(segments.front().frames.size());
    if (!file.put32(header.avih + kAvihTotalFrames, firstFrames) ||
        !file.put32(header.strh + kStrhLength, static_cast<std::uint32_t>(total)) ||
        !file.put32(header.strh + kStrhSuggestedBufferSize, largest)) {
        return {};
    }
    return SalvagedMovie{true, total};
}

}  // namespace skorva::avi
