// The automatic minimum-time solver against methods that do not share its
// algorithm: the grid reference (largest admissible profile by forward and
// backward sweeps), the direct time integration of the quarter circle, closed
// forms of straight paths and symmetries; and the motion it reports checked in
// the time domain (axis limits, finite differences of its own positions).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cases.h"
#include "core/state.h"
#include "path/curves.h"
#include "planner/optimum.h"
#include "planner/optimum_work.h"

namespace {

// ---- Helpers ----

std::string caseName(const PathCase& c)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "type %d a=%g b=%g xamax=%g yamax=%g", c.type, c.a, c.b, c.xamax, c.yamax);
    return buf;
}

double solve(const PathCase& c)
{
    preparePath(c);
    EXPECT_TRUE(computeOptimum()) << caseName(c);
    return optimum.tf;
}

// The grid reference, refined past its own stopping rule until two successive
// doublings both change the time by at most 2e-6 (relative). A single small
// change can be a false plateau: on the default U shape the grid steps over the
// joins of the bend differently at each size, and the times of 2^15 and 2^16
// cells agree to 1.5e-6 at 2.665563 s while finer grids go on to 2.665593 s.
double settledReference(const PathCase& c)
{
    preparePath(c);
    const ReferenceTime r = referenceMinimumTime();
    int n = r.n;
    double prev = r.tf, change = r.change;
    for (int k = 0; k < 6 && n < (1 << 22); ++k) {
        n *= 2;
        const double T = gridMinimumTime(n);
        const double next = std::fabs(T - prev);
        prev = T;
        if (change <= 2e-6 * T && next <= 2e-6 * T) break;
        change = next;
    }
    return prev;
}

// The optimal profile's ds/dt at s, with (ds/dt)^2 interpolated linearly
// between samples (it is close to linear in s over a cell; ds/dt itself grows
// like the root of s out of rest).
double profileSpeedAt(double s)
{
    int i = 0;
    while (i < optimum.nProfile && optimum.profile[i + 1][0] < s) ++i;
    if (i >= optimum.nProfile) return optimum.profile[optimum.nProfile][1];
    const double s0 = optimum.profile[i][0], s1 = optimum.profile[i + 1][0];
    const double f = s1 > s0 ? (s - s0) / (s1 - s0) : 0.0;
    const double w0 = optimum.profile[i][1] * optimum.profile[i][1];
    const double w1 = optimum.profile[i + 1][1] * optimum.profile[i + 1][1];
    return std::sqrt(w0 + f * (w1 - w0));
}

// ---- Against the grid reference on every path of the accuracy table ----

class OptimumCase : public ::testing::TestWithParam<int> {};

std::string optimumCaseName(const ::testing::TestParamInfo<int>& info)
{
    return "Case" + std::to_string(info.param);
}

INSTANTIATE_TEST_SUITE_P(Paths, OptimumCase, ::testing::Range(0, static_cast<int>(reportCases().size())),
                         optimumCaseName);

TEST_P(OptimumCase, TimeAgreesWithTheSettledGridReference)
{
    const PathCase c = reportCases()[GetParam()];
    const double ref = settledReference(c);
    const double tf = solve(c);
    EXPECT_NEAR(tf / ref, 1.0, 1e-5) << caseName(c) << " optimum " << tf << " reference " << ref;
}

