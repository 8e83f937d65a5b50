// The final join: the junction on the maximum-deceleration curve, the completion
// to standstill, the two records it appends, and the refusal without a crossing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/state.h"
#include "path/velocity_limit.h"
#include "planner/boundary_curves.h"
#include "planner/bounds.h"
#include "planner/join.h"
#include "planner/search.h"
#include "test_support.h"

namespace {

// The default arc, prepared as at the end of a dialogue, then searched with
// maximum acceleration for the given number of frames.
void searchDefaultArc(int frames)
{
    freshDefaults();
    computeBoundaryCurves();
    makeVelocityLimit();
    resetSearch();
    for (int k = 0; k < frames; ++k) runSearchStep();
}

// What the key 'f' does around the join.
bool pressJoin()
{
    sim.NCHN += 1;
    sim.chnStep[sim.NCHN] = sim.m;
    const bool ok = joinFinalTrajectory();
    if (ok)
        sim.m = sim.chnStep[sim.NCHN - 1];
    else
        sim.NCHN -= 1;
    return ok;
}

// Independent segment test: parameters a, b of P1 + a D1 = P3 + b D2.
bool segmentsMeet(const double* P1, const double* P2, const double* P3, const double* P4)
{
    const double D1[2] = {P2[0] - P1[0], P2[1] - P1[1]};
    const double D2[2] = {P4[0] - P3[0], P4[1] - P3[1]};
    const double det = -D1[0] * D2[1] + D2[0] * D1[1];
    if (std::fabs(det) < 1e-15) return false;
    const double r[2] = {P3[0] - P1[0], P3[1] - P1[1]};
    const double a = (-r[0] * D2[1] + D2[0] * r[1]) / det;
    const double b = (D1[0] * r[1] - D1[1] * r[0]) / det;
    return a >= 0 && a <= 1 && b >= 0 && b <= 1;
}

// A hand-made trajectory phase[0..n] with times 0.01 i and a fresh backward curve.
void handTrajectory(const double (*pts)[2], int n)
{
    freshDefaults();
    computeBoundaryCurves();
    resetSearch();
    for (int i = 0; i <= n; ++i) {
        sim.phase[i][0] = pts[i][0];
        sim.phase[i][1] = pts[i][1];
        sim.TIME[i] = 0.01 * i;
    }
    sim.m = n;
    sim.t = sim.TIME[n];
}

SimState before;

}  // namespace

