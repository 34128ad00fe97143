// Scripts, the built-in tour and random input, fed through one input queue.
#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "capture/inputs.h"
#include "capture/options.h"

ScriptEvent script_events[max_script_events];
int32_t script_count;

namespace {

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

// A script's name for each kind of input, in InputKind's order; `none` is
// one taken and ignored, such as a button release.
const char* const kind_names[] = {"none", "quit", "key", "button", "motion"};

char script_text[max_script_bytes + 1];

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Splits one line into at most five words; a '#' ends the line.
int32_t split_words(const char* line, const char* end, const char* words[5], int64_t lengths[5]) {
    int32_t count = 0;
    while (line < end && *line != '#') {
        if (is_blank(*line)) {
            ++line;
            continue;
        }
        const char* start = line;
        while (line < end && !is_blank(*line) && *line != '#') ++line;
        if (count < 5) {
            words[count] = start;
            lengths[count] = line - start;
        }
        ++count;
    }
    return count;
}

bool parse_line(const char* name, int32_t line_number, const char* line, const char* end, Text& problem) {
    const char* words[5];
    int64_t lengths[5];
    const int32_t count = split_words(line, end, words, lengths);
    if (count == 0) return true;
    // The problem, and the word it is about unless `word` is -1.
    auto fail = [&](const char* what, int32_t word) {
        if (word < 0) return refuse(problem, "%s:%d: %s", name, line_number, what);
        return refuse(problem, "%s:%d: %s '%.*s'", name, line_number, what, static_cast<int>(lengths[word]),
                      words[word]);
    };
    ScriptEvent event{};
    if (!parse_number(words[0], lengths[0], max_frames, &event.frame)) return fail("bad frame number", 0);
    if (script_count > 0 && event.frame < script_events[script_count - 1].frame) {
        return fail("frame goes back in time:", 0);
    }
    if (count == 1) return fail("missing event after the frame number", -1);
    int32_t kind = 0;
    while (kind < 5 && !(std::strlen(kind_names[kind]) == static_cast<size_t>(lengths[1]) &&
                         std::memcmp(words[1], kind_names[kind], static_cast<size_t>(lengths[1])) == 0)) {
        ++kind;
    }
    if (kind == 5) return fail("unknown event (expected motion, button, key, quit or none):", 1);
    event.input.kind = static_cast<InputKind>(kind);
    const int32_t wanted = event.input.kind == InputKind::motion ? 4 : 2;
    if (event.input.kind == InputKind::motion) {
        if (count < 4) return fail("motion needs X and Y", -1);
        int64_t x = 0;
        int64_t y = 0;
        if (!parse_number(words[2], lengths[2], 65535, &x)) return fail("bad X (0..65535)", 2);
        if (!parse_number(words[3], lengths[3], 65535, &y)) return fail("bad Y (0..65535)", 3);
        event.input.x = static_cast<uint16_t>(x);
        event.input.y = static_cast<uint16_t>(y);
    }
    if (count > wanted) return fail("unexpected word", wanted);
    if (script_count == max_script_events) return fail("too many events (at most 100000)", -1);
    script_events[script_count++] = event;
    return true;
}

InputQueue queue;
int32_t next_event;
bool random_input;  // pointer input from the generator, besides the script's
uint32_t random_state;

uint32_t next_random() {
    // xorshift32: its own sequence, so the program's rand() stays untouched.
    random_state ^= random_state << 13;
    random_state ^= random_state >> 17;
    random_state ^= random_state << 5;
    return random_state;
}

void push(int64_t frame, Input input, std::FILE* listing) {
    if (!queue_push(queue, input) || !listing) return;
    std::fprintf(listing, "%" PRId64 " %s", frame, kind_names[static_cast<int32_t>(input.kind)]);
    if (input.kind == InputKind::motion) std::fprintf(listing, " %d %d", input.x, input.y);
    std::fputc('\n', listing);
}

// Mostly pointer motion on the screen, sometimes far outside it, bursts that
// queue up, ignored releases and a click every few hundred frames; never a
// key or quit, which would end the run. Bursts stop at half the queue's
// room, so that none is dropped.
void push_random(int64_t frame, std::FILE* listing) {
    const uint32_t roll = next_random() % 1000;
    int32_t motions = 0;
    if (roll < 3) {
        push(frame, {InputKind::button, 0, 0}, listing);
    } else if (roll < 10) {
        push(frame, {InputKind::none, 0, 0}, listing);
    } else if (roll < 15) {
        motions = static_cast<int32_t>(next_random() % 40) + 1;
    } else if (roll < 150) {
        motions = 1;
    }
    for (int32_t i = 0; i < motions && queue.count < input_queue_size / 2; ++i) {
        const bool wild = next_random() % 8 == 0;
        const uint32_t x = next_random() % (wild ? 65536 : screen_width);
        const uint32_t y = next_random() % (wild ? 65536 : screen_height);
        push(frame, {InputKind::motion, static_cast<uint16_t>(x), static_cast<uint16_t>(y)}, listing);
    }
}

}  // namespace

bool parse_script_text(const char* name, const char* text, Text& problem) {
    script_count = 0;
    int32_t line_number = 1;
    for (const char* line = text;; ++line_number) {
        const char* end = line + std::strcspn(line, "\n");
        if (!parse_line(name, line_number, line, end, problem)) return false;
        if (*end == '\0') return true;
        line = end + 1;
    }
}

bool load_script(const CaptureSettings& settings, Text& problem) {
    script_count = 0;
    if (settings.random_events) return true;
    if (!settings.script) return parse_script_text("(built-in tour)", tour_script, problem);
    std::FILE* file = std::fopen(settings.script, "rb");
    if (!file) return refuse(problem, "%s: cannot read: %s", settings.script, std::strerror(errno));
    const size_t size = std::fread(script_text, 1, max_script_bytes + 1, file);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;               // a folder opens, and only its reading fails
    static_cast<void>(std::fclose(file));  // only read: a failed close loses nothing
    if (failed) return refuse(problem, "%s: cannot read: %s", settings.script, std::strerror(error));
    const char* wrong = size > static_cast<size_t>(max_script_bytes) ? "larger than 4 MiB"
                        : std::memchr(script_text, '\0', size)       ? "not a text file (contains a zero byte)"
                                                                     : nullptr;
    if (wrong) return refuse(problem, "%s: %s", settings.script, wrong);
    script_text[size] = '\0';
    return parse_script_text(settings.script, script_text, problem);
}

void inputs_restart(const CaptureSettings& settings) {
    queue = InputQueue{};
    next_event = 0;
    random_input = settings.random_events;
    random_state = settings.seed * 2654435761u + 0x9E3779B9u;
    if (random_state == 0) random_state = 1;
}

Input next_input(int64_t frame, std::FILE* listing) {
    if (random_input) push_random(frame, listing);
    while (next_event < script_count && script_events[next_event].frame <= frame) {
        push(frame, script_events[next_event++].input, listing);
    }
    return queue_take(queue);
}
