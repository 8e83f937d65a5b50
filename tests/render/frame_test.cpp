// GL tests of the frame parts: texts, phase-plane widths, time graphs and the playback picture.
// Drives the real planner through `sim` (compute-only frames) and reads the back buffer.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "app/keys.h"
#include "core/console.h"
#include "core/state.h"
#include "gl_support.h"
#include "planner/prepare.h"
#include "render/frame.h"
#include "render/phase_plots.h"
#include "render/primitives.h"
#include "render/time_graphs.h"
#include "render/view.h"

using namespace gltest;

namespace {

FILE* quietConsole()
{
    static FILE* devnull = std::fopen("/dev/null", "w");
    return devnull;
}

// The default 90° arc, prepared as the start-up dialogue leaves it ('n', 'n').
void prepareDefaultRun()
{
    conSetStreams(quietConsole(), nullptr);
    sim = SimState{};
    initDefaults();
    sim.lastKey = '0';
    prepareSearch();
    setFrameFunction(nullptr);  // key presses compute their frame without drawing
}

// Presses 'f' until the search has ended (a failed join acts as 's').
bool completeSearchWithF()
{
    for (int i = 0; i < 600 && sim.endMark != 'e'; ++i) onKey('f', 0, 0);
    return sim.endMark == 'e';
}

// Non-white pixels in a window-coordinate box, split into near-black and others.
void countTextPixels(const Image& img, double x0, double y0, double x1, double y1, int* text, int* other)
{
    *text = *other = 0;
    for (int y = img.rowOf(y0); y <= img.rowOf(y1); ++y)
        for (int x = img.colOf(x0); x <= img.colOf(x1); ++x) {
            const Rgb p = img.at(x, y);
            if (same(p, NEAR_BLACK, 1))
                ++*text;
            else if (!same(p, WHITE))
                ++*other;
        }
}

int countIn(const Image& img, double x0, double y0, double x1, double y1, Rgb c)
{
    int n = 0;
    for (int y = img.rowOf(y0); y <= img.rowOf(y1); ++y)
        for (int x = img.colOf(x0); x <= img.colOf(x1); ++x)
            if (same(img.at(x, y), c)) ++n;
    return n;
}

bool colourNear(const Image& img, double wx, double wy, Rgb c, int radiusPx = 1)
{
    for (int dy = -radiusPx; dy <= radiusPx; ++dy)
        for (int dx = -radiusPx; dx <= radiusPx; ++dx)
            if (same(img.at(img.colOf(wx) + dx, img.rowOf(wy) + dy), c)) return true;
    return false;
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureWindow();
        prepareDefaultRun();
        clearFrame();
    }
    void TearDown() override { conSetStreams(nullptr, nullptr); }
};

TEST_F(FrameTest, FirstFrameTextsAreNearBlackBeforeAnyShape)
{
    // The state of a fresh context: lighting off, current colour white.
    glDisable(GL_LIGHTING);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    drawTitle();
    drawInfoTexts();
    const Image img = readBack();
    int text = 0, other = 0;
    countTextPixels(img, -1.0, 0.6, 1.0, 1.0, &text, &other);
    EXPECT_GT(text, 1500);
    EXPECT_EQ(other, 0);
    countTextPixels(img, -0.99, 0.95, -0.2, 0.99, &text, &other);  // the title alone
    EXPECT_GT(text, 300);
}

