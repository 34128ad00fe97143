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

// The settings an accepted parse may leave.
void check_settings(const CaptureSettings& s) {
    FUZZ_ASSERT(s.frames >= 1 && s.frames <= max_frames && s.depth >= 1 && s.depth <= 4 && s.fps >= 1 &&
                    s.fps <= 1000 && s.jobs >= 1 && s.jobs <= 64,
                "frames %lld, depth %d, fps %d, jobs %d", static_cast<long long>(s.frames), s.depth, s.fps, s.jobs);
    FUZZ_ASSERT(!(s.script && s.random_events), "both a script and random input");
    FUZZ_ASSERT(s.save_count >= 0 && s.save_count <= max_save_ranges, "save_count %d", s.save_count);
    for (int32_t r = 0; r < s.save_count; ++r) {
        FUZZ_ASSERT(s.save_first[r] >= 0 && s.save_first[r] <= s.save_last[r] && s.save_last[r] < s.frames &&
                        s.save_step[r] >= 1 && frame_to_save(s, s.save_first[r]),
                    "save range %d: %lld-%lld/%lld of %lld frames", r, static_cast<long long>(s.save_first[r]),
                    static_cast<long long>(s.save_last[r]), static_cast<long long>(s.save_step[r]),
                    static_cast<long long>(s.frames));
    }
    // Something to do: frames written, compared or hashed, or the list printed.
    FUZZ_ASSERT(s.out_dir || s.expect_dir || s.hash_list || s.print_inputs, "no output at all");
    FUZZ_ASSERT(
        !s.print_inputs || (s.save_count == 0 && !s.out_dir && !s.expect_dir && !s.hash_list && !s.video && !s.check),
        "--print-inputs with an output");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // At most 64 words, each NUL-terminated in a copy of its own: the
    // settings point into the words, as they point into argv.
    constexpr size_t max_words = 64;
    std::vector<std::string> words{""};
    for (size_t i = 0; i < size && words.size() <= max_words; ++i) {
        if (data[i] == '\0' || data[i] == '\n') {
            words.emplace_back();
        } else {
            words.back() += static_cast<char>(data[i]);
        }
    }
    if (words.size() > max_words || (size > 0 && words.back().empty())) words.pop_back();
    std::vector<char*> argv{const_cast<char*>("ringfield-capture")};
    for (std::string& w : words) argv.push_back(w.data());
    const int argc = static_cast<int>(argv.size());
    argv.push_back(nullptr);

    const int status = parse_options(argc, argv.data(), settings, problem);
    const std::string why = problem.text;
    FUZZ_ASSERT(status >= 0 && status <= 2 && why.empty() == (status != 2) && why.find('\n') == std::string::npos,
                "status %d, reason '%s'", status, why.c_str());
    if (status == 0) check_settings(settings);
    // getopt_long keeps state between calls; the parser must start afresh.
    const CaptureSettings f = settings;
    const int again = parse_options(argc, argv.data(), settings, problem);
    const CaptureSettings& s = settings;
    FUZZ_ASSERT(again == status && why == problem.text, "second parse: %d '%s', first: %d '%s'", again, problem.text,
                status, why.c_str());
    FUZZ_ASSERT(status != 0 || (f.frames == s.frames && f.depth == s.depth && f.reversed == s.reversed &&
                                f.script == s.script && f.seed == s.seed && f.out_dir == s.out_dir &&
                                f.save_count == s.save_count && f.video == s.video && f.fps == s.fps),
                "the second parse's settings differ");
    return 0;
}
