// Admissible path acceleration under the two axis limits, and the Runge-Kutta-Gill step.
// Reads cpType, the curve parameters, xamax, yamax and accSign of `sim`.
#pragma once

// Derivative of component i of the phase state y = (s, ds/dt) at time t (unused).
// i = 0: returns y[1], acc untouched. i = 1: the extreme admissible d2s/dt2 for
// the current accSign; acc receives (path acceleration, x'', y'') of that choice.
double phaseRhs(int i, double t, const double* y, double acc[3]);

// Overlap of the ranges [a1, a2] and [b1, b2] (ends in either order).
void rangeIntersect(double a1, double a2, double b1, double b2, double* hi, double* lo);

// One Runge-Kutta-Gill step of length h (may be negative) of the n-component
// state y (n <= 20) into yNew; acc holds the accelerations of the last
// evaluation of component 1 (time t + h, third intermediate state).
void rkgStep(double t, double h, const double* y, double* yNew, double acc[3], int n);
