// The Windows layer's inner parts, for the tests: the input queue, where the
// picture is shown, its pixels, and the calls a test makes fail.
#pragma once

#include <windows.h>

#include "frame/frame.h"
#include "windows/window.h"

// Inputs the window procedure has queued for the frames to take.
extern InputQueue queue;
// The picture on the screen: the largest 4:3 box in the window, centred.
extern RECT box;
// The 640 x 480 picture's pixels and their layout.
extern PixelLayout picture_layout;
// How the picture and its device context are made (CreateDIBSection and
// CreateCompatibleDC).
extern HBITMAP(WINAPI* create_picture)(HDC, const BITMAPINFO*, UINT, void**, HANDLE, DWORD);
extern HDC(WINAPI* create_picture_dc)(HDC);
// Shows a start-up failure's line to the user: a message box titled ringfield.
extern void (*show_failure)(const wchar_t* line);
