#pragma once
// A System V shared memory segment attached both here and in the X server (MIT-SHM), so that GetImage
// writes the pixels straight into our memory. A picture may keep a segment's memory as its pixels: the
// server's attachment ends with the reader that made it, the memory with the last picture.

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/x11/x11_connection.h"

namespace skorva::x11 {

class ShmSegment {
  public:
    // A segment of at least `bytes`, attached on both sides; nullptr when the server or the system
    // refuses (a remote display, no SysV IPC, a server running as another user).
    static std::shared_ptr<ShmSegment> create(const Connection& connection, std::size_t bytes);
    ~ShmSegment();
    ShmSegment(const ShmSegment&) = delete;
    ShmSegment& operator=(const ShmSegment&) = delete;

    xcb_shm_seg_t id() const { return segment_; }
    std::uint8_t* data() const { return address_; }
    std::size_t size() const { return size_; }
    // Ends the server's attachment while the connection is still open; the memory stays ours.
    void detachFromServer();

  private:
    struct Key {
        explicit Key() = default;
    };

  public:
    ShmSegment(Key, const Connection& connection, std::uint8_t* address, std::size_t size)
        : connection_(&connection), address_(address), size_(size) {}

  private:
    const Connection* connection_;
    std::uint8_t* address_ = nullptr;
    std::size_t size_ = 0;
    xcb_shm_seg_t segment_ = 0;  // 0: not attached in the server
};

// True when the server offers MIT-SHM at all.
bool serverHasShm(const Connection& connection);

}  // namespace skorva::x11