// The profile lies under the velocity limit everywhere, starts and ends at
// rest, and its times are the integral of ds / (ds/dt): the chord rule over its
// own samples (exact for constant d2s/dt2 in a cell) agrees to within the
// second-order error of that rule.
TEST_P(OptimumCase, ProfileIsUnderTheLimitAndItsTimesIntegrateIt)
{
    const PathCase c = reportCases()[GetParam()];
    solve(c);
    ASSERT_GT(optimum.nProfile, 100);
    const double sEnd = sim.sEnd[sim.cpType];
    EXPECT_EQ(optimum.profile[0][0], 0.0);
    EXPECT_EQ(optimum.profile[0][1], 0.0);
    EXPECT_EQ(optimum.profile[0][2], 0.0);
    EXPECT_NEAR(optimum.profile[optimum.nProfile][0], sEnd, 1e-12);
    EXPECT_EQ(optimum.profile[optimum.nProfile][1], 0.0);
    EXPECT_DOUBLE_EQ(optimum.profile[optimum.nProfile][2], optimum.tf);
    double chord = 0.0, worstExcess = 0.0;
    for (int i = 0; i < optimum.nProfile; ++i) {
        const double* a = optimum.profile[i];
        const double* b = optimum.profile[i + 1];
        ASSERT_GE(b[0], a[0]) << "s decreases at " << i;
        ASSERT_GE(b[2], a[2]) << "t decreases at " << i;
        if (b[0] > a[0]) chord += 2.0 * (b[0] - a[0]) / (a[1] + b[1]);
        const double w = b[1] * b[1];
        const double lim = velocityLimitSquared(b[0]);
        if (std::isfinite(lim)) worstExcess = std::fmax(worstExcess, w / lim - 1.0);
    }
    EXPECT_LE(worstExcess, 1e-7) << caseName(c);
    EXPECT_NEAR(chord / optimum.tf, 1.0, 2e-5) << caseName(c);
}

// Switching points against the grid reference: where its backward sweep
// lowers the forward sweep (braking) begins at an acceleration-to-braking
// switch and ends where braking meets the limit again (braking to
// acceleration), or at the goal. Same number, same places within a few cells.
TEST_P(OptimumCase, SwitchesAreWhereTheReferenceChangesBetweenBounds)
{
    const PathCase c = reportCases()[GetParam()];
    solve(c);
    const int n = 1 << 15;
    const double sEnd = sim.sEnd[sim.cpType];
    const double ds = sEnd / n;
    std::vector<double> fwd(n + 1, 0.0), fin;
    gridProfile(n, &fin);
    for (int i = 0; i < n; ++i) {  // the forward sweep alone
        double lo = 0.0, hi = 0.0;
        admissibleRange(i * ds, fwd[i], &lo, &hi);
        fwd[i + 1] = std::fmin(velocityLimitSquared((i + 1) * ds), fwd[i] + 2.0 * ds * hi);
    }
    double top = 0.0;
    for (double x : fwd) top = std::fmax(top, x);
    std::vector<double> starts, ends;
    bool braking = false;
    for (int i = 1; i < n; ++i) {
        const bool b = fin[i] < fwd[i] - 1e-6 * top;
        if (b && !braking) starts.push_back(i * ds);
        if (!b && braking) ends.push_back(i * ds);
        braking = b;
    }
    std::vector<double> accToBrake, brakeToAcc;
    for (int k = 0; k < optimum.nSwitch; ++k) {
        if (optimum.sw[k].kind == OPT_ACC_TO_BRAKE) accToBrake.push_back(optimum.sw[k].s);
        if (optimum.sw[k].kind == OPT_BRAKE_TO_ACC) brakeToAcc.push_back(optimum.sw[k].s);
    }
    const double tol = 5e-3 * sEnd;
    ASSERT_EQ(accToBrake.size(), starts.size()) << caseName(c);
    ASSERT_EQ(brakeToAcc.size(), ends.size()) << caseName(c);
    for (size_t k = 0; k < starts.size(); ++k) EXPECT_NEAR(accToBrake[k], starts[k], tol) << caseName(c) << " k=" << k;
    for (size_t k = 0; k < ends.size(); ++k) EXPECT_NEAR(brakeToAcc[k], ends[k], tol) << caseName(c) << " k=" << k;
}