TEST_F(FrameTest, InfoTextsShowLimitsAndTimesTruncatedAtTheirPlaces)
{
    sim.xamax = 1.3;
    sim.yamax = 6.85;
    sim.NCHN = 2;
    sim.chnRec[2][0] = 2.9996;
    sim.tfNormal = 1.4643;
    drawInfoTexts();
    EXPECT_DOUBLE_EQ(sim.tf, 2.9996);  // refreshed from the last switching record
    const Image got = readBack();

    // Reference: the same lines typed out with their expected contents.
    clearFrame();
    auto line = [](double dx, double y, const char* s) {
        drawText(static_cast<float>(-0.95 + dx), static_cast<float>(y), FONT_HELVETICA_18, s);
    };
    line(0.0, 0.9, "(a) Cartesian coordinate robot");
    line(0.05, 0.85, "ACCmax(x,y)=");
    line(0.35, 0.85, "(1.3, 6.8)[m/s^2]");
    line(0.05, 0.8, "goal time=");
    line(0.3, 0.8, "2.999[s]");
    line(0.55, 0.8, "Normal CP time=");
    line(0.9, 0.8, "1.464[s]");
    line(0.05, 0.75, "Red : TOC,  White : Normal CP");
    line(0.05, 0.7, "Arrow = Driving force[N]");
    line(0.05, 0.65, "1 grid=(0.1[m], 0.1[m])");
    const Image want = readBack();
    ASSERT_EQ(got.px.size(), want.px.size());
    int differing = 0;
    for (size_t i = 0; i < got.px.size(); ++i)
        if (got.px[i] != want.px[i]) ++differing;
    EXPECT_EQ(differing, 0);
    int text = 0, other = 0;
    countTextPixels(want, -1.0, 0.6, 1.0, 0.94, &text, &other);
    EXPECT_GT(text, 1000);  // the reference is not empty

    // A different limit changes the picture.
    clearFrame();
    sim.yamax = 6.95;
    drawInfoTexts();
    const Image changed = readBack();
    differing = 0;
    for (size_t i = 0; i < got.px.size(); ++i)
        if (changed.px[i] != want.px[i]) ++differing;
    EXPECT_GT(differing, 0);
}

// Thickness of the run of `c` a column crosses near window y.
int thickness(const Image& img, double wx, double wy, Rgb c)
{
    const int x = img.colOf(wx);
    int y = img.rowOf(wy);
    for (int d = 0; d <= 6; ++d) {
        if (same(img.at(x, y + d), c)) { y += d; break; }
        if (same(img.at(x, y - d), c)) { y -= d; break; }
    }
    if (!same(img.at(x, y), c)) return 0;
    int lo = y, hi = y;
    while (same(img.at(x, lo - 1), c)) --lo;
    while (same(img.at(x, hi + 1), c)) ++hi;
    return hi - lo + 1;
}

TEST_F(FrameTest, PhaseLinesThinFromSearchToPlayback)
{
    const double table[3][2] = {{0.2, 1.0}, {0.8, 1.0}, {1.4, 1.0}};
    // P(s, 1) = (−0.5 + 0.5 s, 0) at zoom 1 and phscale 1.
    sim.endMark = '0';
    plotPhaseCurve(2, table, red);
    const Image search = readBack();
    EXPECT_EQ(thickness(search, -0.1, 0.0, RED), 3);  // 0.008 · 400 = 3.2 px
    EXPECT_EQ(thickness(search, 0.15, 0.0, RED), 3);
    EXPECT_TRUE(same(search.atWindow(-0.45, 0.0), WHITE));  // before s = 0.2
    EXPECT_TRUE(same(search.atWindow(0.25, 0.0), WHITE));   // after s = 1.4

    clearFrame();
    sim.endMark = 'e';
    sim.NCT = -1;  // no switching rings for this check
    plotPhaseCurve(2, table, red);
    const Image play = readBack();
    EXPECT_EQ(thickness(play, -0.1, 0.0, RED), 2);  // 0.004 · 400 = 1.6 px

    clearFrame();
    plotPhaseCurve(0, table, red);  // no segments
    EXPECT_EQ(readBack().count(RED), 0);
}

TEST_F(FrameTest, PlaybackTrajectoryRingsEverySwitchRecordEvenWithNoSwitch)
{
    sim.endMark = 'e';
    sim.NCT = 0;
    sim.nctRec[0][1] = 0.6;
    sim.nctRec[0][2] = 1.2;
    sim.nctRec[1][1] = 1.0;  // beyond NCT: not drawn
    sim.nctRec[1][2] = 0.4;
    const double table[2][2] = {{0.0, 0.0}, {1.2, 2.4}};  // through (0.6, 1.2)
    plotTrajectory(1, table, red);
    const Image img = readBack();
    double c[2];
    phaseTransform(0.6, 1.2, c);  // (−0.2, 0.1)
    EXPECT_TRUE(same(img.atWindow(c[0], c[1]), WHITE));  // the ring's centre hides the line
    EXPECT_TRUE(colourNear(img, c[0] + 0.006, c[1], BLUE));
    EXPECT_TRUE(colourNear(img, c[0], c[1] - 0.006, BLUE));
    phaseTransform(1.0, 0.4, c);
    EXPECT_FALSE(colourNear(img, c[0] + 0.006, c[1], BLUE, 3));
}

