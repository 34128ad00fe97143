// The capture loop: inputs queued as they come due and one taken per frame,
// the frame run on a picture in memory, and its picture saved, hashed,
// compared or sent to the clip.
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstring>

#include "capture/files.h"
#include "capture/inputs.h"
#include "capture/options.h"
#include "capture/png.h"
#include "capture/run.h"
#include "capture/video.h"

namespace {

// Frames run by the capture; fewer than asked when a key or quit came.
int64_t frames_run;

uint8_t picture[screen_pixels * 4];
uint8_t actual_rgb[rgb_size];
uint8_t expected_rgb[rgb_size];
uint8_t diff_rgb[rgb_size];

constexpr int32_t max_references = 4096;
int64_t reference_frame[max_references];
uint64_t reference_hash[max_references];
int32_t reference_count;
Path hashes_path;
AtomicFile hash_file;

// Lines of "frame-NNNNNN HASH" (16 hex digits); '#' lines are comments.
bool read_references() {
    reference_count = 0;
    if (!format(hashes_path, "%s/hashes.txt", settings.expect_dir)) {
        return refuse("path too long in %s", settings.expect_dir);
    }
    std::FILE* file = std::fopen(hashes_path.text, "r");
    if (!file) return refuse("%s: cannot read: %s", hashes_path.text, std::strerror(errno));
    char line[256];
    int32_t number = 0;
    bool ok = true;
    while (ok && std::fgets(line, sizeof line, file)) {
        ++number;
        if (line[0] == '#' || line[0] == '\n') continue;
        long long frame = 0;
        unsigned long long hash = 0;
        char tail = 0;
        int used = 0;
        ok = std::sscanf(line, "frame-%6lld %16llx%n", &frame, &hash, &used) == 2 && used == 29 &&
             (std::sscanf(line + used, " %c", &tail) != 1) && reference_count < max_references;
        if (ok) {
            reference_frame[reference_count] = frame;
            reference_hash[reference_count++] = hash;
        }
    }
    std::fclose(file);
    return ok || refuse("%s:%d: expected 'frame-NNNNNN' and 16 hex digits", hashes_path.text, number);
}

bool state_sound(int64_t frame) {
    const CoreState state = core_state();
    const int32_t* const buffer = core_buffer();
    for (int32_t a : {state.angle_x, state.angle_y, state.angle_z}) {
        if (a < 0 || a >= angle_steps) {
            say("frame %" PRId64 ": angle %d out of 0..4095", frame, a);
            return false;
        }
    }
    if (state.scene < 0 || state.scene > last_scene) {
        say("frame %" PRId64 ": scene %d", frame, state.scene);
        return false;
    }
    for (int32_t i = 0; i < screen_pixels; ++i) {
        if (buffer[i] < 0 || buffer[i] > 0xFFFFFF) {
            say("frame %" PRId64 ": buffer word %d is 0x%08x", frame, i, static_cast<uint32_t>(buffer[i]));
            return false;
        }
    }
    return true;
}

bool frame_path(Path& path, const char* dir, int64_t frame, const char* suffix) {
    return format(path, "%s/frame-%06" PRId64 "%s", dir, frame, suffix);
}

// Same pixels stay as a dim grey copy of the reference; differing ones are red.
int32_t make_diff() {
    int32_t differing = 0;
    for (int32_t i = 0; i < screen_pixels; ++i) {
        const uint8_t* e = expected_rgb + 3 * i;
        const uint8_t* a = actual_rgb + 3 * i;
        uint8_t* d = diff_rgb + 3 * i;
        if (e[0] != a[0] || e[1] != a[1] || e[2] != a[2]) {
            ++differing;
            d[0] = 255;
            d[1] = d[2] = 0;
        } else {
            d[0] = d[1] = d[2] = static_cast<uint8_t>((e[0] + e[1] + e[2]) / 12);
        }
    }
    return differing;
}

// A frame that differs from its reference is reported and the run goes on,
// so that one run names every differing frame; a frame that cannot be
// written, or a broken invariant, ends the run.
enum class Outcome { done, differs, failed };

// The frame's picture is in actual_rgb.
Outcome compare_frame(int64_t frame) {
    Path path, actual, diff;
    if (!frame_path(path, settings.expect_dir, frame, ".png") ||
        !frame_path(actual, settings.expect_dir, frame, ".actual.png") ||
        !frame_path(diff, settings.expect_dir, frame, ".diff.png")) {
        say("path too long in %s", settings.expect_dir);
        return Outcome::differs;
    }
    int32_t r = 0;
    while (r < reference_count && reference_frame[r] != frame) ++r;
    const uint64_t hash = picture_hash(actual_rgb);
    const bool picture_kept = read_png(path.text, expected_rgb);
    const int32_t differing = picture_kept ? make_diff() : 0;
    if (r < reference_count && reference_hash[r] == hash && differing == 0) return Outcome::done;
    Message why;
    const bool written = write_png(actual.text, actual_rgb, why) && (!picture_kept || write_png(diff.text, diff_rgb, why));
    if (r == reference_count) {
        say("frame %" PRId64 ": no entry in %s", frame, hashes_path.text);
    } else {
        say("frame %" PRId64 ": hash %016" PRIx64 ", expected %016" PRIx64 " (%s)", frame, hash, reference_hash[r],
            hashes_path.text);
    }
    if (picture_kept) {
        std::fprintf(stderr, "  %d pixels differ\n  expected: %s\n  actual:   %s\n  diff:     %s\n", differing,
                     path.text, actual.text, diff.text);
    } else {
        std::fprintf(stderr, "  actual:   %s (no expected picture kept for this frame)\n", actual.text);
    }
    if (!written) std::fprintf(stderr, "  (could not write the actual and diff pictures: %s)\n", why.text);
    return Outcome::differs;
}

Outcome save_frame(int64_t frame) {
    Path path;
    Message why;
    if (settings.out_dir && !frame_path(path, settings.out_dir, frame, ".png")) {
        say("cannot write frame %" PRId64 ": path too long in %s", frame, settings.out_dir);
        return Outcome::failed;
    }
    if (settings.out_dir && !write_png(path.text, actual_rgb, why)) {
        say("cannot write %s: %s", path.text, why.text);
        return Outcome::failed;
    }
    char line[64];
    const int length = std::snprintf(line, sizeof line, "frame-%06" PRId64 " %016" PRIx64 "\n", frame,
                                     picture_hash(actual_rgb));
    if (settings.hash_list && !atomic_write(hash_file, line, static_cast<size_t>(length), why)) {
        say("cannot write %s: %s", settings.hash_list, why.text);
        return Outcome::failed;
    }
    return settings.expect_dir ? compare_frame(frame) : Outcome::done;
}

// The in-memory picture's layout for the settings' depth and channel order,
// its pixels not yet set. Rows are padded to whole 32-bit words.
PixelLayout capture_layout() {
    // The first channel from the top bits down, then green, then the last:
    // 3-3-2, 5-6-5 or 8-8-8 bits.
    struct Field { uint8_t loss, shift; };
    Field top{0, 16}, middle{0, 8}, bottom{0, 0};
    if (settings.depth == 1) { top = {5, 5}; middle = {5, 2}; bottom = {6, 0}; }
    if (settings.depth == 2) { top = {3, 11}; middle = {2, 5}; bottom = {3, 0}; }
    const Field red = settings.reversed ? bottom : top;
    const Field blue = settings.reversed ? top : bottom;
    PixelLayout layout{};
    layout.bytes_per_pixel = settings.depth;
    layout.pitch = (screen_width * settings.depth + 3) / 4 * 4;
    layout.red_loss = red.loss;
    layout.red_shift = red.shift;
    layout.green_loss = middle.loss;
    layout.green_shift = middle.shift;
    layout.blue_loss = blue.loss;
    layout.blue_shift = blue.shift;
    return layout;
}

// What follows a frame's drawing: the checks, the clip and the saved frame.
Outcome after_frame(int64_t frame, const PixelLayout& target) {
    if (settings.check && !state_sound(frame)) return Outcome::failed;
    const bool saving = frame_saved(frame);
    if (saving || settings.video) picture_rgb(target, actual_rgb);
    Message why;
    if (settings.video && !video_frame(actual_rgb, why)) {
        say("cannot write %s: %s", settings.video, why.text);
        return Outcome::failed;
    }
    return saving ? save_frame(frame) : Outcome::done;
}

Outcome run_frames() {
    PixelLayout target = capture_layout();
    target.pixels = picture;
    start_core();
    inputs_restart();
    Outcome outcome = Outcome::done;
    frames_run = 0;
    for (int64_t frame = 0; frame < settings.frames && outcome != Outcome::failed; ++frame) {
        if (!frame_input(next_input(frame, nullptr))) break;
        frame_render();
        frame_present(target);
        frames_run = frame + 1;
        outcome = std::max(outcome, after_frame(frame, target));
    }
    return outcome;
}

// The clip is kept and the hash list takes its name only after a whole run;
// a clip of no frames is no clip (some kinds cannot even be made so).
Outcome finish_outputs(Outcome outcome) {
    Message why;
    const bool empty = frames_run == 0;
    if (!video_finish(outcome != Outcome::failed && !empty, why)) {
        say("cannot write %s: %s", settings.video, why.text);
        outcome = Outcome::failed;
    } else if (settings.video && empty && outcome != Outcome::failed) {
        say("%s not written: the run ended before its first frame", settings.video);
        outcome = Outcome::failed;
    }
    if (outcome == Outcome::done && hash_file.target && !atomic_commit(hash_file, why)) {
        say("cannot write %s: %s", settings.hash_list, why.text);
        outcome = Outcome::failed;
    }
    atomic_abandon(hash_file);
    return outcome;
}

}  // namespace

