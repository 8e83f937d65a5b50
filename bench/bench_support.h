// Shared set-up of the benchmarks: a default path prepared as a dialogue leaves it.
#pragma once

// A fresh default state with the given path type and its default end point,
// prepared by prepareSearch; console output goes to /dev/null.
void prepareDefault(int type);

// Presses 'f' (computed frames only) until the trajectory accelerated from the
// start can be joined onto the deceleration curve, at most 800 times. True when joined.
bool joinByAccelerating();