// A finished motion written by hand: T = 2.7 s, 28 points 0.1 s apart, two
// axis-force switches at 0.9 s and 1.8 s.
void syntheticMotion()
{
    sim.endMark = 'e';
    sim.NCHN = 2;
    sim.chnRec[2][0] = 2.7;
    sim.NCT = 3;
    sim.nctRec[1][0] = 0.9;
    sim.nctRec[2][0] = 1.8;
    sim.nctRec[3][0] = 2.7;
    sim.mf = 27;
    for (int i = 0; i <= 27; ++i) {
        sim.TIME[i] = 0.1 * i;
        sim.finalXY[i][0] = 0.5 - 0.5 * i / 27.0;
        sim.finalXY[i][1] = 0.5 * i / 27.0;
        sim.finalXY[i][2] = i < 14 ? -2.0 : 2.0;
        sim.finalXY[i][3] = i < 14 ? 1.0 : -1.0;
    }
}

TEST_F(FrameTest, TimeAxisTicksEverySecondWithSwitchLines)
{
    syntheticMotion();
    drawTimeAxes(1, 0.4, 0.1, 0.5, 0.3);
    const Image img = readBack();
    const double d = 0.5 / 2.7;  // one second
    for (int i = 1; i <= 2; ++i) EXPECT_TRUE(colourNear(img, 0.4 + i * d, 0.115, RED)) << "tick " << i;
    EXPECT_FALSE(colourNear(img, 0.4 + 0.5 * d, 0.115, RED));
    EXPECT_FALSE(colourNear(img, 0.4 + 1.5 * d, 0.115, RED));
    // Vertical axis from y0 − h to y0 + h in mode 1.
    EXPECT_TRUE(colourNear(img, 0.4, 0.38, RED));
    EXPECT_TRUE(colourNear(img, 0.4, -0.18, RED));
    EXPECT_FALSE(colourNear(img, 0.4, 0.43, RED, 2));
    // Green lines at 0.9/2.7 and 1.8/2.7 of the axis, and at its end.
    for (double f : {1.0 / 3.0, 2.0 / 3.0, 1.0}) {
        EXPECT_TRUE(colourNear(img, 0.4 + 0.5 * f, 0.3, GREEN)) << f;
        EXPECT_TRUE(colourNear(img, 0.4 + 0.5 * f, -0.1, GREEN)) << f;
    }
    EXPECT_FALSE(colourNear(img, 0.4 + 0.25, 0.3, GREEN, 3));
    // The label "2" and "s" sit just above the axis near the last tick.
    int text = 0, other = 0;
    countTextPixels(img, 0.4 + 2 * d - 0.03, 0.112, 0.4 + 2 * d + 0.04, 0.16, &text, &other);
    EXPECT_GT(text, 20);
}

TEST_F(FrameTest, DisplacementAxisReachesOnlyUpwards)
{
    syntheticMotion();
    drawTimeAxes(0, 0.4, 0.5, 0.5, 0.45);
    const Image img = readBack();
    EXPECT_TRUE(colourNear(img, 0.4, 0.9, RED));
    EXPECT_FALSE(colourNear(img, 0.4, 0.45, RED, 2));
    EXPECT_TRUE(colourNear(img, 0.4 + 0.5 / 3.0, 0.9, GREEN));
    EXPECT_FALSE(colourNear(img, 0.4 + 0.5 / 3.0, 0.45, GREEN, 2));
}

