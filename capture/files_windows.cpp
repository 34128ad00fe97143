// The file system on Windows: files opened in binary mode (no line-end
// translation), MoveFileEx to replace the target in one step, and the C
// library's stat and mkdir.
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "capture/files.h"

namespace {

bool system_error(Message& why, int error) {
    format(why, "%s", std::strerror(error));
    return false;
}

// The system's words for a Windows error code, without the line break.
bool windows_error(Message& why, DWORD error) {
    char reason[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason, sizeof reason,
                   nullptr);
    size_t length = std::strlen(reason);
    while (length > 0 && std::strchr("\r\n. ", reason[length - 1])) reason[--length] = '\0';
    format(why, "%s", length > 0 ? reason : "unknown error");
    return false;
}

bool fail(AtomicFile& file, Message& why, int error) {
    atomic_abandon(file);
    return system_error(why, error);
}

}  // namespace

bool atomic_name(AtomicFile& file, const char* target, Message& why) {
    file = AtomicFile{nullptr, {}, -1};
    // A rename would put a file in place of a device (NUL, CON), not write
    // into it; a folder in the way fails at the rename.
    struct _stat64 info;
    if (_stat64(target, &info) == 0 && !(info.st_mode & (_S_IFREG | _S_IFDIR))) {
        return format(why, "not a regular file"), false;
    }
    if (!format(file.temporary, "%s.part", target)) return format(why, "path too long"), false;
    file.target = target;
    return true;
}

bool atomic_open(AtomicFile& file, const char* target, Message& why) {
    if (!atomic_name(file, target, why)) return false;
    file.handle =
        _open(file.temporary.text, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (file.handle >= 0) return true;
    file.target = nullptr;  // what is there under that name is not ours to remove
    return system_error(why, errno);
}

bool atomic_write(AtomicFile& file, const void* data, size_t size, Message& why) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const unsigned chunk = size > (1u << 30) ? 1u << 30 : static_cast<unsigned>(size);
        const int written = _write(file.handle, bytes, chunk);
        if (written <= 0) return fail(file, why, written < 0 ? errno : EIO);
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool atomic_commit(AtomicFile& file, Message& why) {
    const bool closed = file.handle < 0 || _close(file.handle) == 0;
    file.handle = -1;
    if (!closed) return fail(file, why, errno);
    // The C library's rename will not replace an existing file here.
    if (!MoveFileExA(file.temporary.text, file.target, MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        atomic_abandon(file);
        return windows_error(why, error);
    }
    file.target = nullptr;
    return true;
}

void atomic_abandon(AtomicFile& file) {
    if (!file.target) return;
    if (file.handle >= 0) _close(file.handle);
    _unlink(file.temporary.text);
    file.target = nullptr;
    file.handle = -1;
}

bool write_file(const char* target, const void* data, size_t size, Message& why) {
    AtomicFile file{};
    return atomic_open(file, target, why) && atomic_write(file, data, size, why) && atomic_commit(file, why);
}

bool can_create(const char* path, Message& why) {
    struct _stat64 info;
    const bool existed = _stat64(path, &info) == 0;
    const int fd = _open(path, _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0) return system_error(why, errno);
    _close(fd);
    if (!existed) _unlink(path);
    return true;
}

bool is_folder(const char* path) {
    struct _stat64 info;
    return _stat64(path, &info) == 0 && (info.st_mode & _S_IFDIR) != 0;
}

bool folder_ready(const char* path, bool create, Message& why) {
    struct _stat64 info;
    if (_stat64(path, &info) == 0) {
        if (info.st_mode & _S_IFDIR) return true;
        format(why, "%s: not a folder", path);
        return false;
    }
    if (create && errno == ENOENT && _mkdir(path) == 0) return true;
    format(why, "%s: %s", path, std::strerror(errno));
    return false;
}

// Windows has no file-size signal: a write past a limit simply fails.
void remove_folder(const char* path) { _rmdir(path); }

void ignore_file_size_signal() {}