TEST(Join, JunctionLiesOnTheFirstCrossingOfTheSearchedTrajectory)
{
    searchDefaultArc(75);
    const int mAtKey = sim.m;
    static double searched[TRAJ_CAP][2];
    static double searchedTime[TRAJ_CAP];
    for (int i = 0; i <= mAtKey; ++i) {
        searched[i][0] = sim.phase[i][0];
        searched[i][1] = sim.phase[i][1];
        searchedTime[i] = sim.TIME[i];
    }
    ASSERT_TRUE(pressJoin());
    EXPECT_EQ(sim.NCHN, 2);  // junction and end
    const int k = sim.chnStep[1];
    const int i = k - 1;
    EXPECT_EQ(sim.m, k);
    ASSERT_GE(i, 0);
    ASSERT_LT(k, mAtKey);

    // No earlier trajectory segment meets the backward curve; segment i does.
    for (int a = 1; a <= i; ++a)
        for (int b = 1; b <= sim.bwdN; ++b)
            ASSERT_FALSE(segmentsMeet(searched[a - 1], searched[a], sim.bwdCurve[b - 1], sim.bwdCurve[b]))
                << "earlier crossing on segment " << a;
    bool meets = false;
    for (int b = 1; b <= sim.bwdN && !meets; ++b)
        meets = segmentsMeet(searched[i], searched[i + 1], sim.bwdCurve[b - 1], sim.bwdCurve[b]);
    EXPECT_TRUE(meets);

    // The junction P lies on that segment at the fraction u; its time is TIME[i] + u dt.
    const double P[2] = {sim.phase[k][0], sim.phase[k][1]};
    const double D[2] = {searched[i + 1][0] - searched[i][0], searched[i + 1][1] - searched[i][1]};
    const double u = std::hypot(P[0] - searched[i][0], P[1] - searched[i][1]) / std::hypot(D[0], D[1]);
    EXPECT_GE(u, 0.0);
    EXPECT_LE(u, 1.0);
    EXPECT_NEAR(P[0], searched[i][0] + u * D[0], 1e-12);
    EXPECT_NEAR(P[1], searched[i][1] + u * D[1], 1e-12);
    EXPECT_NEAR(sim.TIME[k], searchedTime[i] + u * 0.01, 1e-12);
    // The points before the junction are untouched.
    for (int q = 0; q <= i; ++q) {
        ASSERT_EQ(sim.phase[q][0], searched[q][0]) << q;
        ASSERT_EQ(sim.TIME[q], searchedTime[q]) << q;
    }

    // The junction record carries the accelerations just after the switch (-1).
    EXPECT_EQ(sim.chnRec[1][0], sim.TIME[k]);
    EXPECT_EQ(sim.chnRec[1][1], P[0]);
    EXPECT_EQ(sim.chnRec[1][2], P[1]);
    double acc[3];
    sim.accSign = -1;
    phaseRhs(1, 0.0, P, acc);
    EXPECT_EQ(sim.accTab[k][1], acc[1]);
    EXPECT_EQ(sim.accTab[k][2], acc[2]);
    EXPECT_EQ(sim.chnRec[1][3], acc[1]);
    EXPECT_EQ(sim.chnRec[1][4], acc[2]);
    // The default arc is symmetric: the junction is at its middle.
    EXPECT_NEAR(P[0], 3.14159265358979 / 4, 1e-3);
}

TEST(Join, CompletionDeceleratesToRestAtTheGoal)
{
    searchDefaultArc(75);
    ASSERT_TRUE(pressJoin());
    const int k = sim.chnStep[1];
    const int mf = sim.mf;
    EXPECT_EQ(sim.chnStep[2], mf);
    ASSERT_GT(mf, k + 10);
    EXPECT_EQ(sim.accSign, -1);

    // Each completed point is 20 sub-steps of dt0/20 from the one before, with -1.
    sim.accSign = -1;
    for (int q = k + 1; q < mf; ++q) {
        double y[2] = {sim.phase[q - 1][0], sim.phase[q - 1][1]}, yn[2], acc[3];
        for (int j = 0; j < 20; ++j) {
            rkgStep(0.0, 0.01 / 20, y, yn, acc, 2);
            y[0] = yn[0];
            y[1] = yn[1];
        }
        ASSERT_NEAR(sim.phase[q][0], y[0], 1e-13) << q;
        ASSERT_NEAR(sim.phase[q][1], y[1], 1e-13) << q;
        ASSERT_GT(sim.phase[q][1], 0.0) << q;
        ASSERT_NEAR(sim.TIME[q] - sim.TIME[q - 1], 0.01, 1e-12) << q;
        ASSERT_EQ(sim.accTab[q][1], acc[1]) << q;
        ASSERT_EQ(sim.accTab[q][2], acc[2]) << q;
        // Maximum deceleration keeps both axes within their limits.
        ASSERT_LE(std::fabs(acc[1]), sim.xamax + 0.001) << q;
        ASSERT_LE(std::fabs(acc[2]), sim.yamax + 0.001) << q;
    }

    // The last point: the zero of the velocity, interpolated over the last step.
    double y[2] = {sim.phase[mf - 1][0], sim.phase[mf - 1][1]}, yn[2], acc[3];
    for (int j = 0; j < 20; ++j) {
        rkgStep(0.0, 0.01 / 20, y, yn, acc, 2);
        y[0] = yn[0];
        y[1] = yn[1];
    }
    ASSERT_LE(y[1], 0.0);
    const double v0 = sim.phase[mf - 1][1];
    const double f = 0.01 * v0 / (v0 - y[1]);
    EXPECT_NEAR(sim.tf, sim.TIME[mf - 1] + f, 1e-12);
    EXPECT_EQ(sim.TIME[mf], sim.tf);
    EXPECT_NEAR(sim.phase[mf][0], sim.phase[mf - 1][0] + (y[0] - sim.phase[mf - 1][0]) * f / 0.01, 1e-12);
    EXPECT_NEAR(sim.phase[mf][1], 0.0, 1e-12);
    EXPECT_GT(sim.tf, sim.TIME[mf - 1]);
    EXPECT_LE(sim.tf, sim.TIME[mf - 1] + 0.01 + 1e-12);
    // The clock is left at the end of the last whole step.
    EXPECT_NEAR(sim.t, sim.TIME[mf - 1] + 0.01, 1e-12);
    // Following the backward curve, the motion stops at the goal.
    EXPECT_NEAR(sim.phase[mf][0], sim.sEnd[CP_ARC], 1e-3);

    // The end record.
    EXPECT_EQ(sim.chnRec[2][0], sim.tf);
    EXPECT_EQ(sim.chnRec[2][1], sim.phase[mf][0]);
    EXPECT_EQ(sim.chnRec[2][2], sim.phase[mf][1]);
    sim.accSign = -1;
    phaseRhs(1, 0.0, sim.phase[mf], acc);
    EXPECT_EQ(sim.accTab[mf][1], acc[1]);
    EXPECT_EQ(sim.chnRec[2][3], acc[1]);
    EXPECT_EQ(sim.chnRec[2][4], acc[2]);
}

