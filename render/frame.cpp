// Frame composition: the texts at the top, the figure grid and the state-dependent picture.
// Reads the whole search, trajectory and view state of `sim`; writes tf (drawInfoTexts).
#include "render/frame.h"

#include "core/state.h"
#include "planner/search.h"
#include "render/answer_overlay.h"
#include "render/carriage.h"
#include "render/phase_plots.h"
#include "render/primitives.h"
#include "render/time_graphs.h"
#include "render/view.h"

namespace {

constexpr double TRACE_RADIUS = 0.008;         // time-optimal trace and goal [× zoom]
constexpr double NORMAL_TRACE_RADIUS = 0.002;  // normal CP trace [× zoom]
constexpr double NORMAL_NOW_RADIUS = 0.006;    // normal CP position [× zoom]
constexpr double END_RING_RADIUS = 0.012;      // start and goal rings, fixed size
constexpr double PANEL_WIDTH = 1.0;            // graph panel, from gx0 - 0.05 [window units]
constexpr double PANEL_HEIGHT = 2.0;           // from the bottom edge

// A last index kept inside a table of `cap` entries.
int within(int n, int cap)
{
    if (n < 0) return 0;
    if (n > cap - 1) return cap - 1;
    return n;
}

void infoText(double dx, double y, const char* text)
{
    drawText(static_cast<float>(-0.95 + dx), static_cast<float>(y), FONT_HELVETICA_18, text);
}

void ringAtPathPoint(const double p[2], double r)
{
    double c[2];
    figureTransform(p[0], p[1], c);
    drawRing(c, r, blue);
}

}  // namespace

void drawTitle()
{
    drawText(-0.99f, 0.95f, FONT_HELVETICA_18, "CP Time optimal control : Phase Plane Analysis");
}

void drawInfoTexts()
{
    const SimState& g = sim;
    refreshGoalTime();  // tf := time of chnRec[NCHN]

    char acc[ACC_TEXT_CAP];
    char goal[TIME_TEXT_CAP];
    char normal[TIME_TEXT_CAP];
    formatAccText(g.xamax, g.yamax, acc);
    formatTimeText(g.tf, goal);
    formatTimeText(g.tfNormal, normal);

    infoText(0.0, 0.9, "(a) Cartesian coordinate robot");
    infoText(0.05, 0.85, "ACCmax(x,y)=");
    infoText(0.35, 0.85, acc);
    infoText(0.05, 0.8, "goal time=");
    infoText(0.3, 0.8, goal);
    infoText(0.55, 0.8, "Normal CP time=");
    infoText(0.9, 0.8, normal);
    infoText(0.05, 0.75, "Red : TOC,  White : Normal CP");
    infoText(0.05, 0.7, "Arrow = Driving force[N]");
    infoText(0.05, 0.65, "1 grid=(0.1[m], 0.1[m])");
}

void drawFigureGrid()
{
    const SimState& g = sim;
    double c[2];
    figureTransform(0.0, 0.0, c);  // (xorg·zoom + xshift, yorg·zoom + yshift)
    drawGrid(c, 0.0, 40, 0.1 * g.zoom, 0.1 * g.zoom);
}

void drawSearchState()
{
    SimState& g = sim;
    plotPhaseCurve(within(g.fwdN, CURVE_CAP), g.fwdCurve, blue);
    plotPhaseCurve(within(g.bwdN, CURVE_CAP), g.bwdCurve, blue);
    plotLimitCurve(black);

    runSearchStep();
    plotTrajectory(trajectoryPlotLast(), g.phase, red);
    if (g.aheadMade) {
        plotPhaseCurve(within(g.aheadSameN, TRAJ_CAP), g.aheadSame, blue);
        plotPhaseCurve(within(g.aheadFlipN, TRAJ_CAP), g.aheadFlip, yellow);
        return;
    }
    if (g.finishPending) {
        // The completed trajectory stays on screen while the planner rebuilds
        // it, computes normal CP motion and prints its summary.
        drawText(-0.5f, 0.1f, FONT_TIMES_ROMAN_24, "Trajectory obtained!");
        presentFrame();
        finishSearch();
    }
}

void drawPlaybackState()
{
    SimState& g = sim;
    runSearchStep();  // m advances; playK = min(m, mf), then m is capped at mNormal
    const int k = within(g.playK, TRAJ_CAP);
    const int m = within(g.m, TRAJ_CAP);
    const int mf = within(g.mf, TRAJ_CAP);

    drawAnswerOverlay();  // the optimum under the trajectory (cptoc --answer only)
    plotTrajectory(k, g.phase, red);
    plotLimitCurve(black);
    drawCarriage(g.finalXY[k], 0.0, red);
    drawPathDisc(g.finalXY[mf], TRACE_RADIUS * g.zoom, blue);
    // The graph panel, painted at the end, hides whatever of the traces lies under it.
    const double panel[4] = {g.gx0 - 0.05, -1.0, g.gx0 - 0.05 + PANEL_WIDTH, -1.0 + PANEL_HEIGHT};
    drawPathDiscRun(&g.finalXY[0][0], 4, k + 1, TRACE_RADIUS * g.zoom, red, panel);
    drawPathDiscRun(&g.normalXY[0][0], 2, m + 1, NORMAL_TRACE_RADIUS * g.zoom, white, panel);
    drawPathDisc(g.normalXY[m], NORMAL_NOW_RADIUS * g.zoom, black);

    // Where an axis reaches, leaves or jumps across its limit.
    for (int j = 1; j <= k; ++j) {
        double r = 0.0;
        const int at = switchMarker(j, &r);
        if (at >= 0) ringAtPathPoint(g.finalXY[at], r);
    }
    ringAtPathPoint(g.finalXY[0], END_RING_RADIUS);
    ringAtPathPoint(g.finalXY[mf], END_RING_RADIUS);

    // The graph panel hides whatever of the figure reaches into it.
    const double corner[2] = {panel[0], panel[1]};
    fillRect(corner, PANEL_WIDTH, PANEL_HEIGHT, 0.0, white);
    plotDisplacement(k);
    plotTorques(k);
}

void drawFramePass()
{
    clearFrame();
    drawTitle();
    drawInfoTexts();
    drawFigureGrid();
    if (sim.endMark != 'e')
        drawSearchState();
    else
        drawPlaybackState();
    presentFrame();
}
