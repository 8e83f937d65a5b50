// How good the answer is: the reference optimum against closed forms and an
// independent time integration; guided key sessions against the reference; the
// time-domain audit of the final trajectory and of normal CP motion.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "cases.h"
#include "core/state.h"
#include "path/curves.h"

namespace {

// ---- Helpers ----

double referenceTime(const PathCase& c)
{
    preparePath(c);
    return referenceMinimumTime().tf;
}

std::string caseKey(const PathCase& c)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "%d %.9g %.9g %.9g %.9g", c.type, c.a, c.b, c.xamax, c.yamax);
    return buf;
}

// One measurement per case and test process (each ctest runs its own process).
const CaseMeasurement& measured(const PathCase& c)
{
    static std::map<std::string, CaseMeasurement> cache;
    const std::string key = caseKey(c);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, measureCase(c)).first;
    return it->second;
}

std::string testName(const std::string& label, int index)
{
    std::string out;
    bool upper = true;
    for (char ch : label) {
        if (std::isalnum(static_cast<unsigned char>(ch))) {
            out.push_back(upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(ch))) : ch);
            upper = false;
        } else {
            upper = true;
        }
    }
    return out + "_" + std::to_string(index);
}

// ---- The reference against closed forms ----

// A path with no curvature (rise or amplitude 1e-9 m) is a straight line along
// x: the X axis alone limits the motion, which accelerates over the first half
// and brakes over the second, tf = 2 sqrt(L / xamax). The sweep is exact for
// constant d2s/dt2 except in the one cell where the two halves meet.
TEST(Reference, StraightLineTakesTwiceTheRootOfLengthOverAcceleration)
{
    const double flat = 1e-9;
    const PathCase cases[] = {
        {"", CP_CAM_ACC, 0.5, flat, 2.0, 2.0},
        {"", CP_CAM_ACC, 0.8, flat, 3.0, 1.0},
        {"", CP_SINE, 1.0, flat, 3.0, 1.0},
        {"", CP_CAM_CYCLOID, 0.8, flat, 1.5, 2.0},
    };
    for (const PathCase& c : cases) {
        const double exact = 2.0 * std::sqrt(c.a / c.xamax);
        EXPECT_NEAR(referenceTime(c) / exact, 1.0, 1e-5) << "type " << c.type << " L=" << c.a;
    }
}

// The quarter circle R = 1 with both limits 1 by a second method: RK4 in time on
// the maximum-acceleration curve from the start and on the maximum-deceleration
// curve into the end (backwards in time), with the admissible range written out
// for the circle. Mirroring the arc in the line y = x swaps the axes and reverses
// the path, so with equal limits the two curves are mirror images and meet at
// 45 degrees; both stay below the velocity limit, so their minimum is the
// optimal profile and tf is the sum of the two half times.
TEST(Reference, QuarterCircleAgreesWithDirectTimeIntegration)
{
    const QuarterArcHalves fine = quarterArcHalves(1.0, 1.0, 1e-5);
    const QuarterArcHalves coarse = quarterArcHalves(1.0, 1.0, 1e-4);
    EXPECT_NEAR(fine.tForward, fine.tBackward, 1e-9);
    EXPECT_NEAR(fine.vForward, fine.vBackward, 1e-9);
    EXPECT_LT(fine.peakLimitRatio, 0.99);
    const double direct = fine.tForward + fine.tBackward;
    EXPECT_NEAR(coarse.tForward + coarse.tBackward, direct, 1e-8);  // RK4 has converged

    // The grid reference is first order in ds: it settles when two grids agree
    // to 2e-6, which bounds its error by about the same amount.
    EXPECT_NEAR(referenceTime({"", CP_ARC, 1.0, 90.0, 1.0, 1.0}) / direct, 1.0, 1e-5);
}

// Path acceleration scales with a / R (s is the angle), so tf scales as sqrt(R / a).
TEST(Reference, ArcTimeScalesAsRootOfRadiusOverAcceleration)
{
    const QuarterArcHalves q = quarterArcHalves(1.0, 1.0, 1e-5);
    const double t11 = q.tForward + q.tBackward;
    const double radiusLimit[][2] = {{0.5, 2.0}, {2.0, 0.5}, {1.0, 4.0}, {0.25, 1.0}};
    for (const auto& rl : radiusLimit) {
        const double expected = t11 * std::sqrt(rl[0] / rl[1]);
        EXPECT_NEAR(referenceTime({"", CP_ARC, rl[0], 90.0, rl[1], rl[1]}) / expected, 1.0, 1e-5)
            << "R=" << rl[0] << " a=" << rl[1];
    }
}

