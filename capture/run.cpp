// The capture loop: inputs queued as they come due and one taken per frame,
// the frame run on a picture in memory, and its picture saved, hashed,
// compared or sent to the clip. The core runs on this thread alone; workers
// (capture/jobs.h) encode the saved frames and read their references back,
// and this thread writes them in frame order.
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "capture/files.h"
#include "capture/files_system.h"
#include "capture/inputs.h"
#include "capture/jobs.h"
#include "capture/options.h"
#include "capture/png.h"
#include "capture/run.h"
#include "capture/video.h"

namespace {

// Frames run by the capture; fewer than asked when a key or quit came.
int64_t frames_run;

uint8_t picture[screen_pixels * 4];
// A frame sent to the clip but not saved.
uint8_t clip_rgb[rgb_size];

struct Reference {
    int64_t frame;
    uint64_t hash;
};
Reference references[max_hash_list];
int32_t reference_count;
Text hashes_path;
AtomicFile hash_file;

// "frame-NNNNNN HASH": the frame in six digits or more, as the hash list
// writes it (frames from 1000000 on take seven), blanks, and the hash in
// 16 hex digits; blanks may follow (a CR too).
bool parse_reference(const char* at, const char* end, Reference& reference) {
    const auto span = [&](const char* set) {
        const char* from = at;
        while (at < end && *at != '\0' && std::strchr(set, *at)) ++at;
        return at - from;
    };
    if (end - at < 6 || std::memcmp(at, "frame-", 6) != 0) return false;
    at += 6;
    const char* digits = at;
    const int64_t length = span("0123456789");
    if (length < 6 || !parse_number(digits, length, max_frames, &reference.frame)) return false;
    if (span(" \t") == 0) return false;
    reference.hash = 0;
    for (int i = 0; i < 16; ++i, ++at) {
        const char c = at < end ? *at : '\0';
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return false;
        reference.hash = reference.hash << 4 | static_cast<uint64_t>(digit);
    }
    span(" \t\r");
    return at == end;
}

// Reads DIR/hashes.txt into memory and parses it; its name stays in
// `hashes_path` for the reports.
bool read_references(const char* dir, Text& problem) {
    if (!format(hashes_path, "%s/hashes.txt", dir)) return refuse(problem, "path too long in %s", dir);
    std::FILE* file = std::fopen(hashes_path.text, "rb");
    if (!file) return refuse(problem, "%s: cannot read: %s", hashes_path.text, std::strerror(errno));
    std::vector<char> text(max_hash_list_bytes + 1);
    const size_t size = std::fread(text.data(), 1, text.size(), file);
    const int error = errno;
    const bool failed = std::ferror(file) != 0;
    static_cast<void>(std::fclose(file));  // only read: a failed close loses nothing
    if (failed) return refuse(problem, "%s: cannot read: %s", hashes_path.text, std::strerror(error));
    if (size > max_hash_list_bytes) return refuse(problem, "%s: larger than 16 MiB", hashes_path.text);
    return parse_hash_list(text.data(), size, hashes_path.text, problem);
}

// The first reference of `frame`, or null.
const Reference* reference_of(int64_t frame) {
    const Reference* const end = references + reference_count;
    const Reference* at = std::lower_bound(static_cast<const Reference*>(references), end, frame,
                                           [](const Reference& r, int64_t f) { return r.frame < f; });
    return at != end && at->frame == frame ? at : nullptr;
}

}  // namespace

bool parse_hash_list(const char* text, size_t size, const char* name, Text& problem) {
    reference_count = 0;
    const char* const end = text + size;
    int32_t number = 0;
    for (const char* line = text; line < end;) {
        const char* const line_end = std::find(line, end, '\n');
        ++number;
        const char* first = line;
        while (first < line_end && *first != '\0' && std::strchr(" \t\r", *first)) ++first;
        // Comments may hold anything, blank lines are skipped.
        if (line[0] != '#' && first != line_end) {
            Reference reference{};
            if (!parse_reference(line, line_end, reference)) {
                return refuse(problem, "%s:%d: expected 'frame-NNNNNN' and 16 hex digits", name, number);
            }
            if (reference_count == max_hash_list) {
                return refuse(problem, "%s:%d: more than %d hashes", name, number, max_hash_list);
            }
            references[reference_count++] = reference;
        }
        line = line_end == end ? end : line_end + 1;
    }
    // Sorted by frame, the first line of a frame first, for a binary search
    // per saved frame.
    std::stable_sort(references, references + reference_count,
                     [](const Reference& a, const Reference& b) { return a.frame < b.frame; });
    return true;
}

