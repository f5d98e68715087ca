#include "platform/x11/shm_segment.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

namespace skorva::x11 {

bool serverHasShm(const Connection& connection) {
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection.get(), &xcb_shm_id);
    if (extension == nullptr || extension->present == 0) {
        return false;
    }
    Reply<xcb_shm_query_version_reply_t> version(
        xcb_shm_query_version_reply(connection.get(), xcb_shm_query_version(connection.get()), nullptr));
    return static_cast<bool>(version);
}

std::shared_ptr<ShmSegment> ShmSegment::create(const Connection& connection, std::size_t bytes) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t size = (bytes + page - 1) / page * page;
    // Readable by us alone: the segment holds screen contents.
    const int shmId = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (shmId < 0) {
        return nullptr;
    }
    void* address = shmat(shmId, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(shmId, IPC_RMID, nullptr);
        return nullptr;
    }
    auto segment = std::make_shared<ShmSegment>(Key{}, connection, static_cast<std::uint8_t*>(address), size);
    const xcb_shm_seg_t id = xcb_generate_id(connection.get());
    ErrorPtr error(xcb_request_check(
        connection.get(),
        xcb_shm_attach_checked(connection.get(), id, static_cast<std::uint32_t>(shmId), 0)));
    // Marked for removal at once: the system frees it when the last side detaches, even if we crash.
    // The server has attached it by now (the check above was a round trip).
    shmctl(shmId, IPC_RMID, nullptr);
    if (error || connection.broken()) {
        return nullptr;
    }
    segment->segment_ = id;
    return segment;
}

void ShmSegment::detachFromServer() {
    if (segment_ != 0 && !connection_->broken()) {
        xcb_shm_detach(connection_->get(), segment_);
        xcb_flush(connection_->get());
    }
    segment_ = 0;
}

ShmSegment::~ShmSegment() {
    detachFromServer();
    shmdt(address_);
}

}  // namespace skorva::x11
