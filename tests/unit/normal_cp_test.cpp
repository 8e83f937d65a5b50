// Normal CP motion: the trapezoidal profile, the reduction of its acceleration
// until the axes keep their limits, the triangular case and the continuation.
#include <gtest/gtest.h>

#include <cmath>

#include "core/state.h"
#include "path/curves.h"
#include "path/velocity_limit.h"
#include "planner/boundary_curves.h"
#include "planner/join.h"
#include "planner/normal_cp.h"
#include "planner/rebuild.h"
#include "planner/search.h"
#include "test_support.h"

namespace {

const double kPi = 3.14159265358979;

// Reference profile of the path parameter: acceleration a for tauA, cruise, and
// the mirrored deceleration, written from the kinematics of the trapezoid.
struct Trapezoid {
    double a, tauA, v, sa, tf, sEnd;
    Trapezoid(double a_, double sEnd_) : a(a_), tauA(0.5), sEnd(sEnd_)
    {
        v = a * tauA;
        sa = a * tauA * tauA / 2;
        if (sEnd / 2 < sa) {  // too short for the cruise velocity: triangle
            sa = sEnd / 2;
            tauA = std::sqrt(2 * sa / a);
        }
        tf = 2 * tauA + (sEnd - 2 * sa) / v;
    }
    void at(double tau, double* s, double* sd, double* sdd) const
    {
        if (tau <= tauA) {
            *s = a * tau * tau / 2;
            *sd = a * tau;
            *sdd = a;
        } else if (tau <= tf - tauA) {
            *s = sa + v * (tau - tauA);
            *sd = v;
            *sdd = 0;
        } else {
            const double r = tf - tau;
            *s = sEnd - a * r * r / 2;
            *sd = a * r;
            *sdd = -a;
        }
    }
    // True when every sample time keeps both axes within their limits.
    bool passes(const double* times, int last) const
    {
        for (int i = 0; i <= last; ++i) {
            double s, sd, sdd, acc[3];
            at(times[i], &s, &sd, &sdd);
            cpAxisAcc(s, sd, sdd, acc);
            if (std::fabs(acc[1]) > sim.xamax || std::fabs(acc[2]) > sim.yamax) return false;
        }
        return true;
    }
};

void joinedAndRebuiltDefaultArc()
{
    ASSERT_TRUE(joinDefaultArc(75));
    captureBegin();
    rebuildFinalTrajectory();  // computes normal CP motion at its end
    captureEnd();
}

void normalCP()
{
    captureBegin();
    computeNormalCP();
    captureEnd();
}

// The continuation after mf: steps of dt0 until past tfNormal, then the end state.
void checkContinuation(int mf, double t0)
{
    int idx = mf;
    for (int j = 1;; ++j) {
        idx = mf + j;
        ASSERT_LE(idx, TRAJ_CAP - 1);
        if (t0 + j * 0.01 > sim.tfNormal) break;
        ASSERT_NEAR(sim.TIME[idx], t0 + j * 0.01, 1e-12) << idx;
    }
    EXPECT_EQ(sim.mNormal, idx);
    EXPECT_EQ(sim.TIME[idx], sim.tfNormal);
    EXPECT_EQ(sim.normalS[idx][0], sim.sEnd[sim.cpType]);
    EXPECT_EQ(sim.normalS[idx][1], 0.0);
    EXPECT_EQ(sim.normalAcc[idx][0], 0.0);
    EXPECT_EQ(sim.normalAcc[idx][1], 0.0);
    EXPECT_EQ(sim.normalAcc[idx][2], 0.0);
    double P[2];
    cpPoint(sim.sEnd[sim.cpType], P);
    EXPECT_EQ(sim.normalXY[idx][0], P[0]);
    EXPECT_EQ(sim.normalXY[idx][1], P[1]);
}

}  // namespace

