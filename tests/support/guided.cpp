// Test support: path preparation without the dialogue and the guided key session.
// Reads the look-ahead tables, boundary curves and velocity limit of `sim`; presses keys.
#include "guided.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "app/keys.h"
#include "core/console.h"
#include "core/state.h"
#include "path/velocity_limit.h"
#include "planner/boundary_curves.h"
#include "planner/search.h"

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

// The highest switching-record index a 'c' or 'r' may take: the join needs the
// two records after it (the table holds indices 0..REC_CAP-1).
constexpr int LAST_SWITCH_RECORD = REC_CAP - 3;

// Refinement adds up to 3 nSub points per switch; the key 's' holds the search
// at stepMax (800), so refinement stops well before that.
constexpr int REFINE_LAST = 600;

// Accelerating again inside a braking arc, before the dip that the arc brakes
// for, is worth a pair of switching records only when the accelerating
// look-ahead runs clear for at least this many steps of dt0 ...
constexpr int CLEAR_RUN_STEPS = 6;
// ... and the arc has lasted this many points (it keeps the bang-bang
// approximation of a braking curve along the limit from switching every frame).
constexpr int BRAKE_DWELL_POINTS = 5;

// Velocity limit at s, linearly interpolated between the samples of vLimit.
// Outside the sampled range (the U shape's straights) there is no limit; a
// segment with a non-finite end (the sine wave and cycloid cam at s = 0) gives
// no limit either.
double limitAt(double s)
{
    const SimState& g = sim;
    for (int j = 0; j < g.vLimitLast; ++j) {
        const double s0 = g.vLimit[j][0], s1 = g.vLimit[j + 1][0];
        if (!(s1 > s0)) continue;  // the vertical walls of the U shape
        if (s < s0 || s > s1) continue;
        const double v0 = g.vLimit[j][1], v1 = g.vLimit[j + 1][1];
        if (!std::isfinite(v0) || !std::isfinite(v1)) return INF;
        return v0 + (v1 - v0) * (s - s0) / (s1 - s0);
    }
    return INF;
}

// The deceleration curve into the goal at s (bwdCurve runs from the goal
// towards smaller s); false outside its range.
bool decelCurveAt(double s, double* v)
{
    const SimState& g = sim;
    for (int j = 0; j < g.bwdN; ++j) {
        const double s0 = g.bwdCurve[j + 1][0], s1 = g.bwdCurve[j][0];
        if (!(s1 > s0) || s < s0 || s > s1) continue;
        const double v0 = g.bwdCurve[j + 1][1], v1 = g.bwdCurve[j][1];
        *v = v0 + (v1 - v0) * (s - s0) / (s1 - s0);
        return true;
    }
    return false;
}

// True when the phase point lies on or above the deceleration curve, or past
// the end of the path.
bool onOrAboveDecelCurve(double s, double v)
{
    if (s > sim.sEnd[sim.cpType]) return true;
    double vb = 0.0;
    return decelCurveAt(s, &vb) && v >= vb;
}

// Tolerance of the comparison with the sampled velocity limit [units of ds/dt]:
// the samples are joined by straight lines, which lie below the (concave)
// limit between samples by about (step^2 / 8) |v''|, some 1e-4 here.
constexpr double LIMIT_TOL = 2e-4;

// Index of the first point of the look-ahead curve that lies above the velocity
// limit, or above a limit sample passed on the way to it (a dip of the limit or
// the walls of the U shape's bend, which a single look-ahead step of dt0 can cut
// under); -1 if none. Between two points an accelerating curve is taken at the
// higher of their velocities (one Runge-Kutta step of dt0 across a dip can even
// come out lower than it went in), a braking curve on the chord.
int firstAboveLimit(const double (*curve)[2], int n, bool accelerating)
{
    const SimState& g = sim;
    for (int j = 1; j <= n; ++j) {
        const double s0 = curve[j - 1][0], v0 = curve[j - 1][1];
        const double s1 = curve[j][0], v1 = curve[j][1];
        if (v1 > limitAt(s1) + LIMIT_TOL) return j;
        if (!(s1 > s0)) continue;
        for (int k = 0; k <= g.vLimitLast; ++k) {
            const double sk = g.vLimit[k][0];
            if (sk <= s0 || sk > s1 || !std::isfinite(g.vLimit[k][1])) continue;
            const double v = accelerating ? std::fmax(v0, v1) : v0 + (v1 - v0) * (sk - s0) / (s1 - s0);
            if (v > g.vLimit[k][1] + LIMIT_TOL) return j;
        }
    }
    return -1;
}

