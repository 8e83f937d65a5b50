// The six path curves: point, derivatives with respect to s, axis accelerations.
// Reads cpType, the curve parameters, derived values and per-type tables of `sim`.
#pragma once

// Derivatives of the current path at s: x', x'', y', y'' (with respect to s).
struct CurveDerivs {
    double x1, x2, y1, y2;
};

// Semicircle of the slalom holding s: index k and local angle phi = s - k*pi.
// Searches the intervals of the pattern; past them the pattern is continued,
// before 0 the first semicircle is extended. False only for a non-finite s.
bool slalomPiece(double s, int* k, double* phi);

// Point (x, y) [m] of the current path at parameter s.
void cpPoint(double s, double P[2]);

// x', x'', y', y'' of the current path at s. False when the path type is not 1..6
// or s is not a number (d is then all zero).
bool cpDerivatives(double s, CurveDerivs* d);

// acc = (path acceleration, x'', y'') of a motion with ds/dt = v and d2s/dt2 = a at s;
// (0, 0, 0) beyond sEnd[cpType]. The path acceleration is R*a on the arc and slalom.
void cpAxisAcc(double s, double v, double a, double acc[3]);
