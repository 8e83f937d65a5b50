// Normal CP motion (trapezoidal velocity profile) along the same path, for comparison.
// Writes normalS, normalAcc, normalXY, tfNormal, mNormal and TIME past mf.
#pragma once

void computeNormalCP();

// Normal CP positioning time of the current path and limits, its axis check
// sampled at the times 0, dt0, 2 dt0, ... up to the first at or past `until`
// (at most a trajectory table), as computeNormalCP checks the times of a
// trajectory. Reads only the path and the limits; writes nothing.
double normalCpTime(double until);