TEST(NormalCP, DefaultArcReducesTheAccelerationUntilEverySamplePasses)
{
    // The first profile: a = min(2/0.5, 2/0.5) = 4, trapezoid with tauA = 0.5 s,
    // v = 2 rad/s and tfNormal = 1 + (pi/2 - 1)/2; near 0.45 s its X axis needs ~2.28.
    {
        freshDefaults();
        const Trapezoid first(4.0, kPi / 2);
        EXPECT_NEAR(first.tf, 1 + (kPi / 2 - 1) / 2, 1e-12);
        double s, sd, sdd, acc[3];
        first.at(0.45, &s, &sd, &sdd);
        cpAxisAcc(s, sd, sdd, acc);
        EXPECT_GT(std::fabs(acc[1]), 2.2);
        EXPECT_LT(std::fabs(acc[1]), 2.35);
    }

    joinedAndRebuiltDefaultArc();
    const int mf = sim.mf;
    ASSERT_GT(mf, 100);
    EXPECT_GT(sim.tfNormal, 1 + (kPi / 2 - 1) / 2);

    // The trapezoid's time gives its acceleration: tf = 0.5 + 2 sEnd / a.
    const double a = 2 * (kPi / 2) / (sim.tfNormal - 0.5);
    const double k = std::log(a / 4.0) / std::log(0.95);
    EXPECT_NEAR(k, std::round(k), 1e-6) << "a = 4 * 0.95^k";
    EXPECT_GE(std::round(k), 1.0);
    const Trapezoid chosen(4.0 * std::pow(0.95, std::round(k)), kPi / 2);
    const Trapezoid previous(chosen.a / 0.95, kPi / 2);
    EXPECT_TRUE(chosen.passes(sim.TIME, mf));
    EXPECT_FALSE(previous.passes(sim.TIME, mf)) << "a was reduced once too often";
    EXPECT_NEAR(chosen.tf, sim.tfNormal, 1e-9);

    // Every sample up to mf is the profile at the time of the minimum-time point.
    for (int i = 0; i <= mf; ++i) {
        double s, sd, sdd, acc[3];
        chosen.at(sim.TIME[i], &s, &sd, &sdd);
        ASSERT_NEAR(sim.normalS[i][0], s, 1e-9) << i;
        ASSERT_NEAR(sim.normalS[i][1], sd, 1e-9) << i;
        cpAxisAcc(s, sd, sdd, acc);
        for (int c = 0; c < 3; ++c) ASSERT_NEAR(sim.normalAcc[i][c], acc[c], 1e-8) << i << " " << c;
        ASSERT_LE(std::fabs(sim.normalAcc[i][1]), sim.xamax) << i;
        ASSERT_LE(std::fabs(sim.normalAcc[i][2]), sim.yamax) << i;
        double P[2];
        cpPoint(sim.normalS[i][0], P);
        ASSERT_EQ(sim.normalXY[i][0], P[0]) << i;
        ASSERT_EQ(sim.normalXY[i][1], P[1]) << i;
    }
    // Minimum-time motion is faster than normal CP motion.
    EXPECT_LT(sim.tf, sim.tfNormal);
    checkContinuation(mf, sim.TIME[mf]);
    for (int i = mf + 1; i < sim.mNormal; ++i) {
        double s, sd, sdd;
        chosen.at(sim.TIME[i], &s, &sd, &sdd);
        ASSERT_NEAR(sim.normalS[i][0], s, 1e-9) << i;
        ASSERT_NEAR(sim.normalS[i][1], sd, 1e-9) << i;
    }
}

// A path shorter than a tauA^2 gets the triangular profile without a cruise.
TEST(NormalCP, ShortPathIsTriangular)
{
    freshDefaults();
    sim.sEnd[CP_ARC] = 10 * DEG2RAD;
    updateTypeTables(CP_ARC);
    sim.TIME[0] = 0.0;
    sim.mf = 0;
    normalCP();
    const double S = sim.sEnd[CP_ARC];
    const double tauA = std::sqrt(S / 4.0);  // a stays 4: at rest the Y axis needs exactly 2
    EXPECT_NEAR(sim.tfNormal, 2 * tauA, 1e-15);
    checkContinuation(0, 0.0);
    // Accelerating up to tauA, decelerating after it, s continuous and monotone.
    for (int i = 1; i < sim.mNormal; ++i) {
        const double tau = sim.TIME[i];
        const double expV = tau <= tauA ? 4.0 * tau : 4.0 * (2 * tauA - tau);
        ASSERT_NEAR(sim.normalS[i][1], expV, 1e-12) << i;
        ASSERT_GT(sim.normalS[i][0], sim.normalS[i - 1][0]) << i;
        ASSERT_NEAR(sim.normalAcc[i][0], tau <= tauA ? 0.5 * 4.0 : -0.5 * 4.0, 1e-12) << i;
    }
    EXPECT_NEAR(sim.normalS[1][0], 2.0 * 0.01 * 0.01, 1e-15);
}

