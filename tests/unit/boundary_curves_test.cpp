// The maximum-acceleration curve out of the start and the maximum-deceleration
// curve into the goal: limits along them, their ends, and closed-form cases.
#include <gtest/gtest.h>

#include <cmath>

#include "core/state.h"
#include "planner/boundary_curves.h"
#include "planner/bounds.h"
#include "test_support.h"

namespace {

const int kTypes[] = {CP_ARC, CP_SINE, CP_U, CP_SLALOM, CP_CAM_ACC, CP_CAM_CYCLOID};
const double kSub = 0.001 / 20;  // sub-step of both curves [s]

bool violates(const double acc[3])
{
    return std::fabs(acc[1]) > sim.xamax + 0.001 || std::fabs(acc[2]) > sim.yamax + 0.001;
}

// Replays the last step of a curve with public Runge-Kutta-Gill steps: the last
// point is either the first sub-step point that breaks a limit, or the full
// step's point past the end of the path.
void checkLastStep(const double (*curve)[2], int n, int sign, bool forward)
{
    sim.accSign = sign;
    const double h = forward ? kSub : -kSub;
    double y[2] = {curve[n - 1][0], curve[n - 1][1]};
    double acc[3] = {0, 0, 0};
    for (int k = 1; k <= 20; ++k) {
        double yn[2];
        rkgStep(0.0, h, y, yn, acc, 2);
        y[0] = yn[0];
        y[1] = yn[1];
        if (violates(acc)) {
            EXPECT_EQ(curve[n][0], y[0]) << "ended at sub-step " << k;
            EXPECT_EQ(curve[n][1], y[1]) << "ended at sub-step " << k;
            return;
        }
    }
    EXPECT_EQ(curve[n][0], y[0]);
    EXPECT_EQ(curve[n][1], y[1]);
    if (n < CURVE_CAP - 1) {
        if (forward)
            EXPECT_GT(y[0], sim.sEnd[sim.cpType]);
        else
            EXPECT_LT(y[0], 0.0);
    }
}

// Each point before the last is 20 sub-steps from its predecessor, none of them
// breaking a limit, and still inside the path.
void checkInnerSteps(const double (*curve)[2], int n, int sign, bool forward)
{
    sim.accSign = sign;
    const double h = forward ? kSub : -kSub;
    for (int q = 1; q < n; ++q) {
        double y[2] = {curve[q - 1][0], curve[q - 1][1]};
        double acc[3];
        bool broke = false;
        for (int k = 0; k < 20; ++k) {
            double yn[2];
            rkgStep(0.0, h, y, yn, acc, 2);
            y[0] = yn[0];
            y[1] = yn[1];
            broke = broke || violates(acc);
        }
        ASSERT_FALSE(broke) << "point " << q;
        ASSERT_EQ(curve[q][0], y[0]) << "point " << q;
        ASSERT_EQ(curve[q][1], y[1]) << "point " << q;
        if (forward)
            ASSERT_LE(curve[q][0], sim.sEnd[sim.cpType]) << q;
        else
            ASSERT_GE(curve[q][0], 0.0) << q;
    }
}

}  // namespace

TEST(BoundaryCurves, StartPointsCountsAndSignAfterwards)
{
    freshDefaults();
    for (int type : kTypes) {
        SCOPED_TRACE(type);
        sim.cpType = type;
        sim.accSign = +1;
        computeBoundaryCurves();
        EXPECT_EQ(sim.fwdCurve[0][0], 0.0);
        EXPECT_EQ(sim.fwdCurve[0][1], 0.0);
        EXPECT_EQ(sim.bwdCurve[0][0], sim.sEnd[type]);
        EXPECT_EQ(sim.bwdCurve[0][1], 0.0);
        EXPECT_GE(sim.fwdN, 1);
        EXPECT_LE(sim.fwdN, 3000);
        EXPECT_GE(sim.bwdN, 1);
        EXPECT_LE(sim.bwdN, 3000);
        EXPECT_EQ(sim.accSign, -1);
    }
}

