// The join never uses the failing last sub-step of a deceleration curve that ended
// by breaking an axis limit (the default U shape's curve drops there to a negative speed).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/keys.h"
#include "core/state.h"
#include "path/velocity_limit.h"
#include "planner/boundary_curves.h"
#include "planner/join.h"
#include "planner/prepare.h"
#include "planner/search.h"
#include "test_support.h"

namespace {

void prepareU() { prepareType(CP_U); }

}  // namespace

TEST(JoinOnAdmissibleCurve, DefaultUShapeCurveEndsInAFailingSubStep)
{
    prepareU();
    ASSERT_TRUE(sim.bwdStopViolated);
    EXPECT_LT(sim.bwdCurve[sim.bwdN][1], 0.0);  // a speed no motion can have
    EXPECT_GT(sim.bwdCurve[sim.bwdN - 1][1], 0.0);
}

TEST(JoinOnAdmissibleCurve, CrossingOnlyTheFailingSegmentIsNoJunction)
{
    prepareU();
    const int n = sim.bwdN;
    // A trajectory piece at half the speed of the last admissible point, from
    // left to right of the failing segment: it crosses that segment and nothing else.
    const double v = 0.5 * sim.bwdCurve[n - 1][1];
    sim.phase[1][0] = sim.bwdCurve[n][0] - 0.05;
    sim.phase[1][1] = v;
    sim.phase[2][0] = sim.bwdCurve[n][0] + 0.05;
    sim.phase[2][1] = v;
    sim.TIME[1] = 1.0;
    sim.TIME[2] = 1.01;
    sim.m = 2;
    sim.NCHN = 1;
    sim.chnStep[1] = 2;
    EXPECT_FALSE(joinFinalTrajectory());
    EXPECT_EQ(sim.NCHN, 1);
    EXPECT_EQ(sim.mf, 0);

    // The same piece at the goal's side of the curve's admissible part is joined.
    sim.phase[1][0] = sim.bwdCurve[10][0] - 0.05;
    sim.phase[1][1] = sim.bwdCurve[10][1];
    sim.phase[2][0] = sim.bwdCurve[10][0] + 0.05;
    sim.phase[2][1] = sim.bwdCurve[10][1];
    EXPECT_TRUE(joinFinalTrajectory());
    EXPECT_EQ(sim.NCHN, 2);
    EXPECT_NEAR(sim.phase[sim.mf][0], sim.sEnd[CP_U], 2e-3);
}

// An arc past 180° with unequal limits: braking forward from the crossing would
// climb above the velocity limit near s = π and run away. The rest of the motion
// follows the deceleration curve, computed backward from the goal, and ends there.
TEST(JoinOnAdmissibleCurve, BrakingWhereForwardIntegrationRunsAwayStillEndsAtTheGoal)
{
    freshDefaults();
    sim.arcR = 1.872;
    sim.sEnd[CP_ARC] = 189.8 * DEG2RAD;
    updateTypeTables(CP_ARC);
    sim.xamax = 1.328;
    sim.yamax = 3.807;
    captureBegin();
    prepareSearch();
    captureEnd();
    setFrameFunction(nullptr);
    captureBegin();
    for (int i = 0; i < 200; ++i) onKey('s', 0, 0);
    onKey('f', 0, 0);
    EXPECT_EQ(sim.joinMark, 'f');
    for (int i = 0; i < 400 && sim.endMark != 'e'; ++i) onKey('s', 0, 0);
    captureEnd();
    ASSERT_EQ(sim.endMark, 'e');
    EXPECT_EQ(sim.phase[sim.mf][0], sim.sEnd[CP_ARC]);
    EXPECT_EQ(sim.phase[sim.mf][1], 0.0);
    for (int i = 0; i <= sim.mf; ++i) {
        ASSERT_LE(std::fabs(sim.accTab[i][1]), sim.xamax + AXIS_TOL) << i;
        ASSERT_LE(std::fabs(sim.accTab[i][2]), sim.yamax + AXIS_TOL) << i;
    }
}
