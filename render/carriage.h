// The carriage of the robot in playback: body, tool point and the two force arrows.
// Reads bw, bh, zoom, playK, m, mf and finalXY[] of `sim`.
#pragma once

// The carriage centred on the path point (x, y) [m], turned by angle [rad]. The
// arrows show the axis accelerations of the playback frame's point playK, or
// none once the motion has arrived (see carriageForces).
void drawCarriage(const double point[2], double angle, const float colour[4]);