// The switching list is in time order, each entry on the profile, and the
// accelerations just after a switch are those of the bound it switches to.
TEST_P(OptimumCase, SwitchListIsOrderedAndOnTheProfile)
{
    const PathCase c = reportCases()[GetParam()];
    solve(c);
    ASSERT_GE(optimum.nSwitch, 1);
    for (int k = 0; k < optimum.nSwitch; ++k) {
        const OptSwitch& w = optimum.sw[k];
        if (k > 0) {
            EXPECT_GT(w.t, optimum.sw[k - 1].t);
        }
        EXPECT_GT(w.t, 0.0);
        EXPECT_LT(w.t, optimum.tf);
        EXPECT_NEAR(w.v, profileSpeedAt(w.s), 1e-9 * (1.0 + w.v));
        EXPECT_LE(std::fabs(w.ax), sim.xamax * (1.0 + 1e-6));
        EXPECT_LE(std::fabs(w.ay), sim.yamax * (1.0 + 1e-6));
        // One axis at least works at its limit right after any switch.
        EXPECT_NEAR(std::fmax(std::fabs(w.ax) / sim.xamax, std::fabs(w.ay) / sim.yamax), 1.0, 2e-3) << k;
        const OptimumPoint at = optimumAt(w.t);
        EXPECT_NEAR(at.s, w.s, 1e-6 * (1.0 + w.s));
        EXPECT_NEAR(at.v, w.v, 1e-6 * (1.0 + w.v));
    }
    // Kinds alternate between braking and accelerating again, starting and ending with braking.
    EXPECT_EQ(optimum.sw[0].kind, OPT_ACC_TO_BRAKE);
    EXPECT_EQ(optimum.sw[optimum.nSwitch - 1].kind, OPT_ACC_TO_BRAKE);
    for (int k = 1; k < optimum.nSwitch; ++k) EXPECT_NE(optimum.sw[k].kind, optimum.sw[k - 1].kind) << k;
}

// The motion in the time domain: optimumAt every millisecond keeps both axes
// within their limits (+1e-6), and its positions are consistent with its
// accelerations and speed: central differences of x(t) and y(t) give the
// reported axis accelerations, and differences of s(t) the reported ds/dt,
// wherever no switch falls within the stencil.
TEST_P(OptimumCase, MotionKeepsTheLimitsAndMatchesItsOwnPositions)
{
    const PathCase c = reportCases()[GetParam()];
    solve(c);
    const double tf = optimum.tf;
    const double h = 1e-3;
    double worstX = 0.0, worstY = 0.0, worstFd = 0.0, worstV = 0.0;
    int compared = 0;
    for (double t = 0.0; t <= tf; t += h) {
        const OptimumPoint m = optimumAt(t);
        ASSERT_TRUE(std::isfinite(m.s) && std::isfinite(m.ax) && std::isfinite(m.ay)) << t;
        worstX = std::fmax(worstX, std::fabs(m.ax) - sim.xamax);
        worstY = std::fmax(worstY, std::fabs(m.ay) - sim.yamax);
        if (t < 2 * h || t > tf - 2 * h) continue;
        bool nearSwitch = false;
        for (int k = 0; k < optimum.nSwitch; ++k) nearSwitch |= std::fabs(optimum.sw[k].t - t) < 2 * h;
        if (nearSwitch) continue;
        const OptimumPoint a = optimumAt(t - h), b = optimumAt(t + h);
        // A join of the curve's pieces (the U's bend ends, the cam's middle)
        // makes the axis accelerations jump without a switch: skip stencils
        // across a jump.
        if (std::fabs(b.ax - a.ax) > 0.05 * sim.xamax || std::fabs(b.ay - a.ay) > 0.05 * sim.yamax) continue;
        const double fx = (a.x - 2 * m.x + b.x) / (h * h);
        const double fy = (a.y - 2 * m.y + b.y) / (h * h);
        worstFd = std::fmax(worstFd, std::fmax(std::fabs(fx - m.ax) / sim.xamax, std::fabs(fy - m.ay) / sim.yamax));
        worstV = std::fmax(worstV, std::fabs((b.s - a.s) / (2 * h) - m.v) / (1.0 + m.v));
        ++compared;
    }
    EXPECT_LE(worstX, 1e-6) << caseName(c);
    EXPECT_LE(worstY, 1e-6) << caseName(c);
    EXPECT_GT(compared, static_cast<int>(0.5 * tf / h));
    EXPECT_LT(worstFd, 2e-2) << caseName(c);
    EXPECT_LT(worstV, 1e-4) << caseName(c);
}

