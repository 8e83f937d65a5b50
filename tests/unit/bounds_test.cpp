// Admissible path acceleration against a brute-force search over d2s/dt2, and
// the Runge-Kutta-Gill step against exact solutions and its order of convergence.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/state.h"
#include "path/curves.h"
#include "planner/bounds.h"
#include "test_support.h"

namespace {

const double kPi = 3.14159265358979;
const int kTypes[] = {CP_ARC, CP_SINE, CP_U, CP_SLALOM, CP_CAM_ACC, CP_CAM_CYCLOID};

// Both axis limits hold for the motion (s, v, u), judged by the curve's own
// conversion into axis accelerations.
bool admissible(double s, double v, double u)
{
    double acc[3];
    cpAxisAcc(s, v, u, acc);
    return std::fabs(acc[1]) <= sim.xamax && std::fabs(acc[2]) <= sim.yamax;
}

struct Range {
    bool found;
    double lo, hi;
};

// Worst axis usage at (s, v, u): max(|x''| / xamax, |y''| / yamax), convex in u.
double usage(double s, double v, double u)
{
    double acc[3];
    cpAxisAcc(s, v, u, acc);
    return std::fmax(std::fabs(acc[1]) / sim.xamax, std::fabs(acc[2]) / sim.yamax);
}

// The admissible interval of u at (s, v): a ternary search finds the u of least
// axis usage (admissible iff that usage is at most 1), bisection then finds both edges.
Range bruteForceRange(double s, double v, double uMax)
{
    double l = -uMax, r = uMax;
    for (int it = 0; it < 300; ++it) {
        const double m1 = l + (r - l) / 3, m2 = r - (r - l) / 3;
        if (usage(s, v, m1) < usage(s, v, m2))
            r = m2;
        else
            l = m1;
    }
    const double inside = 0.5 * (l + r);
    if (!admissible(s, v, inside)) return {false, 0, 0};
    double a = inside, b = uMax * 4;  // a admissible, b not
    EXPECT_FALSE(admissible(s, v, b)) << "scan range too small at s " << s;
    for (int it = 0; it < 200 && b - a > 1e-13 * (1 + std::fabs(a)); ++it) {
        const double mid = 0.5 * (a + b);
        (admissible(s, v, mid) ? a : b) = mid;
    }
    const double hi = a;
    a = inside;
    b = -uMax * 4;
    EXPECT_FALSE(admissible(s, v, b)) << "scan range too small at s " << s;
    for (int it = 0; it < 200 && a - b > 1e-13 * (1 + std::fabs(a)); ++it) {
        const double mid = 0.5 * (a + b);
        (admissible(s, v, mid) ? a : b) = mid;
    }
    return {true, a, hi};
}

// Keeps samples away from the points where a divisor guard changes the result.
bool clearOfGuards(int type, double s)
{
    const double m = 1e-3;
    switch (type) {
    case CP_ARC:
        return std::fabs(std::sin(s)) > m && std::fabs(std::cos(s)) > m;
    case CP_U: {
        if (s < sim.uL || s >= sim.sEnd[CP_U] - sim.uL) return true;
        const double th = (s - sim.uL) / sim.uR;
        return std::fabs(std::sin(th)) > m && std::fabs(std::cos(th)) > m;
    }
    case CP_SLALOM:  // only the sine of the local angle is guarded
        return std::fabs(std::sin(std::fmod(s, kPi))) > m;
    default: {
        CurveDerivs d;
        cpDerivatives(s, &d);
        return std::fabs(d.y1) > m;
    }
    }
}

// The velocity limit at s in closed form: the X and Y ranges of u overlap while
// the normal acceleration fits what the two axes can supply together.
double limitAt(int type, double s)
{
    const double xa = sim.xamax, ya = sim.yamax;
    switch (type) {
    case CP_ARC:
        return std::sqrt((xa * std::fabs(std::cos(s)) + ya * std::fabs(std::sin(s))) / sim.arcR);
    case CP_SLALOM: {
        const double phi = std::fmod(s, kPi);
        return std::sqrt((xa * std::fabs(std::cos(phi)) + ya * std::fabs(std::sin(phi))) / sim.slmR);
    }
    case CP_U: {
        if (s < sim.uL || s >= sim.sEnd[CP_U] - sim.uL) return INFINITY;
        const double th = (s - sim.uL) / sim.uR;
        return std::sqrt((xa * std::fabs(std::cos(th)) + ya * std::fabs(std::sin(th))) * sim.uR);
    }
    default: {  // x' = 1, x'' = 0: min over |u| <= xa of |y' u + y'' w| must not exceed ya
        CurveDerivs d;
        cpDerivatives(s, &d);
        return std::sqrt((ya + std::fabs(d.y1) * xa) / std::fabs(d.y2));
    }
    }
}

void checkAgainstBruteForce(int type, unsigned seed)
{
    sim.cpType = type;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> us(0.0, 1.0);
    int checked = 0, infeasible = 0;
    for (int n = 0; n < 300; ++n) {
        const double s = us(rng) * sim.sEnd[type];
        if (!clearOfGuards(type, s)) continue;
        const double vlim = limitAt(type, s);
        const double v = std::fmin(vlim, 20.0) * (0.02 + 1.1 * us(rng));
        const Range r = bruteForceRange(s, v, 2000.0);
        // The closed-form limit and the brute force agree about feasibility.
        if (v < 0.999 * vlim) {
            EXPECT_TRUE(r.found) << "type " << type << " s " << s << " v " << v;
        } else if (v > 1.001 * vlim) {
            EXPECT_FALSE(r.found) << "type " << type << " s " << s << " v " << v;
        }
        if (!r.found) {
            ++infeasible;
            continue;
        }
        if (r.hi - r.lo < 1e-6) continue;  // at the limit itself the edges are ill-conditioned
        const double y[2] = {s, v};
        double accP[3], accM[3];
        sim.accSign = +1;
        const double uP = phaseRhs(1, 0.0, y, accP);
        sim.accSign = -1;
        const double uM = phaseRhs(1, 0.0, y, accM);
        const double tol = 1e-8 * (1 + std::fabs(r.hi) + std::fabs(r.lo));
        EXPECT_NEAR(uP, r.hi, tol) << "type " << type << " s " << s << " v " << v;
        EXPECT_NEAR(uM, r.lo, tol) << "type " << type << " s " << s << " v " << v;
        // The record is the conversion of the chosen u, and keeps both limits.
        double ref[3];
        cpAxisAcc(s, v, uP, ref);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(accP[c], ref[c], 1e-9 * (1 + std::fabs(ref[c]))) << c;
        cpAxisAcc(s, v, uM, ref);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(accM[c], ref[c], 1e-9 * (1 + std::fabs(ref[c]))) << c;
        EXPECT_LE(std::fabs(accP[1]), sim.xamax + 1e-9);
        EXPECT_LE(std::fabs(accP[2]), sim.yamax + 1e-9);
        EXPECT_LE(std::fabs(accM[1]), sim.xamax + 1e-9);
        EXPECT_LE(std::fabs(accM[2]), sim.yamax + 1e-9);
        ++checked;
    }
    EXPECT_GT(checked, 80) << "type " << type << " (" << infeasible << " above the limit)";
}

// Range ends of one axis from the linearity of the axis acceleration in u:
// the conversion at u = 0 and u = 1 gives intercept and slope.
void axisEnds(double s, double v, int axis, double amax, double* lo, double* hi)
{
    double a0[3], a1[3];
    cpAxisAcc(s, v, 0.0, a0);
    cpAxisAcc(s, v, 1.0, a1);
    const double slope = a1[axis] - a0[axis];
    const double e1 = (amax - a0[axis]) / slope, e2 = (-amax - a0[axis]) / slope;
    *lo = std::fmin(e1, e2);
    *hi = std::fmax(e1, e2);
}

}  // namespace

