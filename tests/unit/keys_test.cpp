// The search step and the key commands driven headless: one frame per command key,
// the table's effects on the search and view state, and the bounds of the tables.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/keys.h"
#include "core/state.h"
#include "planner/boundary_curves.h"
#include "planner/prepare.h"
#include "planner/search.h"
#include "test_support.h"

namespace {

int framesDrawn = 0;
int exitStatus = -1;

void countingFrame()
{
    ++framesDrawn;
    computeFrame();
}

void recordExit(int status) { exitStatus = status; }

// A fresh search on the given path type with the default dimensions.
void prepare(int type)
{
    prepareType(type);
    captureBegin();
    framesDrawn = 0;
    setFrameFunction(countingFrame);
    setExitFunction(recordExit);
}

void press(unsigned char key, int times = 1)
{
    for (int i = 0; i < times; ++i) onKey(key, 0, 0);
}

class Keys : public ::testing::Test {
protected:
    void TearDown() override
    {
        console = captureEnd();
        setFrameFunction(nullptr);
        setExitFunction(nullptr);
    }
    std::string console;
};

}  // namespace

// On the U shape's first straight only the Y axis moves, at its full limit, so
// every point of the search has the closed form s = a t^2 / 2, v = a t.
TEST_F(Keys, FirstFrameAfterResetIsOneStepOfDt0OnTheExactStraight)
{
    prepare(CP_U);
    press('s');
    EXPECT_EQ(framesDrawn, 1);
    EXPECT_EQ(sim.m, 1);
    EXPECT_NEAR(sim.TIME[1], 0.01, 1e-15);
    EXPECT_NEAR(sim.phase[1][0], 2.0 * 0.01 * 0.01 / 2.0, 1e-12);
    EXPECT_NEAR(sim.phase[1][1], 2.0 * 0.01, 1e-9);
    EXPECT_DOUBLE_EQ(sim.accTab[1][2], 2.0);
    EXPECT_TRUE(sim.aheadMade);
}

TEST_F(Keys, SmallStepKeyRestartsFromTheFirstPointWithATwentiethOfDt0)
{
    prepare(CP_U);
    press('s');
    press('t');  // m = 1: back two, not below 0
    EXPECT_EQ(sim.m, 1);
    EXPECT_DOUBLE_EQ(sim.dt, 0.01 / 20.0);
    EXPECT_NEAR(sim.TIME[1], 0.0005, 1e-15);
    EXPECT_NEAR(sim.phase[1][1], 2.0 * 0.0005, 1e-10);
    press('s', 3);  // the reduced step stays until a switch
    EXPECT_NEAR(sim.TIME[4], 4 * 0.0005, 1e-14);
    press('c');
    EXPECT_DOUBLE_EQ(sim.dt, 0.01);
}

// From rest only acceleration moves: 'r' back to the start makes no switch, and
// the step it asks for is the first point again under +1 with dt0.
TEST_F(Keys, ReverseBackToTheStartMakesNoSwitch)
{
    prepare(CP_U);
    press('r');
    EXPECT_EQ(sim.NCHN, 0);
    EXPECT_EQ(sim.accSign, +1);
    EXPECT_EQ(sim.m, 1);
    press('r');  // back from point 1 to point 0
    EXPECT_EQ(sim.m, 1);
    EXPECT_EQ(sim.NCHN, 0);
    EXPECT_EQ(sim.accSign, +1);
    EXPECT_DOUBLE_EQ(sim.dt, 0.01);
    EXPECT_NEAR(sim.phase[1][1], 2.0 * 0.01, 1e-9);  // accelerating on the straight
    EXPECT_DOUBLE_EQ(sim.accTab[0][2], 2.0);
}

TEST_F(Keys, TwoSwitchesInARowRecordConsecutivePointsAndRestoreTheSign)
{
    prepare(CP_ARC);
    press('s', 10);
    const int m0 = sim.m;
    press('c');
    press('c');
    EXPECT_EQ(sim.NCHN, 2);
    EXPECT_EQ(sim.chnStep[1], m0);  // 'c' switches at the last computed point
    EXPECT_EQ(sim.chnStep[2], m0 + 1);
    EXPECT_EQ(sim.accSign, +1);
    // The records hold the point; the step after the first decelerates, the
    // step after the second accelerates again.
    EXPECT_DOUBLE_EQ(sim.chnRec[1][1], sim.phase[m0][0]);
    EXPECT_DOUBLE_EQ(sim.chnRec[2][2], sim.phase[m0 + 1][1]);
    EXPECT_LT(sim.phase[m0 + 1][1], sim.phase[m0][1]);
    EXPECT_GT(sim.phase[m0 + 2][1], sim.phase[m0 + 1][1]);
}

