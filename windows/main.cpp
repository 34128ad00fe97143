// The Windows program's entry: a GUI program, with no console.
#include <windows.h>

#include "windows/window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
    return run_program(instance);
}
