// The capture tool's option parser on argument vectors made from the input:
// words split at each NUL or newline. Properties: the status is 0, 1 or 2;
// a refusal says why in one line; accepted settings are in range and
// consistent; a second parse of the same words gives the same result.
#include <string>
#include <vector>

#include "capture/options.h"
#include "fuzz/fuzz.h"

namespace {

// What the last parse chose, or why it refused.
CaptureSettings settings;
Text problem;

constexpr size_t max_words = 64;

// The settings an accepted parse may leave.
void check_settings() {
    const CaptureSettings& s = settings;
    FUZZ_ASSERT(s.frames >= 1 && s.frames <= max_frames, "frames %lld", static_cast<long long>(s.frames));
    FUZZ_ASSERT(s.depth >= 1 && s.depth <= 4, "depth %d", s.depth);
    FUZZ_ASSERT(s.fps >= 1 && s.fps <= 1000, "fps %d", s.fps);
    FUZZ_ASSERT(s.jobs >= 1 && s.jobs <= 64, "jobs %d", s.jobs);
    FUZZ_ASSERT(!(s.script && s.random_events), "both a script and random input");
    FUZZ_ASSERT(s.save_count >= 0 && s.save_count <= max_save_ranges, "save_count %d", s.save_count);
    for (int32_t r = 0; r < s.save_count; ++r) {
        FUZZ_ASSERT(s.save_first[r] >= 0 && s.save_first[r] <= s.save_last[r] && s.save_last[r] < s.frames &&
                        s.save_step[r] >= 1,
                    "save range %d: %lld-%lld/%lld of %lld frames", r, static_cast<long long>(s.save_first[r]),
                    static_cast<long long>(s.save_last[r]), static_cast<long long>(s.save_step[r]),
                    static_cast<long long>(s.frames));
        FUZZ_ASSERT(frame_to_save(s, s.save_first[r]), "range %d's first frame is not saved", r);
    }
    // Something to do: frames written, compared or hashed, or the list printed.
    FUZZ_ASSERT(s.out_dir || s.expect_dir || s.hash_list || s.print_inputs, "no output at all");
    FUZZ_ASSERT(
        !s.print_inputs || (s.save_count == 0 && !s.out_dir && !s.expect_dir && !s.hash_list && !s.video && !s.check),
        "--print-inputs with an output");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Each word NUL-terminated in a copy of its own: the settings point into
    // the words, as they point into argv.
    std::vector<std::string> words;
    std::string word;
    for (size_t i = 0; i < size && words.size() < max_words; ++i) {
        if (data[i] == '\0' || data[i] == '\n') {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    if (words.size() < max_words && (!word.empty() || size == 0)) words.push_back(word);
    std::vector<char*> argv{const_cast<char*>("ringfield-capture")};
    for (std::string& w : words) argv.push_back(w.data());
    const int argc = static_cast<int>(argv.size());
    argv.push_back(nullptr);

    const int status = parse_options(argc, argv.data(), settings, problem);
    FUZZ_ASSERT(status >= 0 && status <= 2, "status %d", status);
    const std::string why = problem.text;
    if (status == 2) {
        FUZZ_ASSERT(!why.empty(), "refused without a reason");
        FUZZ_ASSERT(why.find('\n') == std::string::npos, "a reason of several lines: %s", why.c_str());
    } else {
        FUZZ_ASSERT(why.empty(), "accepted with a reason: %s", why.c_str());
    }
    if (status == 0) check_settings();
    const CaptureSettings first = settings;
    // getopt_long keeps state between calls; the parser must start afresh.
    const int again = parse_options(argc, argv.data(), settings, problem);
    FUZZ_ASSERT(again == status && why == problem.text, "second parse: %d '%s', first: %d '%s'", again, problem.text,
                status, why.c_str());
    const CaptureSettings& s = settings;
    bool same = first.frames == s.frames && first.depth == s.depth && first.reversed == s.reversed &&
                first.script == s.script && first.random_events == s.random_events && first.seed == s.seed &&
                first.check == s.check && first.print_inputs == s.print_inputs && first.out_dir == s.out_dir &&
                first.expect_dir == s.expect_dir && first.hash_list == s.hash_list && first.video == s.video &&
                first.fps == s.fps && first.jobs == s.jobs && first.save_count == s.save_count;
    for (int32_t r = 0; same && r < s.save_count; ++r) {
        same = first.save_first[r] == s.save_first[r] && first.save_last[r] == s.save_last[r] &&
               first.save_step[r] == s.save_step[r];
    }
    FUZZ_ASSERT(status != 0 || same, "the second parse's settings differ");
    return 0;
}
