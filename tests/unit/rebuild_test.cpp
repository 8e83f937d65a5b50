// Reconstruction of the final trajectory from its switching records: interval
// step counts, replayed integration, robot positions and the accelerations at the
// switches and at the end.
#include <gtest/gtest.h>

#include <cmath>

#include "core/state.h"
#include "path/curves.h"
#include "path/velocity_limit.h"
#include "planner/boundary_curves.h"
#include "planner/bounds.h"
#include "planner/join.h"
#include "planner/rebuild.h"
#include "planner/search.h"
#include "test_support.h"

namespace {

// The default arc searched with maximum acceleration and joined: records start,
// junction, end.
void joinedDefaultArc()
{
    ASSERT_TRUE(joinDefaultArc(75));
    sim.m = sim.chnStep[sim.NCHN - 1];
}

void rebuild()
{
    captureBegin();
    rebuildFinalTrajectory();
    captureEnd();
}

// Hand-made records on the default arc, starting at rest.
void handRecords(const double (*rec)[3], int last)
{
    freshDefaults();
    computeBoundaryCurves();
    resetSearch();
    for (int b = 0; b <= last; ++b) {
        sim.chnRec[b][0] = rec[b][0];
        sim.chnRec[b][1] = rec[b][1];
        sim.chnRec[b][2] = rec[b][2];
        sim.chnRec[b][3] = 0.5;  // overwritten only for the end record
        sim.chnRec[b][4] = 0.5;
    }
    sim.NCHN = last;
}

// e steps of dt = span / e from y under the given sign, 20 sub-steps each.
void replay(double y[2], int sign, double dt, int e, double (*out)[2])
{
    sim.accSign = sign;
    for (int q = 0; q < e; ++q) {
        for (int k = 0; k < 20; ++k) {
            double yn[2], acc[3];
            rkgStep(0.0, dt / 20, y, yn, acc, 2);
            y[0] = yn[0];
            y[1] = yn[1];
        }
        out[q][0] = y[0];
        out[q][1] = y[1];
    }
}

}  // namespace

TEST(Rebuild, OneSwitchMakesTwoIntervals)
{
    joinedDefaultArc();
    ASSERT_EQ(sim.NCHN, 2);
    const double t1 = sim.chnRec[1][0], tf = sim.chnRec[2][0];
    const double rec1[2] = {sim.chnRec[1][1], sim.chnRec[1][2]};
    rebuild();
    const int signAfter = sim.accSign;
    const int e1 = static_cast<int>(t1 / 0.01), e2 = static_cast<int>((tf - t1) / 0.01);
    EXPECT_EQ(sim.mf, e1 + e2);
    EXPECT_EQ(sim.mf, 126);

    // First interval: from rest with +1 in e1 equal steps that end at t1.
    static double ref[TRAJ_CAP][2];
    double y[2] = {0.0, 0.0};
    replay(y, +1, t1 / e1, e1, ref);
    for (int q = 1; q <= e1; ++q) {
        EXPECT_NEAR(sim.TIME[q], q * t1 / e1, 1e-12) << q;
        if (q < e1) {
            EXPECT_NEAR(sim.phase[q][0], ref[q - 1][0], 1e-12) << q;
            EXPECT_NEAR(sim.phase[q][1], ref[q - 1][1], 1e-12) << q;
        }
    }
    // The switching point carries the recorded state, and the integrated one is close to it.
    EXPECT_EQ(sim.phase[e1][0], rec1[0]);
    EXPECT_EQ(sim.phase[e1][1], rec1[1]);
    EXPECT_NEAR(ref[e1 - 1][0], rec1[0], 1e-4);
    EXPECT_NEAR(ref[e1 - 1][1], rec1[1], 1e-3);

    // Second interval: braking along the deceleration curve (independently
    // integrated backward from the goal), ending at tf at rest at the goal.
    for (int q = 1; q < e2; ++q) {
        EXPECT_NEAR(sim.TIME[e1 + q], t1 + q * (tf - t1) / e2, 1e-12) << q;
        brakingBeforeGoal(tf - sim.TIME[e1 + q], y);
        EXPECT_NEAR(sim.phase[e1 + q][0], y[0], 1e-7) << q;
        EXPECT_NEAR(sim.phase[e1 + q][1], y[1], 1e-7) << q;
    }
    const int mf = sim.mf;
    EXPECT_EQ(sim.TIME[mf], tf);
    EXPECT_EQ(sim.phase[mf][0], sim.sEnd[CP_ARC]);
    EXPECT_EQ(sim.phase[mf][1], 0.0);
    for (int q = 1; q <= mf; ++q) ASSERT_GE(sim.TIME[q], sim.TIME[q - 1]) << q;
    EXPECT_EQ(signAfter, +1);  // two switches from +1
}

