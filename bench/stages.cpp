// Where a frame's time goes, stage by stage in the frame's own order and
// state, with no benchmark library: the same source built natively and for
// WebAssembly (run under node), so the two can be compared stage for stage.
// Frames run on from the warmed-up state of each scene with the pointer
// moving; each stage is timed with a wall clock between its neighbours, and
// whole frames are timed apart, with no clock inside, to check the sum.
//   build/bench/ringfield-stages [frames]
//   node build-web/ringfield-stages.js [frames]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/path.h"
#include "frame/frame_internal.h"
#include "raster/raster.h"
#include "raster/vectors.h"
#include "rings/rings.h"
#include "transform/transform.h"

namespace {

constexpr int warm_frames = 400;
constexpr int max_frames = 4000;
constexpr int stage_count = 7;
const char* const stage_names[stage_count] = {"input",           "angles",       "fade",      "animator",
                                              "view+projection", "ring drawing", "conversion"};

double now_us() {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int path_frame;

// The next step of the pointer's path.
Input pointer() { return pointer_at(path_frame++); }

alignas(64) uint8_t pixels[screen_pixels * 4];
// 5-6-5, and 8-8-8 with red at bit 0 and an alpha byte (the browser's canvas).
const PixelLayout layout2 = {pixels, screen_width * 2, 2, 3, 2, 3, 11, 5, 0, 0, 0};
const PixelLayout layout4 = {pixels, screen_width * 4, 4, 0, 0, 0, 0, 8, 16, 0xFF000000u, 0xFF000000u};

double stage_us[stage_count][max_frames];
double frame_us[max_frames];

double median(double* values, int n) {
    std::sort(values, values + n);
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The frame as frame_input, frame_render and frame_present do it, a clock
// read between the steps.
void timed_frame(const PixelLayout& target, int f) {
    double t[stage_count + 1];
    t[0] = now_us();
    frame_input(pointer());
    t[1] = now_us();
    advance_angles();
    t[2] = now_us();
    const Scene& scene = scenes[scene_mode];
    accum_fade(accum_buffer, scene.fade);
    t[3] = now_us();
    scene.animate();
    t[4] = now_us();
    update_view(angle_x, angle_y, angle_z);
    project_points(0, point_count);
    t[5] = now_us();
    draw_rings();
    t[6] = now_us();
    frame_present(target);
    t[7] = now_us();
    for (int s = 0; s < stage_count; ++s) stage_us[s][f] = t[s + 1] - t[s];
}

void whole_frame(const PixelLayout& target, int f) {
    const double start = now_us();
    frame_input(pointer());
    frame_render();
    frame_present(target);
    frame_us[f] = now_us() - start;
}

}  // namespace

int main(int argc, char** argv) {
    // [frames] [--narrow]: --narrow runs the 16-byte vector code where the
    // 32-byte copies would run.
    int frames = 600;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--narrow") == 0) use_wide_vectors(false);
        else
            frames = static_cast<int>(std::strtol(argv[i], nullptr, 10));
    }
    frames = std::clamp(frames, 10, max_frames);
    std::printf(
        "median us per frame over %d frames a scene (stages, then whole frames without inner clocks), "
        "%s vectors\n",
        frames, wide_vectors_used() ? "32-byte" : "16-byte");
    std::printf("%-6s %-5s", "scene", "bytes");
    for (const char* name : stage_names) std::printf(" %9.9s", name);
    std::printf(" %9s %9s\n", "sum", "whole");
    for (const PixelLayout* target : {&layout2, &layout4}) {
        start_core();
        path_frame = 0;
        for (int scene = 0; scene < scene_count; ++scene) {
            if (scene > 0) next_scene();
            for (int n = 0; n < warm_frames; ++n) {
                frame_input(pointer());
                frame_render();
                frame_present(*target);
            }
            // Stages and whole frames take turns, so both see the same scenes.
            for (int f = 0; f < frames; ++f) {
                timed_frame(*target, f);
                whole_frame(*target, f);
            }
            std::printf("%-6d %-5d", scene, target->bytes_per_pixel);
            double sum = 0;
            for (auto& stage : stage_us) {
                const double m = median(stage, frames);
                sum += m;
                std::printf(" %9.1f", m);
            }
            std::printf(" %9.1f %9.1f\n", sum, median(frame_us, frames));
        }
    }
    return 0;
}
