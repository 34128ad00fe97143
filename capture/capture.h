// ringfield-capture: runs the core's start-up and frames on a picture in
// memory, fed by scripted or random inputs, and saves chosen frames as PNG
// and every frame as a video clip.
#pragma once

#include <cstdint>

#include "frame/frame.h"

constexpr int32_t max_script_events = 100000;
constexpr int32_t max_save_ranges = 64;
constexpr int64_t max_frames = 100000000;
constexpr int32_t problem_size = 512;

enum class EventKind : uint8_t { motion, button, key, quit };

struct ScriptEvent {
    int64_t frame;  // the frame before which the event joins the queue
    EventKind kind;
    uint16_t x;
    uint16_t y;
};

struct CaptureSettings {
    int64_t frames;
    int32_t depth;        // bytes per pixel, 1..4
    bool reversed;        // channel order b, g, r from the top bits down
    const char* script;   // null: the built-in tour
    bool random_events;   // events from a seeded generator instead of a script
    uint32_t seed;
    bool check;           // verify the frame state's invariants after every frame
    const char* out_dir;
    const char* expect_dir;  // compare saved frames with the references kept here
    const char* hash_list;   // write the saved frames' pixel hashes here
    int32_t save_count;      // ranges of frames to save, inclusive
    int64_t save_first[max_save_ranges];
    int64_t save_last[max_save_ranges];
    int64_t save_step[max_save_ranges];  // every step-th frame from the first
    const char* video;       // the clip every frame goes into, or null
    int32_t fps;             // the clip's frames per second
};

extern CaptureSettings settings;
extern ScriptEvent script_events[max_script_events];
extern int32_t script_count;
// Frames run by the last capture; fewer than asked when a key or quit came.
extern int64_t frames_run;
// The reason the last parse failed, one line without a newline.
extern char problem[problem_size];

extern const char* const tour_script;
extern const char* const usage_text;

// Both return 0 when all is well, 1 after --help (usage printed), 2 with
// `problem` set. Nothing is written to disk.
int parse_options(int argc, char** argv);
// Parses a whole script text; `name` is used in messages.
bool parse_script_text(const char* name, const char* text);
// Reads and parses settings.script (or the tour when it is null).
bool load_script();

bool frame_saved(int64_t frame);

// FNV-1a over the RGB bytes: the identity of a picture in hashes.txt.
uint64_t picture_hash(const uint8_t* rgb);

// The in-memory picture's layout for the settings' depth and channel order,
// its pixels not yet set. Rows are padded to whole 32-bit words.
PixelLayout capture_layout();

// Runs the capture. Returns the exit status: 0 done, 1 a frame differs from
// its reference, could not be written or broke an invariant, or the clip
// could not be encoded, 2 the references or hash list could not be opened.
int run_capture();

// PNG files of 640 x 480 RGB pixels (3 bytes per pixel, rows packed). A
// failed write leaves no file behind and returns false with `reason` set.
bool write_png(const char* path, const uint8_t* rgb, char* reason, int reason_size);
bool read_png(const char* path, uint8_t* rgb);
// A picture of the given layout as RGB, each field widened to 8 bits.
void picture_rgb(const PixelLayout& layout, uint8_t* rgb);

// Video clips through ffmpeg, the kind of clip following the extension:
// .webm (VP9), .mp4 (H.264), .mkv (FFV1, lossless) or .apng (lossless).
bool video_format_known(const char* path);
// Finds ffmpeg on PATH and makes sure settings.video can be written, leaving
// nothing behind; false with `problem` set.
bool video_ready();
// Starts ffmpeg, once video_ready has found it, on a temporary file beside
// the clip. This and the two below return false with `reason` set when
// encoding fails; the temporary file is then gone and ffmpeg has ended.
bool video_start(char* reason, int reason_size);
// One 640 x 480 RGB frame into the clip.
bool video_frame(const uint8_t* rgb, char* reason, int reason_size);
// Ends the stream. Kept, the clip takes its name once ffmpeg has finished
// well; not kept, it is thrown away. Nothing to do when no clip is open.
bool video_finish(bool keep, char* reason, int reason_size);