// The junction lies within its segment at the segment's own duration (here
// dt0, although the step in force is smaller); the completion always uses dt0.
TEST(Join, JunctionTimeUsesTheDurationOfItsSegment)
{
    searchDefaultArc(75);
    static double searchedTime[TRAJ_CAP];
    for (int i = 0; i <= sim.m; ++i) searchedTime[i] = sim.TIME[i];
    static double searched[TRAJ_CAP][2];
    for (int i = 0; i <= sim.m; ++i) {
        searched[i][0] = sim.phase[i][0];
        searched[i][1] = sim.phase[i][1];
    }
    sim.dt = 0.01 / 20;
    ASSERT_TRUE(pressJoin());
    const int k = sim.chnStep[1], i = k - 1;
    const double D = std::hypot(searched[i + 1][0] - searched[i][0], searched[i + 1][1] - searched[i][1]);
    const double u = std::hypot(sim.phase[k][0] - searched[i][0], sim.phase[k][1] - searched[i][1]) / D;
    EXPECT_NEAR(sim.TIME[k], searchedTime[i] + u * 0.01, 1e-9);
    EXPECT_NEAR(sim.TIME[k + 1] - sim.TIME[k], 0.01, 1e-12);
}

TEST(Join, CrossingInTheFirstSegmentPutsTheJunctionAtIndexOne)
{
    const double pts[3][2] = {{1.0, 0.2}, {1.05, 3.5}, {1.1, 3.6}};
    handTrajectory(pts, 2);
    sim.NCHN = 0;
    ASSERT_TRUE(pressJoin());
    EXPECT_EQ(sim.chnStep[1], 1);
    EXPECT_EQ(sim.m, 1);
    EXPECT_NEAR(sim.phase[1][0], 1.0 + 0.05 * (sim.TIME[1] / 0.01), 1e-12);  // on the segment, u = TIME/dt
    EXPECT_GT(sim.TIME[1], 0.0);
    EXPECT_LT(sim.TIME[1], 0.01);
    EXPECT_EQ(sim.chnRec[1][0], sim.TIME[1]);
}

