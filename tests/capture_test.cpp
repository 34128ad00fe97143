// The capture tool: its option and script parsing, how the tool itself refuses bad input, and the same files
// from any number of worker threads.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "capture/files.h"
#include "capture/inputs.h"
#include "capture/options.h"
#include "capture/png.h"
#include "capture/run.h"
#include "raster/vectors.h"
#include "tests/programs.h"
#include "tests/support.h"

namespace {

// What the last parse chose, or why it refused.
CaptureSettings settings;
Text problem;

// The words outlive the call, as argv does: settings point into them.
int parse(std::vector<std::string> words) {
    static std::vector<std::string> kept;
    kept = std::move(words);
    std::vector<char*> argv{const_cast<char*>("ringfield-capture")};
    for (auto& w : kept) argv.push_back(w.data());
    return parse_options(static_cast<int>(argv.size()), argv.data(), settings, problem);
}

// A comment longer than any line buffer, so that a reader taking lines in pieces miscounts them.
const std::string long_comment = "#" + std::string(300, 'c') + "\n";

// The settings a parse leaves, as one line: frames, depth and order, the outputs, the clip and its rate, the
// 16-byte switch, and the first ten frames saved.
std::string chosen() {
    const auto name = [](const char* path) { return std::string(path ? path : "-"); };
    std::string line = std::to_string(settings.frames) + " frames, depth " + std::to_string(settings.depth) +
                       (settings.reversed ? " bgr" : " rgb") + ", out " + name(settings.out_dir) + ", expect " +
                       name(settings.expect_dir) + ", hashes " + name(settings.hash_list) + ", video " +
                       name(settings.video) + " at " + std::to_string(settings.fps) +
                       (settings.narrow_vectors ? ", narrow" : "") + ", save";
    for (int64_t f = 0, listed = 0; f < settings.frames && listed < 10; ++f) {
        if (frame_to_save(settings, f)) line += " " + std::to_string(f), ++listed;
    }
    return line;
}

TEST(CaptureInput, GoodScriptAndOptions) {
    const std::string script =
        long_comment + "\n0 motion 1 2 # first\r\n0\tbutton#pressed\n  7 key\n7 motion 65535 0\n9 quit\n9 none";
    ASSERT_TRUE(parse_script_text("s", script.c_str(), problem));
    std::string events;
    for (int32_t i = 0; i < script_count; ++i) {
        const ScriptEvent& e = script_events[i];
        events += std::to_string(e.frame) + ":" + std::to_string(static_cast<int>(e.input.kind)) + ":" +
                  std::to_string(e.input.x) + ":" + std::to_string(e.input.y) + " ";
    }
    EXPECT_EQ(events, "0:4:1:2 0:3:0:0 7:2:0:0 7:4:65535:0 9:1:0:0 9:0:0:0 ");  // kinds: motion 4 ... none 0
    // Values apart or after '=', options abbreviated; the defaults; a clip saves no frame unless asked to.
    // clang-format off
    const struct {
        std::vector<std::string> args;
        std::string chosen;
    } cases[] = {
        {{"--frames", "50", "--dep=1:bgr", "--save", "3,10-12/1,49,20-35/7", "--expect=e"}, "50 frames, depth 1 bgr, out -, expect e, hashes -, video - at 60, save 3 10 11 12 20 27 34 49"},
        {{}, "900 frames, depth 2 rgb, out ., expect -, hashes -, video - at 60, save 899"},
        {{"--save", "none", "--out", "o"}, "900 frames, depth 2 rgb, out o, expect -, hashes -, video - at 60, save"},
        {{"--frames", "10", "--save", "0,1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6,7,8,9,0,1,2,3"}, "10 frames, depth 2 rgb, out ., expect -, hashes -, video - at 60, save 0 1 2 3 4 5 6 7 8 9"},  // 64 items
        {{"--frames", "9", "--save", "4-4"}, "9 frames, depth 2 rgb, out ., expect -, hashes -, video - at 60, save 4"},
        {{"--frames", "9", "--video", "a/b.c.WebM", "--fps", "1000"}, "9 frames, depth 2 rgb, out ., expect -, hashes -, video a/b.c.WebM at 1000, save"},
        {{"--video", "x.apng", "--save", "4", "--frames", "9"}, "9 frames, depth 2 rgb, out ., expect -, hashes -, video x.apng at 60, save 4"},
        // As many saved frames as --expect reads back.
        {{"--frames", "100001", "--save", "1-100000,50000-60000/3", "--hash-list", "h", "--narrow"}, "100001 frames, depth 2 rgb, out -, expect -, hashes h, video - at 60, narrow, save 1 2 3 4 5 6 7 8 9 10"},
    };
    // clang-format on
    for (const auto& c : cases) {
        ASSERT_EQ(parse(c.args), 0) << c.chosen;
        EXPECT_EQ(chosen(), c.chosen);
    }
    // --help and --version print and run nothing.
    for (const char* word : {"--help", "--he", "--version"}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(parse({word, "--frames", "0"}), 1) << word;
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(printed.starts_with(word[2] == 'h' ? "usage: ringfield-capture [options]\n" : "ringfield-capture "))
            << printed;
        EXPECT_EQ(printed.find("--narrow-vectors") != std::string::npos, word[2] == 'h') << word;
    }
    // One worker a core unless told.
    EXPECT_EQ(settings.jobs, static_cast<int32_t>(std::max(1u, std::min(64u, std::thread::hardware_concurrency()))));
    ASSERT_EQ(parse({"--jobs=64"}), 0);
    EXPECT_EQ(settings.jobs, 64);
}

TEST(CaptureInput, BadInputNamesFileLineAndProblem) {
    std::string too_many;
    for (int i = 0; i <= 100000; ++i) too_many += "7 none\n";
    const std::string after_long_comment = long_comment + "1 key\nx motion 1 2";
    const std::string hashes_after_long_comment = long_comment + "\nframe-00001 0123456789abcdef";
    const std::string bad_item = "' (expected N, A-B or A-B/S with A <= B and S >= 1)";
    std::string more_than_64 = "0";
    for (int i = 0; i < 64; ++i) more_than_64 += ",0";
    // Each row: a script, or a hash list when `hashes` is set, or else options; and the one line of refusal.
    // Hash lists of every other wrong form are the hash reader's fuzzing corpus, replayed by fuzz_replay_hashes.
    // clang-format off
    const struct {
        const char* script;
        std::vector<std::string> args;
        std::string problem;
        const std::string* hashes = nullptr;
    } cases[] = {
        {"# c\n1 key\nx motion 1 2", {}, "f:3: bad frame number 'x'"},
        {after_long_comment.c_str(), {}, "f:3: bad frame number 'x'"},
        {"5 # only a comment", {}, "f:1: missing event after the frame number"},
        {"5 Key 1", {}, "f:1: unknown event (expected motion, button, key, quit or none): 'Key'"},
        {"5 key\r\n6 Key", {}, "f:2: unknown event (expected motion, button, key, quit or none): 'Key'"},  // CR is a blank
        {"5 motion 65536 0", {}, "f:1: bad X (0..65535) '65536'"},
        {"5 motion 0 65536", {}, "f:1: bad Y (0..65535) '65536'"},
        {"5 motion 7", {}, "f:1: motion needs X and Y"},
        {"5 button now", {}, "f:1: unexpected word 'now'"},
        {"5 motion 1 2 3", {}, "f:1: unexpected word '3'"},
        {"10 key\n\n5 key", {}, "f:3: frame goes back in time: '5'"},
        {"5 key\n10 key\n7 key", {}, "f:3: frame goes back in time: '7'"},  // against the previous event
        {too_many.c_str(), {}, "f:100001: too many events (at most 100000)"},
        {nullptr, {}, "h:3: expected 'frame-NNNNNN' and 16 hex digits", &hashes_after_long_comment},
        {nullptr, {"--frams", "5"}, "unknown option '--frams' (see --help)"},
        {nullptr, {"--frames", "5", "x"}, "unknown option 'x' (see --help)"},
        {nullptr, {"--f", "5"}, "ambiguous option '--f' (see --help)"},
        {nullptr, {"--f=400"}, "ambiguous option '--f=400' (see --help)"},
        {nullptr, {"-x"}, "unknown option '-x' (see --help)"},
        {nullptr, {"--check=yes"}, "--check takes no value"},
        {nullptr, {"--narrow-vectors=1"}, "--narrow-vectors takes no value"},
        {nullptr, {"--help=1"}, "--help takes no value"},
        {nullptr, {"--depth", "2", "--fr"}, "--frames needs a value"},
        {nullptr, {"--frames", "0"}, "--frames: bad count '0' (1..100000000)"},
        {nullptr, {"--frames", "100000001"}, "--frames: bad count '100000001' (1..100000000)"},
        {nullptr, {"--frames", "+5"}, "--frames: bad count '+5' (1..100000000)"},
        {nullptr, {"--random", "4294967296"}, "--random: bad seed '4294967296' (0..4294967295)"},
        {nullptr, {"--random", ""}, "--random: bad seed '' (0..4294967295)"},
        {nullptr, {"--save", more_than_64}, "--save: more than 64 items"},
        {nullptr, {"--depth", "2:grb"}, "--depth: bad depth '2:grb' (1..4, optionally :rgb or :bgr)"},
        {nullptr, {"--depth", "2:rgbx"}, "--depth: bad depth '2:rgbx' (1..4, optionally :rgb or :bgr)"},
        {nullptr, {"--depth", "4:bgrx"}, "--depth: bad depth '4:bgrx' (1..4, optionally :rgb or :bgr)"},
        {nullptr, {"--depth", "5"}, "--depth: bad depth '5' (1..4, optionally :rgb or :bgr)"},
        {nullptr, {"--depth", "0"}, "--depth: bad depth '0' (1..4, optionally :rgb or :bgr)"},
        {nullptr, {"--save", "-5"}, "--save: bad item '-5" + bad_item},
        {nullptr, {"--save", "none5"}, "--save: bad item 'none5" + bad_item},
        {nullptr, {"--save", "2,,4"}, "--save: bad item '" + bad_item},
        {nullptr, {"--save", "9-3"}, "--save: bad item '9-3" + bad_item},
        {nullptr, {"--save", "1,3-9/0"}, "--save: bad item '3-9/0" + bad_item},
        {nullptr, {"--save", "5/2"}, "--save: bad item '5/2" + bad_item},
        {nullptr, {"--frames", "100", "--save", "100"}, "--save: frame 100 is past the last frame 99"},
        {nullptr, {"--random", "1", "--script", "s"}, "--script and --random cannot be combined"},
        {nullptr, {"--frames", "100001", "--save", "0-100000", "--hash-list", "h"}, "--hash-list: more than 100000 frames to save (--expect reads at most 100000 hashes)"},
        {nullptr, {"--frames", "100001", "--save", "0-99999,50000-100000/2", "--hash-list", "h"}, "--hash-list: more than 100000 frames to save (--expect reads at most 100000 hashes)"},
        {nullptr, {"--video", "a.webm.txt"}, "--video: unknown kind of clip 'a.webm.txt' (the name must end in .webm, .mp4, .mkv or .apng)"},
        {nullptr, {"--video", "a.mkv/b"}, "--video: unknown kind of clip 'a.mkv/b' (the name must end in .webm, .mp4, .mkv or .apng)"},
        {nullptr, {"--video", "a.webmx"}, "--video: unknown kind of clip 'a.webmx' (the name must end in .webm, .mp4, .mkv or .apng)"},
        {nullptr, {"--video", "a.mkv", "--fps", "1001"}, "--fps: bad frame rate '1001' (1..1000)"},
        {nullptr, {"--video", "a.mkv", "--fps", "-5"}, "--fps: bad frame rate '-5' (1..1000)"},
        {nullptr, {"--fps", "60"}, "--fps needs --video"},  // the rate a clip has anyway
        {nullptr, {"--fps", "30", "--frames", "5"}, "--fps needs --video"},
        {nullptr, {"--jobs", "0"}, "--jobs: bad count '0' (1..64)"},
        {nullptr, {"--jobs", "65"}, "--jobs: bad count '65' (1..64)"},
        {nullptr, {"--jobs", "2x"}, "--jobs: bad count '2x' (1..64)"}};
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_TRUE(c.hashes   ? !parse_hash_list(c.hashes->data(), c.hashes->size(), "h", problem)
                    : c.script ? !parse_script_text("f", c.script, problem)
                               : parse(c.args) == 2)
            << c.problem;
        EXPECT_EQ(problem.text, c.problem);
    }
    // --print-inputs with each option that would run frames.
    for (const char* option : {"--save=none", "--out=o", "--expect=e", "--hash-list=h", "--video=v.mkv", "--check"}) {
        EXPECT_EQ(parse({"--print-inputs", option}), 2) << option;
        EXPECT_STREQ(problem.text,
                     "--print-inputs runs no frame: it takes no --save, --out, --expect, --hash-list, "
                     "--video or --check")
            << option;
    }
    // A path that does not fit is told, never cut short into another name.
    Text path;
    EXPECT_TRUE(format(path, "%s", std::string(text_size - 1, 'p').c_str()));
    EXPECT_FALSE(format(path, "%s", std::string(text_size, 'p').c_str()));
}

