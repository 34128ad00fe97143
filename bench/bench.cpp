// Per-stage and whole-frame timings of the renderer core, each also shown as
// a ratio to the floor: the memory passes any implementation has to make (one
// read+write pass over the buffer words, one read pass writing the target).
//
//   build/bench/ringfield-bench                                   all of it
//   build/bench/ringfield-bench --benchmark_repetitions=5         medians
//
// The summary uses CPU time: other processes on a shared machine then weigh
// less than in the wall-clock column. Targets are pictures in memory.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "bench/path.h"
#include "frame/frame_internal.h"
#include "present/present.h"
#include "raster/raster_internal.h"
#include "raster/vectors.h"
#include "rings/rings_internal.h"
#include "transform/transform_internal.h"

namespace {

constexpr int warm_frames = 400;

// Everything a frame changes, so that each benchmark can start from the
// state the program is in after some hundred frames of a scene.
struct Snapshot {
#define FIELD(name) decltype(::name) name;  // NOLINT(bugprone-macro-parentheses): a declaration
    CORE_STATE(FIELD)
#undef FIELD
    int frame;
};

Snapshot snapshots[scene_count];
int path_frame;  // where the pointer is along its path

void capture(Snapshot& s) {
#define SAVE(name) std::memcpy(&s.name, &::name, sizeof ::name);
    CORE_STATE(SAVE)
#undef SAVE
    s.frame = path_frame;
}

void restore(const Snapshot& s) {
#define LOAD(name) std::memcpy(&::name, &s.name, sizeof ::name);
    CORE_STATE(LOAD)
#undef LOAD
    path_frame = s.frame;
}

// The next step of the pointer's path.
Input pointer() { return pointer_at(path_frame++); }

// Targets in memory by bytes per pixel: 3-3-2, 5-6-5, 8-8-8 and x-8-8-8.
alignas(64) uint8_t target_pixels[5][screen_pixels * 4];
PixelLayout targets[5];

void make_targets() {
    const struct {
        uint8_t loss[3], shift[3];
    } fields[5] = {
        {}, {{5, 5, 6}, {5, 2, 0}}, {{3, 2, 3}, {11, 5, 0}}, {{0, 0, 0}, {16, 8, 0}}, {{0, 0, 0}, {16, 8, 0}}};
    for (int bytes = 1; bytes <= 4; ++bytes) {
        PixelLayout& t = targets[bytes];
        t.pixels = target_pixels[bytes];
        t.pitch = (screen_width * bytes + 3) / 4 * 4;
        t.bytes_per_pixel = bytes;
        t.red_loss = fields[bytes].loss[0], t.green_loss = fields[bytes].loss[1], t.blue_loss = fields[bytes].loss[2];
        t.red_shift = fields[bytes].shift[0], t.green_shift = fields[bytes].shift[1];
        t.blue_shift = fields[bytes].shift[2];
    }
}

void run_frame(const PixelLayout& target, Input input) {
    frame_input(input);
    frame_render();
    frame_present(target);
}

// Builds the three scene states the stage benchmarks start from.
void warm_up() {
    start_core();
    for (int scene = 0; scene < scene_count; ++scene) {
        if (scene > 0) next_scene();
        for (int n = 0; n < warm_frames; ++n) run_frame(targets[2], pointer());
        capture(snapshots[scene]);
    }
}

// --- the floor -------------------------------------------------------------

// A read+write pass over every word that the compiler cannot drop.
void pass_words(int32_t* words, int32_t key) {
    for (int32_t i = 0; i < screen_pixels; ++i) words[i] ^= key;
}

// A read pass over the words writing every pixel of the target, truncated.
template <typename Pixel>
void write_target(const PixelLayout& target, const int32_t* words) {
    auto* pixels = static_cast<uint8_t*>(target.pixels);
    for (int32_t y = 0; y < screen_height; ++y) {
        const int32_t* row = words + y * screen_width;
        auto* out = reinterpret_cast<Pixel*>(pixels + target.pitch * y);
        for (int32_t x = 0; x < screen_width; ++x) out[x] = static_cast<Pixel>(row[x]);
    }
}

void write_floor(const PixelLayout& target, const int32_t* words) {
    if (target.bytes_per_pixel == 2) write_target<uint16_t>(target, words);
    else
        write_target<uint32_t>(target, words);
}

// The floor's loops in the vector width the stages run in, so that it stays
// a floor: built with AVX2, the compiler vectorizes them in 32 bytes.
#if RINGFIELD_WIDE_VECTORS
RINGFIELD_WIDE void pass_words_wide(int32_t* words, int32_t key) { pass_words(words, key); }
RINGFIELD_WIDE void write_floor_wide(const PixelLayout& target, const int32_t* words) { write_floor(target, words); }
#endif

void floor_pass(int32_t* words, int32_t key) {
#if RINGFIELD_WIDE_VECTORS
    if (wide_vectors_used()) return pass_words_wide(words, key);
#endif
    pass_words(words, key);
}

void floor_write(const PixelLayout& target, const int32_t* words) {
#if RINGFIELD_WIDE_VECTORS
    if (wide_vectors_used()) return write_floor_wide(target, words);
#endif
    write_floor(target, words);
}

volatile int32_t zero_key = 0;

void BM_Floor(benchmark::State& state) {
    const PixelLayout& target = targets[state.range(0)];
    restore(snapshots[0]);
    for (auto _ : state) {
        floor_pass(accum_buffer, zero_key);
        floor_write(target, accum_buffer);
        benchmark::ClobberMemory();
    }
}

void BM_FloorPass(benchmark::State& state) {
    restore(snapshots[0]);
    for (auto _ : state) {
        floor_pass(accum_buffer, zero_key);
        benchmark::ClobberMemory();
    }
}

void BM_FloorWrite(benchmark::State& state) {
    const PixelLayout& target = targets[state.range(0)];
    restore(snapshots[0]);
    for (auto _ : state) {
        floor_write(target, accum_buffer);
        benchmark::ClobberMemory();
    }
}

// --- the stages --------------------------------------------------------------

void BM_Fade(benchmark::State& state) {
    const int scene = static_cast<int>(state.range(0));
    for (auto _ : state) {
        // Fading the same buffer again and again would soon leave it black.
        state.PauseTiming();
        restore(snapshots[scene]);
        state.ResumeTiming();
        accum_fade(accum_buffer, scenes[scene].fade);
        benchmark::ClobberMemory();
    }
}

void BM_Animate(benchmark::State& state) {
    const int scene = static_cast<int>(state.range(0));
    restore(snapshots[scene]);
    for (auto _ : state) {
        scenes[scene].animate();
        benchmark::ClobberMemory();
    }
}

void BM_ViewProject(benchmark::State& state) {
    restore(snapshots[state.range(0)]);
    for (auto _ : state) {
        update_view(angle_x, angle_y, angle_z);
        project_points(0, point_count);
        benchmark::ClobberMemory();
    }
}

void BM_DrawRings(benchmark::State& state) {
    const int scene = static_cast<int>(state.range(0));
    for (auto _ : state) {
        // Drawing over and over would saturate the buffer.
        state.PauseTiming();
        restore(snapshots[scene]);
        state.ResumeTiming();
        draw_rings();
        benchmark::ClobberMemory();
    }
}

void BM_Convert(benchmark::State& state) {
    const PixelLayout& target = targets[state.range(1)];
    restore(snapshots[state.range(0)]);
    for (auto _ : state) {
        frame_present(target);
        benchmark::ClobberMemory();
    }
}

// A whole frame into a target of the given depth, the pointer moving.
void BM_Frame(benchmark::State& state) {
    restore(snapshots[state.range(0)]);
    const PixelLayout& target = targets[state.range(1)];
    for (auto _ : state) {
        run_frame(target, pointer());
        benchmark::ClobberMemory();
    }
}

// --- the whole frame, stage by stage -----------------------------------------

// CPU time of this thread, in µs: the clock the summary's figures use.
double cpu_us() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) * 1e-3;
}

