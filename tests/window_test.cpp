// The Windows layer under wine: the window over the screen, its messages as inputs, where the
// picture goes on screens of every shape, its pixels, and how the program fails to start.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

#include "frame/frame_internal.h"
#include "raster/raster.h"
#include "windows/window_internal.h"

namespace {

HINSTANCE instance() { return GetModuleHandleW(nullptr); }
HWND find_window() { return FindWindowW(L"ringfield", nullptr); }

// What the CBT hook does when the program's window is about to be made.
enum class OnCreate { nothing, refuse, close } on_create;
std::wstring failure;  // the last line a failure showed

LRESULT CALLBACK hook(int code, WPARAM wparam, LPARAM lparam) {
    wchar_t name[32] = L"";
    if (code == HCBT_CREATEWND && GetClassNameW(reinterpret_cast<HWND>(wparam), name, 32) &&
        lstrcmpW(name, L"ringfield") == 0) {
        if (on_create == OnCreate::refuse) return 1;
        if (on_create == OnCreate::close) PostMessageW(reinterpret_cast<HWND>(wparam), WM_CLOSE, 0, 0);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

HBITMAP WINAPI no_picture(HDC, const BITMAPINFO*, UINT, void**, HANDLE, DWORD) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}
HDC WINAPI no_picture_dc(HDC) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

// A test still running after 60 s has hung (a frame loop that nothing ends, a paint request
// answered for ever): it says which, and the run ends.
HANDLE test_done;
DWORD WINAPI watchdog(void*) {
    if (WaitForSingleObject(test_done, 60000) == WAIT_OBJECT_0) return 0;
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    std::printf("%s hung for 60 s\n", test ? test->name() : "a test");
    std::fflush(stdout);
    ExitProcess(3);
}

// Every test starts with no window and no class, and leaves none.
class Window : public testing::Test {
protected:
    void SetUp() override {
        test_done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        CloseHandle(CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr));
        show_failure = [](const wchar_t* line) { failure = line; };
        failure.clear();
        on_create = OnCreate::nothing;
        hook_handle = SetWindowsHookExW(WH_CBT, hook, nullptr, GetCurrentThreadId());
        ASSERT_NE(hook_handle, nullptr);
    }
    void TearDown() override {
        SetEvent(test_done);
        UnhookWindowsHookEx(hook_handle);
        if (HWND w = find_window()) DestroyWindow(w);
        UnregisterClassW(L"ringfield", instance());
        create_picture = CreateDIBSection;
        create_picture_dc = CreateCompatibleDC;
    }
    // The window up, the core started, and nothing queued by the window's own start.
    static HWND open_window() {
        EXPECT_TRUE(start_window(instance()));
        start_core();
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&m);
        queue = InputQueue{};
        return find_window();
    }

private:
    HHOOK hook_handle = nullptr;
};

// A borderless window over the whole primary monitor, shown, with the picture in its 4:3 box.
TEST_F(Window, CoversThePrimaryMonitor) {
    const HWND w = open_window();
    ASSERT_NE(w, nullptr);
    RECT r;
    GetWindowRect(w, &r);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, width);
    EXPECT_EQ(r.bottom, height);
    EXPECT_EQ(GetWindowLongW(w, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_THICKFRAME), WS_POPUP);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(box.bottom - box.top, std::min(height, width * 3 / 4));
    EXPECT_EQ(failure, L"");
}

// The picture is the largest 4:3 box in the window, centred, on screens of every shape; pointer
// positions map into the 640 x 480 picture, held at its edge over the bars.
TEST_F(Window, PictureIsTheLargestCentred4By3Box) {
    const HWND w = open_window();
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
        EXPECT_EQ(box.left, s.box.left);
        EXPECT_EQ(box.top, s.box.top);
        EXPECT_EQ(box.right, s.box.right);
        EXPECT_EQ(box.bottom, s.box.bottom);
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
            EXPECT_EQ(mouse_x, p.mode_x) << p.x << ", " << p.y;
            EXPECT_EQ(mouse_y, p.mode_y) << p.x << ", " << p.y;
        }
    }
}