// Long straights and a wide bend keep the first acceleration and tauA = 0.5 s.
TEST(NormalCP, UShapeWithinLimitsKeepsTheFirstAcceleration)
{
    freshDefaults();
    sim.cpType = CP_U;
    sim.uL = 1.0;
    sim.uR = 1.0;
    updateTypeTables(CP_U);
    for (int i = 0; i <= 300; ++i) sim.TIME[i] = 0.01 * i;
    sim.mf = 300;
    normalCP();
    const double S = sim.sEnd[CP_U];
    EXPECT_NEAR(sim.tfNormal, S + 0.5, 1e-12);  // a = 2, v = 1: 1 + (S - 0.5) / 1
    const Trapezoid ref(2.0, S);
    for (int i = 0; i <= 300; ++i) {
        double s, sd, sdd;
        ref.at(sim.TIME[i], &s, &sd, &sdd);
        ASSERT_NEAR(sim.normalS[i][0], s, 1e-12) << i;
        ASSERT_NEAR(sim.normalS[i][1], sd, 1e-12) << i;
    }
    checkContinuation(300, 3.0);
    EXPECT_EQ(sim.mNormal, 300 + 265);
}

// Times equal to tauA, tauD and tfNormal fall into acceleration, cruise and
// deceleration respectively.
TEST(NormalCP, PhaseBoundariesBelongToTheEarlierPhase)
{
    freshDefaults();
    sim.cpType = CP_U;
    sim.uL = 1.0;
    sim.uR = 1.0;
    updateTypeTables(CP_U);
    const double S = sim.sEnd[CP_U];
    const double tf = 2.0 * 0.5 + (S - 2.0 * 0.25) / 1.0;
    sim.TIME[0] = 0.0;
    sim.TIME[1] = 0.5;
    sim.TIME[2] = tf - 0.5;
    sim.TIME[3] = tf;
    sim.mf = 3;
    normalCP();
    ASSERT_EQ(sim.tfNormal, tf);
    EXPECT_EQ(sim.normalAcc[1][0], 2.0);
    EXPECT_EQ(sim.normalAcc[2][0], 0.0);
    EXPECT_EQ(sim.normalAcc[3][0], -2.0);
    EXPECT_EQ(sim.normalS[3][0], S);
    EXPECT_EQ(sim.normalS[3][1], 0.0);
    EXPECT_NEAR(sim.normalS[1][0], 0.25, 1e-15);
    EXPECT_NEAR(sim.normalS[2][0], S - 0.25, 1e-12);
    // The continuation ends at once.
    EXPECT_EQ(sim.mNormal, 4);
    EXPECT_EQ(sim.TIME[4], tf);
}

// A minimum-time trajectory slower than normal CP motion: the continuation ends at once.
TEST(NormalCP, SlowerMinimumTimeTrajectory)
{
    freshDefaults();
    sim.sEnd[CP_ARC] = 10 * DEG2RAD;
    updateTypeTables(CP_ARC);
    for (int i = 0; i <= 100; ++i) sim.TIME[i] = 0.01 * i;  // 1 s, far beyond tfNormal
    sim.mf = 100;
    normalCP();
    EXPECT_LT(sim.tfNormal, 0.5);
    EXPECT_EQ(sim.mNormal, 101);
    EXPECT_EQ(sim.TIME[101], sim.tfNormal);
    EXPECT_EQ(sim.normalS[101][0], sim.sEnd[CP_ARC]);
    EXPECT_EQ(sim.normalS[101][1], 0.0);
    // The samples before tfNormal move forward within the axis limits.
    int moving = 0;
    for (int i = 1; sim.TIME[i] <= sim.tfNormal; ++i) {
        ASSERT_GT(sim.normalS[i][0], sim.normalS[i - 1][0]) << i;
        ASSERT_GT(sim.normalS[i][1], 0.0) << i;
        ASSERT_LE(std::fabs(sim.normalAcc[i][1]), sim.xamax) << i;
        ASSERT_LE(std::fabs(sim.normalAcc[i][2]), sim.yamax) << i;
        ++moving;
    }
    EXPECT_GT(moving, 10);
}