TEST_F(FrameTest, ForceGraphsDropToZeroOnlyWhenArrived)
{
    syntheticMotion();
    // Axis 1: −2 then +2 of xamax 2 at half-height 0.25 around y0 = 0.1.
    plotTorques(27);
    const Image arrived = readBack();
    // Curve on the limit lines and a drop at t = 2.7 s (x = 0.9) from y0 + 0.25 to y0.
    EXPECT_TRUE(colourNear(arrived, 0.5, 0.1 - 0.25, RED));
    EXPECT_TRUE(colourNear(arrived, 0.9, 0.2, RED));
    // Axis 2 (black): +1 then −1 of yamax 2: ±0.125 around −0.6, drop at the end.
    EXPECT_TRUE(colourNear(arrived, 0.5, -0.6 + 0.125, BLACK));
    EXPECT_TRUE(colourNear(arrived, 0.8, -0.6 - 0.125, BLACK));
    EXPECT_TRUE(colourNear(arrived, 0.9, -0.6 - 0.06, BLACK));

    clearFrame();
    plotTorques(20);  // under way: the curve stops at t = 2.0 s, no drop
    const Image underway = readBack();
    EXPECT_TRUE(colourNear(underway, 0.5, 0.1 - 0.25, RED));
    EXPECT_FALSE(colourNear(underway, 0.9, 0.2, RED, 2));
    EXPECT_FALSE(colourNear(underway, 0.9, -0.66, BLACK, 2));
    EXPECT_FALSE(colourNear(underway, 0.8, -0.6 - 0.125, BLACK, 2));
}

TEST_F(FrameTest, DisplacementCurvesFillGraphHeight)
{
    syntheticMotion();
    plotDisplacement(27);
    const Image img = readBack();
    // Range 0 … 0.5 over 0.4: x falls from 0.9 to 0.5, y rises from 0.5 to 0.9.
    const double ts = 0.5 / 2.7;
    for (int i : {3, 10, 20}) {
        const double tx = 0.4 + ts * 0.1 * i;
        EXPECT_TRUE(colourNear(img, tx, 0.5 + 0.8 * (0.5 - 0.5 * i / 27.0), RED)) << i;
        EXPECT_TRUE(colourNear(img, tx, 0.5 + 0.8 * (0.5 * i / 27.0), BLACK)) << i;
    }
}

TEST_F(FrameTest, SearchFramesDrawTrajectoryAndBothLookAheadCurves)
{
    for (int i = 0; i < 30; ++i) onKey('s', 0, 0);
    clearFrame();
    drawFigureGrid();
    drawSearchState();
    ASSERT_TRUE(sim.aheadMade);
    const Image img = readBack();
    EXPECT_GT(img.count(RED), 200);
    EXPECT_GT(img.count(YELLOW), 200);
    EXPECT_GT(img.count(BLUE), 1000);
    // The yellow curve ends where the flipped look-ahead ends.
    double e[2];
    phaseTransform(sim.aheadFlip[sim.aheadFlipN][0], sim.aheadFlip[sim.aheadFlipN][1], e);
    EXPECT_TRUE(colourNear(img, e[0], e[1], YELLOW, 3));
    // No graph panel while searching: the grid runs through the graph area.
    EXPECT_GT(countIn(img, 0.4, -0.95, 0.95, 0.5, BLACK), 500);
    EXPECT_EQ(countIn(img, 0.4, -0.95, 0.95, 0.5, GREEN), 0);
}

TEST_F(FrameTest, CompletingFrameShowsMessageThenTurnsToPlayback)
{
    // Join and play the joined trajectory up to one point before its end.
    for (int i = 0; i < 600 && !(sim.joinMark == 'f' && sim.m + 1 >= sim.mf); ++i) onKey('f', 0, 0);
    ASSERT_EQ(sim.joinMark, 'f');
    ASSERT_EQ(sim.m + 1, sim.mf);
    conSetStreams(quietConsole(), nullptr);
    clearFrame();
    drawSearchState();  // reaches mf: message, presentation, end of the search
    EXPECT_EQ(sim.endMark, 'e');
    EXPECT_EQ(sim.m, 0);
    EXPECT_GE(sim.NCT, 1);
    // Nothing is drawn after the presentation. The software renderer keeps the
    // back buffer across a swap (front-buffer reads are not available on it), so
    // the back buffer still holds the presented picture with the message.
    const Image front = readBack();
    int text = 0, other = 0;
    countTextPixels(front, -0.5, 0.1, -0.05, 0.16, &text, &other);
    EXPECT_GT(text, 300);
    EXPECT_GT(front.count(RED), 500);  // the red trajectory up to mf
}

