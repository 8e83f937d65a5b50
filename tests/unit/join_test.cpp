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

// The searched motion after point i, tau later, integrated independently in fine steps.
void searchedMotion(const double start[2], int sign, double tau, double y[2])
{
    sim.accSign = sign;
    y[0] = start[0];
    y[1] = start[1];
    const int n = 1000;
    for (int q = 0; q < n; ++q) {
        double yn[2], acc[3];
        rkgStep(0.0, tau / n, y, yn, acc, 2);
        y[0] = yn[0];
        y[1] = yn[1];
    }
}

}  // namespace

TEST(Join, JunctionIsWhereTheSearchedMotionMeetsTheDecelerationCurve)
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

    // The junction lies on the searched motion itself (not on the chord of its
    // step) at its time, and on the deceleration curve at the time left to tf.
    const double P[2] = {sim.phase[k][0], sim.phase[k][1]};
    const double tau = sim.TIME[k] - searchedTime[i];
    EXPECT_GE(tau, 0.0);
    EXPECT_LE(tau, 0.01);
    double y[2];
    searchedMotion(searched[i], +1, tau, y);
    EXPECT_NEAR(P[0], y[0], 1e-7);
    EXPECT_NEAR(P[1], y[1], 1e-7);
    brakingBeforeGoal(sim.tf - sim.TIME[k], y);
    EXPECT_NEAR(P[0], y[0], 1e-7);
    EXPECT_NEAR(P[1], y[1], 1e-7);
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
    EXPECT_EQ(sim.chnRec[1][3], acc[1]);
    EXPECT_EQ(sim.chnRec[1][4], acc[2]);
    // The default arc is symmetric: the junction is at its middle, half-way in time.
    EXPECT_NEAR(P[0], 3.14159265358979 / 4, 1e-7);
    EXPECT_NEAR(sim.TIME[k], sim.tf / 2, 1e-7);
}

TEST(Join, TheRestFollowsTheDecelerationCurveToRestAtTheGoal)
{
    searchDefaultArc(75);
    ASSERT_TRUE(pressJoin());
    const int k = sim.chnStep[1];
    const int mf = sim.mf;
    EXPECT_EQ(sim.chnStep[2], mf);
    ASSERT_GT(mf, k + 10);
    EXPECT_EQ(sim.accSign, -1);

    // Every dt0 a point of the curve that brakes backward from the goal, within the limits.
    for (int q = k + 1; q < mf; ++q) {
        ASSERT_NEAR(sim.TIME[q] - sim.TIME[q - 1], 0.01, 1e-12) << q;
        double y[2];
        brakingBeforeGoal(sim.tf - sim.TIME[q], y);
        ASSERT_NEAR(sim.phase[q][0], y[0], 1e-7) << q;
        ASSERT_NEAR(sim.phase[q][1], y[1], 1e-7) << q;
        ASSERT_GT(sim.phase[q][1], 0.0) << q;
        ASSERT_LE(std::fabs(sim.accTab[q][1]), sim.xamax + 0.001) << q;
        ASSERT_LE(std::fabs(sim.accTab[q][2]), sim.yamax + 0.001) << q;
    }
    // The last point is the goal at rest, at tf, less than a step after the one before.
    EXPECT_EQ(sim.phase[mf][0], sim.sEnd[CP_ARC]);
    EXPECT_EQ(sim.phase[mf][1], 0.0);
    EXPECT_EQ(sim.TIME[mf], sim.tf);
    EXPECT_EQ(sim.t, sim.tf);
    EXPECT_GT(sim.tf, sim.TIME[mf - 1]);
    EXPECT_LE(sim.tf, sim.TIME[mf - 1] + 0.01 + 1e-12);

    // The end record.
    EXPECT_EQ(sim.chnRec[2][0], sim.tf);
    EXPECT_EQ(sim.chnRec[2][1], sim.sEnd[CP_ARC]);
    EXPECT_EQ(sim.chnRec[2][2], 0.0);
}

// The junction lies within its segment at the segment's own duration (here
// dt0, although the step in force is smaller); the rest always uses dt0.
TEST(Join, JunctionTimeUsesTheDurationOfItsSegment)
{
    searchDefaultArc(75);
    ASSERT_TRUE(pressJoin());
    const double tJunction = sim.TIME[sim.chnStep[1]];
    searchDefaultArc(75);
    sim.dt = 0.01 / 20;
    ASSERT_TRUE(pressJoin());
    const int k = sim.chnStep[1];
    EXPECT_NEAR(sim.TIME[k], tJunction, 1e-12);
    EXPECT_NEAR(sim.TIME[k + 1] - sim.TIME[k], 0.01, 1e-12);
}

// A hand-made polyline that no motion follows: the junction is the crossing of
// the polylines, taken on the deceleration curve.
TEST(Join, CrossingInTheFirstSegmentPutsTheJunctionAtIndexOne)
{
    const double pts[3][2] = {{1.0, 0.2}, {1.05, 3.5}, {1.1, 3.6}};
    handTrajectory(pts, 2);
    sim.NCHN = 0;
    ASSERT_TRUE(pressJoin());
    EXPECT_EQ(sim.chnStep[1], 1);
    EXPECT_EQ(sim.m, 1);
    EXPECT_NEAR(sim.phase[1][0], 1.0 + 0.05 * (sim.TIME[1] / 0.01), 1e-6);  // on the segment, u = TIME/dt
    EXPECT_GT(sim.TIME[1], 0.0);
    EXPECT_LT(sim.TIME[1], 0.01);
    EXPECT_EQ(sim.chnRec[1][0], sim.TIME[1]);
    double y[2];
    brakingBeforeGoal(sim.tf - sim.TIME[1], y);
    EXPECT_NEAR(sim.phase[1][0], y[0], 1e-7);
    EXPECT_NEAR(sim.phase[1][1], y[1], 1e-7);
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
