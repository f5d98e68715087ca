#pragma once
// The platform interfaces hand files around as C runtime descriptors, as on Linux: a Win32 file handle
// is adopted by one, and the descriptor's close closes the handle.

#include <windows.h>

#include <string>

namespace skorva::win32 {

// A descriptor that owns `handle`; -1 with errno (and the handle closed) on failure.
int adoptHandle(HANDLE handle);
// The handle a descriptor owns; INVALID_HANDLE_VALUE for none.
HANDLE handleOf(int fd);

// CreateFileW of a UTF-8 path; sets errno when it fails.
HANDLE openFile(const std::string& path, DWORD access, DWORD disposition, DWORD flags);
// Every sharing mode: other programs may read, write, rename and remove the file while it is open, as on
// Linux.
inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The volume and file index of an open file: one file's identity, whatever its names.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    DWORD links = 0;
    DWORD attributes = 0;
    bool operator==(const FileIdentity& other) const {
        return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
    }
};
bool identify(HANDLE handle, FileIdentity& identity);
// A plain file with one name: no folder, no link or other reparse point, no second hard link.
bool plainFileOfOneName(const FileIdentity& identity);

// Locks the file for this holder alone, at a byte far beyond any data: Windows locks forbid other
// handles' reads and writes of the bytes they cover, and the file's own bytes must stay readable. False
// with errno EWOULDBLOCK while another holder has it; the lock goes with the handle.
bool lockExclusively(HANDLE handle);

}  // namespace skorva::win32