namespace fs = std::filesystem;

// Shell lines in `dir`, the last of them starting the tool with `args`.
Ran run_in(const std::string& dir, const std::string& lines, const std::string& args) {
    return run_shell(dir, lines + "\nexec " CAPTURE_TOOL " " + args);
}

// Whether starting a program that is not there fails the start itself, as a process of its own would tell.
bool starts_report_failure() {
    char name[] = "none";
    char* const argv[] = {name, nullptr};
    pid_t child = 0;
    const int error = posix_spawn(&child, "/nonexistent/none", nullptr, nullptr, argv, nullptr);
    if (error == 0) waitpid(child, nullptr, 0);
    return error != 0;
}

// More workers than cores, so that frames finish out of order.
const std::string many_jobs =
    " --jobs " + std::to_string(std::min(64u, std::max(1u, std::thread::hardware_concurrency()) * 2 + 1));

// A frame differing from its reference fails the run, names the frame and keeps its picture beside the references.
TEST(CaptureTool, DifferingFrameFailsAndIsKept) {
    const std::string root = fresh_folder("capture_expect");
    fs::create_directories(root + "/ref");
    ASSERT_EQ(run_in(root, "", "--frames 3 --save 1,2 --hash-list ref/hashes.txt").status, 0);
    std::string hashes = contents(root + "/ref/hashes.txt");
    ASSERT_EQ(hashes.size(), 60u);
    // The longest list the tool writes, its last line the one that counts: the first of a frame's lines counts.
    std::string longest;
    for (int frame = 3; frame < 100000; ++frame)
        longest += "frame-" + std::to_string(1000000 + frame).substr(1) + " 0123456789abcdef\n";
    std::ofstream(root + "/ref/hashes.txt") << long_comment << longest << hashes << "frame-000002 0123456789abcdef\n";
    const Ran same = run_in(root, "", "--frames 3 --save 1,2 --expect ref");
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.err, "");
    // Both frames differing, compared by several workers: told in frame order, each kept beside the references.
    const std::string kept_hashes = hashes, hash = hashes.substr(43, 16), hash_1 = hashes.substr(13, 16);
    std::ofstream(root + "/ref/hashes.txt")
        << hashes.replace(43, 16, "0123456789abcdef").replace(13, 16, "fedcba9876543210");
    const Ran differs = run_in(root, "", "--frames 3 --save 1,2 --expect ref" + many_jobs);
    EXPECT_EQ(differs.status, 1);
    EXPECT_EQ(differs.err, "ringfield-capture: frame 1: hash " + hash_1 +
                               ", expected fedcba9876543210 (ref/hashes.txt)\n"
                               "  actual:   ref/frame-000001.actual.png (no expected picture kept for this frame)\n"
                               "ringfield-capture: frame 2: hash " +
                               hash +
                               ", expected 0123456789abcdef (ref/hashes.txt)\n"
                               "  actual:   ref/frame-000002.actual.png (no expected picture kept for this frame)\n");
    std::vector<uint8_t> rgb(640 * 480 * 3);
    Text why;
    ASSERT_TRUE(read_png((root + "/ref/frame-000002.actual.png").c_str(), rgb.data(), why));
    EXPECT_EQ(picture_hash(rgb.data()), std::stoull(hash, nullptr, 16));
    EXPECT_EQ(tree(root), (std::set<std::string>{"ref", "ref/hashes.txt", "ref/frame-000001.actual.png",
                                                 "ref/frame-000002.actual.png"}));
    fs::remove(root + "/ref/frame-000001.actual.png");
    // Kept pictures of another depth under the right hashes: the picture differs, and the diff's red pixels are
    // the ones counted.
    ASSERT_EQ(run_in(root, "", "--depth 4 --frames 3 --save 1 --out ref").status, 0);
    std::ofstream(root + "/ref/hashes.txt") << kept_hashes;
    const Ran kept = run_in(root, "", "--frames 3 --save 1 --expect ref");
    EXPECT_EQ(kept.status, 1);
    const std::string head =
                          "ringfield-capture: frame 1: the kept picture differs, though the hash matches "
                          "(ref/hashes.txt)\n  ",
                      tail =
                          " pixels differ\n  expected: ref/frame-000001.png\n  actual:   "
                          "ref/frame-000001.actual.png\n  diff:     ref/frame-000001.diff.png\n";
    ASSERT_TRUE(kept.err.starts_with(head) && kept.err.ends_with(tail)) << kept.err;
    ASSERT_TRUE(read_png((root + "/ref/frame-000001.diff.png").c_str(), rgb.data(), why));
    // Differing pixels red, the same ones a dim grey, a quarter of the reference's brightness at most.
    int red = 0, dim = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        red += rgb[i] == 255 && rgb[i + 1] == 0 && rgb[i + 2] == 0;
        dim += rgb[i] == rgb[i + 1] && rgb[i + 1] == rgb[i + 2] && rgb[i] <= 63;
    }
    EXPECT_EQ(red + dim, 640 * 480);
    EXPECT_GT(red, 1000);
    EXPECT_EQ(kept.err.substr(head.size(), kept.err.size() - head.size() - tail.size()), std::to_string(red));
    fs::remove_all(root);
}

