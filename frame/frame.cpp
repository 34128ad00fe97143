// Start-up and the frame's order of work: input, angles, fade and animator,
// view and projection, ring drawing, conversion.
#include "frame/frame_internal.h"

#include "raster/raster.h"
#include "raster/vectors.h"
#include "rings/rings.h"
#include "transform/transform.h"
#include "trig/trig.h"

int32_t scene_mode;
int32_t mouse_x;
int32_t mouse_y;
int32_t spin_x;
int32_t spin_y;
int32_t angle_x;
int32_t angle_y;
int32_t angle_z;

// Scene 2 fades half as much, so its trails linger.
const Scene scenes[scene_count] = {
    {4, setup_scene_0, animate_scene_0},
    {4, setup_scene_1, animate_scene_1},
    {2, setup_scene_2, animate_scene_2},
};

static_assert(angle_steps == turn_steps);

namespace {

// The non-negative remainder: one correction suffices for pointers inside
// the mode, but a motion input may carry any 16-bit position.
int32_t wrap_angle(int32_t angle) {
    const int32_t r = angle % turn_steps;
    return r < 0 ? r + turn_steps : r;
}

bool on_screen(int32_t x, int32_t y) {
    return static_cast<uint32_t>(x) < static_cast<uint32_t>(screen_width) &&
           static_cast<uint32_t>(y) < static_cast<uint32_t>(screen_height);
}

// Points 0..ring_points - 2 of the ring starting at b, the ones its segments
// join, all on the screen.
bool ring_on_screen(int32_t b) {
    bool all = true;
    for (int32_t k = 0; k <= ring_points - 2; ++k) all &= on_screen(screen_x[b + k], screen_y[b + k]);
    return all;
}

// Both ends past the same edge: clipping rejects the segment at once, so
// it need not be called (rings at the eye's plane lie far off the screen).
bool beside_screen(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    return (x0 < 0 && x1 < 0) || (x0 >= screen_width && x1 >= screen_width) || (y0 < 0 && y1 < 0) ||
           (y0 >= screen_height && y1 >= screen_height);
}

}  // namespace

bool queue_push(InputQueue& queue, Input input) {
    if (queue.count == input_queue_size) return false;
    queue.inputs[(queue.head + queue.count) % input_queue_size] = input;
    ++queue.count;
    return true;
}

Input queue_take(InputQueue& queue) {
    if (queue.count == 0) return {InputKind::none, 0, 0};
    const Input input = queue.inputs[queue.head];
    queue.head = (queue.head + 1) % input_queue_size;
    --queue.count;
    return input;
}

void start_core() {
    scene_mode = 0;
    mouse_x = mouse_y = 0;
    spin_x = spin_y = 0;
    angle_x = angle_y = angle_z = 0;
    pool_reset();  // the run's first draws of the generator
    fill_row_offset();
    accum_clear(accum_buffer);
    build_trig_tables();
    // Lays out the whole field afresh; the view arrays are rewritten by every
    // frame before they are read.
    scenes[scene_mode].setup();
}

void steer_from_mouse(int32_t x, int32_t y) {
    mouse_x = x;
    mouse_y = y;
    accum_plot(accum_buffer, mouse_x, mouse_y, 255, 255, 255);
    spin_x = (mouse_x - screen_centre_x) / 2;
    spin_y = (mouse_y - screen_centre_y) / 2;
}

void advance_angles() {
    angle_x = wrap_angle(angle_x + spin_y / 4);
    angle_y = wrap_angle(angle_y + (spin_x - spin_y) / 4);
    angle_z = wrap_angle(angle_z + spin_x / 4);
}

void next_scene() {
    scene_mode += 1;
    if (scene_mode > last_scene) scene_mode = 0;
    scenes[scene_mode].setup();
}

void draw_rings() {
    for (int32_t r = 0; r < ring_count; ++r) {
        const int32_t b = r * ring_points;
        const int32_t red = ring_red[r], green = ring_green[r], blue = ring_blue[r];
        // 38 segments along points 0..38, then the closing one from 0 to 38;
        // point 39 is joined to nothing. Most rings lie wholly on the screen,
        // where clipping would hand back every segment unchanged.
        if (ring_on_screen(b)) {
            for (int32_t k = 0; k < ring_points - 2; ++k) {
                draw_line_add(accum_buffer, screen_x[b + k], screen_y[b + k], screen_x[b + k + 1], screen_y[b + k + 1],
                              red, green, blue);
            }
            draw_line_add(accum_buffer, screen_x[b], screen_y[b], screen_x[b + ring_points - 2],
                          screen_y[b + ring_points - 2], red, green, blue);
            continue;
        }
        for (int32_t k = 0; k <= ring_points - 2; ++k) {
            const int32_t from = k < ring_points - 2 ? b + k : b;
            const int32_t to = k < ring_points - 2 ? b + k + 1 : b + ring_points - 2;
            const int32_t x0 = screen_x[from], y0 = screen_y[from], x1 = screen_x[to], y1 = screen_y[to];
            if (on_screen(x0, y0) && on_screen(x1, y1)) {
                draw_line_add(accum_buffer, x0, y0, x1, y1, red, green, blue);
            } else if (!beside_screen(x0, y0, x1, y1) &&
                       clip_segment(x0, y0, x1, y1, 0, screen_width - 1, 0, screen_height - 1)) {
                draw_line_add(accum_buffer, clip_x0, clip_y0, clip_x1, clip_y1, red, green, blue);
            }
        }
    }
}

bool frame_input(Input input) {
    switch (input.kind) {
    case InputKind::quit:
    case InputKind::key: return false;
    case InputKind::button: next_scene(); break;
    case InputKind::motion: steer_from_mouse(input.x, input.y); break;
    case InputKind::none: break;
    }
    return true;
}

void frame_render() {
    advance_angles();
    const Scene& scene = scenes[scene_mode];
    accum_fade(accum_buffer, scene.fade);
    scene.animate();
    update_view(angle_x, angle_y, angle_z);
    project_points(0, point_count);
    draw_rings();
}

void frame_present(const PixelLayout& target) { present_surface(target, accum_buffer); }

void core_use_wide_vectors(bool wide) { use_wide_vectors(wide); }

CoreState core_state() { return {scene_mode, mouse_x, mouse_y, spin_x, spin_y, angle_x, angle_y, angle_z}; }

const int32_t* core_buffer() { return accum_buffer; }
