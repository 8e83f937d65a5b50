// The time graphs of the playback: axis displacements and the two axis forces over time.
// Reads finalXY[], TIME[], mf, chnRec[NCHN], nctRec[]/NCT, the limits, xf, yf and the graph layout of `sim`.
#pragma once

constexpr double TIME_AXIS_WIDTH = 0.006;   // [window units]
constexpr double GRAPH_CURVE_WIDTH = 0.008;  // [window units]
constexpr double DISPLACEMENT_HEIGHT = 0.4;  // [window units]

// Time axis from (x0, y0) of length len with one tick per second and the seconds
// label at the last tick; the vertical axis and the green axis-force switching
// lines reach h up (mode 0) or h up and down (mode 1).
void drawTimeAxes(int mode, double x0, double y0, double len, double h);

// The joint displacement graph, x(t) red and y(t) black, up to point k.
void plotDisplacement(int k);

// Torque(1) (X axis, red) and Torque(2) (Y axis, black) up to point k, with the
// drop to zero at the goal once k = mf.
void plotTorques(int k);
