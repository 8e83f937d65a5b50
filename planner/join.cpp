// The final join: where the searched trajectory first crosses the maximum-deceleration
// curve, and the rest of the motion along that curve to the goal. Writes the trajectory
// tables, records, mf, tf.
#include "planner/join.h"

#include <cmath>

#include "core/clamp_check.h"
#include "core/state.h"
#include "path/polyline_cross.h"
#include "planner/boundary_curves.h"
#include "planner/bounds.h"
#include "planner/notices.h"

namespace {

constexpr int JUNCTION_ITER_MAX = 12;       // Newton steps of the junction refinement
constexpr double JUNCTION_RESIDUAL = 1e-12;  // phase-plane mismatch accepted, relative to 1 + |value|
constexpr double TIME_TOL = 1e-9;            // two times closer than this are the same [s]
constexpr int BISECT_ITER = 48;              // halvings of a time interval (below 1e-16 of it)

// Index of the last point of the deceleration curve that a motion can follow.
// A curve that ended by breaking an axis limit has its last point inside that
// failing sub-step (on the U shape's bend exit it even drops to a negative
// speed); a Runge-Kutta step into a bend can also jump across the velocity
// limit to a negative speed without any of its evaluations breaking a limit,
// after which s grows again. The curve ends before the first point that is not
// a number, has a negative speed or does not lie before the point nearer the
// goal. Kept for the curve it was computed for (one scan per prepared path).
int admissibleLast()
{
    const SimState& g = sim;
    static int cachedLast = -1;
    static int keyN = -1, keyType = -1;
    static double keyEnd = 0, keyS = 0, keyV = 0;
    static bool keyViolated = false;
    int n = g.bwdN;
    if (n > CURVE_CAP - 1) n = CURVE_CAP - 1;
    if (n < 0) n = 0;
    if (cachedLast >= 0 && keyN == n && keyType == g.cpType && keyEnd == g.bwdCurve[0][0] &&
        keyS == g.bwdCurve[n][0] && keyV == g.bwdCurve[n][1] && keyViolated == g.bwdStopViolated)
        return cachedLast;
    int last = n;
    if (g.bwdStopViolated && last > 0) last -= 1;
    for (int q = 1; q <= last; ++q) {
        const double sq = g.bwdCurve[q][0], vq = g.bwdCurve[q][1];
        if (!(std::isfinite(sq) && std::isfinite(vq) && vq >= 0.0 && sq < g.bwdCurve[q - 1][0])) {
            last = q - 1;
            break;
        }
    }
    cachedLast = last;
    keyN = n;
    keyType = g.cpType;
    keyEnd = g.bwdCurve[0][0];
    keyS = g.bwdCurve[n][0];
    keyV = g.bwdCurve[n][1];
    keyViolated = g.bwdStopViolated;
    return last;
}

// Integrates from y over the time span (either sign) with the sign in force,
// in nSub Runge-Kutta-Gill sub-steps; u receives d2s/dt2 at the end point.
void integrateSpan(double span, double y[2], double* u)
{
    const SimState& g = sim;
    const int nSub = g.nSub > 0 ? g.nSub : 1;
    double acc[3] = {0, 0, 0};
    if (span != 0.0) {
        const double h = span / nSub;
        for (int q = 0; q < nSub; ++q) {
            double yNew[2];
            rkgStep(0.0, h, y, yNew, acc, 2);
            y[0] = yNew[0];
            y[1] = yNew[1];
        }
    }
    *u = phaseRhs(1, 0.0, y, acc);
}

// The searched trajectory tau after its point i, under the sign of its step i -> i+1.
void trajectoryAfter(int i, int sign, double tau, double y[2], double* u)
{
    SimState& g = sim;
    const int saved = g.accSign;
    g.accSign = sign;
    y[0] = g.phase[i][0];
    y[1] = g.phase[i][1];
    integrateSpan(tau, y, u);
    g.accSign = saved;
}

// Speed of the deceleration curve at path parameter s, and the curve's time
// sigma before the goal there. Below the admissible part the curve's last point
// stands; past the goal the speed is 0. The curve falls in s as sigma grows: the
// stored point just past s is found by halving, the rest by halving the time
// integrated back from it.
double curveSpeedAt(double s, double* sigma)
{
    const SimState& g = sim;
    const int last = admissibleLast();
    if (s >= g.bwdCurve[0][0]) {
        *sigma = 0.0;
        return g.bwdCurve[0][1];
    }
    if (s <= g.bwdCurve[last][0]) {
        *sigma = last * CURVE_DT;
        return g.bwdCurve[last][1];
    }
    int lo = 0, hi = last;  // bwdCurve[lo][0] > s >= bwdCurve[hi][0]
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        if (g.bwdCurve[mid][0] > s)
            lo = mid;
        else
            hi = mid;
    }
    double rLo = 0.0, rHi = CURVE_DT;
    double y[2] = {g.bwdCurve[lo][0], g.bwdCurve[lo][1]};
    double acc[3];
    for (int it = 0; it < BISECT_ITER; ++it) {
        const double r = 0.5 * (rLo + rHi);
        if (!decelerationCurveAt(lo * CURVE_DT + r, y, acc)) break;
        if (y[0] > s)
            rLo = r;
        else
            rHi = r;
    }
    *sigma = lo * CURVE_DT + 0.5 * (rLo + rHi);
    if (!decelerationCurveAt(*sigma, y, acc)) return g.bwdCurve[hi][1];
    return y[1];
}