TEST(Rebuild, PositionsAndAccelerationsOfEveryPoint)
{
    joinedDefaultArc();
    rebuild();
    const int mf = sim.mf;
    const int e1 = static_cast<int>(sim.chnRec[1][0] / 0.01);
    EXPECT_EQ(sim.finalXY[0][0], sim.cpStart[CP_ARC][0]);
    EXPECT_EQ(sim.finalXY[0][1], sim.cpStart[CP_ARC][1]);
    for (int q = 1; q <= mf; ++q) {
        double P[2];
        cpPoint(sim.phase[q][0], P);
        if (q != e1) {  // the switching point's state was replaced by the record afterwards
            ASSERT_EQ(sim.finalXY[q][0], P[0]) << q;
            ASSERT_EQ(sim.finalXY[q][1], P[1]) << q;
        } else {
            ASSERT_NEAR(sim.finalXY[q][0], P[0], 1e-3) << q;
        }
    }
    for (int q = 0; q <= mf; ++q) {
        ASSERT_EQ(sim.finalXY[q][2], sim.accTab[q][1]) << q;
        ASSERT_EQ(sim.finalXY[q][3], sim.accTab[q][2]) << q;
    }
    // Within an interval each point holds the accelerations of its own sign; the
    // switching point those just after the switch.
    double acc[3];
    for (int q = 1; q < mf; ++q) {
        sim.accSign = q < e1 ? +1 : -1;
        if (q == e1) continue;
        phaseRhs(1, 0.0, sim.phase[q], acc);
        ASSERT_EQ(sim.accTab[q][1], acc[1]) << q;
        ASSERT_EQ(sim.accTab[q][2], acc[2]) << q;
        ASSERT_LE(std::fabs(acc[1]), sim.xamax + 0.001) << q;
        ASSERT_LE(std::fabs(acc[2]), sim.yamax + 0.001) << q;
    }
    sim.accSign = -1;
    phaseRhs(1, 0.0, sim.phase[e1], acc);
    EXPECT_NEAR(sim.accTab[e1][1], acc[1], 1e-3);
    EXPECT_NEAR(sim.accTab[e1][2], acc[2], 1e-3);
    EXPECT_LT(sim.accTab[e1][2], 0.0);  // after the switch the Y axis brakes
    // The end of the motion: the axes at rest, in every table that holds them.
    EXPECT_EQ(sim.accTab[mf][1], 0.0);
    EXPECT_EQ(sim.accTab[mf][2], 0.0);
    EXPECT_EQ(sim.finalXY[mf][2], 0.0);
    EXPECT_EQ(sim.finalXY[mf][3], 0.0);
    EXPECT_EQ(sim.chnRec[2][3], 0.0);
    EXPECT_EQ(sim.chnRec[2][4], 0.0);
    // The other records keep their accelerations.
    EXPECT_NE(sim.chnRec[1][3], 0.0);
}

// An interval between 0.03 s and 0.04 s is made of three equal steps.
TEST(Rebuild, IntervalOfThreeStepsAndAFraction)
{
    const double rec[2][3] = {{0.0, 0.0, 0.0}, {0.035, 0.0, 0.0}};
    handRecords(rec, 1);
    rebuild();
    const int signAfter = sim.accSign;
    EXPECT_EQ(sim.mf, 3);
    EXPECT_NEAR(sim.dt, 0.035 / 3, 1e-15);
    static double ref[3][2];
    double y[2] = {0.0, 0.0};
    replay(y, +1, 0.035 / 3, 3, ref);
    for (int q = 1; q <= 3; ++q) {
        EXPECT_NEAR(sim.TIME[q], q * 0.035 / 3, 1e-15) << q;
        EXPECT_NEAR(sim.phase[q][0], ref[q - 1][0], 1e-15) << q;
        EXPECT_NEAR(sim.phase[q][1], ref[q - 1][1], 1e-15) << q;
    }
    // From rest with u = yamax / R: s = 2 t^2 on the arc.
    EXPECT_NEAR(sim.phase[3][0], 2 * 0.035 * 0.035, 1e-5);
    EXPECT_EQ(sim.accTab[3][1], 0.0);
    EXPECT_EQ(sim.accTab[3][2], 0.0);
    EXPECT_EQ(signAfter, -1);
}

