// Texts formatted to fit, and files written under a temporary name and
// renamed over their target, on top of the system's calls in
// files_system.h.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "capture/files.h"
#include "capture/files_system.h"

namespace {

bool system_error(Text& why, int error) { return refuse(why, "%s", std::strerror(error)); }

// Fails with the system's reason, the temporary file gone.
bool fail(AtomicFile& file, Text& why, int error) {
    atomic_abandon(file);
    return system_error(why, error);
}

}  // namespace

// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style, its arguments checked by the format attribute
bool format(Text& text, const char* form, ...) {
    va_list arguments;
    va_start(arguments, form);
    const int n = std::vsnprintf(text.text, text_size, form, arguments);
    va_end(arguments);
    return n >= 0 && n < text_size;
}

// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style, its arguments checked by the format attribute
bool refuse(Text& why, const char* form, ...) {
    va_list arguments;
    va_start(arguments, form);
    static_cast<void>(std::vsnprintf(why.text, text_size, form, arguments));  // a message too long is cut short
    va_end(arguments);
    return false;
}

bool atomic_name(AtomicFile& file, const char* target, Text& why) {
    file = AtomicFile{nullptr, {}, -1};
    // A rename would put a file in place of a device or pipe (/dev/stdout,
    // NUL), not write into it; a folder in the way fails at the rename.
    if (path_kind(target) == PathKind::other) return refuse(why, "not a regular file");
    if (!format(file.temporary, "%s.part", target)) return refuse(why, "path too long");
    file.target = target;
    return true;
}

bool atomic_open(AtomicFile& file, const char* target, Text& why) {
    if (!atomic_name(file, target, why)) return false;
    file.handle = open_file(file.temporary.text, true);
    if (file.handle >= 0) return true;
    file.target = nullptr;  // what is there under that name is not ours to remove
    return system_error(why, errno);
}

bool atomic_write(AtomicFile& file, const void* data, size_t size, Text& why) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const long written = write_some(file.handle, bytes, size);
        if (written <= 0) return fail(file, why, written < 0 ? errno : EIO);
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool atomic_commit(AtomicFile& file, Text& why) {
    const bool closed = file.handle < 0 || close_file(file.handle);
    file.handle = -1;
    if (!closed) return fail(file, why, errno);
    if (!replace_file(file.temporary.text, file.target, why)) {
        atomic_abandon(file);
        return false;
    }
    file.target = nullptr;
    return true;
}

void atomic_abandon(AtomicFile& file) {
    if (!file.target) return;
    if (file.handle >= 0) close_file(file.handle);
    remove_file(file.temporary.text);
    file.target = nullptr;
    file.handle = -1;
}

bool write_file(const char* target, const void* data, size_t size, Text& why) {
    AtomicFile file{};
    return atomic_open(file, target, why) && atomic_write(file, data, size, why) && atomic_commit(file, why);
}

bool can_create(const char* path, Text& why) {
    const bool existed = path_kind(path) != PathKind::missing;
    const int handle = open_file(path, false);
    if (handle < 0) return system_error(why, errno);
    close_file(handle);
    if (!existed) remove_file(path);
    return true;
}

bool is_folder(const char* path) { return path_kind(path) == PathKind::folder; }

bool folder_ready(const char* path, bool create, Text& why) {
    const PathKind kind = path_kind(path);
    if (kind == PathKind::folder) return true;
    if (kind != PathKind::missing) return refuse(why, "%s: not a folder", path);
    if (create && errno == ENOENT && make_folder(path)) return true;
    return refuse(why, "%s: %s", path, std::strerror(errno));
}
