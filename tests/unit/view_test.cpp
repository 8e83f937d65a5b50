// Unit tests of the drawing arithmetic: transforms, text templates, graph ranges and shape geometry.
// Works on the default state of `sim` (freshDefaults) with the view and trajectory fields set per case.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "core/state.h"
#include "render/view.h"
#include "test_support.h"

namespace {

std::string accText(double xamax, double yamax)
{
    char buf[ACC_TEXT_CAP];
    formatAccText(xamax, yamax, buf);
    return std::string(buf);
}

std::string timeText(double t)
{
    char buf[TIME_TEXT_CAP];
    formatTimeText(t, buf);
    return std::string(buf);
}

// Reference for the time template: the decimal expansion printed with ten
// decimals, cut after the third. Independent of the digit arithmetic.
std::string truncatedByPrinting(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10f", v);
    std::string s(buf);
    const size_t dot = s.find('.');
    return s.substr(0, dot) + "." + s.substr(dot + 1, 3) + "[s]\n";
}

class ViewTest : public ::testing::Test {
protected:
    // The view as every dialogue leaves it for the default 90° arc.
    void SetUp() override
    {
        freshDefaults();
        sim.zoom = 1.0;
        sim.phscale = 1.0;
    }
};

// ---- Transforms ----

TEST_F(ViewTest, FigureTransformPlacesMetresAtZoomAndPan)
{
    double p[2];
    figureTransform(0.0, 0.0, p);
    EXPECT_DOUBLE_EQ(p[0], -0.5);
    EXPECT_DOUBLE_EQ(p[1], -0.5);
    figureTransform(0.5, 0.25, p);  // one metre is one window unit at zoom 1
    EXPECT_DOUBLE_EQ(p[0], 0.0);
    EXPECT_DOUBLE_EQ(p[1], -0.25);

    sim.zoom = 2.0;
    sim.xshift = 0.1;
    sim.yshift = -0.2;
    figureTransform(0.5, 0.25, p);
    EXPECT_DOUBLE_EQ(p[0], (-0.5 + 0.5) * 2.0 + 0.1);
    EXPECT_DOUBLE_EQ(p[1], (-0.5 + 0.25) * 2.0 - 0.2);
}

TEST_F(ViewTest, PhaseTransformScalesAxesByHalfPhscale)
{
    sim.zoom = 1.0;
    sim.phscale = 1.0;
    double o[2], p[2];
    phaseTransform(0.0, 0.0, o);
    figureTransform(0.0, 0.0, p);
    EXPECT_DOUBLE_EQ(o[0], p[0]);  // both origins on the grid centre
    EXPECT_DOUBLE_EQ(o[1], p[1]);

    phaseTransform(1.0, 2.0, p);
    EXPECT_DOUBLE_EQ(p[0] - o[0], 0.5);
    EXPECT_DOUBLE_EQ(p[1] - o[1], 1.0);

    sim.phscale = 0.4;
    phaseTransform(1.0, 2.0, p);
    EXPECT_DOUBLE_EQ(p[0] - o[0], 0.2);
    EXPECT_DOUBLE_EQ(p[1] - o[1], 0.4);
}

TEST_F(ViewTest, ZoomingPhasePlaneScalesDistancesFromWindowCentre)
{
    sim.zoom = 1.0;
    sim.phscale = 1.0;
    const double pts[3][2] = {{0.0, 0.0}, {1.2, 0.7}, {0.3, 2.1}};
    double before[3][2], after[3][2];
    for (int i = 0; i < 3; ++i) phaseTransform(pts[i][0], pts[i][1], before[i]);
    sim.zoom *= 0.9;  // the key 'w'
    sim.phscale *= 0.9;
    for (int i = 0; i < 3; ++i) phaseTransform(pts[i][0], pts[i][1], after[i]);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(after[i][0], 0.9 * before[i][0], 1e-12);
        EXPECT_NEAR(after[i][1], 0.9 * before[i][1], 1e-12);
    }
}

