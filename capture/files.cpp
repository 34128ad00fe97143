// What the file system's twins (files_posix.cpp, files_windows.cpp) share:
// texts formatted to fit, and whole files written through an AtomicFile.
#include <cstdarg>
#include <cstdio>

#include "capture/files.h"

// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style, its arguments checked by the format attribute
bool format(Text& text, const char* form, ...) {
    va_list arguments;
    va_start(arguments, form);
    const int n = std::vsnprintf(text.text, path_size, form, arguments);
    va_end(arguments);
    return n >= 0 && n < path_size;
}

bool write_file(const char* target, const void* data, size_t size, Message& why) {
    AtomicFile file{};
    return atomic_open(file, target, why) && atomic_write(file, data, size, why) && atomic_commit(file, why);
}
