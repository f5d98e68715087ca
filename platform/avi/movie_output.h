#pragma once
// The file a movie is written to: a new file with no name in the folder of the name the user chose, written
// through FFmpeg's I/O with the first failure kept in the system's words, and given that name only at the
// end. An earlier file of the name stays as it was until a finished movie replaces it, and a write that
// never finishes (the program killed, say) leaves nothing behind. Where the file system has no unnamed
// files, the movie is written under a hidden name beside the target that the next write to the same name
// recognises as abandoned and removes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVIOContext;

namespace skorva::avi {

// Where a movie ended up.
struct MoviePlacement {
    std::int64_t frames = 0;  // the frames the movie on disk holds
    std::string savedAs;      // its path; empty when no movie is left
    std::string failure;      // why the movie is not at the target whole, in the system's words
};

class MovieOutput {
  public:
    // Null, with errno, when no file can be made beside `target` (EISDIR when `target` is a folder).
    static std::unique_ptr<MovieOutput> create(const std::string& target);
    MovieOutput(const MovieOutput&) = delete;
    MovieOutput& operator=(const MovieOutput&) = delete;
    // A movie that was never put in place is removed.
    ~MovieOutput();

    // What the muxer writes through. Freed with this object.
    AVIOContext* io() const { return io_; }
    // The first write or seek that failed, as the system words it; empty while none did.
    const std::string& failure() const { return failure_; }
    void fail(const std::string& reason);
    // A path of the file the movie is written to, for a muxer that reads back what it wrote.
    const std::string& temporaryPath() const { return temporary_; }

    // The muxer has finished a movie of `frames` samples: what it buffered is written and the movie takes
    // the target's name. Where a write failed, an AVI movie (`mendable`) is cut back to its last whole
    // frame and mended (`keyFrames[i]`: whether sample i was a key frame); it takes the target's name when
    // nothing stood there, else a name beside it, and nothing is left when no frame survived. Any other
    // movie whose write failed is removed.
    MoviePlacement finish(std::int64_t frames, const std::vector<bool>& keyFrames, bool mendable);
    // No movie after all (cancelled, nothing written): the file goes.
    void discard();

  private:
    MovieOutput(int fd, bool unnamed, std::string temporary, std::string target);
    static int writePacket(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);
    // Writes out what the muxer buffered and learns of any delayed write error, keeping the file open (and
    // so held) until it has its place.
    bool flushFile();
    // Gives the movie the target's name, replacing what stood there.
    bool placeOverTarget();
    std::string placeMended();
    void closeFile();

    int fd_;
    bool unnamed_;           // the file has no name until it is placed
    std::string temporary_;  // its hidden name, or the path of its descriptor when it has none
    std::string target_;
    AVIOContext* io_ = nullptr;
    std::string failure_;
    int failureCode_ = 0;
    bool placed_ = false;
};

}  // namespace skorva::avi