// At every point but the last, the acceleration chosen under the curve's sign
// keeps both axes within their limits plus the tolerance.
TEST(BoundaryCurves, AxisLimitsHoldAlongBothCurves)
{
    for (int set = 0; set < 2; ++set) {
        freshDefaults();
        if (set == 1) {
            sim.xamax = 1.0;
            sim.yamax = 3.0;
            sim.arcR = 0.3;
            sim.sEnd[CP_ARC] = 180 * DEG2RAD;
            sim.slmR = 0.3;
            sim.slmN = 2;
            sim.camH = 0.2;
            sim.cycH = 0.9;
            for (int type : kTypes) updateTypeTables(type);
        }
        for (int type : kTypes) {
            SCOPED_TRACE(type);
            sim.cpType = type;
            computeBoundaryCurves();
            double acc[3];
            for (int q = 0; q < sim.fwdN; ++q) {
                sim.accSign = +1;
                phaseRhs(1, 0.0, sim.fwdCurve[q], acc);
                ASSERT_LE(std::fabs(acc[1]), sim.xamax + 0.001) << "forward point " << q;
                ASSERT_LE(std::fabs(acc[2]), sim.yamax + 0.001) << "forward point " << q;
            }
            for (int q = 0; q < sim.bwdN; ++q) {
                sim.accSign = -1;
                phaseRhs(1, 0.0, sim.bwdCurve[q], acc);
                ASSERT_LE(std::fabs(acc[1]), sim.xamax + 0.001) << "backward point " << q;
                ASSERT_LE(std::fabs(acc[2]), sim.yamax + 0.001) << "backward point " << q;
            }
        }
    }
}

// The steps of the curves, replayed: 0.001 s per point in 20 sub-steps, and the
// end rule (a sub-step that breaks a limit, or the first full step past the path).
TEST(BoundaryCurves, StepsAndEndRule)
{
    freshDefaults();
    for (int type : kTypes) {
        SCOPED_TRACE(type);
        sim.cpType = type;
        computeBoundaryCurves();
        static double fwd[CURVE_CAP][2], bwd[CURVE_CAP][2];
        const int fN = sim.fwdN, bN = sim.bwdN;
        for (int q = 0; q <= fN; ++q) {
            fwd[q][0] = sim.fwdCurve[q][0];
            fwd[q][1] = sim.fwdCurve[q][1];
        }
        for (int q = 0; q <= bN; ++q) {
            bwd[q][0] = sim.bwdCurve[q][0];
            bwd[q][1] = sim.bwdCurve[q][1];
        }
        checkInnerSteps(fwd, fN, +1, true);
        checkLastStep(fwd, fN, +1, true);
        checkInnerSteps(bwd, bN, -1, false);
        checkLastStep(bwd, bN, -1, false);
    }
}

TEST(BoundaryCurves, ShapesInThePhasePlane)
{
    freshDefaults();
    for (int type : kTypes) {
        SCOPED_TRACE(type);
        sim.cpType = type;
        computeBoundaryCurves();
        // The last point is the one that broke a limit; it may lie anywhere.
        for (int q = 1; q < sim.fwdN; ++q) ASSERT_GT(sim.fwdCurve[q][0], sim.fwdCurve[q - 1][0]) << q;
        // Backwards in time under the lower end u < 0, ds/dt grows as s falls; only
        // where the lower end turns positive (close to the limit) may it fall.
        int rising = 0;
        for (int q = 1; q < sim.bwdN; ++q) {
            ASSERT_LT(sim.bwdCurve[q][0], sim.bwdCurve[q - 1][0]) << q;
            double acc[3];
            sim.accSign = -1;
            const double u0 = phaseRhs(1, 0.0, sim.bwdCurve[q - 1], acc);
            const double u1 = phaseRhs(1, 0.0, sim.bwdCurve[q], acc);
            if (u0 < -0.05 && u1 < -0.05) {
                ASSERT_GT(sim.bwdCurve[q][1], sim.bwdCurve[q - 1][1]) << "the backward curve rises, point " << q;
                ++rising;
            }
        }
        EXPECT_GT(rising, sim.bwdN / 2);
        for (int q = 1; q < 10 && q < sim.bwdN; ++q) EXPECT_GT(sim.bwdCurve[q][1], sim.bwdCurve[q - 1][1]) << q;
        EXPECT_GT(sim.fwdCurve[sim.fwdN][1], 0.0);
    }
}

// The default arc: both curves end on the velocity limit, the backward one inside
// a step (its clock stops between two whole steps).
TEST(BoundaryCurves, DefaultArcEndsInsideAStep)
{
    freshDefaults();
    computeBoundaryCurves();
    const int n = sim.bwdN;
    EXPECT_GT(sim.bwdCurve[n][0], 0.0);
    EXPECT_LT(n, 3000);
    EXPECT_LE(sim.t, -(n - 1) * 0.001 - kSub + 1e-12);
    EXPECT_GE(sim.t, -n * 0.001 - 1e-12);
    EXPECT_LT(sim.fwdCurve[sim.fwdN][0], sim.sEnd[CP_ARC]);
    // The two curves meet: the forward curve ends to the left of where the
    // backward curve ends and the backward curve ends to the right of the start.
    EXPECT_LT(sim.bwdCurve[n][0], sim.sEnd[CP_ARC]);
}