// The trajectory's speed above (+) or below (-) the deceleration curve tau after point i.
double aboveCurve(int i, int sign, double tau, double* sigma)
{
    double y[2], u = 0.0;
    trajectoryAfter(i, sign, tau, y, &u);
    return y[1] - curveSpeedAt(y[0], sigma);
}

// Where the trajectory step from point i (duration segment, its polyline crossing
// at fraction u) truly meets the deceleration curve (polyline crossing on its
// segment j at fraction uB): tau after point i and sigma before the goal. Its two
// ends lie on either side of the curve: halving tau finds the meeting even where
// the path's curvature jumps and the curves have corners. Otherwise (a touch)
// Newton's method on the two times; without convergence the polyline's estimate stands.
void refineJunction(int i, int sign, double segment, double u, int j, double uB, double* tau, double* sigma)
{
    const double sigmaMax = admissibleLast() * CURVE_DT;
    *tau = u * segment;
    *sigma = (j + uB) * CURVE_DT;
    if (*sigma > sigmaMax) *sigma = sigmaMax;

    double sgLo = 0.0, sgHi = 0.0;
    const double dLo = aboveCurve(i, sign, 0.0, &sgLo);
    const double dHi = aboveCurve(i, sign, segment, &sgHi);
    if (std::isfinite(dLo) && std::isfinite(dHi) && (dLo <= 0.0) != (dHi <= 0.0)) {
        double tLo = 0.0, tHi = segment;
        const bool risingAcross = dLo <= 0.0;
        double sg = 0.0;
        for (int it = 0; it < BISECT_ITER; ++it) {
            const double tm = 0.5 * (tLo + tHi);
            const double d = aboveCurve(i, sign, tm, &sg);
            if ((d <= 0.0) == risingAcross)
                tLo = tm;
            else
                tHi = tm;
        }
        *tau = 0.5 * (tLo + tHi);
        aboveCurve(i, sign, *tau, &sg);
        *sigma = sg;
        return;
    }

    double ta = *tau, sg = *sigma;
    for (int it = 0; it < JUNCTION_ITER_MAX; ++it) {
        double yf[2], yb[2], uf = 0.0, ub = 0.0;
        trajectoryAfter(i, sign, ta, yf, &uf);
        double accB[3];
        if (!decelerationCurveAt(sg, yb, accB)) return;
        {
            // d2s/dt2 on the deceleration curve at that point.
            SimState& g = sim;
            const int saved = g.accSign;
            g.accSign = -1;
            ub = phaseRhs(1, 0.0, yb, accB);
            g.accSign = saved;
        }
        const double F0 = yf[0] - yb[0];
        const double F1 = yf[1] - yb[1];
        if (!std::isfinite(F0) || !std::isfinite(F1)) return;
        if (std::fabs(F0) <= JUNCTION_RESIDUAL * (1.0 + std::fabs(yb[0])) &&
            std::fabs(F1) <= JUNCTION_RESIDUAL * (1.0 + std::fabs(yb[1]))) {
            if (ta >= 0.0 && ta <= 2.0 * segment && sg >= 0.0 && sg <= sigmaMax) {
                *tau = ta;
                *sigma = sg;
            }
            return;
        }
        // F(tau, sigma) = trajectory(tau) - curve(sigma); the curve runs back in sigma.
        const double det = yf[1] * ub - yb[1] * uf;
        if (!(std::fabs(det) > 0.0) || !std::isfinite(det)) return;
        const double dTau = -(ub * F0 - yb[1] * F1) / det;
        const double dSigma = -(-uf * F0 + yf[1] * F1) / det;
        ta += dTau;
        sg += dSigma;
        if (!(ta >= -segment && ta <= 3.0 * segment && sg >= 0.0 && sg <= sigmaMax)) return;
    }
}

}  // namespace

bool decelerationCurveAt(double sigma, double y[2], double acc[3])
{
    SimState& g = sim;
    const int last = admissibleLast();
    if (!(sigma >= 0.0) || sigma > last * CURVE_DT + TIME_TOL) return false;
    int q = static_cast<int>(std::floor(sigma / CURVE_DT));
    if (q > last) q = last;
    if (q < 0) q = 0;
    double rest = sigma - q * CURVE_DT;
    if (rest < 0.0) rest = 0.0;
    y[0] = g.bwdCurve[q][0];
    y[1] = g.bwdCurve[q][1];
    const int saved = g.accSign;
    g.accSign = -1;
    double u = 0.0;
    integrateSpan(-rest, y, &u);
    phaseRhs(1, 0.0, y, acc);
    g.accSign = saved;
    // The curve rests at the goal; a backward sub-step from there never turns negative.
    if (y[1] < 0.0) y[1] = 0.0;
    return std::isfinite(y[0]) && std::isfinite(y[1]);
}