TEST(PhaseRhs, ExtremeAdmissibleAccelerationWithDefaults)
{
    freshDefaults();
    for (int type : kTypes) checkAgainstBruteForce(type, 1000 + type);
}

TEST(PhaseRhs, ExtremeAdmissibleAccelerationWithOtherLimitsAndDimensions)
{
    freshDefaults();
    sim.xamax = 3.0;
    sim.yamax = 1.2;
    sim.arcR = 0.8;
    sim.sEnd[CP_ARC] = 300 * DEG2RAD;
    sim.sinL = 0.7;
    sim.sinA = 0.2;
    sim.uL = 0.2;
    sim.uR = 0.25;
    sim.slmR = 0.15;
    sim.slmN = 5;
    sim.camL = 0.9;
    sim.camH = 0.35;
    sim.cycL = 0.6;
    sim.cycH = 0.8;
    for (int type : kTypes) updateTypeTables(type);
    for (int type : kTypes) checkAgainstBruteForce(type, 2000 + type);
}

// Above the velocity limit no u keeps both axes; both signs take the larger lower end.
TEST(PhaseRhs, AboveTheLimitBothSignsAgree)
{
    freshDefaults();
    std::mt19937 rng(77);
    std::uniform_real_distribution<double> us(0.0, 1.0);
    for (int type : {CP_ARC, CP_SINE, CP_SLALOM, CP_CAM_ACC, CP_CAM_CYCLOID, CP_U}) {
        sim.cpType = type;
        int checked = 0;
        for (int n = 0; n < 200; ++n) {
            double s = us(rng) * sim.sEnd[type];
            if (type == CP_U) s = sim.uL + us(rng) * sim.uArc;  // only the bend has a limit
            if (!clearOfGuards(type, s)) continue;
            const double vlim = limitAt(type, s);
            if (!(vlim < 20.0)) continue;
            const double v = vlim * (1.05 + us(rng));
            if (bruteForceRange(s, v, 2000.0).found) continue;
            const double y[2] = {s, v};
            double acc[3];
            sim.accSign = +1;
            const double uP = phaseRhs(1, 0.0, y, acc);
            sim.accSign = -1;
            const double uM = phaseRhs(1, 0.0, y, acc);
            EXPECT_EQ(uP, uM) << "type " << type << " s " << s << " v " << v;
            double xlo, xhi, ylo, yhi;
            axisEnds(s, v, 1, sim.xamax, &xlo, &xhi);
            axisEnds(s, v, 2, sim.yamax, &ylo, &yhi);
            const double larger = std::fmax(xlo, ylo);
            EXPECT_NEAR(uP, larger, 1e-7 * (1 + std::fabs(larger))) << "type " << type << " s " << s;
            ++checked;
        }
        EXPECT_GT(checked, 50) << type;
    }
}