TEST_F(FrameTest, PlaybackShowsCarriageMarksAndGraphPanel)
{
    ASSERT_TRUE(completeSearchWithF());
    for (int i = 0; i < 40; ++i) onKey('s', 0, 0);
    clearFrame();
    drawFigureGrid();
    drawPlaybackState();
    const int k = sim.playK;
    ASSERT_EQ(k, 41);
    ASSERT_EQ(sim.m, 41);
    const Image img = readBack();

    // The graph panel blanks the grid right of x = 0.35 but for the graphs.
    EXPECT_EQ(countIn(img, 0.355, -0.98, 0.39, -0.66, BLACK), 0);
    EXPECT_GT(countIn(img, 0.2, -0.98, 0.3, -0.66, BLACK), 50);

    // Rings with white centres at the axis-force switches in the phase plane.
    for (int j = 1; j <= sim.NCT; ++j) {
        double c[2];
        phaseTransform(sim.nctRec[j][1], sim.nctRec[j][2], c);
        if (c[0] > 0.34) continue;  // under the panel
        EXPECT_TRUE(same(img.atWindow(c[0], c[1]), WHITE)) << "ring " << j;
        EXPECT_TRUE(colourNear(img, c[0] + 0.006, c[1], BLUE)) << "ring " << j;
    }

    // The carriage at point k: red outline, white body over the grid, arrows.
    CarriageGeometry g;
    carriageGeometry(sim.finalXY[k][0], sim.finalXY[k][1], 0.0, sim.finalXY[k][2], sim.finalXY[k][3], &g);
    const double top = g.corner[1] + g.height, right = g.corner[0] + g.width;
    EXPECT_TRUE(colourNear(img, g.q[0] + 0.03, top, RED));
    EXPECT_TRUE(colourNear(img, g.q[0] - 0.03, g.corner[1], RED));
    EXPECT_TRUE(colourNear(img, right, g.q[1] + 0.03, RED));
    EXPECT_TRUE(same(img.atWindow(g.q[0] + 0.03, g.q[1] + 0.03), WHITE));
    double gridCol[2];
    figureTransform(0.5, 0.0, gridCol);  // a grid column at x = 0.5 m passes through the body
    EXPECT_FALSE(colourNear(img, gridCol[0], g.q[1] + 0.04, BLACK, 1));
    EXPECT_TRUE(colourNear(img, gridCol[0], top + 0.03, BLACK, 1));  // and above it the grid shows
    // The y force is positive here: the black arrow hangs below the bottom
    // edge with its shaft 0.02 wide, 0.25·ay long.
    ASSERT_GT(sim.finalXY[k][3], 0.8);  // long enough for a shaft (0.25·ay > 0.1)
    const double L = 0.25 * sim.finalXY[k][3];
    const double mid = g.corner[1] - (0.1 + L) / 2;  // half way along the shaft
    EXPECT_TRUE(same(img.atWindow(g.q[0] + 0.006, mid), BLACK));
    EXPECT_TRUE(same(img.atWindow(g.q[0] + 0.02, mid), WHITE));
    const double beyond = g.corner[1] - L - 0.015;  // past the shaft's end
    const double toGridRow = std::fabs(std::remainder(beyond + 0.5, 0.1));
    if (toGridRow > 0.006) {
        EXPECT_TRUE(same(img.atWindow(g.q[0] + 0.006, beyond), WHITE));
    }
    EXPECT_TRUE(same(img.atWindow(g.q[0] - 0.025, g.corner[1] - 0.12), BLACK));  // the left barb
    // The red trace discs and the blue goal disc on the figure.
    double p[2];
    figureTransform(sim.finalXY[20][0], sim.finalXY[20][1], p);
    EXPECT_TRUE(colourNear(img, p[0], p[1], RED));
    // The graphs have begun: curves right of the panel edge.
    EXPECT_GT(countIn(img, 0.4, -0.9, 0.95, 0.95, RED), 500);
}

}  // namespace
