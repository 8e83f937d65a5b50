// The six path curves: derivatives against finite differences of the points,
// continuity at the piece boundaries, end points and the axis accelerations.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/state.h"
#include "path/curves.h"
#include "test_support.h"

namespace {

const double kPi = 3.14159265358979;
const int kTypes[] = {CP_ARC, CP_SINE, CP_U, CP_SLALOM, CP_CAM_ACC, CP_CAM_CYCLOID};

// Piece boundaries of the current type (where the derivatives may jump).
std::vector<double> boundaries()
{
    std::vector<double> b;
    switch (sim.cpType) {
    case CP_U:
        b = {sim.uL, sim.sEnd[CP_U] - sim.uL};
        break;
    case CP_SLALOM:
        for (int k = 1; k < sim.slmN; ++k) b.push_back(k * kPi);
        break;
    case CP_CAM_ACC:
        b = {sim.camL / 2};
        break;
    default:
        break;
    }
    return b;
}

bool nearBoundary(double s, double margin)
{
    for (double b : boundaries())
        if (std::fabs(s - b) < margin) return true;
    return false;
}

// Parameter sets: the defaults, and one with other dimensions and moved start points.
void useOtherDimensions()
{
    freshDefaults();
    sim.arcA[0] = 0.3;
    sim.arcA[1] = -0.2;
    sim.arcR = 0.7;
    sim.sEnd[CP_ARC] = 200 * DEG2RAD;
    sim.sinL = 0.6;
    sim.sinA = 0.15;
    sim.uL = 0.25;
    sim.uR = 0.15;
    sim.slmR = 0.12;
    sim.slmN = 4;
    sim.camL = 0.8;
    sim.camH = 0.3;
    sim.cycL = 0.7;
    sim.cycH = 0.45;
    for (int type = CP_SINE; type <= CP_CAM_CYCLOID; ++type) {
        sim.cpStart[type][0] = 0.1 * type;
        sim.cpStart[type][1] = -0.05 * type;
    }
    for (int type : kTypes) updateTypeTables(type);
}

CurveDerivs derivs(double s)
{
    CurveDerivs d{};
    EXPECT_TRUE(cpDerivatives(s, &d));
    return d;
}

void checkDerivativesAgainstDifferences(int type)
{
    sim.cpType = type;
    const double S = sim.sEnd[type];
    const double h = 1e-5;
    int checked = 0;
    for (int i = 1; i < 200; ++i) {
        const double s = S * i / 200.0;
        if (nearBoundary(s, 1e-3)) continue;
        double Pp[2], Pm[2];
        cpPoint(s + h, Pp);
        cpPoint(s - h, Pm);
        const CurveDerivs d = derivs(s);
        const CurveDerivs dp = derivs(s + h);
        const CurveDerivs dm = derivs(s - h);
        const double x1 = (Pp[0] - Pm[0]) / (2 * h);
        const double y1 = (Pp[1] - Pm[1]) / (2 * h);
        const double x2 = (dp.x1 - dm.x1) / (2 * h);
        const double y2 = (dp.y1 - dm.y1) / (2 * h);
        EXPECT_NEAR(d.x1, x1, 1e-6 * (1 + std::fabs(x1))) << "type " << type << " s " << s;
        EXPECT_NEAR(d.y1, y1, 1e-6 * (1 + std::fabs(y1))) << "type " << type << " s " << s;
        EXPECT_NEAR(d.x2, x2, 1e-5 * (1 + std::fabs(x2))) << "type " << type << " s " << s;
        EXPECT_NEAR(d.y2, y2, 1e-5 * (1 + std::fabs(y2))) << "type " << type << " s " << s;
        ++checked;
    }
    EXPECT_GT(checked, 150) << type;
}

}  // namespace

TEST(CurveDerivatives, MatchFiniteDifferencesWithDefaults)
{
    freshDefaults();
    for (int type : kTypes) checkDerivativesAgainstDifferences(type);
}

TEST(CurveDerivatives, MatchFiniteDifferencesWithOtherDimensions)
{
    useOtherDimensions();
    for (int type : kTypes) checkDerivativesAgainstDifferences(type);
}

