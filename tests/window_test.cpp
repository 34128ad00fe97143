// The Windows layer under wine: the window over the screen, its messages as inputs, where the picture goes on
// screens of every shape, its pixels, and how the program fails to start.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "frame/frame_internal.h"
#include "raster/raster.h"
#include "windows/window_internal.h"

namespace {

HINSTANCE instance() { return GetModuleHandleW(nullptr); }
HWND find_window() { return FindWindowW(L"ringfield", nullptr); }

// What a CBT hook on the tests' thread does when the program's window is about to be made.
enum class OnCreate { nothing, refuse, close } on_create;
LRESULT CALLBACK hook(int code, WPARAM wparam, LPARAM lparam) {
    wchar_t name[32] = L"";
    if (code == HCBT_CREATEWND && GetClassNameW(reinterpret_cast<HWND>(wparam), name, 32) &&
        lstrcmpW(name, L"ringfield") == 0) {
        if (on_create == OnCreate::refuse) return 1;
        if (on_create == OnCreate::close) PostMessageW(reinterpret_cast<HWND>(wparam), WM_CLOSE, 0, 0);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
const HHOOK cbt_hook = SetWindowsHookExW(WH_CBT, hook, nullptr, GetCurrentThreadId());

// A run still going after 180 s has hung (a frame loop that nothing ends, a paint request answered for ever):
// it says in which test, and ends.
DWORD WINAPI watchdog(void*) {
    Sleep(180000);
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    std::printf("%s hung\n", test ? test->name() : "a test");
    std::fflush(stdout);
    ExitProcess(3);
}
const HANDLE watchdog_thread = CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr);

std::wstring failure;  // the last line a failure showed

// Every test starts with no window and no class, and leaves none.
class Window : public testing::Test {
protected:
    void TearDown() override { reset(); }
    static void reset() {
        if (HWND w = find_window()) DestroyWindow(w);
        UnregisterClassW(L"ringfield", instance());
        create_picture = CreateDIBSection;
        create_picture_dc = CreateCompatibleDC;
        show_failure = [](const wchar_t* line) { failure = line; };
        failure.clear();
        on_create = OnCreate::nothing;
    }
    // The window up, the core started, and nothing queued by the window's own start.
    static HWND open_window() {
        reset();
        EXPECT_TRUE(start_window(instance()));
        start_core();
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&m);
        queue = InputQueue{};
        return find_window();
    }
};

// A borderless window over the whole primary monitor, shown. The picture is the largest 4:3 box in it,
// centred, on screens of every shape; pointer positions map into the 640 x 480 picture, held at its edge over
// the bars; the frame goes into it as words 0x00RRGGBB, black where the buffer is dark.
TEST_F(Window, CoversTheMonitorWithTheLargestCentred4By3Picture) {
    const HWND w = open_window();
    ASSERT_NE(w, nullptr);
    RECT r;
    GetWindowRect(w, &r);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{0, 0, width, height}));
    EXPECT_EQ(GetWindowLongW(w, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_THICKFRAME), WS_POPUP);
    EXPECT_TRUE(IsWindowVisible(w));
    const struct {
        int width, height;
        RECT box;
    } screens[] = {{1920, 1080, {240, 0, 1680, 1080}}, {1280, 1024, {0, 32, 1280, 992}},
                   {640, 480, {0, 0, 640, 480}},       {1366, 768, {171, 0, 1195, 768}},
                   {1080, 1920, {0, 555, 1080, 1365}}, {3440, 1440, {760, 0, 2680, 1440}},
                   {800, 600, {0, 0, 800, 600}},       {0, 0, {0, 0, 0, 0}}};
    for (const auto& s : screens) {
        SCOPED_TRACE(testing::Message() << s.width << " x " << s.height);
        SendMessageW(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(s.width, s.height));
        EXPECT_EQ((std::vector<LONG>{box.left, box.top, box.right, box.bottom}),
                  (std::vector<LONG>{s.box.left, s.box.top, s.box.right, s.box.bottom}));
        const int bw = s.box.right - s.box.left, bh = s.box.bottom - s.box.top;
        const struct {
            int x, y, mode_x, mode_y;
        } points[] = {{s.box.left, s.box.top, 0, 0},
                      {s.box.right - 1, s.box.bottom - 1, bw ? 639 : 0, bh ? 479 : 0},
                      {s.box.left + bw / 2, s.box.top + bh / 2, bw ? 320 : 0, bh ? 240 : 0},
                      {0, s.height - 1, 0, bh ? 479 : 0},    // over the bars, held at the edge
                      {s.width + 50, -20, bw ? 639 : 0, 0},  // outside the window, captured
                      {-3000, s.box.top + bh / 2, 0, bh ? 240 : 0}};
        for (const auto& p : points) {
            SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
            ASSERT_TRUE(run_frame());
            EXPECT_EQ((std::vector{mouse_x, mouse_y}), (std::vector{p.mode_x, p.mode_y})) << p.x << ", " << p.y;
        }
    }
    const auto* pixels = static_cast<const uint32_t*>(picture_layout.pixels);
    EXPECT_GT(std::count_if(accum_buffer, accum_buffer + screen_pixels, [](int32_t w) { return w > 0; }), 1000);
    EXPECT_TRUE(std::equal(accum_buffer, accum_buffer + screen_pixels, pixels, [](int32_t w, uint32_t p) {
        return p == (w > 0 ? uint32_t(w) & 0xFFFFFF : 0);
    })) << "not the frame's words 0x00RRGGBB, black where dark";
}

