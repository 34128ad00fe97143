// The script parser on any text. It accepts what a second, plainer reading
// of the language accepts, and a refusal names the first line that reading
// refuses.
// An accepted one is listed as --print-inputs lists it (each input at the
// frame it joins the queue), and that listing parses as a script, lists
// back to itself, and feeds the core the same input every frame as the
// script did. The listing may be shorter than the script: an input that
// finds the queue full is dropped, and a key or quit ends the run.
#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture/inputs.h"
#include "capture/options.h"
#include "fuzz/fuzz.h"

namespace {

// The settings the inputs run with (a script, as many frames as any), and why a parse refused.
CaptureSettings settings;
Text problem;

struct Taken {
    int64_t frame;
    Input input;
};

struct Listed {
    std::string listing;
    std::vector<Taken> taken;  // every input but none that a frame took
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
        if (input.kind != InputKind::none) listed.taken.push_back({frame, input});
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

// A second reading of the script language, written apart from the parser
// and plainer: the number of the first line it would refuse, or 0.
int64_t first_bad_line(const std::string& text) {
    const auto number = [](const std::string& word, int64_t limit) {
        int64_t value = 0;
        for (char c : word) {
            if (c < '0' || c > '9') return int64_t{-1};
            value = std::min(value * 10 + (c - '0'), limit + 1);
        }
        return word.empty() || value > limit ? int64_t{-1} : value;
    };
    int64_t previous = 0;
    int64_t events = 0;
    int64_t line_number = 0;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ++line_number;
        std::vector<std::string> words;
        std::string word;
        for (size_t i = start; i <= end; ++i) {
            const char c = i < end ? text[i] : ' ';
            if (c == '#') i = end;
            if (c == ' ' || c == '\t' || c == '\r' || c == '#' || i == end) {
                if (!word.empty()) words.push_back(word);
                word.clear();
            } else {
                word.push_back(c);
            }
        }
        start = end + 1;
        if (words.empty()) continue;
        const int64_t frame = number(words[0], max_frames);
        const bool motion = words.size() > 1 && words[1] == "motion";
        const bool other = words.size() == 2 &&
                           (words[1] == "none" || words[1] == "quit" || words[1] == "key" || words[1] == "button");
        const bool good =
            frame >= previous &&
            (other || (motion && words.size() == 4 && number(words[2], 65535) >= 0 && number(words[3], 65535) >= 0));
        if (!good || ++events > max_script_events) return line_number;
        previous = frame;
    }
    return 0;
}

bool same_taken(const std::vector<Taken>& a, const std::vector<Taken>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].frame != b[i].frame || a[i].input.kind != b[i].input.kind || a[i].input.x != b[i].input.x ||
            a[i].input.y != b[i].input.y) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The tool refuses a script with a zero byte before parsing; the parser
    // sees text up to the first one.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* const name = "fuzz";
    settings = CaptureSettings{};
    settings.frames = max_frames;
    const int64_t bad_line = first_bad_line(text.substr(0, std::strlen(text.c_str())));
    const bool accepted = parse_script_text(name, text.c_str(), problem);
    FUZZ_ASSERT(accepted == (bad_line == 0), "the parser says '%s', the second reading line %" PRId64,
                accepted ? "accepted" : problem.text, bad_line);
    if (!accepted) {
        int64_t lines = 1;
        for (const char* c = text.c_str(); *c; ++c) lines += *c == '\n';
        const long long line = refused_line(problem.text);
        FUZZ_ASSERT(line >= 1 && line <= lines, "refusal '%s' names no line in 1..%" PRId64, problem.text, lines);
        FUZZ_ASSERT(line == bad_line, "refusal '%s', the second reading refuses line %" PRId64, problem.text, bad_line);
        FUZZ_ASSERT(std::strchr(problem.text, '\n') == nullptr, "a refusal of several lines: %s", problem.text);
        return 0;
    }
    const int32_t events = script_count;
    const Listed first = list_inputs();
    int64_t lines = 0;
    for (char c : first.listing) lines += c == '\n';
    FUZZ_ASSERT(lines <= events, "%" PRId64 " inputs listed from %d events", lines, events);

    const bool parsed = parse_script_text("listing", first.listing.c_str(), problem);
    FUZZ_ASSERT(parsed, "the listing is no script: %s\n%s", problem.text, first.listing.c_str());
    FUZZ_ASSERT(script_count == lines, "%d events parsed from %" PRId64 " lines", script_count, lines);
    const Listed second = list_inputs();
    FUZZ_ASSERT(second.listing == first.listing, "the listing lists as\n%s\nnot as itself\n%s", second.listing.c_str(),
                first.listing.c_str());
    FUZZ_ASSERT(same_taken(first.taken, second.taken), "the listing feeds other inputs than the script:\n%s",
                first.listing.c_str());
    return 0;
}
