// Video clips through ffmpeg: every frame run is piped into it as raw RGB
// and encoded into a temporary file beside the clip, which takes the clip's
// name only when the whole stream was encoded. The kind of clip follows the
// extension: .webm (VP9), .mp4 (H.264), .mkv (FFV1, lossless) or .apng
// (lossless).
#pragma once

#include <cstdint>

#include "capture/files.h"

bool video_format_known(const char* path);
// Finds ffmpeg on PATH and makes sure `clip` can be written, leaving
// nothing behind; false with `why` set.
bool video_ready(const char* clip, Text& why);
// Starts ffmpeg, once video_ready has found it. This and the two below
// return false with `why` set when encoding fails; the temporary file is
// then gone and ffmpeg has ended.
bool video_start(const char* clip, int32_t fps, Text& why);
// One screen-sized RGB frame into the clip.
bool video_frame(const uint8_t* rgb, Text& why);
// Ends the stream. Kept, the clip takes its name once ffmpeg has finished
// well; not kept, it is thrown away. Nothing to do when no clip is open.
bool video_finish(bool keep, Text& why);
