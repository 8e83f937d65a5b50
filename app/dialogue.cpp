// The console setup dialogue: key list, conditions, questions, path and limit entries,
// and the preparation of a fresh search. Writes sections 1 to 6 and zoom, phscale.
#include "app/dialogue.h"

#include <cmath>

#include "app/conditions.h"
#include "app/console.h"
#include "app/state.h"
#include "path/velocity_limit.h"
#include "planner/boundary_curves.h"
#include "planner/search.h"

namespace {

// Largest dimensions the fixed tables can sample: 2001 samples of 0.01 m on the
// sine and the cams, of π/100 on the arc (ten turns); 100 samples per semicircle.
constexpr double MAX_TRAVEL = 20.0;        // [m]
constexpr double MAX_ARC_DEG = 3600.0;     // 20π rad
constexpr int MAX_SEMICIRCLES = 20;
constexpr int TYPE_TRIES = 3;              // path-type entries before the old type is kept

// Reads two numbers with "%lf %lf"; a value that did not convert is reported as
// missing. The rest of the line is discarded so that one bad entry cannot
// poison the next.
int scanTwo(double* a, double* b)
{
    const int r = conScanf("%lf %lf", a, b);
    if (r != EOF) conDiscardLine();
    return r == EOF ? 0 : r;
}

void refuse(const char* name, const char* value, double kept)
{
    conPrintf("\n  入力が不正です: %s=%s は使えません（旧値 %g のままにします）", name, value, kept);
}

// Takes a positive finite length not above maxValue (maxValue <= 0: no upper
// bound); anything else is refused with a message and the old value stays.
bool takeLength(double* var, double entered, bool read, const char* name, double maxValue)
{
    char text[64];
    if (!read) {
        refuse(name, "(数値でない)", *var);
        return false;
    }
    std::snprintf(text, sizeof text, "%g", entered);
    if (!std::isfinite(entered) || entered <= 0.0) {
        refuse(name, text, *var);
        return false;
    }
    if (maxValue > 0.0 && entered > maxValue) {
        conPrintf("\n  入力が不正です: %s=%s は大きすぎます（上限 %g、旧値 %g のままにします）", name, text, maxValue,
                  *var);
        return false;
    }
    *var = entered;
    return true;
}

void setGoal()
{
    sim.xf = sim.cpEnd[sim.cpType][0];
    sim.yf = sim.cpEnd[sim.cpType][1];
}

void printStartEnd(int type)
{
    conPrintf("\n  始点=(%6.3f %6.3f) 終点=(%6.3f %6.3f)", sim.cpStart[type][0], sim.cpStart[type][1],
              sim.cpEnd[type][0], sim.cpEnd[type][1]);
}

// Step 4: the path type, kept within 1..6.
void enterPathType()
{
    SimState& g = sim;
    conPrintf("\n(1) CP運動種類の変更");
    conPrintf("\n運動選択c= 1:円弧　2:正弦波 3:Ｕ字 4:スラローム");
    conPrintf("\n         = 5:等加速度カム   6:サイクロイドカム");
    for (int tries = 0; tries < TYPE_TRIES; ++tries) {
        conPrintf("\n旧運動＝%d  入力 c=", g.cpType);
        int c = 0;
        const int r = conScanf("%d", &c);
        if (r == EOF) return;  // input ended: the type in force stays
        conDiscardLine();
        if (r == 1 && c >= 1 && c <= 6) {
            g.cpType = c;
            return;
        }
        if (r == 1)
            conPrintf("\n  入力が不正です: c=%d は 1 から 6 で選んでください（旧値 %d のままにします）", c, g.cpType);
        else
            conPrintf("\n  入力が不正です: c は 1 から 6 の数字で選んでください（旧値 %d のままにします）", g.cpType);
        if (conInputEnded()) return;
    }
}

void enterArc()
{
    SimState& g = sim;
    conPrintf("\n1 円弧運動　旧中心=(%5.2f %5.2f)[m], 半径%5.2f[m], 円弧角=%5.2f[deg]", g.arcA[0], g.arcA[1], g.arcR,
              g.sEnd[CP_ARC] * RAD2DEG);
    conPrintf("\n  半径[m]　円弧角[deg] 入力　R θf=");
    double r = 0, deg = 0;
    const int n = scanTwo(&r, &deg);
    takeLength(&g.arcR, r, n >= 1, "半径R", 0.0);
    double angle = g.sEnd[CP_ARC] * RAD2DEG;  // [deg]
    if (takeLength(&angle, deg, n >= 2, "円弧角θf", MAX_ARC_DEG)) g.sEnd[CP_ARC] = angle * DEG2RAD;
    updateTypeTables(CP_ARC);
    setGoal();
    conPrintf("\n  中心A[]=(%5.2f %5.2f)[m] 半径R=%5.2f[m] 円弧角=%6.2f[deg]", g.arcA[0], g.arcA[1], g.arcR,
              g.sEnd[CP_ARC] * RAD2DEG);
    printStartEnd(CP_ARC);
}

void enterSine()
{
    SimState& g = sim;
    conPrintf("\n2 正弦波運動  旧波長Aと振幅L=(%5.2f %5.2f)[m]", g.sinL, g.sinA);
    conPrintf("\n  波長L[m]，振幅A[m] 入力 L A=");
    double l = 0, a = 0;
    const int n = scanTwo(&l, &a);
    takeLength(&g.sinL, l, n >= 1, "波長L", MAX_TRAVEL);
    takeLength(&g.sinA, a, n >= 2, "振幅A", 0.0);
    updateTypeTables(CP_SINE);
    setGoal();
    conPrintf("\n  波長A=%5.2f[m] 振幅L=%5.2f[m]", g.sinL, g.sinA);
    printStartEnd(CP_SINE);
}

void enterU()
{
    SimState& g = sim;
    conPrintf("\n3 Ｕ字軌道運動　旧直線部長さLと円弧部半径R=(%5.2f, %5.2f)[m]", g.uL, g.uR);
    conPrintf("\n  L[m]とR[m] 入力　L R=");
    double l = 0, r = 0;
    const int n = scanTwo(&l, &r);
    takeLength(&g.uL, l, n >= 1, "直線部長さL", 0.0);
    takeLength(&g.uR, r, n >= 2, "円弧部半径R", 0.0);
    updateTypeTables(CP_U);
    setGoal();
    conPrintf("\n  直線部L=%5.2f[m] 円弧部半径R=%6.2f[m]", g.uL, g.uR);
    printStartEnd(CP_U);
}

void enterSlalom()
{
    SimState& g = sim;
    conPrintf("\n4 スラローム　旧円弧部半径R=%5.2f[m] 円弧数N=%d", g.slmR, g.slmN);
    conPrintf("\n  半径R[m]と円個数N 入力　R N=");
    double r = 0;
    int count = 0;
    int n = conScanf("%lf %d", &r, &count);
    if (n != EOF) conDiscardLine();
    if (n == EOF) n = 0;
    takeLength(&g.slmR, r, n >= 1, "半径R", 0.0);
    if (n < 2) {
        conPrintf("\n  入力が不正です: 円個数N=(数値でない) は使えません（旧値 %d のままにします）", g.slmN);
    } else if (count < 1 || count > MAX_SEMICIRCLES) {
        conPrintf("\n  入力が不正です: 円個数N=%d は 1 から %d にしてください（旧値 %d のままにします）", count,
                  MAX_SEMICIRCLES, g.slmN);
    } else {
        g.slmN = count;
    }
    updateTypeTables(CP_SLALOM);
    setGoal();
    conPrintf("\n  円弧部半径R=%6.2f[m] 円弧数N=%d", g.slmR, g.slmN);
    printStartEnd(CP_SLALOM);
}

// Both cams share their entry; only the title and the variables differ.
void enterCam(int type, const char* title, double* L, double* H)
{
    conPrintf(title, *L, *H);
    conPrintf("\n  移動量L[m]と立ち上がり量H 入力　L H=");
    double l = 0, h = 0;
    const int n = scanTwo(&l, &h);
    takeLength(L, l, n >= 1, "移動量L", MAX_TRAVEL);
    takeLength(H, h, n >= 2, "立ち上がり量H", 0.0);
    updateTypeTables(type);
    setGoal();
    conPrintf("\n  移動量L=%6.2f[m] 立ち上がり量H=%6.2f[m]", *L, *H);
    printStartEnd(type);
}

// Step 5: the dimensions of the chosen path.
void enterDimensions()
{
    SimState& g = sim;
    switch (g.cpType) {
    case CP_ARC: enterArc(); break;
    case CP_SINE: enterSine(); break;
    case CP_U: enterU(); break;
    case CP_SLALOM: enterSlalom(); break;
    case CP_CAM_ACC:
        enterCam(CP_CAM_ACC, "\n5 等加速度カム曲線　旧移動距離L=%5.2f[m] 立ち上がりH=%5.2f[m]", &g.camL, &g.camH);
        break;
    case CP_CAM_CYCLOID:
        enterCam(CP_CAM_CYCLOID, "\n6 サイクロイドカム曲線　旧移動距離L=%5.2f[m] 立ち上がりH=%5.2f[m]", &g.cycL,
                 &g.cycH);
        break;
    default: break;
    }
}

// Step 6: the two axis limits.
void enterLimits()
{
    SimState& g = sim;
    conPrintf("\n(2) X,Y最大加減速変更  旧amax(x,y)＝(%6.2f %6.2f)", g.xamax, g.yamax);
    conPrintf("\n    入力　xamax yamax=");
    double xa = 0, ya = 0;
    const int n = scanTwo(&xa, &ya);
    takeLength(&g.xamax, xa, n >= 1, "xamax", 0.0);
    takeLength(&g.yamax, ya, n >= 2, "yamax", 0.0);
    conPrintf("\n    X,Y最大加減速 amax(x,y)=(%6.2f %6.2f)", g.xamax, g.yamax);
}

}  // namespace

