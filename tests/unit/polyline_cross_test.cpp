// Segment and polyline crossing: hand-made configurations and a comparison with
// an independent parametric solution on random segments and polylines.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "path/polyline_cross.h"

namespace {

// Parametric reference: P1 + a D1 = P3 + b D2. Returns false for (near) parallel
// pairs; a and b are the fractions along the two segments.
bool solveParams(const double P1[2], const double P2[2], const double P3[2], const double P4[2], double* a,
                 double* b)
{
    const double D1[2] = {P2[0] - P1[0], P2[1] - P1[1]};
    const double D2[2] = {P4[0] - P3[0], P4[1] - P3[1]};
    const double det = -D1[0] * D2[1] + D2[0] * D1[1];
    if (std::fabs(det) < 1e-12) return false;
    const double r[2] = {P3[0] - P1[0], P3[1] - P1[1]};
    // [D1 -D2] (a, b)^T = r, by Cramer's rule.
    *a = (-r[0] * D2[1] + D2[0] * r[1]) / det;
    *b = (D1[0] * r[1] - D1[1] * r[0]) / det;
    return true;
}

}  // namespace

TEST(Cross2, PlaneCrossProduct)
{
    const double a[2] = {2, 3}, b[2] = {-1, 5};
    EXPECT_EQ(cross2(a, b), 13.0);
    EXPECT_EQ(cross2(b, a), -13.0);
    EXPECT_EQ(cross2(a, a), 0.0);
}

TEST(SegmentCross, XShape)
{
    const double P1[2] = {0, 0}, P2[2] = {2, 2}, P3[2] = {0, 2}, P4[2] = {2, 0};
    double X[2] = {9, 9}, r1 = 9, r2 = 9;
    ASSERT_EQ(segmentCross(P1, P2, P3, P4, X, &r1, &r2), 1);
    EXPECT_NEAR(X[0], 1.0, 1e-15);
    EXPECT_NEAR(X[1], 1.0, 1e-15);
    EXPECT_NEAR(r1, 0.5, 1e-15);
    EXPECT_NEAR(r2, 0.5, 1e-15);

    // Off centre: X at a quarter of the first segment and three quarters of the second.
    const double Q1[2] = {0, 0}, Q2[2] = {4, 0}, Q3[2] = {1, -3}, Q4[2] = {1, 1};
    ASSERT_EQ(segmentCross(Q1, Q2, Q3, Q4, X, &r1, &r2), 1);
    EXPECT_NEAR(X[0], 1.0, 1e-15);
    EXPECT_NEAR(X[1], 0.0, 1e-15);
    EXPECT_NEAR(r1, 0.25, 1e-15);
    EXPECT_NEAR(r2, 0.75, 1e-15);
}

TEST(SegmentCross, TouchingCounts)
{
    double X[2], r1, r2;
    // The end of the second segment lies on the first.
    const double P1[2] = {0, 0}, P2[2] = {2, 0}, P3[2] = {1, 0}, P4[2] = {1, 1};
    ASSERT_EQ(segmentCross(P1, P2, P3, P4, X, &r1, &r2), 1);
    EXPECT_NEAR(X[0], 1.0, 1e-15);
    EXPECT_NEAR(X[1], 0.0, 1e-15);
    EXPECT_NEAR(r1, 0.5, 1e-15);
    EXPECT_NEAR(r2, 0.0, 1e-15);
    // The end of the first segment lies on the second.
    const double Q1[2] = {0, 0}, Q2[2] = {1, 1}, Q3[2] = {1, -1}, Q4[2] = {1, 3};
    ASSERT_EQ(segmentCross(Q1, Q2, Q3, Q4, X, &r1, &r2), 1);
    EXPECT_NEAR(r1, 1.0, 1e-15);
    EXPECT_NEAR(r2, 0.5, 1e-15);
    // End to end.
    const double E1[2] = {0, 0}, E2[2] = {1, 1}, E3[2] = {1, 1}, E4[2] = {3, 0};
    ASSERT_EQ(segmentCross(E1, E2, E3, E4, X, &r1, &r2), 1);
    EXPECT_NEAR(X[0], 1.0, 1e-15);
    EXPECT_NEAR(X[1], 1.0, 1e-15);
}