// The motion in time is continuous and keeps the limits also where the profile
// is integrated along the curve (next to switching points on the limit, at a
// start or end at rest): every 1e-4 s the step of s(t) is the trapezoid of its
// ds/dt (a jump, 6.3e-5 rad on the first path before, would show at once), and the table every 0.01 s, rounded to the
// six decimals the answer key prints, has second differences of x and y within
// the axis limits plus what the rounding can add.
TEST(Optimum, MotionInTimeIsContinuousAndItsTableKeepsTheLimits)
{
    const PathCase cases[] = {{"", CP_ARC, 5.0, 3600.0, 0.5, 100.0},
                              {"", CP_ARC, 4.42883, 2081.11, 16.9127, 96.7446},
                              {"", CP_CAM_ACC, 20.0, 20.0, 100.0, 0.5},
                              {"", CP_CAM_CYCLOID, 0.01, 20.0, 0.5, 0.5},
                              defaultCase(CP_U)};
    for (const PathCase& c : cases) {
        solve(c);
        const double tf = optimum.tf;
        double top = 0.0;
        for (int i = 0; i <= optimum.nProfile; ++i) top = std::fmax(top, optimum.profile[i][1]);
        const double h = 1e-4;
        OptimumPoint prev = optimumAt(0.0);
        double worstStep = 0.0;
        for (int k = 1; k * h <= tf; ++k) {
            const OptimumPoint p = optimumAt(k * h);
            worstStep = std::fmax(worstStep, std::fabs(p.s - prev.s - 0.5 * h * (p.v + prev.v)));
            prev = p;
        }
        // Within about 5e-7 of an end at rest the time along the curve is not
        // resolved below its rounding: 1e-8 of the length scale covers that.
        const double scale = std::fmax(1.0, sim.sEnd[sim.cpType]);
        EXPECT_LE(worstStep, 1e-3 * h * top + 1e-8 * scale) << caseName(c);

        const double dt = 0.01, rounding = 4 * 0.5e-6 / (dt * dt);
        auto printed = [](double v) { return std::round(v * 1e6) / 1e6; };
        double worstX = 0.0, worstY = 0.0;
        OptimumPoint a = optimumAt(0.0), m = optimumAt(dt);
        for (int k = 2; k * dt <= tf; ++k) {
            const OptimumPoint b = optimumAt(k * dt);
            worstX = std::fmax(worstX, std::fabs(printed(a.x) - 2 * printed(m.x) + printed(b.x)) / (dt * dt));
            worstY = std::fmax(worstY, std::fabs(printed(a.y) - 2 * printed(m.y) + printed(b.y)) / (dt * dt));
            a = m;
            m = b;
        }
        EXPECT_LE(worstX, c.xamax * (1 + 1e-6) + rounding) << caseName(c);
        EXPECT_LE(worstY, c.yamax * (1 + 1e-6) + rounding) << caseName(c);
    }
}

// ---- Closed forms and symmetries ----

// Closed forms over a seeded random sample of the accepted ranges (log-uniform
// dimensions 0.01 to 20 m, limits 0.5 to 100 m/s^2).
//
// The constant-acceleration cam (x = s, y'' = +-c with c = 4H/L^2): with
// s1 = yamax / (3 c xamax), if s1 < L/2 the X axis limits up to s1 and the Y axis
// beyond, T = 2 [sqrt(2 s1 / xamax) + (sqrt(L^2/4 - s1^2/3) - sqrt(2/3) s1) / sqrt(yamax / c)];
// otherwise the X axis alone, T = 2 sqrt(L / xamax).
//
// The sine wave with the X axis not limiting: Y runs bang-bang from 0 to A, to
// -A and back to 0, T = (4 + 2 sqrt 2) sqrt(A / yamax), whatever the wavelength.
// X does not limit where the path acceleration of that motion (s = asin(y / A) / k
// on each monotone stretch of y(t)), found here by differences, stays within xamax.
double camClosedForm(double L, double H, double xamax, double yamax)
{
    const double c = 4.0 * H / (L * L);
    const double s1 = yamax / (3.0 * c * xamax);
    if (s1 >= L / 2) return 2.0 * std::sqrt(L / xamax);
    return 2.0 * (std::sqrt(2.0 * s1 / xamax) +
                  (std::sqrt(L * L / 4 - s1 * s1 / 3) - std::sqrt(2.0 / 3.0) * s1) / std::sqrt(yamax / c));
}