void prepareSearch()
{
    SimState& g = sim;
    g.t = 0.0;
    g.mf = 0;
    g.m = 0;
    g.accSign = +1;
    printConditions();
    conPrintf("\n");
    computeBoundaryCurves();
    makeVelocityLimit();
    conPrintf("\n\n............描画画面へ..........\n");
    g.zoom = 1.0;
    const double sEnd = g.sEnd[g.cpType];
    if (sEnd < 1.01)
        g.phscale = 2.0;
    else if (sEnd > 1.99)
        g.phscale = 0.4;
    else
        g.phscale = 1.0;
    resetSearch();
}

void setupDialogue()
{
    SimState& g = sim;
    conPrintf("\n\n描画画面上でキーによる操作選択");
    conPrintf("\n(1-1) 'k'     : CP軌道曲線変更");
    conPrintf("\n(1-2) 'u'     : X,Y最大加速度変更");
    conPrintf("\n(2)   描画の選択");
    conPrintf("\n(2-1) 's'    ：運動継続");
    conPrintf("\n(2-2) 't'    ：１つ戻って時間刻み小さくする");
    conPrintf("\n(2-3) 'r'    ：１つ戻り時間刻み元に戻しトルク切り替える");
    conPrintf("\n(2-4) 'c'    ：トルク切り替える");
    conPrintf("\n(2-5) 'f'    ：最後の軌道へ乗せる：自動的に軌道探索終了");
    conPrintf("\n             ：｢註]少し行き過ぎてからfを押す．その際r，cを押してはならない");
    conPrintf("\n(2-6) '0'    ：運動初期状態に戻す");
    conPrintf("\n(3-1)  'w' 'W'：ロボット図の縮小拡大");
    conPrintf("\n(3-2)  'x' 'X' 'y' 'Y'：ロボット図の左右・上下移動");
    conPrintf("\n(4)   ESC    ：終了");
    printConditions();

    bool path = false, limits = false;
    if (g.lastKey == 'k') {
        path = limits = true;
    } else if (g.lastKey == 'u') {
        limits = true;
    } else {
        conPrintf("\n   軌道曲線変更する？　yes : y   no : n    ");
        const int q1 = conReadKey();
        if (q1 == 'y') {
            path = limits = true;
        } else {
            conPrintf("\n   最大加速度変更する？　yes : y   no : n    ");
            const int q2 = conReadKey();
            // End of input counts as 'n': nothing changes.
            if (q2 == 'y')
                limits = true;
            else if (q2 != 'n' && q2 != EOF)
                path = limits = true;
        }
    }
    if (path) {
        enterPathType();
        enterDimensions();
    }
    if (limits) enterLimits();
    prepareSearch();
}