// The mirror in y = x maps the 90-degree arc with (xamax, yamax) onto the same arc
// run backwards with (yamax, xamax); a rest-to-rest time does not depend on the direction.
TEST(Reference, QuarterCircleWithSwappedLimitsTakesTheSameTime)
{
    const double a = referenceTime({"", CP_ARC, 0.5, 90.0, 1.0, 3.0});
    const double b = referenceTime({"", CP_ARC, 0.5, 90.0, 3.0, 1.0});
    EXPECT_NEAR(a / b, 1.0, 1e-5);
}

// Halving ds halves the error: successive refinements shrink by a factor near 2
// and approach from below (the quarter circle).
TEST(Reference, GridConvergesAtFirstOrder)
{
    preparePath({"", CP_ARC, 1.0, 90.0, 1.0, 1.0});
    const double t1 = gridMinimumTime(1 << 12);
    const double t2 = gridMinimumTime(1 << 13);
    const double t3 = gridMinimumTime(1 << 14);
    ASSERT_GT(t2, t1);
    ASSERT_GT(t3, t2);
    const double ratio = (t2 - t1) / (t3 - t2);
    EXPECT_GT(ratio, 1.7);
    EXPECT_LT(ratio, 2.3);
}

// The admissible range and the velocity limit of the reference against the
// geometry alone: x', x'', y', y'' by central differences of cpPoint (not the
// program's derivative table), the range of u with |x' u + x'' w| <= xamax and
// |y' u + y'' w| <= yamax, and the largest w for which it is not empty, found by
// bisection. Points away from the joints of pieces, where the differences are smooth.
TEST(Reference, AdmissibleRangeMatchesTheGeometryOfThePoints)
{
    std::mt19937 rng(12345);
    for (int type = CP_ARC; type <= CP_CAM_CYCLOID; ++type) {
        preparePath(defaultCase(type));
        const double sEnd = sim.sEnd[type];
        std::uniform_real_distribution<double> pick(0.02 * sEnd, 0.98 * sEnd);
        int tested = 0;
        for (int k = 0; k < 400 && tested < 40; ++k) {
            const double s = pick(rng);
            // Keep away from the joints: U bend ends, slalom junctions, cam middle.
            bool nearJoint = false;
            const double h = 1e-4;
            if (type == CP_U) nearJoint = std::fabs(s - sim.uL) < 10 * h || std::fabs(s - (sEnd - sim.uL)) < 10 * h;
            if (type == CP_SLALOM) nearJoint = std::fabs(s - PI * std::round(s / PI)) < 10 * h;
            if (type == CP_CAM_ACC) nearJoint = std::fabs(s - 0.5 * sim.camL) < 10 * h;
            if (nearJoint) continue;
            double p0[2], pm[2], pp[2];
            cpPoint(s, p0);
            cpPoint(s - h, pm);
            cpPoint(s + h, pp);
            const double x1 = (pp[0] - pm[0]) / (2 * h), x2 = (pp[0] - 2 * p0[0] + pm[0]) / (h * h);
            const double y1 = (pp[1] - pm[1]) / (2 * h), y2 = (pp[1] - 2 * p0[1] + pm[1]) / (h * h);
            auto range = [&](double w, double* lo, double* hi) {
                *lo = -1e300;
                *hi = 1e300;
                const double c1[2] = {x1, y1}, c2[2] = {x2, y2}, am[2] = {sim.xamax, sim.yamax};
                for (int ax = 0; ax < 2; ++ax) {
                    if (std::fabs(c1[ax]) < 1e-9) continue;
                    const double e1 = (-am[ax] - c2[ax] * w) / c1[ax], e2 = (am[ax] - c2[ax] * w) / c1[ax];
                    *lo = std::fmax(*lo, std::fmin(e1, e2));
                    *hi = std::fmin(*hi, std::fmax(e1, e2));
                }
                const bool wOk = (std::fabs(x1) >= 1e-9 || std::fabs(x2 * w) <= sim.xamax) &&
                                 (std::fabs(y1) >= 1e-9 || std::fabs(y2 * w) <= sim.yamax);
                return wOk && *lo <= *hi;
            };
            // Largest admissible w by bisection on [0, wTop].
            double wLo = 0.0, wHi = 1e4;
            double lo = 0, hi = 0;
            if (range(wHi, &lo, &hi)) continue;  // no limit here (a straight piece)
            for (int it = 0; it < 200; ++it) {
                const double mid = 0.5 * (wLo + wHi);
                (range(mid, &lo, &hi) ? wLo : wHi) = mid;
            }
            const double wLimit = velocityLimitSquared(s);
            EXPECT_NEAR(wLimit / wLo, 1.0, 1e-5) << "type " << type << " s=" << s;
            const double w = 0.6 * wLo;
            double rlo = 0, rhi = 0, flo = 0, fhi = 0;
            ASSERT_TRUE(admissibleRange(s, w, &rlo, &rhi));
            ASSERT_TRUE(range(w, &flo, &fhi));
            const double scale = std::fmax(1.0, std::fabs(fhi) + std::fabs(flo));
            EXPECT_NEAR(rlo, flo, 1e-5 * scale) << "type " << type << " s=" << s;
            EXPECT_NEAR(rhi, fhi, 1e-5 * scale) << "type " << type << " s=" << s;
            ++tested;
        }
        EXPECT_GE(tested, 20) << "type " << type;
    }
}