TEST(PhaseRhs, ModeZeroReturnsTheVelocityAndLeavesTheRecord)
{
    freshDefaults();
    for (int type : kTypes) {
        sim.cpType = type;
        for (int sign : {+1, -1}) {
            sim.accSign = sign;
            double acc[3] = {11, 22, 33};
            const double y[2] = {0.2, -0.75};
            EXPECT_EQ(phaseRhs(0, 3.0, y, acc), -0.75);
            EXPECT_EQ(acc[0], 11);
            EXPECT_EQ(acc[1], 22);
            EXPECT_EQ(acc[2], 33);
        }
    }
}

TEST(PhaseRhs, ArcAtRestAtTheStart)
{
    freshDefaults();
    sim.cpType = CP_ARC;
    const double y[2] = {0.0, 0.0};
    double acc[3];
    sim.accSign = +1;
    EXPECT_NEAR(phaseRhs(1, 0.0, y, acc), sim.yamax / sim.arcR, 1e-9);
    EXPECT_NEAR(acc[0], sim.yamax, 1e-9);
    EXPECT_NEAR(acc[1], 0.0, 1e-4);  // the guarded sine leaves a trace of R u 1e-05
    EXPECT_NEAR(acc[2], sim.yamax, 1e-9);
    sim.accSign = -1;
    EXPECT_NEAR(phaseRhs(1, 0.0, y, acc), -sim.yamax / sim.arcR, 1e-9);
    EXPECT_NEAR(acc[2], -sim.yamax, 1e-9);
    // The time argument is not used.
    sim.accSign = +1;
    EXPECT_EQ(phaseRhs(1, 123.0, y, acc), phaseRhs(1, 0.0, y, acc));
}

TEST(PhaseRhs, UShapeStraightsUseTheFullYLimit)
{
    freshDefaults();
    sim.cpType = CP_U;
    sim.yamax = 1.7;
    const double S = sim.sEnd[CP_U];
    for (double s : {0.0, 0.1, sim.uL - 1e-9, S - sim.uL, S - 0.1, S, S + 0.3}) {
        for (double v : {0.0, 0.5, 3.0, 40.0}) {
            const double y[2] = {s, v};
            const bool first = s < sim.uL;
            for (int sign : {+1, -1}) {
                sim.accSign = sign;
                double acc[3];
                const double u = phaseRhs(1, 0.0, y, acc);
                EXPECT_EQ(u, sign * 1.7) << s << " " << v;
                EXPECT_EQ(acc[0], u);
                EXPECT_EQ(acc[1], 0.0);
                EXPECT_EQ(acc[2], first ? u : -u) << s;
            }
        }
    }
}

