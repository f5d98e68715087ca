#pragma once
// The frames of a write, made ready in their order on one thread of its own while the writer takes the
// one before: decoding a JPEG, or for the copying entry opening and reading a file, is most of a frame's
// work. The writer lends a hand rather than wait: a frame the thread has not begun is made ready by the
// writer when it is asked for, and while the thread works on the frame the writer wants, the writer makes
// the next one not yet begun. Both processors work, whichever part of a frame's work is the larger. At most
// kAhead frames, and no more than kAheadBytes of them (one frame always), are ready or under way before the
// writer takes them, whatever the number of frames.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/picture.h"
#include "core/status.h"

namespace skorva {

// One frame made ready for the writer.
struct PreparedFrame {
    std::string path;
    Status status;                    // why the frame could not be made ready
    Picture picture;                  // the decoded frame, where the frame is decoded
    std::vector<std::uint8_t> bytes;  // the file's own bytes, or the frame's bitmap file laid out
    std::exception_ptr thrown;        // what making it ready threw, thrown again on the writer's thread

    std::size_t size() const { return bytes.size() + picture.byteCount(); }
};

class FrameReadAhead {
  public:
    static constexpr std::size_t kAhead = 4;
    static constexpr std::size_t kAheadBytes = std::size_t{16} << 20;

    // Makes the frame at `frame.path` ready in `frame`, whose `bytes` may hold a spare buffer to reuse.
    // Runs on either thread; may throw.
    using Prepare = std::function<void(PreparedFrame& frame)>;

    // The frames expected, in the order they will be taken.
    FrameReadAhead(std::vector<std::string> paths, Prepare prepare);
    FrameReadAhead(const FrameReadAhead&) = delete;
    FrameReadAhead& operator=(const FrameReadAhead&) = delete;
    ~FrameReadAhead();

    // The frame at `path`, as `prepare` makes it now; what making it threw is thrown here. A frame asked
    // for out of the expected order is made on the spot, and so is every frame after it.
    PreparedFrame take(const std::string& path);
    // A frame the writer is done with: its buffer serves a later one.
    void giveBack(PreparedFrame frame);

  private:
    struct Entry {
        bool ready = false;
        std::size_t size = 0;
        PreparedFrame frame;
    };

    void readAhead();
    void stop();
    // Whether another frame may be begun; the mutex is held.
    bool roomAhead() const;
    // A frame of `path` to be made ready, with a spare buffer; the mutex is held.
    PreparedFrame blank(const std::string& path);
    void prepareCatching(PreparedFrame& frame) const;
    // Begins the next frame not begun and makes it ready, the mutex let go meanwhile; false when the
    // read-ahead was stopped meanwhile.
    bool makeNextReady(std::unique_lock<std::mutex>& held);
    // Files the frame of position `index` as ready; the mutex is held.
    void store(std::size_t index, PreparedFrame frame);
    static PreparedFrame thrownAgain(PreparedFrame frame);

    const std::vector<std::string> paths_;
    const Prepare prepare_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Entry> entries_;  // the frames from base_ on, ready or under way
    std::size_t base_ = 0;       // the position the writer takes next
    std::size_t next_ = 0;       // the first position not begun: base_ + entries_.size()
    std::size_t readyBytes_ = 0;
    std::vector<std::vector<std::uint8_t>> spares_;
    bool stopping_ = false;  // set when the order is left or the read-ahead goes
    std::thread thread_;
};

}  // namespace skorva
