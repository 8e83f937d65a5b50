// GL tests of the drawing primitives on the virtual display: shapes read back pixel by pixel.
// Uses the view state of `sim` only for drawPathDisc; everything else is window coordinates.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/state.h"
#include "gl_support.h"
#include "render/primitives.h"

using namespace gltest;

namespace {

constexpr double PX = 2.0 / 800.0;  // one pixel in window units at 800 x 800

struct Pt {
    double x, y;
};
using Poly = std::vector<Pt>;

// Inside test for a convex polygon of either orientation.
bool insideConvex(const Poly& p, Pt q)
{
    int pos = 0, neg = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const Pt a = p[i], b = p[(i + 1) % p.size()];
        const double c = (b.x - a.x) * (q.y - a.y) - (b.y - a.y) * (q.x - a.x);
        if (c > 0) ++pos;
        if (c < 0) ++neg;
    }
    return pos == 0 || neg == 0;
}

double segDist(Pt a, Pt b, Pt q)
{
    const double vx = b.x - a.x, vy = b.y - a.y;
    const double l2 = vx * vx + vy * vy;
    double t = l2 > 0 ? ((q.x - a.x) * vx + (q.y - a.y) * vy) / l2 : 0.0;
    t = std::max(0.0, std::min(1.0, t));
    return std::hypot(a.x + t * vx - q.x, a.y + t * vy - q.y);
}

double boundaryDist(const Poly& p, Pt q)
{
    double d = 1e9;
    for (size_t i = 0; i < p.size(); ++i) d = std::min(d, segDist(p[i], p[(i + 1) % p.size()], q));
    return d;
}

// Checks a union of convex polygons against the picture inside a box: pixels
// whose centre lies more than `margin` inside must have the colour, pixels more
// than `margin` outside all polygons must be white. Returns the number of
// pixels checked inside.
int checkShape(const Image& img, const std::vector<Poly>& shape, Rgb colour, double x0, double y0, double x1,
               double y1, double margin = 1.0 * PX)
{
    int inside = 0;
    for (int py = img.rowOf(y0); py <= img.rowOf(y1); ++py) {
        for (int px = img.colOf(x0); px <= img.colOf(x1); ++px) {
            const Pt q{img.wxOf(px), img.wyOf(py)};
            bool in = false;
            double dmin = 1e9;
            for (const Poly& p : shape) {
                if (insideConvex(p, q)) in = true;
                dmin = std::min(dmin, boundaryDist(p, q));
            }
            if (dmin <= margin) continue;  // edge pixels may go either way
            const Rgb got = img.at(px, py);
            if (in) {
                ++inside;
                EXPECT_TRUE(same(got, colour)) << "inside pixel (" << px << "," << py << ") is " << got.r << ","
                                               << got.g << "," << got.b;
            } else {
                EXPECT_TRUE(same(got, WHITE)) << "outside pixel (" << px << "," << py << ") is " << got.r << ","
                                              << got.g << "," << got.b;
            }
            if (::testing::Test::HasFailure()) return inside;  // one report is enough
        }
    }
    return inside;
}

// The arrow as its description gives it: tip at `tip`, pointing along `angle`;
// the head's notch h = 0.1k behind the tip and its barbs 1.5h behind and 0.4h to
// the sides; the shaft 0.02k wide from the notch back to L = length·k behind the tip.
std::vector<Poly> arrowShape(double k, Pt tip, double length, double angle)
{
    const double h = 0.1 * k, ws = 0.02 * k, L = length * k;
    const double c = std::cos(angle), s = std::sin(angle);
    auto at = [&](double back, double side) { return Pt{tip.x - back * c - side * s, tip.y - back * s + side * c}; };
    std::vector<Poly> out;
    out.push_back({at(0, 0), at(h, 0), at(1.5 * h, 0.4 * h)});
    out.push_back({at(0, 0), at(h, 0), at(1.5 * h, -0.4 * h)});
    if (L > h) out.push_back({at(h, -ws / 2), at(L, -ws / 2), at(L, ws / 2), at(h, ws / 2)});
    return out;
}

class PrimitivesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureWindow();
        clearFrame();
    }
};