// Largest |d2s/dt2| of the sine's motion that Y alone limits.
double sineYOnlyPathAcceleration(double L, double A, double yamax)
{
    const double k = 2.0 * PI / L;
    const double t1 = 2.0 * std::sqrt(A / yamax), t2 = 2.0 * std::sqrt(2.0 * A / yamax);
    auto bang = [yamax](double t, double T, double from, double to) {  // rest to rest from `from` to `to`
        const double d = to > from ? 1.0 : -1.0;
        return t < T / 2 ? from + d * yamax * t * t / 2 : to - d * yamax * (T - t) * (T - t) / 2;
    };
    auto s = [&](double t) {
        auto arc = [A](double y) { return std::asin(std::fmax(-1.0, std::fmin(1.0, y / A))); };
        if (t < t1) return arc(bang(t, t1, 0, A)) / k;
        if (t < t1 + t2) return (PI - arc(bang(t - t1, t2, A, -A))) / k;
        return (2.0 * PI + arc(bang(t - t1 - t2, t1, -A, 0))) / k;
    };
    const double T = 2.0 * t1 + t2, h = T * 1e-4;
    double worst = 0.0;
    for (double t = h; t < T - h; t += h) worst = std::fmax(worst, std::fabs(s(t - h) - 2.0 * s(t) + s(t + h)) / (h * h));
    return worst;
}

TEST(Optimum, ClosedFormsHoldOverTheAcceptedRanges)
{
    std::mt19937 rng(20261208);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto logUniform = [&](double lo, double hi) {
        return std::exp(std::log(lo) + unit(rng) * (std::log(hi) - std::log(lo)));
    };
    double worstCam = 0.0, worstSine = 0.0;
    int sines = 0;
    for (int k = 0; k < 60; ++k) {
        const PathCase cam = {"", CP_CAM_ACC, logUniform(0.01, 20), logUniform(0.01, 20), logUniform(0.5, 100),
                              logUniform(0.5, 100)};
        const double tf = solve(cam);
        const double rel = std::fabs(tf / camClosedForm(cam.a, cam.b, cam.xamax, cam.yamax) - 1.0);
        worstCam = std::fmax(worstCam, rel);
        EXPECT_LE(rel, 1e-6) << caseName(cam);
    }
    for (int k = 0; k < 200 && sines < 30; ++k) {
        const double L = logUniform(0.01, 20), A = logUniform(0.01, 20), yamax = logUniform(0.5, 100);
        const double xamax = 100.0;
        if (sineYOnlyPathAcceleration(L, A, yamax) > 0.9 * xamax) continue;
        ++sines;
        const PathCase sine = {"", CP_SINE, L, A, xamax, yamax};
        const double tf = solve(sine);
        const double rel = std::fabs(tf / ((4.0 + 2.0 * std::sqrt(2.0)) * std::sqrt(A / yamax)) - 1.0);
        worstSine = std::fmax(worstSine, rel);
        EXPECT_LE(rel, 1e-6) << caseName(sine);
    }
    EXPECT_GE(sines, 20);
    std::printf("worst relative error: cam %.2e, sine %.2e over %d\n", worstCam, worstSine, sines);
}

