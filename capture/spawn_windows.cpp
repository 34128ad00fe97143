// Child programs on Windows: none. The capture tool refuses --video there,
// before anything runs, with the reason below; nothing else starts a child.
#include "capture/spawn.h"

const char* child_unavailable() {
    return "--video is not available on Windows; save frames with --save and encode them with ffmpeg";
}

bool find_program(const char*, Path&) { return false; }

bool child_start(Child& child, const char*, const char* const*, Message& why) {
    child.id = -1;
    format(why, "%s", child_unavailable());
    return false;
}

int child_write(Child&, const void*, size_t) { return 0; }

bool child_wait(Child&, const char*, Message& why) {
    format(why, "%s", child_unavailable());
    return false;
}