TEST_F(PrimitivesTest, ArrowOfHalfLengthCoversShaftAndHeadAndNothingElse)
{
    const Pt tip{0.3, 0.1};
    const double t[2] = {tip.x, tip.y};
    drawArrow(1.0, t, 0.5, 0.0, red);
    const Image img = readBack();
    const int in = checkShape(img, arrowShape(1.0, tip, 0.5, 0.0), RED, -0.4, -0.1, 0.5, 0.3);
    EXPECT_GT(in, 300);  // shaft 160 x 4 px plus the head
    // Spot checks from the numbers: the shaft ends 0.5 behind the tip, the barbs
    // reach 0.15 behind it and 0.04 to the side.
    EXPECT_TRUE(same(img.atWindow(-0.19, 0.1), RED));
    EXPECT_TRUE(same(img.atWindow(-0.21, 0.1), WHITE));
    EXPECT_TRUE(same(img.atWindow(0.305, 0.1), WHITE));
    EXPECT_TRUE(same(img.atWindow(0.17, 0.129), RED));
    EXPECT_TRUE(same(img.atWindow(0.17, 0.071), RED));
    EXPECT_TRUE(same(img.atWindow(0.14, 0.1), RED));   // shaft under the barbs
    EXPECT_TRUE(same(img.atWindow(0.14, 0.13), WHITE));  // beyond the barbs
}

TEST_F(PrimitivesTest, ArrowFollowsAngleAndZoom)
{
    const Pt tip{-0.2, -0.3};
    const double t[2] = {tip.x, tip.y};
    drawArrow(1.5, t, 0.3, PI / 2, blue);
    const Image img = readBack();
    const int in = checkShape(img, arrowShape(1.5, tip, 0.3, PI / 2), BLUE, -0.35, -0.85, -0.05, -0.25);
    EXPECT_GT(in, 200);
    // Pointing up: the tip is the top, the shaft reaches 0.45 below it.
    EXPECT_TRUE(same(img.atWindow(-0.2, -0.74), BLUE));
    EXPECT_TRUE(same(img.atWindow(-0.2, -0.76), WHITE));
}

TEST_F(PrimitivesTest, ZeroLengthArrowDrawsItsHeadAlone)
{
    const Pt tip{0.0, 0.0};
    const double t[2] = {tip.x, tip.y};
    drawArrow(2.0, t, 0.0, PI, black);  // pointing left, head to the right of the tip
    const Image img = readBack();
    checkShape(img, arrowShape(2.0, tip, 0.0, PI), BLACK, -0.1, -0.2, 0.5, 0.2);
    // Notch 0.2 and barbs 0.3 behind the tip at zoom 2; nothing further.
    EXPECT_TRUE(same(img.atWindow(0.19, 0.0), BLACK));
    EXPECT_TRUE(same(img.atWindow(0.21, 0.0), WHITE));
    EXPECT_TRUE(same(img.atWindow(0.28, 0.069), BLACK));
    EXPECT_TRUE(same(img.atWindow(0.32, 0.08), WHITE));
}

TEST_F(PrimitivesTest, RingIsColouredAroundWhiteCentre)
{
    // A black background tells the ring's white centre from the cleared window.
    const double corner[2] = {-0.5, -0.5};
    fillRect(corner, 1.0, 1.0, 0.0, black);
    const double c[2] = {0.0, 0.0};
    drawRing(c, 0.05, blue);  // 20 px outer, 18 px inner radius
    const Image img = readBack();
    EXPECT_TRUE(same(img.atWindow(0.0, 0.0), WHITE));
    EXPECT_TRUE(same(img.atWindow(0.03, 0.0), WHITE));
    int ringPixels = 0, stray = 0;
    for (int y = img.rowOf(-0.07); y <= img.rowOf(0.07); ++y) {
        for (int x = img.colOf(-0.07); x <= img.colOf(0.07); ++x) {
            const double r = std::hypot(img.wxOf(x), img.wyOf(y));
            const Rgb p = img.at(x, y);
            if (r < 0.045 - PX) {
                if (!same(p, WHITE)) ++stray;
            } else if (r > 0.045 + 0.25 * PX && r < 0.05 - 0.25 * PX) {  // pixel centres decide
                if (same(p, BLUE)) ++ringPixels; else ++stray;
            } else if (r > 0.05 + PX) {
                if (!same(p, BLACK)) ++stray;
            }
        }
    }
    EXPECT_EQ(stray, 0);
    EXPECT_GT(ringPixels, 0);
    // Around the whole circle: every direction crosses blue between 18 and 20 px.
    for (int i = 0; i < 16; ++i) {
        const double th = i * 2 * PI / 16;
        bool hit = false;
        for (double r = 0.044; r <= 0.051; r += 0.0005)
            if (same(img.atWindow(r * std::cos(th), r * std::sin(th)), BLUE)) hit = true;
        EXPECT_TRUE(hit) << "direction " << i;
    }
}