TEST_F(ViewTest, PanMovesFigureAndPhasePlaneTogether)
{
    sim.zoom = 1.3;
    sim.phscale = 0.7;
    double f0[2], p0[2], f1[2], p1[2];
    figureTransform(0.2, 0.4, f0);
    phaseTransform(0.9, 1.1, p0);
    sim.xshift = -0.15;
    sim.yshift = 0.05;
    figureTransform(0.2, 0.4, f1);
    phaseTransform(0.9, 1.1, p1);
    EXPECT_NEAR(f1[0] - f0[0], -0.15, 1e-15);
    EXPECT_NEAR(p1[0] - p0[0], -0.15, 1e-15);
    EXPECT_NEAR(f1[1] - f0[1], 0.05, 1e-15);
    EXPECT_NEAR(p1[1] - p0[1], 0.05, 1e-15);
}

// ---- Text templates ----

TEST_F(ViewTest, AccelerationTemplateTruncatesDecimals)
{
    EXPECT_EQ(accText(2.0, 2.0), "(2.0, 2.0)[m/s^2]\n");
    EXPECT_EQ(accText(1.3, 6.85), "(1.3, 6.8)[m/s^2]\n");  // 6.85 is not rounded up to 6.9
    EXPECT_EQ(accText(0.99, 9.999), "(0.9, 9.9)[m/s^2]\n");
    EXPECT_EQ(accText(10.0, 10.75), "(s.0, s.7)[m/s^2]\n");  // 10 is the table's letter s
}

TEST_F(ViewTest, TimeTemplateNeverRoundsUp)
{
    EXPECT_EQ(timeText(0.0), "0.000[s]\n");
    EXPECT_EQ(timeText(2.9996), "2.999[s]\n");
    EXPECT_EQ(timeText(1.2746), "1.274[s]\n");
    EXPECT_EQ(timeText(0.0009999), "0.000[s]\n");
    EXPECT_EQ(timeText(10.25), "s.250[s]\n");
}

TEST_F(ViewTest, TimeTemplateMatchesPrintedTruncationForRandomTimes)
{
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> uni(0.0, 9.9999);
    int compared = 0;
    for (int i = 0; i < 20000; ++i) {
        const double v = uni(rng);
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.10f", v);
        // A value within 1e-7 of a multiple of 0.001 could print either way in
        // the reference; those are left out.
        const double frac = v * 1000.0 - std::floor(v * 1000.0);
        if (frac < 1e-4 || frac > 1.0 - 1e-4) continue;
        ASSERT_EQ(timeText(v), truncatedByPrinting(v)) << "v = " << buf;
        ++compared;
    }
    EXPECT_GT(compared, 19000);
}

TEST_F(ViewTest, OutOfTableValuesStayInsideTheDigitTable)
{
    const double values[] = {-0.5, -3.7, -1e300, 11.0, 12.345, 99.9, 1e300,
                             std::nan(""), INFINITY, -INFINITY};
    for (double v : values) {
        const std::string t = timeText(v);
        ASSERT_EQ(t.size(), 9u);
        for (int pos : {0, 2, 3, 4}) {
            EXPECT_NE(std::strchr(DIGIT_TABLE, t[pos]), nullptr) << "value " << v << " text " << t;
        }
        EXPECT_EQ(t.substr(5), "[s]\n");
        EXPECT_EQ(t[1], '.');
        const std::string a = accText(v, v);
        for (int pos : {1, 3, 6, 8}) EXPECT_NE(std::strchr(DIGIT_TABLE, a[pos]), nullptr);
    }
    // The chosen display: below the table shows 0, above it the table's last entry s.
    EXPECT_EQ(timeText(-0.5), "0.000[s]\n");
    EXPECT_EQ(timeText(12.5)[0], 's');
    EXPECT_EQ(digitIndex(-1.0), 0);
    EXPECT_EQ(digitIndex(std::nan("")), 0);
    EXPECT_EQ(digitIndex(9.0), 9);
    EXPECT_EQ(digitIndex(10.0), 10);
    EXPECT_EQ(digitIndex(11.0), 10);
    EXPECT_EQ(digitIndex(1e300), 10);
}