TEST_F(Keys, ContinueClampsTheIndexAtStepMaxAndAtTheNormalCpEnd)
{
    prepare(CP_ARC);
    sim.m = 900;
    press('s');
    EXPECT_EQ(sim.m, 801);  // clamped to 800 before the frame, which adds one point
    sim.mNormal = 120;
    sim.m = 300;
    press('s');
    EXPECT_EQ(sim.m, 121);
}

TEST_F(Keys, ViewKeysChangeTheViewAndStepTheSearch)
{
    prepare(CP_ARC);
    const double z = sim.zoom, p = sim.phscale;
    press('w');
    EXPECT_EQ(sim.m, 1);
    EXPECT_DOUBLE_EQ(sim.zoom, 0.9 * z);
    EXPECT_DOUBLE_EQ(sim.phscale, 0.9 * p);
    press('w', 4);
    press('W', 5);
    EXPECT_NEAR(sim.zoom, z, 1e-12);
    EXPECT_NEAR(sim.phscale, p, 1e-12);
    press('x');
    press('Y');
    EXPECT_DOUBLE_EQ(sim.xshift, -0.05);
    EXPECT_DOUBLE_EQ(sim.yshift, 0.05);
    EXPECT_EQ(sim.m, 12);
    EXPECT_EQ(framesDrawn, 12);
}

TEST_F(Keys, UnassignedKeyOnlyStoresItself)
{
    prepare(CP_ARC);
    press('s', 3);
    const int m = sim.m;
    const int frames = framesDrawn;
    press('a');
    EXPECT_EQ(sim.lastKey, 'a');
    EXPECT_EQ(sim.m, m);
    EXPECT_EQ(framesDrawn, frames);
}

TEST_F(Keys, EscapeEndsWithStatusZero)
{
    prepare(CP_ARC);
    exitStatus = -1;
    press(27);
    EXPECT_EQ(exitStatus, 0);
    EXPECT_EQ(framesDrawn, 0);
}

TEST_F(Keys, JoinWithoutJunctionActsAsContinue)
{
    prepare(CP_ARC);
    press('s', 5);
    press('f');
    EXPECT_EQ(sim.joinMark, '0');
    EXPECT_EQ(sim.NCHN, 0);
    EXPECT_EQ(sim.m, 6);
}

// Accelerate until the trajectory is past the deceleration curve, then join.
static void searchToJoin()
{
    for (int i = 0; i < 400 && sim.joinMark != 'f'; ++i) press('f');
}

