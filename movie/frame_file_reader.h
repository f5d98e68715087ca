#pragma once
// The copying Motion JPEG entry's frame files, read a few files ahead on a thread of their own: opening and
// reading thousands of small files is most of that entry's work, and the system does it on the other core
// while the movie takes the last one. A file the thread has not begun when it is asked for is read by the
// caller, and the thread goes on after it. A file asked for out of the expected order is read on the spot,
// and so is every file after it.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/status.h"

namespace skorva {

// Reads the regular file at `path` whole into `bytes` (its capacity reused), never waiting on a FIFO; a
// failure, in the system's words, for anything else and for a file longer than `limit` bytes.
Status readFrameFile(const std::string& path, std::int64_t limit, std::vector<std::uint8_t>& bytes);

class FrameFileReader {
  public:
    // The files expected, in their order, each at most `limit` bytes long.
    FrameFileReader(std::vector<std::string> paths, std::int64_t limit);
    FrameFileReader(const FrameFileReader&) = delete;
    FrameFileReader& operator=(const FrameFileReader&) = delete;
    ~FrameFileReader();

    // The file at `path` into `bytes`, as readFrameFile() would read it now.
    Status take(const std::string& path, std::vector<std::uint8_t>& bytes);

  private:
    struct Read {
        std::string path;
        Status status;
        std::vector<std::uint8_t> bytes;
    };
    static constexpr std::size_t kAhead = 4;
    // A folder of files as large as a frame may be (megabytes each) is not held four at a time: reading
    // ahead waits while this much is ready, and a buffer kept for reuse is no larger.
    static constexpr std::size_t kAheadBytes = 2 << 20;

    void readAhead();
    void stop();

    const std::vector<std::string> paths_;
    const std::int64_t limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Read> ready_;
    std::size_t readyBytes_ = 0;
    std::vector<std::vector<std::uint8_t>> spares_;
    std::size_t next_ = 0;   // the next path the thread reads
    bool stopping_ = false;  // set when the order is left or the reader goes
    bool running_ = false;   // the thread is reading ahead
    std::thread thread_;
};

}  // namespace skorva
