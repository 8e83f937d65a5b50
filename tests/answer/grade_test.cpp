// Replay of key sessions through the window's key commands and frames, and the grade:
// frame counts, the end-of-search lines, the stop point, and the comparison figures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "answer/args.h"
#include "answer/grade.h"
#include "answer/report.h"
#include "core/state.h"
#include "planner/optimum.h"
#include "test_support.h"

namespace {

KeySession keys;

const char* const END_LINE = "\n\n位相平面上の軌道探索終了";

// The default arc prepared as the answer key prepares it, the optimum computed.
void answerDefaultArc()
{
    freshDefaults();
    prepareQuietly();
    ASSERT_TRUE(computeOptimum());
}

ReplayOutcome replay(const char* text, std::string* console)
{
    captureBegin();
    const bool ok = parseKeys(text, static_cast<long>(std::string(text).size()), &keys);
    const ReplayOutcome r = replaySession(keys);
    *console = captureEnd();
    EXPECT_TRUE(ok) << text;
    return r;
}

int count(const std::string& hay, const std::string& needle)
{
    int n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
}

double numberAfter(const std::string& s, const std::string& label, size_t from = 0)
{
    const size_t p = s.find(label, from);
    if (p == std::string::npos) return NAN;
    return std::strtod(s.c_str() + p + label.size(), nullptr);
}

}  // namespace

TEST(Replay, OneFrameForTheFirstShowingThenOnePerCommandKey)
{
    answerDefaultArc();
    std::string console;
    const ReplayOutcome r = replay("s*20", &console);
    EXPECT_EQ(r.presses, 20);
    EXPECT_EQ(r.frames, 21);
    EXPECT_EQ(sim.m, 21);                      // one trajectory point per frame
    EXPECT_NEAR(sim.TIME[sim.m], 0.21, 1e-12);  // of dt0 each
    EXPECT_FALSE(r.ended);
    EXPECT_EQ(console, "");

    // View keys step the search as well; unassigned keys give no frame.
    answerDefaultArc();
    const ReplayOutcome v = replay("s*5 a w s*3 a a x Y s", &console);
    EXPECT_EQ(v.presses, 15);
    EXPECT_EQ(v.frames, 1 + 5 + 1 + 3 + 2 + 1);
    EXPECT_EQ(sim.m, v.frames);
}

TEST(Replay, AnEndedSessionPrintsTheEndOfSearchOnceAndIsGraded)
{
    answerDefaultArc();
    std::string console;
    const ReplayOutcome r = replay("s*63 c s*8 f s*80", &console);
    ASSERT_TRUE(r.ended);
    EXPECT_EQ(count(console, END_LINE), 1);
    EXPECT_EQ(console.find(END_LINE), 0u);  // nothing of the session before its end lines
    EXPECT_NE(console.find("関節トルク切り替え回数 NCT="), std::string::npos);

    captureBegin();
    printGrade(r);
    const std::string grade = captureEnd();
    const double tfKeys = numberAfter(grade, "キー操作の位置決め時間 tf=");
    const double tfOpt = numberAfter(grade, "最適解 tf=");
    EXPECT_NEAR(tfKeys, sim.chnRec[sim.NCHN][0], 5e-5);
    EXPECT_NEAR(tfKeys, numberAfter(console, "最短時間制御位置決め時間 tf="), 5e-5);
    EXPECT_NEAR(tfOpt, optimum.tf, 5e-5);
    // No key session beats the optimum beyond the search's step error.
    EXPECT_GE(tfKeys, tfOpt * (1.0 - 1e-3));
    const double pct = numberAfter(grade, "[s] (");
    EXPECT_NEAR(pct, (sim.chnRec[sim.NCHN][0] / optimum.tf - 1.0) * 100.0, 0.006);
    // One line per switching record between the start and the end record, and
    // one for the switch 'c' made at 0.64 s, past the junction, that the join gave up.
    EXPECT_EQ(sim.NCHN, 2);
    EXPECT_EQ(count(grade, ")  最適解 t"), 2);
    const size_t givenUp = grade.find("\n最終軌道へ乗せたとき使われなかった切り替え点");
    ASSERT_NE(givenUp, std::string::npos);
    EXPECT_NEAR(numberAfter(grade, "\nt1=", givenUp), 0.64, 1e-9);
    // It came late: the time the motion ran on from the optimal switch point.
    EXPECT_GT(numberAfter(grade, "Δt=", givenUp), 0.0);
    EXPECT_EQ(count(grade, "届いていません"), 0);
}

TEST(Replay, AnUnfinishedSessionSaysWhereItStopped)
{
    answerDefaultArc();
    std::string console;
    const ReplayOutcome r = replay("s*30 c s*4", &console);
    EXPECT_FALSE(r.ended);
    captureBegin();
    printGrade(r);
    const std::string grade = captureEnd();
    EXPECT_NE(grade.find("キー操作は軌道探索の終わりまで届いていません"), std::string::npos);
    char where[128];
    std::snprintf(where, sizeof where, "止まった所 m=%d t=%7.4f[s] S[]=(%7.4f %7.4f)", 36, sim.TIME[36],
                  sim.phase[36][0], sim.phase[36][1]);
    EXPECT_NE(grade.find(where), std::string::npos) << grade;
    EXPECT_EQ(count(grade, ")  最適解 t"), 1);  // the one switch made so far
    EXPECT_NEAR(numberAfter(grade, "\nt1="), 0.31, 1e-9);
}

TEST(Grade, PairsEachRecordWithTheOptimalSwitchOfItsKindNearestInTime)
{
    optimum = OptimumResult{};
    EXPECT_EQ(nearestOptimalSwitch(0.5, 1), -1);
    // to braking at 0.2 s and 1.4 s; back to acceleration at 0.9 s, along the limit at 1.1 s
    const struct {
        double t;
        int kind;
    } sw[] = {{0.2, OPT_ACC_TO_BRAKE}, {0.9, OPT_BRAKE_TO_ACC}, {1.1, OPT_ALONG_LIMIT}, {1.4, OPT_ACC_TO_BRAKE}};
    optimum.nSwitch = 4;
    for (int k = 0; k < 4; ++k) {
        optimum.sw[k].t = sw[k].t;
        optimum.sw[k].kind = sw[k].kind;
        optimum.sw[k].s = 10.0 - k;  // far from t: pairing is by time, never by s
    }
    const struct {
        double t;
        int record;
        int expected;
    } cases[] = {
        {0.75, 1, 0},  // to braking: 0.2 and 1.4 only; 0.9 is of the other kind
        {1.15, 3, 3},  // ... nearer 1.4
        {0.95, 2, 1},  // back to acceleration
        {1.05, 2, 2},  // the stretch along the limit is a switch back to acceleration too
        {-5.0, 1, 0},
        {9.0, 4, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nearestOptimalSwitch(c.t, c.record), c.expected)
            << c.t << " record " << c.record;
}
