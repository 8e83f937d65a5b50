// The program-wide state: its load-time contents, the defaults and the per-type rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/state.h"
#include "test_support.h"

namespace {

// A second instance in static storage: zero-filled first, then given the
// initializers of the type, exactly as the program's own instance at load.
SimState loadedImage;

constexpr double kTight = 1e-12;

}  // namespace

TEST(StateAtLoad, EverythingIsZeroExceptTheTwoConstants)
{
    EXPECT_DOUBLE_EQ(loadedImage.dt0, 0.01);
    EXPECT_EQ(loadedImage.stepMax, 800);

    // Blank out the two constants; every remaining byte must be zero.
    static SimState copy;
    std::memcpy(static_cast<void*>(&copy), static_cast<const void*>(&loadedImage), sizeof copy);
    copy.dt0 = 0.0;
    copy.stepMax = 0;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&copy);
    size_t firstNonZero = sizeof copy;
    for (size_t i = 0; i < sizeof copy; ++i) {
        if (bytes[i] != 0) {
            firstNonZero = i;
            break;
        }
    }
    EXPECT_EQ(firstNonZero, sizeof copy) << "non-zero byte at offset " << firstNonZero;

    // A value-initialised instance agrees field by field on a sample of sections.
    static const SimState v{};
    EXPECT_EQ(v.cpType, 0);
    EXPECT_EQ(v.xamax, 0.0);
    EXPECT_EQ(v.dt, 0.0);
    EXPECT_EQ(v.nSub, 0);
    EXPECT_EQ(v.lastKey, 0);
    EXPECT_EQ(v.sEnd[CP_ARC], 0.0);
    EXPECT_EQ(v.phase[TRAJ_CAP - 1][1], 0.0);
    EXPECT_EQ(v.dt0, 0.01);
    EXPECT_EQ(v.stepMax, 800);
}

TEST(StateConstants, LiteralValues)
{
    EXPECT_EQ(PI, 3.14159265358979);
    EXPECT_EQ(RAD2DEG, 57.2957795);
    EXPECT_EQ(DEG2RAD, 0.0174532925);
    EXPECT_EQ(EPS_DIV, 1e-05);
    EXPECT_EQ(PARALLEL_EPS, 0.0001);
    EXPECT_EQ(TRAJ_CAP, 2001);
    EXPECT_EQ(CURVE_CAP, 3001);
    EXPECT_EQ(VLIMIT_CAP, 2001);
    EXPECT_EQ(REC_CAP, 30);
    EXPECT_EQ(TYPE_CAP, 7);
    EXPECT_EQ(CP_ARC, 1);
    EXPECT_EQ(CP_SINE, 2);
    EXPECT_EQ(CP_U, 3);
    EXPECT_EQ(CP_SLALOM, 4);
    EXPECT_EQ(CP_CAM_ACC, 5);
    EXPECT_EQ(CP_CAM_CYCLOID, 6);
}

// The defaults table of all six path types, written out from the rules by hand.
TEST(StateDefaults, PerTypeTables)
{
    freshDefaults();
    const SimState& g = sim;

    struct Row {
        int type;
        double sEnd, x0, y0, xe, ye, dx, dy;
    };
    const double pi = 3.14159265358979;
    const Row rows[] = {
        {CP_ARC, pi / 2, 0.5, 0.0, 0.0, 0.5, 0.5, 0.5},
        {CP_SINE, 1.0, 0.0, 0.0, 1.0, 0.0, 1.0, pi},
        {CP_U, 0.8 + 0.4 * pi, 0.0, 0.0, 0.8, 0.0, 0.4, 0.4},
        {CP_SLALOM, 3 * pi, 0.0, 0.0, 1.2, 0.0, 0.2, 0.2},
        {CP_CAM_ACC, 0.5, 0.0, 0.0, 0.5, 0.5, 1.0, 2.0},
        {CP_CAM_CYCLOID, 0.5, 0.0, 0.0, 0.5, 0.5, 1.0, 2.0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.type);
        EXPECT_NEAR(g.sEnd[r.type], r.sEnd, kTight);
        EXPECT_EQ(g.vEnd[r.type], 0.0);
        EXPECT_NEAR(g.cpStart[r.type][0], r.x0, kTight);
        EXPECT_NEAR(g.cpStart[r.type][1], r.y0, kTight);
        EXPECT_NEAR(g.cpEnd[r.type][0], r.xe, kTight);
        EXPECT_NEAR(g.cpEnd[r.type][1], r.ye, kTight);
        EXPECT_NEAR(g.dxScale[r.type], r.dx, kTight);
        EXPECT_NEAR(g.dyScale[r.type], r.dy, kTight);
    }
    // The arc's default end point is stored exactly, not as cos(π/2) of the literal π.
    EXPECT_EQ(g.cpEnd[CP_ARC][0], 0.0);
    EXPECT_EQ(g.cpEnd[CP_ARC][1], 0.5);
    // Index 0 belongs to no type and stays untouched.
    EXPECT_EQ(g.sEnd[0], 0.0);
    EXPECT_EQ(g.cpEnd[0][0], 0.0);
    EXPECT_EQ(g.dxScale[0], 0.0);
}