// The quarter circle: the direct time integration of its two halves (RK4 in
// time, with the circle's range written out) gives 2.549288 s at R = 1, a = 1;
// s is the angle, so the time scales as sqrt(R / a).
TEST(Optimum, QuarterCircleMatchesDirectIntegrationAndScales)
{
    const QuarterArcHalves q = quarterArcHalves(1.0, 1.0, 1e-5);
    const double t11 = q.tForward + q.tBackward;
    EXPECT_NEAR(t11, 2.549288, 1e-6);
    const double radiusLimit[][2] = {{1.0, 1.0}, {0.5, 2.0}, {2.0, 0.5}, {1.0, 4.0}, {0.3, 0.7}};
    for (const auto& rl : radiusLimit) {
        const double tf = solve({"", CP_ARC, rl[0], 90.0, rl[1], rl[1]});
        EXPECT_NEAR(tf / (t11 * std::sqrt(rl[0] / rl[1])), 1.0, 1e-6) << "R=" << rl[0] << " a=" << rl[1];
        // One switch, at 45 degrees, where both halves meet.
        ASSERT_EQ(optimum.nSwitch, 1);
        EXPECT_NEAR(optimum.sw[0].s, 0.25 * PI, 1e-6);
        EXPECT_NEAR(optimum.sw[0].t, 0.5 * tf, 1e-6 * tf);
        EXPECT_NEAR(optimum.sw[0].v, q.vForward * std::sqrt(rl[1] / rl[0]), 1e-6);
    }
}

// A path without curvature (rise 1e-9 m) is a straight line along x: the X
// axis alone limits the motion, tf = 2 sqrt(L / xamax), the switch at L / 2.
TEST(Optimum, StraightLineTakesTwiceTheRootOfLengthOverAcceleration)
{
    const PathCase cases[] = {
        {"", CP_CAM_ACC, 0.5, 1e-9, 2.0, 2.0},
        {"", CP_CAM_ACC, 3.0, 1e-9, 0.7, 5.0},
        {"", CP_SINE, 1.0, 1e-9, 3.0, 1.0},
        {"", CP_CAM_CYCLOID, 0.8, 1e-9, 1.5, 2.0},
    };
    for (const PathCase& c : cases) {
        const double tf = solve(c);
        EXPECT_NEAR(tf / (2.0 * std::sqrt(c.a / c.xamax)), 1.0, 1e-7) << caseName(c);
        ASSERT_EQ(optimum.nSwitch, 1) << caseName(c);
        EXPECT_NEAR(optimum.sw[0].s, 0.5 * c.a, 1e-6 * c.a);
        EXPECT_NEAR(std::fabs(optimum.sw[0].ax), c.xamax, 1e-6);
    }
}

// Mirror images: the 90-degree arc with (xamax, yamax) is the same arc run
// backwards with the limits swapped; the U shape and the slalom are symmetric
// about their middle. A rest-to-rest time does not depend on the direction,
// and the switching points of a symmetric path mirror each other in time.
TEST(Optimum, MirroredPathsTakeTheSameTime)
{
    const double a = solve({"", CP_ARC, 0.5, 90.0, 1.0, 3.0});
    const double b = solve({"", CP_ARC, 0.5, 90.0, 3.0, 1.0});
    EXPECT_NEAR(a / b, 1.0, 1e-7);
    const PathCase symmetric[] = {defaultCase(CP_U), defaultCase(CP_SLALOM), {"", CP_U, 0.3, 0.2, 1.0, 4.0},
                                  defaultCase(CP_CAM_CYCLOID)};
    for (const PathCase& c : symmetric) {
        const double tf = solve(c);
        const int n = optimum.nSwitch;
        for (int k = 0; k < n; ++k)
            EXPECT_NEAR(optimum.sw[k].t + optimum.sw[n - 1 - k].t, tf, 1e-6 * tf) << caseName(c) << " k=" << k;
    }
}

// ---- Brute force: no admissible profile is faster ----

