// What a student naturally does never gives a wrong answer: a switch one step
// late, 's' held past the velocity limit, keys pressed while the joined
// trajectory plays, 'r' at the start. Each session is driven through the key
// commands as the window drives them (its first showing is one frame) and is
// compared with an independent expectation: a plain session that joins at the
// same crossing, or the limits of the axes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>

#include "app/keys.h"
#include "core/state.h"
#include "planner/bounds.h"
#include "planner/prepare.h"
#include "planner/search.h"
#include "test_support.h"

namespace {

// Keys in a compact notation: "s*63 c s*8 f", then 's' until the search ends
// (at most `tail` presses). Returns the console text of the whole session.
std::string session(int type, const std::string& keys, int tail = 400)
{
    prepareType(type);
    setFrameFunction(nullptr);
    captureBegin();
    computeFrame();  // the window's first showing
    size_t i = 0;
    while (i < keys.size()) {
        if (keys[i] == ' ') {
            ++i;
            continue;
        }
        const unsigned char k = static_cast<unsigned char>(keys[i++]);
        int n = 1;
        if (i < keys.size() && keys[i] == '*') {
            size_t used = 0;
            n = std::stoi(keys.substr(i + 1), &used);
            i += 1 + used;
        }
        for (int j = 0; j < n; ++j) onKey(k, 0, 0);
    }
    for (int j = 0; j < tail && sim.endMark != 'e'; ++j) onKey('s', 0, 0);
    return captureEnd();
}

// The report printed at the end of the search, from its first line on.
std::string report(const std::string& console)
{
    const size_t at = console.find("\n\n位相平面上の軌道探索終了");
    return at == std::string::npos ? std::string() : console.substr(at);
}

bool hasNan(const std::string& text) { return text.find("nan") != std::string::npos; }

bool recordsInTimeOrder()
{
    for (int i = 1; i <= sim.NCHN; ++i)
        if (!(sim.chnRec[i - 1][0] < sim.chnRec[i][0])) return false;
    return true;
}

// Both axes within their limits plus the tolerance of the curve tests.
bool withinLimits(const double acc[3])
{
    return std::fabs(acc[1]) <= sim.xamax + AXIS_TOL && std::fabs(acc[2]) <= sim.yamax + AXIS_TOL;
}

// True when the largest admissible path acceleration at point p keeps both axes
// within their limits: p lies under the velocity limit.
bool underVelocityLimit(const double p[2])
{
    const int sign = sim.accSign;
    sim.accSign = +1;
    double acc[3];
    phaseRhs(1, 0.0, p, acc);
    sim.accSign = sign;
    return withinLimits(acc);
}

const char* const CROSSED = "\n※ 軌道が速度制限曲線を越えました。't'，'r' または '0' で戻ってください";

int count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

// A switch one step late and then 'f': the join takes the crossing before the
// switch, so the motion is the one of a plain session joined at that crossing
// (as many frames before 'f', no switch), and the list is in time order.
TEST(KeySoundness, LateSwitchThenJoinGivesThePlainJoinedResult)
{
    for (int type : {CP_ARC, CP_CAM_ACC, CP_CAM_CYCLOID}) {
        // Steps until the trajectory has just passed the deceleration curve:
        // the first count for which the late-switch session ends.
        std::string late;
        int before = 30;
        for (; before < 150; ++before) {
            late = session(type, "s*" + std::to_string(before) + " c s*8 f");
            if (sim.endMark == 'e') break;
        }
        ASSERT_EQ(sim.endMark, 'e') << "type " << type;
        EXPECT_FALSE(hasNan(late)) << late;
        EXPECT_TRUE(recordsInTimeOrder());
        EXPECT_EQ(sim.NCHN, 2) << "type " << type;  // start, junction, end
        for (int i = 0; i <= sim.mf; ++i)
            EXPECT_TRUE(underVelocityLimit(sim.phase[i])) << "type " << type << " point " << i;
        const std::string plain = session(type, "s*" + std::to_string(before + 9) + " f");
        ASSERT_EQ(sim.endMark, 'e');
        EXPECT_EQ(report(late), report(plain)) << "type " << type;
    }
    // The default arc as a student meets it: 63 steps, the switch, 8 steps, 'f'.
    const std::string arc = report(session(CP_ARC, "s*63 c s*8 f"));
    EXPECT_NE(arc.find("\n最短時間制御位置決め時間 tf= 1.2746[s]"), std::string::npos) << arc;
}

// 's' held far past the velocity limit: the trajectory stops at its last point
// under the limit with one console line, stays finite and admissible however
// long the key is held, and 't' or 'r' take the search on from there.
TEST(KeySoundness, ContinueHeldPastTheVelocityLimitStopsTheTrajectory)
{
    for (int type = CP_ARC; type <= CP_CAM_CYCLOID; ++type) {
        if (type == CP_U) continue;  // its limit is never crossed on the straights the search starts on
        const std::string out = session(type, "s*300", 0);
        EXPECT_FALSE(hasNan(out));
        EXPECT_EQ(count(out, CROSSED), 1) << "type " << type;
        ASSERT_TRUE(sim.searchStopped) << "type " << type;
        const int mStopped = sim.m;
        for (int i = 0; i <= sim.m; ++i) {
            ASSERT_TRUE(std::isfinite(sim.phase[i][0]) && std::isfinite(sim.phase[i][1])) << type << " " << i;
            EXPECT_TRUE(withinLimits(sim.accTab[i])) << "type " << type << " point " << i;
        }
        // 's' held on adds nothing; 'r' goes back one point per press and
        // switches, until braking from a point early enough stays under the limit.
        captureBegin();
        onKey('s', 0, 0);
        EXPECT_EQ(sim.m, mStopped);
        int presses = 0;
        do {
            onKey('r', 0, 0);
            ++presses;
        } while ((sim.searchStopped || sim.accSign != -1) && presses < 40);
        const std::string more = captureEnd();
        EXPECT_FALSE(hasNan(more));
        EXPECT_FALSE(sim.searchStopped) << "type " << type;
        EXPECT_EQ(sim.accSign, -1);
        EXPECT_LT(sim.m, mStopped + 1);
        for (int i = 0; i <= sim.m; ++i) EXPECT_TRUE(withinLimits(sim.accTab[i])) << "type " << type << " point " << i;
        EXPECT_TRUE(recordsInTimeOrder());
    }
    // The largest accepted limits on the slalom, where the bound's divisor vanishes.
    prepareType(CP_SLALOM);
    sim.xamax = sim.yamax = 100.0;
    captureBegin();
    prepareSearch();
    computeFrame();
    for (int i = 0; i < 200; ++i) onKey('s', 0, 0);
    const std::string out = captureEnd();
    EXPECT_FALSE(hasNan(out));
    for (int i = 0; i <= sim.m; ++i) EXPECT_TRUE(std::isfinite(sim.phase[i][0]) && std::isfinite(sim.phase[i][1]));
}

// Keys pressed while the joined trajectory plays and after the end change
// nothing but the playback: the result is that of the plain session.
TEST(KeySoundness, KeysAfterTheJoinOnlyStepThePlayback)
{
    const std::string plain = report(session(CP_ARC, "s*70 f"));
    ASSERT_FALSE(plain.empty());
    const double tfPlain = sim.tf;
    const std::string busy = session(CP_ARC, "s*70 f s*5 c c t c 0 r t");
    EXPECT_EQ(report(busy), plain);
    // After the end: switches and steps back leave the records and the goal time.
    const int nchn = sim.NCHN;
    captureBegin();
    for (unsigned char k : {'c', 'r', 't', 'c', 'r', 'f', '0', 's'}) onKey(k, 0, 0);
    const std::string after = captureEnd();
    EXPECT_EQ(sim.NCHN, nchn);
    EXPECT_DOUBLE_EQ(sim.tf, tfPlain);
    EXPECT_EQ(after, "");
    EXPECT_EQ(sim.m, 2);  // '0' replays from its first point, 's' steps once more
}

// 'r' at the start and then '0': the next search reports exactly what a
// search that never saw those keys reports.
TEST(KeySoundness, ReverseAtTheStartLeavesNoTraceInTheNextSearch)
{
    const std::string plain = report(session(CP_ARC, "s*70 f"));
    const std::string afterR = report(session(CP_ARC, "r s r r 0 s*69 f"));
    EXPECT_EQ(afterR, plain);
    EXPECT_NE(afterR.find("\nt0= 0.0000 S[]=( 0.0000  0.0000) ACC[]=( 0.0000  2.0000)"), std::string::npos);
    // The start record and point 0 carry the accelerations under +1 after '0'.
    session(CP_U, "s*5 r r r r r r 0", 0);
    EXPECT_DOUBLE_EQ(sim.accTab[0][2], sim.yamax);
    EXPECT_DOUBLE_EQ(sim.chnRec[0][4], sim.yamax);
}

// Steps back drop the switches of the points given up: the records keep
// describing the trajectory, and its next step goes on with the sign in force.
TEST(KeySoundness, StepsBackKeepTheRecordsOnTheTrajectory)
{
    session(CP_ARC, "s*30 c s*3 t t", 0);
    // Point 30 switched to braking; 't' twice leaves m = 30 - 4 + ... points
    // before the switch, the step from there still brakes: a record at the point
    // the braking now starts from.
    ASSERT_GE(sim.NCHN, 1);
    EXPECT_TRUE(recordsInTimeOrder());
    EXPECT_EQ(sim.accSign, sim.NCHN % 2 == 0 ? +1 : -1);
    for (int i = 1; i <= sim.NCHN; ++i) {
        EXPECT_LE(sim.chnStep[i], sim.m);
        EXPECT_EQ(sim.chnRec[i][1], sim.phase[sim.chnStep[i]][0]);
        EXPECT_EQ(sim.chnRec[i][2], sim.phase[sim.chnStep[i]][1]);
    }
    EXPECT_LT(sim.phase[sim.m][1], sim.phase[sim.m - 1][1]);  // braking
    // 'c' and 'r' at the same point take each other back.
    session(CP_ARC, "s*30 c r", 0);
    EXPECT_EQ(sim.NCHN, 0);
    EXPECT_EQ(sim.accSign, +1);
}

// Limits so low that the deceleration curve fills its table far below the
// velocity limit: the preparation says so, and the usual limits do not.
TEST(KeySoundness, BoundaryCurveCutByItsTableIsSaidAtThePreparation)
{
    prepareType(CP_ARC);
    captureBegin();
    prepareSearch();
    EXPECT_EQ(captureEnd().find("※ 最大減速曲線"), std::string::npos);
    sim.xamax = sim.yamax = 0.03;
    captureBegin();
    prepareSearch();
    const std::string out = captureEnd();
    EXPECT_EQ(sim.bwdN, CURVE_CAP - 1);
    EXPECT_NE(out.find("\n※ 最大減速曲線が表(3001点)の終わりで途切れました。"), std::string::npos) << out;
    EXPECT_LT(out.find("※ 最大減速曲線"), out.find("描画画面へ"));
}

// A crossing in the last segment of the tables leaves no room to complete the
// motion: 'f' is refused with a line that says so, and acts as 's'.
TEST(KeySoundness, JoinInTheLastTableSegmentIsRefusedWithAMessage)
{
    prepareType(CP_ARC);
    const int last = TRAJ_CAP - 1;
    // A trajectory creeping along the axis, then jumping above the deceleration curve.
    for (int i = 0; i < last; ++i) {
        sim.phase[i][0] = 0.5 * i / last;
        sim.phase[i][1] = 1e-3;
        sim.TIME[i] = 0.01 * i;
    }
    sim.phase[last][0] = 0.5 + 1e-3;
    sim.phase[last][1] = 5.0;
    sim.TIME[last] = 0.01 * last;
    sim.m = last;
    sim.t = sim.TIME[last];
    captureBegin();
    onKey('f', 0, 0);
    const std::string out = captureEnd();
    EXPECT_EQ(sim.joinMark, '0');
    EXPECT_EQ(sim.NCHN, 0);
    EXPECT_NE(out.find("\n※ 軌道の表(2001点)に最終軌道が入りきりません。ここからは最終軌道へ乗せられません"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("ここで打ち切ります"), std::string::npos);
}

// The joined playback may run past the clamp that 's' applies while searching:
// 's' lets it reach its last point, or the search would never end.
TEST(KeySoundness, JoinedPlaybackReachesItsEndPastTheSearchClamp)
{
    prepareType(CP_ARC);
    sim.stepMax = 50;  // the search clamp well before the junction
    setFrameFunction(nullptr);
    captureBegin();
    computeFrame();
    for (int i = 0; i < 72; ++i) onKey('x', 0, 0);  // view-key frames step without the clamp
    ASSERT_GT(sim.m, 50);
    onKey('f', 0, 0);
    ASSERT_EQ(sim.joinMark, 'f');
    ASSERT_GT(sim.mf, 50);
    for (int i = 0; i < 500 && sim.endMark != 'e'; ++i) onKey('s', 0, 0);
    captureEnd();
    EXPECT_EQ(sim.endMark, 'e');
}

// 's' clamps a search that view-key frames took past stepMax back to it: the
// point after it is computed from the point's own time, and switches made past
// it are given up with the points.
TEST(KeySoundness, ContinueAtTheSearchClampStepsFromThePointsOwnTime)
{
    prepareType(CP_U);
    sim.xamax = sim.yamax = 0.01;  // a slow motion, still moving at point 800
    captureBegin();
    prepareSearch();
    computeFrame();
    for (int i = 0; i < 850; ++i) onKey('x', 0, 0);
    ASSERT_GT(sim.m, sim.stepMax);
    onKey('c', 0, 0);
    ASSERT_EQ(sim.NCHN, 1);
    onKey('s', 0, 0);
    captureEnd();
    EXPECT_EQ(sim.m, sim.stepMax + 1);
    EXPECT_NEAR(sim.TIME[sim.m] - sim.TIME[sim.m - 1], 0.01, 1e-9);
    // The braking chosen past point 800 still holds from point 800 on.
    EXPECT_EQ(sim.accSign, -1);
    EXPECT_EQ(sim.NCHN, 1);
    EXPECT_EQ(sim.chnStep[1], sim.stepMax);
    EXPECT_DOUBLE_EQ(sim.chnRec[1][0], sim.TIME[sim.stepMax]);
    EXPECT_LT(sim.phase[sim.m][1], sim.phase[sim.m - 1][1]);  // braking on the straight
}

// Braking that reaches rest ends at ds/dt = 0: the step is cut at the zero, so
// no point and no record has a negative speed or lies before the start, and a
// switch at such a stop starts the motion again from rest.
TEST(KeySoundness, BrakingToRestEndsAtTheZeroOfTheSpeed)
{
    session(CP_ARC, "s*5 c s*6", 0);
    ASSERT_TRUE(sim.searchStopped);
    EXPECT_EQ(sim.phase[sim.m][1], 0.0);
    for (int i = 0; i <= sim.m; ++i) {
        ASSERT_GE(sim.phase[i][0], 0.0) << i;
        ASSERT_GE(sim.phase[i][1], 0.0) << i;
        ASSERT_GE(sim.phase[i][0], sim.phase[i > 0 ? i - 1 : 0][0]) << i;
    }
    const std::string text = session(CP_ARC, "s*5 c s*6 c s*70 f*100");
    EXPECT_FALSE(hasNan(text));
    for (int i = 0; i <= sim.NCHN; ++i) ASSERT_GE(sim.chnRec[i][2], 0.0) << i;
    ASSERT_GE(sim.NCHN, 2);
    EXPECT_EQ(sim.chnRec[2][2], 0.0);  // the second switch, at the stop: from rest again
    ASSERT_EQ(sim.endMark, 'e');
    EXPECT_EQ(sim.phase[sim.mf][0], sim.sEnd[CP_ARC]);
    EXPECT_EQ(sim.phase[sim.mf][1], 0.0);
}

// Every restart is a new search that explains itself again: the full switching
// table is said once per search, also after '0'.
TEST(KeySoundness, RestartWithZeroGivesTheSearchsLinesAgain)
{
    const std::string text = session(CP_ARC, "s*5 c*28 0 s*5 c*28", 0);
    EXPECT_EQ(count(text, "\n※ 切り替え点の表(30点)が一杯です。これ以上切り替えできません"), 2) << text;
}

// 'f' on a trajectory that has stopped (here at the velocity limit of the largest
// slalom) cannot change anything: after the first refusal it costs nothing, and
// the state stays as it was.
TEST(KeySoundness, RepeatedJoinOnAStoppedTrajectoryCostsNothing)
{
    freshDefaults();
    sim.slmR = 2.0;
    sim.slmN = 20;
    updateTypeTables(CP_SLALOM);
    sim.cpType = CP_SLALOM;
    sim.xamax = sim.yamax = 0.5;
    captureBegin();
    prepareSearch();
    setFrameFunction(nullptr);
    computeFrame();
    for (int i = 0; i < 400 && !sim.searchStopped; ++i) onKey('f', 0, 0);
    ASSERT_TRUE(sim.searchStopped);
    onKey('f', 0, 0);  // the one refusal that searches
    const int m = sim.m;
    const double last[2] = {sim.phase[m][0], sim.phase[m][1]};
    const std::clock_t c0 = std::clock();
    for (int i = 0; i < 20000; ++i) onKey('f', 0, 0);
    const double cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
    captureEnd();
    // A search of the crossing takes about 2 ms here: 20000 of them would take 40 s.
    EXPECT_LT(cpu, 2.0);
    EXPECT_EQ(sim.m, m);
    EXPECT_EQ(sim.phase[m][0], last[0]);
    EXPECT_EQ(sim.phase[m][1], last[1]);
    EXPECT_EQ(sim.joinMark, '0');
}
