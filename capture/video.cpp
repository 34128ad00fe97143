// Video clips: the ffmpeg command for each kind of clip, and the stream of
// frames into it.
#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "capture/spawn.h"
#include "capture/video.h"
#include "screen/screen.h"

namespace {

// What ffmpeg is told after the input for each kind of clip. The lossy ones
// use 4:2:0 chroma, which every player and browser decodes.
constexpr int32_t max_format_args = 16;
struct VideoFormat {
    const char* extension;
    const char* args[max_format_args];
};

constexpr VideoFormat formats[] = {
    {".webm",
     {"-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p", "-crf", "32", "-b:v", "0", "-deadline", "realtime", "-cpu-used", "8",
      "-row-mt", "1", "-f", "webm"}},
    {".mp4",
     {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset", "medium", "-crf", "20", "-movflags", "+faststart", "-f",
      "mp4"}},
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

Text ffmpeg;
AtomicFile clip_file;
Child encoder{-1, -1, nullptr};

}  // namespace

bool video_format_known(const char* path) { return format_of(path) != nullptr; }

bool video_ready(const char* clip, Text& why) {
    if (const char* reason = child_unavailable()) return refuse(why, "%s", reason);
    if (!find_program("ffmpeg", ffmpeg)) {
        return refuse(why, "--video needs ffmpeg, which is not on PATH (on Debian: apt-get install ffmpeg)");
    }
    Text reason;
    if (is_folder(clip)) return refuse(why, "%s: cannot write: it is a folder", clip);
    // Making the temporary file is the surest sign that ffmpeg can write it.
    if (atomic_name(clip_file, clip, reason) && can_create(clip_file.temporary.text, reason)) return true;
    return refuse(why, "%s: cannot write: %s", clip, reason.text);
}

bool video_start(const char* clip, int32_t fps, Text& why) {
    const VideoFormat* format = format_of(clip);
    char rate[16];
    char size[32];
    static_cast<void>(std::snprintf(rate, sizeof rate, "%d", fps));
    static_cast<void>(std::snprintf(size, sizeof size, "%dx%d", screen_width, screen_height));
    const char* argv[64] = {"ffmpeg",        "-hide_banner", "-nostdin",    "-loglevel", "error",      "-f", "rawvideo",
                            "-pixel_format", "rgb24",        "-video_size", size,        "-framerate", rate, "-i",
                            "pipe:0"};
    int32_t count = 0;
    while (argv[count]) ++count;
    for (int32_t i = 0; i < max_format_args && format->args[i]; ++i) argv[count++] = format->args[i];
    argv[count++] = "-y";
    argv[count++] = clip_file.temporary.text;
    argv[count] = nullptr;
    return child_start(encoder, ffmpeg.text, argv, why);
}

bool video_frame(const uint8_t* rgb, Text& why) {
    const int error = child_write(encoder, rgb, screen_pixels * 3);
    if (error == 0) return true;
    // A broken pipe means ffmpeg has gone: its own account says why.
    if (child_wait(encoder, "ffmpeg", why)) {
        format(why, "%s", error == EPIPE ? "ffmpeg stopped reading the frames" : std::strerror(error));
    }
    atomic_abandon(clip_file);
    return false;
}

bool video_finish(bool keep, Text& why) {
    if (encoder.id < 0) return true;
    const bool encoded = child_wait(encoder, "ffmpeg", why);
    if (!keep || !encoded) {
        atomic_abandon(clip_file);
        return !keep;
    }
    Text reason;
    if (!atomic_commit(clip_file, reason)) {
        return refuse(why, "%s: %s", clip_file.temporary.text, reason.text);
    }
    return true;
}
