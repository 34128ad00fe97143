// The reading of hashes.txt from memory, on any bytes. It accepts what a
// second reading, line by line by regular expressions, accepts, a refusal
// names the line that reading refuses first, and an accepted list gives each
// listed frame the hash of its first line and no hash to any other frame.
#include <cinttypes>
#include <map>
#include <regex>
#include <sstream>

#include "capture/options.h"
#include "capture/run.h"
#include "fuzz/fuzz.h"

namespace {

// Why the last parse refused.
Text problem;

// The number of the first line refused, or 0, and each listed frame's first
// hash. Each line is a comment, blank, or "frame-" and six digits or more
// for a frame up to the most, blanks, 16 hex digits, blanks that may end in
// a CR; at most max_hash_list of the last.
int64_t second_reading(const std::string& text, std::map<int64_t, uint64_t>& first) {
    static const std::regex entry("frame-(0*([0-9]{1,9}))[ \t]+([0-9a-fA-F]{16})[ \t\r]*");
    std::istringstream in(text);
    int64_t line_number = 0;
    int64_t entries = 0;
    for (std::string line; std::getline(in, line);) {
        ++line_number;
        std::smatch match;
        if (line[0] == '#' || line.find_first_not_of(" \t\r") == std::string::npos) continue;
        if (!std::regex_match(line, match, entry) || match[1].length() < 6 || std::stoll(match[2]) > max_frames ||
            ++entries > max_hash_list) {
            return line_number;
        }
        first.emplace(std::stoll(match[2]), std::stoull(match[3], nullptr, 16));
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The parser reads exactly `size` bytes: a copy of that size lets the
    // address sanitizer see a read past the end.
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::map<int64_t, uint64_t> first;
    const int64_t bad_line = second_reading(text, first);
    const bool accepted = parse_hash_list(text.data(), size, "fuzz", problem);
    FUZZ_ASSERT(accepted ? bad_line == 0 : refused_line(problem.text) == bad_line && !std::strchr(problem.text, '\n'),
                "the parser says '%s', the second reading refuses line %" PRId64, accepted ? "accepted" : problem.text,
                bad_line);
    for (const auto& [frame, hash] : accepted ? first : std::map<int64_t, uint64_t>{}) {
        uint64_t listed = 0;
        FUZZ_ASSERT(listed_hash(frame, listed) && listed == hash,
                    "frame %" PRId64 ": listed %016" PRIx64 ", its first line says %016" PRIx64, frame, listed, hash);
        for (const int64_t other : {frame - 1, frame + 1}) {
            FUZZ_ASSERT(first.contains(other) || !listed_hash(other, listed),
                        "frame %" PRId64 " has a hash but no line", other);
        }
    }
    return 0;
}