// The path parameter is the arc length on the U shape: |P'| = 1 everywhere,
// an angle on the arc and slalom: |P'| = R, and the x travel elsewhere: x' = 1.
TEST(CurveDerivatives, MeaningOfTheParameter)
{
    useOtherDimensions();
    for (int type : kTypes) {
        sim.cpType = type;
        for (int i = 0; i <= 100; ++i) {
            const double s = sim.sEnd[type] * i / 100.0 * 0.999;
            const CurveDerivs d = derivs(s);
            const double speed = std::hypot(d.x1, d.y1);
            switch (type) {
            case CP_ARC:
                EXPECT_NEAR(speed, sim.arcR, 1e-12) << s;
                break;
            case CP_SLALOM:
                EXPECT_NEAR(speed, sim.slmR, 1e-12) << s;
                EXPECT_GE(d.x1, -1e-12) << "the slalom always advances in +x, s " << s;
                break;
            case CP_U:
                EXPECT_NEAR(speed, 1.0, 1e-12) << s;
                break;
            default:
                EXPECT_EQ(d.x1, 1.0) << s;
                EXPECT_EQ(d.x2, 0.0) << s;
                break;
            }
        }
    }
}

// The point is continuous across every piece boundary.
TEST(CurvePoints, ContinuousAtPieceBoundaries)
{
    for (int set = 0; set < 2; ++set) {
        if (set == 0)
            freshDefaults();
        else
            useOtherDimensions();
        for (int type : {CP_U, CP_SLALOM, CP_CAM_ACC}) {
            sim.cpType = type;
            const std::vector<double> bs = boundaries();
            ASSERT_FALSE(bs.empty());
            for (double b : bs) {
                const double d = 1e-9;
                double L[2], B[2], R[2];
                cpPoint(b - d, L);
                cpPoint(b, B);
                cpPoint(b + d, R);
                EXPECT_NEAR(L[0], B[0], 1e-8) << "type " << type << " at " << b;
                EXPECT_NEAR(L[1], B[1], 1e-8) << "type " << type << " at " << b;
                EXPECT_NEAR(R[0], B[0], 1e-8) << "type " << type << " at " << b;
                EXPECT_NEAR(R[1], B[1], 1e-8) << "type " << type << " at " << b;
            }
        }
    }
}

// Every curve meets its tabulated end point at sEnd and starts at cpStart.
TEST(CurvePoints, EndsAtTheTabulatedPoints)
{
    for (int set = 0; set < 2; ++set) {
        if (set == 0)
            freshDefaults();
        else
            useOtherDimensions();
        for (int type : kTypes) {
            sim.cpType = type;
            double P[2];
            cpPoint(0.0, P);
            EXPECT_NEAR(P[0], sim.cpStart[type][0], 1e-12) << "set " << set << " type " << type;
            EXPECT_NEAR(P[1], sim.cpStart[type][1], 1e-12) << "set " << set << " type " << type;
            cpPoint(sim.sEnd[type], P);
            EXPECT_NEAR(P[0], sim.cpEnd[type][0], 1e-12) << "set " << set << " type " << type;
            EXPECT_NEAR(P[1], sim.cpEnd[type][1], 1e-12) << "set " << set << " type " << type;
        }
    }
}

TEST(CurvePoints, UShapeLandmarks)
{
    useOtherDimensions();
    sim.cpType = CP_U;
    const double x0 = sim.cpStart[CP_U][0], y0 = sim.cpStart[CP_U][1];
    const double L = sim.uL, R = sim.uR, S = sim.sEnd[CP_U];
    double P[2];
    cpPoint(0.5 * L, P);
    EXPECT_NEAR(P[0], x0, 1e-12);
    EXPECT_NEAR(P[1], y0 + 0.5 * L, 1e-12);
    cpPoint(L, P);
    EXPECT_NEAR(P[0], x0, 1e-12);
    EXPECT_NEAR(P[1], y0 + L, 1e-12);
    cpPoint(L + sim.uArc / 2, P);
    EXPECT_NEAR(P[0], x0 + R, 1e-12);
    EXPECT_NEAR(P[1], y0 + L + R, 1e-12);
    cpPoint(S - 0.25 * L, P);
    EXPECT_NEAR(P[0], x0 + 2 * R, 1e-12);
    EXPECT_NEAR(P[1], y0 + 0.25 * L, 1e-12);
    for (double past : {S, S + 0.01, S + 5.0}) {
        cpPoint(past, P);
        EXPECT_NEAR(P[0], x0 + 2 * R, 1e-12) << past;
        EXPECT_NEAR(P[1], y0, 1e-12) << past;
    }
    // At the top of the bend, with no path acceleration, y'' = -v^2 / uR.
    double acc[3];
    cpAxisAcc(L + sim.uArc / 2, 1.3, 0.0, acc);
    EXPECT_NEAR(acc[2], -1.3 * 1.3 / R, 1e-12);
    EXPECT_NEAR(acc[1], 0.0, 1e-12);
}

