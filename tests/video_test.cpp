// ringfield-capture --video: clips decoded again with ffmpeg. How a clip
// fails is in the capture tool's failure table.
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

#include "capture/png.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t frame_bytes = 640 * 480 * 3;

struct Ran {
    int status;  // exit status, or -1 when the tool did not exit normally
    std::string err;
};

// A fresh, empty folder for one test.
std::string fresh_folder(const std::string& name) {
    std::string dir = testing::TempDir() + "video_" + name + "_" + std::to_string(getpid());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Runs the tool with `args` (and `env` before it, such as a PATH), keeping its standard error.
Ran run_tool(const std::string& dir, const std::string& args, const std::string& env = "") {
    const std::string err_path = dir + ".err";
    const int status = std::system((env + " " CAPTURE_TOOL " " + args + " 2>" + err_path).c_str());
    Ran ran{WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            std::string(std::istreambuf_iterator<char>(std::ifstream(err_path).rdbuf()), {})};
    static_cast<void>(std::remove(err_path.c_str()));
    return ran;
}

std::set<std::string> entries(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

std::string command_output(const std::string& command) {
    std::string text;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[1 << 16];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
        pclose(pipe);
    }
    return text;
}

bool have_ffmpeg() {
    return std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") == 0;
}

// "width,height,frames,rate" of the clip's video stream, every frame decoded to count them.
std::string probe(const std::string& clip) {
    std::string text = command_output(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=width,height,nb_read_frames,r_frame_rate -of csv=p=0 '" +
        clip + "'");
    while (!text.empty() && (text.back() == '\n' || text.back() == ',')) text.pop_back();
    return text;
}

// A lossless clip holds exactly the frames a PNG capture of the same run saves.
TEST(CaptureVideo, LosslessClipMatchesThePngFrames) {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg or ffprobe is not on PATH";
    const std::string dir = fresh_folder("lossless");
    const struct {
        const char* clip;
        const char* depth;
    } cases[] = {{"clip.mkv", "2"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.clip);
        const std::string common = std::string(" --random 3 --frames 12 --depth ") + c.depth;
        ASSERT_EQ(run_tool(dir, common + " --save 0,6,11 --out " + dir).status, 0);
        const Ran ran = run_tool(dir, common + " --video " + dir + "/" + c.clip);
        ASSERT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(ran.err, "");
        const std::string clip = dir + "/" + c.clip;
        EXPECT_EQ(probe(clip), "640,480,60/1,12");
        const std::string frames = command_output("ffmpeg -v error -i '" + clip + "' -f rawvideo -pix_fmt rgb24 -");
        ASSERT_EQ(frames.size(), 12 * frame_bytes);
        std::vector<uint8_t> png(frame_bytes);
        std::string previous;
        for (int frame : {0, 6, 11}) {
            char name[64];
            static_cast<void>(std::snprintf(name, sizeof name, "/frame-%06d.png", frame));
            Text why;
            ASSERT_TRUE(read_png((dir + name).c_str(), png.data(), why)) << name;
            const std::string decoded = frames.substr(frame * frame_bytes, frame_bytes);
            EXPECT_TRUE(decoded == std::string(png.begin(), png.end())) << "frame " << frame << " differs";
            // Lit and changing, so that a black or repeated frame cannot pass.
            EXPECT_NE(decoded.find_first_not_of('\0'), std::string::npos) << frame;
            EXPECT_NE(decoded, previous) << frame;
            previous = decoded;
        }
        EXPECT_EQ(entries(dir),
                  (std::set<std::string>{c.clip, "frame-000000.png", "frame-000006.png", "frame-000011.png"}));
        fs::remove(clip);
    }
    fs::remove_all(dir);
}

// A lossy clip has every frame run, at its size and rate; a key in the script ends the clip with the run.
TEST(CaptureVideo, LossyClipsHoldEveryFrameRun) {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg or ffprobe is not on PATH";
    const std::string dir = fresh_folder("lossy");
    std::ofstream(dir + ".txt") << "0 motion 500 100\n4 button\n9 key\n";
    const struct {
        std::string args, clip, want;
    } cases[] = {{"--script " + dir + ".txt --fps 24 --depth 3 --save 2 --out " + dir, "clip.webm", "640,480,24/1,9"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.clip);
        const Ran ran = run_tool(dir, c.args + " --video " + dir + "/" + c.clip);
        ASSERT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(ran.err, "");
        EXPECT_EQ(probe(dir + "/" + c.clip), c.want);
    }
    EXPECT_EQ(entries(dir), (std::set<std::string>{"clip.webm", "frame-000002.png"}));
    // A key before the first frame leaves nothing to encode: no clip, and the tool says so.
    std::ofstream(dir + ".txt") << "0 key\n";
    const Ran ran = run_tool(dir, "--script " + dir + ".txt --video " + dir + "/empty.mp4");
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, "ringfield-capture: " + dir + "/empty.mp4 not written: the run ended before its first frame\n");
    EXPECT_EQ(entries(dir).count("empty.mp4") + entries(dir).count("empty.mp4.part"), 0u);
    fs::remove_all(dir);
    static_cast<void>(std::remove((dir + ".txt").c_str()));
}

}  // namespace