bool listed_hash(int64_t frame, uint64_t& hash) {
    const Reference* reference = reference_of(frame);
    if (reference) hash = reference->hash;
    return reference != nullptr;
}

bool state_sound(int64_t frame, Text& why) {
    const CoreState state = core_state();
    const int32_t* const buffer = core_buffer();
    for (int32_t a : {state.angle_x, state.angle_y, state.angle_z}) {
        if (a < 0 || a >= angle_steps) return refuse(why, "frame %" PRId64 ": angle %d out of 0..4095", frame, a);
    }
    if (state.scene < 0 || state.scene > last_scene) {
        return refuse(why, "frame %" PRId64 ": scene %d", frame, state.scene);
    }
    for (int32_t i = 0; i < screen_pixels; ++i) {
        if (buffer[i] < 0 || buffer[i] > 0xFFFFFF) {
            return refuse(why, "frame %" PRId64 ": buffer word %d is 0x%08x", frame, i,
                          static_cast<uint32_t>(buffer[i]));
        }
    }
    return true;
}

bool (*frame_check)(int64_t frame, Text& why) = state_sound;

PixelLayout capture_layout(const CaptureSettings& s) {
    // Loss and shift of the first channel from the top bits down, then of
    // green, then of the last, for each depth: 3-3-2, 5-6-5, 8-8-8, x-8-8-8.
    constexpr uint8_t fields[4][6] = {
        {5, 5, 5, 2, 6, 0}, {3, 11, 2, 5, 3, 0}, {0, 16, 0, 8, 0, 0}, {0, 16, 0, 8, 0, 0}};
    const uint8_t* f = fields[s.depth - 1];
    const int first = s.reversed ? 4 : 0;
    const int last = 4 - first;
    PixelLayout layout{};
    layout.bytes_per_pixel = s.depth;
    layout.pitch = (screen_width * s.depth + 3) / 4 * 4;
    layout.red_loss = f[first];
    layout.red_shift = f[first + 1];
    layout.green_loss = f[2];
    layout.green_shift = f[3];
    layout.blue_loss = f[last];
    layout.blue_shift = f[last + 1];
    return layout;
}