// ---- Guided sessions against the reference, and the audit ----

struct GuidedCase {
    PathCase c;
    bool isDefault;
    // Upper bound on guided tf / reference: 1.02 where a few switches reach
    // the optimum; elsewhere the ratio measured with this driver plus a margin,
    // so that a regression of the planner (or of the driver) is caught.
    double ratioBound;
};

const std::vector<GuidedCase>& guidedCases()
{
    static const std::vector<GuidedCase> cases = {
        {defaultCase(CP_ARC), true, 1.02},
        {defaultCase(CP_SINE), true, 1.010},
        {defaultCase(CP_U), true, 1.010},
        {defaultCase(CP_SLALOM), true, 1.010},
        {defaultCase(CP_CAM_ACC), true, 1.02},
        {defaultCase(CP_CAM_CYCLOID), true, 1.02},
        {{"arc", CP_ARC, 1.0, 90.0, 1.0, 1.0}, false, 1.02},
        {{"arc", CP_ARC, 0.5, 180.0, 2.0, 2.0}, false, 1.006},
        {{"arc", CP_ARC, 0.5, 120.0, 3.0, 1.0}, false, 1.010},
        {{"sine wave", CP_SINE, 1.0, 0.2, 2.0, 2.0}, false, 1.012},
        {{"U shape", CP_U, 0.1, 0.4, 2.0, 2.0}, false, 1.008},
        {{"U shape", CP_U, 0.4, 0.2, 4.0, 1.0}, false, 1.010},
        {{"slalom", CP_SLALOM, 0.3, 2.0, 1.0, 2.0}, false, 1.015},
        {{"constant-acceleration cam", CP_CAM_ACC, 1.0, 0.3, 3.0, 1.0}, false, 1.02},
        {{"cycloid cam", CP_CAM_CYCLOID, 1.0, 1.0, 1.0, 1.0}, false, 1.02},
    };
    return cases;
}

class Guided : public ::testing::TestWithParam<int> {
protected:
    const GuidedCase& gc() const { return guidedCases()[GetParam()]; }
    const CaseMeasurement& m() const { return measured(gc().c); }
};

std::string guidedName(const ::testing::TestParamInfo<int>& info)
{
    const GuidedCase& g = guidedCases()[info.param];
    return testName((g.isDefault ? "default " : "") + g.c.label, info.param);
}

INSTANTIATE_TEST_SUITE_P(Paths, Guided, ::testing::Range(0, static_cast<int>(guidedCases().size())), guidedName);

TEST_P(Guided, SessionCompletesWithinTheTables)
{
    EXPECT_TRUE(m().guided.completed) << m().guided.keyLog;
    EXPECT_LT(m().guided.maxIndex, sim.stepMax);  // the 's' clamp never held the search
}

// No motion is faster than the optimum; the reference's own error (2e-6) and the
// end point of the join (within 0.1 % of sEnd, see below) allow 0.1 %.
TEST_P(Guided, TimeLiesBetweenTheOptimumAndItsBound)
{
    ASSERT_TRUE(m().guided.completed);
    EXPECT_GE(m().ratio, 0.999) << m().path << ": " << m().guided.tf << " s against " << m().reference.tf << " s";
    EXPECT_LE(m().ratio, gc().ratioBound) << m().path << ": " << m().guided.tf << " s against " << m().reference.tf
                                          << " s";
}

