// The capture loop: the core's start-up and frames on a picture in memory,
// with inputs queued as they come due and one taken per frame, as the
// desktop program takes one event per frame from its queue.
#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "capture/capture.h"
#include "frame/frame.h"
#include "screen/screen.h"

namespace {

uint8_t picture[screen_pixels * 4];
PixelLayout target;

uint8_t actual_rgb[screen_pixels * 3];
uint8_t expected_rgb[screen_pixels * 3];
uint8_t diff_rgb[screen_pixels * 3];

// Waiting random inputs. Bursts of motion stop at half the queue's room, so
// that none is dropped; a script's events wait in the script until due.
constexpr int32_t random_queue_room = input_queue_size / 2;
InputQueue queue;

void push(Input input) { queue_push(queue, input); }

Input input_of(const ScriptEvent& event) {
    switch (event.kind) {
    case EventKind::motion: return {InputKind::motion, event.x, event.y};
    case EventKind::button: return {InputKind::button, 0, 0};
    case EventKind::key: return {InputKind::key, 0, 0};
    case EventKind::quit: return {InputKind::quit, 0, 0};
    }
    return {InputKind::none, 0, 0};
}

uint32_t random_state;

uint32_t next_random() {
    // xorshift32: its own sequence, so the program's rand() stays untouched.
    random_state ^= random_state << 13;
    random_state ^= random_state >> 17;
    random_state ^= random_state << 5;
    return random_state;
}

// Mostly pointer motion on the screen, sometimes far outside it, bursts that
// queue up, ignored releases and a click every few hundred frames; never a
// key or quit, which would end the run.
void push_random_events() {
    const uint32_t roll = next_random() % 1000;
    int32_t motions = 0;
    if (roll < 3) {
        push({InputKind::button, 0, 0});
    } else if (roll < 10) {
        push({InputKind::none, 0, 0});  // a release: taken, and changes nothing
    } else if (roll < 15) {
        motions = static_cast<int32_t>(next_random() % 40) + 1;
    } else if (roll < 150) {
        motions = 1;
    }
    for (int32_t i = 0; i < motions && queue.count < random_queue_room; ++i) {
        const bool wild = next_random() % 8 == 0;
        const uint32_t x = next_random() % (wild ? 65536 : screen_width);
        const uint32_t y = next_random() % (wild ? 65536 : screen_height);
        push({InputKind::motion, static_cast<uint16_t>(x), static_cast<uint16_t>(y)});
    }
}

bool state_sound(int64_t frame) {
    const CoreState state = core_state();
    const int32_t* const accum_buffer = core_buffer();
    const int32_t angles[3] = {state.angle_x, state.angle_y, state.angle_z};
    for (int32_t a : angles) {
        if (a < 0 || a >= angle_steps) {
            std::fprintf(stderr, "ringfield-capture: frame %" PRId64 ": angle %d out of 0..4095\n", frame, a);
            return false;
        }
    }
    if (state.scene < 0 || state.scene > last_scene) {
        std::fprintf(stderr, "ringfield-capture: frame %" PRId64 ": scene %d\n", frame, state.scene);
        return false;
    }
    for (int32_t i = 0; i < screen_pixels; ++i) {
        if (accum_buffer[i] < 0 || accum_buffer[i] > 0xFFFFFF) {
            std::fprintf(stderr, "ringfield-capture: frame %" PRId64 ": buffer word %d is 0x%08x\n", frame, i,
                         static_cast<uint32_t>(accum_buffer[i]));
            return false;
        }
    }
    return true;
}

bool frame_path(char* path, const char* dir, int64_t frame, const char* suffix) {
    const int n = std::snprintf(path, 4096, "%s/frame-%06" PRId64 "%s", dir, frame, suffix);
    return n > 0 && n < 4096;
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

constexpr int32_t max_references = 4096;
int64_t reference_frame[max_references];
uint64_t reference_hash[max_references];
int32_t reference_count;
char hashes_path[4096];
std::FILE* hash_list;
char hash_list_part[4096];

// Lines of "frame-NNNNNN HASH" (16 hex digits); '#' lines are comments.
bool read_references() {
    reference_count = 0;
    if (std::snprintf(hashes_path, sizeof hashes_path, "%s/hashes.txt", settings.expect_dir) >=
        static_cast<int>(sizeof hashes_path)) {
        std::fprintf(stderr, "ringfield-capture: path too long in %s\n", settings.expect_dir);
        return false;
    }
    std::FILE* file = std::fopen(hashes_path, "r");
    if (!file) {
        std::fprintf(stderr, "ringfield-capture: %s: cannot read: %s\n", hashes_path, std::strerror(errno));
        return false;
    }
    char line[256];
    bool ok = true;
    for (int32_t number = 1; ok && std::fgets(line, sizeof line, file); ++number) {
        if (line[0] == '#' || line[0] == '\n') continue;
        long long frame = 0;
        unsigned long long hash = 0;
        char tail = 0;
        int used = 0;
        ok = std::sscanf(line, "frame-%6lld %16llx%n", &frame, &hash, &used) == 2 && used == 29 &&
             (std::sscanf(line + used, " %c", &tail) != 1) && reference_count < max_references;
        if (!ok) {
            std::fprintf(stderr, "ringfield-capture: %s:%d: expected 'frame-NNNNNN' and 16 hex digits\n",
                         hashes_path, number);
            break;
        }
        reference_frame[reference_count] = frame;
        reference_hash[reference_count++] = hash;
    }
    std::fclose(file);
    return ok;
}

int compare_frame(int64_t frame) {
    char path[4096];
    char actual[4096];
    char diff[4096];
    if (!frame_path(path, settings.expect_dir, frame, ".png") ||
        !frame_path(actual, settings.expect_dir, frame, ".actual.png") ||
        !frame_path(diff, settings.expect_dir, frame, ".diff.png")) {
        std::fprintf(stderr, "ringfield-capture: path too long in %s\n", settings.expect_dir);
        return 1;
    }
    int32_t r = 0;
    while (r < reference_count && reference_frame[r] != frame) ++r;
    const uint64_t hash = picture_hash(actual_rgb);
    const bool picture_kept = read_png(path, expected_rgb);
    const int32_t differing = picture_kept ? make_diff() : 0;
    if (r < reference_count && reference_hash[r] == hash && differing == 0) return 0;
    char reason[256];
    const bool written = write_png(actual, actual_rgb, reason, sizeof reason) &&
                         (!picture_kept || write_png(diff, diff_rgb, reason, sizeof reason));
    if (r == reference_count) {
        std::fprintf(stderr, "ringfield-capture: frame %" PRId64 ": no entry in %s\n", frame, hashes_path);
    } else {
        std::fprintf(stderr, "ringfield-capture: frame %" PRId64 ": hash %016" PRIx64 ", expected %016" PRIx64
                     " (%s)\n", frame, hash, reference_hash[r], hashes_path);
    }
    if (picture_kept) {
        std::fprintf(stderr, "  %d pixels differ\n  expected: %s\n  actual:   %s\n  diff:     %s\n", differing,
                     path, actual, diff);
    } else {
        std::fprintf(stderr, "  actual:   %s (no expected picture kept for this frame)\n", actual);
    }
    if (!written) std::fprintf(stderr, "  (could not write the actual and diff pictures: %s)\n", reason);
    return 1;
}

// A frame that differs from its reference is reported and the run goes on,
// so that one run names every differing frame; a frame that cannot be
// written ends the run.
enum class Saved { ok, differs, failed };

// The frame's picture is in actual_rgb.
Saved save_frame(int64_t frame) {
    if (settings.out_dir) {
        char path[4096];
        char reason[256];
        if (!frame_path(path, settings.out_dir, frame, ".png")) {
            std::fprintf(stderr, "ringfield-capture: cannot write frame %" PRId64 ": path too long in %s\n", frame,
                         settings.out_dir);
            return Saved::failed;
        }
        if (!write_png(path, actual_rgb, reason, sizeof reason)) {
            std::fprintf(stderr, "ringfield-capture: cannot write %s: %s\n", path, reason);
            return Saved::failed;
        }
    }
    if (hash_list &&
        std::fprintf(hash_list, "frame-%06" PRId64 " %016" PRIx64 "\n", frame, picture_hash(actual_rgb)) < 0) {
        std::fprintf(stderr, "ringfield-capture: cannot write %s: %s\n", settings.hash_list, std::strerror(errno));
        return Saved::failed;
    }
    if (settings.expect_dir && compare_frame(frame) != 0) return Saved::differs;
    return Saved::ok;
}

}  // namespace

int64_t frames_run;

int run_capture() {
    if (settings.expect_dir && !read_references()) return 2;
    if (settings.hash_list) {
        std::snprintf(hash_list_part, sizeof hash_list_part, "%s.part", settings.hash_list);
        hash_list = std::fopen(hash_list_part, "w");
        if (!hash_list) {
            std::fprintf(stderr, "ringfield-capture: cannot write %s: %s\n", settings.hash_list, std::strerror(errno));
            return 2;
        }
    }
    char reason[1024];
    // Ignored, so that a vanished ffmpeg shows as EPIPE on the next frame.
    if (settings.video) std::signal(SIGPIPE, SIG_IGN);
    if (settings.video && !video_start(reason, sizeof reason)) {
        std::fprintf(stderr, "ringfield-capture: cannot write %s: %s\n", settings.video, reason);
        if (hash_list) {
            std::fclose(hash_list);
            hash_list = nullptr;
            std::remove(hash_list_part);
        }
        return 1;
    }
    target = capture_layout();
    target.pixels = picture;
    start_core();
    random_state = settings.seed * 2654435761u + 0x9E3779B9u;
    if (random_state == 0) random_state = 1;
    queue = InputQueue{};
    int32_t next = 0;
    int status = 0;
    bool stopped = false;  // by a failure, so the clip would be cut short
    frames_run = 0;
    for (int64_t frame = 0; frame < settings.frames; ++frame) {
        Input input{InputKind::none, 0, 0};
        if (settings.random_events) {
            push_random_events();
            input = queue_take(queue);
        } else if (next < script_count && script_events[next].frame <= frame) {
            input = input_of(script_events[next++]);
        }
        if (!frame_input(input)) break;
        frame_render();
        frame_present(target);
        frames_run = frame + 1;
        if (settings.check && !state_sound(frame)) {
            status = 1;
            stopped = true;
            break;
        }
        const bool saving = frame_saved(frame);
        if (saving || settings.video) picture_rgb(target, actual_rgb);
        if (settings.video && !video_frame(actual_rgb, reason, sizeof reason)) {
            std::fprintf(stderr, "ringfield-capture: cannot write %s: %s\n", settings.video, reason);
            status = 1;
            break;
        }
        if (!saving) continue;
        const Saved saved = save_frame(frame);
        if (saved != Saved::ok) status = 1;
        if (saved == Saved::failed) {
            stopped = true;
            break;
        }
    }
    // A clip of no frames is no clip: some kinds cannot even be made so.
    const bool empty = frames_run == 0;
    if (!video_finish(!stopped && !empty, reason, sizeof reason)) {
        std::fprintf(stderr, "ringfield-capture: cannot write %s: %s\n", settings.video, reason);
        status = 1;
    } else if (settings.video && empty && !stopped) {
        std::fprintf(stderr, "ringfield-capture: %s not written: the run ended before its first frame\n",
                     settings.video);
        status = 1;
    }
    if (hash_list) {
        const bool closed = std::fclose(hash_list) == 0;
        hash_list = nullptr;
        if (status != 0 || !closed || std::rename(hash_list_part, settings.hash_list) != 0) {
            if (status == 0) {
                std::fprintf(stderr, "ringfield-capture: cannot write %s: %s\n", settings.hash_list,
                             std::strerror(errno));
            }
            std::remove(hash_list_part);
            status = 1;
        }
    }
    return status;
}
