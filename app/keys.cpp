// The keyboard commands of the graphics window: search control, view, dialogue, exit.
// Writes lastKey, the search state (m, t, dt, accSign, NCHN, records) and the view state.
#include "app/keys.h"

#include <cstdlib>

#include "app/dialogue.h"
#include "app/record.h"
#include "core/clamp_check.h"
#include "core/console.h"
#include "core/state.h"
#include "planner/bounds.h"
#include "planner/join.h"
#include "planner/notices.h"
#include "planner/search.h"

namespace {

FrameFn frameFn = nullptr;
ExitFn exitFn = nullptr;

// The trajectory as a refused 'f' found it: its last point (index, time, phase
// point) and its records. Between two presses of 'f' (or of the view keys) the
// trajectory only grows at its end, so when a press finds the same last point
// (a stopped search, or one held at the 's' clamp, recomputes nothing new) the
// join would search the same crossing in vain and is not tried again.
struct RefusedJoin {
    bool valid = false;
    int m = 0;
    int nchn = 0;
    int sign = 0;
    double t = 0, s = 0, v = 0;
    // The prepared search it belongs to: path, limits and deceleration curve.
    int type = 0;
    int bwdN = 0;
    double xamax = 0, yamax = 0, sEnd = 0;
};
RefusedJoin refused;

RefusedJoin currentEnd()
{
    const SimState& g = sim;
    RefusedJoin r;
    r.valid = true;
    r.m = g.m;
    r.nchn = g.NCHN;
    r.sign = g.accSign;
    const int m = g.m < 0 ? 0 : (g.m > TRAJ_LAST ? TRAJ_LAST : g.m);
    r.t = g.TIME[m];
    r.s = g.phase[m][0];
    r.v = g.phase[m][1];
    r.type = g.cpType;
    r.bwdN = g.bwdN;
    r.xamax = g.xamax;
    r.yamax = g.yamax;
    r.sEnd = g.sEnd[g.cpType >= 0 && g.cpType < TYPE_CAP ? g.cpType : 0];
    return r;
}

bool sameEnd(const RefusedJoin& a, const RefusedJoin& b)
{
    return a.valid && b.valid && a.m == b.m && a.nchn == b.nchn && a.sign == b.sign && a.t == b.t && a.s == b.s &&
           a.v == b.v && a.type == b.type && a.bwdN == b.bwdN && a.xamax == b.xamax && a.yamax == b.yamax &&
           a.sEnd == b.sEnd;
}

constexpr double ZOOM_STEP = 0.9;  // 'w' / 'W'
constexpr double PAN_STEP = 0.05;  // 'x' 'X' 'y' 'Y' [window units]

// m never passes the tables' last entry (advanceM and the 's' clamp see to it).
void keepMInTables()
{
    if (sim.m > TRAJ_CAP - 1) {
        UNEXPECTED_CLAMP("trajectory index beyond the tables");
        sim.m = TRAJ_CAP - 1;
    }
}

void frame()
{
    if (frameFn != nullptr)
        frameFn();
    else
        computeFrame();
}

// 's': keeps the next step inside the tables. While a joined trajectory plays
// back, the clamp also lets it reach its last point mf (which may lie past stepMax).
// A search held at stepMax recomputes the point after it from its own time.
void clampForStep()
{
    SimState& g = sim;
    if (g.mNormal == 0) {
        int limit = g.stepMax;
        const bool searching = g.joinMark != 'f' && g.endMark != 'e';
        if (!searching && g.mf > limit) limit = g.mf;
        if (g.m > limit) {
            g.m = limit;
            if (searching) {
                // The search goes on from point m: its clock and its switches
                // are those of that point, not of the points past it.
                if (g.m < TRAJ_CAP) g.t = g.TIME[g.m];
                g.searchStopped = false;
                trimRecords(g.m);
            }
        }
    } else if (g.m > g.mNormal) {
        g.m = g.mNormal;
    }
    if (g.m < 0) g.m = 0;
}

// Once the trajectory is joined (joined playback, or after the end) its records
// are final: the search keys only step the playback, as 's' does.
bool recordsFinal()
{
    return sim.joinMark == 'f' || sim.endMark == 'e';
}

// 'f': join onto the deceleration curve, or act as 's' when there is no junction.
// The join needs two more records (junction and end). A trajectory that is
// already joined (joined or ended playback) is not joined again: repeated 'f'
// would otherwise append a junction and an end record per press.
void joinKey()
{
    SimState& g = sim;
    if (recordsFinal()) {
        clampForStep();
        return;
    }
    if (g.NCHN + 2 > REC_CAP - 1) {
        reportRecordsFull();
        clampForStep();
        return;
    }
    const RefusedJoin here = currentEnd();
    if (sameEnd(refused, here)) {
        // Nothing changed since the last refusal: the answer is the same, and
        // its console line (once per search) has been given.
        clampForStep();
        return;
    }
    keepMInTables();
    g.joinMark = 'f';
    g.NCHN += 1;
    g.chnStep[g.NCHN] = g.m;
    if (joinFinalTrajectory()) {
        g.m = g.junctionIndex;
        g.searchStopped = false;
    } else {
        g.joinMark = '0';
        g.NCHN -= 1;
        clampForStep();
        refused = here;
    }
}

// Keys that leave the searched trajectory as it is: 'f' itself and the view keys.
bool keepsTrajectory(unsigned char key)
{
    switch (key) {
    case 'f':
    case 'w':
    case 'W':
    case 'x':
    case 'X':
    case 'y':
    case 'Y':
        return true;
    default:
        return false;
    }
}

}  // namespace

