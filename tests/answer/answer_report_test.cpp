// The answer key's report: normal CP time as the window computes it, the optimum's
// list in the window's list format, and a search state left as the window starts it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>

#include "answer/args.h"
#include "answer/grade.h"
#include "answer/report.h"
#include "core/state.h"
#include "planner/optimum.h"
#include "test_support.h"

namespace {

KeySession keys;

void answerType(int type)
{
    freshDefaults();
    sim.cpType = type;
    sim.xf = sim.cpEnd[type][0];
    sim.yf = sim.cpEnd[type][1];
    prepareQuietly();
    ASSERT_TRUE(computeOptimum());
}

}  // namespace

// The normal CP time of a completed window search on the default arc (the late
// switch) and of the window's guided sessions on the six default paths.
TEST(AnswerReport, NormalTimeIsTheWindowsComparison)
{
    answerType(CP_ARC);
    const double mine = normalTimeForOptimum();
    prepareQuietly();
    const char* text = "s*63 c s*8 f s*80";
    ASSERT_TRUE(parseKeys(text, 17, &keys));
    captureBegin();
    const ReplayOutcome r = replaySession(keys);
    captureEnd();
    ASSERT_TRUE(r.ended);
    EXPECT_NEAR(mine, sim.tfNormal, 1e-9);

    const double window[7] = {0, 1.4643, 3.6416, 2.9156, 3.8139, 1.7277, 1.8604};
    for (int type = 1; type <= 6; ++type) {
        answerType(type);
        EXPECT_NEAR(normalTimeForOptimum(), window[type], 5.1e-5) << type;
    }
}

TEST(AnswerReport, OptimumIsListedInTheWindowsFormat)
{
    for (int type = 1; type <= 6; ++type) {
        answerType(type);
        const double tfNormal = normalTimeForOptimum();
        captureBegin();
        printOptimumReport(tfNormal);
        const std::string out = captureEnd();

        const std::regex tLine(R"(^t(\d+)=[ -]\d+\.\d{4} S\[\]=\([ -]*\d+\.\d{4} [ -]*\d+\.\d{4}\) )"
                               R"(ACC\[\]=\([ -]*\d+\.\d{4} [ -]*\d+\.\d{4}\)( \S+)?$)");
        const std::regex tfLine(R"(^tf=[ -]\d+\.\d{4} S\[\]=\([ -]*\d+\.\d{4} [ -]*\d+\.\d{4}\) )"
                                R"(ACC\[\]=\([ -]*\d+\.\d{4} [ -]*\d+\.\d{4}\)$)");
        std::istringstream in(out);
        std::string line;
        int tLines = 0, tfLines = 0, n = -1;
        double ratio = NAN, tfPrinted = NAN;
        while (std::getline(in, line)) {
            std::smatch m;
            if (std::regex_match(line, m, tLine)) {
                EXPECT_EQ(std::stoi(m[1]), tLines) << line;  // numbered from t0 in order
                ++tLines;
            } else if (std::regex_match(line, tfLine)) {
                ++tfLines;
                tfPrinted = std::strtod(line.c_str() + 3, nullptr);
            } else if (std::sscanf(line.c_str(), "最適解の加減速の切り替え回数 N=%d", &n) == 1) {
            } else if (line.rfind("通常のCP制御 / 最短時間制御 = ", 0) == 0) {
                ratio = std::strtod(line.c_str() + std::string("通常のCP制御 / 最短時間制御 = ").size(), nullptr);
            }
        }
        EXPECT_EQ(n, optimum.nSwitch) << type;
        EXPECT_EQ(tLines, optimum.nSwitch + 1) << out;  // the start, then each switch
        EXPECT_EQ(tfLines, 1) << out;
        EXPECT_NEAR(tfPrinted, optimum.tf, 5e-5);
        EXPECT_NEAR(ratio, tfNormal / optimum.tf, 5e-5);
    }
}

// The answer's normal CP time depends on the path and limits only: whatever a search
// left in the trajectory tables, it is the same, and it changes nothing in `sim`.
TEST(AnswerReport, NormalTimeLeavesTheSearchAlone)
{
    answerType(CP_SINE);
    const double fresh = normalTimeForOptimum();
    ASSERT_TRUE(parseKeys("s*40 c s*9 f*50", 15, &keys));
    captureBegin();
    replaySession(keys);
    captureEnd();
    for (int i = 0; i < TRAJ_CAP; i += 7) sim.TIME[i] = 1e3 + i;  // tables that describe no sampling
    sim.mf = 1234;
    static SimState before;
    before = sim;
    EXPECT_EQ(normalTimeForOptimum(), fresh);
    EXPECT_EQ(before.t, sim.t);
    EXPECT_EQ(before.mf, sim.mf);
    EXPECT_EQ(before.mNormal, sim.mNormal);
    EXPECT_EQ(before.tfNormal, sim.tfNormal);
    for (int i = 0; i < TRAJ_CAP; ++i) {
        ASSERT_EQ(before.TIME[i], sim.TIME[i]) << i;
        ASSERT_EQ(before.normalS[i][0], sim.normalS[i][0]) << i;
        ASSERT_EQ(before.normalAcc[i][1], sim.normalAcc[i][1]) << i;
        ASSERT_EQ(before.normalXY[i][1], sim.normalXY[i][1]) << i;
    }
}

// A path the solver cannot answer (a slalom of 257 semicircles, far past the
// accepted 20, has more breaks than its table): the report says so and why.
TEST(AnswerReport, FailedSolveNamesItsReason)
{
    answerType(CP_SLALOM);
    sim.slmN = 257;
    updateTypeTables(CP_SLALOM);
    EXPECT_FALSE(computeOptimum());
    captureBegin();
    printOptimumReport(0.0);
    const std::string out = captureEnd();
    EXPECT_NE(out.find("\n最適解が求まりませんでした\n理由: 経路の継ぎ目と慣性ゼロの点が512点を超えます\n"), std::string::npos)
        << out;
}
