#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app.h"
#include "capture/capture.h"

namespace {

int parse(std::vector<std::string> words) {
    std::vector<char*> argv{const_cast<char*>("ringfield-capture")};
    for (auto& w : words) argv.push_back(w.data());
    return parse_options(static_cast<int>(argv.size()), argv.data());
}

TEST(CaptureScript, GoodLinesBecomeEventsInOrder) {
    ASSERT_TRUE(parse_script_text("s", "# tour\n\n0 motion 1 2  # first\r\n0\tbutton\n7 key\n"
                                       "7 motion 65535 0\n  12 quit"));
    ASSERT_EQ(script_count, 5);
    const ScriptEvent want[] = {{0, EventKind::motion, 1, 2}, {0, EventKind::button, 0, 0},
                                {7, EventKind::key, 0, 0}, {7, EventKind::motion, 65535, 0},
                                {12, EventKind::quit, 0, 0}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(script_events[i].frame, want[i].frame) << i;
        EXPECT_EQ(script_events[i].kind, want[i].kind) << i;
        EXPECT_EQ(script_events[i].x, want[i].x) << i;
        EXPECT_EQ(script_events[i].y, want[i].y) << i;
    }
    EXPECT_TRUE(parse_script_text("(built-in tour)", tour_script));
    EXPECT_GT(script_count, 0);
}

TEST(CaptureScript, BadLinesNameFileLineAndProblem) {
    const struct { const char* text; const char* problem; } cases[] = {
        {"# c\n1 key\nx motion 1 2", "f.txt:3: bad frame number 'x'"},
        {"-1 key", "f.txt:1: bad frame number '-1'"},
        {"100000001 key", "f.txt:1: bad frame number '100000001'"},
        {"5", "f.txt:1: missing event after the frame number"},
        {"5 # only a comment", "f.txt:1: missing event after the frame number"},
        {"5 jump", "f.txt:1: unknown event (expected motion, button, key or quit): 'jump'"},
        {"5 Key", "f.txt:1: unknown event (expected motion, button, key or quit): 'Key'"},
        {"5 motion 1", "f.txt:1: motion needs X and Y"},
        {"5 motion 65536 0", "f.txt:1: bad X (0..65535) '65536'"},
        {"5 motion 1 -2", "f.txt:1: bad Y (0..65535) '-2'"},
        {"5 motion 1 2 3", "f.txt:1: unexpected word '3'"},
        {"5 button now", "f.txt:1: unexpected word 'now'"},
        {"10 key\n\n5 key", "f.txt:3: frame goes back in time: '5'"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(parse_script_text("f.txt", c.text)) << c.text;
        EXPECT_STREQ(problem, c.problem) << c.text;
    }
}

TEST(CaptureOptions, GoodOptions) {
    ASSERT_EQ(parse({}), 0);
    EXPECT_EQ(settings.frames, 900);
    EXPECT_EQ(settings.depth, 2);
    EXPECT_STREQ(settings.out_dir, ".");
    EXPECT_TRUE(frame_saved(899));  // by default only the last frame
    EXPECT_FALSE(frame_saved(898));

    ASSERT_EQ(parse({"--frames", "50", "--depth", "1:bgr", "--save", "3,10-12,49", "--expect", "e"}), 0);
    EXPECT_EQ(settings.depth, 1);
    EXPECT_TRUE(settings.reversed);
    EXPECT_EQ(settings.out_dir, nullptr);  // comparing only: nothing else is written
    for (int64_t f = 0; f < 50; ++f) EXPECT_EQ(frame_saved(f), f == 3 || (f >= 10 && f <= 12) || f == 49) << f;
    uint32_t r = 0, g = 0, b = 0;
    surface_masks(&r, &g, &b);
    EXPECT_EQ(r, 0x03u);
    EXPECT_EQ(g, 0x1Cu);
    EXPECT_EQ(b, 0xE0u);

    ASSERT_EQ(parse({"--depth", "2", "--random", "4294967295", "--save", "none", "--check"}), 0);
    EXPECT_EQ(settings.seed, 4294967295u);
    EXPECT_TRUE(settings.random_events && settings.check);
    EXPECT_FALSE(frame_saved(899));
    surface_masks(&r, &g, &b);
    EXPECT_EQ(r | g | b, 0xFFFFu);
    EXPECT_EQ(r, 0xF800u);
}

TEST(CaptureOptions, BadOptionsAreRefused) {
    const struct { std::vector<std::string> args; const char* problem; } cases[] = {
        {{"--frame", "5"}, "unknown option '--frame' (see --help)"},
        {{"--out"}, "--out needs a value"},
        {{"--frames", "0"}, "--frames: bad count '0' (1..100000000)"},
        {{"--frames", "12x"}, "--frames: bad count '12x' (1..100000000)"},
        {{"--depth", "5"}, "--depth: bad depth '5' (1..4, optionally :rgb or :bgr)"},
        {{"--depth", "2:grb"}, "--depth: bad depth '2:grb' (1..4, optionally :rgb or :bgr)"},
        {{"--save", "9-3"}, "--save: bad item '9-3' (expected N or A-B with A <= B)"},
        {{"--save", "1,,2"}, "--save: bad item '' (expected N or A-B with A <= B)"},
        {{"--frames", "100", "--save", "100"}, "--save: frame 100 is past the last frame 99"},
        {{"--random", "-1"}, "--random: bad seed '-1' (0..4294967295)"},
        {{"--random", "1", "--script", "s"}, "--script and --random cannot be combined"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse(c.args), 2) << c.problem;
        EXPECT_STREQ(problem, c.problem);
    }
}

// The tool itself: bad input is one line on stderr, status 2, and the output
// folder is not even created.
TEST(CaptureTool, BadInputWritesNothing) {
    const std::string dir = ::testing::TempDir() + "capture_bad";
    const std::string script = dir + ".txt";
    std::FILE* f = std::fopen(script.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("0 motion 10 10\n4 wiggle\n", f);
    std::fclose(f);
    const std::string err = dir + ".err";
    const std::string run = std::string(CAPTURE_TOOL) + " --script " + script + " --out " + dir + " 2>" + err;
    const int status = std::system(run.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    struct stat info;
    EXPECT_NE(stat(dir.c_str(), &info), 0);
    char line[512] = {};
    std::FILE* e = std::fopen(err.c_str(), "r");
    ASSERT_NE(e, nullptr);
    ASSERT_NE(std::fgets(line, sizeof line, e), nullptr);
    EXPECT_EQ(std::fgetc(e), EOF);  // one line only
    std::fclose(e);
    EXPECT_EQ(std::string(line), "ringfield-capture: " + script +
                                     ":2: unknown event (expected motion, button, key or quit): 'wiggle'\n");
}

// Queued events come out one per frame, beyond the 128 that SDL holds, and a
// key ends the run before its frame.
TEST(CaptureRun, EventsAreTakenOnePerFrame) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    ASSERT_EQ(parse({"--frames", "400", "--save", "none", "--depth", "4"}), 0);
    std::string text;
    for (int i = 0; i < 200; ++i) text += "0 motion " + std::to_string(i) + " 7\n";
    text += "0 key\n";
    ASSERT_TRUE(parse_script_text("burst", text.c_str()));
    EXPECT_EQ(run_capture(), 0);
    EXPECT_EQ(frames_run, 200);
    EXPECT_EQ(mouse_x, 199);
    EXPECT_EQ(mouse_y, 7);

    ASSERT_TRUE(parse_script_text("late", "3 motion 330 250\n3 button\n5 quit\n"));
    EXPECT_EQ(run_capture(), 0);
    EXPECT_EQ(frames_run, 5);
    EXPECT_EQ(mouse_x, 330);
    EXPECT_EQ(scene_mode, 1);
    SDL_Quit();
}

}  // namespace
