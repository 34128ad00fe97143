// ringfield-capture's entry: options and script are checked before anything
// is written, then the capture runs.
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "capture/capture.h"

namespace {

int bad_input(const char* text) {
    std::fprintf(stderr, "ringfield-capture: %s\n", text);
    return 2;
}

// The output folder is made if missing; its parent must exist.
bool folder_ready(const char* dir, bool create) {
    struct stat info;
    if (stat(dir, &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        std::snprintf(problem, problem_size, "%s: not a folder", dir);
        return false;
    }
    if (create && errno == ENOENT && mkdir(dir, 0777) == 0) return true;
    std::snprintf(problem, problem_size, "%s: %s", dir, std::strerror(errno));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Past a file-size limit a write then fails with EFBIG, reported like any
    // failed write, instead of the signal ending the run with a file cut short.
    std::signal(SIGXFSZ, SIG_IGN);
    const int parsed = parse_options(argc, argv);
    if (parsed == 1) return 0;
    if (parsed != 0 || !load_script()) return bad_input(problem);
    if (settings.expect_dir && !folder_ready(settings.expect_dir, false)) return bad_input(problem);
    if (settings.video && !video_ready()) return bad_input(problem);
    if (settings.out_dir && !folder_ready(settings.out_dir, true)) return bad_input(problem);
    return run_capture();
}