// How a look-ahead curve ended: its last point is the one that stopped it.
enum class AheadEnd { Limit, Standstill, PastEnd, Full };

AheadEnd aheadEnd(const double (*curve)[2], int n)
{
    const SimState& g = sim;
    if (n >= g.stepMax) return AheadEnd::Full;
    if (n > 0 && curve[n][1] <= 0.0) return AheadEnd::Standstill;  // braking ends at ds/dt = 0
    if (curve[n][0] > g.sEnd[g.cpType]) return AheadEnd::PastEnd;
    return AheadEnd::Limit;  // an axis went beyond its limit
}

// Index j of the first look-ahead segment (curve[j-1] to curve[j]) that
// crosses the deceleration curve from below (or reaches the end of the path
// from below it), -1 if none within curve[0..n]. A look-ahead that only passes
// above the deceleration curve's far end, where that curve meets the velocity
// limit, does not count: there is no junction to join onto.
int decelCurveCrossing(const double (*curve)[2], int n)
{
    const double sEnd = sim.sEnd[sim.cpType];
    for (int j = 1; j <= n; ++j) {
        double vb = 0.0;
        if (!decelCurveAt(curve[j - 1][0], &vb) || !(curve[j - 1][1] < vb)) continue;
        if (curve[j][0] > sEnd) return j;
        if (decelCurveAt(curve[j][0], &vb) && curve[j][1] >= vb) return j;
    }
    return -1;
}

// The point just computed needs more than an axis can give (the step went above
// the velocity limit).
bool pointBeyondLimits(int m)
{
    const SimState& g = sim;
    return std::fabs(g.accTab[m][1]) > g.xamax + AXIS_TOL || std::fabs(g.accTab[m][2]) > g.yamax + AXIS_TOL;
}

// Braking from here comes closest to the velocity limit at the present point:
// the gap between the limit and the braking curve grows from here on.
bool brakingIsClosestHere(const double (*curve)[2], int n)
{
    const double gap0 = limitAt(curve[0][0]) - curve[0][1];
    if (!std::isfinite(gap0)) return false;
    for (int j = 1; j <= n; ++j) {
        const double gap = limitAt(curve[j][0]) - curve[j][1];
        if (gap <= gap0) return false;
    }
    return true;
}

// True when a dip of the velocity limit (a sample no higher than its
// neighbours, such as the wall at the entry of the U shape's bend or the V at
// the junction of two slalom semicircles) lies in (from, to].
bool dipPassed(double from, double to)
{
    const SimState& g = sim;
    for (int k = 0; k <= g.vLimitLast; ++k) {
        const double sk = g.vLimit[k][0], vk = g.vLimit[k][1];
        if (!(sk > from) || sk > to || !std::isfinite(vk)) continue;
        const bool lowerLeft = k == 0 || !(g.vLimit[k - 1][1] < vk);
        const bool lowerRight = k == g.vLimitLast || !(g.vLimit[k + 1][1] < vk);
        if (lowerLeft && lowerRight) return true;
    }
    return false;
}