// Every message the window acts on, one input a frame: a move steers, a press of any button or a turn
// of the wheel is the next scene, releases change nothing, a key's first press ends the run and its
// repeats are nothing. The window manager's close ends the run too, not just the window.
TEST_F(Window, MessagesActOneAFrame) {
    const HWND w = open_window();
    SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(box.left, box.top));  // the field turns from now on
    ASSERT_TRUE(run_frame());
    const struct {
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
        bool queued, ends;
        int scene;
    } rows[] = {{WM_LBUTTONDOWN, MK_LBUTTON, 0, true, false, 1},
                {WM_LBUTTONUP, 0, 0, false, false, 1},
                {WM_RBUTTONDOWN, MK_RBUTTON, 0, true, false, 2},
                {WM_RBUTTONUP, 0, 0, false, false, 2},
                {WM_MBUTTONDOWN, MK_MBUTTON, 0, true, false, 0},
                {WM_MBUTTONUP, 0, 0, false, false, 0},
                {WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON1), 0, true, false, 1},
                {WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON1), 0, false, false, 1},
                {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0, true, false, 2},
                {WM_KEYDOWN, 'A', 1 | 1 << 30, false, false, 2},  // a held key's repeat
                {WM_KEYUP, 'A', 1 | 3u << 30, false, false, 2},
                {WM_CHAR, 'a', 1, false, false, 2},
                {WM_SYSKEYUP, VK_MENU, 1 | 3u << 30, false, false, 2},
                {WM_ACTIVATE, WA_INACTIVE, 0, false, false, 2},
                {WM_KEYDOWN, 'A', 1, true, true, 2},
                {WM_KEYDOWN, VK_ESCAPE, 1, true, true, 2},
                {WM_KEYDOWN, VK_SHIFT, 1, true, true, 2},
                {WM_SYSKEYDOWN, VK_F10, 1, true, true, 2},
                {WM_SYSKEYDOWN, 'X', 1 | 1 << 29, true, true, 2},
                {WM_CLOSE, 0, 0, true, true, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "message " << std::hex << row.message << ", " << row.wparam);
        const int32_t angle = angle_z;
        SendMessageW(w, row.message, row.wparam, row.lparam);
        EXPECT_EQ(queue.count, row.queued ? 1 : 0);
        EXPECT_EQ(run_frame(), !row.ends);
        EXPECT_EQ(angle_z == angle, row.ends) << "the ending frame ran, or another did not";
        EXPECT_EQ(scene_mode, row.scene);
        EXPECT_TRUE(IsWindow(w)) << "the window went before the program ended";
    }
}

// The cursor is hidden over the window; the window paints nothing of its own between frames.
TEST_F(Window, HidesTheCursorAndLeavesPaintingToTheFrames) {
    const HWND w = open_window();
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)) /* the arrow */);
    EXPECT_EQ(SendMessageW(w, WM_SETCURSOR, WPARAM(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
    EXPECT_EQ(GetCursor(), nullptr);
    EXPECT_EQ(SendMessageW(w, WM_ERASEBKGND, WPARAM(GetDC(w)), 0), 1);
    InvalidateRect(w, nullptr, FALSE);
    UpdateWindow(w);
    EXPECT_FALSE(GetUpdateRect(w, nullptr, FALSE)) << "a paint request left pending comes back for ever";
}

// The frame goes into the picture as words 0x00RRGGBB, black where the buffer is dark.
TEST_F(Window, PictureHoldsTheFrameAsRedGreenBlueWords) {
    const HWND w = open_window();
    SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(box.left + 30, box.top + 200));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(run_frame());
    const auto* pixels = static_cast<const uint32_t*>(picture_layout.pixels);
    int lit = 0, wrong = 0;
    for (int32_t i = 0; i < screen_pixels; ++i) {
        const int32_t word = accum_buffer[i];
        lit += word > 0;
        wrong += pixels[i] != (word > 0 ? uint32_t(word) & 0xFFFFFF : 0);
    }
    EXPECT_GT(lit, 1000);
    EXPECT_EQ(wrong, 0);
}

// The close box ends the program with status 0 and takes the window away.
TEST_F(Window, CloseEndsTheProgramWithStatus0) {
    on_create = OnCreate::close;
    EXPECT_EQ(run_program(instance()), 0);
    EXPECT_EQ(find_window(), nullptr);
    EXPECT_EQ(failure, L"");
}

// Each step of the start that can fail shows one line saying what and why, and the program ends with
// status 1 before any frame.
TEST_F(Window, FailedStartShowsWhatFailedAndEndsWithStatus1) {
    const struct {
        const char* step;
        const wchar_t* line;
    } rows[] = {{"class", L"ringfield: cannot register the window class: "},
                {"window", L"ringfield: cannot create the window: "},
                {"picture", L"ringfield: cannot create the 640x480 picture (DIB): "},
                {"picture dc", L"ringfield: cannot create the picture's device context: "}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.step);
        const std::string step = row.step;
        WNDCLASSW taken{};
        taken.lpfnWndProc = DefWindowProcW, taken.hInstance = instance(), taken.lpszClassName = L"ringfield";
        if (step == "class") {
            ASSERT_NE(RegisterClassW(&taken), 0);
        }
        on_create = step == "window" ? OnCreate::refuse : OnCreate::close;
        if (step == "picture") create_picture = no_picture;
        if (step == "picture dc") create_picture_dc = no_picture_dc;
        failure.clear();
        EXPECT_EQ(run_program(instance()), 1);
        EXPECT_EQ(failure.rfind(row.line, 0), 0u) << std::string(failure.begin(), failure.end());
        EXPECT_GT(failure.size(), wcslen(row.line)) << "no reason given";
        EXPECT_EQ(failure.find(L'\n'), std::wstring::npos);
        TearDown();
        SetUp();
    }
}

}  // namespace
