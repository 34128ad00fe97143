// Child programs on Windows: none. The capture tool refuses --video there,
// before anything runs, with the reason below; nothing else starts a child.
#include "capture/spawn.h"

const char* child_unavailable() {
    return "--video is not available on Windows; save frames with --save and encode them with ffmpeg";
}

bool find_program(const char* /*name*/, Text& /*path*/) { return false; }

bool child_start(Child& child, const char* /*program*/, const char* const* /*argv*/, Text& why) {
    child.id = -1;
    return refuse(why, "%s", child_unavailable());
}

int child_write(Child& /*child*/, const void* /*data*/, size_t /*size*/) { return 0; }

bool child_wait(Child& /*child*/, const char* /*name*/, Text& why) { return refuse(why, "%s", child_unavailable()); }