TEST_F(PrimitivesTest, RingBelowHalfItsWidthIsCoveredByItsWhiteDisc)
{
    const double corner[2] = {-0.5, -0.5};
    fillRect(corner, 1.0, 1.0, 0.0, black);
    const double c[2] = {0.1, 0.1};
    drawRing(c, 0.002, red);
    const Image img = readBack();
    EXPECT_EQ(img.count(RED), 0);
    EXPECT_TRUE(same(img.atWindow(0.1, 0.1), WHITE));
}

TEST_F(PrimitivesTest, DiscFillsItsRadius)
{
    const double c[2] = {0.2, -0.3};
    drawDisc(c, 0.1, green);
    const Image img = readBack();
    int inside = 0;
    for (int y = img.rowOf(-0.45); y <= img.rowOf(-0.15); ++y)
        for (int x = img.colOf(0.05); x <= img.colOf(0.35); ++x) {
            const double r = std::hypot(img.wxOf(x) - 0.2, img.wyOf(y) + 0.3);
            if (r < 0.1 - 1.5 * PX) {
                ++inside;
                ASSERT_TRUE(same(img.at(x, y), GREEN)) << x << "," << y;
            } else if (r > 0.1 + 1.5 * PX) {
                ASSERT_TRUE(same(img.at(x, y), WHITE)) << x << "," << y;
            }
        }
    EXPECT_GT(inside, 0);
    // Pixels are filled by their centres, so the green area is the disc's area.
    EXPECT_NEAR(img.count(GREEN), PI * 40 * 40, 0.01 * PI * 40 * 40);
}

TEST_F(PrimitivesTest, RectanglesTurnAboutTheirCorner)
{
    const double corner[2] = {-0.6, 0.2};
    const double th = PI / 6;
    const double c = std::cos(th), s = std::sin(th);
    auto at = [&](double u, double v) { return Pt{corner[0] + u * c - v * s, corner[1] + u * s + v * c}; };
    fillRect(corner, 0.3, 0.15, th, yellow);
    const double corner2[2] = {0.2, 0.2};
    frameRect(corner2, 0.3, 0.15, 0.0, blue);
    const Image img = readBack();
    checkShape(img, {{at(0, 0), at(0.3, 0), at(0.3, 0.15), at(0, 0.15)}}, YELLOW, -0.8, 0.1, -0.2, 0.5);
    // The outline: edges coloured, inside left white.
    EXPECT_TRUE(same(img.atWindow(0.35, 0.275), WHITE));
    EXPECT_TRUE(same(img.atWindow(0.2 + 0.5 * PX, 0.275), BLUE) || same(img.atWindow(0.2 - 0.5 * PX, 0.275), BLUE));
    bool top = false;
    for (int dy = -1; dy <= 1; ++dy)
        if (same(img.at(img.colOf(0.35), img.rowOf(0.35) + dy), BLUE)) top = true;
    EXPECT_TRUE(top);
}

// Width in pixels of the run of `colour` that a column crosses near window y.
int runHeight(const Image& img, double wx, double wy, Rgb colour)
{
    const int x = img.colOf(wx);
    int y = img.rowOf(wy);
    int lo = y, hi = y;
    bool found = false;
    for (int d = -6; d <= 6 && !found; ++d)
        if (same(img.at(x, y + d), colour)) {
            lo = hi = y + d;
            found = true;
        }
    if (!found) return 0;
    while (same(img.at(x, lo - 1), colour)) --lo;
    while (same(img.at(x, hi + 1), colour)) ++hi;
    return hi - lo + 1;
}

TEST_F(PrimitivesTest, ThickLineWidthIsFourHundredPixelsPerUnitThenTwo)
{
    const double a[2] = {-0.8, 0.5}, b[2] = {0.8, 0.5};
    drawThickLine(a, b, 0.008, red);  // 3.2 px
    GLfloat w = 0;
    glGetFloatv(GL_LINE_WIDTH, &w);
    EXPECT_FLOAT_EQ(w, 2.0f);
    const double c[2] = {-0.8, 0.0}, d[2] = {0.8, 0.0};
    drawThickLine(c, d, 0.025, blue);  // 10 px
    const double e[2] = {-0.8, -0.5}, f[2] = {0.8, -0.5};
    drawLine(e, f, black);  // in the width a thick line leaves
    const Image img = readBack();
    EXPECT_EQ(runHeight(img, 0.1, 0.5, RED), 3);
    EXPECT_EQ(runHeight(img, 0.1, 0.0, BLUE), 10);
    EXPECT_EQ(runHeight(img, 0.1, -0.5, BLACK), 2);
}