TEST(SegmentCross, MissesLeaveOutputsUnchanged)
{
    double X[2] = {7, 8}, r1 = 5, r2 = 6;
    // Both ends of the second segment on one side of the first's line.
    const double P1[2] = {0, 0}, P2[2] = {2, 0}, P3[2] = {1, 0.5}, P4[2] = {3, 2};
    EXPECT_EQ(segmentCross(P1, P2, P3, P4, X, &r1, &r2), 0);
    // Lines cross, but beyond the end of the first segment.
    const double Q3[2] = {3, -1}, Q4[2] = {3, 1};
    EXPECT_EQ(segmentCross(P1, P2, Q3, Q4, X, &r1, &r2), 0);
    EXPECT_EQ(X[0], 7);
    EXPECT_EQ(X[1], 8);
    EXPECT_EQ(r1, 5);
    EXPECT_EQ(r2, 6);
}

TEST(SegmentCross, ParallelAndCollinear)
{
    double X[2] = {7, 8}, r1 = 5, r2 = 6;
    const double P1[2] = {0, 0}, P2[2] = {2, 0};
    const double A3[2] = {0, 1}, A4[2] = {2, 1};  // parallel
    EXPECT_EQ(segmentCross(P1, P2, A3, A4, X, &r1, &r2), 0);
    const double B3[2] = {1, 0}, B4[2] = {3, 0};  // collinear, overlapping
    EXPECT_EQ(segmentCross(P1, P2, B3, B4, X, &r1, &r2), 0);
    const double C3[2] = {3, 0}, C4[2] = {4, 0};  // collinear, apart
    EXPECT_EQ(segmentCross(P1, P2, C3, C4, X, &r1, &r2), 0);
    const double D3[2] = {2, 0}, D4[2] = {5, 0};  // collinear, sharing an end
    EXPECT_EQ(segmentCross(P1, P2, D3, D4, X, &r1, &r2), 0);
    // Collinear and vertical: no extent along x and d = 0 (0/0 counts as parallel).
    const double V1[2] = {1, 0}, V2[2] = {1, 2}, V3[2] = {1, 1}, V4[2] = {1, 3};
    EXPECT_EQ(segmentCross(V1, V2, V3, V4, X, &r1, &r2), 0);
    EXPECT_EQ(X[0], 7);
    EXPECT_EQ(r2, 6);
}

// The parallel test is |d / D1.x| < 0.0001: with a horizontal first segment it
// reduces to the second segment's extent along y, however long the segments are.
TEST(SegmentCross, ParallelTestScalesByTheFirstSegmentOnly)
{
    double X[2], r1, r2;
    const double P1[2] = {0, 0}, P2[2] = {1, 0};
    const double S3[2] = {0.5, -0.00004}, S4[2] = {0.5, 0.00004};  // short, crossing, extent 8e-5
    EXPECT_EQ(segmentCross(P1, P2, S3, S4, X, &r1, &r2), 0);
    const double T3[2] = {0.5, -0.0001}, T4[2] = {0.5, 0.0001};  // extent 2e-4
    EXPECT_EQ(segmentCross(P1, P2, T3, T4, X, &r1, &r2), 1);
    EXPECT_NEAR(X[0], 0.5, 1e-12);
    EXPECT_NEAR(r2, 0.5, 1e-9);
    // Shallow crossing of two long segments: d / D1.x = 2e-5.
    const double L1[2] = {0, 0}, L2[2] = {10, 0}, L3[2] = {0, -0.00001}, L4[2] = {10, 0.00001};
    EXPECT_EQ(segmentCross(L1, L2, L3, L4, X, &r1, &r2), 0);
}

// A first segment without extent along x: the quotient is infinite, never parallel.
TEST(SegmentCross, VerticalFirstSegment)
{
    double X[2] = {0, 0}, r1 = 0, r2 = 0;
    const double P1[2] = {1, -1}, P2[2] = {1, 1}, P3[2] = {0, 0}, P4[2] = {2, 0};
    ASSERT_EQ(segmentCross(P1, P2, P3, P4, X, &r1, &r2), 1);
    EXPECT_NEAR(X[0], 1.0, 1e-15);
    EXPECT_NEAR(X[1], 0.0, 1e-15);
    EXPECT_NEAR(r1, 0.5, 1e-15);
    EXPECT_NEAR(r2, 0.5, 1e-15);
    // Even against a nearly vertical second segment.
    const double Q3[2] = {0.99999, -1}, Q4[2] = {1.00001, 1};
    ASSERT_EQ(segmentCross(P1, P2, Q3, Q4, X, &r1, &r2), 1);
    EXPECT_NEAR(X[0], 1.0, 1e-12);
    EXPECT_NEAR(X[1], 0.0, 1e-9);
}