// A trajectory that meets the backward curve three times: the crossing nearest to
// the start along the trajectory wins, not the one nearest to the current point.
TEST(Join, EarliestOfSeveralCrossings)
{
    const double pts[6][2] = {{0.80, 0.2}, {0.85, 0.3}, {0.90, 3.5}, {1.00, 0.2}, {1.10, 3.5}, {1.2, 3.6}};
    handTrajectory(pts, 5);
    ASSERT_TRUE(pressJoin());
    EXPECT_EQ(sim.chnStep[1], 2);
    EXPECT_GT(sim.phase[2][0], 0.85);
    EXPECT_LT(sim.phase[2][0], 0.90);
    EXPECT_EQ(sim.NCHN, 2);
}

// Without a crossing the join refuses and leaves every byte of the state alone.
TEST(Join, NoCrossingChangesNothing)
{
    searchDefaultArc(10);  // still near the start: far from the deceleration curve
    sim.NCHN += 1;
    sim.chnStep[sim.NCHN] = sim.m;
    std::memcpy(static_cast<void*>(&before), static_cast<const void*>(&sim), sizeof before);
    captureBegin();
    const bool ok = joinFinalTrajectory();
    const std::string out = captureEnd();
    EXPECT_FALSE(ok);
    EXPECT_EQ(out, "");
    const unsigned char* a = reinterpret_cast<const unsigned char*>(&before);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&sim);
    size_t firstDiff = sizeof before;
    for (size_t q = 0; q < sizeof before; ++q)
        if (a[q] != b[q]) {
            firstDiff = q;
            break;
        }
    EXPECT_EQ(firstDiff, sizeof before) << "state changed at byte " << firstDiff;
}

// The join may be tried again after a refusal; once the trajectory has crossed,
// it succeeds.
TEST(Join, RefusedThenAccepted)
{
    searchDefaultArc(30);
    EXPECT_FALSE(pressJoin());
    EXPECT_EQ(sim.NCHN, 0);
    for (int k = 0; k < 45; ++k) runSearchStep();
    EXPECT_TRUE(pressJoin());
    EXPECT_EQ(sim.NCHN, 2);
}

// A junction so late that the completion would run past the 2001-entry tables:
// the join is refused and the trajectory, records and sign are as before.
TEST(Join, CompletionThatWouldNotFitIsRefused)
{
    static double pts[1996][2];
    for (int i = 0; i < 1994; ++i) {
        pts[i][0] = 0.0001 * i;  // creeping along s below the backward curve
        pts[i][1] = 0.1;
    }
    pts[1994][0] = 1.0;
    pts[1994][1] = 0.2;
    pts[1995][0] = 1.05;
    pts[1995][1] = 3.5;
    handTrajectory(pts, 1995);
    sim.NCHN = 1;
    sim.chnStep[1] = 1995;
    sim.accSign = +1;
    std::memcpy(static_cast<void*>(&before), static_cast<const void*>(&sim), sizeof before);
    captureBegin();
    const bool ok = joinFinalTrajectory();
    captureEnd();
    EXPECT_FALSE(ok);
    EXPECT_EQ(sim.NCHN, before.NCHN);
    EXPECT_EQ(sim.accSign, before.accSign);
    EXPECT_EQ(sim.t, before.t);
    EXPECT_EQ(sim.mf, before.mf);
    EXPECT_EQ(sim.chnStep[1], 1995);
    EXPECT_EQ(std::memcmp(sim.phase, before.phase, sizeof sim.phase), 0);
    EXPECT_EQ(std::memcmp(sim.TIME, before.TIME, sizeof sim.TIME), 0);
    EXPECT_EQ(std::memcmp(sim.accTab, before.accTab, sizeof sim.accTab), 0);
    EXPECT_EQ(std::memcmp(sim.chnRec, before.chnRec, sizeof sim.chnRec), 0);
}
