#include <SDL.h>

#include "app/app.h"

int main(int, char**) { return run_program(); }
