// Texts and the file system as the capture tool uses it: folders
// made or checked, and files written under a temporary name and renamed
// over their target, so that none is ever left cut short. The operating
// system's side is files_system.h, defined by files_posix.cpp
// (files_windows.cpp on Windows); a port replaces the system's file alone.
#pragma once

#include <cstddef>
#include <cstdint>

// One text of the tool: a path it makes, or a line saying why something
// failed (without a newline). A path longer than this is refused, not cut.
constexpr int32_t text_size = 4096;
struct Text {
    char text[text_size];
};

// Formats into a text; false when it did not fit (a message is then cut
// short, a path must not be used).
bool format(Text& text, const char* form, ...) __attribute__((format(printf, 2, 3)));
// Formats why something is turned down into `why` and returns false, so that
// a failing check ends in one statement.
bool refuse(Text& why, const char* form, ...) __attribute__((format(printf, 2, 3)));

// A file written as TARGET.part and renamed over TARGET once complete. Every
// failure removes the temporary file and puts the system's own reason in
// `why` (a full disk, a file-size limit, a folder in the way).
struct AtomicFile {
    const char* target;  // null when no file is named
    Text temporary;
    int handle;  // the open temporary file, or -1 when another program writes it
};

// Names the temporary file without making it (another program writes it).
bool atomic_name(AtomicFile& file, const char* target, Text& why);
// Names and creates the temporary file, empty, for atomic_write.
bool atomic_open(AtomicFile& file, const char* target, Text& why);
bool atomic_write(AtomicFile& file, const void* data, size_t size, Text& why);
// Closes the temporary file and renames it over the target. Committed or
// abandoned, the file is no longer named.
bool atomic_commit(AtomicFile& file, Text& why);
// Closes and removes the temporary file; nothing to do when none is named.
void atomic_abandon(AtomicFile& file);
// A whole file in one go: open, write, commit.
bool write_file(const char* target, const void* data, size_t size, Text& why);

// Whether `path` can be created there: made and taken away again (one that
// existed before stays), with the system's reason when it cannot.
bool can_create(const char* path, Text& why);
bool is_folder(const char* path);
// The folder exists, or is made when `create` is set and its parent exists.
bool folder_ready(const char* path, bool create, Text& why);