// The recorded accelerations of a rebuilt point are the ends of its admissible
// range, so they exceed a limit only where the point lies above the velocity
// limit. The switching rules stop every look-ahead at an excess of AXIS_TOL
// (0.001 m/s^2), and a rebuilt point differs from the searched one by the
// Runge-Kutta-Gill error of one step of at most 0.02 s (well below 1e-6 here),
// so AXIS_TOL is the tolerance.
TEST_P(Guided, FinalTrajectoryKeepsTheAxisLimits)
{
    ASSERT_TRUE(m().guided.completed);
    EXPECT_LE(m().audit.finalX, 1.0 + AXIS_TOL / m().xamax);
    EXPECT_LE(m().audit.finalY, 1.0 + AXIS_TOL / m().yamax);
    EXPECT_LE(m().audit.vExcess, 1e-3);
}

// The accelerations of the played-back motion itself, from its positions. Each
// junction and switch record starts the next rebuilt interval from a state placed
// on a chord of the searched polyline; the state differs from where the previous
// interval ended by up to dt0^2 |d2s/dt2| / 8 (some 1e-5 m), and a position step
// of d between samples 0.01 s apart changes the second difference by up to 2 d /
// dt0^2, a few tenths of a limit at most. Across a jump of the curve's second
// derivative (the middle of the constant-acceleration cam) a step mixes both sides.
// 1.25 bounds both; an interval shorter than dt0, which the rebuild drops, gives
// tens of limits and is caught.
TEST_P(Guided, PlayedBackMotionStaysNearTheAxisLimits)
{
    ASSERT_TRUE(m().guided.completed);
    EXPECT_LE(m().audit.finalXMotion, 1.25);
    EXPECT_LE(m().audit.finalYMotion, 1.25);
}

// Normal CP motion is reduced until every sample up to mf passes the axis test,
// which has no tolerance.
TEST_P(Guided, NormalCpKeepsTheAxisLimitsUpToMf)
{
    ASSERT_TRUE(m().guided.completed);
    EXPECT_LE(m().audit.normalXToMf, 1.0);
    EXPECT_LE(m().audit.normalYToMf, 1.0);
}

// ---- Whole sessions on the default paths ----

class DefaultSession : public ::testing::TestWithParam<int> {
protected:
    const CaseMeasurement& m() const { return measured(defaultCase(GetParam())); }
};

std::string defaultName(const ::testing::TestParamInfo<int>& info)
{
    return testName(defaultCase(info.param).label, info.param);
}

INSTANTIATE_TEST_SUITE_P(Paths, DefaultSession, ::testing::Range(CP_ARC, CP_CAM_CYCLOID + 1), defaultName);

TEST_P(DefaultSession, NormalCpIsSlowerThanTheMinimumTimeMotion)
{
    ASSERT_TRUE(m().guided.completed);
    EXPECT_GT(m().guided.tfNormal, m().guided.tf);
}

// A whole session on each default path, as the interaction tests expect it to
// end: tf is the time of the end record, the motion stops at the end of the
// path, and the console reports the end of the search and both times in order.
// The end point is reached to 0.1 % of sEnd: the completion runs in steps of dt0
// from a junction on a chord of the search, and the stop is interpolated in its
// last step.
TEST_P(DefaultSession, EndsAtTheGoal)
{
    preparePath(defaultCase(GetParam()));
    const GuidedResult r = runGuidedSession();
    ASSERT_TRUE(r.completed);
    EXPECT_EQ(sim.endMark, 'e');
    EXPECT_DOUBLE_EQ(r.tf, sim.chnRec[sim.NCHN][0]);
    const double sEnd = sim.sEnd[sim.cpType];
    EXPECT_NEAR(sim.phase[sim.mf][0], sEnd, 1e-3 * sEnd) << "the motion stops at s = " << sim.phase[sim.mf][0];
    EXPECT_NEAR(sim.phase[sim.mf][1], 0.0, 1e-12);

    const char* lines[] = {"\n\n位相平面上の軌道探索終了", "\n通常のCP制御位置決め時間 tf=", "\n最短時間制御位置決め時間 tf="};
    size_t at = 0;
    for (const char* line : lines) {
        const size_t found = r.console.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line;
        at = found + std::string(line).size();
    }
    char times[96];
    std::snprintf(times, sizeof times, "%7.4f[s]", r.tf);
    EXPECT_NE(r.console.find(std::string("\n最短時間制御位置決め時間 tf=") + times), std::string::npos);
}

}  // namespace
