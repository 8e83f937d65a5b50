// First crossing of two polylines of plane points; used by the final join.
// Pure geometry on pairs of doubles; no state.
#pragma once

double cross2(const double a[2], const double b[2]);

// 1 when segment P1P2 crosses P3P4 (touching counts); X, r1, r2 receive the
// crossing point and the fractions along each segment. 0 leaves them unchanged.
int segmentCross(const double P1[2], const double P2[2], const double P3[2], const double P4[2],
                 double X[2], double* r1, double* r2);

// First crossing of polyline A (points 0..nA) with polyline B (points 0..nB),
// earliest segment of A first, then earliest of B. 0 leaves the outputs unchanged.
int polylineCross(int nA, const double (*A)[2], int nB, const double (*B)[2], double X[2], int* iA,
                  int* jB, double* rA, double* rB);
