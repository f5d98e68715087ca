#pragma once
// Plain reads and writes of open files that go on after short transfers and interruptions, and a file
// descriptor that closes itself.

#include <cstdint>
#include <span>
#include <string>

namespace skorva {

class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    // Closes without a word, keeping errno of the failure that made the caller give up.
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    // Closes what it held, without a word, and takes the other's.
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes now and reports the result: a delayed write error (a network file system, a quota) shows
    // only here. errno tells why on false.
    bool close();

  private:
    int fd_;
};

// Closes a descriptor of the system's C library; false with errno on failure.
bool closeDescriptor(int fd);

// Writes every byte. On false, errno tells why (a write that makes no progress counts as a full disk).
bool writeAll(int fd, std::span<const std::uint8_t> bytes);

// Writes every byte at `offset`, as writeAll does.
bool writeAt(int fd, std::int64_t offset, std::span<const std::uint8_t> bytes);

// A file opened for reading, or why not: the system's words, or "Not a regular file".
struct OpenedFile {
    UniqueFd fd;
    std::int64_t size = 0;  // of the file that is open, not of whatever the name pointed at before
    std::string failure;    // empty when `fd` is open
    int error = 0;          // errno of a failure; 0 when the name named no regular file
};

// True when `path` names a regular file (through links).
bool isRegularFile(const std::string& path);

// Opens `path` for reading when it names a regular file. Never waits on a FIFO or a device.
OpenedFile openRegularFile(const std::string& path);

// Locks the open file for this holder alone, without waiting: false with errno EWOULDBLOCK while another
// holder (in this process or another) has it. The lock covers none of the file's bytes and goes when the
// file is closed.
bool lockWithoutWaiting(int fd);

// Makes the open file exactly `size` bytes long; false with errno.
bool truncateFile(int fd, std::int64_t size);

// Reads up to `into.size()` bytes from `offset`: the number read, fewer only where the file ends, or -1
// with errno.
std::int64_t readAt(int fd, std::int64_t offset, std::span<std::uint8_t> into);

}  // namespace skorva