TEST(PhaseRhs, CycloidCamAtRestTakesTheXLimit)
{
    freshDefaults();
    sim.cpType = CP_CAM_CYCLOID;
    sim.xamax = 1.3;
    const double y[2] = {0.0, 0.0};
    double acc[3];
    sim.accSign = +1;
    EXPECT_EQ(phaseRhs(1, 0.0, y, acc), 1.3);
    EXPECT_EQ(acc[1], 1.3);
    sim.accSign = -1;
    EXPECT_EQ(phaseRhs(1, 0.0, y, acc), -1.3);
    EXPECT_EQ(acc[1], -1.3);
    // With a speed the [-1000, 1000] Y range still leaves the X limit in charge.
    const double y2[2] = {0.0, 2.0};
    sim.accSign = +1;
    EXPECT_EQ(phaseRhs(1, 0.0, y2, acc), 1.3);
}

// The slalom guards only sin(phi): next to cos(phi) = 0 the Y range keeps its
// true, very wide ends, which decide the value above the limit there.
TEST(PhaseRhs, SlalomCosineIsNotGuarded)
{
    freshDefaults();
    sim.cpType = CP_SLALOM;
    for (int k : {0, 1, 2}) {
        const double s = k * kPi + kPi / 2 - 1e-7;  // cos(phi) about 1e-07
        const double vlim = std::sqrt(sim.yamax / sim.slmR);
        for (double f : {0.999, 1.00001, 1.01}) {
            const double v = vlim * f;
            const double y[2] = {s, v};
            double acc[3];
            sim.accSign = +1;
            const double uP = phaseRhs(1, 0.0, y, acc);
            sim.accSign = -1;
            const double uM = phaseRhs(1, 0.0, y, acc);
            const Range r = bruteForceRange(s, v, 2000.0);
            if (r.found) {
                EXPECT_NEAR(uP, r.hi, 1e-6 * (1 + std::fabs(r.hi))) << k << " " << f;
                EXPECT_NEAR(uM, r.lo, 1e-6 * (1 + std::fabs(r.lo))) << k << " " << f;
            } else {
                double xlo, xhi, ylo, yhi;
                axisEnds(s, v, 1, sim.xamax, &xlo, &xhi);
                axisEnds(s, v, 2, sim.yamax, &ylo, &yhi);
                const double larger = std::fmax(xlo, ylo);
                EXPECT_NEAR(uP, larger, 1e-5 * (1 + std::fabs(larger))) << k << " " << f;
                EXPECT_EQ(uP, uM);
            }
        }
    }
}

TEST(RangeIntersect, EndsInEitherOrder)
{
    double hi, lo;
    rangeIntersect(3, -1, 0, 5, &hi, &lo);
    EXPECT_EQ(hi, 3);
    EXPECT_EQ(lo, 0);
    rangeIntersect(-1, 3, 5, 0, &hi, &lo);
    EXPECT_EQ(hi, 3);
    EXPECT_EQ(lo, 0);
    rangeIntersect(-2, -4, 1, 2, &hi, &lo);  // disjoint: lo > hi
    EXPECT_EQ(hi, -2);
    EXPECT_EQ(lo, 1);
    EXPECT_GT(lo, hi);
    rangeIntersect(-10, 10, 2, 1, &hi, &lo);  // nested
    EXPECT_EQ(hi, 2);
    EXPECT_EQ(lo, 1);
}

// A constant d2s/dt2 (U-shape straights) is integrated exactly: s gains v h + u h^2/2.
TEST(RkgStep, ExactForConstantAccelerationBothDirections)
{
    freshDefaults();
    sim.cpType = CP_U;
    sim.yamax = 2.0;
    struct Case {
        double s, v, h;
        int sign;
    };
    const double S = sim.sEnd[CP_U];
    const Case cases[] = {
        {0.05, 0.0, 0.01, +1}, {0.1, 0.7, 0.02, -1},   {0.2, 1.1, -0.01, +1},
        {0.3, 0.4, -0.02, -1}, {S - 0.3, 1.0, 0.01, -1}, {S - 0.2, 0.3, -0.015, -1},
    };
    for (const Case& c : cases) {
        sim.accSign = c.sign;
        const double u = c.sign * 2.0;
        const double y[2] = {c.s, c.v};
        double yn[2], acc[3];
        rkgStep(0.0, c.h, y, yn, acc, 2);
        EXPECT_NEAR(yn[0], c.s + c.v * c.h + 0.5 * u * c.h * c.h, 1e-9 * std::fabs(c.h)) << c.s;
        EXPECT_NEAR(yn[1], c.v + u * c.h, 1e-8 * std::fabs(c.h)) << c.s;
        EXPECT_EQ(y[0], c.s);  // the input is not changed
        EXPECT_EQ(acc[0], u);
        // Many steps forward, then as many back, return to the start.
        double z[2] = {c.s, c.v};
        for (int k = 0; k < 5; ++k) {
            rkgStep(0.0, c.h * 0.2, z, yn, acc, 2);
            z[0] = yn[0];
            z[1] = yn[1];
        }
        const double T = c.h;
        EXPECT_NEAR(z[0], c.s + c.v * T + 0.5 * u * T * T, 1e-8 * std::fabs(T));
        for (int k = 0; k < 5; ++k) {
            rkgStep(0.0, -c.h * 0.2, z, yn, acc, 2);
            z[0] = yn[0];
            z[1] = yn[1];
        }
        EXPECT_NEAR(z[0], c.s, 1e-9);
        EXPECT_NEAR(z[1], c.v, 1e-9);
    }
}