// On a few paths the grid reference at a fine grid is the largest admissible
// profile up to its first-order error; the optimal profile lies on it, never
// noticeably above (it would break a limit) nor below (it would waste time).
TEST(Optimum, ProfileFollowsTheLargestAdmissibleProfile)
{
    const PathCase cases[] = {defaultCase(CP_SINE), defaultCase(CP_U), {"", CP_ARC, 0.5, 120.0, 3.0, 1.0},
                              {"", CP_SLALOM, 0.3, 2.0, 1.0, 2.0}};
    for (const PathCase& c : cases) {
        solve(c);
        const int n = 1 << 17;
        std::vector<double> x;
        gridProfile(n, &x);
        const double sEnd = sim.sEnd[sim.cpType];
        double top = 0.0, above = 0.0, below = 0.0;
        for (double w : x) top = std::fmax(top, w);
        for (int i = 0; i <= n; i += 16) {
            const double v = profileSpeedAt(i * sEnd / n);
            above = std::fmax(above, v * v - x[i]);
            below = std::fmax(below, x[i] - v * v);
        }
        EXPECT_LT(above / top, 2e-4) << caseName(c);
        EXPECT_LT(below / top, 2e-4) << caseName(c);
    }
}

// ---- Robustness ----

// The solver leaves every byte of the program state as it found it.
TEST(Optimum, LeavesTheProgramStateUntouched)
{
    preparePath(defaultCase(CP_SLALOM));
    sim.accSign = -1;
    sim.t = 0.37;
    static SimState before;
    before = sim;
    ASSERT_TRUE(computeOptimum());
    EXPECT_EQ(std::memcmp(&before, &sim, sizeof(SimState)), 0);
}

// Paths drawn over the dimensions the dialogue accepts (lengths 0.01 to 20 m,
// arc radius to 5 m and angle to 3600 degrees, slalom radius to 2 m and up to
// 20 semicircles) and limits from 0.01 to 100 m/s^2 (wider than accepted), so
// very unequal limits too: always an answer, finite, and within the error of a
// coarse grid reference.
TEST(Optimum, AnswersOverTheWholeRangeOfEntries)
{
    std::mt19937 rng(20261207);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto logUniform = [&](double lo, double hi) {
        return std::exp(std::log(lo) + unit(rng) * (std::log(hi) - std::log(lo)));
    };
    for (int k = 0; k < 40; ++k) {
        PathCase c;
        c.type = 1 + static_cast<int>(rng() % 6);
        switch (c.type) {
        case CP_ARC: c.a = logUniform(0.01, 5.0); c.b = logUniform(0.01, 3600.0); break;
        case CP_SLALOM: c.a = logUniform(0.01, 2.0); c.b = 1 + static_cast<int>(rng() % 20); break;
        default: c.a = logUniform(0.01, 20.0); c.b = logUniform(0.01, 20.0); break;
        }
        c.xamax = logUniform(0.01, 100.0);
        c.yamax = logUniform(0.01, 100.0);
        preparePath(c);
        ASSERT_TRUE(computeOptimum()) << caseName(c);
        ASSERT_TRUE(std::isfinite(optimum.tf)) << caseName(c);
        ASSERT_LE(optimum.nSwitch, OPT_SWITCH_CAP);
        const double coarse = gridMinimumTime(1 << 14);
        EXPECT_NEAR(optimum.tf / coarse, 1.0, 5e-3) << caseName(c);
        for (int i = 0; i <= optimum.nProfile; ++i) ASSERT_TRUE(std::isfinite(optimum.profile[i][1])) << caseName(c);
    }
}

