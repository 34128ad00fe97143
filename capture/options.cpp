// Option parsing, with getopt_long: long options only, also as --name=value
// and as unique abbreviations, and this tool's own messages.
#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "capture/jobs.h"
#include "capture/options.h"
#include "capture/video.h"

namespace {

const char* const usage_text =
    "usage: ringfield-capture [options]\n"
    "Runs ringfield's frames on a picture in memory and saves them as PNG files\n"
    "or as a video clip.\n"
    "\n"
    "  --frames N        frames to run (default 900)\n"
    "  --depth D[:ORDER] bytes per pixel 1, 2, 3 or 4 (default 2); ORDER is rgb\n"
    "                    (default) or bgr, the channels from the top bits down.\n"
    "                    Layouts: 1 = 3-3-2, 2 = 5-6-5, 3 = 8-8-8, 4 = x-8-8-8\n"
    "  --script FILE     input script (default: a built-in tour of the 3 scenes)\n"
    "                    one input per line: FRAME motion X Y | button | key |\n"
    "                    quit | none; frames in non-decreasing order; '#' starts\n"
    "                    a comment; at most 100000 inputs and 4 MiB\n"
    "  --random SEED     random mouse input from SEED instead of a script\n"
    "  --print-inputs    print the inputs as they join the queue, as a script,\n"
    "                    and run no frame\n"
    "  --save LIST       frames to save: N, A-B or A-B/S (every S-th frame from A\n"
    "                    to B) items joined by commas, or none (default: the last\n"
    "                    frame, or none with --video); frames count from 0\n"
    "  --out DIR         folder for frame-NNNNNN.png (default: the current one)\n"
    "  --expect DIR      compare saved frames with the pixel hashes in\n"
    "                    DIR/hashes.txt; a differing frame is written beside them\n"
    "                    as frame-NNNNNN.actual.png, and when DIR/frame-NNNNNN.png\n"
    "                    is kept, frame-NNNNNN.diff.png (differences in red) too\n"
    "  --hash-list FILE  write the saved frames' pixel hashes to FILE, for --expect\n"
    "                    to read: at most 100000 frames\n"
    "  --video FILE      encode every frame run into FILE with ffmpeg; the kind\n"
    "                    follows the extension: .webm (VP9), .mp4 (H.264),\n"
    "                    .mkv (FFV1, lossless) or .apng (lossless)\n"
    "  --fps N           the clip's frame rate, 1..1000 (default 60)\n"
    "  --check           verify angles, scene and buffer words after every frame\n"
    "  --narrow-vectors  run the fade and the conversion in the 16-byte vector\n"
    "                    code, also where the processor has 32-byte copies of it\n"
    "                    (AVX2); the frames are the same\n"
    "  --jobs N          threads encoding and reading PNG files, 1..64 (default:\n"
    "                    the number of cores)\n"
    "  --help            show this text\n"
    "  --version         show the version\n"
    "\n"
    "Options may be abbreviated and take their value as --name=value too.\n"
    "Exit status: 0 done, 1 a frame differs or a check, write or encoding failed,\n"
    "2 bad input.\n";

// getopt_long's codes for the options, clear of any character.
enum Code : int {
    help = 256,
    version,
    check,
    print_inputs,
    narrow_vectors,
    frames,
    depth,
    script,
    random,
    save,
    out,
    expect,
    hash_list,
    video,
    fps,
    jobs
};

constexpr int req = required_argument;
constexpr option options[] = {{"help", no_argument, nullptr, help},
                              {"version", no_argument, nullptr, version},
                              {"check", no_argument, nullptr, check},
                              {"print-inputs", no_argument, nullptr, print_inputs},
                              {"narrow-vectors", no_argument, nullptr, narrow_vectors},
                              {"frames", req, nullptr, frames},
                              {"depth", req, nullptr, depth},
                              {"script", req, nullptr, script},
                              {"random", req, nullptr, random},
                              {"save", req, nullptr, save},
                              {"out", req, nullptr, out},
                              {"expect", req, nullptr, expect},
                              {"hash-list", req, nullptr, hash_list},
                              {"video", req, nullptr, video},
                              {"fps", req, nullptr, fps},
                              {"jobs", req, nullptr, jobs},
                              {nullptr, 0, nullptr, 0}};

const char* name_of(int code) {
    const option* o = options;
    while (o->name && o->val != code) ++o;
    return o->name ? o->name : "?";
}

// What getopt_long refused in `word`: a value where none belongs, a prefix
// of several options, or no option at all.
bool refuse_word(const char* word, int code, Text& problem) {
    const size_t length = std::strcspn(word + 2, "=");
    int32_t matches = 0;
    for (const option* o = options; o->name && std::strncmp(word, "--", 2) == 0; ++o) {
        matches += std::strncmp(o->name, word + 2, length) == 0;
    }
    if (code >= help) return refuse(problem, "--%s takes no value", name_of(code));
    if (matches > 1) return refuse(problem, "ambiguous option '%s' (see --help)", word);
    return refuse(problem, "unknown option '%s' (see --help)", word);
}

bool number_option(const char* name, const char* what, const char* text, int64_t low, int64_t high, int64_t* value,
                   Text& problem) {
    if (parse_number(text, static_cast<int64_t>(std::strlen(text)), high, value) && *value >= low) return true;
    return refuse(problem, "--%s: bad %s '%s' (%lld..%lld)", name, what, text, static_cast<long long>(low),
                  static_cast<long long>(high));
}

bool parse_depth(const char* text, CaptureSettings& s, Text& problem) {
    const bool ok = text[0] >= '1' && text[0] <= '4' &&
                    (text[1] == '\0' || std::strcmp(text + 1, ":rgb") == 0 || std::strcmp(text + 1, ":bgr") == 0);
    if (!ok) return refuse(problem, "--depth: bad depth '%s' (1..4, optionally :rgb or :bgr)", text);
    s.depth = text[0] - '0';
    s.reversed = text[1] == ':' && text[2] == 'b';
    return true;
}

// N, A-B or A-B/S: a frame, a range, or every S-th frame of a range.
bool parse_item(const char* item, const char* end, int64_t* first, int64_t* last, int64_t* step) {
    const char* dash = static_cast<const char*>(std::memchr(item, '-', static_cast<size_t>(end - item)));
    const char* slash = static_cast<const char*>(std::memchr(item, '/', static_cast<size_t>(end - item)));
    const char* range_end = slash ? slash : end;
    *step = 1;
    if (slash && !(dash && dash < slash && parse_number(slash + 1, end - slash - 1, max_frames, step) && *step > 0)) {
        return false;
    }
    if (!dash) return parse_number(item, range_end - item, max_frames, first) && (*last = *first, true);
    return parse_number(item, dash - item, max_frames, first) &&
           parse_number(dash + 1, range_end - dash - 1, max_frames, last) && *first <= *last;
}

bool parse_save(const char* text, CaptureSettings& s, Text& problem) {
    s.save_count = 0;
    if (std::strcmp(text, "none") == 0) return true;
    for (const char* item = text;;) {
        const char* end = item + std::strcspn(item, ",");
        const int32_t r = s.save_count;
        if (r == max_save_ranges) return refuse(problem, "--save: more than %d items", max_save_ranges);
        if (!parse_item(item, end, &s.save_first[r], &s.save_last[r], &s.save_step[r])) {
            return refuse(problem, "--save: bad item '%.*s' (expected N, A-B or A-B/S with A <= B and S >= 1)",
                          static_cast<int>(end - item), item);
        }
        ++s.save_count;
        if (*end == '\0') return true;
        item = end + 1;
    }
}

// The saved frames, counted up to limit + 1, each step jumping to the next
// one, so that huge ranges take no longer than small ones.
int64_t saved_frames(const CaptureSettings& s, int64_t limit) {
    int64_t count = 0;
    for (int64_t frame = 0; count <= limit; ++count, ++frame) {
        int64_t next = s.frames;
        for (int32_t r = 0; r < s.save_count; ++r) {
            const int64_t first = s.save_first[r], step = s.save_step[r];
            const int64_t at = frame <= first ? first : first + (frame - first + step - 1) / step * step;
            if (at <= s.save_last[r] && at < next) next = at;
        }
        if (next >= s.frames) break;
        frame = next;
    }
    return count;
}

// One option and its value; false with `problem` set.
bool take_option(int code, const char* value, CaptureSettings& s, Text& problem) {
    int64_t number = 0;
    switch (code) {
    case check: s.check = true; return true;
    case print_inputs: s.print_inputs = true; return true;
    case narrow_vectors: s.narrow_vectors = true; return true;
    case frames:
        if (!number_option("frames", "count", value, 1, max_frames, &number, problem)) return false;
        s.frames = number;
        return true;
    case depth: return parse_depth(value, s, problem);
    case script: s.script = value; return true;
    case random:
        if (!number_option("random", "seed", value, 0, 0xFFFFFFFF, &number, problem)) return false;
        s.seed = static_cast<uint32_t>(number);
        s.random_events = true;
        return true;
    case save: return parse_save(value, s, problem);
    case out: s.out_dir = value; return true;
    case expect: s.expect_dir = value; return true;
    case hash_list: s.hash_list = value; return true;
    case video:
        s.video = value;
        if (video_format_known(value)) return true;
        return refuse(problem, "--video: unknown kind of clip '%s' (the name must end in .webm, .mp4, .mkv or .apng)",
                      value);
    case jobs:
        if (!number_option("jobs", "count", value, 1, max_jobs, &number, problem)) return false;
        s.jobs = static_cast<int32_t>(number);
        return true;
    default:
        if (!number_option("fps", "frame rate", value, 1, 1000, &number, problem)) return false;
        s.fps = static_cast<int32_t>(number);
        return true;
    }
}

// What the options mean together, once all are read.
bool settle(bool fps_given, CaptureSettings& s, Text& problem) {
    if (s.script && s.random_events) return refuse(problem, "--script and --random cannot be combined");
    if (fps_given && !s.video) return refuse(problem, "--fps needs --video");
    const bool runs = s.save_count >= 0 || s.out_dir || s.expect_dir || s.hash_list || s.video || s.check;
    if (s.print_inputs && runs) {
        return refuse(
            problem,
            "--print-inputs runs no frame: it takes no --save, --out, --expect, --hash-list, --video or --check");
    }
    // A clip is output enough: no frame is saved unless asked for.
    if (s.save_count < 0 && (s.video || s.print_inputs)) s.save_count = 0;
    if (s.save_count < 0) {
        s.save_count = 1;
        s.save_first[0] = s.save_last[0] = s.frames - 1;
        s.save_step[0] = 1;
    }
    for (int32_t r = 0; r < s.save_count; ++r) {
        if (s.save_last[r] >= s.frames) {
            return refuse(problem, "--save: frame %lld is past the last frame %lld",
                          static_cast<long long>(s.save_last[r]), static_cast<long long>(s.frames - 1));
        }
    }
    if (s.hash_list && saved_frames(s, max_hash_list) > max_hash_list) {
        return refuse(problem, "--hash-list: more than %d frames to save (--expect reads at most %d hashes)",
                      max_hash_list, max_hash_list);
    }
    if (!s.out_dir && !s.expect_dir && !s.hash_list && !s.print_inputs) {
        s.out_dir = ".";
    }
    return true;
}

}  // namespace

