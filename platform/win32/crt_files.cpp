#include "platform/win32/crt_files.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>

#include "platform/win32/system_errors.h"
#include "platform/win32/wide_text.h"

namespace skorva::win32 {

int adoptHandle(HANDLE handle) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

HANDLE handleOf(int fd) {
    return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

HANDLE openFile(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
    const HANDLE handle =
        ::CreateFileW(widen(path).c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        failed();
    }
    return handle;
}

bool identify(HANDLE handle, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information)) {
        return failed();
    }
    identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow,
                information.nNumberOfLinks, information.dwFileAttributes};
    return true;
}

bool plainFileOfOneName(const FileIdentity& identity) {
    return (identity.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
           identity.links == 1;
}

bool lockExclusively(HANDLE handle) {
    OVERLAPPED farByte{};
    farByte.Offset = 0xFFFFFFFEu;
    farByte.OffsetHigh = 0x7FFFFFFFu;
    return ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &farByte) !=
               0 ||
           failed();
}

}  // namespace skorva::win32