TEST_F(Keys, JoinedPlaybackEndsTheSearchWithTheConsoleReport)
{
    prepare(CP_ARC);
    searchToJoin();
    ASSERT_EQ(sim.joinMark, 'f');
    EXPECT_EQ(sim.NCHN, 2);  // junction and end
    const int mf = sim.mf;
    EXPECT_GT(mf, sim.chnStep[1]);
    for (int i = 0; i < 2000 && sim.endMark != 'e'; ++i) press('s');
    ASSERT_EQ(sim.endMark, 'e');
    EXPECT_EQ(sim.m, 0);
    EXPECT_DOUBLE_EQ(sim.tf, sim.chnRec[sim.NCHN][0]);
    EXPECT_LT(sim.tf, sim.tfNormal);
    EXPECT_NEAR(sim.phase[sim.mf][0], sim.sEnd[CP_ARC], 2e-3);
    EXPECT_DOUBLE_EQ(sim.phase[sim.mf][1], 0.0);
    const std::string out = captureEnd();
    const size_t a = out.find("\n\n位相平面上の軌道探索終了");
    const size_t b = out.find("\n通常のCP制御位置決め時間 tf=");
    const size_t c = out.find("\n最短時間制御位置決め時間 tf=");
    const size_t d = out.find("\n\n軌道に沿う加減速の切り替え回数 NCHN=2");
    ASSERT_NE(a, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_LT(c, d);
    EXPECT_NE(d, std::string::npos);
    captureBegin();
}

TEST_F(Keys, RepeatedJoinAfterTheJunctionAddsNoRecords)
{
    prepare(CP_ARC);
    searchToJoin();
    ASSERT_EQ(sim.joinMark, 'f');
    const double tEnd = sim.chnRec[2][0];
    press('f', 5);
    EXPECT_EQ(sim.NCHN, 2);
    EXPECT_DOUBLE_EQ(sim.chnRec[2][0], tEnd);
}

TEST_F(Keys, ZeroRestartsInEachState)
{
    prepare(CP_ARC);
    press('s', 20);
    press('c');
    press('0');
    EXPECT_EQ(sim.m, 1);
    EXPECT_EQ(sim.NCHN, 0);
    EXPECT_EQ(sim.accSign, +1);
    EXPECT_NEAR(sim.TIME[1], 0.01, 1e-15);

    // Joined playback: the joined trajectory plays again from index 1 with its
    // records, and the search ends with the same result.
    prepare(CP_ARC);
    searchToJoin();
    ASSERT_EQ(sim.joinMark, 'f');
    const int joinedRecords = sim.NCHN;
    const double joinedEnd = sim.chnRec[sim.NCHN][0];
    press('s', 3);
    press('0');
    EXPECT_EQ(sim.joinMark, 'f');
    EXPECT_EQ(sim.m, 1);
    EXPECT_EQ(sim.NCHN, joinedRecords);
    for (int i = 0; i < 2000 && sim.endMark != 'e'; ++i) press('s');
    ASSERT_EQ(sim.endMark, 'e');
    EXPECT_EQ(sim.NCHN, joinedRecords);
    EXPECT_DOUBLE_EQ(sim.tf, joinedEnd);

    // Ended: only the playback index restarts; the results stay.
    prepare(CP_ARC);
    searchToJoin();
    for (int i = 0; i < 2000 && sim.endMark != 'e'; ++i) press('s');
    ASSERT_EQ(sim.endMark, 'e');
    press('s', 7);
    const double tf = sim.tf;
    const int nchn = sim.NCHN, mf = sim.mf;
    press('0');
    EXPECT_EQ(sim.m, 1);
    EXPECT_EQ(sim.playK, 1);
    EXPECT_EQ(sim.NCHN, nchn);
    EXPECT_EQ(sim.mf, mf);
    EXPECT_DOUBLE_EQ(sim.tf, tf);
}

TEST_F(Keys, PlaybackStopsTheMinimumTimeRobotAtMfAndNormalCpAtItsEnd)
{
    prepare(CP_ARC);
    searchToJoin();
    for (int i = 0; i < 2000 && sim.endMark != 'e'; ++i) press('s');
    ASSERT_EQ(sim.endMark, 'e');
    ASSERT_GT(sim.mNormal, sim.mf);
    for (int i = 0; i < sim.mNormal + 20; ++i) press('s');
    EXPECT_EQ(sim.playK, sim.mf);
    EXPECT_EQ(sim.m, sim.mNormal);
}

// Redraws that no 's' precedes (view keys, window-system frames) must not
// carry the index past the trajectory tables.
TEST_F(Keys, IndexNeverPassesTheTablesWhateverFramesCome)
{
    prepare(CP_U);
    sim.xamax = sim.yamax = 0.001;  // a slow motion that stays positive for long
    prepareSearch();
    for (int i = 0; i < 2100; ++i) press('x');
    EXPECT_EQ(sim.m, TRAJ_CAP - 1);
    for (int i = 0; i < 10; ++i) computeFrame();
    EXPECT_EQ(sim.m, TRAJ_CAP - 1);
    const std::string out = captureEnd();
    const std::string msg = "\n※ 軌道の表(2001点)が一杯になりました。ここで打ち切ります";
    const size_t first = out.find(msg);
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(out.find(msg, first + 1), std::string::npos);  // given once
    captureBegin();
}

// Switches stop while the join still fits: the last two records are kept for
// the junction and the end, so 'f' is never refused for want of records.
// Switches stop while the join still fits: the last two records are kept for
// the junction and the end, so 'f' is not refused for want of records.
TEST_F(Keys, SwitchesStopWhileTheJoinStillFits)
{
    prepare(CP_ARC);
    press('s', 10);
    press('c', 26);  // back and forth: the sign is +1 again
    ASSERT_EQ(sim.NCHN, 26);
    ASSERT_EQ(sim.accSign, +1);
    for (int i = 0; i < 150 && sim.phase[sim.m][0] < 0.9; ++i) press('s');
    press('c');  // past the deceleration curve: the last switch the table allows
    EXPECT_EQ(sim.NCHN, REC_CAP - 3);
    press('s');
    press('c');  // one more would leave no room for the join
    EXPECT_EQ(sim.NCHN, REC_CAP - 3);
    const std::string out = captureEnd();
    const std::string msg = "\n※ 切り替え点の表(30点)が一杯です。これ以上切り替えできません";
    EXPECT_NE(out.find(msg), std::string::npos);
    captureBegin();
    press('f');  // joins at the crossing, before the late switch, which is dropped
    EXPECT_EQ(sim.joinMark, 'f');
    EXPECT_EQ(sim.NCHN, 28);
    for (int j = 1; j <= sim.NCHN; ++j) EXPECT_LT(sim.chnRec[j - 1][0], sim.chnRec[j][0]) << j;
}

TEST_F(Keys, AWindowSystemFrameStepsLikeContinueWithoutTheClamp)
{
    prepare(CP_ARC);
    sim.m = 850;
    computeFrame();
    EXPECT_EQ(sim.m, 851);
    EXPECT_NEAR(sim.TIME[851], sim.t, 0.0);
}
