// Segment and polyline crossing in the plane, used to find the junction of the final join.
// Pure functions of their arguments.
#include "path/polyline_cross.h"

#include <cmath>

#include "core/state.h"

double cross2(const double a[2], const double b[2]) { return a[0] * b[1] - a[1] * b[0]; }

int segmentCross(const double P1[2], const double P2[2], const double P3[2], const double P4[2],
                 double X[2], double* r1, double* r2)
{
    const double D1[2] = {P2[0] - P1[0], P2[1] - P1[1]};
    const double a3[2] = {P3[0] - P1[0], P3[1] - P1[1]};
    const double a4[2] = {P4[0] - P1[0], P4[1] - P1[1]};
    if (cross2(D1, a3) * cross2(D1, a4) > 0.0) return 0;  // P3P4 strictly on one side

    const double D2[2] = {P4[0] - P3[0], P4[1] - P3[1]};
    const double b1[2] = {P1[0] - P3[0], P1[1] - P3[1]};
    const double b2[2] = {P2[0] - P3[0], P2[1] - P3[1]};
    if (cross2(D2, b1) * cross2(D2, b2) > 0.0) return 0;

    // Parallel test scaled by the first segment's extent along the first
    // coordinate: an extent of 0 gives an infinite quotient (not parallel) unless
    // d is 0 too, when the quotient is NaN and the comparison below is false.
    const double d = D1[0] * D2[1] - D2[0] * D1[1];
    const double q = std::fabs(d / D1[0]);
    if (!(q >= PARALLEL_EPS)) return 0;

    const double xy = (D1[0] * D2[1] * P1[1] + (P3[0] - P1[0]) * D1[1] * D2[1] - D2[0] * D1[1] * P3[1]) / d;
    const double xx = (D1[0] * D2[1] * P3[0] + (P1[1] - P3[1]) * D1[0] * D2[0] - D2[0] * D1[1] * P1[0]) / d;
    X[0] = xx;
    X[1] = xy;
    *r1 = std::sqrt((xx - P1[0]) * (xx - P1[0]) + (xy - P1[1]) * (xy - P1[1])) /
          std::sqrt(D1[0] * D1[0] + D1[1] * D1[1]);
    *r2 = std::sqrt((xx - P3[0]) * (xx - P3[0]) + (xy - P3[1]) * (xy - P3[1])) /
          std::sqrt(D2[0] * D2[0] + D2[1] * D2[1]);
    return 1;
}

int polylineCross(int nA, const double (*A)[2], int nB, const double (*B)[2], double X[2], int* iA,
                  int* jB, double* rA, double* rB)
{
    for (int i = 1; i <= nA; ++i) {
        for (int j = 1; j <= nB; ++j) {
            if (segmentCross(A[i - 1], A[i], B[j - 1], B[j], X, rA, rB)) {
                *iA = i - 1;
                *jB = j - 1;
                return 1;
            }
        }
    }
    return 0;
}
