// The framed conditions report, byte for byte, for every path type.
#include <gtest/gtest.h>

#include <string>

#include "core/conditions.h"
#include "core/state.h"
#include "path/curves.h"
#include "test_support.h"

namespace {

const char* const kHead =
    "\n\n/*************** 設定した最短時間制御の条件 ************************/"
    "\nXY座標ロボット";
const char* const kTail =
    "\n関節最大加速度 (xamax,yamax)=(  2.0   2.0)[m/s^2]"
    "\n/**************** 設定終わり ***************************************/"
    "\n";

std::string report()
{
    captureBegin();
    printConditions();
    return captureEnd();
}

}  // namespace

TEST(ConditionsReport, DefaultArcByteForByte)
{
    freshDefaults();
    const std::string expected = std::string(kHead) +
                                 "\nCP軌道：1 円弧"
                                 "\n 中心A=(  0.0   0.0)[m] 半径R=  0.5[m] 円弧角θ= 90.00[deg]"
                                 "\n始点(x0,y0)=( 0.5000  0.0000)[m] 終点(xf,yf)=( 0.0000  0.5000)[m]" +
                                 kTail;
    EXPECT_EQ(report(), expected);
}

TEST(ConditionsReport, InitDefaultsPrintsTheArcReport)
{
    sim = SimState{};
    captureBegin();
    initDefaults();
    const std::string printed = captureEnd();
    EXPECT_EQ(printed, report());
    EXPECT_NE(printed.find("CP軌道：1 円弧"), std::string::npos);
}

// Each type with its defaults: name right behind the number, then its dimension line.
TEST(ConditionsReport, EveryTypeWithItsDefaults)
{
    struct Case {
        int type;
        const char* body;
    };
    const Case cases[] = {
        {CP_SINE,
         "\nCP軌道：2 正弦波"
         "\n波長sinL=  1.0[m] 振幅sinA=  0.5[m]"
         "\n始点(x0,y0)=( 0.0000  0.0000)[m] 終点(xf,yf)=( 1.0000  0.0000)[m]"},
        {CP_U,
         "\nCP軌道：3 Ｕ字軌道"
         "\n直線部長さL=  0.4[m] 湾曲部半径R=  0.4[m]"
         "\n始点(x0,y0)=( 0.0000  0.0000)[m] 終点(xf,yf)=( 0.8000  0.0000)[m]"},
        {CP_SLALOM,
         "\nCP軌道：4 スラローム(半円の繋がり)"
         "\n円弧部半径R=  0.2[m] 半円の個数N=3"
         "\n始点(x0,y0)=( 0.0000  0.0000)[m] 終点(xf,yf)=( 1.2000  0.0000)[m]"},
        {CP_CAM_ACC,
         "\nCP軌道：5 等加速度カム曲線軌道"
         "\nX方向行程L=  0.5[m] Y方向行程H=  0.5[m]"
         "\n始点(x0,y0)=( 0.0000  0.0000)[m] 終点(xf,yf)=( 0.5000  0.5000)[m]"},
        {CP_CAM_CYCLOID,
         "\nCP軌道：6 サイクロイドカム曲線"
         "\nX方向行程L=  0.5[m] Y方向行程H=  0.5[m]"
         "\n始点(x0,y0)=( 0.0000  0.0000)[m] 終点(xf,yf)=( 0.5000  0.5000)[m]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        freshDefaults();
        sim.cpType = c.type;
        EXPECT_EQ(report(), std::string(kHead) + c.body + kTail);
    }
}

// Widths and precisions of the formats with values other than the defaults.
TEST(ConditionsReport, EnteredValuesInTheirFormats)
{
    freshDefaults();
    sim.arcR = 12.34;
    sim.sEnd[CP_ARC] = 45 * DEG2RAD;
    updateTypeTables(CP_ARC);
    sim.xamax = 10.25;  // %5.1f rounds the binary value 10.25 to even: 10.2
    sim.yamax = 0.5;
    std::string out = report();
    EXPECT_NE(out.find("\n 中心A=(  0.0   0.0)[m] 半径R= 12.3[m] 円弧角θ= 45.00[deg]"), std::string::npos) << out;
    EXPECT_NE(out.find("\n始点(x0,y0)=(12.3400  0.0000)[m] 終点(xf,yf)=( 8.7257  8.7257)[m]"), std::string::npos)
        << out;
    EXPECT_NE(out.find("\n関節最大加速度 (xamax,yamax)=( 10.2   0.5)[m/s^2]"), std::string::npos) << out;

    // Degrees through 57.2957795: 90 entered degrees read 90.00, 360 read 360.00.
    sim.arcR = 0.04;  // one decimal only: reads 0.0
    sim.sEnd[CP_ARC] = 360 * DEG2RAD;
    updateTypeTables(CP_ARC);
    out = report();
    EXPECT_NE(out.find("半径R=  0.0[m] 円弧角θ=360.00[deg]"), std::string::npos) << out;
    sim.sEnd[CP_ARC] = 90 * DEG2RAD;
    out = report();
    EXPECT_NE(out.find("円弧角θ= 90.00[deg]"), std::string::npos) << out;
    // An angle held as 1 rad is shown through the factor: 57.2957795 -> 57.30.
    sim.sEnd[CP_ARC] = 1.0;
    out = report();
    EXPECT_NE(out.find("円弧角θ= 57.30[deg]"), std::string::npos) << out;

    // The slalom count is an integer of no fixed width.
    sim.cpType = CP_SLALOM;
    sim.slmN = 12;
    sim.slmR = 0.05;
    updateTypeTables(CP_SLALOM);
    out = report();
    EXPECT_NE(out.find("\n円弧部半径R=  0.1[m] 半円の個数N=12\n"), std::string::npos) << out;
    EXPECT_NE(out.find("終点(xf,yf)=( 1.2000  0.0000)[m]"), std::string::npos) << out;

    // Both cams share the dimension line; only the name differs.
    sim.cpType = CP_CAM_ACC;
    sim.camL = 1.25;
    sim.camH = -0.3;
    updateTypeTables(CP_CAM_ACC);
    out = report();
    EXPECT_NE(out.find("\nCP軌道：5 等加速度カム曲線軌道\nX方向行程L=  1.2[m] Y方向行程H= -0.3[m]"), std::string::npos)
        << out;
    EXPECT_NE(out.find("終点(xf,yf)=( 1.2500 -0.3000)[m]"), std::string::npos) << out;
}

TEST(ConditionsReport, ChangesNothing)
{
    freshDefaults();
    static SimState before;
    before = sim;
    report();
    EXPECT_EQ(sim.cpType, before.cpType);
    EXPECT_EQ(sim.sEnd[CP_ARC], before.sEnd[CP_ARC]);
    EXPECT_EQ(sim.xf, before.xf);
    EXPECT_EQ(sim.xamax, before.xamax);
    EXPECT_EQ(sim.lastKey, before.lastKey);
}
