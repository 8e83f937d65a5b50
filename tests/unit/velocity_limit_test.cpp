// The velocity limit table: feasibility just below and just above each entry,
// scaling with the limits, entry counts and the table bound.
#include <gtest/gtest.h>

#include <cmath>

#include "core/state.h"
#include "path/curves.h"
#include "path/velocity_limit.h"
#include "planner/bounds.h"
#include "test_support.h"

namespace {

const double kPi = 3.14159265358979;

// Whether a path acceleration exists at (s, v): the upper end for +1 is not below
// the lower end for -1 (above the limit both collapse to the same value).
double spread(double s, double v)
{
    const double y[2] = {s, v};
    double acc[3];
    sim.accSign = +1;
    const double hi = phaseRhs(1, 0.0, y, acc);
    sim.accSign = -1;
    const double lo = phaseRhs(1, 0.0, y, acc);
    return hi - lo;
}

// Circle angle of an entry, to keep the check away from the divisor guards.
bool clearOfGuards(int type, double s)
{
    const double m = 1e-3;
    double th = s;
    if (type == CP_U) th = (s - sim.uL) / sim.uR;
    if (type == CP_SLALOM) th = std::fmod(s, kPi);
    switch (type) {
    case CP_ARC:
    case CP_U:
        return std::fabs(std::sin(th)) > m && std::fabs(std::cos(th)) > m;
    case CP_SLALOM:
        return std::fabs(std::sin(th)) > m;
    default: {
        CurveDerivs d;
        cpDerivatives(s, &d);
        return std::fabs(d.y1) > m && std::fabs(d.y2) > m;
    }
    }
}

void checkEntriesAgainstTheBounds(int type)
{
    sim.cpType = type;
    makeVelocityLimit();
    int checked = 0;
    for (int i = 0; i <= sim.vLimitLast; ++i) {
        const double s = sim.vLimit[i][0], v = sim.vLimit[i][1];
        if (!std::isfinite(v) || v >= 100.0) continue;
        if (s > sim.sEnd[type]) continue;
        if (type == CP_U && (s <= sim.uL || s >= sim.sEnd[CP_U] - sim.uL)) continue;
        if (!clearOfGuards(type, s)) continue;
        EXPECT_GT(spread(s, 0.995 * v), 0.0) << "type " << type << " entry " << i << " s " << s;
        EXPECT_EQ(spread(s, 1.005 * v), 0.0) << "type " << type << " entry " << i << " s " << s;
        ++checked;
    }
    EXPECT_GT(checked, 20) << type;
}

}  // namespace

TEST(VelocityLimit, EntriesSeparateFeasibleFromInfeasible)
{
    freshDefaults();
    for (int type : {CP_ARC, CP_SINE, CP_U, CP_SLALOM, CP_CAM_ACC, CP_CAM_CYCLOID})
        checkEntriesAgainstTheBounds(type);
}

TEST(VelocityLimit, EntriesSeparateFeasibleFromInfeasibleWithOtherLimits)
{
    freshDefaults();
    sim.xamax = 0.8;
    sim.yamax = 3.5;
    sim.arcR = 1.2;
    sim.sEnd[CP_ARC] = 270 * DEG2RAD;
    sim.sinL = 1.4;
    sim.sinA = 0.3;
    sim.uL = 0.1;
    sim.uR = 0.6;
    sim.slmR = 0.35;
    sim.slmN = 2;
    sim.camL = 0.7;
    sim.camH = 0.9;
    sim.cycL = 1.1;
    sim.cycH = 0.2;
    for (int type = 1; type <= 6; ++type) updateTypeTables(type);
    for (int type : {CP_ARC, CP_SINE, CP_U, CP_SLALOM, CP_CAM_ACC, CP_CAM_CYCLOID})
        checkEntriesAgainstTheBounds(type);
}

TEST(VelocityLimit, SamplingStepsAndEndEntries)
{
    freshDefaults();
    const double step = kPi / 100;

    sim.cpType = CP_ARC;  // 90 degrees: 51 entries, the last at pi/2
    makeVelocityLimit();
    EXPECT_EQ(sim.vLimitLast, 50);
    EXPECT_NEAR(sim.vLimit[50][0], kPi / 2, 1e-12);
    for (int i = 0; i <= 50; ++i) EXPECT_NEAR(sim.vLimit[i][0], i * step, 1e-13) << i;
    EXPECT_NEAR(sim.vLimit[0][1], 2.0, 1e-12);   // sqrt(xamax / R)
    EXPECT_NEAR(sim.vLimit[25][1], std::sqrt((2 * std::cos(kPi / 4) + 2 * std::sin(kPi / 4)) / 0.5), 1e-12);

    sim.cpType = CP_SLALOM;  // 3 semicircles: entries 0..300 over 0..3pi
    makeVelocityLimit();
    EXPECT_EQ(sim.vLimitLast, 300);
    EXPECT_NEAR(sim.vLimit[0][0], 0.0, 1e-12);
    EXPECT_NEAR(sim.vLimit[300][0], 3 * kPi, 1e-12);
    for (int i = 1; i <= 300; ++i) EXPECT_GT(sim.vLimit[i][0], sim.vLimit[i - 1][0]) << i;
    // Every semicircle has the same profile.
    for (int i = 0; i <= 100; ++i) {
        EXPECT_NEAR(sim.vLimit[i][1], sim.vLimit[i + 100][1], 1e-12) << i;
        EXPECT_NEAR(sim.vLimit[i][1], sim.vLimit[i + 200][1], 1e-12) << i;
    }

    sim.cpType = CP_SINE;  // steps of 0.01, first entry unlimited (y'' = 0)
    makeVelocityLimit();
    EXPECT_EQ(sim.vLimitLast, 100);
    EXPECT_TRUE(std::isinf(sim.vLimit[0][1]));
    EXPECT_NEAR(sim.vLimit[100][0], 1.0, 1e-12);
    EXPECT_NEAR(sim.vLimit[37][0], 0.37, 1e-12);
    // At the crest y' = 0 and the limit is sqrt(yamax / |y''|).
    EXPECT_NEAR(sim.vLimit[25][1], std::sqrt(2.0 / (0.5 * 4 * kPi * kPi)), 1e-6);

    sim.cpType = CP_CAM_ACC;  // finite start sqrt(yamax / camA)
    makeVelocityLimit();
    EXPECT_EQ(sim.vLimitLast, 50);
    EXPECT_NEAR(sim.vLimit[0][1], std::sqrt(2.0 / 8.0), 1e-12);
    EXPECT_NEAR(sim.vLimit[50][0], 0.5, 1e-12);

    sim.cpType = CP_CAM_CYCLOID;  // y'' = 0 at the start: unlimited
    makeVelocityLimit();
    EXPECT_EQ(sim.vLimitLast, 50);
    EXPECT_TRUE(std::isinf(sim.vLimit[0][1]));
}