// A frame that breaks --check's invariants ends the run after the saved frames before it are written, with any
// number of workers. --narrow-vectors runs the 16-byte code for the whole run; without it, the 32-byte copies
// run where they can.
TEST(CaptureTool, BrokenInvariantEndsTheRunAndNarrowVectorsHold) {
    static int32_t frames_wide, frames_checked;
    const std::string root = fresh_folder("capture_check");
    for (const auto& [jobs, narrow] : {std::pair{"1", true}, {"5", false}, {"1", true}}) {
        SCOPED_TRACE(jobs);
        std::vector<std::string> words{"--frames", "6",     "--save", "0-5",         "--check",  "--jobs",
                                       jobs,       "--out", root,     "--hash-list", root + "/h"};
        if (narrow) words.push_back("--narrow-vectors");
        ASSERT_EQ(parse(words), 0);
        ASSERT_TRUE(load_script(settings, problem) && prepare_capture(settings, problem));
        frames_wide = frames_checked = 0;
        frame_check = [](int64_t frame, Text& why) {
            frames_wide += wide_vectors_used();
            ++frames_checked;
            return frame < 3 ? state_sound(frame, why)
                             : (format(why, "frame %d broke", static_cast<int>(frame)), false);
        };
        testing::internal::CaptureStderr();
        EXPECT_EQ(run_capture(settings), 1);
        frame_check = state_sound;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "ringfield-capture: frame 3 broke\n");
        EXPECT_EQ(tree(root), (std::set<std::string>{"frame-000000.png", "frame-000001.png", "frame-000002.png"}));
        EXPECT_EQ(frames_checked, 4);
        EXPECT_EQ(frames_wide, !narrow && wide_vectors_supported() ? 4 : 0);
        fs::remove_all(root);
    }
}

