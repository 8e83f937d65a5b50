// The one range check of the entries: whole words read as numbers, integers with
// overflow detection, the refusal lines byte for byte, and the documented ranges
// against what the dialogue prints and derives from them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/dialogue.h"
#include "core/entry_check.h"
#include "core/state.h"
#include "planner/normal_cp.h"
#include "planner/prepare.h"
#include "test_support.h"

namespace {

const EntryId ALL_REAL[] = {ENTRY_ARC_R, ENTRY_ARC_DEG, ENTRY_SIN_L, ENTRY_SIN_A, ENTRY_U_L,
                            ENTRY_U_R,   ENTRY_SLM_R,   ENTRY_CAM_L, ENTRY_CAM_H, ENTRY_CYC_L,
                            ENTRY_CYC_H, ENTRY_XAMAX,   ENTRY_YAMAX};

struct Taken {
    bool ok;
    double value;
    std::string out;
};

Taken real(EntryId id, const char* text, double old = 0.75)
{
    Taken t{false, old, ""};
    captureBegin();
    t.ok = takeRealText(id, text, old, &t.value);
    t.out = captureEnd();
    return t;
}

struct TakenInt {
    bool ok;
    int value;
    std::string out;
};

TakenInt count(const char* text, int old = 3)
{
    TakenInt t{false, old, ""};
    captureBegin();
    t.ok = takeCountText(text, old, &t.value);
    t.out = captureEnd();
    return t;
}

TakenInt type(const char* text, int old = 1)
{
    TakenInt t{false, old, ""};
    captureBegin();
    t.ok = takeTypeText(text, old, &t.value);
    t.out = captureEnd();
    return t;
}

// ---------------------------------------------------------------- real entries

TEST(EntryCheckReal, TheNamedRangesAreTheDocumentedOnes)
{
    struct {
        EntryId id;
        const char* name;
        double lo, hi;
    } table[] = {
        {ENTRY_ARC_R, "半径R", 0.01, 5},       {ENTRY_ARC_DEG, "円弧角θf", 0.01, 3600},
        {ENTRY_SIN_L, "波長L", 0.01, 20},      {ENTRY_SIN_A, "振幅A", 0.01, 20},
        {ENTRY_U_L, "直線部L", 0.01, 20},      {ENTRY_U_R, "円弧部半径R", 0.01, 20},
        {ENTRY_SLM_R, "半径R", 0.01, 2},       {ENTRY_CAM_L, "移動量L", 0.01, 20},
        {ENTRY_CAM_H, "立ち上がり量H", 0.01, 20}, {ENTRY_CYC_L, "移動量L", 0.01, 20},
        {ENTRY_CYC_H, "立ち上がり量H", 0.01, 20}, {ENTRY_XAMAX, "xamax", 0.5, 100},
        {ENTRY_YAMAX, "yamax", 0.5, 100},
    };
    for (const auto& row : table) {
        double lo = -1, hi = -1;
        entryRange(row.id, &lo, &hi);
        EXPECT_EQ(lo, row.lo) << row.name;
        EXPECT_EQ(hi, row.hi) << row.name;
        EXPECT_STREQ(entryName(row.id), row.name);
    }
}

TEST(EntryCheckReal, BothEndsOfEveryRangeAreTaken)
{
    for (EntryId id : ALL_REAL) {
        double lo = 0, hi = 0;
        entryRange(id, &lo, &hi);
        ASSERT_GT(lo, 0.0) << id;
        ASSERT_LT(lo, hi) << id;
        char text[64];
        for (double v : {lo, hi, (lo + hi) / 2}) {
            std::snprintf(text, sizeof text, "%.17g", v);
            const Taken t = real(id, text);
            EXPECT_TRUE(t.ok) << id << " " << text;
            EXPECT_EQ(t.value, v) << id;
            EXPECT_EQ(t.out, "") << id;
        }
    }
}

std::string g(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

TEST(EntryCheckReal, ARefusedValueIsShownApartFromTheLimitItMisses)
{
    // From far outside down to the nearest double: "%g" wherever that differs
    // from the limit, else the digits that put it on the refused side.
    for (EntryId id : ALL_REAL) {
        double lo = 0, hi = 0;
        entryRange(id, &lo, &hi);
        for (double rel : {0.1, 1e-6, 1e-7, 1e-9, 1e-12, 0.0}) {
            for (double limit : {lo, hi}) {
                const double out = limit == lo ? -1.0 : 1.0;
                const double v = rel > 0 ? limit * (1 + out * rel) : std::nextafter(limit, out * 1e300);
                char text[64];
                std::snprintf(text, sizeof text, "%.17g", v);
                const Taken t = real(id, text);
                const size_t at = t.out.find('=') + 1;
                const std::string shown = t.out.substr(at, t.out.find(" は ") - at);
                EXPECT_EQ(t.out.find(std::string(" は ") + g(limit) + (limit == lo ? " 以上" : " 以下")), at + shown.size());
                EXPECT_GT(out * (std::strtod(shown.c_str(), nullptr) - limit), 0.0) << text << " shown as " << shown;
                if (g(v) != g(limit)) {
                    EXPECT_EQ(shown, g(v)) << text;  // today's bytes
                }
            }
        }
    }
}

TEST(EntryCheckReal, RefusalLinesByteForByte)
{
    // Written out as the user sees them.
    EXPECT_EQ(real(ENTRY_ARC_R, "1e308", 0.5).out,
              "\n  入力が不正です: 半径R=1e+308 は 5 以下にしてください（旧値 0.5 のままにします）");
    EXPECT_EQ(real(ENTRY_U_L, "1000", 0.4).out,
              "\n  入力が不正です: 直線部L=1000 は 20 以下にしてください（旧値 0.4 のままにします）");
    EXPECT_EQ(real(ENTRY_XAMAX, "1e-308", 2).out,
              "\n  入力が不正です: xamax=1e-308 は 0.5 以上にしてください（旧値 2 のままにします）");
    EXPECT_EQ(real(ENTRY_SLM_R, "0.001", 0.2).out,
              "\n  入力が不正です: 半径R=0.001 は 0.01 以上にしてください（旧値 0.2 のままにします）");
    EXPECT_EQ(real(ENTRY_CAM_H, "abc", 0.5).out,
              "\n  入力が不正です: 立ち上がり量H は数値として読めません（旧値 0.5 のままにします）");
    EXPECT_EQ(real(ENTRY_YAMAX, "-inf", 2).out,
              "\n  入力が不正です: yamax=-inf は 0 より大きい有限の値にしてください（旧値 2 のままにします）");
    EXPECT_EQ(real(ENTRY_ARC_DEG, "0", 90).out,
              "\n  入力が不正です: 円弧角θf=0 は 0 より大きい有限の値にしてください（旧値 90 のままにします）");
    // Values that "%g" would print as the limit they miss.
    EXPECT_EQ(real(ENTRY_ARC_R, "5.0000001", 0.5).out,
              "\n  入力が不正です: 半径R=5.0000001 は 5 以下にしてください（旧値 0.5 のままにします）");
    EXPECT_EQ(real(ENTRY_XAMAX, "0.4999999", 2).out,
              "\n  入力が不正です: xamax=0.4999999 は 0.5 以上にしてください（旧値 2 のままにします）");
    EXPECT_EQ(real(ENTRY_ARC_DEG, "3600.0000001", 90).out,
              "\n  入力が不正です: 円弧角θf=3600.0000001 は 3600 以下にしてください（旧値 90 のままにします）");
    EXPECT_EQ(real(ENTRY_YAMAX, "-0.0000001", 2).out,
              "\n  入力が不正です: yamax=-1e-07 は 0 より大きい有限の値にしてください（旧値 2 のままにします）");
}

TEST(EntryCheckReal, OnlyAWholeWordThatIsANumberIsRead)
{
    for (const char* bad : {"", " ", "abc", "1.5x", "1.5.2", "--1", "1,5", "0.5,", "1 2", "x1"}) {
        const Taken t = real(ENTRY_SIN_L, bad);
        EXPECT_FALSE(t.ok) << '"' << bad << '"';
        EXPECT_EQ(t.value, 0.75);
        EXPECT_EQ(t.out, "\n  入力が不正です: 波長L は数値として読めません（旧値 0.75 のままにします）") << bad;
        EXPECT_FALSE(entryIsNumber(bad)) << bad;
    }
    EXPECT_FALSE(real(ENTRY_SIN_L, nullptr).ok);
    EXPECT_FALSE(entryIsNumber(nullptr));
    // Blanks around the number, exponents and a sign are part of reading it.
    for (const char* good : {" 1.5", "1.5 ", "\t1.5\n", "15e-1", "+1.5", "0x1.8p0"}) {
        const Taken t = real(ENTRY_SIN_L, good);
        EXPECT_TRUE(t.ok) << good;
        EXPECT_EQ(t.value, 1.5) << good;
        EXPECT_TRUE(entryIsNumber(good));
    }
    // Numbers out of range are still numbers.
    EXPECT_TRUE(entryIsNumber("-7"));
    EXPECT_TRUE(entryIsNumber("nan"));
    EXPECT_TRUE(entryIsNumber("1e999"));
}

TEST(EntryCheckReal, NothingNonFiniteOrNotPositiveIsTaken)
{
    for (const char* text : {"nan", "-nan", "inf", "infinity", "-inf", "1e999", "-1e999", "0", "-0", "-1", "1e-400"}) {
        for (EntryId id : ALL_REAL) {
            const Taken t = real(id, text);
            EXPECT_FALSE(t.ok) << text << " " << id;
            EXPECT_EQ(t.value, 0.75);
            EXPECT_NE(t.out.find("入力が不正です: "), std::string::npos);
            EXPECT_NE(t.out.find("（旧値 0.75 のままにします）"), std::string::npos);
        }
    }
}

// ---------------------------------------------------------------- whole numbers

TEST(EntryCheckWhole, CountsOneToTwentyAreTakenAsWritten)
{
    for (int n = 1; n <= 20; ++n) {
        const std::string text = std::to_string(n);
        const TakenInt t = count(text.c_str());
        EXPECT_TRUE(t.ok) << n;
        EXPECT_EQ(t.value, n);
        EXPECT_EQ(t.out, "");
    }
    // A real number with a whole value is that whole number.
    for (const char* text : {"3.0", " 7 ", "+5", "1e1", "020"}) {
        const TakenInt t = count(text, 4);
        EXPECT_TRUE(t.ok) << text;
    }
    EXPECT_EQ(count("1e1").value, 10);
    EXPECT_EQ(count("020").value, 20);
}

TEST(EntryCheckWhole, CountsRefusedWithTheirLines)
{
    struct {
        const char* text;
        const char* line;
    } cases[] = {
        {"2.7", "\n  入力が不正です: 円個数N=2.7 は 1 から 20 の整数にしてください（旧値 3 のままにします）"},
        // A fraction that "%g" would print as a whole number.
        {"20.0000001", "\n  入力が不正です: 円個数N=20.0000001 は 1 から 20 の整数にしてください（旧値 3 のままにします）"},
        {"0.5", "\n  入力が不正です: 円個数N=0.5 は 1 から 20 の整数にしてください（旧値 3 のままにします）"},
        {"nan", "\n  入力が不正です: 円個数N=nan は 1 から 20 の整数にしてください（旧値 3 のままにします）"},
        {"0", "\n  入力が不正です: 円個数N=0 は 1 から 20 にしてください（旧値 3 のままにします）"},
        {"21", "\n  入力が不正です: 円個数N=21 は 1 から 20 にしてください（旧値 3 のままにします）"},
        {"-4294967295", "\n  入力が不正です: 円個数N=-4294967295 は 1 から 20 にしてください（旧値 3 のままにします）"},
        {"4294967299", "\n  入力が不正です: 円個数N=4294967299 は 1 から 20 にしてください（旧値 3 のままにします）"},
        {"99999999999999999999", "\n  入力が不正です: 円個数N=1e+20 は 1 から 20 にしてください（旧値 3 のままにします）"},
        {"1e300", "\n  入力が不正です: 円個数N=1e+300 は 1 から 20 にしてください（旧値 3 のままにします）"},
        {"many", "\n  入力が不正です: 円個数N は数値として読めません（旧値 3 のままにします）"},
        {"3abc", "\n  入力が不正です: 円個数N は数値として読めません（旧値 3 のままにします）"},
        {"", "\n  入力が不正です: 円個数N は数値として読めません（旧値 3 のままにします）"},
    };
    for (const auto& c : cases) {
        const TakenInt t = count(c.text);
        EXPECT_FALSE(t.ok) << c.text;
        EXPECT_EQ(t.value, 3) << c.text;
        EXPECT_EQ(t.out, c.line) << c.text;
    }
}

TEST(EntryCheckWhole, PathTypesOneToSixOnly)
{
    for (int c = 1; c <= 6; ++c) {
        const std::string text = std::to_string(c);
        const TakenInt t = type(text.c_str(), c == 1 ? 2 : 1);
        EXPECT_TRUE(t.ok);
        EXPECT_EQ(t.value, c);
    }
    struct {
        const char* text;
        const char* line;
    } cases[] = {
        // Read into an int of 32 bits, these two would be -1 + 2^32·k, i.e. 1.
        {"-4294967295", "\n  入力が不正です: c=-4294967295 は 1 から 6 で選んでください（旧値 1 のままにします）"},
        {"4294967297", "\n  入力が不正です: c=4294967297 は 1 から 6 で選んでください（旧値 1 のままにします）"},
        {"7", "\n  入力が不正です: c=7 は 1 から 6 で選んでください（旧値 1 のままにします）"},
        {"2.7", "\n  入力が不正です: c=2.7 は 1 から 6 の整数で選んでください（旧値 1 のままにします）"},
        {"1.99999999", "\n  入力が不正です: c=1.99999999 は 1 から 6 の整数で選んでください（旧値 1 のままにします）"},
        {"-inf", "\n  入力が不正です: c=-inf は 1 から 6 の整数で選んでください（旧値 1 のままにします）"},
        {"123456789012345678901234567890", "\n  入力が不正です: c=1.23457e+29 は 1 から 6 で選んでください（旧値 1 のままにします）"},
        {"abc", "\n  入力が不正です: c は数値として読めません（旧値 1 のままにします）"},
    };
    for (const auto& c : cases) {
        const TakenInt t = type(c.text);
        EXPECT_FALSE(t.ok) << c.text;
        EXPECT_EQ(t.value, 1) << c.text;
        EXPECT_EQ(t.out, c.line) << c.text;
    }
}

// ---------------------------------------------------------------- what the ranges give

// Width of one printed number.
int width(const char* f, double v)
{
    char buf[512];
    return std::snprintf(buf, sizeof buf, f, v);
}

// Every number that the dialogue summaries and the conditions report print for
// the path in force fits its field, and every derived value is finite.
void expectPrintableAndFinite(const std::string& label)
{
    const SimState& g = sim;
    const int type = g.cpType;
    for (double v : {g.sinK, g.uArc, g.camA, g.cycC, g.cycW, g.sEnd[type], g.dxScale[type], g.dyScale[type],
                     g.cpStart[type][0], g.cpStart[type][1], g.cpEnd[type][0], g.cpEnd[type][1], g.xf, g.yf})
        EXPECT_TRUE(std::isfinite(v)) << label;
    for (int k = 0; k < 2; ++k) {
        EXPECT_LE(width("%6.3f", g.cpStart[type][k]), 6) << label;
        EXPECT_LE(width("%6.3f", g.cpEnd[type][k]), 6) << label;
        EXPECT_LE(width("%7.4f", g.cpStart[type][k]), 7) << label;
        EXPECT_LE(width("%7.4f", g.cpEnd[type][k]), 7) << label;
    }
    for (double v : {g.arcR, g.sinL, g.sinA, g.uL, g.uR, g.slmR, g.camL, g.camH, g.cycL, g.cycH}) {
        EXPECT_LE(width("%5.2f", v), 5) << label;
        EXPECT_LE(width("%5.1f", v), 5) << label;
    }
    for (double v : {g.xamax, g.yamax}) {
        EXPECT_LE(width("%6.2f", v), 6) << label;
        EXPECT_LE(width("%5.1f", v), 5) << label;
    }
}

TEST(EntryRanges, EveryCombinationOfEndsGivesFiniteValuesThatFitTheirFields)
{
    struct {
        int type;
        EntryId a, b;
    } blocks[] = {
        {CP_ARC, ENTRY_ARC_R, ENTRY_ARC_DEG}, {CP_SINE, ENTRY_SIN_L, ENTRY_SIN_A},
        {CP_U, ENTRY_U_L, ENTRY_U_R},         {CP_CAM_ACC, ENTRY_CAM_L, ENTRY_CAM_H},
        {CP_CAM_CYCLOID, ENTRY_CYC_L, ENTRY_CYC_H},
    };
    double xlo, xhi;
    entryRange(ENTRY_XAMAX, &xlo, &xhi);
    for (const auto& bl : blocks) {
        double alo, ahi, blo, bhi;
        entryRange(bl.a, &alo, &ahi);
        entryRange(bl.b, &blo, &bhi);
        for (double a : {alo, ahi})
            for (double b : {blo, bhi})
                for (double lim : {xlo, xhi}) {
                    char input[160];
                    std::snprintf(input, sizeof input, "%d\n%.17g %.17g\n%.17g %.17g\n", bl.type, a, b, lim, lim);
                    freshDefaults();
                    sim.lastKey = 'k';
                    feedInput(input);
                    captureBegin();
                    setupDialogue();
                    const std::string out = captureEnd();
                    feedInput(nullptr);
                    EXPECT_EQ(out.find("入力が不正です"), std::string::npos) << input;
                    EXPECT_EQ(sim.cpType, bl.type);
                    // The arc's largest angle (ten turns) prints wider than its
                    // old-value field; every other printed number fits.
                    expectPrintableAndFinite(input);
                }
    }
    // The slalom's radius with its count.
    for (int n : {1, 20})
        for (double r : {0.01, 2.0}) {
            char input[96];
            std::snprintf(input, sizeof input, "4\n%g %d\n2 2\n", r, n);
            freshDefaults();
            sim.lastKey = 'k';
            feedInput(input);
            captureBegin();
            setupDialogue();
            const std::string out = captureEnd();
            feedInput(nullptr);
            EXPECT_EQ(out.find("入力が不正です"), std::string::npos) << input;
            EXPECT_EQ(sim.slmN, n);
            expectPrintableAndFinite(input);
        }
}

TEST(EntryRanges, NormalMotionOfEveryDefaultPathFitsTheTablesAtTheSmallestLimits)
{
    double lo, hi;
    entryRange(ENTRY_XAMAX, &lo, &hi);
    for (int type = CP_ARC; type <= CP_CAM_CYCLOID; ++type) {
        prepareType(type);
        sim.xamax = lo;
        sim.yamax = lo;
        captureBegin();
        prepareSearch();
        computeNormalCP();
        const std::string out = captureEnd();
        EXPECT_GT(sim.mNormal, 0) << type;
        EXPECT_LT(sim.mNormal, TRAJ_CAP - 1) << type;  // ends before the last entry
        EXPECT_TRUE(std::isfinite(sim.tfNormal)) << type;
        EXPECT_LT(sim.tfNormal, (TRAJ_CAP - 1) * sim.dt0) << type;
        EXPECT_EQ(out.find("一杯"), std::string::npos) << type;
    }
}

}  // namespace