TEST_F(PrimitivesTest, GridAxesAreTwoPixelsAndOtherLinesOne)
{
    const double c[2] = {-0.5, -0.5};
    drawGrid(c, 0.0, 40, 0.1, 0.1);
    GLfloat w = 0;
    glGetFloatv(GL_LINE_WIDTH, &w);
    EXPECT_FLOAT_EQ(w, 1.0f);
    const Image img = readBack();

    // Along a row between horizontal lines: black runs every 40 px, 2 px at the axis.
    const int y = img.rowOf(-0.45);
    std::vector<std::pair<int, int>> runs;  // (start, length)
    for (int x = 0; x < img.w; ++x) {
        if (!same(img.at(x, y), BLACK)) continue;
        if (!runs.empty() && runs.back().first + runs.back().second == x)
            ++runs.back().second;
        else
            runs.push_back({x, 1});
    }
    ASSERT_EQ(runs.size(), 20u);
    int axisRuns = 0;
    for (auto& r : runs) {
        const bool atAxis = std::abs(r.first - 200) <= 2;
        EXPECT_EQ(r.second, atAxis ? 2 : 1) << "run at " << r.first;
        if (atAxis) ++axisRuns;
    }
    EXPECT_EQ(axisRuns, 1);
    for (size_t i = 1; i < runs.size(); ++i) EXPECT_NEAR(runs[i].first - runs[i - 1].first, 40, 1);

    // Down a column between vertical lines: the horizontal axis is 2 px too.
    EXPECT_EQ(runHeight(img, -0.45, -0.5, BLACK), 2);
    EXPECT_EQ(runHeight(img, -0.45, -0.4, BLACK), 1);
    EXPECT_EQ(runHeight(img, -0.45, 0.3, BLACK), 1);
}

TEST_F(PrimitivesTest, ShapesLeaveLightingOnAndTextsNearBlack)
{
    glDisable(GL_LIGHTING);
    const double c[2] = {0.5, 0.5};
    drawDisc(c, 0.01, red);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    drawText(-0.9f, -0.9f, FONT_HELVETICA_18, "Arrow = Driving force[N]\n");
    const Image img = readBack();
    int text = 0, other = 0;
    for (int y = img.rowOf(-0.95); y <= img.rowOf(-0.8); ++y)
        for (int x = 0; x < img.w / 2; ++x) {
            const Rgb p = img.at(x, y);
            if (same(p, NEAR_BLACK, 1))
                ++text;
            else if (!same(p, WHITE))
                ++other;
        }
    EXPECT_GT(text, 100);
    EXPECT_EQ(other, 0);
}

TEST_F(PrimitivesTest, PathDiscFollowsFigureTransformButNotItsRadius)
{
    sim.xorg = sim.yorg = -0.5;
    sim.zoom = 2.0;
    sim.xshift = 0.1;
    sim.yshift = -0.05;
    const double p[2] = {0.5, 0.25};
    drawPathDisc(p, 0.02, red);  // at ((−0.5 + 0.5)·2 + 0.1, (−0.5 + 0.25)·2 − 0.05) = (0.1, −0.55)
    const Image img = readBack();
    EXPECT_TRUE(same(img.atWindow(0.1, -0.55), RED));
    EXPECT_TRUE(same(img.atWindow(0.1 + 0.017, -0.55), RED));
    EXPECT_TRUE(same(img.atWindow(0.1 + 0.023, -0.55), WHITE));
    EXPECT_TRUE(same(img.atWindow(0.1, -0.55 - 0.023), WHITE));
    sim.zoom = 1.0;
    sim.xshift = sim.yshift = 0.0;
}

TEST_F(PrimitivesTest, ClearFrameWhitensAndResetsModelView)
{
    const double c[2] = {0.0, 0.0};
    drawDisc(c, 0.5, black);
    glTranslated(0.3, 0.2, 0.0);
    clearFrame();
    GLdouble mv[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(mv[i], (i % 5 == 0) ? 1.0 : 0.0);
    const Image img = readBack();
    EXPECT_EQ(img.count(WHITE), img.w * img.h);
}

}  // namespace