// Frames encoded by one worker or by more than there are cores: the same files byte for byte and the same hash
// list; and they pass as references, read back by several workers, pixel for pixel.
TEST(CaptureTool, AnyJobCountWritesTheSameFiles) {
    const std::string root = fresh_folder("capture_jobs");
    const std::string run = "--depth 4 --frames 60 --save 0-20,29-59/3 --hash-list ";
    ASSERT_EQ(run_in(root, "umask 0", run + "one.txt --out one --jobs 1").status, 0);
    ASSERT_EQ(run_in(root, "", run + "many.txt --out many" + many_jobs).status, 0);
    const std::set<std::string> names = tree(root + "/one");
    EXPECT_EQ(names.size(), 32u);
    EXPECT_EQ(tree(root + "/many"), names);
    for (const std::string& name : names)
        EXPECT_EQ(contents(root + "/many/" + name), contents(root + "/one/" + name)) << name;
    EXPECT_EQ(contents(root + "/many.txt"), contents(root + "/one.txt"));
    EXPECT_EQ(contents(root + "/one.txt").size(), 32u * 30);
    // Made as any program makes them, so that the umask alone decides who may read them.
    EXPECT_EQ(fs::status(root + "/one").permissions(), fs::perms::all);
    for (const char* file : {"/one.txt", "/one/frame-000000.png"})
        EXPECT_EQ(fs::status(root + file).permissions(), fs::perms(0666)) << file;
    fs::rename(root + "/one.txt", root + "/one/hashes.txt");
    const Ran same = run_in(root, "", "--depth 4 --frames 60 --save 0-20,29-59/3 --expect one" + many_jobs);
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.err, "");
    EXPECT_EQ(tree(root + "/one").size(), 33u) << "no .actual.png nor .diff.png";
    fs::remove_all(root);
}

// The printed inputs, replayed as a script, draw the frames of the run they came from: random bursts that queue
// several inputs in one frame and ignored releases included. The tour's clicks are where the gallery looks.
TEST(CaptureTool, PrintedInputsReplayTheSameFrames) {
    const std::string root = fresh_folder("capture_inputs");
    const auto text = [&](const std::string& name) { return contents(root + "/" + name); };
    const std::string frames = " --frames 1000 --save 0-999/37 --hash-list ";
    ASSERT_EQ(run_in(root, "", "--random 5 --frames 1000 --print-inputs >inputs.txt").status, 0);
    ASSERT_EQ(run_in(root, "", "--random 5" + frames + "random.txt").status, 0);
    ASSERT_EQ(run_in(root, "", "--script inputs.txt" + frames + "script.txt").status, 0);
    EXPECT_EQ(text("script.txt"), text("random.txt"));
    EXPECT_EQ(text("random.txt").size(), 28u * 30);
    const std::string inputs = text("inputs.txt");
    EXPECT_NE(inputs.find(" none\n"), std::string::npos);
    std::set<std::string> frames_seen;
    int32_t lines = 0;
    for (size_t at = 0; at < inputs.size(); at = inputs.find('\n', at) + 1, ++lines) {
        frames_seen.insert(inputs.substr(at, inputs.find(' ', at) - at));
    }
    EXPECT_LT(frames_seen.size() + 10, static_cast<size_t>(lines)) << "no burst of several inputs in one frame";
    // The list ends with the key that ends the run.
    ASSERT_EQ(
        run_in(root, "printf '1 motion 5 5\\n2 key\\n4 motion 1 1\\n' >k", "--script k --print-inputs >k.txt").status,
        0);
    EXPECT_EQ(text("k.txt"), "1 motion 5 5\n2 key\n");
    // Nor does it hold the inputs that a full queue drops.
    ASSERT_EQ(run_in(root, "seq 130 | sed 's/.*/0 motion 1 1/' >b", "--script b --print-inputs >b.txt").status, 0);
    EXPECT_EQ(text("b.txt").size(), 128u * 13);
    ASSERT_EQ(run_in(root, "", "--frames 650 --print-inputs >tour.txt").status, 0);
    EXPECT_EQ(text("tour.txt"),
              "0 motion 400 300\n90 motion 250 180\n180 motion 330 250\n300 button\n"
              "310 motion 200 330\n420 motion 450 200\n600 button\n610 motion 360 150\n");
    fs::remove_all(root);
}

