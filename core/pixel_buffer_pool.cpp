#include "core/pixel_buffer_pool.h"

#include <utility>

#include "core/frame_memory.h"

namespace skorva {

PixelBufferPool::PixelBufferPool(std::size_t spares) : shelf_(std::make_shared<Shelf>()) {
    shelf_->limit = spares;
    // Room for every spare now, so that a buffer coming back never needs memory.
    shelf_->spares.reserve(spares);
}

std::shared_ptr<std::vector<std::uint8_t>> PixelBufferPool::take(std::size_t size) {
    std::unique_ptr<std::vector<std::uint8_t>> buffer;
    {
        const std::lock_guard held(shelf_->lock);
        if (!shelf_->spares.empty()) {
            buffer = std::move(shelf_->spares.back());
            shelf_->spares.pop_back();
        }
    }
    if (!buffer) {
        buffer = std::make_unique<std::vector<std::uint8_t>>();
    }
    // A buffer of another size is made again, not grown: growing would copy and fill.
    if (buffer->size() != size) {
        buffer->clear();
        buffer->shrink_to_fit();
        resizeFrameBuffer(*buffer, size);
    }
    // The deleter holds the shelf, not the pool: the last picture may outlive the pool.
    return {buffer.release(), [shelf = std::weak_ptr<Shelf>(shelf_)](std::vector<std::uint8_t>* returned) {
                std::unique_ptr<std::vector<std::uint8_t>> owned(returned);
                if (const std::shared_ptr<Shelf> alive = shelf.lock()) {
                    const std::lock_guard held(alive->lock);
                    if (alive->spares.size() < alive->limit) {
                        alive->spares.push_back(std::move(owned));
                    }
                }
            }};
}

}  // namespace skorva