// ---- Time graphs ----

TEST_F(ViewTest, DisplacementRangeCoversAllScannedEntriesIncludingUnwritten)
{
    // Nothing written: every entry is zero.
    DisplacementRange r = displacementRange();
    EXPECT_EQ(r.max, 0.0);
    EXPECT_EQ(r.min, 0.0);

    // A motion with only positive coordinates in its first 127 entries: the
    // unwritten entries keep 0 inside the range.
    for (int i = 0; i <= 126; ++i) {
        sim.finalXY[i][0] = 0.2 + 0.001 * i;
        sim.finalXY[i][1] = 0.5 - 0.002 * i;
    }
    r = displacementRange();
    EXPECT_DOUBLE_EQ(r.max, 0.5);
    EXPECT_EQ(r.min, 0.0);

    // Negative values count, and entries from stepMax on are not scanned.
    sim.finalXY[799][1] = -0.3;
    sim.finalXY[800][0] = 7.0;
    sim.finalXY[2000][1] = -9.0;
    r = displacementRange();
    EXPECT_DOUBLE_EQ(r.max, 0.5);
    EXPECT_DOUBLE_EQ(r.min, -0.3);
}

TEST_F(ViewTest, DisplacementRangeAgreesWithBruteForceOnRandomTables)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> uni(-2.0, 3.0);
    for (int trial = 0; trial < 20; ++trial) {
        for (int i = 0; i < TRAJ_CAP; ++i) {
            sim.finalXY[i][0] = uni(rng);
            sim.finalXY[i][1] = uni(rng);
        }
        double mx = -1e9, mn = 1e9;
        for (int i = 0; i < 800; ++i)
            for (int c = 0; c < 2; ++c) {
                mx = std::max(mx, sim.finalXY[i][c]);
                mn = std::min(mn, sim.finalXY[i][c]);
            }
        const DisplacementRange r = displacementRange();
        EXPECT_EQ(r.max, mx);
        EXPECT_EQ(r.min, mn);
    }
}

TEST_F(ViewTest, DisplacementScaleFillsHeightAndStaysFiniteWithoutExtent)
{
    EXPECT_DOUBLE_EQ(displacementScale({0.5, 0.0}, 0.4), 0.8);
    EXPECT_DOUBLE_EQ(displacementScale({0.3, -0.5}, 0.4), 0.5);
    const double flat = displacementScale({0.25, 0.25}, 0.4);
    EXPECT_TRUE(std::isfinite(flat));
    EXPECT_DOUBLE_EQ(flat, 0.4);
    EXPECT_TRUE(std::isfinite(displacementScale({0.0, 0.0}, 0.4)));
}

TEST_F(ViewTest, TicksCountWholeSecondsOfGoalTime)
{
    EXPECT_EQ(tickCount(0.5, 2.7), 2);
    EXPECT_EQ(tickCount(0.5, 0.8), 0);
    EXPECT_EQ(tickCount(0.5, 1.2746), 1);
    EXPECT_EQ(tickCount(0.5, 10.4), 10);
    EXPECT_EQ(tickCount(0.5, 0.0), 0);
    EXPECT_EQ(tickCount(0.5, -1.0), 0);
    EXPECT_EQ(tickCount(0.5, std::nan("")), 0);
    EXPECT_EQ(tickCount(0.5, 1e12), TICK_CAP);
    // Brute force: n ticks of d = len/T fit on the axis, n + 1 do not (away from whole seconds).
    for (double T = 0.05; T < 15.0; T += 0.0731) {
        const int n = tickCount(0.5, T);
        const double d = 0.5 / T;
        EXPECT_LE(n * d, 0.5 + 1e-12);
        EXPECT_GT((n + 1) * d, 0.5);
    }
}

