// Shared set-up of the benchmarks: a default path prepared as a dialogue leaves it.
#pragma once

// A fresh default state with the given path type and its default end point,
// prepared by prepareSearch; console output goes to /dev/null.
void prepareDefault(int type);

// A fresh default state with a path entered as in the dialogue: the type, its two
// entries (arc: radius [m] and angle [deg]; sine: wavelength L and amplitude A;
// U shape: straight L and radius R; slalom: radius R and count N; cams: travel L
// and rise H) and both axis limits, prepared by prepareSearch.
void prepareEntered(int type, double a, double b, double xamax, double yamax);

// Presses 'f' (computed frames only) until the trajectory accelerated from the
// start can be joined onto the deceleration curve, at most 800 times. True when joined.
bool joinByAccelerating();

// A search longer than 's' allows (it holds the trajectory at stepMax = 800
// points): every step is taken with the pan keys 'x' and 'X' in turn, which step
// the search as 's' does without its hold and leave the picture where it was.
// Accelerates until braking would stop under the deceleration curve, brakes
// until accelerating would reach that curve, accelerates and joins (computed
// frames only). A speedCap > 0 [ds/dt] makes the motion slower than it could be:
// braking at the cap and accelerating again at 0.8 of it, until braking would
// stop under the deceleration curve. True when joined; the search then ends
// with further presses.
bool joinLongSearch(double speedCap = 0.0);
