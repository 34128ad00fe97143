// The desktop program's entry, through SDL's main wrapper.
#include <SDL.h>

#include "app/desktop.h"

int main() { return run_program(); }