// The U shape's straights have a constant path acceleration: v^2 = 2 yamax s on
// the first, v^2 = 2 yamax (sEnd - s) on the second, at the times 0.001 q.
TEST(BoundaryCurves, UShapeStraightsInClosedForm)
{
    freshDefaults();
    sim.cpType = CP_U;
    sim.yamax = 1.5;
    computeBoundaryCurves();
    const double S = sim.sEnd[CP_U];
    int onStraight = 0;
    for (int q = 0; q <= sim.fwdN && sim.fwdCurve[q][0] < sim.uL - 0.01; ++q) {
        const double t = 0.001 * q;
        EXPECT_NEAR(sim.fwdCurve[q][0], 0.5 * 1.5 * t * t, 1e-8) << q;
        EXPECT_NEAR(sim.fwdCurve[q][1], 1.5 * t, 1e-8) << q;
        ++onStraight;
    }
    EXPECT_GT(onStraight, 500);
    onStraight = 0;
    for (int q = 0; q <= sim.bwdN && sim.bwdCurve[q][0] > S - sim.uL + 0.01; ++q) {
        const double t = 0.001 * q;
        EXPECT_NEAR(sim.bwdCurve[q][0], S - 0.5 * 1.5 * t * t, 1e-8) << q;
        EXPECT_NEAR(sim.bwdCurve[q][1], 1.5 * t, 1e-8) << q;
        ++onStraight;
    }
    EXPECT_GT(onStraight, 500);
}

// A flat cam never reaches its velocity limit: the curves run at the full X limit
// from end to end and stop at the first whole step past the path.
TEST(BoundaryCurves, FlatCamRunsThroughThePath)
{
    freshDefaults();
    sim.cpType = CP_CAM_ACC;
    sim.camH = 0.01;
    updateTypeTables(CP_CAM_ACC);
    sim.xamax = 2.0;
    computeBoundaryCurves();
    const double L = sim.sEnd[CP_CAM_ACC];
    const int n = sim.fwdN;
    EXPECT_GT(sim.fwdCurve[n][0], L);
    EXPECT_LE(sim.fwdCurve[n - 1][0], L);
    // s = t^2 at xamax = 2 reaches 0.5 after sqrt(0.5) s: 708 whole steps.
    EXPECT_EQ(n, 708);
    for (int q = 0; q <= n; ++q) {
        const double t = 0.001 * q;
        ASSERT_NEAR(sim.fwdCurve[q][0], t * t, 1e-9) << q;
        ASSERT_NEAR(sim.fwdCurve[q][1], 2 * t, 1e-9) << q;
    }
    const int b = sim.bwdN;
    EXPECT_EQ(b, 708);
    EXPECT_LT(sim.bwdCurve[b][0], 0.0);
    EXPECT_GE(sim.bwdCurve[b - 1][0], 0.0);
    for (int q = 0; q <= b; ++q) {
        const double t = 0.001 * q;
        ASSERT_NEAR(sim.bwdCurve[q][0], L - t * t, 1e-9) << q;
        ASSERT_NEAR(sim.bwdCurve[q][1], 2 * t, 1e-9) << q;
    }
}

// Against an independent integrator: classic fourth-order Runge-Kutta with the
// same sub-step on the same right-hand side.
TEST(BoundaryCurves, ForwardArcAgreesWithClassicRungeKutta)
{
    freshDefaults();
    computeBoundaryCurves();
    sim.accSign = +1;
    double y[2] = {0.0, 0.0};
    auto f = [](const double z[2], double d[2]) {
        double acc[3];
        d[0] = z[1];
        d[1] = phaseRhs(1, 0.0, z, acc);
    };
    const int points = sim.fwdN < 200 ? sim.fwdN - 1 : 200;
    ASSERT_GT(points, 50);
    for (int q = 1; q <= points; ++q) {
        for (int k = 0; k < 20; ++k) {
            double k1[2], k2[2], k3[2], k4[2], z[2];
            f(y, k1);
            z[0] = y[0] + 0.5 * kSub * k1[0];
            z[1] = y[1] + 0.5 * kSub * k1[1];
            f(z, k2);
            z[0] = y[0] + 0.5 * kSub * k2[0];
            z[1] = y[1] + 0.5 * kSub * k2[1];
            f(z, k3);
            z[0] = y[0] + kSub * k3[0];
            z[1] = y[1] + kSub * k3[1];
            f(z, k4);
            y[0] += kSub / 6 * (k1[0] + 2 * k2[0] + 2 * k3[0] + k4[0]);
            y[1] += kSub / 6 * (k1[1] + 2 * k2[1] + 2 * k3[1] + k4[1]);
        }
        ASSERT_NEAR(sim.fwdCurve[q][0], y[0], 1e-8) << q;
        ASSERT_NEAR(sim.fwdCurve[q][1], y[1], 1e-8) << q;
    }
}