bool format(Text& text, const char* form, ...) {
    va_list arguments;
    va_start(arguments, form);
    const int n = std::vsnprintf(text.text, path_size, form, arguments);
    va_end(arguments);
    return n >= 0 && n < path_size;
}

void say(const char* form, ...) {
    std::fputs("ringfield-capture: ", stderr);
    va_list arguments;
    va_start(arguments, form);
    std::vfprintf(stderr, form, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
}

bool prepare_capture() {
    Message why;
    if (settings.expect_dir && !(folder_ready(settings.expect_dir, false, problem) && read_references())) return false;
    if (settings.video && !video_ready(settings.video, problem)) return false;
    if (settings.hash_list && !atomic_open(hash_file, settings.hash_list, why)) {
        return refuse("cannot write %s: %s", settings.hash_list, why.text);
    }
    if (settings.out_dir && !folder_ready(settings.out_dir, true, problem)) {
        atomic_abandon(hash_file);
        return false;
    }
    return true;
}

int run_capture() {
    Message why;
    if (settings.video && !video_start(settings.video, settings.fps, why)) {
        say("cannot write %s: %s", settings.video, why.text);
        atomic_abandon(hash_file);
        return 1;
    }
    return finish_outputs(run_frames()) == Outcome::done ? 0 : 1;
}

int print_inputs() {
    start_core();
    inputs_restart();
    for (int64_t frame = 0; frame < settings.frames; ++frame) {
        if (!frame_input(next_input(frame, stdout))) break;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        say("cannot write the input list: %s", std::strerror(errno));
        return 1;
    }
    return 0;
}
