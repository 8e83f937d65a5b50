// The two boundary curves of the phase plane: maximum acceleration out of the start,
// maximum deceleration into the goal (integrated backwards). Writes fwdCurve, bwdCurve.
#include "planner/boundary_curves.h"

#include <cmath>

#include "core/state.h"
#include "planner/bounds.h"
#include "planner/notices.h"

namespace {

constexpr int LAST = CURVE_CAP - 1;  // 3000: the curves never pass this index

// Integrates one curve from curve[0] with steps of h * nSub, each made of nSub
// Runge-Kutta-Gill sub-steps. A sub-step that drives an axis beyond its limit
// (plus AXIS_TOL) ends the curve with that sub-step's point; otherwise the curve
// ends after the first full step past the path (forward: s > sEnd, backward: s < 0)
// or at index 3000.
int integrateCurve(double (*curve)[2], double h, bool forward, bool* violated)
{
    SimState& g = sim;
    double acc[3] = {0, 0, 0};
    phaseRhs(1, 0.0, curve[0], acc);
    g.t = 0.0;
    *violated = false;
    const int nSub = g.nSub > 0 ? g.nSub : 1;
    for (int q = 1; q <= LAST; ++q) {
        double y[2] = {curve[q - 1][0], curve[q - 1][1]};
        for (int k = 0; k < nSub; ++k) {
            double yNew[2];
            rkgStep(g.t, h, y, yNew, acc, 2);
            y[0] = yNew[0];
            y[1] = yNew[1];
            g.t += h;
            if (std::fabs(acc[1]) > g.xamax + AXIS_TOL || std::fabs(acc[2]) > g.yamax + AXIS_TOL) {
                curve[q][0] = y[0];
                curve[q][1] = y[1];
                *violated = true;
                return q;
            }
        }
        curve[q][0] = y[0];
        curve[q][1] = y[1];
        if (forward ? (y[0] > g.sEnd[g.cpType]) : (y[0] < 0.0)) return q;
        if (!std::isfinite(y[0]) || !std::isfinite(y[1])) return q;  // no further point is meaningful
    }
    return LAST;
}

}  // namespace

void computeBoundaryCurves()
{
    SimState& g = sim;
    const int nSub = g.nSub > 0 ? g.nSub : 1;

    g.accSign = +1;
    g.fwdCurve[0][0] = 0.0;
    g.fwdCurve[0][1] = 0.0;
    bool fwdViolated = false;
    g.fwdN = integrateCurve(g.fwdCurve, CURVE_DT / nSub, true, &fwdViolated);

    g.accSign = -1;
    g.bwdCurve[0][0] = g.sEnd[g.cpType];
    g.bwdCurve[0][1] = g.vEnd[g.cpType];
    g.bwdN = integrateCurve(g.bwdCurve, -CURVE_DT / nSub, false, &g.bwdStopViolated);

    // A curve that fills its table without meeting the velocity limit or the
    // other end of the path: with limits this low the motion is too slow for
    // the tables. Without the whole deceleration curve 'f' finds no junction.
    const bool bwdShort = g.bwdN == LAST && !g.bwdStopViolated && g.bwdCurve[LAST][0] >= 0.0;
    const bool fwdShort = g.fwdN == LAST && !fwdViolated && g.fwdCurve[LAST][0] <= g.sEnd[g.cpType];
    if (bwdShort)
        reportCurveCut(CUT_DECELERATION);
    else if (fwdShort)
        reportCurveCut(CUT_ACCELERATION);
}
