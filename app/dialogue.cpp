// The console setup dialogue: key list, conditions, questions, path and limit entries,
// then the preparation of a fresh search. Writes sections 1 to 6 and zoom, phscale.
#include "app/dialogue.h"

#include <cmath>
#include <cstdio>

#include "core/conditions.h"
#include "core/console.h"
#include "core/entry_check.h"
#include "core/messages.h"
#include "core/state.h"
#include "planner/prepare.h"

namespace {

constexpr int TYPE_TRIES = 3;   // path-type entries before the old type is kept
constexpr int WORD_CAP = 64;    // longest entry word kept; a longer one is no number

// How one entry of a block turned out when its word was read.
enum Entry { ENTRY_READ, ENTRY_BAD, ENTRY_ENDED };

// The end-of-input note is given once per dialogue.
bool endNoted = false;

void noteInputEnded()
{
    if (endNoted) return;
    endNoted = true;
    conPrintf("\n  入力が終わりました: これ以降は旧値のままにします");
}

// The words of one block of two entries. Each word is judged on its own by the
// entry check. The first may stand on a later line (blank lines are skipped),
// and so may the second after a first that reads as a number; after one that
// does not, the second is taken from the same line only, and a line without it
// leaves the second unread. The rest of the line is discarded so that a bad
// entry cannot poison the next; at end of input nothing more is read.
struct Scan {
    char word[2][WORD_CAP];
    Entry entry[2];
};

Scan scanTwo()
{
    Scan sc;
    bool withinLine = false;
    bool ended = false;
    for (int i = 0; i < 2; ++i) {
        sc.word[i][0] = '\0';
        if (ended) {
            sc.entry[i] = ENTRY_ENDED;
            continue;
        }
        const ConWord r = conReadWord(sc.word[i], WORD_CAP, withinLine);
        if (r == CON_WORD_ENDED) {
            sc.entry[i] = ENTRY_ENDED;
            ended = true;
        } else if (r == CON_WORD_NONE) {
            sc.entry[i] = ENTRY_BAD;
        } else {
            sc.entry[i] = ENTRY_READ;
            withinLine = !entryIsNumber(sc.word[i]);
        }
    }
    if (!ended && !conInputEnded()) conDiscardLine();
    return sc;
}

// Takes one real entry of a scan into *var (refusals print their line and keep it).
bool takeReal(EntryId id, const Scan& sc, int index, double* var)
{
    if (sc.entry[index] == ENTRY_ENDED) {
        noteInputEnded();
        return false;
    }
    return takeRealText(id, sc.word[index], *var, var);
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

// Step 4: the path type, kept within 1..6. A refused entry is asked again up
// to TYPE_TRIES times; after that, and at end of input, the type in force stays.
void enterPathType()
{
    SimState& g = sim;
    conPrintf("\n(1) CP運動種類の変更");
    conPrintf("\n運動選択c= 1:円弧　2:正弦波 3:Ｕ字 4:スラローム");
    conPrintf("\n         = 5:等加速度カム   6:サイクロイドカム");
    for (int tries = 0; tries < TYPE_TRIES; ++tries) {
        conPrintf("\n旧運動＝%d  入力 c=", g.cpType);
        char word[WORD_CAP];
        const ConWord r = conReadWord(word, WORD_CAP, false);
        const bool ended = r == CON_WORD_ENDED || conInputEnded();
        if (r == CON_WORD_ENDED) {
            noteInputEnded();
            return;
        }
        if (!ended) conDiscardLine();
        if (takeTypeText(word, g.cpType, &g.cpType)) return;
        if (ended || conInputEnded()) {
            noteInputEnded();
            return;
        }
    }
}

void enterArc()
{
    SimState& g = sim;
    conPrintf("\n1 円弧運動　旧中心=(%5.2f %5.2f)[m], 半径%5.2f[m], 円弧角=%5.2f[deg]", g.arcA[0], g.arcA[1], g.arcR,
              g.sEnd[CP_ARC] * RAD2DEG);
    conPrintf("\n  半径[m]　円弧角[deg] 入力　R θf=");
    const Scan sc = scanTwo();
    takeReal(ENTRY_ARC_R, sc, 0, &g.arcR);
    // The angle is judged in degrees; the radians in force change only when it is taken.
    double angle = g.sEnd[CP_ARC] * RAD2DEG;
    if (takeReal(ENTRY_ARC_DEG, sc, 1, &angle)) g.sEnd[CP_ARC] = angle * DEG2RAD;
    updateTypeTables(CP_ARC);
    setGoal();
    conPrintf("\n  中心A[]=(%5.2f %5.2f)[m] 半径R=%5.2f[m] 円弧角=%6.2f[deg]", g.arcA[0], g.arcA[1], g.arcR,
              g.sEnd[CP_ARC] * RAD2DEG);
    printStartEnd(CP_ARC);
}

void enterSlalom()
{
    SimState& g = sim;
    conPrintf("\n4 スラローム　旧円弧部半径R=%5.2f[m] 円弧数N=%d", g.slmR, g.slmN);
    conPrintf("\n  半径R[m]と円個数N 入力　R N=");
    const Scan sc = scanTwo();
    takeReal(ENTRY_SLM_R, sc, 0, &g.slmR);
    if (sc.entry[1] == ENTRY_ENDED)
        noteInputEnded();
    else
        takeCountText(sc.word[1], g.slmN, &g.slmN);
    updateTypeTables(CP_SLALOM);
    setGoal();
    conPrintf("\n  円弧部半径R=%6.2f[m] 円弧数N=%d", g.slmR, g.slmN);
    printStartEnd(CP_SLALOM);
}

// The entry of a path given by two lengths (sine wave, U shape, both cams):
// old values, prompt, one scan of two values each judged on its own, the
// type's tables recomputed, then the summary with start and end.
struct TwoLengths {
    const char* oldValues;  // format with the two old values
    const char* prompt;
    EntryId idA;
    EntryId idB;
    const char* summary;    // format with the two values in force
};

void enterTwoLengths(int type, const TwoLengths& e, double* A, double* B)
{
    conPrintf(e.oldValues, *A, *B);
    conPrintf("%s", tr(e.prompt));
    const Scan sc = scanTwo();
    takeReal(e.idA, sc, 0, A);
    takeReal(e.idB, sc, 1, B);
    updateTypeTables(type);
    setGoal();
    conPrintf(e.summary, *A, *B);
    printStartEnd(type);
}

// Both cams share their entry; only the title and the variables differ.
TwoLengths camEntry(const char* oldValues, EntryId idL, EntryId idH)
{
    return {oldValues, N_("\n  移動量L[m]と立ち上がり量H 入力　L H="), idL, idH,
            N_("\n  移動量L=%6.2f[m] 立ち上がり量H=%6.2f[m]")};
}

// Step 5: the dimensions of the chosen path.
void enterDimensions()
{
    SimState& g = sim;
    switch (g.cpType) {
    case CP_ARC: enterArc(); break;
    case CP_SINE:
        enterTwoLengths(CP_SINE,
                        {N_("\n2 正弦波運動  旧波長Aと振幅L=(%5.2f %5.2f)[m]"), N_("\n  波長L[m]，振幅A[m] 入力 L A="),
                         ENTRY_SIN_L, ENTRY_SIN_A, N_("\n  波長A=%5.2f[m] 振幅L=%5.2f[m]")},
                        &g.sinL, &g.sinA);
        break;
    case CP_U:
        enterTwoLengths(CP_U,
                        {N_("\n3 Ｕ字軌道運動　旧直線部長さLと円弧部半径R=(%5.2f, %5.2f)[m]"), N_("\n  L[m]とR[m] 入力　L R="),
                         ENTRY_U_L, ENTRY_U_R, N_("\n  直線部L=%5.2f[m] 円弧部半径R=%6.2f[m]")},
                        &g.uL, &g.uR);
        break;
    case CP_SLALOM: enterSlalom(); break;
    case CP_CAM_ACC:
        enterTwoLengths(CP_CAM_ACC, camEntry(N_("\n5 等加速度カム曲線　旧移動距離L=%5.2f[m] 立ち上がりH=%5.2f[m]"),
                                            ENTRY_CAM_L, ENTRY_CAM_H),
                        &g.camL,
                        &g.camH);
        break;
    case CP_CAM_CYCLOID:
        enterTwoLengths(CP_CAM_CYCLOID, camEntry(N_("\n6 サイクロイドカム曲線　旧移動距離L=%5.2f[m] 立ち上がりH=%5.2f[m]"),
                                 ENTRY_CYC_L, ENTRY_CYC_H),
                        &g.cycL, &g.cycH);
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
    const Scan sc = scanTwo();
    takeReal(ENTRY_XAMAX, sc, 0, &g.xamax);
    takeReal(ENTRY_YAMAX, sc, 1, &g.yamax);
    conPrintf("\n    X,Y最大加減速 amax(x,y)=(%6.2f %6.2f)", g.xamax, g.yamax);
}

}  // namespace

void setupDialogue()
{
    SimState& g = sim;
    endNoted = false;
    // A Ctrl-D of an earlier dialogue does not end this one; keys typed into the
    // terminal while the window was in use are no answers to it.
    conForgetInputEnd();
    if (g.lastKey == 'k' || g.lastKey == 'u') conDiscardTypeAhead();
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

    // Route: 'k' path and limits, 'u' limits only; otherwise the two questions.
    // End of input at a question counts as 'n' to everything: nothing changes.
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
        } else if (q1 == EOF) {
            noteInputEnded();
        } else {
            conPrintf("\n   最大加速度変更する？　yes : y   no : n    ");
            const int q2 = conReadKey();
            if (q2 == 'y')
                limits = true;
            else if (q2 == EOF)
                noteInputEnded();
            else if (q2 != 'n')
                path = limits = true;  // any other key: the full entry
        }
    }
    if (path) {
        enterPathType();
        enterDimensions();
    }
    if (limits) enterLimits();
    prepareSearch();
}
