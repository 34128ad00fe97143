// The reading of hashes.txt from memory, on any bytes. It accepts what a
// second reading by regular expressions accepts, a refusal names the line
// that reading refuses first, and an accepted list gives each listed frame
// the hash of its first line and no hash to any other frame.
#include <cinttypes>
#include <cstring>
#include <map>
#include <regex>
#include <string>

#include "capture/options.h"
#include "capture/run.h"
#include "fuzz/fuzz.h"

namespace {

// Why the last parse refused.
Text problem;

struct Reading {
    int64_t bad_line;                   // 0 when every line is good
    std::map<int64_t, uint64_t> first;  // each frame's first hash
};

Reading second_reading(const std::string& text) {
    static const std::regex blank("[ \t\r]*");
    static const std::regex entry("frame-0*([0-9]+)[ \t]+([0-9a-fA-F]{16})[ \t\r]*");
    Reading reading{0, {}};
    int64_t line_number = 0;
    int64_t entries = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        ++line_number;
        std::smatch match;
        if (line[0] == '#' || std::regex_match(line, blank)) continue;
        const bool good = std::regex_match(line, match, entry) && line.find_first_of("0123456789") == 6 &&
                          line.find_first_not_of("0123456789", 6) >= 12 && match[1].length() <= 9 &&
                          std::stoll(match[1]) <= max_frames && ++entries <= max_hash_list;
        if (!good) return {line_number, {}};
        reading.first.emplace(std::stoll(match[1]), std::stoull(match[2], nullptr, 16));
    }
    return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The parser reads exactly `size` bytes: a copy of that size lets the
    // address sanitizer see a read past the end.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Reading reading = second_reading(text);
    const bool accepted = parse_hash_list(text.data(), size, "fuzz", problem);
    FUZZ_ASSERT(accepted == (reading.bad_line == 0), "the parser says '%s', the second reading line %" PRId64,
                accepted ? "accepted" : problem.text, reading.bad_line);
    if (!accepted) {
        FUZZ_ASSERT(refused_line(problem.text) == reading.bad_line,
                    "refusal '%s', the second reading refuses line %" PRId64, problem.text, reading.bad_line);
        FUZZ_ASSERT(std::strchr(problem.text, '\n') == nullptr, "a refusal of several lines: %s", problem.text);
        return 0;
    }
    for (const auto& [frame, hash] : reading.first) {
        uint64_t listed = 0;
        FUZZ_ASSERT(listed_hash(frame, listed) && listed == hash,
                    "frame %" PRId64 ": listed %016" PRIx64 ", its first line says %016" PRIx64, frame, listed, hash);
        for (const int64_t other : {frame - 1, frame + 1}) {
            FUZZ_ASSERT(reading.first.contains(other) || !listed_hash(other, listed),
                        "frame %" PRId64 " has a hash but no line", other);
        }
    }
    return 0;
}