// Fourth order: halving h divides the error against a much finer run by about 16.
TEST(RkgStep, FourthOrderOnTheArc)
{
    freshDefaults();
    sim.cpType = CP_ARC;
    sim.accSign = +1;
    const double y0[2] = {0.4, 0.3};
    const double T = 0.16;

    auto run = [&](int steps, double out[2]) {
        double z[2] = {y0[0], y0[1]}, zn[2], acc[3];
        const double h = T / steps;
        for (int k = 0; k < steps; ++k) {
            rkgStep(k * h, h, z, zn, acc, 2);
            z[0] = zn[0];
            z[1] = zn[1];
        }
        out[0] = z[0];
        out[1] = z[1];
    };

    // The binding constraint must not change along the run (smooth right-hand side):
    // check that the X limit binds for accSign +1 all along, via the record.
    {
        double z[2] = {y0[0], y0[1]}, zn[2], acc[3];
        int firstMode = -1;
        for (int k = 0; k < 160; ++k) {
            rkgStep(k * 0.001, 0.001, z, zn, acc, 2);
            z[0] = zn[0];
            z[1] = zn[1];
            const double y[2] = {z[0], z[1]};
            double a[3];
            phaseRhs(1, 0.0, y, a);
            const bool xBinds = std::fabs(std::fabs(a[1]) - sim.xamax) < 1e-9;
            const bool yBinds = std::fabs(std::fabs(a[2]) - sim.yamax) < 1e-9;
            ASSERT_TRUE(xBinds != yBinds) << "one constraint binds, step " << k;
            if (firstMode < 0) firstMode = xBinds ? 1 : 0;
            ASSERT_EQ(xBinds ? 1 : 0, firstMode) << "binding constraint changes at step " << k;
        }
    }

    double ref[2], a4[2], a8[2], a16[2];
    run(4096, ref);
    run(4, a4);
    run(8, a8);
    run(16, a16);
    const double e4 = std::hypot(a4[0] - ref[0], a4[1] - ref[1]);
    const double e8 = std::hypot(a8[0] - ref[0], a8[1] - ref[1]);
    const double e16 = std::hypot(a16[0] - ref[0], a16[1] - ref[1]);
    EXPECT_GT(e4, 1e-11) << "the test needs a measurable error";
    EXPECT_NEAR(e4 / e8, 16.0, 3.0) << e4 << " " << e8;
    EXPECT_NEAR(e8 / e16, 16.0, 3.0) << e8 << " " << e16;
}

// The record after a step is that of the last evaluation of component 1.
TEST(RkgStep, RecordIsOneOfThePathAccelerationEvaluations)
{
    freshDefaults();
    sim.cpType = CP_U;
    sim.accSign = +1;
    // A step that starts on the first straight and ends in the bend: the record
    // must show the bend (X axis in use), not the straight.
    const double y[2] = {sim.uL - 0.001, 1.0};
    double yn[2], acc[3] = {0, 0, 0};
    rkgStep(0.0, 0.01, y, yn, acc, 2);
    EXPECT_GT(yn[0], sim.uL);
    EXPECT_NE(acc[1], 0.0);
    // And one that stays on the straight shows the straight.
    const double y2[2] = {0.1, 1.0};
    rkgStep(0.0, 0.01, y2, yn, acc, 2);
    EXPECT_EQ(acc[1], 0.0);
    EXPECT_EQ(acc[2], 2.0);
}
