// The ranges of the entries and their one check: a whole token read as a number,
// integers with overflow detection, and one refusal line naming the entry.
// Writes nothing but the value it is given and the console.
#include "core/entry_check.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/console.h"
#include "core/messages.h"

namespace {

// Smallest length and radius [m]: the dialogue shows two decimals, and shorter
// paths make the derived constants (2π/L, 4H/L²) run away.
constexpr double MIN_LENGTH = 0.01;
// Largest travel and rise [m]: the sine wave and the cams are sampled every 0.01 m
// in the 2001-entry velocity limit table; the other lengths share the bound.
constexpr double MAX_LENGTH = 20.0;
// Largest arc radius [m]: the end point R cos θ (down to -R) still prints in the
// six places of "%6.3f".
constexpr double MAX_ARC_RADIUS = 5.0;
// Largest slalom radius [m]: the end point 2·N·R of 20 semicircles stays within
// the 80 m that "%6.3f" prints in its field.
constexpr double MAX_SLALOM_RADIUS = 2.0;
// Arc angle [deg]: 2001 samples of π/100 hold ten turns; the smallest shows in
// the two decimals of the summary.
constexpr double MIN_ARC_DEG = 0.01;
constexpr double MAX_ARC_DEG = 3600.0;
// Axis limits [m/s^2]. With the smallest on both axes the slowest minimum-time
// motion of the default paths (the sine wave, 6.8 s) still fits the 800 steps
// of 0.01 s of the search, and the slowest normal CP motion (the sine wave,
// 13.1 s) the 2001 points of the trajectory tables; a larger limit on either
// axis only shortens both. 0.4 would leave the sine wave 7.6 s of its 8 s. The
// largest prints in the fields of the summaries ("%6.2f", "%5.1f").
constexpr double MIN_LIMIT = 0.5;
constexpr double MAX_LIMIT = 100.0;
// Slalom semicircles: 100 velocity-limit samples each in a 2001-entry table.
constexpr int MIN_SEMICIRCLES = 1;
constexpr int MAX_SEMICIRCLES = 20;
constexpr int MIN_TYPE = 1;
constexpr int MAX_TYPE = 6;

struct RealRange {
    const char* name;  // as the refusal line names it
    double lo, hi;     // accepted: lo <= value <= hi
};

// Indexed by EntryId.
const RealRange REAL_RANGES[] = {
    {N_("半径R"), MIN_LENGTH, MAX_ARC_RADIUS},         // ENTRY_ARC_R
    {N_("円弧角θf"), MIN_ARC_DEG, MAX_ARC_DEG},        // ENTRY_ARC_DEG
    {N_("波長L"), MIN_LENGTH, MAX_LENGTH},             // ENTRY_SIN_L
    {N_("振幅A"), MIN_LENGTH, MAX_LENGTH},             // ENTRY_SIN_A
    {N_("直線部L"), MIN_LENGTH, MAX_LENGTH},           // ENTRY_U_L
    {N_("円弧部半径R"), MIN_LENGTH, MAX_LENGTH},       // ENTRY_U_R
    {N_("半径R"), MIN_LENGTH, MAX_SLALOM_RADIUS},      // ENTRY_SLM_R
    {N_("移動量L"), MIN_LENGTH, MAX_LENGTH},           // ENTRY_CAM_L
    {N_("立ち上がり量H"), MIN_LENGTH, MAX_LENGTH},     // ENTRY_CAM_H
    {N_("移動量L"), MIN_LENGTH, MAX_LENGTH},           // ENTRY_CYC_L
    {N_("立ち上がり量H"), MIN_LENGTH, MAX_LENGTH},     // ENTRY_CYC_H
    {"xamax", MIN_LIMIT, MAX_LIMIT},               // ENTRY_XAMAX
    {"yamax", MIN_LIMIT, MAX_LIMIT},               // ENTRY_YAMAX
};
constexpr int REAL_COUNT = static_cast<int>(sizeof REAL_RANGES / sizeof REAL_RANGES[0]);
static_assert(REAL_COUNT == ENTRY_YAMAX + 1, "one range per real entry");

bool knownEntry(EntryId id) { return static_cast<int>(id) >= 0 && static_cast<int>(id) < REAL_COUNT; }

// True when nothing but blanks follows at p.
bool onlyBlanks(const char* p)
{
    for (; *p != '\0'; ++p)
        if (*p != ' ' && *p != '\t' && *p != '\n' && *p != '\r') return false;
    return true;
}

// The whole text read as a real number (blanks around it allowed). An overflow
// reads as ±inf, as formatted scanning reads it.
bool readReal(const char* text, double* value)
{
    if (text == nullptr) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (end == text || !onlyBlanks(end)) return false;
    *value = v;
    return true;
}

// How a text reads as a whole number.
enum WholeKind {
    WHOLE_NONE,      // not a number at all
    WHOLE_FRACTION,  // a number, but not a whole one (or not finite): real holds it
    WHOLE_OVERFLOW,  // a whole number beyond 64 bits: real holds it
    WHOLE_OK,        // whole holds it
};

struct Whole {
    WholeKind kind = WHOLE_NONE;
    long long whole = 0;  // 64 bits on every target: the refusals read the same everywhere
    double real = 0.0;
};

// The whole text as an integer: digits read with strtoll and its overflow report,
// or a real number whose value is whole ("3.0", "1e1").
Whole readWhole(const char* text)
{
    Whole w;
    if (text == nullptr) return w;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (end != text && onlyBlanks(end)) {
        if (errno == ERANGE) {
            w.kind = WHOLE_OVERFLOW;
            readReal(text, &w.real);
        } else {
            w.kind = WHOLE_OK;
            w.whole = v;
        }
        return w;
    }
    double r = 0.0;
    if (!readReal(text, &r)) return w;
    w.real = r;
    if (!std::isfinite(r) || r != std::floor(r)) {
        w.kind = WHOLE_FRACTION;
    } else if (r < static_cast<double>(LLONG_MIN) || r >= -static_cast<double>(LLONG_MIN)) {
        w.kind = WHOLE_OVERFLOW;
    } else {
        w.kind = WHOLE_OK;
        w.whole = static_cast<long long>(r);
    }
    return w;
}

// A refused value as its refusal line prints it: with "%g", or with as many more
// digits as it takes to differ from `apart` as "%g" prints it (the limit it is
// measured against, or the whole number next to a fraction), so that 5.0000001
// is not shown as the limit 5 that it exceeds.
struct Shown {
    char text[32];  // "%.17g" of any double fits
};

Shown showApart(double v, double apart)
{
    Shown s;
    char other[sizeof s.text];
    std::snprintf(s.text, sizeof s.text, "%g", v);
    std::snprintf(other, sizeof other, "%g", apart);
    for (int digits = 7; digits <= 17 && std::strcmp(s.text, other) == 0; ++digits)
        std::snprintf(s.text, sizeof s.text, "%.*g", digits, v);
    return s;
}

// The dialogue keeps the value in force and says so; a command line keeps nothing.
bool namesOldValue = true;

// "（旧値 v のままにします）" while the refusal names the value kept, otherwise "".
const char* keptText(double oldValue)
{
    static char text[96];
    if (!namesOldValue) return "";
    std::snprintf(text, sizeof text, tr("（旧値 %g のままにします）"), oldValue);
    return text;
}

}  // namespace

