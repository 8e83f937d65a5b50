// The explaining console lines of the search and their once-per-search flags.
#include "planner/notices.h"

#include "core/console.h"
#include "core/state.h"

void resetNotices()
{
    SimState& g = sim;
    g.tableFullShown = false;
    g.recordsFullShown = false;
    g.joinFullShown = false;
}

void reportTableFull()
{
    SimState& g = sim;
    if (g.tableFullShown) return;
    g.tableFullShown = true;
    conPrintf("\n※ 軌道の表(2001点)が一杯になりました。ここで打ち切ります");
}

void reportRecordsFull()
{
    SimState& g = sim;
    if (g.recordsFullShown) return;
    g.recordsFullShown = true;
    conPrintf("\n※ 切り替え点の表(30点)が一杯です。これ以上切り替えできません");
}

void reportJoinDoesNotFit()
{
    SimState& g = sim;
    if (g.joinFullShown) return;
    g.joinFullShown = true;
    conPrintf("\n※ 軌道の表(2001点)に最終軌道が入りきりません。ここからは最終軌道へ乗せられません");
}

void reportLimitCrossed()
{
    conPrintf("\n※ 軌道が速度制限曲線を越えました。't'，'r' または '0' で戻ってください");
}

void reportCurveCut(CurveCut which)
{
    if (which == CUT_DECELERATION)
        conPrintf("\n※ 最大減速曲線が表(3001点)の終わりで途切れました。このままでは'f'で最終軌道へ乗せられません(最大加速度を大きくしてください)");
    else
        conPrintf("\n※ 最大加速曲線が表(3001点)の終わりで途切れました。速度制限曲線にも経路の終わりにも届いていません(最大加速度を大きくしてください)");
}
