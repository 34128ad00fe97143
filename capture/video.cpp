// Video clips: every frame run is piped as raw 640 x 480 RGB into ffmpeg,
// which encodes it into a temporary file beside the clip; the clip takes its
// name only when the whole stream was encoded.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "capture/capture.h"
#include "screen/screen.h"

extern char** environ;

namespace {

// What ffmpeg is told after the input for each kind of clip. The lossy ones
// use 4:2:0 chroma, which every player and browser decodes.
constexpr int32_t max_format_args = 16;
struct VideoFormat {
    const char* extension;
    const char* args[max_format_args];
};

constexpr VideoFormat formats[] = {
    {".webm", {"-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p", "-crf", "32", "-b:v", "0", "-deadline", "realtime",
               "-cpu-used", "8", "-row-mt", "1", "-f", "webm"}},
    {".mp4", {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset", "medium", "-crf", "20", "-movflags",
              "+faststart", "-f", "mp4"}},
    // Lossless: 8-bit RGB kept exactly, so a clip's frames are the PNG frames.
    {".mkv", {"-c:v", "ffv1", "-level", "3", "-pix_fmt", "bgr0", "-f", "matroska"}},
    {".apng", {"-c:v", "apng", "-pix_fmt", "rgb24", "-plays", "0", "-f", "apng"}},
};

const VideoFormat* format_of(const char* path) {
    const char* slash = std::strrchr(path, '/');
    const char* dot = std::strrchr(slash ? slash + 1 : path, '.');
    if (!dot) return nullptr;
    for (const VideoFormat& format : formats) {
        if (strcasecmp(dot, format.extension) == 0) return &format;
    }
    return nullptr;
}

char ffmpeg_path[4096];
char temporary[4096];
pid_t encoder = -1;
int frames_pipe = -1;   // our end of ffmpeg's standard input
std::FILE* messages;    // ffmpeg's standard error, an unlinked temporary file

// The first executable regular file named ffmpeg along PATH, as execvp would
// find it; an empty entry is the current folder.
bool find_ffmpeg() {
    const char* path = std::getenv("PATH");
    if (!path) path = "/usr/local/bin:/usr/bin:/bin";
    for (const char* entry = path;;) {
        const char* end = std::strchr(entry, ':');
        const int length = static_cast<int>(end ? end - entry : std::strlen(entry));
        const int n = length == 0 ? std::snprintf(ffmpeg_path, sizeof ffmpeg_path, "./ffmpeg")
                                  : std::snprintf(ffmpeg_path, sizeof ffmpeg_path, "%.*s/ffmpeg", length, entry);
        struct stat info;
        if (n > 0 && n < static_cast<int>(sizeof ffmpeg_path) && stat(ffmpeg_path, &info) == 0 &&
            S_ISREG(info.st_mode) && access(ffmpeg_path, X_OK) == 0) {
            return true;
        }
        if (!end) return false;
        entry = end + 1;
    }
}

// The last non-empty line ffmpeg printed, without its newline.
void last_message(char* line, int line_size) {
    line[0] = '\0';
    if (!messages || std::fflush(messages) != 0) return;
    char text[4096];
    std::fseek(messages, 0, SEEK_END);
    const long size = std::ftell(messages);
    std::fseek(messages, size > static_cast<long>(sizeof text - 1) ? size - static_cast<long>(sizeof text - 1) : 0,
               SEEK_SET);
    size_t length = std::fread(text, 1, sizeof text - 1, messages);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' ')) --length;
    text[length] = '\0';
    const char* start = std::strrchr(text, '\n');
    start = start ? start + 1 : text;
    const size_t kept = std::min(std::strlen(start), static_cast<size_t>(line_size - 1));
    std::memcpy(line, start, kept);
    line[kept] = '\0';
}

// Closes the stream, waits for ffmpeg and says how it ended: true when it
// exited with status 0, else false with the cause in `reason`.
bool stop_encoder(char* reason, int reason_size) {
    if (frames_pipe >= 0) close(frames_pipe);
    frames_pipe = -1;
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(encoder, &status, 0);
    } while (waited < 0 && errno == EINTR);
    encoder = -1;
    char line[1024];
    last_message(line, sizeof line);
    if (messages) std::fclose(messages);
    messages = nullptr;
    if (waited < 0) {
        std::snprintf(reason, reason_size, "waiting for ffmpeg: %s", std::strerror(errno));
        return false;
    }
    if (WIFSIGNALED(status)) {
        std::snprintf(reason, reason_size, "ffmpeg was killed by signal %d (%s)", WTERMSIG(status),
                      strsignal(WTERMSIG(status)));
        return false;
    }
    if (WEXITSTATUS(status) != 0) {
        std::snprintf(reason, reason_size, "ffmpeg exited with status %d%s%s", WEXITSTATUS(status),
                      line[0] ? ": " : "", line);
        return false;
    }
    return true;
}

}  // namespace