void setRefusalNamesOldValue(bool on) { namesOldValue = on; }

bool takeRealText(EntryId id, const char* text, double oldValue, double* value)
{
    if (!knownEntry(id)) return false;
    const RealRange& r = REAL_RANGES[id];
    double v = 0.0;
    if (!readReal(text, &v)) {
        conPrintf("\n  入力が不正です: %s は数値として読めません%s", tr(r.name), keptText(oldValue));
        return false;
    }
    if (!std::isfinite(v) || v <= 0.0) {
        conPrintf("\n  入力が不正です: %s=%s は 0 より大きい有限の値にしてください%s", tr(r.name),
                  showApart(v, 0.0).text, keptText(oldValue));
        return false;
    }
    if (v < r.lo) {
        conPrintf("\n  入力が不正です: %s=%s は %g 以上にしてください%s", tr(r.name),
                  showApart(v, r.lo).text, r.lo, keptText(oldValue));
        return false;
    }
    if (v > r.hi) {
        conPrintf("\n  入力が不正です: %s=%s は %g 以下にしてください%s", tr(r.name),
                  showApart(v, r.hi).text, r.hi, keptText(oldValue));
        return false;
    }
    *value = v;
    return true;
}

bool takeCountText(const char* text, int oldValue, int* value)
{
    const Whole w = readWhole(text);
    switch (w.kind) {
    case WHOLE_NONE:
        conPrintf("\n  入力が不正です: %s は数値として読めません%s", tr("円個数N"),
                  keptText(oldValue));
        return false;
    case WHOLE_FRACTION:
        conPrintf("\n  入力が不正です: 円個数N=%s は %d から %d の整数にしてください%s",
                  showApart(w.real, std::round(w.real)).text,
                  MIN_SEMICIRCLES, MAX_SEMICIRCLES, keptText(oldValue));
        return false;
    case WHOLE_OVERFLOW:
        conPrintf("\n  入力が不正です: 円個数N=%g は %d から %d にしてください%s", w.real,
                  MIN_SEMICIRCLES, MAX_SEMICIRCLES, keptText(oldValue));
        return false;
    case WHOLE_OK:
        break;
    }
    if (w.whole < MIN_SEMICIRCLES || w.whole > MAX_SEMICIRCLES) {
        conPrintf("\n  入力が不正です: 円個数N=%lld は %d から %d にしてください%s", w.whole,
                  MIN_SEMICIRCLES, MAX_SEMICIRCLES, keptText(oldValue));
        return false;
    }
    *value = static_cast<int>(w.whole);
    return true;
}

