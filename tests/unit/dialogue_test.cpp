// The console setup dialogue fed from memory streams: its routes, texts, entries,
// refused entries, end of input and the preparation of the search that ends it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>

#include "app/dialogue.h"
#include "core/state.h"
#include "path/velocity_limit.h"
#include "planner/boundary_curves.h"
#include "test_support.h"

namespace {

// ---- Texts of the dialogue, written out here as the user sees them ----

const char* const KEY_LIST =
    "\n\n描画画面上でキーによる操作選択"
    "\n(1-1) 'k'     : CP軌道曲線変更"
    "\n(1-2) 'u'     : X,Y最大加速度変更"
    "\n(2)   描画の選択"
    "\n(2-1) 's'    ：運動継続"
    "\n(2-2) 't'    ：１つ戻って時間刻み小さくする"
    "\n(2-3) 'r'    ：１つ戻り時間刻み元に戻しトルク切り替える"
    "\n(2-4) 'c'    ：トルク切り替える"
    "\n(2-5) 'f'    ：最後の軌道へ乗せる：自動的に軌道探索終了"
    "\n             ：｢註]少し行き過ぎてからfを押す．その際r，cを押してはならない"
    "\n(2-6) '0'    ：運動初期状態に戻す"
    "\n(3-1)  'w' 'W'：ロボット図の縮小拡大"
    "\n(3-2)  'x' 'X' 'y' 'Y'：ロボット図の左右・上下移動"
    "\n(4)   ESC    ：終了";

const char* const DEFAULT_REPORT =
    "\n\n/*************** 設定した最短時間制御の条件 ************************/"
    "\nXY座標ロボット"
    "\nCP軌道：1 円弧"
    "\n 中心A=(  0.0   0.0)[m] 半径R=  0.5[m] 円弧角θ= 90.00[deg]"
    "\n始点(x0,y0)=( 0.5000  0.0000)[m] 終点(xf,yf)=( 0.0000  0.5000)[m]"
    "\n関節最大加速度 (xamax,yamax)=(  2.0   2.0)[m/s^2]"
    "\n/**************** 設定終わり ***************************************/"
    "\n";

const char* const REPORT_HEAD = "\n\n/*************** 設定した最短時間制御の条件 ************************/";
const char* const Q1 = "\n   軌道曲線変更する？　yes : y   no : n    ";
const char* const Q2 = "\n   最大加速度変更する？　yes : y   no : n    ";
const char* const TYPE_MENU =
    "\n(1) CP運動種類の変更"
    "\n運動選択c= 1:円弧　2:正弦波 3:Ｕ字 4:スラローム"
    "\n         = 5:等加速度カム   6:サイクロイドカム";
const char* const LIMITS_HEAD = "\n(2) X,Y最大加減速変更  旧amax(x,y)＝(";
const char* const TO_WINDOW = "\n\n............描画画面へ..........\n";
const char* const INPUT_ENDED = "\n  入力が終わりました: これ以降は旧値のままにします";

int countOf(const std::string& hay, const std::string& needle)
{
    int n = 0;
    for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + needle.size())) ++n;
    return n;
}

bool contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

// Runs the dialogue on the present state with lastKey and the given console input.
std::string dialogueOn(char lastKey, const char* input)
{
    sim.lastKey = lastKey;
    feedInput(input);
    captureBegin();
    setupDialogue();
    std::string out = captureEnd();
    feedInput(nullptr);
    return out;
}

// The same from the defaults.
std::string dialogue(char lastKey, const char* input)
{
    freshDefaults();
    return dialogueOn(lastKey, input);
}

// A copy of the whole state (large: kept on the heap).
std::unique_ptr<SimState> snapshot() { return std::make_unique<SimState>(sim); }

// Sections 1 to 6 of the state (path, parameters, derived values, tables, goal, limits) equal.
void expectSameSetup(const SimState& a, const SimState& b)
{
    EXPECT_EQ(a.cpType, b.cpType);
    EXPECT_EQ(a.arcR, b.arcR);
    EXPECT_EQ(a.sinL, b.sinL);
    EXPECT_EQ(a.sinA, b.sinA);
    EXPECT_EQ(a.uL, b.uL);
    EXPECT_EQ(a.uR, b.uR);
    EXPECT_EQ(a.slmR, b.slmR);
    EXPECT_EQ(a.slmN, b.slmN);
    EXPECT_EQ(a.camL, b.camL);
    EXPECT_EQ(a.camH, b.camH);
    EXPECT_EQ(a.cycL, b.cycL);
    EXPECT_EQ(a.cycH, b.cycH);
    EXPECT_EQ(a.sinK, b.sinK);
    EXPECT_EQ(a.uArc, b.uArc);
    EXPECT_EQ(a.camA, b.camA);
    EXPECT_EQ(a.cycC, b.cycC);
    EXPECT_EQ(a.cycW, b.cycW);
    for (int k = 1; k < TYPE_CAP; ++k) {
        EXPECT_EQ(a.sEnd[k], b.sEnd[k]) << "type " << k;
        EXPECT_EQ(a.cpStart[k][0], b.cpStart[k][0]) << "type " << k;
        EXPECT_EQ(a.cpStart[k][1], b.cpStart[k][1]) << "type " << k;
        // End points to rounding: re-deriving the arc's end from unchanged entries
        // gives cos(π/2)·R of the literal π instead of the exact default 0.
        EXPECT_NEAR(a.cpEnd[k][0], b.cpEnd[k][0], 1e-12) << "type " << k;
        EXPECT_NEAR(a.cpEnd[k][1], b.cpEnd[k][1], 1e-12) << "type " << k;
        EXPECT_EQ(a.dxScale[k], b.dxScale[k]) << "type " << k;
        EXPECT_EQ(a.dyScale[k], b.dyScale[k]) << "type " << k;
    }
    EXPECT_NEAR(a.xf, b.xf, 1e-12);
    EXPECT_NEAR(a.yf, b.yf, 1e-12);
    EXPECT_EQ(a.xamax, b.xamax);
    EXPECT_EQ(a.yamax, b.yamax);
}

// ---------------------------------------------------------------- routes

struct RouteCase {
    const char* name;
    char lastKey;
    const char* input;
    bool askQ1, askQ2, path, limits;
};

// Path entries that move the sine wave, then limits; or the limits alone.
#define PATH_ENTRY "2\n2 0.3\n3 4\n"
#define LIMITS_ENTRY "3 4\n"