TEST(VelocityLimit, UShapeBendBetweenTwoMarkers)
{
    freshDefaults();
    sim.cpType = CP_U;
    makeVelocityLimit();
    const int last = sim.vLimitLast;
    EXPECT_EQ(last, 102);  // marker, 101 bend samples (theta = 0 .. pi), marker
    EXPECT_EQ(sim.vLimit[0][0], sim.uL);
    EXPECT_EQ(sim.vLimit[0][1], 100.0);
    EXPECT_EQ(sim.vLimit[last][1], 100.0);
    EXPECT_EQ(sim.vLimit[last][0], sim.vLimit[last - 1][0]);
    EXPECT_NEAR(sim.vLimit[last][0], sim.uL + sim.uArc, 1e-12);
    for (int i = 1; i < last; ++i) {
        const double th = (i - 1) * kPi / 100;
        EXPECT_NEAR(sim.vLimit[i][0], sim.uL + sim.uR * th, 1e-12) << i;
        EXPECT_NEAR(sim.vLimit[i][1],
                    std::sqrt((2 * std::fabs(std::cos(th)) + 2 * std::fabs(std::sin(th))) * sim.uR), 1e-12)
            << i;
    }
}

TEST(VelocityLimit, DoublingBothLimitsScalesBySqrtTwo)
{
    for (int type : {CP_ARC, CP_SINE, CP_U, CP_SLALOM, CP_CAM_ACC, CP_CAM_CYCLOID}) {
        freshDefaults();
        sim.cpType = type;
        sim.xamax = 1.5;
        sim.yamax = 0.7;
        makeVelocityLimit();
        static double before[VLIMIT_CAP][2];
        const int n = sim.vLimitLast;
        for (int i = 0; i <= n; ++i) {
            before[i][0] = sim.vLimit[i][0];
            before[i][1] = sim.vLimit[i][1];
        }
        sim.xamax = 3.0;
        sim.yamax = 1.4;
        makeVelocityLimit();
        ASSERT_EQ(sim.vLimitLast, n) << type;
        int scaled = 0;
        for (int i = 0; i <= n; ++i) {
            EXPECT_EQ(sim.vLimit[i][0], before[i][0]) << type << " " << i;
            if (type == CP_U && (i == 0 || i == n)) {
                EXPECT_EQ(sim.vLimit[i][1], 100.0);  // the markers do not scale
                continue;
            }
            if (!std::isfinite(before[i][1])) continue;
            EXPECT_NEAR(sim.vLimit[i][1], std::sqrt(2.0) * before[i][1], 1e-9 * before[i][1])
                << type << " " << i;
            ++scaled;
        }
        EXPECT_GT(scaled, 40) << type;
    }
}

// Paths that would need more than 2001 samples stop at the table's last entry.
TEST(VelocityLimit, NeverWritesPastTheTable)
{
    struct Case {
        int type;
        void (*setup)();
    };
    const Case cases[] = {
        {CP_SINE, [] { sim.sinL = 30.0; }},
        {CP_CAM_ACC, [] { sim.camL = 25.0; }},
        {CP_CAM_CYCLOID, [] { sim.cycL = 40.0; }},
        {CP_ARC, [] { sim.sEnd[CP_ARC] = 25 * 2 * kPi; }},
        {CP_SLALOM, [] { sim.slmN = 25; }},
    };
    for (const Case& c : cases) {
        freshDefaults();
        c.setup();
        updateTypeTables(c.type);
        sim.cpType = c.type;
        // The field laid out right after the table and its counter.
        sim.finalXY[0][0] = 1234.5;
        sim.finalXY[0][1] = -4321.5;
        makeVelocityLimit();
        EXPECT_LE(sim.vLimitLast, VLIMIT_CAP - 1) << c.type;
        EXPECT_GE(sim.vLimitLast, 1000) << c.type;
        EXPECT_EQ(sim.finalXY[0][0], 1234.5) << c.type;
        EXPECT_EQ(sim.finalXY[0][1], -4321.5) << c.type;
        for (int i = 1; i <= sim.vLimitLast; ++i)
            ASSERT_GE(sim.vLimit[i][0], sim.vLimit[i - 1][0]) << c.type << " entry " << i;
    }
}
