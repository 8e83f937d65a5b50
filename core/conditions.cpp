// The framed conditions report: path type, dimensions, end points and axis limits.
// Reads sections 1 to 6 of the state; changes nothing.
#include "core/conditions.h"

#include "core/console.h"
#include "core/state.h"

void printConditions()
{
    const SimState& s = sim;
    conPrintf("\n\n/*************** 設定した最短時間制御の条件 ************************/");
    conPrintf("\nXY座標ロボット");
    conPrintf("\nCP軌道：%d", s.cpType);
    switch (s.cpType) {
    case CP_ARC:
        conPrintf(" 円弧");
        conPrintf("\n 中心A=(%5.1f %5.1f)[m] 半径R=%5.1f[m] 円弧角θ=%6.2f[deg]", s.arcA[0], s.arcA[1],
                  s.arcR, s.sEnd[CP_ARC] * RAD2DEG);
        break;
    case CP_SINE:
        conPrintf(" 正弦波");
        conPrintf("\n波長sinL=%5.1f[m] 振幅sinA=%5.1f[m]", s.sinL, s.sinA);
        break;
    case CP_U:
        conPrintf(" Ｕ字軌道");
        conPrintf("\n直線部長さL=%5.1f[m] 湾曲部半径R=%5.1f[m]", s.uL, s.uR);
        break;
    case CP_SLALOM:
        conPrintf(" スラローム(半円の繋がり)");
        conPrintf("\n円弧部半径R=%5.1f[m] 半円の個数N=%d", s.slmR, s.slmN);
        break;
    case CP_CAM_ACC:
        conPrintf(" 等加速度カム曲線軌道");
        conPrintf("\nX方向行程L=%5.1f[m] Y方向行程H=%5.1f[m]", s.camL, s.camH);
        break;
    case CP_CAM_CYCLOID:
        conPrintf(" サイクロイドカム曲線");
        conPrintf("\nX方向行程L=%5.1f[m] Y方向行程H=%5.1f[m]", s.cycL, s.cycH);
        break;
    default:
        break;
    }
    // cpType is kept within 1..6 by the dialogue; the guard keeps the lookup inside the tables.
    const int type = (s.cpType >= 1 && s.cpType <= 6) ? s.cpType : 0;
    conPrintf("\n始点(x0,y0)=(%7.4f %7.4f)[m] 終点(xf,yf)=(%7.4f %7.4f)[m]", s.cpStart[type][0],
              s.cpStart[type][1], s.cpEnd[type][0], s.cpEnd[type][1]);
    conPrintf("\n関節最大加速度 (xamax,yamax)=(%5.1f %5.1f)[m/s^2]", s.xamax, s.yamax);
    conPrintf("\n/**************** 設定終わり ***************************************/");
    conPrintf("\n");
}
