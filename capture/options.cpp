// Option and event-script parsing. Every check happens here, before the
// capture starts, so bad input never leaves a half-written set of frames.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "capture/capture.h"
#include "screen/screen.h"

CaptureSettings settings;
ScriptEvent script_events[max_script_events];
int32_t script_count;
char problem[problem_size];

const char* const tour_script =
    "# The built-in tour: the pointer wanders, a click every 300 frames.\n"
    "0 motion 400 300\n"
    "90 motion 250 180\n"
    "180 motion 330 250\n"
    "300 button\n"
    "310 motion 200 330\n"
    "420 motion 450 200\n"
    "600 button\n"
    "610 motion 360 150\n"
    "750 motion 280 300\n";

const char* const usage_text =
    "usage: ringfield-capture [options]\n"
    "Runs ringfield's frames on a picture in memory and saves them as PNG files\n"
    "or as a video clip.\n"
    "\n"
    "  --frames N        frames to run (default 900)\n"
    "  --depth D[:ORDER] bytes per pixel 1, 2, 3 or 4 (default 2); ORDER is rgb\n"
    "                    (default) or bgr, the channels from the top bits down.\n"
    "                    Layouts: 1 = 3-3-2, 2 = 5-6-5, 3 = 8-8-8, 4 = x-8-8-8\n"
    "  --script FILE     event script (default: a built-in tour of the 3 scenes)\n"
    "                    one event per line: FRAME motion X Y | button | key | quit\n"
    "                    frames in non-decreasing order; '#' starts a comment\n"
    "  --random SEED     random mouse events from SEED instead of a script\n"
    "  --save LIST       frames to save: N, A-B or A-B/S (every S-th frame from A\n"
    "                    to B) items joined by commas, or none (default: the last\n"
    "                    frame, or none with --video); frames count from 0\n"
    "  --out DIR         folder for frame-NNNNNN.png (default: the current one)\n"
    "  --expect DIR      compare saved frames with the pixel hashes in\n"
    "                    DIR/hashes.txt; a differing frame is written beside them\n"
    "                    as frame-NNNNNN.actual.png, and when DIR/frame-NNNNNN.png\n"
    "                    is kept, frame-NNNNNN.diff.png (differences in red) too\n"
    "  --hash-list FILE  write the saved frames' pixel hashes to FILE\n"
    "  --video FILE      encode every frame run into FILE with ffmpeg; the kind\n"
    "                    follows the extension: .webm (VP9), .mp4 (H.264),\n"
    "                    .mkv (FFV1, lossless) or .apng (lossless)\n"
    "  --fps N           the clip's frame rate, 1..1000 (default 60)\n"
    "  --check           verify angles, scene and buffer words after every frame\n"
    "  --help            show this text\n"
    "\n"
    "Exit status: 0 done, 1 a frame differs or a check, write or encoding failed,\n"
    "2 bad input.\n";

namespace {

constexpr int32_t max_script_bytes = 4 << 20;
char script_text[max_script_bytes + 1];

// A plain decimal number within 0..limit; no sign, no spaces.
bool parse_number(const char* text, size_t length, int64_t limit, int64_t* value) {
    if (length == 0) return false;
    int64_t v = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > limit) return false;
    }
    *value = v;
    return true;
}

bool parse_number(const char* text, int64_t limit, int64_t* value) {
    return parse_number(text, std::strlen(text), limit, value);
}

bool parse_depth(const char* text) {
    if (text[0] < '1' || text[0] > '4') return false;
    settings.depth = text[0] - '0';
    if (text[1] == '\0') { settings.reversed = false; return true; }
    if (text[1] != ':') return false;
    if (std::strcmp(text + 2, "rgb") == 0) { settings.reversed = false; return true; }
    if (std::strcmp(text + 2, "bgr") == 0) { settings.reversed = true; return true; }
    return false;
}

bool parse_save(const char* text) {
    settings.save_count = 0;
    if (std::strcmp(text, "none") == 0) return true;
    const char* item = text;
    for (;;) {
        const char* end = std::strchr(item, ',');
        const size_t length = end ? static_cast<size_t>(end - item) : std::strlen(item);
        const char* dash = static_cast<const char*>(std::memchr(item, '-', length));
        const char* slash = static_cast<const char*>(std::memchr(item, '/', length));
        int64_t first = 0;
        int64_t last = 0;
        int64_t step = 1;
        if (settings.save_count == max_save_ranges) {
            std::snprintf(problem, problem_size, "--save: more than %d items", max_save_ranges);
            return false;
        }
        // N, A-B or A-B/S: a frame, a range, or every S-th frame of a range.
        const size_t range_length = slash ? static_cast<size_t>(slash - item) : length;
        bool ok = slash == nullptr ||
                  (dash != nullptr && dash < slash &&
                   parse_number(slash + 1, length - range_length - 1, max_frames, &step) && step > 0);
        ok = ok && (dash ? parse_number(item, static_cast<size_t>(dash - item), max_frames, &first) &&
                               parse_number(dash + 1, range_length - static_cast<size_t>(dash - item) - 1,
                                            max_frames, &last)
                         : parse_number(item, length, max_frames, &first));
        if (!dash) last = first;
        if (!ok || first > last) {
            std::snprintf(problem, problem_size,
                          "--save: bad item '%.*s' (expected N, A-B or A-B/S with A <= B and S >= 1)",
                          static_cast<int>(length), item);
            return false;
        }
        settings.save_first[settings.save_count] = first;
        settings.save_last[settings.save_count] = last;
        settings.save_step[settings.save_count] = step;
        ++settings.save_count;
        if (!end) return true;
        item = end + 1;
    }
}