TEST(CurvePoints, CamLandmarks)
{
    useOtherDimensions();
    for (int type : {CP_CAM_ACC, CP_CAM_CYCLOID}) {
        sim.cpType = type;
        const double L = sim.sEnd[type];
        const double H = type == CP_CAM_ACC ? sim.camH : sim.cycH;
        const double x0 = sim.cpStart[type][0], y0 = sim.cpStart[type][1];
        double P[2];
        cpPoint(0.0, P);
        EXPECT_NEAR(P[1], y0, 1e-12);
        cpPoint(L / 2, P);
        EXPECT_NEAR(P[0], x0 + L / 2, 1e-12);
        EXPECT_NEAR(P[1], y0 + H / 2, 1e-12) << type;
        cpPoint(L, P);
        EXPECT_NEAR(P[1], y0 + H, 1e-12) << type;
        // Rest at both ends: y' = 0.
        EXPECT_NEAR(derivs(0.0).y1, 0.0, 1e-12) << type;
        EXPECT_NEAR(derivs(L).y1, 0.0, 1e-12) << type;
    }
    // Constant-acceleration cam: y'' = +camA, then -camA from L/2 on.
    sim.cpType = CP_CAM_ACC;
    EXPECT_EQ(derivs(0.1).y2, sim.camA);
    EXPECT_EQ(derivs(sim.camL / 2).y2, -sim.camA);
    EXPECT_EQ(derivs(sim.camL).y2, -sim.camA);
    EXPECT_NEAR(sim.camA, 4 * sim.camH / (sim.camL * sim.camL), 1e-12);
    // Cycloid cam: the largest slope is twice the mean slope, at L/2.
    sim.cpType = CP_CAM_CYCLOID;
    EXPECT_NEAR(derivs(sim.cycL / 2).y1, 2 * sim.cycH / sim.cycL, 1e-12);
}

TEST(CurvePoints, SlalomLandmarksAndSides)
{
    useOtherDimensions();
    sim.cpType = CP_SLALOM;
    const double R = sim.slmR;
    const double x0 = sim.cpStart[CP_SLALOM][0], y0 = sim.cpStart[CP_SLALOM][1];
    double P[2];
    // kπ lands on the base line at x0 + 2kR, also a little past the path (pattern continues).
    const int kLast = 2 * ((sim.slmN + 1) / 2) + 2;
    for (int k = 0; k < kLast; ++k) {
        cpPoint(k * kPi, P);
        EXPECT_NEAR(P[0], x0 + 2 * k * R, 1e-12) << k;
        EXPECT_NEAR(P[1], y0, 1e-12) << k;
        cpPoint(k * kPi + kPi / 2, P);
        EXPECT_NEAR(P[0], x0 + (2 * k + 1) * R, 1e-12) << k;
        EXPECT_NEAR(P[1], y0 + (k % 2 == 0 ? R : -R), 1e-12) << k;
    }
    // y'' = -R sin(phi) above (even k) and +R sin(phi) below; the x derivatives are alike.
    const double phi = 0.7;
    const CurveDerivs up = derivs(phi);
    const CurveDerivs down = derivs(kPi + phi);
    EXPECT_NEAR(up.y2, -R * std::sin(phi), 1e-12);
    EXPECT_NEAR(down.y2, R * std::sin(phi), 1e-12);
    EXPECT_NEAR(up.x1, down.x1, 1e-12);
    EXPECT_NEAR(up.x2, down.x2, 1e-12);
    EXPECT_NEAR(up.y1, -down.y1, 1e-12);
}

