// The file system on POSIX systems: open, write, rename over the target
// (which replaces it in one step), unlink, stat and mkdir.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "capture/files.h"

namespace {

bool system_error(Message& why, int error) {
    format(why, "%s", std::strerror(error));
    return false;
}

// Fails with the system's reason, the temporary file gone.
bool fail(AtomicFile& file, Message& why, int error) {
    atomic_abandon(file);
    return system_error(why, error);
}

}  // namespace

bool atomic_name(AtomicFile& file, const char* target, Message& why) {
    file = AtomicFile{nullptr, {}, -1};
    // A rename would put a file in place of a device or pipe (/dev/stdout,
    // say), not write into it; a folder in the way fails at the rename.
    struct stat info;
    if (stat(target, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
        return format(why, "not a regular file"), false;
    }
    if (!format(file.temporary, "%s.part", target)) return format(why, "path too long"), false;
    file.target = target;
    return true;
}

bool atomic_open(AtomicFile& file, const char* target, Message& why) {
    if (!atomic_name(file, target, why)) return false;
    file.handle = open(file.temporary.text, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file.handle >= 0) return true;
    file.target = nullptr;  // what is there under that name is not ours to remove
    return system_error(why, errno);
}

bool atomic_write(AtomicFile& file, const void* data, size_t size, Message& why) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(file.handle, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return fail(file, why, written < 0 ? errno : EIO);
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool atomic_commit(AtomicFile& file, Message& why) {
    // A full disk may show only at the close.
    const bool closed = file.handle < 0 || close(file.handle) == 0;
    file.handle = -1;
    if (!closed || std::rename(file.temporary.text, file.target) != 0) return fail(file, why, errno);
    file.target = nullptr;
    return true;
}

void atomic_abandon(AtomicFile& file) {
    if (!file.target) return;
    if (file.handle >= 0) close(file.handle);
    unlink(file.temporary.text);
    file.target = nullptr;
    file.handle = -1;
}

bool write_file(const char* target, const void* data, size_t size, Message& why) {
    AtomicFile file{};
    return atomic_open(file, target, why) && atomic_write(file, data, size, why) && atomic_commit(file, why);
}

bool can_create(const char* path, Message& why) {
    struct stat info;
    const bool existed = stat(path, &info) == 0;
    const int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return system_error(why, errno);
    close(fd);
    if (!existed) unlink(path);
    return true;
}

bool is_folder(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool folder_ready(const char* path, bool create, Message& why) {
    struct stat info;
    if (stat(path, &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        format(why, "%s: not a folder", path);
        return false;
    }
    if (create && errno == ENOENT && mkdir(path, 0777) == 0) return true;
    format(why, "%s: %s", path, std::strerror(errno));
    return false;
}

void remove_folder(const char* path) { rmdir(path); }

void ignore_file_size_signal() { std::signal(SIGXFSZ, SIG_IGN); }