namespace {

bool frame_path(Text& path, const char* dir, int64_t frame, const char* suffix) {
    return format(path, "%s/frame-%06" PRId64 "%s", dir, frame, suffix);
}

// Same pixels stay as a dim grey copy of the reference; differing ones are
// red. The diff takes the reference's place, pixel by pixel.
int32_t make_diff(uint8_t* reference, const uint8_t* actual) {
    int32_t differing = 0;
    for (int32_t i = 0; i < screen_pixels; ++i) {
        uint8_t* e = reference + 3 * i;
        const uint8_t* a = actual + 3 * i;
        if (e[0] != a[0] || e[1] != a[1] || e[2] != a[2]) {
            ++differing;
            e[0] = 255;
            e[1] = e[2] = 0;
        } else {
            e[0] = e[1] = e[2] = static_cast<uint8_t>((e[0] + e[1] + e[2]) / 12);
        }
    }
    return differing;
}

// A worker's part of a saved frame: its PNG encoded, its kept reference read
// back and compared. It reads only its slot, never the s.
void prepare_frame(Slot& slot) {
    if (slot.encoded) slot.encoded_size = encode_png(slot.rgb, slot.encoded, slot.why);
    if (slot.reference) {
        slot.unreadable.text[0] = '\0';
        slot.reference_kept =
            slot.reference_path.text[0] != '\0' && read_png(slot.reference_path.text, slot.reference, slot.unreadable);
        slot.differing = slot.reference_kept ? make_diff(slot.reference, slot.rgb) : 0;
    }
}

// A frame that differs from its reference is reported and the run goes on,
// so that one run names every differing frame; a frame that cannot be
// written, or a broken invariant, ends the run.
enum class Outcome { done, differs, failed };

Outcome compare_frame(const CaptureSettings& s, const Slot& slot) {
    const int64_t frame = slot.frame;
    Text path, actual, diff;
    if (!frame_path(path, s.expect_dir, frame, ".png") || !frame_path(actual, s.expect_dir, frame, ".actual.png") ||
        !frame_path(diff, s.expect_dir, frame, ".diff.png")) {
        say("path too long in %s", s.expect_dir);
        return Outcome::differs;
    }
    const Reference* reference = reference_of(frame);
    const uint64_t hash = slot.hash;
    const bool picture_kept = slot.reference_kept;
    const bool unreadable = slot.unreadable.text[0] != '\0';
    const bool hash_matches = reference && reference->hash == hash;
    const int32_t differing = slot.differing;
    if (hash_matches && differing == 0 && !unreadable) return Outcome::done;
    Text why;
    const bool written =
        write_png(actual.text, slot.rgb, why) && (!picture_kept || write_png(diff.text, slot.reference, why));
    if (!reference) {
        say("frame %" PRId64 ": no entry in %s", frame, hashes_path.text);
    } else if (hash_matches && unreadable) {
        say("frame %" PRId64 ": cannot read %s: %s", frame, path.text, slot.unreadable.text);
    } else if (hash_matches) {
        say("frame %" PRId64 ": the kept picture differs, though the hash matches (%s)", frame, hashes_path.text);
    } else {
        say("frame %" PRId64 ": hash %016" PRIx64 ", expected %016" PRIx64 " (%s)", frame, hash, reference->hash,
            hashes_path.text);
    }
    if (picture_kept) {
        std::fprintf(stderr, "  %d pixels differ\n  expected: %s\n  actual:   %s\n  diff:     %s\n", differing,
                     path.text, actual.text, diff.text);
    } else if (hash_matches) {
        std::fprintf(stderr, "  actual:   %s\n", actual.text);
    } else if (unreadable) {
        std::fprintf(stderr, "  actual:   %s (cannot read %s: %s)\n", actual.text, path.text, slot.unreadable.text);
    } else {
        std::fprintf(stderr, "  actual:   %s (no expected picture kept for this frame)\n", actual.text);
    }
    if (!written) std::fprintf(stderr, "  (could not write the actual and diff pictures: %s)\n", why.text);
    return Outcome::differs;
}

// The main thread's part of a saved frame, once a worker is done with it.
Outcome write_frame(const CaptureSettings& s, const Slot& slot) {
    const int64_t frame = slot.frame;
    Text path;
    Text why;
    if (s.out_dir && !frame_path(path, s.out_dir, frame, ".png")) {
        say("cannot write frame %" PRId64 ": path too long in %s", frame, s.out_dir);
        return Outcome::failed;
    }
    if (s.out_dir && slot.encoded_size == 0) {
        say("cannot write %s: %s", path.text, slot.why.text);
        return Outcome::failed;
    }
    if (s.out_dir && !write_file(path.text, slot.encoded, slot.encoded_size, why)) {
        say("cannot write %s: %s", path.text, why.text);
        return Outcome::failed;
    }
    char line[64];
    const int length = std::snprintf(line, sizeof line, "frame-%06" PRId64 " %016" PRIx64 "\n", frame, slot.hash);
    if (s.hash_list && !atomic_write(hash_file, line, static_cast<size_t>(length), why)) {
        say("cannot write %s: %s", s.hash_list, why.text);
        return Outcome::failed;
    }
    return s.expect_dir ? compare_frame(s, slot) : Outcome::done;
}

// Writes the saved frames in flight, oldest first, until no more than `keep`
// are left, waiting for the workers where needed, and then those already
// done. Stops at the first failure.
Outcome write_frames(const CaptureSettings& s, int32_t keep) {
    Outcome outcome = Outcome::done;
    while (outcome != Outcome::failed) {
        const Slot* slot = jobs_oldest(jobs_in_flight() > keep);
        if (!slot) break;
        outcome = std::max(outcome, write_frame(s, *slot));
        jobs_release();
    }
    return outcome;
}

// A failure of a frame on this thread is told once the saved frames before
// it are written: one of them may fail first, and the run stops at the first.
Outcome fail_after_earlier(const CaptureSettings& s, const Text& line) {
    if (write_frames(s, 0) != Outcome::failed) say("%s", line.text);
    return Outcome::failed;
}

// What follows a frame's drawing: the checks, the clip, the saved frame
// handed to the workers, and the frames they are done with written.
Outcome after_frame(const CaptureSettings& s, int64_t frame, const PixelLayout& target) {
    Text why, line;
    if (s.check && !frame_check(frame, why)) return fail_after_earlier(s, why);
    const bool saving = frame_to_save(s, frame);
    // A slot free for this frame.
    Outcome outcome = saving ? write_frames(s, jobs_slots() - 1) : Outcome::done;
    if (outcome == Outcome::failed) return outcome;
    uint8_t* const rgb = saving ? jobs_next().rgb : clip_rgb;
    if (saving || s.video) picture_rgb(target, rgb);
    if (s.video && !video_frame(rgb, why)) {
        format(line, "cannot write %s: %s", s.video, why.text);
        return fail_after_earlier(s, line);
    }
    if (saving) {
        jobs_next().frame = frame;
        jobs_next().hash = picture_hash(rgb);
        // The worker reads the reference from here, and no setting; a path
        // too long is told when the frame is compared.
        Text& reference = jobs_next().reference_path;
        if (s.expect_dir && !frame_path(reference, s.expect_dir, frame, ".png")) reference.text[0] = '\0';
        jobs_hand();
    }
    return std::max(outcome, write_frames(s, jobs_slots()));
}

Outcome run_frames(const CaptureSettings& s) {
    PixelLayout target = capture_layout(s);
    target.pixels = picture;
    start_core();
    core_use_wide_vectors(!s.narrow_vectors);
    inputs_restart(s);
    Outcome outcome = Outcome::done;
    frames_run = 0;
    for (int64_t frame = 0; frame < s.frames && outcome != Outcome::failed; ++frame) {
        if (!frame_input(next_input(frame, nullptr))) break;
        frame_render();
        frame_present(target);
        frames_run = frame + 1;
        outcome = std::max(outcome, after_frame(s, frame, target));
    }
    return outcome == Outcome::failed ? outcome : std::max(outcome, write_frames(s, 0));
}

// The clip is kept and the hash list takes its name only after a whole run;
// a clip of no frames is no clip (some kinds cannot even be made so).
Outcome finish_outputs(const CaptureSettings& s, Outcome outcome) {
    Text why;
    const bool empty = frames_run == 0;
    if (!video_finish(outcome != Outcome::failed && !empty, why)) {
        say("cannot write %s: %s", s.video, why.text);
        outcome = Outcome::failed;
    } else if (s.video && empty && outcome != Outcome::failed) {
        say("%s not written: the run ended before its first frame", s.video);
        outcome = Outcome::failed;
    }
    if (outcome == Outcome::done && hash_file.target && !atomic_commit(hash_file, why)) {
        say("cannot write %s: %s", s.hash_list, why.text);
        outcome = Outcome::failed;
    }
    atomic_abandon(hash_file);
    return outcome;
}

}  // namespace

// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style, its arguments checked by the format attribute
void say(const char* form, ...) {
    std::fputs("ringfield-capture: ", stderr);
    va_list arguments;
    va_start(arguments, form);
    std::vfprintf(stderr, form, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
}

bool prepare_capture(const CaptureSettings& s, Text& problem) {
    Text why;
    if (s.expect_dir && !(folder_ready(s.expect_dir, false, problem) && read_references(s.expect_dir, problem)))
        return false;
    if (s.video && !video_ready(s.video, problem)) return false;
    // The output folder first, as the hash list may go into it; taken away
    // again when the hash list cannot be made, so that bad input leaves nothing.
    const bool out_existed = s.out_dir && is_folder(s.out_dir);
    if (s.out_dir && !folder_ready(s.out_dir, true, problem)) return false;
    if (s.hash_list && !atomic_open(hash_file, s.hash_list, why)) {
        if (s.out_dir && !out_existed) remove_folder(s.out_dir);
        return refuse(problem, "cannot write %s: %s", s.hash_list, why.text);
    }
    return true;
}

int run_capture(const CaptureSettings& s) {
    Text why;
    if (!jobs_start(s.jobs, s.out_dir != nullptr, s.expect_dir != nullptr, prepare_frame, why)) {
        say("%s", why.text);
        atomic_abandon(hash_file);
        return 1;
    }
    if (s.video && !video_start(s.video, s.fps, why)) {
        say("cannot write %s: %s", s.video, why.text);
        jobs_stop();
        atomic_abandon(hash_file);
        return 1;
    }
    const Outcome outcome = run_frames(s);
    jobs_stop();
    return finish_outputs(s, outcome) == Outcome::done ? 0 : 1;
}

int print_inputs(const CaptureSettings& s) {
    start_core();
    inputs_restart(s);
    for (int64_t frame = 0; frame < s.frames; ++frame) {
        if (!frame_input(next_input(frame, stdout))) break;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        say("cannot write the input list: %s", std::strerror(errno));
        return 1;
    }
    return 0;
}
