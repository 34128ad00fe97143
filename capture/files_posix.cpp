// The file system on POSIX systems: rename replaces the target in one step,
// and a write cut short by a signal is tried again.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "capture/files_system.h"

PathKind path_kind(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0) return PathKind::missing;
    return S_ISREG(info.st_mode) ? PathKind::file : S_ISDIR(info.st_mode) ? PathKind::folder : PathKind::other;
}

int open_file(const char* path, bool truncate) {
    return open(path, O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0), 0666);
}

long write_some(int handle, const void* data, size_t size) {
    ssize_t written = 0;
    do {
        written = write(handle, data, size);
    } while (written < 0 && errno == EINTR);
    return written;
}

bool close_file(int handle) { return close(handle) == 0; }

bool replace_file(const char* from, const char* to, Text& why) {
    return std::rename(from, to) == 0 || refuse(why, "%s", std::strerror(errno));
}

void remove_file(const char* path) { unlink(path); }

bool make_folder(const char* path) { return mkdir(path, 0777) == 0; }

void remove_folder(const char* path) { rmdir(path); }

void ignore_file_size_signal() { static_cast<void>(std::signal(SIGXFSZ, SIG_IGN)); }
