// The script parser on any text. It accepts what the language allows, read
// line by line apart from the parser, and a refusal names the first line
// that reading refuses. An accepted one is listed as --print-inputs lists it
// (each input at the frame it joins the queue), and that listing parses as a
// script, lists back to itself, and feeds the core the same input every
// frame as the script did. The listing may be shorter than the script: an
// input that finds the queue full is dropped, and a key or quit ends the run.
#include <algorithm>
#include <cinttypes>
#include <regex>
#include <sstream>
#include <vector>

#include "capture/inputs.h"
#include "capture/options.h"
#include "fuzz/fuzz.h"

namespace {

// The settings the inputs run with (a script, as many frames as any), and why a parse refused.
CaptureSettings settings;
Text problem;

// The number of the first line the language refuses, or 0: each line, its
// comment from a '#' dropped, is blank or an event, FRAME KIND or FRAME
// motion X Y, its numbers in range and its frame no earlier than the last.
int64_t first_bad_line(const std::string& text) {
    static const std::regex event(
        "[ \t\r]*0*([0-9]{1,9})[ \t\r]+(none|quit|key|button|"
        "motion[ \t\r]+0*([0-9]{1,5})[ \t\r]+0*([0-9]{1,5}))[ \t\r]*");
    std::istringstream in(text);
    int64_t previous = 0;
    int64_t events = 0;
    int64_t line_number = 0;
    for (std::string line; std::getline(in, line);) {
        ++line_number;
        line = line.substr(0, line.find('#'));
        std::smatch m;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        const bool good = std::regex_match(line, m, event) && std::stoll(m[1]) >= previous &&
                          std::stoll(m[1]) <= max_frames &&
                          (!m[3].matched || (std::stoll(m[3]) <= 65535 && std::stoll(m[4]) <= 65535));
        if (!good || ++events > max_script_events) return line_number;
        previous = std::stoll(m[1]);
    }
    return 0;
}

struct Listed {
    std::string listing;
    std::string taken;  // every input but none that a frame took, at its frame
};

// The frames of print_inputs over the parsed script, with the idle stretches
// (queue empty, nothing due) stepped over, since a frame that takes nothing
// changes nothing.
Listed list_inputs() {
    char* buffer = nullptr;
    size_t length = 0;
    std::FILE* listing = open_memstream(&buffer, &length);
    FUZZ_ASSERT(listing, "open_memstream failed");
    Listed listed;
    // frame_input decides only whether the run goes on, from the input's kind
    // alone: the core needs no fresh start here (it takes a while).
    inputs_restart(settings);
    int32_t waiting = 0;  // inputs in the queue
    int32_t due = 0;      // the next script event not yet queued
    size_t seen = 0;      // listing bytes counted
    for (int64_t frame = 0; frame < settings.frames;) {
        const Input input = next_input(frame, listing);
        static_cast<void>(std::fflush(listing));  // a memory stream: nothing to lose
        for (; seen < length; ++seen) waiting += buffer[seen] == '\n';
        if (waiting > 0) --waiting;
        while (due < script_count && script_events[due].frame <= frame) ++due;
        if (input.kind != InputKind::none) {
            listed.taken += std::to_string(frame) + ' ' + std::to_string(static_cast<int>(input.kind)) + ' ' +
                            std::to_string(input.x) + ' ' + std::to_string(input.y) + '\n';
        }
        if (!frame_input(input)) break;
        if (waiting > 0 || due == script_count) {
            ++frame;
        } else {
            frame = std::max(frame + 1, script_events[due].frame);
        }
        if (waiting == 0 && due == script_count) break;
    }
    static_cast<void>(std::fclose(listing));
    listed.listing.assign(buffer, length);
    std::free(buffer);
    return listed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The tool refuses a script with a zero byte before parsing; the parser
    // sees text up to the first one.
    const char* const text = reinterpret_cast<const char*>(data);
    const std::string script(text, strnlen(text, size));
    settings = CaptureSettings{};
    settings.frames = max_frames;
    const int64_t bad_line = first_bad_line(script);
    const bool accepted = parse_script_text("fuzz", script.c_str(), problem);
    FUZZ_ASSERT(accepted ? bad_line == 0 : refused_line(problem.text) == bad_line && !std::strchr(problem.text, '\n'),
                "the parser says '%s', the language refuses line %" PRId64, accepted ? "accepted" : problem.text,
                bad_line);
    if (!accepted) return 0;
    const Listed first = list_inputs();
    FUZZ_ASSERT(parse_script_text("listing", first.listing.c_str(), problem), "the listing is no script: %s\n%s",
                problem.text, first.listing.c_str());
    const Listed second = list_inputs();
    FUZZ_ASSERT(second.listing == first.listing, "the listing lists as\n%s\nnot as itself\n%s", second.listing.c_str(),
                first.listing.c_str());
    FUZZ_ASSERT(second.taken == first.taken, "the listing feeds other inputs than the script:\n%s",
                first.listing.c_str());
    return 0;
}