TEST_F(ViewTest, SecondsLabelStaysInTable)
{
    EXPECT_EQ(DIGIT_TABLE[secondsLabelIndex(0)], '0');
    EXPECT_EQ(DIGIT_TABLE[secondsLabelIndex(2)], '2');
    EXPECT_EQ(DIGIT_TABLE[secondsLabelIndex(10)], 's');  // 10 s to 11 s
    for (int n : {11, 12, 57, TICK_CAP, -3}) {
        const int i = secondsLabelIndex(n);
        EXPECT_GE(i, 0);
        EXPECT_LE(i, DIGIT_LAST);
    }
    EXPECT_EQ(DIGIT_TABLE[secondsLabelIndex(11)], 's');
}

TEST_F(ViewTest, GoalTimeOfGraphsReadsLastSwitchRecordWithinTable)
{
    sim.chnRec[2][0] = 1.25;
    sim.NCHN = 2;
    EXPECT_DOUBLE_EQ(graphGoalTime(), 1.25);
    EXPECT_DOUBLE_EQ(timeScale(0.5, 1.25), 0.4);
    sim.chnRec[REC_CAP - 1][0] = 3.5;
    sim.NCHN = 1000;  // out of the table: the last record is read
    EXPECT_DOUBLE_EQ(graphGoalTime(), 3.5);
    EXPECT_EQ(timeScale(0.5, 0.0), 0.0);
}

// ---- Shapes ----

TEST_F(ViewTest, ArrowGeometryMatchesLengthAndZoom)
{
    ArrowGeometry g;
    arrowGeometry(1.0, 0.5, &g);
    // Shaft from the notch (0.1 behind the tip) to 0.5 behind the tip, 0.02 wide.
    double xmin = 1, xmax = -1, ymin = 1, ymax = -1;
    for (auto& v : g.shaft) {
        xmin = std::min(xmin, v[0]);
        xmax = std::max(xmax, v[0]);
        ymin = std::min(ymin, v[1]);
        ymax = std::max(ymax, v[1]);
    }
    EXPECT_DOUBLE_EQ(xmax, -0.1);
    EXPECT_DOUBLE_EQ(xmin, -0.5);
    EXPECT_DOUBLE_EQ(ymax - ymin, 0.02);
    EXPECT_DOUBLE_EQ(ymax + ymin, 0.0);
    // Head: tip at the origin, notch at −h, barbs at −1.5h, ±0.4h.
    EXPECT_EQ(g.headUp[0][0], 0.0);
    EXPECT_EQ(g.headUp[0][1], 0.0);
    EXPECT_DOUBLE_EQ(g.headUp[1][0], -0.1);
    EXPECT_DOUBLE_EQ(g.headUp[2][0], -0.15);
    EXPECT_DOUBLE_EQ(g.headUp[2][1], 0.04);
    EXPECT_DOUBLE_EQ(g.headDown[2][1], -0.04);

    // Everything scales with the zoom factor.
    ArrowGeometry z;
    arrowGeometry(2.0, 0.5, &z);
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 2; ++c) EXPECT_DOUBLE_EQ(z.shaft[i][c], 2.0 * g.shaft[i][c]);
    for (int i = 0; i < 3; ++i)
        for (int c = 0; c < 2; ++c) EXPECT_DOUBLE_EQ(z.headDown[i][c], 2.0 * g.headDown[i][c]);
}

TEST_F(ViewTest, ShortArrowKeepsFullHeadAndNoShaft)
{
    for (double len : {0.0, 0.05, 0.0999}) {
        ArrowGeometry g;
        arrowGeometry(1.0, len, &g);
        for (auto& v : g.shaft) EXPECT_DOUBLE_EQ(v[0], -0.1) << "length " << len;
        EXPECT_DOUBLE_EQ(g.headUp[2][0], -0.15);
        EXPECT_DOUBLE_EQ(g.headUp[2][1], 0.04);
    }
}

TEST_F(ViewTest, RingInnerDiscIsFiveThousandthsSmaller)
{
    EXPECT_DOUBLE_EQ(ringInnerRadius(0.012), 0.007);
    EXPECT_DOUBLE_EQ(ringInnerRadius(0.007), 0.002);
    // Below half the ring width the white disc is larger than the coloured one.
    EXPECT_GT(ringInnerRadius(0.002), 0.002);
    EXPECT_LT(ringInnerRadius(0.003), 0.003);
}

