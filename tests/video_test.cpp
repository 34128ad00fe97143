// ringfield-capture --video: clips decoded again with ffmpeg. How a clip
// fails is in the capture tool's failure table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "capture/png.h"
#include "tests/programs.h"
#include "tests/support.h"

namespace {

// Shell lines that run the tool with `args` and write, after its own messages, the clip's codec, width,
// height, pixel format, rate and frames (every frame decoded to count them), one a line.
std::string run_and_probe(const std::string& args, const std::string& clip) {
    return "{ " CAPTURE_TOOL " " + args + " && ffprobe -v error -count_frames -select_streams v:0 -show_entries " +
           "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames -of default=nw=1:nk=1 " + clip +
           " >&2; }";
}

// A lossless clip holds exactly the frames a PNG capture of the same run saves; a lossy one has every
// frame run, at its size and rate, and a key in the script ends the clip with the run.
TEST(CaptureVideo, ClipsHoldEveryFrameRunAndLosslessOnesThePngFrames) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ffmpeg or ffprobe is not on PATH";
    }
    const std::string dir = fresh_folder("video");
    ASSERT_EQ(run_shell(dir, CAPTURE_TOOL " --random 3 --frames 12 --save 0,6,11 --out .").status, 0);
    EXPECT_EQ(run_shell(dir, run_and_probe("--random 3 --frames 12 --video clip.mkv", "clip.mkv")).err,
              "ffv1\n640\n480\nbgr0\n60/1\n12\n");
    ASSERT_EQ(run_shell(dir, "ffmpeg -v error -i clip.mkv -f rawvideo -pix_fmt rgb24 frames.rgb").status, 0);
    constexpr size_t frame_bytes = 640 * 480 * 3;
    const std::string frames = contents(dir + "/frames.rgb");
    ASSERT_EQ(frames.size(), 12 * frame_bytes);
    std::vector<uint8_t> png(frame_bytes);
    for (int frame : {0, 6, 11}) {
        const std::string name = dir + "/frame-0000" + (frame < 10 ? "0" : "") + std::to_string(frame) + ".png";
        Text why;
        ASSERT_TRUE(read_png(name.c_str(), png.data(), why)) << name;
        EXPECT_TRUE(same_pixels(&frames[frame * frame_bytes], png.data(), 640 * 3, 480, 3)) << "frame " << frame;
    }
    std::ofstream(dir + "/s.txt") << "0 motion 500 100\n4 button\n9 key\n";
    const std::string lossy = "--script s.txt --fps 24 --depth 3 --save 2 --out . --video clip.webm";
    EXPECT_EQ(run_shell(dir, run_and_probe(lossy, "clip.webm")).err, "vp9\n640\n480\nyuv420p\n24/1\n9\n");
    // An APNG plays round and round: its acTL chunk says 3 frames and 0 plays, for ever. An MP4 starts playing
    // before it has all arrived: its whole index (moov) comes before the pictures (mdat), not in fragments (moof)
    // among them; 300 frames hold a second key frame, where a fragment would begin.
    ASSERT_EQ(run_shell(dir, CAPTURE_TOOL " --frames 3 --video clip.apng").status, 0);
    const std::string apng = contents(dir + "/clip.apng");
    EXPECT_EQ(apng.substr(apng.find("acTL") + 4, 8), std::string("\0\0\0\3\0\0\0\0", 8));
    EXPECT_EQ(run_shell(dir, run_and_probe("--frames 300 --video clip.mp4", "clip.mp4")).err,
              "h264\n640\n480\nyuv420p\n60/1\n300\n");
    const std::string mp4 = contents(dir + "/clip.mp4");
    EXPECT_LT(mp4.find("moov"), mp4.find("mdat"));
    EXPECT_EQ(mp4.find("moof"), std::string::npos);
    EXPECT_EQ(tree(dir),
              (std::set<std::string>{"clip.apng", "clip.mkv", "clip.mp4", "clip.webm", "frames.rgb", "s.txt",
                                     "frame-000000.png", "frame-000002.png", "frame-000006.png", "frame-000011.png"}));
    std::filesystem::remove_all(dir);
}

}  // namespace