// Dips of the velocity limit after s: each still needs a braking switch and
// an accelerating one.
int dipsAhead(double s)
{
    const SimState& g = sim;
    int n = 0;
    for (int k = 0; k <= g.vLimitLast; ++k) {
        const double sk = g.vLimit[k][0];
        if (!(sk > s) || !(sk < g.sEnd[g.cpType])) continue;
        if (k > 0 && g.vLimit[k - 1][0] == sk && g.vLimit[k - 1][1] == g.vLimit[k][1]) continue;  // shared sample
        if (dipPassed(std::nextafter(sk, -INF), sk)) ++n;
    }
    return n;
}

}  // namespace

PathCase defaultCase(int type)
{
    static const char* const names[TYPE_CAP] = {"", "arc", "sine wave", "U shape", "slalom",
                                                "constant-acceleration cam", "cycloid cam"};
    PathCase c;
    c.type = type;
    c.label = (type >= 1 && type <= 6) ? names[type] : "?";
    return c;  // a = b = 0: the type's default dimensions
}

void preparePath(const PathCase& c)
{
    FILE* out = conOutStream();
    FILE* in = conInStream();
    FILE* sink = std::fopen("/dev/null", "w");
    conSetStreams(sink, in);

    sim = SimState{};
    initDefaults();
    SimState& g = sim;
    const bool keep = !(c.a > 0.0) && !(c.b > 0.0);
    if (!keep) {
        switch (c.type) {
        case CP_ARC:
            g.arcR = c.a;
            g.sEnd[CP_ARC] = c.b * DEG2RAD;
            break;
        case CP_SINE:
            g.sinL = c.a;
            g.sinA = c.b;
            break;
        case CP_U:
            g.uL = c.a;
            g.uR = c.b;
            break;
        case CP_SLALOM:
            g.slmR = c.a;
            g.slmN = static_cast<int>(c.b);
            break;
        case CP_CAM_ACC:
            g.camL = c.a;
            g.camH = c.b;
            break;
        case CP_CAM_CYCLOID:
            g.cycL = c.a;
            g.cycH = c.b;
            break;
        default:
            break;
        }
        updateTypeTables(c.type);
    }
    g.xamax = c.xamax;
    g.yamax = c.yamax;
    g.cpType = c.type;
    g.xf = g.cpEnd[c.type][0];
    g.yf = g.cpEnd[c.type][1];
    computeBoundaryCurves();
    makeVelocityLimit();
    g.zoom = 1.0;
    g.phscale = 1.0;
    resetSearch();

    conSetStreams(out, in);
    if (sink != nullptr) std::fclose(sink);
}