// cpAxisAcc against x'a + x''v^2 built from finite differences of the points.
TEST(CurveAxisAcc, AgreesWithDifferencesOfThePoint)
{
    for (int set = 0; set < 2; ++set) {
        if (set == 0)
            freshDefaults();
        else
            useOtherDimensions();
        for (int type : kTypes) {
            sim.cpType = type;
            const double S = sim.sEnd[type];
            const double h = 1e-4;
            for (int i = 1; i < 60; ++i) {
                const double s = S * i / 60.0;
                if (nearBoundary(s, 1e-3)) continue;
                double Pp[2], P0[2], Pm[2];
                cpPoint(s + h, Pp);
                cpPoint(s, P0);
                cpPoint(s - h, Pm);
                const double x1 = (Pp[0] - Pm[0]) / (2 * h), y1 = (Pp[1] - Pm[1]) / (2 * h);
                const double x2 = (Pp[0] - 2 * P0[0] + Pm[0]) / (h * h);
                const double y2 = (Pp[1] - 2 * P0[1] + Pm[1]) / (h * h);
                const double v = 0.3 + 0.01 * i, a = -1.5 + 0.05 * i;
                double acc[3];
                cpAxisAcc(s, v, a, acc);
                const double ax = x1 * a + x2 * v * v, ay = y1 * a + y2 * v * v;
                EXPECT_NEAR(acc[1], ax, 1e-4 * (1 + std::fabs(ax))) << "type " << type << " s " << s;
                EXPECT_NEAR(acc[2], ay, 1e-4 * (1 + std::fabs(ay))) << "type " << type << " s " << s;
                double R = 1.0;
                if (type == CP_ARC) R = sim.arcR;
                if (type == CP_SLALOM) R = sim.slmR;
                EXPECT_NEAR(acc[0], R * a, 1e-12) << "type " << type;
            }
        }
    }
}

TEST(CurveAxisAcc, ZeroBeyondTheEndAndNormalAtIt)
{
    freshDefaults();
    for (int type : kTypes) {
        sim.cpType = type;
        const double S = sim.sEnd[type];
        double acc[3] = {7, 7, 7};
        cpAxisAcc(S + 1e-9, 1.0, 1.0, acc);
        EXPECT_EQ(acc[0], 0.0) << type;
        EXPECT_EQ(acc[1], 0.0) << type;
        EXPECT_EQ(acc[2], 0.0) << type;
        cpAxisAcc(S + 3.0, 2.0, -1.0, acc);
        EXPECT_EQ(acc[1], 0.0) << type;
        // At sEnd itself the accelerations are computed from the derivatives there.
        const CurveDerivs d = derivs(S);
        cpAxisAcc(S, 1.1, 0.4, acc);
        EXPECT_NEAR(acc[1], d.x1 * 0.4 + d.x2 * 1.21, 1e-12) << type;
        EXPECT_NEAR(acc[2], d.y1 * 0.4 + d.y2 * 1.21, 1e-12) << type;
        EXPECT_NE(acc[0], 0.0) << type;
    }
}

// The arc about its centre: centripetal v^2 R inwards, tangential R a.
TEST(CurveAxisAcc, ArcIsCentripetalPlusTangential)
{
    freshDefaults();
    sim.cpType = CP_ARC;
    for (double s : {0.1, 0.5, 1.0, 1.5}) {
        const double v = 1.7, a = 0.9, R = sim.arcR;
        double acc[3];
        cpAxisAcc(s, v, a, acc);
        const double radial = acc[1] * std::cos(s) + acc[2] * std::sin(s);
        const double tangential = -acc[1] * std::sin(s) + acc[2] * std::cos(s);
        EXPECT_NEAR(radial, -R * v * v, 1e-12) << s;
        EXPECT_NEAR(tangential, R * a, 1e-12) << s;
        EXPECT_NEAR(acc[0], R * a, 1e-15) << s;
    }
}
