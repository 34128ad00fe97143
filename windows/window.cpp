// The Windows platform layer over the core: a borderless window over the
// primary monitor, the picture in a 32-bit DIB scaled into the largest
// centred 4:3 box, and window messages fed to the core's input queue.
#include "windows/window_internal.h"

#include <windows.h>

#include <cstdint>

#include "frame/frame.h"
#include "screen/screen.h"

// Waiting inputs: like the desktop's SDL queue it holds 128, and an input
// that finds it full is dropped. The window procedure fills it; the loop
// takes one a frame.
InputQueue queue;
RECT box;
// The DIB's pixels: top-down rows of 32-bit words 0x00RRGGBB.
PixelLayout picture_layout = {nullptr, screen_width * 4, 4, 0, 0, 0, 16, 8, 0, 0, 0};
HBITMAP(WINAPI* create_picture)(HDC, const BITMAPINFO*, UINT, void**, HANDLE, DWORD) = CreateDIBSection;
HDC(WINAPI* create_picture_dc)(HDC) = CreateCompatibleDC;
void (*show_failure)(const wchar_t* line) = [](const wchar_t* line) {
    MessageBoxW(nullptr, line, L"ringfield", MB_OK | MB_ICONERROR);
};

namespace {

HWND window;
HDC window_dc;
HDC picture_dc;

void fit_box(int width, int height) {
    int w = width, h = width * screen_height / screen_width;
    if (h > height) {
        h = height;
        w = height * screen_width / screen_height;
    }
    box.left = (width - w) / 2;
    box.top = (height - h) / 2;
    box.right = box.left + w;
    box.bottom = box.top + h;
}

// A window position as a position in the picture, held inside it when the
// pointer is over a bar.
Input motion_at(LPARAM where) {
    const int x = static_cast<int16_t>(LOWORD(where)), y = static_cast<int16_t>(HIWORD(where));
    const int w = box.right - box.left, h = box.bottom - box.top;
    int px = w > 0 ? (x - box.left) * screen_width / w : 0;
    int py = h > 0 ? (y - box.top) * screen_height / h : 0;
    px = px < 0 ? 0 : px >= screen_width ? screen_width - 1 : px;
    py = py < 0 ? 0 : py >= screen_height ? screen_height - 1 : py;
    return {InputKind::motion, static_cast<uint16_t>(px), static_cast<uint16_t>(py)};
}

// The picture stretched into its box, and black in the bars around it.
void show() {
    RECT client;
    GetClientRect(window, &client);
    PatBlt(window_dc, 0, 0, client.right, box.top, BLACKNESS);
    PatBlt(window_dc, 0, box.bottom, client.right, client.bottom - box.bottom, BLACKNESS);
    PatBlt(window_dc, 0, box.top, box.left, box.bottom - box.top, BLACKNESS);
    PatBlt(window_dc, box.right, box.top, client.right - box.right, box.bottom - box.top, BLACKNESS);
    StretchBlt(window_dc, box.left, box.top, box.right - box.left, box.bottom - box.top, picture_dc, 0, 0, screen_width,
               screen_height, SRCCOPY);
}

LRESULT CALLBACK window_procedure(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CLOSE:  // the close box, Alt+F4, the task bar: the run ends, not the window
        queue_push(queue, {InputKind::quit, 0, 0});
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        // A held key repeats; only its first press counts, as on the desktop.
        if ((lparam & (1 << 30)) == 0) queue_push(queue, {InputKind::key, 0, 0});
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_MOUSEWHEEL:  // SDL 1.2 reports a wheel turn as a button press too
        queue_push(queue, {InputKind::button, 0, 0});
        return message == WM_XBUTTONDOWN ? TRUE : 0;
    case WM_MOUSEMOVE: queue_push(queue, motion_at(lparam)); return 0;
    case WM_SETCURSOR:
        if (LOWORD(lparam) == HTCLIENT) {
            SetCursor(nullptr);
            return TRUE;
        }
        break;
    case WM_SIZE: fit_box(LOWORD(lparam), HIWORD(lparam)); return 0;
    case WM_ERASEBKGND: return 1;  // every pass paints the whole window
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(handle, &paint);
        EndPaint(handle, &paint);
        return 0;
    }
    default: break;
    }
    return DefWindowProcW(handle, message, wparam, lparam);
}

// One line in a message box: what failed and the system's words for why.
void report(const wchar_t* what, DWORD error) {
    wchar_t reason[512] = L"";
    if (error != 0)
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason,
                       sizeof reason / sizeof reason[0], nullptr);
    // The system's text ends with a line break.
    for (wchar_t* end = reason + lstrlenW(reason); end > reason && (end[-1] == L'\n' || end[-1] == L'\r');) *--end = 0;
    wchar_t line[768];
    wsprintfW(line, L"ringfield: cannot %s: %s", what, reason[0] ? reason : L"the system gave no reason");
    show_failure(line);
}

}  // namespace

bool start_window(HINSTANCE instance) {
    // Real pixels on a scaled desktop, not a stretched copy of a smaller one.
    SetProcessDPIAware();
    WNDCLASSW type{};
    type.lpfnWndProc = window_procedure;
    type.hInstance = instance;
    type.hIcon = LoadIconW(instance, L"ringfield");
    type.lpszClassName = L"ringfield";
    if (RegisterClassW(&type) == 0) {
        report(L"register the window class", GetLastError());
        return false;
    }
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    fit_box(width, height);
    window = CreateWindowExW(0, L"ringfield", L"ringfield", WS_POPUP, 0, 0, width, height, nullptr, nullptr, instance,
                             nullptr);
    if (window == nullptr) {
        report(L"create the window", GetLastError());
        return false;
    }
    window_dc = GetDC(window);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = screen_width;
    info.bmiHeader.biHeight = -screen_height;  // top-down: row 0 first, as the core writes it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    SetLastError(0);  // not every failure here sets a reason
    HBITMAP picture = create_picture(window_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (picture == nullptr || bits == nullptr) {
        report(L"create the 640x480 picture (DIB)", GetLastError());
        return false;
    }
    picture_dc = create_picture_dc(window_dc);
    if (picture_dc == nullptr) {
        report(L"create the picture's device context", GetLastError());
        return false;
    }
    SelectObject(picture_dc, picture);
    SetStretchBltMode(window_dc, COLORONCOLOR);
    picture_layout.pixels = bits;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    return true;
}

bool run_frame() {
    // Every waiting message each pass, so the window always answers.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    if (!frame_input(queue_take(queue))) return false;
    frame_render();
    GdiFlush();  // GDI is done with the DIB before the core writes it
    frame_present(picture_layout);
    show();
    return true;
}

int run_program(HINSTANCE instance) {
    queue = InputQueue{};
    if (!start_window(instance)) return 1;
    start_core();
    while (run_frame()) {
    }
    DestroyWindow(window);
    return 0;
}