// A burst of messages is worked off one input a frame: a move steers, a press of any button or a turn of the
// wheel is the next scene, releases queue nothing, a key's first press ends the run and its repeats queue
// nothing. The window manager's close ends the run too, not just the window. The cursor is hidden over the
// window, which paints nothing of its own between frames.
TEST_F(Window, MessagesActOneAFrame) {
    const HWND w = open_window();
    const struct {
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
        bool queued, ends;
        int scene;  // after its frame, if it queued anything (the first moves the pointer: the field turns)
    } rows[] = {{WM_MOUSEMOVE, 0, MAKELPARAM(box.left, box.top), true, false, 0},
                {WM_LBUTTONDOWN, MK_LBUTTON, 0, true, false, 1},
                {WM_LBUTTONUP, 0, 0, false, false, 1},
                {WM_RBUTTONDOWN, MK_RBUTTON, 0, true, false, 2},
                {WM_MBUTTONDOWN, MK_MBUTTON, 0, true, false, 0},
                {WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON1), 0, true, false, 1},
                {WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON1), 0, false, false, 1},
                {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0, true, false, 2},
                {WM_KEYDOWN, 'A', 1 | 1 << 30, false, false, 2},  // a held key's repeat
                {WM_KEYUP, 'A', 1 | 3u << 30, false, false, 2},
                {WM_CHAR, 'a', 1, false, false, 2},
                {WM_SYSKEYUP, VK_MENU, 1 | 3u << 30, false, false, 2},
                {WM_ACTIVATE, WA_INACTIVE, 0, false, false, 2},
                {WM_KEYDOWN, 'A', 1, true, true, 2},
                {WM_KEYDOWN, VK_SHIFT, 1, true, true, 2},
                {WM_SYSKEYDOWN, 'X', 1 | 1 << 29, true, true, 2},
                {WM_CLOSE, 0, 0, true, true, 2}};
    for (const auto& row : rows) SendMessageW(w, row.message, row.wparam, row.lparam);
    EXPECT_EQ(queue.count, std::count_if(std::begin(rows), std::end(rows), [](const auto& r) { return r.queued; }));
    for (const auto& row : rows) {
        if (!row.queued) continue;
        SCOPED_TRACE(testing::Message() << "message " << std::hex << row.message << ", " << row.wparam);
        const int32_t angle = angle_z;
        EXPECT_EQ(run_frame(), !row.ends);
        EXPECT_EQ(angle_z == angle, row.ends) << "the ending frame ran, or another did not";
        EXPECT_EQ(scene_mode, row.scene);
    }
    EXPECT_TRUE(IsWindow(w)) << "the window went before the program ended";
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)) /* the arrow */);
    EXPECT_EQ(SendMessageW(w, WM_SETCURSOR, WPARAM(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
    EXPECT_EQ(GetCursor(), nullptr);
    EXPECT_EQ(SendMessageW(w, WM_ERASEBKGND, WPARAM(GetDC(w)), 0), 1);
    InvalidateRect(w, nullptr, FALSE);
    UpdateWindow(w);
    EXPECT_FALSE(GetUpdateRect(w, nullptr, FALSE)) << "a paint request left pending comes back for ever";
}

// The close box ends the program with status 0 and takes the window away. Each step of the start that can
// fail shows one line saying what and why, and the program ends with status 1 before any frame.
TEST_F(Window, ProgramEndsWithStatus0OnCloseOrStatus1AndALineOnAFailedStart) {
    const struct {
        const char* step;
        const wchar_t* line;
    } rows[] = {{"none", L""},
                {"class", L"ringfield: cannot register the window class: "},
                {"window", L"ringfield: cannot create the window: "},
                {"picture", L"ringfield: cannot create the 640x480 picture (DIB): "},
                {"picture dc", L"ringfield: cannot create the picture's device context: "}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.step);
        const std::string step = row.step;
        reset();
        const WNDCLASSW taken{0, DefWindowProcW, 0, 0, instance(), nullptr, nullptr, nullptr, nullptr, L"ringfield"};
        ASSERT_TRUE(step != "class" || RegisterClassW(&taken));
        on_create = step == "window" ? OnCreate::refuse : OnCreate::close;
        if (step == "picture") create_picture = [](auto...) { return HBITMAP{}; };
        if (step == "picture dc") create_picture_dc = [](auto...) { return HDC{}; };
        // The status the program itself ends with.
        EXPECT_EQ(WinMain(instance(), nullptr, nullptr, SW_SHOWDEFAULT), step == "none" ? 0 : 1);
        EXPECT_EQ(failure.rfind(row.line, 0), 0u) << std::string(failure.begin(), failure.end());
        EXPECT_EQ(failure.size() > wcslen(row.line), step != "none") << "no reason given, or a line on success";
        EXPECT_EQ(failure.find(L'\n'), std::wstring::npos);
        EXPECT_TRUE(step != "none" || find_window() == nullptr) << "the window stayed after the end";
    }
}

}  // namespace
