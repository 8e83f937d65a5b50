// Phase-plane polylines: boundary curves, velocity limit, trajectory with its switching rings.
// Reads endMark, vLimit/vLimitLast, nctRec[]/NCT and the view state of `sim`.
#include "render/phase_plots.h"

#include "core/state.h"
#include "render/primitives.h"
#include "render/view.h"

double phaseLineWidth() { return sim.endMark == 'e' ? PHASE_WIDTH_PLAYBACK : PHASE_WIDTH_SEARCH; }

void plotPhaseCurve(int n, const double (*table)[2], const float colour[4])
{
    const double w = phaseLineWidth();
    double a[2];
    double b[2];
    if (n <= 0) return;
    phaseTransform(table[0][0], table[0][1], a);
    beginThickLines(w, colour);
    for (int j = 1; j <= n; ++j) {
        phaseTransform(table[j][0], table[j][1], b);
        thickLineSegment(a, b);
        a[0] = b[0];
        a[1] = b[1];
    }
    endThickLines();
}

void plotTrajectory(int n, const double (*table)[2], const float colour[4])
{
    const SimState& g = sim;
    plotPhaseCurve(n, table, colour);
    if (g.endMark != 'e') return;
    int last = g.NCT;
    if (last > REC_CAP - 1) last = REC_CAP - 1;
    for (int j = 0; j <= last; ++j) {
        double c[2];
        phaseTransform(g.nctRec[j][1], g.nctRec[j][2], c);
        drawRing(c, SWITCH_RING_RADIUS, blue);
    }
}

void plotLimitCurve(const float colour[4])
{
    int n = sim.vLimitLast;
    if (n > VLIMIT_CAP - 1) n = VLIMIT_CAP - 1;
    plotPhaseCurve(n, sim.vLimit, colour);
}
