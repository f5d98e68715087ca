#pragma once
// Pixel memory handed round instead of made anew for every frame: a frame of the same size as the last
// reuses its pages, with no fill and no page faults. A buffer goes back to the pool when the last picture
// made over it goes, on whatever thread; a pool that has gone by then lets the buffer be freed.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace skorva {

class PixelBufferPool {
  public:
    // `spares`: how many unused buffers are kept; more are freed.
    explicit PixelBufferPool(std::size_t spares);

    // A buffer of `size` bytes whose content is undefined. Throws std::bad_alloc.
    std::shared_ptr<std::vector<std::uint8_t>> take(std::size_t size);

  private:
    struct Shelf {
        std::mutex lock;
        std::size_t limit = 0;
        std::vector<std::unique_ptr<std::vector<std::uint8_t>>> spares;
    };
    std::shared_ptr<Shelf> shelf_;
};

}  // namespace skorva