TEST(StateDefaults, CurveParametersAndDerivedConstants)
{
    freshDefaults();
    const SimState& g = sim;
    const double pi = 3.14159265358979;
    EXPECT_EQ(g.arcA[0], 0.0);
    EXPECT_EQ(g.arcA[1], 0.0);
    EXPECT_EQ(g.arcR, 0.5);
    EXPECT_EQ(g.sinL, 1.0);
    EXPECT_EQ(g.sinA, 0.5);
    EXPECT_EQ(g.uL, 0.4);
    EXPECT_EQ(g.uR, 0.4);
    EXPECT_EQ(g.slmR, 0.2);
    EXPECT_EQ(g.slmN, 3);
    EXPECT_EQ(g.camL, 0.5);
    EXPECT_EQ(g.camH, 0.5);
    EXPECT_EQ(g.cycL, 0.5);
    EXPECT_EQ(g.cycH, 0.5);

    EXPECT_NEAR(g.sinK, 2 * pi, kTight);
    EXPECT_NEAR(g.uArc, 0.4 * pi, kTight);
    EXPECT_NEAR(g.camA, 8.0, kTight);
    EXPECT_NEAR(g.cycC, 4 * pi, kTight);
    EXPECT_NEAR(g.cycW, 4 * pi, kTight);
    // The parameter is the x travel on the sine and both cams.
    EXPECT_EQ(g.sEnd[CP_SINE], g.sinL);
    EXPECT_EQ(g.sEnd[CP_CAM_ACC], g.camL);
    EXPECT_EQ(g.sEnd[CP_CAM_CYCLOID], g.cycL);
}

TEST(StateDefaults, CurrentPathLimitsSteppingAndLayout)
{
    freshDefaults();
    const SimState& g = sim;
    EXPECT_EQ(g.cpType, CP_ARC);
    EXPECT_EQ(g.xf, 0.0);
    EXPECT_EQ(g.yf, 0.5);
    EXPECT_EQ(g.xf, g.cpEnd[g.cpType][0]);
    EXPECT_EQ(g.yf, g.cpEnd[g.cpType][1]);
    EXPECT_EQ(g.xamax, 2.0);
    EXPECT_EQ(g.yamax, 2.0);
    EXPECT_EQ(g.dt, 0.01);
    EXPECT_EQ(g.dt, g.dt0);
    EXPECT_EQ(g.dt0, 0.01);
    EXPECT_EQ(g.nSub, 20);
    EXPECT_EQ(g.stepMax, 800);

    EXPECT_EQ(g.xshift, 0.0);
    EXPECT_EQ(g.yshift, 0.0);
    EXPECT_EQ(g.xorg, -0.5);
    EXPECT_EQ(g.yorg, -0.5);
    EXPECT_EQ(g.phx0, g.xorg);
    EXPECT_EQ(g.phy0, g.yorg);
    EXPECT_EQ(g.gx0, 0.4);
    EXPECT_EQ(g.gy0, 0.5);
    EXPECT_EQ(g.t1x0, 0.4);
    EXPECT_EQ(g.t1y0, 0.1);
    EXPECT_EQ(g.t2x0, 0.4);
    EXPECT_EQ(g.t2y0, -0.6);
    EXPECT_EQ(g.tlen, 0.5);
    EXPECT_EQ(g.t1h, 0.25);
    EXPECT_EQ(g.t2h, 0.25);
    EXPECT_EQ(g.bw, 0.1);
    EXPECT_NEAR(g.bh, 0.12, kTight);
    EXPECT_EQ(g.bh, 1.2 * g.bw);
}

// initDefaults gives sections 1 to 9 their values; the search state stays as it was.
TEST(StateDefaults, SearchStateIsNotTouched)
{
    sim = SimState{};
    sim.m = 17;
    sim.NCHN = 4;
    sim.phase[5][0] = 1.25;
    captureBegin();
    initDefaults();
    captureEnd();
    EXPECT_EQ(sim.m, 17);
    EXPECT_EQ(sim.NCHN, 4);
    EXPECT_EQ(sim.phase[5][0], 1.25);
}

