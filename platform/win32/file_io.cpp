// Plain reads and writes on Windows: positioned through OVERLAPPED offsets on the handle a descriptor owns.

#include "platform/file_io.h"

#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/win32/crt_files.h"
#include "platform/win32/system_errors.h"
#include "platform/win32/wide_text.h"

namespace skorva {
namespace {

// One WriteFile or ReadFile call takes at most this many bytes.
constexpr std::size_t kLargestTransfer = 1u << 30;

OVERLAPPED at(std::int64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    return position;
}

// Writes every byte, at `offset` when one is given, else at the file's position.
bool writeEvery(int fd, std::span<const std::uint8_t> bytes, const std::int64_t* offset) {
    const HANDLE handle = win32::handleOf(fd);
    std::int64_t position = offset != nullptr ? *offset : 0;
    while (!bytes.empty()) {
        const auto chunk = static_cast<DWORD>(std::min(bytes.size(), kLargestTransfer));
        OVERLAPPED where = at(position);
        DWORD written = 0;
        if (!::WriteFile(handle, bytes.data(), chunk, &written, offset != nullptr ? &where : nullptr)) {
            return win32::failed();
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        position += written;
        bytes = bytes.subspan(written);
    }
    return true;
}

}  // namespace

bool closeDescriptor(int fd) {
    return ::_close(fd) == 0;
}

bool lockWithoutWaiting(int fd) {
    return win32::lockExclusively(win32::handleOf(fd));
}

bool truncateFile(int fd, std::int64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    return ::SetFileInformationByHandle(win32::handleOf(fd), FileEndOfFileInfo, &end, sizeof end) != 0 ||
           win32::failed();
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    return writeEvery(fd, bytes, nullptr);
}

bool writeAt(int fd, std::int64_t offset, std::span<const std::uint8_t> bytes) {
    return writeEvery(fd, bytes, &offset);
}

std::int64_t readAt(int fd, std::int64_t offset, std::span<std::uint8_t> into) {
    const HANDLE handle = win32::handleOf(fd);
    std::size_t done = 0;
    while (done < into.size()) {
        const auto chunk = static_cast<DWORD>(std::min(into.size() - done, kLargestTransfer));
        OVERLAPPED where = at(offset + static_cast<std::int64_t>(done));
        DWORD got = 0;
        if (!::ReadFile(handle, into.data() + done, chunk, &got, &where)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) {
                break;
            }
            win32::failed();
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return static_cast<std::int64_t>(done);
}

OpenedFile openRegularFile(const std::string& path) {
    OpenedFile opened;
    const HANDLE handle = win32::openFile(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (handle == INVALID_HANDLE_VALUE) {
        opened.error = errno;
        opened.failure = std::strerror(errno);
        return opened;
    }
    opened.fd = UniqueFd(win32::adoptHandle(handle));
    LARGE_INTEGER size{};
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        opened.failure = "Not a regular file";
        return opened;
    }
    if (!::GetFileSizeEx(handle, &size)) {
        win32::failed();
        opened.error = errno;
        opened.failure = std::strerror(errno);
        return opened;
    }
    opened.size = size.QuadPart;
    return opened;
}

bool isRegularFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(win32::widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace skorva
