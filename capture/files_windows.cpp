// The file system on Windows: files opened in binary mode (no line-end
// translation), writes of at most 1 GiB at a time, and MoveFileEx, as the C
// library's rename will not replace an existing file.
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstring>

#include "capture/files_system.h"

PathKind path_kind(const char* path) {
    struct _stat64 info;
    if (_stat64(path, &info) != 0) return PathKind::missing;
    return (info.st_mode & _S_IFREG) ? PathKind::file : (info.st_mode & _S_IFDIR) ? PathKind::folder : PathKind::other;
}

int open_file(const char* path, bool truncate) {
    return _open(path, _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT | (truncate ? _O_TRUNC : 0),
                 _S_IREAD | _S_IWRITE);
}

long write_some(int handle, const void* data, size_t size) {
    return _write(handle, data, size > (1u << 30) ? 1u << 30 : static_cast<unsigned>(size));
}

bool close_file(int handle) { return _close(handle) == 0; }

bool replace_file(const char* from, const char* to, Text& why) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
    // The system's words for its error code, without the line break.
    char reason[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0, reason,
                   sizeof reason, nullptr);
    size_t length = std::strlen(reason);
    while (length > 0 && std::strchr("\r\n. ", reason[length - 1])) reason[--length] = '\0';
    return refuse(why, "%s", length > 0 ? reason : "unknown error");
}

void remove_file(const char* path) { _unlink(path); }

bool make_folder(const char* path) { return _mkdir(path) == 0; }

void remove_folder(const char* path) { _rmdir(path); }

// Windows has no file-size signal: a write past a limit simply fails.
void ignore_file_size_signal() {}