void set_defaults() {
    settings = CaptureSettings{};
    settings.frames = 900;
    settings.depth = 2;
    settings.out_dir = nullptr;
    settings.save_count = -1;  // the last frame, once --frames is known
    settings.fps = 60;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Splits one line into at most five words; a '#' ends the line.
int32_t split_words(const char* line, size_t length, const char* words[5], size_t lengths[5]) {
    int32_t count = 0;
    size_t i = 0;
    while (i < length && line[i] != '#') {
        if (is_blank(line[i])) { ++i; continue; }
        const size_t start = i;
        while (i < length && !is_blank(line[i]) && line[i] != '#') ++i;
        if (count < 5) {
            words[count] = line + start;
            lengths[count] = i - start;
        }
        ++count;
    }
    return count;
}

bool word_is(const char* word, size_t length, const char* name) {
    return length == std::strlen(name) && std::memcmp(word, name, length) == 0;
}

bool parse_line(const char* name, int32_t line_number, const char* line, size_t length) {
    const char* words[5];
    size_t lengths[5];
    const int32_t count = split_words(line, length, words, lengths);
    if (count == 0) return true;
    auto fail = [&](const char* what, const char* word, size_t word_length) {
        std::snprintf(problem, problem_size, "%s:%d: %s%s%.*s%s", name, line_number, what,
                      word ? " '" : "", static_cast<int>(word ? word_length : 0), word ? word : "",
                      word ? "'" : "");
        return false;
    };
    ScriptEvent event{};
    if (!parse_number(words[0], lengths[0], max_frames, &event.frame)) {
        return fail("bad frame number", words[0], lengths[0]);
    }
    if (script_count > 0 && event.frame < script_events[script_count - 1].frame) {
        return fail("frame goes back in time:", words[0], lengths[0]);
    }
    if (count == 1) return fail("missing event after the frame number", nullptr, 0);
    int32_t wanted = 2;
    if (word_is(words[1], lengths[1], "motion")) {
        event.kind = EventKind::motion;
        wanted = 4;
        if (count < 4) return fail("motion needs X and Y", nullptr, 0);
        int64_t x = 0;
        int64_t y = 0;
        if (!parse_number(words[2], lengths[2], 65535, &x)) return fail("bad X (0..65535)", words[2], lengths[2]);
        if (!parse_number(words[3], lengths[3], 65535, &y)) return fail("bad Y (0..65535)", words[3], lengths[3]);
        event.x = static_cast<uint16_t>(x);
        event.y = static_cast<uint16_t>(y);
    } else if (word_is(words[1], lengths[1], "button")) {
        event.kind = EventKind::button;
    } else if (word_is(words[1], lengths[1], "key")) {
        event.kind = EventKind::key;
    } else if (word_is(words[1], lengths[1], "quit")) {
        event.kind = EventKind::quit;
    } else {
        return fail("unknown event (expected motion, button, key or quit):", words[1], lengths[1]);
    }
    if (count > wanted) return fail("unexpected word", words[wanted], lengths[wanted]);
    if (script_count == max_script_events) return fail("too many events (at most 100000)", nullptr, 0);
    script_events[script_count++] = event;
    return true;
}

}  // namespace