bool takeTypeText(const char* text, int oldValue, int* value)
{
    const Whole w = readWhole(text);
    switch (w.kind) {
    case WHOLE_NONE:
        conPrintf("\n  入力が不正です: %s は数値として読めません%s", "c",
                  keptText(oldValue));
        return false;
    case WHOLE_FRACTION:
        conPrintf("\n  入力が不正です: c=%s は %d から %d の整数で選んでください%s",
                  showApart(w.real, std::round(w.real)).text,
                  MIN_TYPE, MAX_TYPE, keptText(oldValue));
        return false;
    case WHOLE_OVERFLOW:
        conPrintf("\n  入力が不正です: c=%g は %d から %d で選んでください%s", w.real, MIN_TYPE,
                  MAX_TYPE, keptText(oldValue));
        return false;
    case WHOLE_OK:
        break;
    }
    if (w.whole < MIN_TYPE || w.whole > MAX_TYPE) {
        conPrintf("\n  入力が不正です: c=%lld は %d から %d で選んでください%s", w.whole, MIN_TYPE,
                  MAX_TYPE, keptText(oldValue));
        return false;
    }
    *value = static_cast<int>(w.whole);
    return true;
}

bool entryIsNumber(const char* text)
{
    double v = 0.0;
    return readReal(text, &v);
}

const char* entryName(EntryId id) { return knownEntry(id) ? REAL_RANGES[id].name : ""; }

void entryRange(EntryId id, double* lo, double* hi)
{
    if (!knownEntry(id)) {
        *lo = 0.0;
        *hi = 0.0;
        return;
    }
    *lo = REAL_RANGES[id].lo;
    *hi = REAL_RANGES[id].hi;
}