bool video_format_known(const char* path) { return format_of(path) != nullptr; }

bool video_ready() {
    if (!find_ffmpeg()) {
        std::snprintf(problem, problem_size,
                      "--video needs ffmpeg, which is not on PATH (on Debian: apt-get install ffmpeg)");
        return false;
    }
    const char* clip = settings.video;
    if (std::snprintf(temporary, sizeof temporary, "%s.part", clip) >= static_cast<int>(sizeof temporary)) {
        std::snprintf(problem, problem_size, "--video: path too long");
        return false;
    }
    struct stat info;
    if (stat(clip, &info) == 0 && S_ISDIR(info.st_mode)) {
        std::snprintf(problem, problem_size, "%s: cannot write: it is a folder", clip);
        return false;
    }
    // Make the temporary file and take it away again: the surest sign that
    // ffmpeg will be able to write there. One left by an earlier run stays.
    const bool existed = stat(temporary, &info) == 0;
    const int fd = open(temporary, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        std::snprintf(problem, problem_size, "%s: cannot write: %s", clip, std::strerror(errno));
        return false;
    }
    close(fd);
    if (!existed) unlink(temporary);
    return true;
}

bool video_start(char* reason, int reason_size) {
    const VideoFormat* format = format_of(settings.video);
    char rate[16];
    std::snprintf(rate, sizeof rate, "%d", settings.fps);
    char size[32];
    std::snprintf(size, sizeof size, "%dx%d", screen_width, screen_height);
    const char* argv[64] = {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error",
                            "-f", "rawvideo", "-pixel_format", "rgb24", "-video_size", size,
                            "-framerate", rate, "-i", "pipe:0"};
    int32_t count = 0;
    while (argv[count]) ++count;
    for (int32_t i = 0; i < max_format_args && format->args[i]; ++i) argv[count++] = format->args[i];
    argv[count++] = "-y";
    argv[count++] = temporary;
    argv[count] = nullptr;

    messages = std::tmpfile();
    int ends[2];
    if (!messages || pipe2(ends, O_CLOEXEC) != 0) {
        std::snprintf(reason, reason_size, "cannot start ffmpeg: %s", std::strerror(errno));
        if (messages) std::fclose(messages);
        messages = nullptr;
        return false;
    }
    // ffmpeg reads the pipe and writes nothing to our standard output; it
    // gets the default SIGPIPE back, which this process ignores.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fileno(messages), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fileno(messages), STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    const int spawned = posix_spawn(&encoder, ffmpeg_path, &actions, &attributes, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[0]);
    if (spawned != 0) {
        close(ends[1]);
        std::fclose(messages);
        messages = nullptr;
        encoder = -1;
        std::snprintf(reason, reason_size, "cannot start %s: %s", ffmpeg_path, std::strerror(spawned));
        return false;
    }
    frames_pipe = ends[1];
    return true;
}

bool video_frame(const uint8_t* rgb, char* reason, int reason_size) {
    size_t left = screen_pixels * 3;
    while (left > 0) {
        const ssize_t written = write(frames_pipe, rgb, left);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) {
            // A broken pipe means ffmpeg has gone: its own account says why.
            const int error = errno;
            const bool exited_well = stop_encoder(reason, reason_size);
            if (exited_well) {
                std::snprintf(reason, reason_size, "%s", error == EPIPE ? "ffmpeg stopped reading the frames"
                                                                        : std::strerror(error));
            }
            unlink(temporary);
            return false;
        }
        rgb += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

bool video_finish(bool keep, char* reason, int reason_size) {
    if (encoder < 0) return true;
    const bool encoded = stop_encoder(reason, reason_size);
    if (!keep) {
        unlink(temporary);
        return true;
    }
    if (!encoded) {
        unlink(temporary);
        return false;
    }
    if (std::rename(temporary, settings.video) != 0) {
        std::snprintf(reason, reason_size, "%s: %s", temporary, std::strerror(errno));
        unlink(temporary);
        return false;
    }
    return true;
}