GuidedResult runGuidedSession(int maxKeys)
{
    GuidedResult r;
    SimState& g = sim;

    FILE* out = conOutStream();
    FILE* in = conInStream();
    char* buf = nullptr;
    size_t len = 0;
    FILE* capture = open_memstream(&buf, &len);
    conSetStreams(capture, in);
    setFrameFunction(nullptr);

    auto press = [&](unsigned char key) {
        onKey(key, 0, 0);
        ++r.keys;
        if (g.joinMark != 'f' && g.endMark != 'e' && g.m > r.maxIndex) r.maxIndex = g.m;
        r.keyLog.push_back(static_cast<char>(key));
        if (key == 'c' || key == 'r') ++r.switches;
        if (key == 'f') ++r.joinAttempts;
    };

    double sBrake = 0.0;  // where the present braking arc began
    int mBrake = 0;       // and its trajectory index

    // Accelerating: braking from here would run into the velocity limit (the
    // braking look-ahead is blocked), or the point itself is beyond the limits.
    auto brakeNeeded = [&]() {
        return aheadEnd(g.aheadFlip, g.aheadFlipN) == AheadEnd::Limit ||
               firstAboveLimit(g.aheadFlip, g.aheadFlipN, false) >= 0 || pointBeyondLimits(g.m);
    };
    // Accelerating: the very next accelerating step would leave the admissible region.
    auto nextStepOut = [&]() {
        return (g.aheadSameN <= 1 && aheadEnd(g.aheadSame, g.aheadSameN) == AheadEnd::Limit) ||
               firstAboveLimit(g.aheadSame, 1, true) >= 0;
    };
    // Braking: accelerating now reaches the deceleration curve, or braking has
    // brought the trajectory to its closest approach to the velocity limit and
    // accelerating is worth it (a dip of the limit has been passed, or the
    // accelerating look-ahead runs clear for a while).
    auto accelerateWanted = [&]() {
        int clear = g.aheadFlipN;
        const int above = firstAboveLimit(g.aheadFlip, g.aheadFlipN, true);
        if (above >= 0) clear = above - 1;
        const bool blocked = above >= 0 || aheadEnd(g.aheadFlip, g.aheadFlipN) == AheadEnd::Limit;
        const bool longRun = !blocked || clear >= CLEAR_RUN_STEPS;
        const double sNow = g.phase[g.m][0];
        const bool dip = dipPassed(sBrake, sNow);
        // Records to spare after this switch and the braking one that will
        // follow it: every dip still ahead needs two.
        const bool spare = g.NCHN + 2 + 2 * dipsAhead(sNow) <= LAST_SWITCH_RECORD && g.m - mBrake >= BRAKE_DWELL_POINTS;
        return decelCurveCrossing(g.aheadFlip, clear) >= 0 ||
               ((dip || (longRun && spare)) && brakingIsClosestHere(g.aheadSame, g.aheadSameN));
    };
    // A switch found at the present point is placed more precisely: 't' goes
    // back two points and continues in steps of dt0/nSub until the condition
    // holds again. Only where the point two back lies at least dt0 after the
    // last switch (the rebuild drops an interval shorter than dt0 and would
    // jump over it) and the tables have room for the extra points.
    auto refine = [&](auto condition) {
        if (g.dt != g.dt0 || g.m < 2 || g.m > REFINE_LAST) return;
        if (g.chnStep[g.NCHN] > g.m - 2 || g.TIME[g.m - 2] - g.chnRec[g.NCHN][0] < g.dt0) return;
        press('t');
        for (int k = 0; k < 3 * g.nSub && !condition() && r.keys < maxKeys; ++k) press('s');
    };

    press('s');
    while (g.endMark != 'e' && r.keys < maxKeys) {
        if (g.joinMark == 'f') {  // joined: play the completion to its end
            press('s');
            continue;
        }
        if (onOrAboveDecelCurve(g.phase[g.m][0], g.phase[g.m][1])) {
            press('f');  // a failed join acts as 's'
            continue;
        }
        if (!g.aheadMade) {
            press('s');
            continue;
        }
        // Accelerating onto the deceleration curve within the next step, with
        // no limit in the way: take that step and join, even if the braking
        // look-ahead sees a limit beyond the junction (a switch just before the
        // junction would make an interval shorter than dt0, which the rebuild drops).
        if (g.accSign > 0 && decelCurveCrossing(g.aheadSame, 1) == 1 && firstAboveLimit(g.aheadSame, 1, true) < 0) {
            press('s');
            continue;
        }
        const bool canSwitch = g.NCHN < LAST_SWITCH_RECORD;
        if (canSwitch && g.accSign > 0 && brakeNeeded()) {
            refine(brakeNeeded);
            press('r');  // brake from the last point whose braking look-ahead was clear
            sBrake = g.phase[g.m][0];
            mBrake = g.m;
            continue;
        }
        if (canSwitch && g.accSign > 0 && nextStepOut()) {
            press('c');
            sBrake = g.phase[g.m][0];
            mBrake = g.m;
            continue;
        }
        if (canSwitch && g.accSign < 0 && accelerateWanted()) {
            refine(accelerateWanted);
            press('c');
            continue;
        }
        press('s');
    }

    r.completed = g.endMark == 'e';
    r.tf = g.tf;
    r.tfNormal = g.tfNormal;
    r.NCHN = g.NCHN;

    std::fclose(capture);
    r.console.assign(buf, len);
    std::free(buf);
    conSetStreams(out, in);
    return r;
}