bool joinFinalTrajectory()
{
    SimState& g = sim;
    int n = g.NCHN;
    if (n < 1 || n + 1 > REC_CAP - 1) return false;

    int nA = g.chnStep[n];
    if (nA > TRAJ_LAST) {
        UNEXPECTED_CLAMP("join record beyond the trajectory tables");
        nA = TRAJ_LAST;
    }
    double P[2] = {0, 0};
    int i = 0, j = 0;
    double u = 0.0, uB = 0.0;
    // The junction is searched on the admissible part of the curve only.
    const int nB = admissibleLast();
    if (nB < 1) return false;
    if (!polylineCross(nA, g.phase, nB, g.bwdCurve, P, &i, &j, &u, &uB)) return false;

    int k = i + 1;
    if (k + 1 > TRAJ_LAST) {
        reportJoinDoesNotFit();
        return false;
    }

    // The sign of the step from point i: that of the records made at or before it.
    int before = 0;
    while (before + 1 < n && g.chnStep[before + 1] <= i) ++before;
    const int sign = before % 2 == 0 ? +1 : -1;

    // The crossing's time within its segment; the segment lasted dt unless it
    // was made before a change of the time step or ends a stopped trajectory.
    double segment = g.dt;
    if (std::fabs((g.TIME[i + 1] - g.TIME[i]) - segment) > TIME_TOL) segment = g.TIME[i + 1] - g.TIME[i];
    double tau = 0.0, sigma = 0.0;
    refineJunction(i, sign, segment, u, j, uB, &tau, &sigma);
    double yJ[2] = {P[0], P[1]};
    double accJ[3] = {0, 0, 0};
    if (!decelerationCurveAt(sigma, yJ, accJ)) return false;
    const double tJunction = g.TIME[i] + tau;
    const double tEnd = tJunction + sigma;

    // The rest of the motion follows the deceleration curve to the goal, one
    // point per dt0 and the last one at the goal itself: it must fit the tables.
    int steps = static_cast<int>(std::ceil(sigma / g.dt0 - TIME_TOL / g.dt0));
    if (steps < 1) steps = 1;
    if (steps > TRAJ_LAST - k) {
        reportJoinDoesNotFit();
        return false;
    }

    // The motion is the searched trajectory up to the crossing, then the
    // deceleration curve: switches recorded at points past the crossing (a switch
    // made a step late) or at its time do not belong to it.
    int kept = 0;
    while (kept + 1 < n && g.chnStep[kept + 1] <= i && g.chnRec[kept + 1][0] < tJunction) ++kept;
    g.junctionIndex = k;
    g.TIME[k] = tJunction;
    g.phase[k][0] = yJ[0];
    g.phase[k][1] = yJ[1];
    g.accSign = -1;
    phaseRhs(1, tJunction, g.phase[k], g.accTab[k]);
    if (kept % 2 == 1) {
        // The trajectory was braking when it met the curve: braking goes on along
        // it, so the crossing is no switch and the end record follows the last one.
        n = kept;
    } else {
        // Junction: the last switching record, with the accelerations after the switch.
        n = kept + 1;
        g.chnStep[n] = k;
        g.chnRec[n][0] = tJunction;
        g.chnRec[n][1] = yJ[0];
        g.chnRec[n][2] = yJ[1];
        g.chnRec[n][3] = g.accTab[k][1];
        g.chnRec[n][4] = g.accTab[k][2];
    }

    // The deceleration curve from the junction to the goal, every dt0.
    for (int q = 1; q < steps; ++q) {
        const int kq = k + q;
        double y[2] = {0, 0};
        double acc[3] = {0, 0, 0};
        if (!decelerationCurveAt(sigma - q * g.dt0, y, acc)) {
            UNEXPECTED_CLAMP("a point between the junction and the goal off the deceleration curve");
            y[0] = g.phase[kq - 1][0];
            y[1] = g.phase[kq - 1][1];
        }
        g.TIME[kq] = tJunction + q * g.dt0;
        g.phase[kq][0] = y[0];
        g.phase[kq][1] = y[1];
        g.accTab[kq][0] = acc[0];
        g.accTab[kq][1] = acc[1];
        g.accTab[kq][2] = acc[2];
    }
    k += steps;
    g.TIME[k] = tEnd;
    g.phase[k][0] = g.bwdCurve[0][0];
    g.phase[k][1] = g.bwdCurve[0][1];
    phaseRhs(1, tEnd, g.phase[k], g.accTab[k]);

    // End record.
    n += 1;
    g.NCHN = n;
    g.chnStep[n] = k;
    g.mf = k;
    g.t = tEnd;
    g.tf = tEnd;
    g.chnRec[n][0] = tEnd;
    g.chnRec[n][1] = g.phase[k][0];
    g.chnRec[n][2] = g.phase[k][1];
    g.chnRec[n][3] = g.accTab[k][1];
    g.chnRec[n][4] = g.accTab[k][2];
    return true;
}