void setFrameFunction(FrameFn fn) { frameFn = fn; }

void setExitFunction(ExitFn fn) { exitFn = fn; }

void computeFrame()
{
    refreshGoalTime();
    runSearchStep();
    finishSearch();
}

void onKey(unsigned char key, int /*x*/, int /*y*/)
{
    SimState& g = sim;
    recordKey(key);  // the session record (--record) sees every key before it acts
    g.lastKey = static_cast<char>(key);
    if (!keepsTrajectory(key)) refused.valid = false;

    // Once the trajectory is joined its records are final: 't', 'r' and 'c'
    // only step the playback, as 's' does.
    if ((key == 't' || key == 'r' || key == 'c') && recordsFinal()) {
        clampForStep();
        frame();
        return;
    }

    switch (key) {
    case 'u':
    case 'k':
        g.m = 0;
        setupDialogue();
        return;
    case 's':
        clampForStep();
        break;
    case 't':
        g.m -= 2;
        if (g.m < 0) g.m = 0;
        keepMInTables();
        g.t = g.TIME[g.m];
        g.dt = g.dt0 / (g.nSub > 0 ? g.nSub : 1);
        g.searchStopped = false;
        trimRecords(g.m);
        break;
    case 'r':
        g.t -= g.dt;
        if (g.t < 0.0) g.t = 0.0;
        g.m -= 1;
        if (g.m < 0) g.m = 0;
        keepMInTables();
        g.searchStopped = false;
        trimRecords(g.m);
        switchAtPoint(g.m);
        g.dt = g.dt0;
        break;
    case 'c':
        keepMInTables();
        if (switchAtPoint(g.m)) g.searchStopped = false;
        g.dt = g.dt0;
        break;
    case 'f':
        joinKey();
        break;
    case '0':
        // Joined or ended: the motion plays again from its first point, with its
        // records. Searching: a fresh search from the start at rest.
        g.m = 0;
        if (!recordsFinal()) {
            g.accSign = +1;
            g.dt = g.dt0;
            g.t = 0.0;
            g.NCHN = 0;
            g.searchStopped = false;
            restoreStartPoint();
            resetNotices();  // a new search: its explaining lines are given again
        }
        break;
    case 'w':
        g.zoom *= ZOOM_STEP;
        g.phscale *= ZOOM_STEP;
        break;
    case 'W':
        g.zoom /= ZOOM_STEP;
        g.phscale /= ZOOM_STEP;
        break;
    case 'x':
        g.xshift -= PAN_STEP;
        break;
    case 'X':
        g.xshift += PAN_STEP;
        break;
    case 'y':
        g.yshift -= PAN_STEP;
        break;
    case 'Y':
        g.yshift += PAN_STEP;
        break;
    case 27:  // ESC
        conRestoreTerminal();
        if (exitFn != nullptr)
            exitFn(0);
        else
            std::exit(0);
        return;
    default:
        return;  // unassigned: nothing but lastKey
    }
    frame();
}