// Random segment pairs against the parametric solution.
TEST(SegmentCross, AgreesWithParametricSolution)
{
    std::mt19937 rng(4242);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    int crossings = 0, misses = 0;
    for (int n = 0; n < 20000; ++n) {
        double P[4][2];
        for (auto& p : P) {
            p[0] = u(rng);
            p[1] = u(rng);
        }
        double a, b;
        if (!solveParams(P[0], P[1], P[2], P[3], &a, &b)) continue;
        const double D1x = P[1][0] - P[0][0];
        const double D2y = P[3][1] - P[2][1], D2x = P[3][0] - P[2][0], D1y = P[1][1] - P[0][1];
        const double d = D1x * D2y - D2x * D1y;
        if (std::fabs(d / D1x) < 1e-3) continue;  // keep clear of the parallel threshold
        const double m = 1e-9;
        if (std::fabs(a) < m || std::fabs(a - 1) < m || std::fabs(b) < m || std::fabs(b - 1) < m) continue;
        const bool inside = a > 0 && a < 1 && b > 0 && b < 1;
        double X[2] = {0, 0}, r1 = -1, r2 = -1;
        const int got = segmentCross(P[0], P[1], P[2], P[3], X, &r1, &r2);
        ASSERT_EQ(got, inside ? 1 : 0) << n << " a " << a << " b " << b;
        if (inside) {
            ++crossings;
            EXPECT_NEAR(X[0], P[0][0] + a * D1x, 1e-9);
            EXPECT_NEAR(X[1], P[0][1] + a * D1y, 1e-9);
            EXPECT_NEAR(X[0], P[2][0] + b * D2x, 1e-9);
            EXPECT_NEAR(X[1], P[2][1] + b * D2y, 1e-9);
            EXPECT_NEAR(r1, a, 1e-9);
            EXPECT_NEAR(r2, b, 1e-9);
        } else {
            ++misses;
        }
    }
    EXPECT_GT(crossings, 1000);
    EXPECT_GT(misses, 1000);
}

TEST(PolylineCross, EarliestSegmentOfAWins)
{
    // A runs along y = 0; B is a zigzag that crosses it first at x = 3 (B's
    // segment 1), then again at x = 1 (B's segment 3).
    const double A[4][2] = {{0, 0}, {2, 0}, {4, 0}, {6, 0}};
    const double B[5][2] = {{2.5, 1}, {3.5, -1}, {1.5, -1}, {0.5, 1}, {0.5, 2}};
    double X[2], rA, rB;
    int iA = -1, jB = -1;
    ASSERT_EQ(polylineCross(3, A, 4, B, X, &iA, &jB, &rA, &rB), 1);
    EXPECT_EQ(iA, 0);  // on A's first segment (x = 1), although B meets it later
    EXPECT_EQ(jB, 2);
    EXPECT_NEAR(X[0], 1.0, 1e-12);
    EXPECT_NEAR(X[1], 0.0, 1e-12);
    EXPECT_NEAR(rA, 0.5, 1e-12);
    EXPECT_NEAR(rB, 0.5, 1e-12);
    // Without A's first segment the other crossing is found.
    ASSERT_EQ(polylineCross(2, A + 1, 4, B, X, &iA, &jB, &rA, &rB), 1);
    EXPECT_EQ(iA, 0);
    EXPECT_EQ(jB, 0);
    EXPECT_NEAR(X[0], 3.0, 1e-12);
    EXPECT_NEAR(rA, 0.5, 1e-12);
}

TEST(PolylineCross, EarliestSegmentOfBOnTheSameSegmentOfA)
{
    const double A[2][2] = {{0, 0}, {10, 0}};
    const double B[4][2] = {{7, 1}, {7, -1}, {3, -1}, {3, 1}};  // crosses at x = 7 (j 0) and x = 3 (j 2)
    double X[2], rA, rB;
    int iA = -1, jB = -1;
    ASSERT_EQ(polylineCross(1, A, 3, B, X, &iA, &jB, &rA, &rB), 1);
    EXPECT_EQ(iA, 0);
    EXPECT_EQ(jB, 0);
    EXPECT_NEAR(X[0], 7.0, 1e-12);
    EXPECT_NEAR(rA, 0.7, 1e-12);
}

