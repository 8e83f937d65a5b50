// The two switching lists of the final motion on the console: path-acceleration
// switches (chnRec) and axis-force switches found in the rebuilt trajectory (nctRec).
#include "planner/switch_report.h"

#include <cmath>

#include "core/console.h"
#include "core/state.h"

namespace {

constexpr double ON_LIMIT = 0.00001;   // |amax - |a|| below this: on the limit
constexpr double OFF_LIMIT = 0.001;    // |amax - |a|| above this: off the limit

bool onLimit(double a, double amax) { return std::fabs(amax - std::fabs(a)) < ON_LIMIT; }
bool offLimit(double a, double amax) { return std::fabs(amax - std::fabs(a)) > OFF_LIMIT; }

void setRecord(double rec[5], double time, int i)
{
    rec[0] = time;
    rec[1] = sim.phase[i][0];
    rec[2] = sim.phase[i][1];
    rec[3] = sim.accTab[i][1];
    rec[4] = sim.accTab[i][2];
}

// Appends the axis-force record of point i; the 30th record is the last kept.
void appendRecord(int* n, int i)
{
    if (*n + 1 > REC_CAP - 1) return;
    *n += 1;
    setRecord(sim.nctRec[*n], sim.TIME[i], i);
}

void printList(const double (*rec)[5], int last)
{
    for (int i = 0; i < last; ++i)
        conPrintf("\nt%d=%7.4f S[]=(%7.4f %7.4f) ACC[]=(%7.4f %7.4f)", i, rec[i][0], rec[i][1], rec[i][2],
                  rec[i][3], rec[i][4]);
    conPrintf("\ntf=%7.4f S[]=(%7.4f %7.4f) ACC[]=(%7.4f %7.4f)", rec[last][0], rec[last][1], rec[last][2],
              rec[last][3], rec[last][4]);
}

}  // namespace

int reportSwitches(int count)
{
    SimState& g = sim;
    if (count < 0) count = 0;
    if (count > TRAJ_CAP - 1) count = TRAJ_CAP - 1;
    const double xa = g.xamax, ya = g.yamax;

    setRecord(g.nctRec[0], 0.0, 0);
    int n = 0;
    for (int i = 1; i <= count; ++i) {
        const double ax0 = g.accTab[i - 1][1], ax1 = g.accTab[i][1];
        const double ay0 = g.accTab[i - 1][2], ay1 = g.accTab[i][2];
        // Group A: X reaches its limit, Y leaves it, or an axis jumps between its limits.
        const bool groupA = (offLimit(ax0, xa) && onLimit(ax1, xa)) || (onLimit(ay0, ya) && offLimit(ay1, ya)) ||
                            ax0 * ax1 < 0.001 - xa * xa || ay0 * ay1 < 0.001 - ya * ya;
        if (groupA) appendRecord(&n, i);
        // Group B: X leaves its limit, Y reaches it.
        const bool groupB = (onLimit(ax0, xa) && offLimit(ax1, xa)) || (offLimit(ay0, ya) && onLimit(ay1, ya));
        if (groupB) appendRecord(&n, i);
    }
    // The end of the motion replaces the last record found.
    setRecord(g.nctRec[n], g.tf, count);

    int nchn = g.NCHN;
    if (nchn < 0) nchn = 0;
    if (nchn > REC_CAP - 1) nchn = REC_CAP - 1;
    conPrintf("\n\n軌道に沿う加減速の切り替え回数 NCHN=%d", g.NCHN);
    printList(g.chnRec, nchn);
    conPrintf("\n\n関節トルク切り替え回数 NCT=%d   加速度acc[]は直後の値", n);
    printList(g.nctRec, n);
    conPrintf("\n");
    return n;
}