// What each run leaves: the files asked for where they were asked for when all goes well; otherwise one line
// naming the cause, status 2 for bad input (nothing written, not even the output folder) or 1 for a failure
// during the run, and nothing half-written: no .part, no cut-short frame, hash list or clip. Each case runs in a
// fresh folder, with PATH's first entry ../bin holding the fake ffmpeg when one is given ($out is the file it is
// told to write).
TEST(CaptureTool, RunsLeaveWhatTheySayAndNothingHalfWritten) {
    const std::string root = fresh_folder("capture_fail"), dir = root + "/d";
    fs::create_directories(root + "/ok");
    // The size of frame 2, to stop its write at the last byte.
    ASSERT_EQ(run_in(root, "", "--frames 3 --save 2 --out ok").status, 0);
    const auto size = fs::file_size(root + "/ok/frame-000002.png");
    const std::string last_byte = "prlimit --pid $$ --fsize=" + std::to_string(size - 1);
    // The output folder with its first n frames, and one more name.
    const auto saved = [](int n, const std::string& name = "") {
        std::set<std::string> names{"out"};
        for (int f = 0; f < n; ++f) names.insert("out/frame-00000" + std::to_string(f) + ".png");
        if (!name.empty()) names.insert(name);
        return names;
    };
    const std::string save_many = "--frames 8 --save 0-7 --out out", clip = " --frames 20 --video clip.webm";
    const std::string refs = CAPTURE_TOOL " --frames 2 --save 0,1 --hash-list ref/hashes.txt --out ref && ";
    const std::set<std::string> both_refs{"ref", "ref/hashes.txt", "ref/frame-000000.png", "ref/frame-000001.png"};
    const auto with = [](std::set<std::string> names, const std::string& name) { return names.insert(name), names; };
    const std::set<std::string> kept_0 = with(both_refs, "ref/frame-000000.actual.png");
    const std::string compare = "--frames 2 --save 0,1 --expect ref";
    const auto unreadable = [](const std::string& why) {
        return "frame 0: cannot read ref/frame-000000.png: " + why + "\n  actual:   ref/frame-000000.actual.png";
    };
    const std::string no_picture = "  actual:   ref/frame-000000.actual.png (no expected picture kept for this frame)";
    const std::string bad_kind = "' (the name must end in .webm, .mp4, .mkv or .apng)";
    const std::string no_ffmpeg = "--video needs ffmpeg, which is not on PATH (on Debian: apt-get install ffmpeg)";
    const std::string dir_in_way = "cannot write out/frame-000003.png: Is a directory";
    // Longer than a path buffer could be cut to, shorter than the system's limits.
    const std::string p = std::string(200, 'p'), deep = p + "/" + std::string(200, 'q');
    // Each row: the fake ffmpeg's script (none when empty), the shell lines before the tool, its options, the
    // exit status, the line after "ringfield-capture: " (none when empty), what is left, whether the folder is a
    // full disk, and the size of the hash list h when one is kept.
    // clang-format off
    const struct {
        const char* ffmpeg;
        std::string setup, args;
        int status;
        std::string line;
        std::set<std::string> left;
        bool tmpfs = false;
        size_t h_bytes = 0;
    } cases[] = {
        // Runs that go well. A key or quit ends the run: the frames after it are neither run nor saved. A
        // temporary file left by a run that was killed is written over from its start.
        {"", "", "--frames 3", 0, "", {"frame-000002.png"}},
        {"", "", "--frames 3 --save 0,2 --hash-list h", 0, "", {"h"}, false, 60},
        {"", "", "--frames 3 --save none", 0, "", {}},
        {"", "", "--frames 4 --save 1-3/2 --out o --hash-list o/h.txt", 0, "", {"o", "o/frame-000001.png", "o/frame-000003.png", "o/h.txt"}},
        {"", "printf '2 quit\\n' >q", "--script q --frames 10 --save 1,5 --out .", 0, "", {"q", "frame-000001.png"}},
        {"", "printf '1 key\\n' >q", "--script q --frames 10 --save 0-9 --hash-list h", 0, "", {"q", "h"}, false, 30},
        {"", "head -c 100000 /dev/zero >h.part", "--frames 3 --save 0,2 --hash-list h", 0, "", {"h"}, false, 60},
        {"", "mkdir -p " + deep, "--frames 2 --save 1 --out " + deep, 0, "", {p, deep, deep + "/frame-000001.png"}},
        {"", "mkdir real && ln -s real out", "--frames 2 --save 1 --out out", 0, "", {"out", "real", "real/frame-000001.png"}},  // out -> real, still a link
        // The printed inputs stop at the last frame: the button at frame 3 is past it.
        {"", "printf '2 button\\n3 button\\n' >q", "--script q --frames 3 --print-inputs >h", 0, "", {"q", "h"}, false, 9},
        // Bad input: nothing written, not even the output folder. The parsers' own refusals are in the table above.
        {"", "printf '0 motion 10 10\\n4 wiggle\\n' >s.txt", "--script s.txt --out out", 2, "s.txt:2: unknown event (expected motion, button, key, quit or none): 'wiggle'", {"s.txt"}},
        {"", "", "--script none.txt --out out", 2, "none.txt: cannot read: No such file or directory", {}},
        {"", "mkdir s.d", "--script s.d --out out", 2, "s.d: cannot read: Is a directory", {"s.d"}},
        {"", ": >f", "--out f/out", 2, "f/out: Not a directory", {"f"}},
        {"", ": >f", "--out f", 2, "f: not a folder", {"f"}},
        {"", "", "--out a/b", 2, "a/b: No such file or directory", {}},
        {"", "", "--expect ref", 2, "ref: No such file or directory", {}},
        {"", ": >ref", "--expect ref", 2, "ref: not a folder", {"ref"}},
        {"", ": >f", "--hash-list f/hashes.txt --out out", 2, "cannot write f/hashes.txt: Not a directory", {"f"}},
        {"", "", "--out out --hash-list out/no/h.txt", 2, "cannot write out/no/h.txt: No such file or directory", {}},
        {"", "mkdir out", "--out out --hash-list out/no/h.txt", 2, "cannot write out/no/h.txt: No such file or directory", {"out"}},
        {"", "mkdir ref", "--expect ref --out out", 2, "ref/hashes.txt: cannot read: No such file or directory", {"ref"}},
        {"", "mkdir ref && printf 'frame-000001 0123456789abcdef %0300d\\n' 0 >ref/hashes.txt", "--expect ref --out out", 2, "ref/hashes.txt:1: expected 'frame-NNNNNN' and 16 hex digits", {"ref", "ref/hashes.txt"}},
        {"", "mkdir ref && seq 0 100000 | sed 's/.*/frame-000000 0123456789abcdef/' >ref/hashes.txt", "--expect ref --out out", 2, "ref/hashes.txt:100001: more than 100000 hashes", {"ref", "ref/hashes.txt"}},
        {"", "mkdir ref && head -c 16777217 /dev/zero | tr '\\0' '#' >ref/hashes.txt", "--expect ref --out out", 2, "ref/hashes.txt: larger than 16 MiB", {"ref", "ref/hashes.txt"}},
        {"", "head -c 4194305 /dev/zero | tr '\\0' '#' >s.txt", "--script s.txt --out out", 2, "s.txt: larger than 4 MiB", {"s.txt"}},
        // Exactly at the limits: taken.
        {"", "head -c 4194304 /dev/zero | tr '\\0' '#' >s.txt", "--script s.txt --frames 1 --save none", 0, "", {"s.txt"}},
        {"", "mkdir ref && head -c 16777216 /dev/zero | tr '\\0' '#' >ref/hashes.txt", "--frames 1 --save 0 --expect ref", 1, "frame 0: no entry in ref/hashes.txt\n" + no_picture, {"ref", "ref/hashes.txt", "ref/frame-000000.actual.png"}},
        {"", "printf '0 key\\0' >s.txt", "--script s.txt", 2, "s.txt: not a text file (contains a zero byte)", {"s.txt"}},
        // A rename would put a file in place of a pipe or device, such as /dev/stdout.
        {"", "mkfifo h.txt", "--hash-list h.txt --out out", 2, "cannot write h.txt: not a regular file", {"h.txt"}},
        {"cat >\"$out\"", "", "--video clip.avi --out out", 2, "--video: unknown kind of clip 'clip.avi" + bad_kind, {}},
        {"cat >\"$out\"", "", "--video missing/clip.webm --out out", 2, "missing/clip.webm: cannot write: No such file or directory", {}},
        {"cat >\"$out\"", "mkdir clip.webm", "--video clip.webm --out out", 2, "clip.webm: cannot write: it is a folder", {"clip.webm"}},
        {"", "PATH=../bin", "--video clip.mkv --out out", 2, no_ffmpeg, {}},
        {"cat >\"$out\"", "chmod 644 ../bin/ffmpeg && PATH=../bin", "--video clip.mkv --out out", 2, no_ffmpeg, {}},
        // A frame that cannot be written ends the run there: at its open, partway, at its last byte, at the rename.
        {"", "mkdir -p out/frame-000003.png.part", save_many, 1, dir_in_way, saved(3, "out/frame-000003.png.part")},
        {"", "ulimit -f 1", "--frames 3 --save 2 --out out", 1, "cannot write out/frame-000002.png: File too large", {"out"}},
        {"", last_byte, "--frames 3 --save 2 --out out", 1, "cannot write out/frame-000002.png: File too large", {"out"}},
        {"", "mkdir -p out/frame-000003.png", save_many, 1, dir_in_way, saved(3, "out/frame-000003.png")},
        // Printed inputs that cannot be written.
        {"", "", "--print-inputs >/dev/full", 1, "cannot write the input list: No space left on device", {}},
        // Random input, the same from the same seed: from the seed whose mixed state is 0, and from one whose burst at
        // frame 2260 meets a queue half full and stops there.
        {"", "", "--random 2342946167 --frames 300 --print-inputs >h", 0, "", {"h"}, false, 2214},
        {"", "", "--random 14 --frames 2300 --print-inputs >h", 0, "", {"h"}, false, 13514},
        // A saved frame with no entry in the hash list, or with a reference picture that cannot be read, fails
        // and is kept beside the references; the run goes on.
        {"", "mkdir ref && echo '# none' >ref/hashes.txt", "--frames 2 --save 0 --expect ref", 1, "frame 0: no entry in ref/hashes.txt\n" + no_picture, {"ref", "ref/hashes.txt", "ref/frame-000000.actual.png"}},
        {"", "mkdir ref && echo '# none' >ref/hashes.txt", "--frames 2 --save 0 --expect ref --hash-list h", 1, "frame 0: no entry in ref/hashes.txt\n" + no_picture, {"ref", "ref/hashes.txt", "ref/frame-000000.actual.png"}},
        {"", refs + "echo not a picture at all >ref/frame-000000.png", compare, 1, unreadable("Not a PNG file"), kept_0},
        {"", refs + "head -c 1000 ref/frame-000001.png >cut && mv cut ref/frame-000001.png", compare, 1, "frame 1: cannot read ref/frame-000001.png: cut short\n  actual:   ref/frame-000001.actual.png", with(both_refs, "ref/frame-000001.actual.png")},
        {"", refs + "head -c 30 ref/frame-000000.png >cut && mv cut ref/frame-000000.png", compare, 1, unreadable("cut short"), kept_0},  // in the header
        {"", refs + "rm ref/frame-000000.png && mkdir ref/frame-000000.png", compare, 1, unreadable("Is a directory"), kept_0},
        {"", refs + "cp " CORPUS_DIR "/png/half-height.png ref/frame-000000.png", compare, 1, unreadable("it is 640 x 240 pixels, not 640 x 480"), kept_0},
        {"", refs + "cp " CORPUS_DIR "/png/wrong-size.png ref/frame-000000.png", compare, 1, unreadable("it is 641 x 480 pixels, not 640 x 480"), kept_0},
        {"", refs + "cp " CORPUS_DIR "/png/huge-header-then-pixels.png ref/frame-000000.png", compare, 1, unreadable("it is 100000 x 100000 pixels, not 640 x 480"), kept_0},
        // A file over 64 MiB is refused before it is decoded; one of exactly 64 MiB, a picture and zeros, is read.
        {"", refs + "head -c 67108865 /dev/zero >ref/frame-000000.png", compare, 1, unreadable("larger than 64 MiB"), kept_0},
        {"", refs + "head -c $((67108864 - $(stat -c %s ref/frame-000000.png))) /dev/zero >>ref/frame-000000.png", compare, 0, "", both_refs},
        // Frames written while they are compared pass as references themselves.
        {"", refs + CAPTURE_TOOL " --frames 2 --save 0,1 --expect ref --out o --hash-list o/hashes.txt", "--frames 2 --save 0,1 --expect o", 0, "", {"ref", "ref/hashes.txt", "ref/frame-000000.png", "ref/frame-000001.png", "o", "o/hashes.txt", "o/frame-000000.png", "o/frame-000001.png"}},
        // A differing hash beside an unreadable picture: both told.
        {"", refs + "sed s/^frame-000000.*/frame-000000\\ 0123456789abcdef/ ref/hashes.txt >h && mv h ref/hashes.txt && echo not a picture at all >ref/frame-000000.png", compare, 1, "frame 0: hash f54a937682890519, expected 0123456789abcdef (ref/hashes.txt)\n  actual:   ref/frame-000000.actual.png (cannot read ref/frame-000000.png: Not a PNG file)", with(both_refs, "ref/frame-000000.actual.png")},
        // A differing hash and picture; frame 1, which matches, does not undo the failure. One worker, slowed by
        // the diff and the encoding for --out, so that the two frames are written together.
        {"", refs + "cp ref/frame-000001.png ref/frame-000000.png && sed s/^frame-000000.*/frame-000000\\ 0123456789abcdef/ ref/hashes.txt >h && mv h ref/hashes.txt", compare + " --jobs 1 --out o", 1, "frame 0: hash f54a937682890519, expected 0123456789abcdef (ref/hashes.txt)\n  17348 pixels differ\n  expected: ref/frame-000000.png\n  actual:   ref/frame-000000.actual.png\n  diff:     ref/frame-000000.diff.png", {"ref", "ref/hashes.txt", "ref/frame-000000.png", "ref/frame-000001.png", "ref/frame-000000.actual.png", "ref/frame-000000.diff.png", "o", "o/frame-000000.png", "o/frame-000001.png"}},
        {"", "mkdir -p ref/frame-000000.actual.png && echo '# none' >ref/hashes.txt", "--frames 2 --save 0 --expect ref", 1, "frame 0: no entry in ref/hashes.txt\n" + no_picture + "\n  (could not write the actual and diff pictures: Is a directory)", {"ref", "ref/hashes.txt", "ref/frame-000000.actual.png"}},
        // The hash list, failing as it is closed or renamed.
        {"", "ulimit -f 1", "--frames 40 --save 0-39 --hash-list h.txt", 1, "cannot write h.txt: File too large", {}},
        {"", "mkdir h.txt", "--frames 3 --save 0-2 --hash-list h.txt", 1, "cannot write h.txt: Is a directory", {"h.txt"}},
        // ffmpeg failing at the start (its last line told, trimmed), dying, leaving early, claiming success with no
        // clip, failing at the end (run past a non-executable ffmpeg earlier on PATH), and a frame write failing
        // during a clip.
        {R"(printf 'starting\nchecking\nUnknown encoder \r\n' >&2; exit 1)", "", clip, 1, "cannot write clip.webm: ffmpeg exited with status 1: Unknown encoder", {}},
        {"head -c 2000000 >\"$out\"; kill -9 $$", "", clip + " --hash-list h.txt", 1, "cannot write clip.webm: ffmpeg was killed by signal 9 (Killed)", {}},
        {"head -c 1000 >/dev/null; exit 0", "", clip, 1, "cannot write clip.webm: ffmpeg stopped reading the frames", {}},
        {"cat >/dev/null", "", clip, 1, "cannot write clip.webm: clip.webm.part: No such file or directory", {}},
        {"cat >\"$out\"; echo 'muxing failed' >&2; exit 1", "mkdir ../off && : >../off/ffmpeg && chmod 644 ../off/ffmpeg && PATH=../off:$PATH", clip, 1, "cannot write clip.webm: ffmpeg exited with status 1: muxing failed", {}},
        {"cat >\"$out\"", "echo '0 quit' >q", "--script q --video clip.mkv", 1, "clip.mkv not written: the run ended before its first frame", {"q"}},
        {"cat >\"$out\"", "echo '1 quit' >q", "--script q --video clip.mkv", 0, "", {"q", "clip.mkv"}},
        {R"(for a; do [ "$a" = -y ] && y=1; done; [ -e "$out" ] && [ -z "$y" ] && { echo "File '$out' already exists. Exiting." >&2; exit 1; }; cat >"$out")", ": >clip.mkv.part && : >clip.mkv", "--frames 2 --video clip.mkv", 0, "", {"clip.mkv"}},  // both written over
        {"cat >\"$out\"", "mkdir -p ../off/ffmpeg && PATH=../off:$PATH", "--frames 2 --video clip.mkv", 0, "", {"clip.mkv"}},
        {"", "mkdir ../off && : >../off/sh && printf '#!../off/sh\\n' >../off/ffmpeg && chmod 755 ../off/ffmpeg && PATH=../off:$PATH", clip + " --hash-list h.txt", 1, "cannot write clip.webm: cannot start ../off/ffmpeg: Permission denied", {}},  // its shell not runnable
        {"cat >/dev/null; exit 3", "", clip, 1, "cannot write clip.webm: ffmpeg exited with status 3", {}},
        {"cat >/dev/null; echo 'said on standard output'; exit 1", "", clip, 1, "cannot write clip.webm: ffmpeg exited with status 1: said on standard output", {}},
        // An empty entry on PATH is the current folder, searched before the ffmpeg in /usr/bin.
        {"echo 'the one here' >&2; exit 1", "cp ../bin/ffmpeg . && PATH=:/usr/bin:/bin", clip, 1, "cannot write clip.webm: ffmpeg exited with status 1: the one here", {"ffmpeg"}},
        {"cat >/dev/null; printf '%4090s\\nabcde' >&2; exit 1", "", clip, 1, "cannot write clip.webm: ffmpeg exited with status 1: abcde", {}},
        {"head -c 4609000 >/dev/null; exit 0", "mkdir -p out/frame-000004.png", "--frames 20 --save 0-19 --out out --video clip.webm --jobs 1", 1, "cannot write out/frame-000004.png: Is a directory", saved(4, "out/frame-000004.png")},
        {"cat >\"$out\"", "mkdir -p out/frame-000003.png", save_many + " --video clip.mkv", 1, dir_in_way, saved(3, "out/frame-000003.png")},
        // More workers than cores: the frames after the failing one are encoded, maybe done, and never written.
        {"", "mkdir -p out/frame-000003.png", save_many + many_jobs + " --hash-list h.txt", 1, dir_in_way, saved(3, "out/frame-000003.png")},
        // Too little memory for the slots of many workers.
        {"", "ulimit -v 200000", "--jobs 64 --frames 3 --save 0-2 --out out", 1, "cannot reserve 261 MiB for 64 jobs; ask for fewer with --jobs", {"out"}},
        {"", "ulimit -v 200000", "--jobs 64 --frames 3 --save 0-2 --out out --hash-list h", 1, "cannot reserve 261 MiB for 64 jobs; ask for fewer with --jobs", {"out"}},
        // A full disk: a 600 KiB tmpfs holds ten frames; the hash list finds it full, the clip fills it.
        {"", "", "--frames 60 --save 0-50 --out out", 1, "cannot write out/frame-000010.png: No space left on device", saved(10), true},
        {"", "", "--frames 60 --save 0-50 --out out" + many_jobs, 1, "cannot write out/frame-000010.png: No space left on device", saved(10), true},
        {"", "dd if=/dev/zero of=fill bs=4k 2>/dev/null", "--frames 3 --save 0-2 --hash-list h.txt", 1, "cannot write h.txt: No space left on device", {"fill"}, true},
        {"cat >\"$out\"", "", clip, 1, "cannot write clip.webm: ffmpeg exited with status 1: cat: write error: No space left on device", {}, true}};
    // clang-format on
    std::string unmounted;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup + " | " + c.args);
        fs::remove_all(root + "/bin"), fs::remove_all(root + "/off"), fs::remove_all(dir);
        fs::create_directories(root + "/bin"), fs::create_directories(dir);
        // AddressSanitizer and qemu-user cannot start the tool in so small an address space; there the
        // too-little-memory case cannot be staged.
        if (c.setup.starts_with("ulimit -v") && run_in(root + "/ok", c.setup, "--jobs 1 --frames 1").status != 0)
            continue;
        // qemu-user starts a child as a fork, so a program that cannot be started comes back as the child's
        // status 127, not as the start's error; there the case of an ffmpeg that cannot be started cannot be staged.
        if (c.setup.find("#!../off/sh") != std::string::npos && !starts_report_failure()) continue;
        if (c.tmpfs && std::system(("mount -t tmpfs -o size=600k tmpfs '" + dir + "' 2>/dev/null").c_str()) != 0) {
            unmounted = "cannot mount a tmpfs (not root, or not permitted here), so the full-disk cases did not run";
            continue;
        }
        if (c.ffmpeg[0]) {
            std::ofstream(root + "/bin/ffmpeg") << "#!/bin/sh\nfor out; do :; done\n" << c.ffmpeg << "\n";
            chmod((root + "/bin/ffmpeg").c_str(), 0755);
        }
        const Ran ran = run_in(dir, "PATH='" + root + "/bin:/usr/bin:/bin'\n" + c.setup, c.args);
        EXPECT_EQ(ran.status, c.status);
        EXPECT_EQ(ran.err, c.line.empty() ? "" : "ringfield-capture: " + c.line + "\n");
        EXPECT_EQ(tree(dir), c.left);
        if (c.h_bytes) {
            EXPECT_EQ(contents(dir + "/h").size(), c.h_bytes);
        }
        if (c.tmpfs) {
            EXPECT_EQ(std::system(("umount '" + dir + "'").c_str()), 0);
        }
    }
    fs::remove_all(root);
    if (!unmounted.empty()) GTEST_SKIP() << unmounted;
}

}  // namespace
