// The operating system's side of the capture tool's files: the few calls
// that differ between files_posix.cpp and files_windows.cpp, which files.cpp
// builds on. Private to capture/.
#pragma once

#include <cstddef>

#include "capture/files.h"

enum class PathKind { missing, file, folder, other };
// What is at `path`; `missing`, with errno set, when it cannot be looked at.
PathKind path_kind(const char* path);
// Opens for writing, made when missing and emptied with `truncate`, not
// inherited by child programs; -1 with errno set.
int open_file(const char* path, bool truncate);
// Writes some of the bytes; how many, or -1 with errno set.
long write_some(int handle, const void* data, size_t size);
// False with errno set: a full disk may show only here.
bool close_file(int handle);
// Renames `from` over `to`, which it replaces in one step; false with the
// system's reason in `why`.
bool replace_file(const char* from, const char* to, Text& why);
void remove_file(const char* path);
// False with errno set.
bool make_folder(const char* path);
// Removes an empty folder made by folder_ready.
void remove_folder(const char* path);

// Past a file-size limit a write fails with EFBIG, reported like any failed
// write, instead of a signal ending the tool with a file cut short.
void ignore_file_size_signal();