TEST(PolylineCross, CrossingAtASharedVertexBelongsToTheEarlierSegment)
{
    const double A[3][2] = {{0, 0}, {1, 1}, {2, 0}};
    const double B[2][2] = {{1, -1}, {1, 3}};
    double X[2], rA, rB;
    int iA = -1, jB = -1;
    ASSERT_EQ(polylineCross(2, A, 1, B, X, &iA, &jB, &rA, &rB), 1);
    EXPECT_EQ(iA, 0);
    EXPECT_EQ(jB, 0);
    EXPECT_NEAR(X[0], 1.0, 1e-12);
    EXPECT_NEAR(X[1], 1.0, 1e-12);
    EXPECT_NEAR(rA, 1.0, 1e-12);
    EXPECT_NEAR(rB, 0.5, 1e-12);
}

TEST(PolylineCross, NoSegmentsOrNoCrossingLeaveOutputsUnchanged)
{
    const double A[3][2] = {{0, 0}, {1, 1}, {2, 0}};
    const double B[2][2] = {{1, -1}, {1, 3}};
    const double far[2][2] = {{5, 5}, {6, 7}};
    double X[2] = {3, 4}, rA = 5, rB = 6;
    int iA = 7, jB = 8;
    EXPECT_EQ(polylineCross(0, A, 1, B, X, &iA, &jB, &rA, &rB), 0);
    EXPECT_EQ(polylineCross(2, A, 0, B, X, &iA, &jB, &rA, &rB), 0);
    EXPECT_EQ(polylineCross(2, A, 1, far, X, &iA, &jB, &rA, &rB), 0);
    EXPECT_EQ(X[0], 3);
    EXPECT_EQ(X[1], 4);
    EXPECT_EQ(rA, 5);
    EXPECT_EQ(rB, 6);
    EXPECT_EQ(iA, 7);
    EXPECT_EQ(jB, 8);
}

// Random polylines against a brute-force double loop over the parametric solution.
TEST(PolylineCross, AgreesWithBruteForceOnRandomPolylines)
{
    std::mt19937 rng(99);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    int found = 0;
    for (int n = 0; n < 300; ++n) {
        double A[12][2], B[12][2];
        const int nA = 1 + n % 11, nB = 1 + (n / 11) % 11;
        for (int i = 0; i <= nA; ++i) {
            A[i][0] = 0.1 * i + 0.05 * u(rng);
            A[i][1] = u(rng);
        }
        for (int j = 0; j <= nB; ++j) {
            B[j][0] = u(rng) * 1.2;
            B[j][1] = 0.1 * j + 0.05 * u(rng);
        }
        int refI = -1, refJ = -1;
        bool degenerate = false;
        for (int i = 1; i <= nA && refI < 0; ++i) {
            for (int j = 1; j <= nB; ++j) {
                double a, b;
                if (!solveParams(A[i - 1], A[i], B[j - 1], B[j], &a, &b)) continue;
                const double m = 1e-9;
                if (std::fabs(a) < m || std::fabs(a - 1) < m || std::fabs(b) < m || std::fabs(b - 1) < m)
                    degenerate = true;
                const double D1x = A[i][0] - A[i - 1][0];
                const double d = D1x * (B[j][1] - B[j - 1][1]) - (B[j][0] - B[j - 1][0]) * (A[i][1] - A[i - 1][1]);
                if (std::fabs(d / D1x) < 1e-3) degenerate = true;
                if (a > 0 && a < 1 && b > 0 && b < 1) {
                    refI = i - 1;
                    refJ = j - 1;
                    break;
                }
            }
        }
        if (degenerate) continue;
        double X[2], rA, rB;
        int iA = -1, jB = -1;
        const int got = polylineCross(nA, A, nB, B, X, &iA, &jB, &rA, &rB);
        ASSERT_EQ(got, refI >= 0 ? 1 : 0) << n;
        if (got) {
            ++found;
            EXPECT_EQ(iA, refI) << n;
            EXPECT_EQ(jB, refJ) << n;
            EXPECT_NEAR(X[0], A[iA][0] + rA * (A[iA + 1][0] - A[iA][0]), 1e-9);
            EXPECT_NEAR(X[1], A[iA][1] + rA * (A[iA + 1][1] - A[iA][1]), 1e-9);
            EXPECT_NEAR(X[0], B[jB][0] + rB * (B[jB + 1][0] - B[jB][0]), 1e-9);
        }
    }
    EXPECT_GT(found, 100);
}
