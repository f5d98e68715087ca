#include "platform/file_io.h"

#include <cerrno>

namespace skorva {

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) {
        const int saved = errno;
        closeDescriptor(fd_);
        errno = saved;
    }
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        UniqueFd old(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool UniqueFd::close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || closeDescriptor(fd);
}

}  // namespace skorva