int parse_options(int argc, char** argv) {
    set_defaults();
    problem[0] = '\0';
    const char* script = nullptr;
    bool random_given = false;
    bool fps_given = false;
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (std::strcmp(option, "--help") == 0) {
            std::fputs(usage_text, stdout);
            return 1;
        }
        if (std::strcmp(option, "--check") == 0) {
            settings.check = true;
            continue;
        }
        const bool known = std::strcmp(option, "--frames") == 0 || std::strcmp(option, "--depth") == 0 ||
                           std::strcmp(option, "--script") == 0 || std::strcmp(option, "--random") == 0 ||
                           std::strcmp(option, "--save") == 0 || std::strcmp(option, "--out") == 0 ||
                           std::strcmp(option, "--expect") == 0 || std::strcmp(option, "--hash-list") == 0 ||
                           std::strcmp(option, "--video") == 0 || std::strcmp(option, "--fps") == 0;
        if (!known) {
            std::snprintf(problem, problem_size, "unknown option '%s' (see --help)", option);
            return 2;
        }
        if (i + 1 == argc) {
            std::snprintf(problem, problem_size, "%s needs a value", option);
            return 2;
        }
        const char* value = argv[++i];
        int64_t number = 0;
        if (std::strcmp(option, "--frames") == 0) {
            if (!parse_number(value, max_frames, &number) || number == 0) {
                std::snprintf(problem, problem_size, "--frames: bad count '%s' (1..%lld)", value,
                              static_cast<long long>(max_frames));
                return 2;
            }
            settings.frames = number;
        } else if (std::strcmp(option, "--depth") == 0) {
            if (!parse_depth(value)) {
                std::snprintf(problem, problem_size, "--depth: bad depth '%s' (1..4, optionally :rgb or :bgr)",
                              value);
                return 2;
            }
        } else if (std::strcmp(option, "--script") == 0) {
            script = value;
        } else if (std::strcmp(option, "--random") == 0) {
            if (!parse_number(value, 0xFFFFFFFF, &number)) {
                std::snprintf(problem, problem_size, "--random: bad seed '%s' (0..4294967295)", value);
                return 2;
            }
            settings.seed = static_cast<uint32_t>(number);
            random_given = true;
        } else if (std::strcmp(option, "--save") == 0) {
            if (!parse_save(value)) return 2;
        } else if (std::strcmp(option, "--out") == 0) {
            settings.out_dir = value;
        } else if (std::strcmp(option, "--video") == 0) {
            if (!video_format_known(value)) {
                std::snprintf(problem, problem_size,
                              "--video: unknown kind of clip '%s' (the name must end in .webm, .mp4, .mkv or .apng)",
                              value);
                return 2;
            }
            settings.video = value;
        } else if (std::strcmp(option, "--fps") == 0) {
            if (!parse_number(value, 1000, &number) || number == 0) {
                std::snprintf(problem, problem_size, "--fps: bad frame rate '%s' (1..1000)", value);
                return 2;
            }
            settings.fps = static_cast<int32_t>(number);
            fps_given = true;
        } else if (std::strcmp(option, "--hash-list") == 0) {
            settings.hash_list = value;
        } else {
            settings.expect_dir = value;
        }
    }
    if (script && random_given) {
        std::snprintf(problem, problem_size, "--script and --random cannot be combined");
        return 2;
    }
    if (fps_given && !settings.video) {
        std::snprintf(problem, problem_size, "--fps needs --video");
        return 2;
    }
    settings.script = script;
    settings.random_events = random_given;
    // A clip is output enough: no frame is saved unless asked for.
    if (settings.save_count < 0 && settings.video) settings.save_count = 0;
    if (settings.save_count < 0) {
        settings.save_count = 1;
        settings.save_first[0] = settings.save_last[0] = settings.frames - 1;
        settings.save_step[0] = 1;
    }
    for (int32_t r = 0; r < settings.save_count; ++r) {
        if (settings.save_last[r] >= settings.frames) {
            std::snprintf(problem, problem_size, "--save: frame %lld is past the last frame %lld",
                          static_cast<long long>(settings.save_last[r]),
                          static_cast<long long>(settings.frames - 1));
            return 2;
        }
    }
    if (!settings.out_dir && !settings.expect_dir && !settings.hash_list) settings.out_dir = ".";
    return 0;
}

bool parse_script_text(const char* name, const char* text) {
    script_count = 0;
    int32_t line_number = 1;
    for (const char* line = text;; ++line_number) {
        const char* end = std::strchr(line, '\n');
        const size_t length = end ? static_cast<size_t>(end - line) : std::strlen(line);
        if (!parse_line(name, line_number, line, length)) return false;
        if (!end) return true;
        line = end + 1;
    }
}

bool load_script() {
    script_count = 0;
    if (settings.random_events) return true;
    if (!settings.script) return parse_script_text("(built-in tour)", tour_script);
    std::FILE* file = std::fopen(settings.script, "rb");
    if (!file) {
        std::snprintf(problem, problem_size, "%s: cannot read: %s", settings.script, std::strerror(errno));
        return false;
    }
    const size_t size = std::fread(script_text, 1, max_script_bytes + 1, file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || size > static_cast<size_t>(max_script_bytes)) {
        std::snprintf(problem, problem_size, "%s: %s", settings.script,
                      failed ? "cannot read" : "larger than 4 MiB");
        return false;
    }
    if (std::memchr(script_text, '\0', size)) {
        std::snprintf(problem, problem_size, "%s: not a text file (contains a zero byte)", settings.script);
        return false;
    }
    script_text[size] = '\0';
    return parse_script_text(settings.script, script_text);
}

bool frame_saved(int64_t frame) {
    for (int32_t r = 0; r < settings.save_count; ++r) {
        if (frame >= settings.save_first[r] && frame <= settings.save_last[r] &&
            (frame - settings.save_first[r]) % settings.save_step[r] == 0) {
            return true;
        }
    }
    return false;
}

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