const RouteCase ROUTES[] = {
    {"start, Q1 y", '0', "y" PATH_ENTRY, true, false, true, true},
    {"start, Q1 n, Q2 y", '0', "ny" LIMITS_ENTRY, true, true, false, true},
    {"start, Q1 n, Q2 n", '0', "nn" PATH_ENTRY, true, true, false, false},
    {"start, Q1 n, Q2 x", '0', "nx" PATH_ENTRY, true, true, true, true},
    {"start, Q1 n, Q2 N", '0', "nN" PATH_ENTRY, true, true, true, true},
    {"start, Q1 Y (not yes), Q2 y", '0', "Yy" LIMITS_ENTRY, true, true, false, true},
    {"start, Q1 x (not yes), Q2 n", '0', "xn" PATH_ENTRY, true, true, false, false},
    {"start, Q1 1 (not yes), Q2 2", '0', "12" PATH_ENTRY, true, true, true, true},
    {"piped answers skip blanks", '0', "\n n\r\n\ty\n" LIMITS_ENTRY, true, true, false, true},
    {"window key k", 'k', PATH_ENTRY, false, false, true, true},
    {"window key u", 'u', LIMITS_ENTRY, false, false, false, true},
    {"any other last key asks", 's', "nn", true, true, false, false},
};

void PrintTo(const RouteCase& c, std::ostream* os) { *os << c.name; }

class Route : public ::testing::TestWithParam<RouteCase> {};