// The stages of a frame as frame_input, frame_render and frame_present run
// them, each timed in the frame's own order and state (the cache as the
// stage before left it, the rings as they move), so that they add up to
// the whole frame. Counters hold each stage's µs per frame, and the next
// frame's, run whole between two clock readings: taking turns, stages and
// whole frames see the same load, which on a shared machine drifts between
// one benchmark and the next.
constexpr int stage_count = 5;
const char* const stage_names[stage_count] = {"input+angles+animator", "fade", "view+projection", "ring drawing",
                                              "conversion"};
const char* const whole_name = "whole frame";

void BM_FrameStages(benchmark::State& state) {
    restore(snapshots[state.range(0)]);
    const PixelLayout& target = targets[state.range(1)];
    double total[stage_count] = {};
    double whole = 0.0;
    for (auto _ : state) {
        const double t0 = cpu_us();
        frame_input(pointer());
        advance_angles();
        const Scene& scene = scenes[scene_mode];
        const double t1 = cpu_us();
        accum_fade(accum_buffer, scene.fade);
        const double t2 = cpu_us();
        scene.animate();
        const double t3 = cpu_us();
        update_view(angle_x, angle_y, angle_z);
        project_points(0, point_count);
        const double t4 = cpu_us();
        draw_rings();
        const double t5 = cpu_us();
        frame_present(target);
        const double t6 = cpu_us();
        // Each interval holds one clock reading besides its stage; a reading
        // costs 1 - 3 us here (a system call), varying with the load, so
        // every frame measures it afresh.
        const double cost = cpu_us() - t6;
        benchmark::ClobberMemory();
        total[0] += (t1 - t0) + (t3 - t2) - 2 * cost;
        total[1] += t2 - t1 - cost;
        total[2] += t4 - t3 - cost;
        total[3] += t5 - t4 - cost;
        total[4] += t6 - t5 - cost;
        const double w0 = cpu_us();
        run_frame(target, pointer());
        whole += cpu_us() - w0 - cost;
        benchmark::ClobberMemory();
    }
    for (int s = 0; s < stage_count; ++s)
        state.counters[stage_names[s]] = benchmark::Counter(total[s], benchmark::Counter::kAvgIterations);
    state.counters[whole_name] = benchmark::Counter(whole, benchmark::Counter::kAvgIterations);
}

