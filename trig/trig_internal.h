// The trig layer's writable data, named once for the tests and the
// benchmark: tables built at start-up and only read by the frames.
#pragma once

#include "trig/trig.h"

#define TRIG_TABLES(X) X(turn_sin) X(turn_cos) X(ring_sin) X(ring_cos)