// ---- Carriage ----

TEST_F(ViewTest, PositiveXForcePushesFromLeftEdge)
{
    CarriageGeometry c;
    carriageGeometry(0.0, 0.5, 0.0, 2.0, 0.0, &c);
    EXPECT_DOUBLE_EQ(c.q[0], -0.5);
    EXPECT_DOUBLE_EQ(c.q[1], 0.0);
    EXPECT_NEAR(c.corner[0], -0.55, 1e-15);
    EXPECT_NEAR(c.corner[1], -0.06, 1e-15);
    EXPECT_DOUBLE_EQ(c.width, 0.1);
    EXPECT_DOUBLE_EQ(c.height, 0.12);
    EXPECT_NEAR(c.xTip[0], -0.55, 1e-15);  // middle of the left edge
    EXPECT_NEAR(c.xTip[1], 0.0, 1e-15);
    EXPECT_DOUBLE_EQ(c.xAngle, 0.0);
    EXPECT_DOUBLE_EQ(c.xLength, 0.5);  // the shaft ends 0.5 left of the edge
    // Zero y force: head alone at the top edge, pointing down.
    EXPECT_NEAR(c.yTip[0], -0.5, 1e-15);
    EXPECT_NEAR(c.yTip[1], 0.06, 1e-15);
    EXPECT_NEAR(std::sin(c.yAngle), -1.0, 1e-12);
    EXPECT_EQ(c.yLength, 0.0);
}

TEST_F(ViewTest, ArrowsPointAlongForceFromOppositeEdgeAtAnyAngleAndZoom)
{
    sim.zoom = 1.7;
    const double forces[4][2] = {{1.5, 0.8}, {-1.5, 0.8}, {1.5, -0.8}, {-0.3, -1.9}};
    for (double theta : {0.0, 0.4, 2.0, -1.1}) {
        for (auto& f : forces) {
            CarriageGeometry c;
            carriageGeometry(0.2, 0.3, theta, f[0], f[1], &c);
            const double ux[2] = {std::cos(theta), std::sin(theta)};     // width axis
            const double uy[2] = {-std::sin(theta), std::cos(theta)};    // height axis
            // X arrow: direction ±ux by the sign of ax; tip half a width back from q.
            const double sx = f[0] > 0 ? 1.0 : -1.0;
            EXPECT_NEAR(std::cos(c.xAngle), sx * ux[0], 1e-12);
            EXPECT_NEAR(std::sin(c.xAngle), sx * ux[1], 1e-12);
            EXPECT_NEAR(c.xTip[0], c.q[0] - sx * 1.7 * 0.05 * ux[0], 1e-12);
            EXPECT_NEAR(c.xTip[1], c.q[1] - sx * 1.7 * 0.05 * ux[1], 1e-12);
            const double sy = f[1] > 0 ? 1.0 : -1.0;
            EXPECT_NEAR(std::cos(c.yAngle), sy * uy[0], 1e-12);
            EXPECT_NEAR(std::sin(c.yAngle), sy * uy[1], 1e-12);
            EXPECT_NEAR(c.yTip[0], c.q[0] - sy * 1.7 * 0.06 * uy[0], 1e-12);
            EXPECT_NEAR(c.yTip[1], c.q[1] - sy * 1.7 * 0.06 * uy[1], 1e-12);
            EXPECT_DOUBLE_EQ(c.xLength, 0.25 * std::fabs(f[0]));
            EXPECT_DOUBLE_EQ(c.yLength, 0.25 * std::fabs(f[1]));
            // The corner is the body's lower left seen in the carriage's own axes.
            EXPECT_NEAR(c.corner[0], c.q[0] + 1.7 * (-0.05 * ux[0] - 0.06 * uy[0]), 1e-12);
            EXPECT_NEAR(c.corner[1], c.q[1] + 1.7 * (-0.05 * ux[1] - 0.06 * uy[1]), 1e-12);
        }
    }
}

