// An independent minimum positioning time of the current path: a forward and
// backward sweep of x = (ds/dt)^2 on a fine grid in s. Reads the path and limits of `sim`.
#pragma once

#include <vector>

// Admissible path acceleration d2s/dt2 at s for w = (ds/dt)^2 under |x''| <= xamax
// and |y''| <= yamax, computed from the curve derivatives. False when the range
// is empty (w above the velocity limit); lo and hi are then both set to the
// middle of the two crossed ends.
bool admissibleRange(double s, double w, double* lo, double* hi);

// Largest w = (ds/dt)^2 at s for which the range is not empty:
// (xamax |y'| + yamax |x'|) / |x' y'' - x'' y'|, +infinity on a straight piece.
double velocityLimitSquared(double s);

// Time of the grid solution with n intervals.
double gridMinimumTime(int n);

// The same, also leaving the profile x[0..n] (x = (ds/dt)^2 at s = i sEnd / n).
double gridProfile(int n, std::vector<double>* x);

struct ReferenceTime {
    double tf = 0.0;        // time of the finest grid [s]
    double change = 0.0;    // |tf(n) - tf(n/2)|, the last refinement's change [s]
    int n = 0;              // intervals of the finest grid
    bool settled = false;   // the change fell below the requested relative tolerance
};

// Doubles the grid from nStart until two successive times agree to relTol
// (relative) or nMax is reached.
ReferenceTime referenceMinimumTime(double relTol = 2e-6, int nStart = 1 << 12, int nMax = 1 << 22);

// A second, time-domain method for one path with a known structure: the quarter
// circle of radius R [m] with both axis limits a [m/s^2]. The maximum-acceleration
// curve from rest at s = 0 and the maximum-deceleration curve into rest at
// s = pi/2 (integrated backwards in time) are integrated with classical RK4 in
// time steps of h [s] up to s = pi/4, with the admissible range written out for
// the circle (no curve derivatives of the program are used).
struct QuarterArcHalves {
    double tForward = 0.0;     // time from the start to s = pi/4 [s]
    double vForward = 0.0;     // ds/dt there [rad/s]
    double tBackward = 0.0;    // time from s = pi/4 to the end [s]
    double vBackward = 0.0;
    double peakLimitRatio = 0.0;  // largest (ds/dt)^2 / limit^2 on either curve
};
QuarterArcHalves quarterArcHalves(double R, double a, double h);