void each_scene(benchmark::internal::Benchmark* b) { b->DenseRange(0, scene_count - 1); }

BENCHMARK(BM_Floor)->Arg(2)->Arg(4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorPass)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorWrite)->Arg(2)->Arg(4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fade)->Apply(each_scene)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Animate)->Apply(each_scene)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ViewProject)->Apply(each_scene)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawRings)->Apply(each_scene)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Convert)->ArgsProduct({{0, 1, 2}, {1, 2, 3, 4}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Frame)->ArgsProduct({{0, 1, 2}, {2, 4}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameStages)->ArgsProduct({{0, 1, 2}, {2, 4}})->Unit(benchmark::kMicrosecond);

// --- the summary -------------------------------------------------------------

// The console output as usual, then every timing as a ratio to the floor:
// the median over repetitions when there are any, else the single run.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string name = run.run_name.str();
            const double us = run.GetAdjustedCPUTime() * to_us(run.time_unit);
            const bool take = run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median" : run.repetitions <= 1;
            if (!take) continue;
            medians[name] = us;
            if (name.starts_with("BM_FrameStages/")) {
                double sum = 0.0;
                for (const auto& [counter, value] : run.counters) {
                    if (counter != whole_name) sum += value.value;
                }
                const std::string args = name.substr(std::strlen("BM_FrameStages/"));
                stage_sums[args] = sum;
                const auto whole = run.counters.find(whole_name);
                if (whole != run.counters.end()) turn_wholes[args] = whole->second.value;
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        if (medians.empty()) return;
        std::printf("\nRatios to the floor (median CPU time per call)\n");
        const double floor2 = get("BM_Floor/2");
        const double floor4 = get("BM_Floor/4");
        const double pass = get("BM_FloorPass");
        std::printf("  floor, 2 bytes per pixel: %8.1f us\n", floor2);
        std::printf("  floor, 4 bytes per pixel: %8.1f us\n", floor4);
        std::printf("  %-22s %10s %9s %9s\n", "stage", "us", "x floor", "x share");
        for (const auto& [name, us] : medians) {
            double floor = floor2;
            double share = 0.0;
            std::string name_bytes = name.substr(name.rfind('/') + 1);
            if (name.starts_with("BM_Fade/")) share = pass;
            if (name.starts_with("BM_Convert/")) share = get("BM_FloorWrite/" + name_bytes);
            if ((name.starts_with("BM_Frame/") || name.starts_with("BM_Convert/")) && name_bytes == "4") floor = floor4;
            if (name.starts_with("BM_Floor") || name.starts_with("BM_FrameStages/")) continue;
            std::printf("  %-22s %10.1f %9.2f", name.c_str() + 3, us, ratio(us, floor));
            if (share > 0.0) std::printf(" %9.2f", ratio(us, share));
            std::printf("\n");
        }
        for (int bytes : {2, 4}) {
            double sum = 0.0;
            int found = 0;
            for (int scene = 0; scene < scene_count; ++scene) {
                const double us = get("BM_Frame/" + std::to_string(scene) + "/" + std::to_string(bytes));
                sum += us;
                found += us > 0.0;
            }
            // Only a full set of scenes makes a mean worth printing.
            if (found != scene_count) continue;
            const double mean = sum / scene_count;
            std::printf("  whole frame at %d bytes per pixel, mean of the scenes: %.1f us = %.2f x floor\n", bytes,
                        mean, ratio(mean, bytes == 2 ? floor2 : floor4));
        }
        // The stages timed in the frame's order against the whole frames
        // run in turn with them: what no stage accounts for.
        for (const auto& [args, sum] : stage_sums) {
            const double whole = turn_wholes[args];
            if (whole > 0.0)
                std::printf(
                    "  stages of frame %s add up to %.1f us, the whole frames between them %.1f us (%+.1f %%)\n",
                    args.c_str(), sum, whole, 100.0 * (sum - whole) / whole);
        }
    }

private:
    static double to_us(benchmark::TimeUnit unit) {
        switch (unit) {
        case benchmark::kNanosecond: return 1e-3;
        case benchmark::kMicrosecond: return 1.0;
        case benchmark::kMillisecond: return 1e3;
        default: return 1e6;
        }
    }
    double get(const std::string& name) const {
        const auto it = medians.find(name);
        return it == medians.end() ? 0.0 : it->second;
    }
    static double ratio(double a, double b) { return b > 0.0 ? a / b : 0.0; }

    std::map<std::string, double> medians;
    std::map<std::string, double> stage_sums;   // by scene/bytes: the stages of BM_FrameStages added up
    std::map<std::string, double> turn_wholes;  // by scene/bytes: its whole frames
};

}  // namespace

int main(int argc, char** argv) {
    // --narrow: the 16-byte vector code where the 32-byte copies would run,
    // to see what a processor without AVX2 gets.
    auto* const narrow =
        std::find_if(argv + 1, argv + argc, [](const char* a) { return std::strcmp(a, "--narrow") == 0; });
    if (narrow != argv + argc) {
        use_wide_vectors(false);
        std::copy(narrow + 1, argv + argc + 1, narrow);
        --argc;
    }
    benchmark::AddCustomContext("vectors", wide_vectors_used() ? "32-byte (AVX2)" : "16-byte");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    make_targets();
    warm_up();
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