bool parse_number(const char* text, int64_t length, int64_t limit, int64_t* value) {
    if (length <= 0) return false;
    int64_t v = 0;
    for (int64_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > limit) return false;
    }
    *value = v;
    return true;
}

int parse_options(int argc, char** argv, CaptureSettings& s, Text& problem) {
    s = CaptureSettings{};
    s.frames = 900;
    s.depth = 2;
    s.save_count = -1;  // the last frame, once --frames is known
    s.fps = 60;
    // 0 when the count of cores is unknown.
    const unsigned cores = std::thread::hardware_concurrency();
    s.jobs = static_cast<int32_t>(cores < 1 ? 1 : cores > max_jobs ? max_jobs : cores);
    problem.text[0] = '\0';
    bool fps_given = false;
    opterr = 0;  // the messages are this tool's own
    optind = 0;  // a full restart of getopt_long, for a second parse
    for (;;) {
        const int at = optind == 0 ? 1 : optind;
        // '+': stop at the first word that is no option; ':': tell a missing value.
        const int code = getopt_long(argc, argv, "+:", options, nullptr);
        if (code == -1) break;
        if (code == help) {
            std::fputs(usage_text, stdout);
            return 1;
        }
        if (code == version) {
            std::fputs("ringfield-capture " RINGFIELD_VERSION "\n", stdout);
            return 1;
        }
        fps_given = fps_given || code == fps;
        const bool taken = code == '?'   ? refuse_word(argv[at], optopt, problem)
                           : code == ':' ? refuse(problem, "--%s needs a value", name_of(optopt))
                                         : take_option(code, optarg, s, problem);
        if (!taken) return 2;
    }
    const bool all_options = optind == argc || refuse(problem, "unknown option '%s' (see --help)", argv[optind]);
    return all_options && settle(fps_given, s, problem) ? 0 : 2;
}

bool frame_to_save(const CaptureSettings& s, int64_t frame) {
    for (int32_t r = 0; r < s.save_count; ++r) {
        if (frame >= s.save_first[r] && frame <= s.save_last[r] && (frame - s.save_first[r]) % s.save_step[r] == 0) {
            return true;
        }
    }
    return false;
}