TEST_F(ViewTest, CarriageForcesShowPointUntilArrivalThenZero)
{
    sim.mf = 10;
    sim.finalXY[7][2] = 1.5;
    sim.finalXY[7][3] = -2.0;
    sim.finalXY[10][2] = -0.5;
    sim.finalXY[10][3] = 0.25;
    sim.finalXY[12][2] = 9.0;  // left over from an earlier, longer run
    double f[2];
    sim.m = 7;
    carriageForces(7, f);
    EXPECT_EQ(f[0], 1.5);
    EXPECT_EQ(f[1], -2.0);
    sim.m = 10;
    carriageForces(10, f);
    EXPECT_EQ(f[0], -0.5);
    EXPECT_EQ(f[1], 0.25);
    sim.m = 12;  // normal CP motion goes on; the time-optimal motion has arrived
    carriageForces(10, f);
    EXPECT_EQ(f[0], 0.0);
    EXPECT_EQ(f[1], 0.0);
}

// ---- Switching markers ----

TEST_F(ViewTest, SwitchMarkerFindsLimitTransitionsInOrder)
{
    sim.xamax = 2.0;
    sim.yamax = 1.5;
    sim.zoom = 2.0;
    double r = 0.0;
    auto set = [](int i, double ax, double ay) {
        sim.finalXY[i][2] = ax;
        sim.finalXY[i][3] = ay;
    };
    // x reaches its limit at 5: ring at 5.
    set(4, 1.2, 0.3);
    set(5, -2.0, 0.3);
    EXPECT_EQ(switchMarker(5, &r), 5);
    EXPECT_DOUBLE_EQ(r, 0.012);
    // x leaves it: ring at the earlier point.
    set(4, 2.0, 0.3);
    set(5, 1.99, 0.3);
    EXPECT_EQ(switchMarker(5, &r), 4);
    // Between the two tolerances nothing counts as a transition.
    set(4, 1.9995, 0.3);
    set(5, 2.0, 0.3);
    EXPECT_EQ(switchMarker(5, &r), -1);
    // y reaches its limit.
    set(4, 0.5, 1.0);
    set(5, 0.5, 1.5);
    EXPECT_EQ(switchMarker(5, &r), 5);
    EXPECT_DOUBLE_EQ(r, 0.012);
    // y leaves it: the one radius that follows the zoom.
    set(4, 0.5, -1.5);
    set(5, 0.5, -1.2);
    EXPECT_EQ(switchMarker(5, &r), 4);
    EXPECT_DOUBLE_EQ(r, 0.024);
    set(4, 0.5, 1.5);
    set(5, 0.5, 1.4995);  // not yet off the limit
    EXPECT_EQ(switchMarker(5, &r), -1);
    // x jumps from one limit to the other: ring at the earlier point.
    set(4, 2.0, 0.1);
    set(5, -2.0, 0.1);
    EXPECT_EQ(switchMarker(5, &r), 4);
    EXPECT_DOUBLE_EQ(r, 0.012);
    // y jumps from one limit to the other.
    set(4, 0.1, 1.5);
    set(5, 0.1, -1.5);
    EXPECT_EQ(switchMarker(5, &r), 4);
    // The first case wins: x reaching its limit beats y leaving it (radius not zoomed).
    set(4, 1.0, 1.5);
    set(5, 2.0, 1.0);
    EXPECT_EQ(switchMarker(5, &r), 5);
    EXPECT_DOUBLE_EQ(r, 0.012);
    // Steady on both limits: nothing.
    set(4, 2.0, 1.5);
    set(5, 2.0, 1.5);
    EXPECT_EQ(switchMarker(5, &r), -1);
    // Outside the table: nothing.
    EXPECT_EQ(switchMarker(0, &r), -1);
    EXPECT_EQ(switchMarker(TRAJ_CAP, &r), -1);
}

}  // namespace
