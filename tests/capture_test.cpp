// The capture tool: its option and script parsing, and how the tool itself refuses bad input.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "capture/capture.h"

namespace {

// The words outlive the call, as argv does: settings point into them.
int parse(std::vector<std::string> words) {
    static std::vector<std::string> kept;
    kept = std::move(words);
    std::vector<char*> argv{const_cast<char*>("ringfield-capture")};
    for (auto& w : kept) argv.push_back(w.data());
    return parse_options(static_cast<int>(argv.size()), argv.data());
}

TEST(CaptureInput, GoodScriptAndOptions) {
    ASSERT_TRUE(parse_script_text("s", "# tour\n\n0 motion 1 2 # first\r\n0\tbutton\n  7 key\n7 motion 65535 0\n9 quit") &&
                script_count == 5);
    const ScriptEvent want[] = {{0, EventKind::motion, 1, 2}, {0, EventKind::button, 0, 0}, {7, EventKind::key, 0, 0},
                                {7, EventKind::motion, 65535, 0}, {9, EventKind::quit, 0, 0}};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(script_events[i].frame == want[i].frame && script_events[i].kind == want[i].kind &&
                    script_events[i].x == want[i].x && script_events[i].y == want[i].y) << i;
    ASSERT_EQ(parse({"--frames", "50", "--depth", "1:bgr", "--save", "3,10-12,49,20-35/7", "--expect", "e"}), 0);
    EXPECT_TRUE(settings.frames == 50 && settings.depth == 1 && settings.reversed && !settings.out_dir);
    for (int64_t f = 0; f < 50; ++f)
        EXPECT_EQ(frame_saved(f), f == 3 || (f >= 10 && f <= 12) || f == 49 || f == 20 || f == 27 || f == 34) << f;
    EXPECT_TRUE(settings.fps == 60 && !settings.video);
    // A clip saves no frame unless asked to.
    ASSERT_EQ(parse({"--frames", "9", "--video", "a/b.c.WebM", "--fps", "1000"}), 0);
    EXPECT_TRUE(settings.fps == 1000 && settings.video == std::string("a/b.c.WebM") && settings.save_count == 0);
    ASSERT_EQ(parse({"--video", "x.apng", "--save", "4", "--frames", "9"}), 0);
    EXPECT_TRUE(frame_saved(4) && !frame_saved(8));
}

TEST(CaptureInput, BadInputNamesFileLineAndProblem) {
    const struct { const char* script; std::vector<std::string> args; const char* problem; } cases[] = {
        {"# c\n1 key\nx motion 1 2", {}, "f:3: bad frame number 'x'"},
        {"5 # only a comment", {}, "f:1: missing event after the frame number"},
        {"5 Key 1", {}, "f:1: unknown event (expected motion, button, key or quit): 'Key'"},
        {"5 motion 65536 0", {}, "f:1: bad X (0..65535) '65536'"},
        {"5 button now", {}, "f:1: unexpected word 'now'"},
        {"10 key\n\n5 key", {}, "f:3: frame goes back in time: '5'"},
        {"5 key\n10 key\n7 key", {}, "f:3: frame goes back in time: '7'"},  // against the previous event
        {nullptr, {"--frame", "5"}, "unknown option '--frame' (see --help)"},
        {nullptr, {"--depth", "2:grb"}, "--depth: bad depth '2:grb' (1..4, optionally :rgb or :bgr)"},
        {nullptr, {"--save", "9-3"}, "--save: bad item '9-3' (expected N, A-B or A-B/S with A <= B and S >= 1)"},
        {nullptr, {"--save", "1,3-9/0"}, "--save: bad item '3-9/0' (expected N, A-B or A-B/S with A <= B and S >= 1)"},
        {nullptr, {"--save", "5/2"}, "--save: bad item '5/2' (expected N, A-B or A-B/S with A <= B and S >= 1)"},
        {nullptr, {"--frames", "100", "--save", "100"}, "--save: frame 100 is past the last frame 99"},
        {nullptr, {"--random", "1", "--script", "s"}, "--script and --random cannot be combined"},
        {nullptr, {"--video", "a.webm.txt"}, "--video: unknown kind of clip 'a.webm.txt' (the name must end in .webm, .mp4, .mkv or .apng)"},
        {nullptr, {"--video", "a.mkv/b"}, "--video: unknown kind of clip 'a.mkv/b' (the name must end in .webm, .mp4, .mkv or .apng)"},
        {nullptr, {"--video", "a.mkv", "--fps", "1001"}, "--fps: bad frame rate '1001' (1..1000)"},
        {nullptr, {"--video", "a.mkv", "--fps", "-5"}, "--fps: bad frame rate '-5' (1..1000)"},
        {nullptr, {"--fps", "30"}, "--fps needs --video"}};
    for (const auto& c : cases) {
        EXPECT_TRUE(c.script ? !parse_script_text("f", c.script) : parse(c.args) == 2) << c.problem;
        EXPECT_STREQ(problem, c.problem);
    }
}

// The tool refuses bad input with one line on stderr and status 2, before making the output folder.
TEST(CaptureTool, BadInputWritesNothing) {
    const std::string dir = testing::TempDir() + "capture_bad_" + std::to_string(getpid()), script = dir + ".txt";
    std::ofstream(script) << "0 motion 10 10\n4 wiggle\n";
    const int status = std::system((CAPTURE_TOOL " --script " + script + " --out " + dir + " 2>" + dir + ".err").c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    EXPECT_NE(access(dir.c_str(), F_OK), 0);
    const std::string err(std::istreambuf_iterator<char>(std::ifstream(dir + ".err").rdbuf()), {});
    EXPECT_EQ(err, "ringfield-capture: " + script + ":2: unknown event (expected motion, button, key or quit): 'wiggle'\n");
    std::remove(script.c_str()), std::remove((dir + ".err").c_str());
}

// A frame that cannot be written ends the run there with one line naming the file and the cause; the
// frames after it are not written and no temporary file is left.
TEST(CaptureTool, StopsAtTheFirstFailedWrite) {
    namespace fs = std::filesystem;
    const std::string dir = testing::TempDir() + "capture_stop_" + std::to_string(getpid());
    fs::remove_all(dir);
    fs::create_directories(dir + "/frame-000003.png");  // in the way of frame 3
    const int status = std::system((CAPTURE_TOOL " --frames 8 --save 0-7 --out " + dir + " 2>" + dir + ".err").c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    const std::string err(std::istreambuf_iterator<char>(std::ifstream(dir + ".err").rdbuf()), {});
    EXPECT_EQ(err, "ringfield-capture: cannot write " + dir + "/frame-000003.png: Is a directory\n");
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"frame-000000.png", "frame-000001.png", "frame-000002.png", "frame-000003.png"}));
    fs::remove_all(dir), std::remove((dir + ".err").c_str());
}

}  // namespace