// A state the solver cannot answer: no answer, the reason, and optimumAt gives
// zeros rather than stale values. A value that is not a number inside the curve
// and a break table that would overflow (a slalom of 257 semicircles, far past
// the accepted 20) fail instead of being taken as admissible or dropped.
TEST(Optimum, RefusesWithItsReasonWhatItCannotAnswer)
{
    struct Broken {
        const char* what;
        PathCase path;
        void (*spoil)();
        OptFailure why;
    };
    const Broken cases[] = {
        {"no path type", defaultCase(CP_ARC), [] { sim.cpType = 0; }, OPT_NO_PATH},
        {"zero limit", defaultCase(CP_ARC), [] { sim.xamax = 0.0; }, OPT_NO_PATH},
        {"NaN limit", defaultCase(CP_ARC), [] { sim.yamax = NAN; }, OPT_NO_PATH},
        {"NaN curvature", defaultCase(CP_CAM_ACC), [] { sim.camA = NAN; }, OPT_NOT_A_NUMBER},
        {"NaN radius", defaultCase(CP_SLALOM), [] { sim.slmR = NAN; }, OPT_NOT_A_NUMBER},
            };
    for (const Broken& b : cases) {
        preparePath(defaultCase(CP_ARC));
        ASSERT_TRUE(computeOptimum());
        preparePath(b.path);
        b.spoil();
        EXPECT_FALSE(computeOptimum()) << b.what;
        EXPECT_FALSE(optimum.ok) << b.what;
        EXPECT_EQ(optimum.failure, b.why) << b.what;
        EXPECT_EQ(optimum.tf, 0.0) << b.what;
        EXPECT_EQ(optimum.nSwitch, 0) << b.what;
        const OptimumPoint p = optimumAt(0.5);
        for (double v : {p.s, p.v, p.x, p.y, p.ax, p.ay}) EXPECT_EQ(v, 0.0) << b.what;
    }
    // A slalom has a join between two semicircles and a zero of y' on each: 256
    // semicircles make 511 breaks, within their table, but touch the velocity
    // limit more often than the switching list holds; 257 make 513 breaks.
    preparePath({"", CP_SLALOM, 0.2, 256.0, 2.0, 2.0});
    EXPECT_FALSE(computeOptimum());
    EXPECT_EQ(optimum.failure, OPT_SWITCHES_FULL);
    preparePath({"", CP_SLALOM, 0.2, 257.0, 2.0, 2.0});
    EXPECT_FALSE(computeOptimum());
    EXPECT_EQ(optimum.failure, OPT_BREAKS_FULL);
}

// Every sign change of a function, including a zero exactly on a scan node,
// against a dense brute-force scan; a touching zero and a stretch of zeros are
// no sign change.
TEST(Optimum, SignChangesAreFoundAlsoOnScanNodes)
{
    using optimum_detail::scanSignChanges;
    auto changes = [](double a, double b, int cells, double (*f)(double)) {
        std::vector<double> found;
        scanSignChanges(a, b, cells, 1e-15, f, [&](double s) { found.push_back(s); });
        return found;
    };
    // 0.25 and 0.5 are nodes of four cells on [0, 1].
    EXPECT_EQ(changes(0.0, 1.0, 4, [](double s) { return s - 0.25; }), std::vector<double>{0.25});
    EXPECT_EQ(changes(0.0, 1.0, 4, [](double s) { return (s - 0.5) * (s - 0.5); }).size(), 0u);
    EXPECT_EQ(changes(0.0, 1.0, 4, [](double s) { return s < 0.25 ? -1.0 : (s > 0.5 ? 1.0 : 0.0); }).size(), 0u);
    const std::vector<double> two = changes(0.0, 1.0, 4, [](double s) { return (s - 0.5) * (s - 0.1); });
    ASSERT_EQ(two.size(), 2u);
    EXPECT_NEAR(two[0], 0.1, 1e-14);
    EXPECT_EQ(two[1], 0.5);
    // Random cubics with roots at least two cells apart, some exactly on nodes,
    // some double (a touch): each simple root found within the bracket width.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    static double r[3];
    const int cells = 16;
    for (int k = 0; k < 300; ++k) {
        const int first = 1 + static_cast<int>(rng() % 3);
        for (int j = 0; j < 3; ++j) {
            const double within = rng() % 3 == 0 ? 0.0 : unit(rng);  // on the node or inside the cell
            r[j] = (first + 4 * j + within) / cells;
        }
        const bool touch = k % 5 == 0;
        if (touch) r[1] = r[0];
        std::vector<double> found =
            changes(0.0, 1.0, cells, [](double s) { return (s - r[0]) * (s - r[1]) * (s - r[2]); });
        const std::vector<double> expected = touch ? std::vector<double>{r[2]} : std::vector<double>{r[0], r[1], r[2]};
        ASSERT_EQ(found.size(), expected.size()) << r[0] << " " << r[1] << " " << r[2];
        for (size_t i = 0; i < found.size(); ++i) EXPECT_NEAR(found[i], expected[i], 1e-12);
    }
}

}  // namespace