// No record after the start: a one-point trajectory at the start of the path.
TEST(Rebuild, NoSwitchIsOnePointAtTheStart)
{
    const double rec[1][3] = {{0.0, 0.0, 0.0}};
    handRecords(rec, 0);
    sim.phase[0][0] = 0.7;  // left from a search: the rebuild restarts from rest
    sim.TIME[0] = 0.3;
    rebuild();
    EXPECT_EQ(sim.mf, 0);
    EXPECT_EQ(sim.TIME[0], 0.0);
    EXPECT_EQ(sim.phase[0][0], 0.0);
    EXPECT_EQ(sim.phase[0][1], 0.0);
    EXPECT_EQ(sim.finalXY[0][0], 0.5);
    EXPECT_EQ(sim.finalXY[0][1], 0.0);
    EXPECT_EQ(sim.accSign, +1);
}

// An interval shorter than dt0 adds no point; its switch applies where the motion is.
TEST(Rebuild, ShortIntervalAddsNoPoint)
{
    const double rec[3][3] = {{0.0, 0.0, 0.0}, {0.005, 0.0, 0.0}, {0.047, 0.0, 0.0}};
    handRecords(rec, 2);
    rebuild();
    EXPECT_EQ(sim.mf, 4);  // 0 + trunc(0.042 / 0.01)
    // The first switch was applied at point 0: the second interval decelerates from
    // rest, so every step is cut at once and the motion rests at the start. Its
    // clock goes on from the time of the record that starts the interval.
    sim.accSign = -1;
    double acc[3];
    phaseRhs(1, 0.0, sim.phase[0], acc);
    EXPECT_LT(acc[2], 0.0);
    for (int q = 1; q <= 4; ++q) {
        EXPECT_EQ(sim.TIME[q], 0.005) << q;
        EXPECT_EQ(sim.phase[q][0], 0.0) << q;
        EXPECT_EQ(sim.phase[q][1], 0.0) << q;
    }
    EXPECT_TRUE(std::isfinite(sim.dt));
}

// A deceleration that outlasts the motion is cut at the zero of the velocity; the
// remaining steps repeat the stop point with an unchanged time.
TEST(Rebuild, VelocityCutAtZeroAndRestAfterwards)
{
    const double rec[3][3] = {{0.0, 0.0, 0.0}, {0.1, 0.02, 0.4}, {0.4, 0.0, 0.0}};
    handRecords(rec, 2);
    rebuild();
    EXPECT_EQ(sim.mf, 10 + 30);
    // The stop time against a fine independent integration (classic Runge-Kutta).
    sim.accSign = -1;
    double y[2] = {0.02, 0.4}, tStop = 0.1;
    const double h = 1e-6;
    for (;;) {
        auto f = [](const double z[2], double d[2]) {
            double acc[3];
            d[0] = z[1];
            d[1] = phaseRhs(1, 0.0, z, acc);
        };
        double k1[2], k2[2], k3[2], k4[2], z[2];
        f(y, k1);
        z[0] = y[0] + h / 2 * k1[0];
        z[1] = y[1] + h / 2 * k1[1];
        f(z, k2);
        z[0] = y[0] + h / 2 * k2[0];
        z[1] = y[1] + h / 2 * k2[1];
        f(z, k3);
        z[0] = y[0] + h * k3[0];
        z[1] = y[1] + h * k3[1];
        f(z, k4);
        const double yn1 = y[1] + h / 6 * (k1[1] + 2 * k2[1] + 2 * k3[1] + k4[1]);
        if (yn1 < 0) {
            tStop += h * y[1] / (y[1] - yn1);
            break;
        }
        y[0] += h / 6 * (k1[0] + 2 * k2[0] + 2 * k3[0] + k4[0]);
        y[1] = yn1;
        tStop += h;
    }
    int firstRest = -1;
    for (int q = 11; q <= sim.mf; ++q) {
        ASSERT_GE(sim.phase[q][1], 0.0) << q;
        if (sim.phase[q][1] == 0.0 && firstRest < 0) firstRest = q;
    }
    ASSERT_GT(firstRest, 10);
    EXPECT_NEAR(sim.TIME[firstRest], tStop, 1e-6);
    EXPECT_NEAR(sim.phase[firstRest][0], y[0], 1e-6);
    for (int q = firstRest + 1; q <= sim.mf; ++q) {
        ASSERT_EQ(sim.phase[q][0], sim.phase[firstRest][0]) << q;
        ASSERT_EQ(sim.phase[q][1], 0.0) << q;
        ASSERT_EQ(sim.TIME[q], sim.TIME[firstRest]) << q;
    }
}