// The per-type rules applied to entered values other than the defaults.
TEST(StateTypeRules, RowsFollowTheEnteredParameters)
{
    freshDefaults();
    SimState& g = sim;
    const double pi = 3.14159265358979;

    g.arcR = 1.5;
    g.sEnd[CP_ARC] = 120 * DEG2RAD;
    updateTypeTables(CP_ARC);
    EXPECT_NEAR(g.cpStart[CP_ARC][0], 1.5, kTight);
    EXPECT_NEAR(g.cpStart[CP_ARC][1], 0.0, kTight);
    EXPECT_NEAR(g.cpEnd[CP_ARC][0], 1.5 * std::cos(120 * 0.0174532925), kTight);
    EXPECT_NEAR(g.cpEnd[CP_ARC][1], 1.5 * std::sin(120 * 0.0174532925), kTight);
    EXPECT_EQ(g.dxScale[CP_ARC], 1.5);
    EXPECT_EQ(g.dyScale[CP_ARC], 1.5);

    g.sinL = 2.0;
    g.sinA = 0.25;
    updateTypeTables(CP_SINE);
    EXPECT_NEAR(g.sinK, pi, kTight);
    EXPECT_EQ(g.sEnd[CP_SINE], 2.0);
    EXPECT_NEAR(g.cpEnd[CP_SINE][0], 2.0, kTight);
    EXPECT_NEAR(g.cpEnd[CP_SINE][1], 0.0, kTight);
    EXPECT_EQ(g.dxScale[CP_SINE], 1.0);
    EXPECT_NEAR(g.dyScale[CP_SINE], 0.25 * pi, kTight);

    g.uL = 0.3;
    g.uR = 0.1;
    updateTypeTables(CP_U);
    EXPECT_NEAR(g.uArc, 0.1 * pi, kTight);
    EXPECT_NEAR(g.sEnd[CP_U], 0.6 + 0.1 * pi, kTight);
    EXPECT_NEAR(g.cpEnd[CP_U][0], 0.2, kTight);
    EXPECT_NEAR(g.cpEnd[CP_U][1], 0.0, kTight);
    EXPECT_EQ(g.dxScale[CP_U], 0.1);
    EXPECT_EQ(g.dyScale[CP_U], 0.1);

    g.slmR = 0.1;
    g.slmN = 5;
    updateTypeTables(CP_SLALOM);
    EXPECT_NEAR(g.sEnd[CP_SLALOM], 5 * pi, kTight);
    EXPECT_NEAR(g.cpEnd[CP_SLALOM][0], 1.0, kTight);
    EXPECT_NEAR(g.cpEnd[CP_SLALOM][1], 0.0, kTight);
    EXPECT_EQ(g.dxScale[CP_SLALOM], 0.1);

    g.camL = 0.8;
    g.camH = 0.2;
    updateTypeTables(CP_CAM_ACC);
    EXPECT_NEAR(g.camA, 4 * 0.2 / 0.64, kTight);
    EXPECT_EQ(g.sEnd[CP_CAM_ACC], 0.8);
    EXPECT_NEAR(g.cpEnd[CP_CAM_ACC][0], 0.8, kTight);
    EXPECT_NEAR(g.cpEnd[CP_CAM_ACC][1], 0.2, kTight);
    EXPECT_EQ(g.dxScale[CP_CAM_ACC], 1.0);
    EXPECT_NEAR(g.dyScale[CP_CAM_ACC], 0.5, kTight);

    g.cycL = 0.4;
    g.cycH = 0.3;
    updateTypeTables(CP_CAM_CYCLOID);
    EXPECT_NEAR(g.cycC, 2 * pi * 0.3 / 0.16, kTight);
    EXPECT_NEAR(g.cycW, 2 * pi / 0.4, kTight);
    EXPECT_NEAR(g.cycC / g.cycW, 0.3 / 0.4, kTight);
    EXPECT_EQ(g.sEnd[CP_CAM_CYCLOID], 0.4);
    EXPECT_NEAR(g.cpEnd[CP_CAM_CYCLOID][0], 0.4, kTight);
    EXPECT_NEAR(g.cpEnd[CP_CAM_CYCLOID][1], 0.3, kTight);
    EXPECT_NEAR(g.dyScale[CP_CAM_CYCLOID], 1.5, kTight);

    // Start points of types 2 to 6 are not moved by the rules; vEnd stays 0.
    for (int type = CP_SINE; type <= CP_CAM_CYCLOID; ++type) {
        EXPECT_EQ(g.cpStart[type][0], 0.0) << type;
        EXPECT_EQ(g.cpStart[type][1], 0.0) << type;
        EXPECT_EQ(g.vEnd[type], 0.0) << type;
    }
}

// Changing one type's parameters leaves every other type's row alone.
TEST(StateTypeRules, OneTypeOnly)
{
    freshDefaults();
    static SimState before;
    before = sim;
    sim.slmR = 0.3;
    sim.slmN = 2;
    updateTypeTables(CP_SLALOM);
    for (int type = 1; type <= 6; ++type) {
        if (type == CP_SLALOM) continue;
        SCOPED_TRACE(type);
        EXPECT_EQ(sim.sEnd[type], before.sEnd[type]);
        EXPECT_EQ(sim.cpEnd[type][0], before.cpEnd[type][0]);
        EXPECT_EQ(sim.cpEnd[type][1], before.cpEnd[type][1]);
        EXPECT_EQ(sim.dyScale[type], before.dyScale[type]);
    }
    EXPECT_NEAR(sim.cpEnd[CP_SLALOM][0], 1.2, kTight);
    EXPECT_NEAR(sim.sEnd[CP_SLALOM], 2 * 3.14159265358979, kTight);
}