TEST_P(Route, RunsTheBlocksOfItsRowOnly)
{
    const RouteCase& rc = GetParam();
    freshDefaults();
    const auto before = snapshot();
    const std::string out = dialogueOn(rc.lastKey, rc.input);

    EXPECT_EQ(contains(out, Q1), rc.askQ1);
    EXPECT_EQ(contains(out, Q2), rc.askQ2);
    EXPECT_EQ(contains(out, TYPE_MENU), rc.path);
    EXPECT_EQ(contains(out, LIMITS_HEAD), rc.limits);
    EXPECT_TRUE(contains(out, TO_WINDOW));  // every route ends with the preparation

    if (rc.path) {
        EXPECT_EQ(sim.cpType, CP_SINE);
        EXPECT_EQ(sim.sinL, 2.0);
        EXPECT_EQ(sim.sinA, 0.3);
    } else {
        EXPECT_EQ(sim.cpType, before->cpType);
        EXPECT_EQ(sim.sinL, before->sinL);
        EXPECT_EQ(sim.sinA, before->sinA);
    }
    if (rc.limits) {
        EXPECT_EQ(sim.xamax, 3.0);
        EXPECT_EQ(sim.yamax, 4.0);
    }
    // Nothing else of the setup moves.
    if (!rc.path) {
        auto expected = std::make_unique<SimState>(*before);
        if (rc.limits) {
            expected->xamax = 3.0;
            expected->yamax = 4.0;
        }
        expectSameSetup(sim, *expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Dialogue, Route, ::testing::ValuesIn(ROUTES),
                         [](const ::testing::TestParamInfo<RouteCase>& info) {
                             return "row" + std::to_string(info.index);
                         });

TEST(DialogueTexts, StartUpWithNoAndNoPrintsThreeIdenticalReports)
{
    sim = SimState{};
    feedInput("nn");
    captureBegin();
    initDefaults();
    sim.lastKey = '0';
    setupDialogue();
    const std::string out = captureEnd();
    feedInput(nullptr);

    // The whole console of the run, in order, byte for byte.
    const std::string expected = std::string(DEFAULT_REPORT) + KEY_LIST + DEFAULT_REPORT + Q1 + Q2 + DEFAULT_REPORT +
                                 "\n" + TO_WINDOW;
    EXPECT_EQ(out, expected);
    EXPECT_EQ(countOf(out, REPORT_HEAD), 3);
}

TEST(DialogueTexts, WindowKeysSkipTheQuestionsButKeepTheKeyListAndReports)
{
    for (char key : {'k', 'u'}) {
        const std::string out = dialogue(key, key == 'k' ? "1\n0.5 90\n2 2\n" : "2 2\n");
        EXPECT_EQ(out.rfind(std::string(KEY_LIST) + DEFAULT_REPORT, 0), 0u) << key;
        EXPECT_FALSE(contains(out, "軌道曲線変更する？")) << key;
        EXPECT_FALSE(contains(out, "最大加速度変更する？")) << key;
        EXPECT_EQ(countOf(out, REPORT_HEAD), 2) << key;
    }
}

// ---------------------------------------------------------------- entries, byte for byte

struct EntryCase {
    int type;
    const char* input;  // after 'k': type, dimensions, limits
    const char* block;  // the console from the menu to the end of the limits block
};

const EntryCase ENTRIES[] = {
    {CP_ARC, "1\n0.8 120\n1.5 2.5\n",
     "\n旧運動＝1  入力 c="
     "\n1 円弧運動　旧中心=( 0.00  0.00)[m], 半径 0.50[m], 円弧角=90.00[deg]"
     "\n  半径[m]　円弧角[deg] 入力　R θf="
     "\n  中心A[]=( 0.00  0.00)[m] 半径R= 0.80[m] 円弧角=120.00[deg]"
     "\n  始点=( 0.800  0.000) 終点=(-0.400  0.693)"
     "\n(2) X,Y最大加減速変更  旧amax(x,y)＝(  2.00   2.00)"
     "\n    入力　xamax yamax="
     "\n    X,Y最大加減速 amax(x,y)=(  1.50   2.50)"},
    {CP_SINE, "2\n2 0.3\n1.5 2.5\n",
     "\n旧運動＝1  入力 c="
     "\n2 正弦波運動  旧波長Aと振幅L=( 1.00  0.50)[m]"
     "\n  波長L[m]，振幅A[m] 入力 L A="
     "\n  波長A= 2.00[m] 振幅L= 0.30[m]"
     "\n  始点=( 0.000  0.000) 終点=( 2.000  0.000)"
     "\n(2) X,Y最大加減速変更  旧amax(x,y)＝(  2.00   2.00)"
     "\n    入力　xamax yamax="
     "\n    X,Y最大加減速 amax(x,y)=(  1.50   2.50)"},
    {CP_U, "3\n0.6 0.25\n1.5 2.5\n",
     "\n旧運動＝1  入力 c="
     "\n3 Ｕ字軌道運動　旧直線部長さLと円弧部半径R=( 0.40,  0.40)[m]"
     "\n  L[m]とR[m] 入力　L R="
     "\n  直線部L= 0.60[m] 円弧部半径R=  0.25[m]"
     "\n  始点=( 0.000  0.000) 終点=( 0.500  0.000)"
     "\n(2) X,Y最大加減速変更  旧amax(x,y)＝(  2.00   2.00)"
     "\n    入力　xamax yamax="
     "\n    X,Y最大加減速 amax(x,y)=(  1.50   2.50)"},
    {CP_SLALOM, "4\n0.1 4\n1.5 2.5\n",
     "\n旧運動＝1  入力 c="
     "\n4 スラローム　旧円弧部半径R= 0.20[m] 円弧数N=3"
     "\n  半径R[m]と円個数N 入力　R N="
     "\n  円弧部半径R=  0.10[m] 円弧数N=4"
     "\n  始点=( 0.000  0.000) 終点=( 0.800  0.000)"
     "\n(2) X,Y最大加減速変更  旧amax(x,y)＝(  2.00   2.00)"
     "\n    入力　xamax yamax="
     "\n    X,Y最大加減速 amax(x,y)=(  1.50   2.50)"},
    {CP_CAM_ACC, "5\n1.5 0.25\n1.5 2.5\n",
     "\n旧運動＝1  入力 c="
     "\n5 等加速度カム曲線　旧移動距離L= 0.50[m] 立ち上がりH= 0.50[m]"
     "\n  移動量L[m]と立ち上がり量H 入力　L H="
     "\n  移動量L=  1.50[m] 立ち上がり量H=  0.25[m]"
     "\n  始点=( 0.000  0.000) 終点=( 1.500  0.250)"
     "\n(2) X,Y最大加減速変更  旧amax(x,y)＝(  2.00   2.00)"
     "\n    入力　xamax yamax="
     "\n    X,Y最大加減速 amax(x,y)=(  1.50   2.50)"},
    {CP_CAM_CYCLOID, "6\n0.75 1.2\n1.5 2.5\n",
     "\n旧運動＝1  入力 c="
     "\n6 サイクロイドカム曲線　旧移動距離L= 0.50[m] 立ち上がりH= 0.50[m]"
     "\n  移動量L[m]と立ち上がり量H 入力　L H="
     "\n  移動量L=  0.75[m] 立ち上がり量H=  1.20[m]"
     "\n  始点=( 0.000  0.000) 終点=( 0.750  1.200)"
     "\n(2) X,Y最大加減速変更  旧amax(x,y)＝(  2.00   2.00)"
     "\n    入力　xamax yamax="
     "\n    X,Y最大加減速 amax(x,y)=(  1.50   2.50)"},
};

void PrintTo(const EntryCase& c, std::ostream* os) { *os << "type " << c.type; }

class Entry : public ::testing::TestWithParam<EntryCase> {};

TEST_P(Entry, PrintsMenuOldValuesPromptAndSummaryByteForByte)
{
    const EntryCase& ec = GetParam();
    const std::string out = dialogue('k', ec.input);
    const std::string expected = std::string(KEY_LIST) + DEFAULT_REPORT + TYPE_MENU + ec.block + REPORT_HEAD;
    EXPECT_EQ(out.substr(0, expected.size()), expected);
    EXPECT_EQ(sim.cpType, ec.type);
    EXPECT_EQ(sim.xamax, 1.5);
    EXPECT_EQ(sim.yamax, 2.5);
    // The goal follows the new end point of the chosen type.
    EXPECT_EQ(sim.xf, sim.cpEnd[ec.type][0]);
    EXPECT_EQ(sim.yf, sim.cpEnd[ec.type][1]);
    // The closing report describes the new path.
    char line[64];
    std::snprintf(line, sizeof line, "\nCP軌道：%d ", ec.type);
    EXPECT_EQ(countOf(out.substr(expected.size()), line), 1);
}

INSTANTIATE_TEST_SUITE_P(Dialogue, Entry, ::testing::ValuesIn(ENTRIES),
                         [](const ::testing::TestParamInfo<EntryCase>& info) {
                             return "type" + std::to_string(info.param.type);
                         });

TEST(DialogueEntries, RecomputeTheDerivedValuesOfTheChosenType)
{
    dialogue('k', "1\n0.8 120\n2 2\n");
    EXPECT_DOUBLE_EQ(sim.sEnd[CP_ARC], 120 * 0.0174532925);
    EXPECT_DOUBLE_EQ(sim.cpStart[CP_ARC][0], 0.8);
    EXPECT_DOUBLE_EQ(sim.cpEnd[CP_ARC][0], 0.8 * std::cos(120 * 0.0174532925));
    EXPECT_DOUBLE_EQ(sim.cpEnd[CP_ARC][1], 0.8 * std::sin(120 * 0.0174532925));
    EXPECT_DOUBLE_EQ(sim.dxScale[CP_ARC], 0.8);
    EXPECT_DOUBLE_EQ(sim.dyScale[CP_ARC], 0.8);

    dialogue('k', "2\n2 0.3\n2 2\n");
    EXPECT_DOUBLE_EQ(sim.sinK, 3.14159265358979);
    EXPECT_DOUBLE_EQ(sim.sEnd[CP_SINE], 2.0);
    EXPECT_DOUBLE_EQ(sim.dyScale[CP_SINE], 0.3 * 3.14159265358979);
    EXPECT_EQ(sim.vEnd[CP_SINE], 0.0);

    dialogue('k', "3\n0.6 0.25\n2 2\n");
    EXPECT_DOUBLE_EQ(sim.uArc, 0.25 * 3.14159265358979);
    EXPECT_DOUBLE_EQ(sim.sEnd[CP_U], 1.2 + 0.25 * 3.14159265358979);
    EXPECT_DOUBLE_EQ(sim.dxScale[CP_U], 0.25);

    dialogue('k', "4\n0.1 4\n2 2\n");
    EXPECT_DOUBLE_EQ(sim.sEnd[CP_SLALOM], 4 * 3.14159265358979);
    EXPECT_DOUBLE_EQ(sim.dyScale[CP_SLALOM], 0.1);

    dialogue('k', "5\n1.5 0.25\n2 2\n");
    EXPECT_DOUBLE_EQ(sim.camA, 4 * 0.25 / (1.5 * 1.5));
    EXPECT_DOUBLE_EQ(sim.sEnd[CP_CAM_ACC], 1.5);
    EXPECT_DOUBLE_EQ(sim.dyScale[CP_CAM_ACC], 2 * 0.25 / 1.5);

    dialogue('k', "6\n0.75 1.2\n2 2\n");
    EXPECT_DOUBLE_EQ(sim.cycC, 2 * 3.14159265358979 * 1.2 / (0.75 * 0.75));
    EXPECT_DOUBLE_EQ(sim.cycW, 2 * 3.14159265358979 / 0.75);
    EXPECT_DOUBLE_EQ(sim.sEnd[CP_CAM_CYCLOID], 0.75);
    EXPECT_DOUBLE_EQ(sim.dyScale[CP_CAM_CYCLOID], 2 * 1.2 / 0.75);
}

TEST(DialogueEntries, OtherTypesKeepTheirEntriesAcrossTypeChanges)
{
    dialogue('k', "2\n2 0.3\n2 2\n");
    dialogueOn('k', "1\n0.7 60\n2 2\n");
    EXPECT_EQ(sim.cpType, CP_ARC);
    EXPECT_EQ(sim.sinL, 2.0);
    EXPECT_EQ(sim.sEnd[CP_SINE], 2.0);
    const std::string out = dialogueOn('k', "2\n1 1\n2 2\n");
    EXPECT_TRUE(contains(out, "\n2 正弦波運動  旧波長Aと振幅L=( 2.00  0.30)[m]"));
    // The arc entered in between is kept too.
    EXPECT_DOUBLE_EQ(sim.arcR, 0.7);
    EXPECT_DOUBLE_EQ(sim.sEnd[CP_ARC], 60 * 0.0174532925);
}

// ---------------------------------------------------------------- the preparation

TEST(DialoguePreparation, PhaseScaleFollowsTheParameterRange)
{
    struct {
        const char* input;
        double phscale;
    } cases[] = {
        {"2\n2 0.3\n2 2\n", 0.4},        // sEnd 2
        {"1\n0.5 45\n2 2\n", 2.0},       // sEnd 0.785
        {"1\n0.5 90\n2 2\n", 1.0},       // sEnd 1.571
        {"4\n0.1 4\n2 2\n", 0.4},        // sEnd 4π
        {"2\n1.01 0.3\n2 2\n", 1.0},     // the bounds are strict
        {"2\n1.99 0.3\n2 2\n", 1.0},
        {"2\n1.0 0.3\n2 2\n", 2.0},
        {"5\n1.995 0.3\n2 2\n", 0.4},
        {"3\n0.05 0.1\n2 2\n", 2.0},     // 0.1 + 0.1π
    };
    for (const auto& c : cases) {
        dialogue('k', c.input);
        EXPECT_EQ(sim.phscale, c.phscale) << c.input;
        EXPECT_EQ(sim.zoom, 1.0) << c.input;
    }
}

TEST(DialoguePreparation, NamedCasesEndWhereTheyShould)
{
    std::string out = dialogue('k', "2\n2 0.3\n2 2\n");
    EXPECT_EQ(sim.sEnd[CP_SINE], 2.0);
    EXPECT_EQ(sim.xf, 2.0);
    EXPECT_EQ(sim.yf, 0.0);
    EXPECT_TRUE(contains(out, "\n  始点=( 0.000  0.000) 終点=( 2.000  0.000)"));

    out = dialogue('k', "1\n0.5 45\n2 2\n");
    EXPECT_EQ(sim.sEnd[CP_ARC], 45 * 0.0174532925);

    out = dialogue('k', "1\n0.5 90\n2 2\n");
    EXPECT_EQ(sim.sEnd[CP_ARC], 90 * 0.0174532925);
    EXPECT_EQ(sim.cpStart[CP_ARC][0], 0.5);
    EXPECT_EQ(sim.cpStart[CP_ARC][1], 0.0);
    EXPECT_NEAR(sim.cpEnd[CP_ARC][0], 0.0, 1e-8);
    EXPECT_NEAR(sim.cpEnd[CP_ARC][1], 0.5, 1e-12);
    EXPECT_TRUE(contains(out, "\n  始点=( 0.500  0.000) 終点=( 0.000  0.500)"));

    out = dialogue('k', "4\n0.1 4\n2 2\n");
    EXPECT_DOUBLE_EQ(sim.xf, 0.8);
    EXPECT_EQ(sim.yf, 0.0);
}

TEST(DialoguePreparation, StartsAFreshSearchOnCurvesOfTheFinalValues)
{
    freshDefaults();
    // A search in the middle of its playback, and curves of another path.
    sim.m = 123;
    sim.mf = 200;
    sim.t = 1.5;
    sim.accSign = -1;
    sim.dt = 0.0005;
    sim.endMark = 'e';
    sim.joinMark = 'f';
    sim.NCHN = 4;
    sim.fwdN = -1;
    sim.bwdN = -1;
    sim.vLimitLast = -1;
    sim.zoom = 3.0;
    dialogueOn('k', "5\n1.2 0.4\n3 1.5\n");

    EXPECT_EQ(sim.m, 0);
    EXPECT_EQ(sim.mf, 0);
    EXPECT_EQ(sim.t, 0.0);
    EXPECT_EQ(sim.accSign, +1);  // the boundary curves leave -1; the reset comes after them
    EXPECT_EQ(sim.dt, sim.dt0);
    EXPECT_EQ(sim.endMark, '0');
    EXPECT_EQ(sim.joinMark, '0');
    EXPECT_EQ(sim.NCHN, 0);
    EXPECT_EQ(sim.zoom, 1.0);

    // The curves are those of the cam with the new limits: computing them again
    // from the state in force gives the same tables.
    const auto got = snapshot();
    EXPECT_GT(got->fwdN, 0);
    EXPECT_GT(got->bwdN, 0);
    EXPECT_GT(got->vLimitLast, 0);
    EXPECT_EQ(got->bwdCurve[0][0], 1.2);
    EXPECT_EQ(got->bwdCurve[0][1], 0.0);
    EXPECT_GE(got->vLimit[got->vLimitLast][0], 1.2);
    computeBoundaryCurves();
    makeVelocityLimit();
    ASSERT_EQ(sim.fwdN, got->fwdN);
    ASSERT_EQ(sim.bwdN, got->bwdN);
    ASSERT_EQ(sim.vLimitLast, got->vLimitLast);
    for (int i = 0; i <= sim.fwdN; ++i) {
        EXPECT_EQ(sim.fwdCurve[i][0], got->fwdCurve[i][0]) << i;
        EXPECT_EQ(sim.fwdCurve[i][1], got->fwdCurve[i][1]) << i;
    }
    for (int i = 0; i <= sim.bwdN; ++i) {
        EXPECT_EQ(sim.bwdCurve[i][0], got->bwdCurve[i][0]) << i;
        EXPECT_EQ(sim.bwdCurve[i][1], got->bwdCurve[i][1]) << i;
    }
    for (int i = 0; i <= sim.vLimitLast; ++i) {
        EXPECT_EQ(sim.vLimit[i][0], got->vLimit[i][0]) << i;
        EXPECT_EQ(sim.vLimit[i][1], got->vLimit[i][1]) << i;
    }
}

TEST(DialoguePreparation, LimitsOnlyKeepThePathButRecomputeTheCurves)
{
    dialogue('k', "3\n0.6 0.25\n2 2\n");
    const auto before = snapshot();
    sim.fwdN = -1;
    sim.vLimitLast = -1;
    const std::string out = dialogueOn('u', "0.5 0.7\n");
    EXPECT_EQ(sim.xamax, 0.5);
    EXPECT_EQ(sim.yamax, 0.7);
    EXPECT_EQ(sim.cpType, CP_U);
    EXPECT_EQ(sim.uL, before->uL);
    EXPECT_EQ(sim.uR, before->uR);
    EXPECT_EQ(sim.sEnd[CP_U], before->sEnd[CP_U]);
    EXPECT_EQ(sim.xf, before->xf);
    EXPECT_GT(sim.fwdN, 0);
    EXPECT_GT(sim.vLimitLast, 0);
    EXPECT_FALSE(contains(out, TYPE_MENU));
}

TEST(DialoguePreparation, PanOffsetsStayWhereTheyWere)
{
    for (char key : {'k', 'u'}) {
        freshDefaults();
        sim.xshift = 0.3;
        sim.yshift = -0.25;
        sim.zoom = 2.5;
        dialogueOn(key, key == 'k' ? "4\n0.1 4\n2 2\n" : "2 2\n");
        EXPECT_EQ(sim.xshift, 0.3) << key;
        EXPECT_EQ(sim.yshift, -0.25) << key;
        EXPECT_EQ(sim.zoom, 1.0) << key;
    }
}

// ---------------------------------------------------------------- refused entries

struct RefusedCase {
    const char* input;       // after 'k'
    double (*value)();       // the variable judged
    double old;              // its value before, which must stay
    const char* message;     // the refusal printed
};

double arcR() { return sim.arcR; }
double arcDeg() { return sim.sEnd[CP_ARC]; }
double sinL() { return sim.sinL; }
double sinA() { return sim.sinA; }
double uL() { return sim.uL; }
double uR() { return sim.uR; }
double slmR() { return sim.slmR; }
double slmN() { return sim.slmN; }
double camL() { return sim.camL; }
double camH() { return sim.camH; }
double cycL() { return sim.cycL; }
double cycH() { return sim.cycH; }
double xamax() { return sim.xamax; }
double yamax() { return sim.yamax; }

constexpr double HALF_PI = 3.14159265358979 / 2.0;

const RefusedCase REFUSED[] = {
    // Not a number.
    {"1\nabc\n2 2\n", arcR, 0.5, "\n  入力が不正です: 半径R は数値として読めません（旧値 0.5 のままにします）"},
    {"1\nabc\n2 2\n", arcDeg, HALF_PI, "\n  入力が不正です: 円弧角θf は数値として読めません（旧値 90 のままにします）"},
    {"2\n1.5 x\n2 2\n", sinA, 0.5, "\n  入力が不正です: 振幅A は数値として読めません（旧値 0.5 のままにします）"},
    {"4\n0.3 many\n2 2\n", slmN, 3, "\n  入力が不正です: 円個数N は数値として読めません（旧値 3 のままにします）"},
    {"1\n0.5 90\nfast 2\n", xamax, 2.0, "\n  入力が不正です: xamax は数値として読めません（旧値 2 のままにします）"},
    // Zero or below.
    {"1\n0 90\n2 2\n", arcR, 0.5,
     "\n  入力が不正です: 半径R=0 は 0 より大きい有限の値にしてください（旧値 0.5 のままにします）"},
    {"1\n-0.5 90\n2 2\n", arcR, 0.5,
     "\n  入力が不正です: 半径R=-0.5 は 0 より大きい有限の値にしてください（旧値 0.5 のままにします）"},
    {"1\n0.5 -30\n2 2\n", arcDeg, HALF_PI,
     "\n  入力が不正です: 円弧角θf=-30 は 0 より大きい有限の値にしてください（旧値 90 のままにします）"},
    {"2\n0 0.3\n2 2\n", sinL, 1.0,
     "\n  入力が不正です: 波長L=0 は 0 より大きい有限の値にしてください（旧値 1 のままにします）"},
    {"2\n2 -0.1\n2 2\n", sinA, 0.5,
     "\n  入力が不正です: 振幅A=-0.1 は 0 より大きい有限の値にしてください（旧値 0.5 のままにします）"},
    {"3\n-1 0.3\n2 2\n", uL, 0.4,
     "\n  入力が不正です: 直線部L=-1 は 0 より大きい有限の値にしてください（旧値 0.4 のままにします）"},
    {"3\n0.3 0\n2 2\n", uR, 0.4,
     "\n  入力が不正です: 円弧部半径R=0 は 0 より大きい有限の値にしてください（旧値 0.4 のままにします）"},
    {"4\n-0.2 2\n2 2\n", slmR, 0.2,
     "\n  入力が不正です: 半径R=-0.2 は 0 より大きい有限の値にしてください（旧値 0.2 のままにします）"},
    {"4\n0.3 0\n2 2\n", slmN, 3, "\n  入力が不正です: 円個数N=0 は 1 から 20 にしてください（旧値 3 のままにします）"},
    {"4\n0.3 -2\n2 2\n", slmN, 3, "\n  入力が不正です: 円個数N=-2 は 1 から 20 にしてください（旧値 3 のままにします）"},
    {"5\n0 0.3\n2 2\n", camL, 0.5,
     "\n  入力が不正です: 移動量L=0 は 0 より大きい有限の値にしてください（旧値 0.5 のままにします）"},
    {"5\n1 -0.3\n2 2\n", camH, 0.5,
     "\n  入力が不正です: 立ち上がり量H=-0.3 は 0 より大きい有限の値にしてください（旧値 0.5 のままにします）"},
    {"6\n-2 0.3\n2 2\n", cycL, 0.5,
     "\n  入力が不正です: 移動量L=-2 は 0 より大きい有限の値にしてください（旧値 0.5 のままにします）"},
    {"6\n1 0\n2 2\n", cycH, 0.5,
     "\n  入力が不正です: 立ち上がり量H=0 は 0 より大きい有限の値にしてください（旧値 0.5 のままにします）"},
    {"1\n0.5 90\n0 2\n", xamax, 2.0,
     "\n  入力が不正です: xamax=0 は 0 より大きい有限の値にしてください（旧値 2 のままにします）"},
    {"1\n0.5 90\n2 -3\n", yamax, 2.0,
     "\n  入力が不正です: yamax=-3 は 0 より大きい有限の値にしてください（旧値 2 のままにします）"},
    // Not finite ("%lf" reads nan and inf, and an overflow as inf).
    {"1\nnan 90\n2 2\n", arcR, 0.5,
     "\n  入力が不正です: 半径R=nan は 0 より大きい有限の値にしてください（旧値 0.5 のままにします）"},
    {"2\ninf 0.3\n2 2\n", sinL, 1.0,
     "\n  入力が不正です: 波長L=inf は 0 より大きい有限の値にしてください（旧値 1 のままにします）"},
    {"3\n0.3 infinity\n2 2\n", uR, 0.4,
     "\n  入力が不正です: 円弧部半径R=inf は 0 より大きい有限の値にしてください（旧値 0.4 のままにします）"},
    {"5\n1 1e999\n2 2\n", camH, 0.5,
     "\n  入力が不正です: 立ち上がり量H=inf は 0 より大きい有限の値にしてください（旧値 0.5 のままにします）"},
    {"1\n0.5 90\nNAN 2\n", xamax, 2.0,
     "\n  入力が不正です: xamax=nan は 0 より大きい有限の値にしてください（旧値 2 のままにします）"},
    {"1\n0.5 90\n2 -inf\n", yamax, 2.0,
     "\n  入力が不正です: yamax=-inf は 0 より大きい有限の値にしてください（旧値 2 のままにします）"},
    // More than the tables can hold.
    {"1\n0.5 3601\n2 2\n", arcDeg, HALF_PI,
     "\n  入力が不正です: 円弧角θf=3601 は 3600 以下にしてください（旧値 90 のままにします）"},
    {"2\n20.5 0.3\n2 2\n", sinL, 1.0, "\n  入力が不正です: 波長L=20.5 は 20 以下にしてください（旧値 1 のままにします）"},
    {"5\n21 0.3\n2 2\n", camL, 0.5, "\n  入力が不正です: 移動量L=21 は 20 以下にしてください（旧値 0.5 のままにします）"},
    {"6\n20.01 0.3\n2 2\n", cycL, 0.5,
     "\n  入力が不正です: 移動量L=20.01 は 20 以下にしてください（旧値 0.5 のままにします）"},
    {"4\n0.1 21\n2 2\n", slmN, 3, "\n  入力が不正です: 円個数N=21 は 1 から 20 にしてください（旧値 3 のままにします）"},
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << '"' << c.input << '"'; }

class Refused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(Refused, PrintsItsMessageAndKeepsTheOldValue)
{
    const RefusedCase& rc = GetParam();
    const std::string out = dialogue('k', rc.input);
    EXPECT_EQ(countOf(out, rc.message), 1) << out;
    EXPECT_EQ(rc.value(), rc.old);
    // Whatever was refused, the tables stay finite and the goal is the end in force.
    for (int k = 1; k < TYPE_CAP; ++k) {
        EXPECT_TRUE(std::isfinite(sim.sEnd[k])) << k;
        EXPECT_TRUE(std::isfinite(sim.cpEnd[k][0]) && std::isfinite(sim.cpEnd[k][1])) << k;
        EXPECT_TRUE(std::isfinite(sim.dyScale[k])) << k;
    }
    EXPECT_EQ(sim.xf, sim.cpEnd[sim.cpType][0]);
    EXPECT_EQ(sim.yf, sim.cpEnd[sim.cpType][1]);
    EXPECT_TRUE(contains(out, TO_WINDOW));
}

INSTANTIATE_TEST_SUITE_P(Dialogue, Refused, ::testing::ValuesIn(REFUSED),
                         [](const ::testing::TestParamInfo<RefusedCase>& info) {
                             return "case" + std::to_string(info.index);
                         });

TEST(DialogueRefusals, EachValueOfABlockIsJudgedOnItsOwn)
{
    dialogue('k', "2\n-1 0.3\n2 2\n");
    EXPECT_EQ(sim.sinL, 1.0);
    EXPECT_EQ(sim.sinA, 0.3);
    dialogue('k', "2\n2 nan\n2 2\n");
    EXPECT_EQ(sim.sinL, 2.0);
    EXPECT_EQ(sim.sinA, 0.5);
    dialogue('k', "4\n0 5\n2 2\n");
    EXPECT_EQ(sim.slmR, 0.2);
    EXPECT_EQ(sim.slmN, 5);
    EXPECT_DOUBLE_EQ(sim.xf, 2.0);  // 5 semicircles of the kept 0.2
    dialogue('k', "1\n0.5 90\n-1 3\n");
    EXPECT_EQ(sim.xamax, 2.0);
    EXPECT_EQ(sim.yamax, 3.0);
}

TEST(DialogueRefusals, TheLargestSizesTheTablesHoldAreTaken)
{
    std::string out = dialogue('k', "1\n0.5 3600\n2 2\n");
    EXPECT_EQ(sim.sEnd[CP_ARC], 3600 * 0.0174532925);
    EXPECT_FALSE(contains(out, "入力が不正です"));
    out = dialogue('k', "2\n20 0.3\n2 2\n");
    EXPECT_EQ(sim.sinL, 20.0);
    out = dialogue('k', "5\n20 0.3\n2 2\n");
    EXPECT_EQ(sim.camL, 20.0);
    out = dialogue('k', "6\n20 0.3\n2 2\n");
    EXPECT_EQ(sim.cycL, 20.0);
    out = dialogue('k', "4\n0.05 20\n2 2\n");
    EXPECT_EQ(sim.slmN, 20);
    EXPECT_FALSE(contains(out, "入力が不正です"));
    // The velocity limit of the longest slalom still fits its table and reaches the end.
    EXPECT_LT(sim.vLimitLast, VLIMIT_CAP);
    EXPECT_NEAR(sim.vLimit[sim.vLimitLast][0], 20 * 3.14159265358979, 1e-9);
}

TEST(DialogueRefusals, SummaryShowsTheValuesInForce)
{
    const std::string out = dialogue('k', "2\n-3 0.25\n2 2\n");
    EXPECT_TRUE(contains(out, "\n  波長A= 1.00[m] 振幅L= 0.25[m]\n  始点=( 0.000  0.000) 終点=( 1.000  0.000)"));
}

TEST(DialogueRefusals, AnUnreadableEntryDoesNotPoisonTheNext)
{
    // "abc" fails both values of the arc; without the rest of the line being
    // dropped it would fail the limits as well.
    const std::string out = dialogue('k', "1\nabc def\n3 4\n");
    EXPECT_EQ(sim.arcR, 0.5);
    EXPECT_EQ(sim.sEnd[CP_ARC], HALF_PI);
    EXPECT_EQ(sim.cpEnd[CP_ARC][0], 0.5 * std::cos(HALF_PI));  // recomputed from the values in place
    EXPECT_EQ(sim.xamax, 3.0);
    EXPECT_EQ(sim.yamax, 4.0);
    EXPECT_TRUE(contains(out, "\n  中心A[]=( 0.00  0.00)[m] 半径R= 0.50[m] 円弧角= 90.00[deg]"));

    // Extra tokens after a good pair are dropped too.
    dialogue('k', "2\n2 0.3 9 9 9\n3 4\n");
    EXPECT_EQ(sim.sinL, 2.0);
    EXPECT_EQ(sim.xamax, 3.0);
    EXPECT_EQ(sim.yamax, 4.0);
}

TEST(DialogueRefusals, PathTypeOutsideTheMenuIsAskedAgainThenKept)
{
    // One refusal, then a good type.
    std::string out = dialogue('k', "7\n3\n0.6 0.25\n2 2\n");
    EXPECT_EQ(sim.cpType, CP_U);
    EXPECT_EQ(countOf(out, "\n旧運動＝1  入力 c="), 2);
    EXPECT_EQ(countOf(out, "\n  入力が不正です: c=7 は 1 から 6 で選んでください（旧値 1 のままにします）"), 1);

    // Three refusals: the type in force stays and its block takes the next line.
    out = dialogue('k', "0\nabc\n-4\n0.6 30\n2 2\n9\n");
    EXPECT_EQ(sim.cpType, CP_ARC);
    EXPECT_EQ(countOf(out, "\n旧運動＝1  入力 c="), 3);
    EXPECT_EQ(countOf(out, "\n  入力が不正です: c=0 は 1 から 6 で選んでください（旧値 1 のままにします）"), 1);
    EXPECT_EQ(countOf(out, "\n  入力が不正です: c は数値として読めません（旧値 1 のままにします）"), 1);
    EXPECT_EQ(countOf(out, "\n  入力が不正です: c=-4 は 1 から 6 で選んでください（旧値 1 のままにします）"), 1);
    EXPECT_DOUBLE_EQ(sim.arcR, 0.6);
    EXPECT_DOUBLE_EQ(sim.sEnd[CP_ARC], 30 * 0.0174532925);

    // From another type in force, that type is the one kept.
    dialogue('k', "5\n1 0.5\n2 2\n");
    out = dialogueOn('k', "8\n8\n8\n0.9 0.2\n2 2\n");
    EXPECT_EQ(sim.cpType, CP_CAM_ACC);
    EXPECT_EQ(countOf(out, "\n旧運動＝5  入力 c="), 3);
    EXPECT_EQ(sim.camL, 0.9);
}

// ---------------------------------------------------------------- end of input

TEST(DialogueEndOfInput, InTheMiddleKeepsTheRestAndFinishes)
{
    std::string out = dialogue('k', "2\n2");
    EXPECT_EQ(sim.cpType, CP_SINE);
    EXPECT_EQ(sim.sinL, 2.0);
    EXPECT_EQ(sim.sinA, 0.5);
    EXPECT_EQ(sim.xamax, 2.0);
    EXPECT_EQ(sim.yamax, 2.0);
    EXPECT_EQ(countOf(out, INPUT_ENDED), 1);
    EXPECT_FALSE(contains(out, "入力が不正です"));
    EXPECT_TRUE(contains(out, "\n  波長A= 2.00[m] 振幅L= 0.50[m]"));
    EXPECT_TRUE(contains(out, "\n    X,Y最大加減速 amax(x,y)=(  2.00   2.00)"));
    EXPECT_TRUE(contains(out, TO_WINDOW));

    // At the path type: the type in force and all its values stay.
    freshDefaults();
    const auto before = snapshot();
    out = dialogueOn('0', "y");
    expectSameSetup(sim, *before);
    EXPECT_EQ(countOf(out, INPUT_ENDED), 1);
    EXPECT_EQ(countOf(out, "\n旧運動＝1  入力 c="), 1);
    EXPECT_TRUE(contains(out, "\n1 円弧運動　旧中心="));  // its block still shows the values in force
    EXPECT_TRUE(contains(out, TO_WINDOW));

    // After a refused type.
    out = dialogue('k', "9\n");
    EXPECT_EQ(sim.cpType, CP_ARC);
    EXPECT_EQ(countOf(out, INPUT_ENDED), 1);

    // Between the values of the slalom.
    out = dialogue('0', "y4\n0.3");
    EXPECT_EQ(sim.cpType, CP_SLALOM);
    EXPECT_EQ(sim.slmR, 0.3);
    EXPECT_EQ(sim.slmN, 3);
    EXPECT_EQ(countOf(out, INPUT_ENDED), 1);
}

TEST(DialogueEndOfInput, AtAQuestionCountsAsNoToEverything)
{
    for (const char* input : {"", "n", "   \n"}) {
        freshDefaults();
        const auto before = snapshot();
        const std::string out = dialogueOn('0', input);
        expectSameSetup(sim, *before);
        EXPECT_FALSE(contains(out, TYPE_MENU)) << '"' << input << '"';
        EXPECT_FALSE(contains(out, LIMITS_HEAD)) << '"' << input << '"';
        EXPECT_EQ(countOf(out, INPUT_ENDED), 1) << '"' << input << '"';
        EXPECT_TRUE(contains(out, TO_WINDOW));
    }
    // Ended at the first question, the second is not asked.
    const std::string out = dialogue('0', "");
    EXPECT_FALSE(contains(out, Q2));
}

TEST(DialogueEndOfInput, ALastLineWithoutLineBreakIsStillTaken)
{
    const std::string out = dialogue('u', "3 4");
    EXPECT_EQ(sim.xamax, 3.0);
    EXPECT_EQ(sim.yamax, 4.0);
    EXPECT_FALSE(contains(out, INPUT_ENDED));
}

TEST(DialogueEndOfInput, EveryLaterDialogueStillFinishes)
{
    // With the input gone for good, 'k' and 'u' dialogues run through at once.
    dialogue('k', "");
    for (char key : {'k', 'u', 'k'}) {
        const std::string out = dialogueOn(key, "");
        EXPECT_TRUE(contains(out, TO_WINDOW)) << key;
        EXPECT_EQ(countOf(out, INPUT_ENDED), 1) << key;
    }
    EXPECT_EQ(sim.cpType, CP_ARC);
    EXPECT_EQ(sim.xamax, 2.0);
}

// ---------------------------------------------------------------- words and ranges

TEST(DialogueWords, ARefusalNamesTheEntryThatCouldNotBeRead)
{
    std::string out = dialogue('k', "1\nabc 3\n2 2\n");
    EXPECT_EQ(countOf(out, "\n  入力が不正です: 半径R は数値として読めません（旧値 0.5 のままにします）"), 1);
    EXPECT_FALSE(contains(out, "円弧角θf は"));
    EXPECT_EQ(sim.arcR, 0.5);
    EXPECT_EQ(sim.sEnd[CP_ARC], 3 * 0.0174532925);  // the 3 is the angle
    EXPECT_EQ(sim.xamax, 2.0);

    out = dialogue('k', "4\nabc 5\n2 2\n");
    EXPECT_EQ(countOf(out, "入力が不正です"), 1);
    EXPECT_EQ(sim.slmR, 0.2);
    EXPECT_EQ(sim.slmN, 5);

    out = dialogue('k', "1\n0.5 90\n2 fast\n");
    EXPECT_EQ(countOf(out, "\n  入力が不正です: yamax は数値として読めません（旧値 2 のままにします）"), 1);
    EXPECT_EQ(countOf(out, "入力が不正です"), 1);
}

TEST(DialogueWords, TheTwoValuesMayStandOnTwoLines)
{
    // As formatted scanning took them: the second value on the next line.
    const std::string out = dialogue('k', "1\n0.7\n\n60\n3 4\n");
    EXPECT_FALSE(contains(out, "入力が不正です"));
    EXPECT_EQ(sim.arcR, 0.7);
    EXPECT_EQ(sim.sEnd[CP_ARC], 60 * 0.0174532925);
    EXPECT_EQ(sim.xamax, 3.0);
    EXPECT_EQ(sim.yamax, 4.0);
    // Also after a number that is refused for its range.
    dialogue('k', "2\n-1\n0.3\n3 4\n");
    EXPECT_EQ(sim.sinL, 1.0);
    EXPECT_EQ(sim.sinA, 0.3);
    EXPECT_EQ(sim.xamax, 3.0);
}

TEST(DialogueWords, AWordThatIsNoNumberOrTooLongIsRefused)
{
    std::string out = dialogue('k', "1\n0.5x 90\n2 2\n");
    EXPECT_EQ(countOf(out, "半径R は数値として読めません"), 1);
    EXPECT_EQ(sim.sEnd[CP_ARC], 90 * 0.0174532925);

    const std::string tiny = "0." + std::string(80, '0') + "1";
    out = dialogue('k', ("2\n" + tiny + " 0.3\n2 2\n").c_str());
    EXPECT_EQ(countOf(out, "\n  入力が不正です: 波長L は数値として読めません（旧値 1 のままにします）"), 1);
    EXPECT_EQ(sim.sinL, 1.0);
    EXPECT_EQ(sim.sinA, 0.3);
}

TEST(DialogueRanges, EntriesThatMadeNonsenseAreRefused)
{
    struct {
        const char* input;  // after 'k'
        double (*value)();  // the variable refused
        double old;
        const char* line;
    } cases[] = {
        {"3\n1000 0.4\n2 2\n", uL, 0.4,
         "\n  入力が不正です: 直線部L=1000 は 20 以下にしてください（旧値 0.4 のままにします）"},
        {"3\n0.4 25\n2 2\n", uR, 0.4,
         "\n  入力が不正です: 円弧部半径R=25 は 20 以下にしてください（旧値 0.4 のままにします）"},
        {"1\n1e308 90\n2 2\n", arcR, 0.5,
         "\n  入力が不正です: 半径R=1e+308 は 5 以下にしてください（旧値 0.5 のままにします）"},
        {"4\n3 2\n2 2\n", slmR, 0.2, "\n  入力が不正です: 半径R=3 は 2 以下にしてください（旧値 0.2 のままにします）"},
        {"2\n1 1e308\n2 2\n", sinA, 0.5,
         "\n  入力が不正です: 振幅A=1e+308 は 20 以下にしてください（旧値 0.5 のままにします）"},
        {"5\n1 1e-308\n2 2\n", camH, 0.5,
         "\n  入力が不正です: 立ち上がり量H=1e-308 は 0.01 以上にしてください（旧値 0.5 のままにします）"},
        {"1\n0.5 90\n1e-308 2\n", xamax, 2.0,
         "\n  入力が不正です: xamax=1e-308 は 0.5 以上にしてください（旧値 2 のままにします）"},
        {"1\n0.5 90\n2 1e308\n", yamax, 2.0,
         "\n  入力が不正です: yamax=1e+308 は 100 以下にしてください（旧値 2 のままにします）"},
        {"4\n0.3 2.7\n2 2\n", slmN, 3,
         "\n  入力が不正です: 円個数N=2.7 は 1 から 20 の整数にしてください（旧値 3 のままにします）"},
        {"4\n0.3 99999999999\n2 2\n", slmN, 3,
         "\n  入力が不正です: 円個数N=99999999999 は 1 から 20 にしてください（旧値 3 のままにします）"},
    };
    for (const auto& c : cases) {
        const std::string out = dialogue('k', c.input);
        EXPECT_EQ(countOf(out, c.line), 1) << c.input << out;
        EXPECT_EQ(countOf(out, "入力が不正です"), 1) << c.input;
        EXPECT_EQ(c.value(), c.old) << c.input;
        // Nothing in force prints as an infinity.
        EXPECT_FALSE(contains(out.substr(out.find(c.line) + std::strlen(c.line)), "inf")) << c.input;
    }
}

TEST(DialogueRanges, APathTypeThatIsNoSmallWholeNumberIsAskedAgain)
{
    std::string out = dialogue('k', "-4294967295\n2.7\n4294967297\n0.6 30\n2 2\n");
    EXPECT_EQ(sim.cpType, CP_ARC);
    EXPECT_EQ(countOf(out, "\n旧運動＝1  入力 c="), 3);
    EXPECT_EQ(countOf(out, "\n  入力が不正です: c=-4294967295 は 1 から 6 で選んでください（旧値 1 のままにします）"), 1);
    EXPECT_EQ(countOf(out, "\n  入力が不正です: c=2.7 は 1 から 6 の整数で選んでください（旧値 1 のままにします）"), 1);
    EXPECT_EQ(countOf(out, "\n  入力が不正です: c=4294967297 は 1 から 6 で選んでください（旧値 1 のままにします）"), 1);
    EXPECT_DOUBLE_EQ(sim.arcR, 0.6);

    // "3.0" is the whole number 3.
    out = dialogue('k', "3.0\n0.6 0.25\n2 2\n");
    EXPECT_EQ(sim.cpType, CP_U);
    EXPECT_FALSE(contains(out, "入力が不正です"));
}

}  // namespace
