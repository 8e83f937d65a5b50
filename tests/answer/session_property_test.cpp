// Every key session that ends is a motion that could really be driven: over a seeded
// random sample of the accepted entries of all six paths, a lazy 'f'-only session, a
// few random key sessions and a near-optimal guided one each end at the goal at rest,
// keep the axis limits, and are never faster than the independently computed optimum
// beyond the solver's tolerance. The answer key's own check agrees with every verdict.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "answer/args.h"
#include "answer/grade.h"
#include "core/entry_check.h"
#include "core/state.h"
#include "guided.h"
#include "planner/optimum.h"
#include "planner/session_check.h"
#include "test_support.h"

namespace {

constexpr double REL_TOL = 1e-6;  // the solver's accuracy, relative
constexpr double ABS_TOL = 1e-5;  // the session's own integration error [s]
constexpr double GOAL_TOL = 1e-9;
constexpr int CASES_PER_TYPE = 4;
constexpr double MOTION_MAX = 7.5;  // [s]
constexpr unsigned SEED = 20261208;

double logUniform(std::mt19937& rng, EntryId id)
{
    double lo = 0, hi = 0;
    entryRange(id, &lo, &hi);
    std::uniform_real_distribution<double> u(std::log(lo), std::log(hi));
    return std::exp(u(rng));
}

PathCase randomCase(std::mt19937& rng, int type)
{
    static const EntryId dims[7][2] = {{ENTRY_ARC_R, ENTRY_ARC_R},    {ENTRY_ARC_R, ENTRY_ARC_DEG},
                                       {ENTRY_SIN_L, ENTRY_SIN_A},    {ENTRY_U_L, ENTRY_U_R},
                                       {ENTRY_SLM_R, ENTRY_SLM_R},    {ENTRY_CAM_L, ENTRY_CAM_H},
                                       {ENTRY_CYC_L, ENTRY_CYC_H}};
    PathCase c;
    c.type = type;
    c.a = logUniform(rng, dims[type][0]);
    c.b = type == CP_SLALOM ? static_cast<double>(std::uniform_int_distribution<int>(1, 20)(rng))
                            : logUniform(rng, dims[type][1]);
    c.xamax = logUniform(rng, ENTRY_XAMAX);
    c.yamax = logUniform(rng, ENTRY_YAMAX);
    char label[160];
    std::snprintf(label, sizeof label, "type %d %.6g %.6g %.6g %.6g", type, c.a, c.b, c.xamax, c.yamax);
    c.label = label;
    return c;
}

// Some keys of a student who tries things out, then 'f' until the end.
std::string randomKeys(std::mt19937& rng)
{
    std::string keys;
    const int tokens = std::uniform_int_distribution<int>(2, 8)(rng);
    const char* const pick = "scccrtf0";
    for (int i = 0; i < tokens; ++i) {
        const char k = pick[std::uniform_int_distribution<int>(0, 7)(rng)];
        char tok[32];
        if (k == 's')
            std::snprintf(tok, sizeof tok, "s*%d ", std::uniform_int_distribution<int>(1, 120)(rng));
        else
            std::snprintf(tok, sizeof tok, "%c ", k);
        keys += tok;
    }
    return keys + "f*2100";
}

// The facts of one session; `what` names it in a failure.
void checkSessionFacts(const std::string& what, int* ended)
{
    const SimState& g = sim;
    // No point of the trajectory ever runs backward or below rest.
    const int last = g.endMark == 'e' ? g.mf : (g.m < TRAJ_LAST ? g.m : TRAJ_LAST);
    for (int k = 0; k <= last; ++k) {
        ASSERT_GE(g.phase[k][1], 0.0) << what << " point " << k;
        ASSERT_GE(g.phase[k][0], 0.0) << what << " point " << k;
    }
    for (int i = 1; i <= g.NCHN && i < REC_CAP; ++i) ASSERT_GE(g.chnRec[i][2], 0.0) << what << " record " << i;
    if (g.endMark != 'e') return;
    ++*ended;

    const double sEnd = g.sEnd[g.cpType];
    EXPECT_NEAR(g.phase[g.mf][0], sEnd, GOAL_TOL) << what;
    EXPECT_EQ(g.phase[g.mf][1], 0.0) << what;
    EXPECT_NEAR(g.chnRec[g.NCHN][1], sEnd, GOAL_TOL) << what;
    EXPECT_NEAR(g.TIME[g.mf], g.chnRec[g.NCHN][0], GOAL_TOL) << what;
    for (int k = 1; k <= g.mf; ++k) {
        ASSERT_GE(g.TIME[k], g.TIME[k - 1]) << what << " point " << k;
        ASSERT_GE(g.phase[k][0], g.phase[k - 1][0] - GOAL_TOL) << what << " point " << k;
        ASSERT_LE(g.phase[k][0], sEnd + GOAL_TOL) << what << " point " << k;
        ASSERT_LE(std::fabs(g.accTab[k][1]), g.xamax + AXIS_TOL) << what << " point " << k;
        ASSERT_LE(std::fabs(g.accTab[k][2]), g.yamax + AXIS_TOL) << what << " point " << k;
    }
    const double tf = g.chnRec[g.NCHN][0];
    EXPECT_GE(tf, optimum.tf * (1.0 - REL_TOL) - ABS_TOL) << what << " tf " << tf << " optimum " << optimum.tf;

    const SessionCheck c = checkSession();
    EXPECT_TRUE(c.atGoal) << what;
    EXPECT_TRUE(c.notFaster) << what;
}

}  // namespace

TEST(SessionProperty, EverySessionThatEndsIsADrivableMotionNoFasterThanTheOptimum)
{
    std::mt19937 rng(SEED);
    KeySession* keys = new KeySession;
    for (int type = CP_ARC; type <= CP_CAM_CYCLOID; ++type) {
        int ended = 0;
        int accepted = 0;
        for (int n = 0; n < 8 * CASES_PER_TYPE && accepted < CASES_PER_TYPE; ++n) {
            const PathCase c = randomCase(rng, type);
            preparePath(c);
            if (!computeOptimum()) continue;  // the solver's own failures belong to its tests
            // A search held at its 800 steps of 0.01 s by 's' (and 'f') cannot reach a later junction.
            if (optimum.tf > MOTION_MAX) continue;
            ++accepted;

            std::string sessionsKeys[5] = {"f*2100", randomKeys(rng), randomKeys(rng), randomKeys(rng), ""};
            for (const std::string& k : sessionsKeys) {
                preparePath(c);
                if (k.empty()) {
                    runGuidedSession();
                    checkSessionFacts(c.label + " guided", &ended);
                    continue;
                }
                ASSERT_TRUE(parseKeys(k.c_str(), static_cast<long>(k.size()), keys)) << k;
                captureBegin();
                replaySession(*keys);
                captureEnd();
                checkSessionFacts(c.label + " keys \"" + k + "\"", &ended);
            }
        }
        // The sample must be worth something: on every path some sessions end
        // (on the sine, the U shape and the slalom only guided ones can).
        EXPECT_GE(ended, 1) << "path type " << type;
    }
    delete keys;
}
