// The keyboard commands of the graphics window: search control, view, dialogue, exit.
// Writes lastKey, the search state (m, t, dt, accSign, NCHN, records) and the view state.
#include "app/keys.h"

#include <cstdlib>

#include "app/dialogue.h"
#include "app/record.h"
#include "core/console.h"
#include "core/state.h"
#include "planner/bounds.h"
#include "planner/join.h"
#include "planner/notices.h"
#include "planner/search.h"

namespace {

FrameFn frameFn = nullptr;
ExitFn exitFn = nullptr;

constexpr double ZOOM_STEP = 0.9;  // 'w' / 'W'
constexpr double PAN_STEP = 0.05;  // 'x' 'X' 'y' 'Y' [window units]

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
    if (g.m > TRAJ_CAP - 1) g.m = TRAJ_CAP - 1;
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
        if (g.m > TRAJ_CAP - 1) g.m = TRAJ_CAP - 1;
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
        if (g.m > TRAJ_CAP - 1) g.m = TRAJ_CAP - 1;
        g.searchStopped = false;
        trimRecords(g.m);
        switchAtPoint(g.m);
        g.dt = g.dt0;
        break;
    case 'c':
        if (g.m > TRAJ_CAP - 1) g.m = TRAJ_CAP - 1;
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
