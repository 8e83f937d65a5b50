// Randomised sessions against the headless core, built with address and
// undefined-behaviour sanitizers.
//
// A session starts from a blank state: initDefaults, then the console setup
// dialogue fed from a memory stream of good, bad and extreme entries, then a
// random key sequence through onKey with the compute-only frame. The state's
// invariants are checked after every key and after every dialogue; the first
// violation prints the seed, the session, the key index and the session's
// inputs so far, and the program exits with status 1 (2 for a key or a
// dialogue that does not return within a minute).
//
// Checked after every key: the counters within their tables (m, mf, mNormal,
// NCHN, NCT, fwdN, bwdN, vLimitLast, the look-ahead lengths), accSign and the
// two marks, one frame per command key and none otherwise, the key's own
// effect (switch records, time steps, view steps, playback index, join and
// refused join), nothing but lastKey changed by unassigned keys and ESC, the
// path, limits and curves unchanged between dialogues, the results unchanged
// during playback; after every dialogue a fresh search with the entries of a
// well-formed input in force. While the values in force are physical, every
// table entry in use holds a number and the switching records describe the
// trajectory on the screen (strictly increasing times and points, the sign in
// force given by their number). After every search that ends: the printed
// goal time is TIME[mf], the rebuilt motion stays under the velocity limit and
// within the axis limits, follows the trajectory that was joined and ends at the
// goal at rest. No point shown ever has ds/dt < 0 or s < 0.
//
// Usage: fuzz_core [--seconds S] [--seed N] [--sessions N] [--session K] [--verbose] [--trace]
//   --seconds S   stop after S seconds (default 60)
//   --seed N      seed of the whole run (default 1)
//   --sessions N  stop after N sessions
//   --session K   run only session K of the seed (replays a reported failure)
//   --verbose     one line per session, with its dialogue inputs
//   --trace       one line per key: the last trajectory point and the search state
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <csignal>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "app/dialogue.h"
#include "app/keys.h"
#include "core/console.h"
#include "core/entry_check.h"
#include "core/state.h"
#include "planner/bounds.h"
#include "planner/search.h"

namespace {

constexpr int TRAJ_LAST = TRAJ_CAP - 1;    // 2000
constexpr int CURVE_LAST = CURVE_CAP - 1;  // 3000
constexpr int VLIMIT_LAST = VLIMIT_CAP - 1;
constexpr int REC_LAST = REC_CAP - 1;      // 29
constexpr unsigned WATCHDOG_S = 60;        // one key or one dialogue must finish within this
constexpr int MAX_DIALOGUES = 8;           // 'k' / 'u' per session, besides the start-up run

// ---------------------------------------------------------------- random numbers

uint64_t mix64(uint64_t z)
{
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// splitmix64.
struct Rng {
    uint64_t state;
    uint64_t next()
    {
        const uint64_t r = mix64(state);
        state += 0x9E3779B97F4A7C15ull;
        return r;
    }
    int range(int lo, int hi)  // inclusive
    {
        return lo + static_cast<int>(next() % static_cast<uint64_t>(hi - lo + 1));
    }
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * unit(); }
    double logUniform(double lo, double hi) { return std::exp(uniform(std::log(lo), std::log(hi))); }
    bool chance(double p) { return unit() < p; }
    template <typename T, size_t N>
    const T& pick(const T (&a)[N])
    {
        return a[next() % N];
    }
};

// ---------------------------------------------------------------- run state

struct Options {
    double seconds = 60.0;
    uint64_t seed = 1;
    long maxSessions = -1;
    long onlySession = -1;
    bool verbose = false;
    bool trace = false;
};

struct Counters {
    long sessions = 0, frames = 0, keys = 0, dialogues = 0;
    long joins = 0, completed = 0, checkedKeys = 0, escapes = 0, unassigned = 0;
    long exactDialogues = 0;
    long rebuildsChecked = 0;
};

Options opt;
Counters total;
timespec startTime;

// Context of the work in progress, for failure messages and the watchdog.
long curSession = -1;
long curKeyIndex = -1;
int curKey = -1;
std::vector<std::pair<unsigned char, int>> keyLog;  // run-length encoded keys of the session
std::vector<std::string> inputLog;                   // dialogue inputs of the session
char watchdogText[256];

double elapsed()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - startTime.tv_sec) +
           1e-9 * static_cast<double>(now.tv_nsec - startTime.tv_nsec);
}

std::string keyName(int k)
{
    char b[16];
    if (k == 27)
        return "ESC";
    if (k > 32 && k < 127 && k != '*')
        std::snprintf(b, sizeof b, "%c", k);
    else
        std::snprintf(b, sizeof b, "0x%02x", k);
    return b;
}

std::string escaped(const std::string& s)
{
    std::string r;
    for (unsigned char c : s) {
        if (c == '\n')
            r += "\\n";
        else if (c == '\r')
            r += "\\r";
        else if (c == '\t')
            r += "\\t";
        else if (c == '"' || c == '\\') {
            r += '\\';
            r += static_cast<char>(c);
        } else if (c < 32 || c >= 127) {
            char b[8];
            std::snprintf(b, sizeof b, "\\x%02x", c);
            r += b;
        } else
            r += static_cast<char>(c);
    }
    return r;
}

void logKey(unsigned char k)
{
    if (!keyLog.empty() && keyLog.back().first == k)
        keyLog.back().second += 1;
    else
        keyLog.emplace_back(k, 1);
}

void updateWatchdog()
{
    std::snprintf(watchdogText, sizeof watchdogText,
                  "\nfuzz_core: HANG seed=%" PRIu64 " session=%ld key_index=%ld key=%s (no progress in %u s)\n"
                  "fuzz_core: replay with --seed %" PRIu64 " --session %ld\n",
                  opt.seed, curSession, curKeyIndex, keyName(curKey).c_str(), WATCHDOG_S, opt.seed, curSession);
}

void onWatchdog(int)
{
    const ssize_t r = write(2, watchdogText, std::strlen(watchdogText));
    (void)r;
    _exit(2);
}

[[noreturn]] __attribute__((format(printf, 1, 2))) void fail(const char* fmt, ...)
{
    char msg[1024];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(msg, sizeof msg, fmt, ap);
    va_end(ap);
    std::fprintf(stderr, "\nfuzz_core: FAIL seed=%" PRIu64 " session=%ld key_index=%ld key=%s\n", opt.seed, curSession,
                 curKeyIndex, curKey < 0 ? "(dialogue)" : keyName(curKey).c_str());
    std::fprintf(stderr, "fuzz_core: invariant: %s\n", msg);
    std::fprintf(stderr,
                 "fuzz_core: state: cpType=%d m=%d mf=%d mNormal=%d NCHN=%d NCT=%d accSign=%d endMark=%d joinMark=%d "
                 "t=%.17g dt=%.17g xamax=%.17g yamax=%.17g sEnd=%.17g\n",
                 sim.cpType, sim.m, sim.mf, sim.mNormal, sim.NCHN, sim.NCT, sim.accSign, sim.endMark, sim.joinMark,
                 sim.t, sim.dt, sim.xamax, sim.yamax,
                 (sim.cpType >= 0 && sim.cpType < TYPE_CAP) ? sim.sEnd[sim.cpType] : NAN);
    for (size_t i = 0; i < inputLog.size(); ++i)
        std::fprintf(stderr, "fuzz_core: input %zu: \"%s\"\n", i, escaped(inputLog[i]).c_str());
    std::string keys;
    for (const auto& k : keyLog) {
        keys += keyName(k.first);
        if (k.second > 1) keys += "*" + std::to_string(k.second);
        keys += ' ';
    }
    std::fprintf(stderr, "fuzz_core: keys (through the failing one): %s\n", keys.c_str());
    std::fprintf(stderr, "fuzz_core: replay with --seed %" PRIu64 " --session %ld\n", opt.seed, curSession);
    std::exit(1);
}

#define CHECK(cond, ...)                \
    do {                                \
        if (!(cond)) fail(__VA_ARGS__); \
    } while (0)

// ---------------------------------------------------------------- hooks of the core

int frameCalls = 0;
void countingFrame()
{
    ++frameCalls;
    computeFrame();
}

int exitCalls = 0;
int exitStatus = -1;
void recordExit(int status)
{
    ++exitCalls;
    exitStatus = status;
}

// ---------------------------------------------------------------- console entries

// What a well-formed dialogue input must leave in force.
struct Expect {
    bool exact = false;    // every entry good and well-formed; the checks below apply
    int route = 0;         // 0 nothing changes, 1 limits only, 2 path then limits
    int type = 0;
    double p1 = 0, p2 = 0;  // the two dimensions (p2 unused for the slalom)
    int n = 0;              // slalom count
    double xa = 0, ya = 0;
};

double parsed(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

std::string fmtNum(const char* f, double v)
{
    char b[64];
    std::snprintf(b, sizeof b, f, v);
    return b;
}

const char* const BAD_REAL[] = {"0", "-0", "-1", "-0.25", "nan", "NaN", "-nan", "inf", "-inf", "Infinity", "1e308",
                                "1e309", "-1e308", "1e-308", "4.9e-324", "1e-12", "abc", "x1", "1,5", "0x10", "1e",
                                ".", "-", "+", "99999999999999999999999", "3.5abc", "", "#", "1e-5", "1e6"};
const char* const BAD_INT[] = {"0", "-1", "7", "100", "1000", "2147483647", "-2147483648", "99999999999", "abc",
                               "3.7", "", "nan", "+", "-0", "1e3", "65536", "-7", "x"};
const char* const BAD_KEY[] = {"N", "Y", "x", "1", " ", "\x1b", "q", "yes", "no"};

// A good entry: a sane engineering range, now and then a wide one, always
// inside the accepted range of the entry [floor, cap] (printed with four
// digits, so kept a little inside it).
std::string goodReal(Rng& r, double lo, double hi, double cap, double floor)
{
    double v = r.chance(0.1) ? r.logUniform(lo / 10.0, hi * 10.0) : r.uniform(lo, hi);
    if (v > cap) v = cap;
    if (v < floor * 1.01) v = floor * 1.01;
    return fmtNum("%.4g", v);
}

struct BlockWriter {
    Rng& r;
    bool good;        // every entry good
    double badP;      // chance of a bad entry when not good
    bool noisy;       // layout noise (empty lines, split lines, extra tokens)
    std::string text;
    bool allGood = true;

    void endLine()
    {
        if (noisy && r.chance(0.15)) text += r.chance(0.5) ? "\r\n" : "\n\n";
        text += "\n";
    }
    // A value of entry `id`: mostly in [lo, hi], always within its accepted range.
    std::string real(double lo, double hi, EntryId id)
    {
        if (!good && r.chance(badP)) {
            allGood = false;
            return r.pick(BAD_REAL);
        }
        double floor = 0.0, cap = 0.0;
        entryRange(id, &floor, &cap);
        return goodReal(r, lo, hi, cap, floor);
    }
    std::string integer(int lo, int hi)
    {
        if (!good && r.chance(badP)) {
            allGood = false;
            return r.pick(BAD_INT);
        }
        return std::to_string(r.range(lo, hi));
    }
    void pair(const std::string& a, const std::string& b)
    {
        if (noisy && r.chance(0.2)) {
            allGood = false;
            const int kind = r.range(0, 3);
            if (kind == 0)
                text += a + "\n" + b;
            else if (kind == 1)
                text += "  " + a + "\t " + b + "  ";
            else if (kind == 2)
                text += a + " " + b + " " + r.pick(BAD_REAL);
            else
                text += "\n" + a + " " + b;
        } else {
            text += a + " " + b;
        }
        endLine();
    }
    void single(const std::string& a)
    {
        text += a;
        endLine();
    }
    void key(char k)
    {
        text += k;
        if (noisy && r.chance(0.2)) {
            allGood = false;
            return;  // no line break after the key
        }
        text += "\n";
    }
};

// Dimensions of path type `type` (entries and their expected values).
void writeDimensions(BlockWriter& w, int type, Expect* e)
{
    std::string a, b;
    switch (type) {
    case CP_ARC:
        a = w.real(0.1, 2.0, ENTRY_ARC_R);
        b = w.real(10.0, 350.0, ENTRY_ARC_DEG);
        break;
    case CP_SINE:
        a = w.real(0.3, 3.0, ENTRY_SIN_L);
        b = w.real(0.02, 1.0, ENTRY_SIN_A);
        break;
    case CP_U:
        a = w.real(0.05, 1.5, ENTRY_U_L);
        b = w.real(0.05, 1.0, ENTRY_U_R);
        break;
    case CP_SLALOM:
        a = w.real(0.05, 0.6, ENTRY_SLM_R);
        b = w.integer(1, w.r.chance(0.8) ? 8 : 20);
        break;
    default:  // both cams
        a = w.real(0.1, 2.0, type == CP_CAM_ACC ? ENTRY_CAM_L : ENTRY_CYC_L);
        b = w.real(0.05, 1.5, type == CP_CAM_ACC ? ENTRY_CAM_H : ENTRY_CYC_H);
        break;
    }
    w.pair(a, b);
    e->p1 = parsed(a);
    if (type == CP_SLALOM)
        e->n = std::atoi(b.c_str());
    else
        e->p2 = parsed(b);
}

// Now and then one axis far stronger than the other (up to the largest
// accepted limit): the velocity limit then changes steeply along the path.
std::string limitEntry(BlockWriter& w)
{
    if (w.r.chance(0.05)) {
        double lo = 0.0, hi = 0.0;
        entryRange(ENTRY_XAMAX, &lo, &hi);
        return fmtNum("%.4g", w.r.logUniform(hi / 5.0, hi * 0.999));
    }
    return w.real(0.5, 10.0, ENTRY_XAMAX);
}

void writeLimits(BlockWriter& w, Expect* e)
{
    const std::string a = limitEntry(w);
    const std::string b = limitEntry(w);
    w.pair(a, b);
    e->xa = parsed(a);
    e->ya = parsed(b);
}

void writePath(BlockWriter& w, Expect* e)
{
    int type = w.r.range(1, 6);
    std::string tok = std::to_string(type);
    if (!w.good && w.r.chance(w.badP)) {
        w.allGood = false;
        tok = w.r.pick(BAD_INT);
    }
    w.single(tok);
    e->type = type;
    writeDimensions(w, type, e);
    writeLimits(w, e);
}

// One dialogue's console input. startup: the two questions come first;
// otherwise route is 2 ('k') or 1 ('u').
std::string makeInput(Rng& r, bool startup, int route, Expect* e)
{
    const int style = r.range(0, 99);
    BlockWriter w{r, style < 60, style < 85 ? 0.35 : 0.8, style >= 85, std::string(), true};
    *e = Expect{};

    if (startup) {
        const int q1 = r.range(0, 99);
        if (q1 < 45) {
            w.key('y');
            route = 2;
        } else {
            if (q1 < 80 || w.good)
                w.key('n');
            else {
                w.allGood = false;
                w.text += r.pick(BAD_KEY);
                w.text += "\n";
            }
            const int q2 = r.range(0, 99);
            if (q2 < 40) {
                w.key('y');
                route = 1;
            } else if (q2 < 80) {
                w.key('n');
                route = 0;
            } else {
                w.key(r.chance(0.5) ? 'N' : 'x');  // any other key: the full entry
                route = 2;
            }
        }
    }
    e->route = route;
    if (route == 2)
        writePath(w, e);
    else if (route == 1)
        writeLimits(w, e);

    // Sometimes a random tail, and sometimes the input ends in the middle.
    if (!w.good && r.chance(0.2)) {
        w.allGood = false;
        const int n = r.range(1, 6);
        for (int i = 0; i < n; ++i) w.single(r.chance(0.5) ? r.pick(BAD_REAL) : r.pick(BAD_INT));
    }
    if (!w.good && !w.text.empty() && r.chance(0.15)) {
        w.allGood = false;
        w.text.resize(static_cast<size_t>(r.range(0, static_cast<int>(w.text.size()) - 1)));
    }
    e->exact = w.allGood;
    return w.text;
}

// ---------------------------------------------------------------- validity of the values in force

bool inBand(double v, double lo, double hi) { return std::isfinite(v) && v >= lo && v <= hi; }

// True when the path and the limits in force are ones the core must handle
// without any non-finite number: positive finite lengths in a physical band,
// a slalom of at least one semicircle, positive finite limits.
bool valuesValid()
{
    const SimState& g = sim;
    const double LO = 1e-3, HI = 1e3;
    if (!inBand(g.xamax, LO, HI) || !inBand(g.yamax, LO, HI)) return false;
    switch (g.cpType) {
    case CP_ARC:
        return inBand(g.arcR, LO, HI) && inBand(g.sEnd[CP_ARC], LO, 20.0 * PI) && std::isfinite(g.arcA[0]) &&
               std::isfinite(g.arcA[1]);
    case CP_SINE:
        return inBand(g.sinL, LO, HI) && inBand(g.sinA, LO, HI);
    case CP_U:
        return inBand(g.uL, LO, HI) && inBand(g.uR, LO, HI);
    case CP_SLALOM:
        return inBand(g.slmR, LO, HI) && g.slmN >= 1 && g.slmN <= 100;
    case CP_CAM_ACC:
        return inBand(g.camL, LO, HI) && inBand(g.camH, LO, HI);
    case CP_CAM_CYCLOID:
        return inBand(g.cycL, LO, HI) && inBand(g.cycH, LO, HI);
    default:
        return false;
    }
}

// ---------------------------------------------------------------- snapshots

SimState atDialogue;    // state right after the last dialogue
SimState atEnd;         // state right after the search ended
SimState beforeKey;     // state before an unassigned key / ESC
SimState afterDefaults;  // state right after initDefaults
double beforeRecords[REC_CAP][5];  // switching records before the key
double joinedPhase[TRAJ_CAP][2];   // the joined trajectory on the screen, start to standstill
int joinedLast = -1;               // its last index; -1 when there is none to compare with

// Distance of (s, v) from the polyline joinedPhase[0..joinedLast], each axis
// scaled by its range so that one tolerance serves every path. The polyline
// joins points 0.01 s apart; where the curve bends sharply between them (an
// acceleration jumping from one bound to the other) it may leave the chord by
// up to about half the chord's length, which is taken off the distance.
double distanceToJoined(double s, double v, double sScale, double vScale)
{
    double best = INFINITY;
    for (int i = 0; i < joinedLast; ++i) {
        const double ax = joinedPhase[i][0] / sScale, ay = joinedPhase[i][1] / vScale;
        const double bx = joinedPhase[i + 1][0] / sScale, by = joinedPhase[i + 1][1] / vScale;
        const double px = s / sScale, py = v / vScale;
        const double dx = bx - ax, dy = by - ay;
        const double len2 = dx * dx + dy * dy;
        double u = len2 > 0.0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0.0;
        u = u < 0.0 ? 0.0 : (u > 1.0 ? 1.0 : u);
        const double d = std::hypot(px - (ax + u * dx), py - (ay + u * dy)) - 0.5 * std::sqrt(len2);
        if (d < best) best = d;
    }
    return best;
}

bool sameBytes(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }

#define SAME(snap, field) sameBytes(&(snap).field, &sim.field, sizeof sim.field)

// The values only a dialogue may change: path, limits, constants, layout,
// boundary curves and velocity limit curve.
const char* frozenDiff(const SimState& s)
{
#define FROZEN(field) \
    if (!SAME(s, field)) return #field;
    FROZEN(cpType) FROZEN(arcA) FROZEN(arcR) FROZEN(sinL) FROZEN(sinA) FROZEN(uL) FROZEN(uR) FROZEN(slmR)
    FROZEN(slmN) FROZEN(camL) FROZEN(camH) FROZEN(cycL) FROZEN(cycH) FROZEN(sinK) FROZEN(uArc) FROZEN(camA)
    FROZEN(cycC) FROZEN(cycW) FROZEN(sEnd) FROZEN(vEnd) FROZEN(cpStart) FROZEN(cpEnd) FROZEN(dxScale)
    FROZEN(dyScale) FROZEN(xf) FROZEN(yf) FROZEN(xamax) FROZEN(yamax) FROZEN(dt0) FROZEN(nSub) FROZEN(stepMax)
    FROZEN(xorg) FROZEN(yorg) FROZEN(phx0) FROZEN(phy0) FROZEN(gx0) FROZEN(gy0) FROZEN(t1x0) FROZEN(t1y0)
    FROZEN(t2x0) FROZEN(t2y0) FROZEN(tlen) FROZEN(t1h) FROZEN(t2h) FROZEN(bw) FROZEN(bh) FROZEN(fwdCurve)
    FROZEN(bwdCurve) FROZEN(fwdN) FROZEN(bwdN) FROZEN(vLimit) FROZEN(vLimitLast)
#undef FROZEN
    return nullptr;
}

// The path selection and its tables (everything 'u' must leave alone).
const char* pathDiff(const SimState& s)
{
#define PATHF(field) \
    if (!SAME(s, field)) return #field;
    PATHF(cpType) PATHF(arcA) PATHF(arcR) PATHF(sinL) PATHF(sinA) PATHF(uL) PATHF(uR) PATHF(slmR) PATHF(slmN)
    PATHF(camL) PATHF(camH) PATHF(cycL) PATHF(cycH) PATHF(sinK) PATHF(uArc) PATHF(camA) PATHF(cycC) PATHF(cycW)
    PATHF(sEnd) PATHF(vEnd) PATHF(cpStart) PATHF(cpEnd) PATHF(dxScale) PATHF(dyScale) PATHF(xf) PATHF(yf)
#undef PATHF
    return nullptr;
}

// The results of a completed search, fixed until the next dialogue.
void checkResultsKept()
{
    const SimState& s = atEnd;
    CHECK(sim.mf == s.mf && sim.mNormal == s.mNormal, "results changed in playback: mf %d->%d mNormal %d->%d", s.mf,
          sim.mf, s.mNormal, sim.mNormal);
    CHECK(SAME(s, tfNormal), "tfNormal changed in playback");
    const int mf = sim.mf, mn = sim.mNormal;
    CHECK(sameBytes(s.finalXY, sim.finalXY, sizeof(double[4]) * (mf + 1)), "finalXY changed in playback");
    CHECK(sameBytes(s.phase, sim.phase, sizeof(double[2]) * (mf + 1)), "phase[0..mf] changed in playback");
    CHECK(sameBytes(s.normalXY, sim.normalXY, sizeof(double[2]) * (mn + 1)), "normalXY changed in playback");
    CHECK(sameBytes(s.normalS, sim.normalS, sizeof(double[2]) * (mn + 1)), "normalS changed in playback");
    CHECK(sameBytes(s.TIME, sim.TIME, sizeof(double) * (mn + 1)), "TIME[0..mNormal] changed in playback");
}

// ---------------------------------------------------------------- invariants

struct Session {
    Rng rng{0};
    bool valid = false;    // values in force are valid
    FILE* in = nullptr;
    std::string inBuf;
    int dialogues = 0;
};

bool finite2(const double p[2]) { return std::isfinite(p[0]) && std::isfinite(p[1]); }

void checkFinite2(const double (*a)[2], int last, const char* name)
{
    for (int i = 0; i <= last; ++i)
        CHECK(finite2(a[i]), "%s[%d] = (%.17g, %.17g) is not finite", name, i, a[i][0], a[i][1]);
}

// Both axes within their limits (with the tolerance of the curve tests).
bool withinLimits(const double acc[3])
{
    const SimState& g = sim;
    return std::fabs(acc[1]) <= g.xamax + AXIS_TOL + 1e-9 * g.xamax &&
           std::fabs(acc[2]) <= g.yamax + AXIS_TOL + 1e-9 * g.yamax;
}

bool finite3(const double a[3]) { return std::isfinite(a[0]) && std::isfinite(a[1]) && std::isfinite(a[2]); }

// The switching records describe the trajectory: numbers, strictly increasing
// times; while searching, at strictly increasing points up to m, their number
// even exactly when the sign in force is +1.
void checkRecords()
{
    const SimState& g = sim;
    for (int i = 0; i <= g.NCHN; ++i)
        for (int c = 0; c < 5; ++c) CHECK(std::isfinite(g.chnRec[i][c]), "chnRec[%d][%d] = %.17g", i, c, g.chnRec[i][c]);
    for (int i = 1; i <= g.NCHN; ++i)
        CHECK(g.chnRec[i - 1][0] < g.chnRec[i][0], "switching records out of time order: t%d = %.17g, t%d = %.17g", i - 1,
              g.chnRec[i - 1][0], i, g.chnRec[i][0]);
    if (g.joinMark != 'f' && g.endMark != 'e') {
        for (int i = 1; i <= g.NCHN; ++i) {
            CHECK(g.chnStep[i] > g.chnStep[i - 1], "switching records at points %d then %d", g.chnStep[i - 1], g.chnStep[i]);
            CHECK(g.chnStep[i] <= g.m, "switching record %d at point %d past m = %d", i, g.chnStep[i], g.m);
        }
        CHECK(g.accSign == (g.NCHN % 2 == 0 ? 1 : -1), "accSign %d with %d switching records", g.accSign, g.NCHN);
        CHECK(g.NCHN <= REC_LAST - 2, "%d switching records leave no room for the join", g.NCHN);
    }
}

void checkState(const Session& ss)
{
    const SimState& g = sim;
    CHECK(g.cpType >= 1 && g.cpType <= 6, "cpType %d outside 1..6", g.cpType);
    CHECK(g.m >= 0 && g.m <= TRAJ_LAST, "m = %d outside 0..%d", g.m, TRAJ_LAST);
    CHECK(g.mf >= 0 && g.mf <= TRAJ_LAST, "mf = %d outside 0..%d", g.mf, TRAJ_LAST);
    CHECK(g.mNormal >= 0 && g.mNormal <= TRAJ_LAST, "mNormal = %d outside 0..%d", g.mNormal, TRAJ_LAST);
    CHECK(g.accSign == 1 || g.accSign == -1, "accSign = %d", g.accSign);
    CHECK(g.NCHN >= 0 && g.NCHN <= REC_LAST, "NCHN = %d outside 0..%d", g.NCHN, REC_LAST);
    CHECK(g.NCT >= 0 && g.NCT <= REC_LAST, "NCT = %d outside 0..%d", g.NCT, REC_LAST);
    CHECK(g.fwdN >= 1 && g.fwdN <= CURVE_LAST, "fwdN = %d outside 1..%d", g.fwdN, CURVE_LAST);
    CHECK(g.bwdN >= 1 && g.bwdN <= CURVE_LAST, "bwdN = %d outside 1..%d", g.bwdN, CURVE_LAST);
    CHECK(g.vLimitLast >= 0 && g.vLimitLast <= VLIMIT_LAST, "vLimitLast = %d outside 0..%d", g.vLimitLast,
          VLIMIT_LAST);
    CHECK(g.endMark == '0' || g.endMark == 'e', "endMark = %d", g.endMark);
    CHECK(g.joinMark == '0' || g.joinMark == 'f', "joinMark = %d", g.joinMark);
    if (g.aheadMade) {
        CHECK(g.aheadSameN >= 1 && g.aheadSameN <= g.stepMax, "aheadSameN = %d outside 1..%d", g.aheadSameN,
              g.stepMax);
        CHECK(g.aheadFlipN >= 1 && g.aheadFlipN <= g.stepMax, "aheadFlipN = %d outside 1..%d", g.aheadFlipN,
              g.stepMax);
    }
    // No point of the trajectory on the screen (the search's, the joined or the
    // rebuilt one) moves backward along the path or lies before its start.
    const int shown = g.endMark == 'e' ? g.mf : (g.joinMark == 'f' ? g.mf : g.m);
    for (int i = 0; i <= shown && i <= TRAJ_LAST; ++i)
        CHECK(!(g.phase[i][1] < 0.0) && !(g.phase[i][0] < 0.0), "point %d (%.17g, %.17g) runs backward or before the start",
              i, g.phase[i][0], g.phase[i][1]);
    // While searching the trajectory starts at rest at the start; the rebuild may
    // replace point 0 by a switching state recorded at once (an interval of no step).
    CHECK(g.TIME[0] == 0.0, "TIME[0] = %.17g", g.TIME[0]);
    if (g.endMark != 'e')
        CHECK(g.phase[0][0] == 0.0 && g.phase[0][1] == 0.0, "start point (%.17g, %.17g) while searching",
              g.phase[0][0], g.phase[0][1]);
    for (int i = 0; i <= g.NCHN; ++i)
        CHECK(g.chnStep[i] >= 0 && g.chnStep[i] <= TRAJ_LAST, "chnStep[%d] = %d outside the tables", i, g.chnStep[i]);

    if (g.endMark != 'e') {
        CHECK(g.mNormal == 0, "mNormal = %d before the search ended", g.mNormal);
        CHECK(g.dt == g.dt0 || g.dt == g.dt0 / g.nSub, "dt = %.17g while searching", g.dt);
    } else {
        if (ss.valid) CHECK(g.mNormal >= 1, "mNormal = %d in playback", g.mNormal);
        CHECK(g.m <= g.mNormal, "playback index m = %d past mNormal = %d", g.m, g.mNormal);
        // Normal CP motion goes on past the minimum-time trajectory; values that
        // admit no profile leave it resting with the minimum-time trajectory.
        if (ss.valid)
            CHECK(g.mNormal > g.mf || g.mf == TRAJ_LAST, "mNormal = %d not past mf = %d", g.mNormal, g.mf);
        else
            CHECK(g.mNormal >= g.mf, "mNormal = %d before mf = %d", g.mNormal, g.mf);
        CHECK(g.playK >= 0 && g.playK <= g.mf, "playK = %d outside 0..mf = %d", g.playK, g.mf);
    }
    if (g.joinMark == 'f' && g.endMark != 'e') {
        CHECK(g.mf >= 1, "joined trajectory with mf = %d", g.mf);
        CHECK(g.m < g.mf, "joined playback at m = %d reached mf = %d without ending", g.m, g.mf);
    }

    if (!ss.valid) return;
    // Tables the frame draws from hold numbers.
    ++total.checkedKeys;
    if (g.endMark != 'e') CHECK(std::isfinite(g.t), "clock t = %.17g", g.t);
    checkFinite2(g.fwdCurve, g.fwdN, "fwdCurve");
    checkFinite2(g.bwdCurve, g.bwdN, "bwdCurve");
    for (int i = 0; i <= g.vLimitLast; ++i) {
        const double v = g.vLimit[i][1];
        const bool startInf = i == 0 && (g.cpType == CP_SINE || g.cpType == CP_CAM_CYCLOID) && v == INFINITY;
        CHECK(std::isfinite(g.vLimit[i][0]) && (startInf || (std::isfinite(v) && v >= 0.0)),
              "vLimit[%d] = (%.17g, %.17g)", i, g.vLimit[i][0], v);
    }
    if (g.endMark != 'e') {
        const int last = trajectoryPlotLast();
        checkFinite2(g.phase, last, "phase");
        for (int i = 0; i <= last; ++i) {
            CHECK(std::isfinite(g.TIME[i]), "TIME[%d] = %.17g while searching", i, g.TIME[i]);
            CHECK(finite3(g.accTab[i]), "accTab[%d] is not finite while searching", i);
        }
        if (g.aheadMade) {
            checkFinite2(g.aheadSame, g.aheadSameN, "aheadSame");
            checkFinite2(g.aheadFlip, g.aheadFlipN, "aheadFlip");
        }
    } else {
        checkFinite2(g.phase, g.mf, "phase");
        for (int i = 0; i <= g.mf; ++i) {
            CHECK(finite3(g.accTab[i]), "accTab[%d] is not finite after the end", i);
            for (int c = 0; c < 4; ++c) CHECK(std::isfinite(g.finalXY[i][c]), "finalXY[%d][%d] = %.17g", i, c, g.finalXY[i][c]);
        }
        checkFinite2(g.normalXY, g.mNormal, "normalXY");
        checkFinite2(g.normalS, g.mNormal, "normalS");
        for (int i = 0; i <= g.mNormal; ++i) {
            CHECK(std::isfinite(g.TIME[i]), "TIME[%d] = %.17g", i, g.TIME[i]);
            CHECK(finite3(g.normalAcc[i]), "normalAcc[%d] is not finite", i);
        }
        for (int i = 0; i <= g.NCT; ++i)
            for (int c = 0; c < 5; ++c) CHECK(std::isfinite(g.nctRec[i][c]), "nctRec[%d][%d] = %.17g", i, c, g.nctRec[i][c]);
    }
    checkRecords();
}

// Equal values, or the same copied non-number (values that admit no motion).
bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

bool relClose(double a, double b) { return std::fabs(a - b) <= 1e-12 * (1.0 + std::fabs(b)); }

double expectedPhscale(double sEnd)
{
    if (sEnd < 1.01) return 2.0;
    if (sEnd > 1.99) return 0.4;
    return 1.0;
}

// After every dialogue: a fresh search on freshly computed curves, and the
// entries of a well-formed input in force.
void checkAfterDialogue(Session& ss, const SimState& before, const Expect& e, char via)
{
    const SimState& g = sim;
    CHECK(g.cpType >= 1 && g.cpType <= 6, "dialogue left cpType %d outside 1..6", g.cpType);
    CHECK(g.m == 0 && g.mf == 0 && g.mNormal == 0 && g.NCHN == 0, "dialogue left m %d mf %d mNormal %d NCHN %d", g.m,
          g.mf, g.mNormal, g.NCHN);
    CHECK(g.accSign == 1 && g.t == 0.0 && g.dt == g.dt0, "dialogue left accSign %d t %.17g dt %.17g", g.accSign, g.t,
          g.dt);
    CHECK(g.endMark == '0' && g.joinMark == '0', "dialogue left endMark %d joinMark %d", g.endMark, g.joinMark);
    CHECK(g.zoom == 1.0, "dialogue left zoom %.17g", g.zoom);
    CHECK(g.phscale == expectedPhscale(g.sEnd[g.cpType]), "phscale %.17g for sEnd %.17g", g.phscale,
          g.sEnd[g.cpType]);
    CHECK(g.xshift == before.xshift && g.yshift == before.yshift, "dialogue moved the picture");
    CHECK(g.fwdCurve[0][0] == 0.0 && g.fwdCurve[0][1] == 0.0, "fwdCurve does not start at (0, 0)");
    CHECK(sameBytes(&g.bwdCurve[0][0], &g.sEnd[g.cpType], sizeof(double)) && g.bwdCurve[0][1] == g.vEnd[g.cpType],
          "bwdCurve does not start at the goal");
    for (int i = 0; i < g.stepMax; ++i)
        CHECK(g.phase[i][0] == 0.0 && g.phase[i][1] == 0.0 && g.TIME[i] == 0.0, "reset left phase[%d] / TIME[%d]",
              i, i);
    CHECK(same(g.xf, g.cpEnd[g.cpType][0]) && same(g.yf, g.cpEnd[g.cpType][1]),
          "goal (%g, %g) is not cpEnd of type %d", g.xf, g.yf, g.cpType);
    if (via == 'u') {
        const char* d = pathDiff(before);
        CHECK(d == nullptr, "'u' changed the path: %s", d);
    }

    if (e.exact) {
        ++total.exactDialogues;
        if (e.route == 0) {
            const char* d = pathDiff(before);
            CHECK(d == nullptr, "answers n, n changed the path: %s", d);
            CHECK(g.xamax == before.xamax && g.yamax == before.yamax, "answers n, n changed the limits");
        }
        if (e.route == 1) {
            const char* d = pathDiff(before);
            CHECK(d == nullptr, "the limits route changed the path: %s", d);
        }
        if (e.route >= 1)
            CHECK(g.xamax == e.xa && g.yamax == e.ya, "limits (%.17g, %.17g) in force, (%.17g, %.17g) entered",
                  g.xamax, g.yamax, e.xa, e.ya);
        if (e.route == 2) {
            CHECK(g.cpType == e.type, "path type %d in force, %d entered", g.cpType, e.type);
            bool ok = true;
            double sEnd = 0;
            switch (e.type) {
            case CP_ARC:
                ok = g.arcR == e.p1;
                sEnd = e.p2 * DEG2RAD;
                break;
            case CP_SINE:
                ok = g.sinL == e.p1 && g.sinA == e.p2;
                sEnd = e.p1;
                break;
            case CP_U:
                ok = g.uL == e.p1 && g.uR == e.p2;
                sEnd = 2.0 * e.p1 + PI * e.p2;
                break;
            case CP_SLALOM:
                ok = g.slmR == e.p1 && g.slmN == e.n;
                sEnd = e.n * PI;
                break;
            case CP_CAM_ACC:
                ok = g.camL == e.p1 && g.camH == e.p2;
                sEnd = e.p1;
                break;
            default:
                ok = g.cycL == e.p1 && g.cycH == e.p2;
                sEnd = e.p1;
                break;
            }
            CHECK(ok, "dimensions of type %d in force differ from the entries %.17g %.17g / %d", e.type, e.p1, e.p2,
                  e.n);
            CHECK(relClose(g.sEnd[e.type], sEnd), "sEnd[%d] = %.17g, expected %.17g", e.type, g.sEnd[e.type], sEnd);
        }
    }

    ss.valid = valuesValid();
    std::memcpy(&atDialogue, &sim, sizeof sim);
    checkState(ss);
}

// Console input for one dialogue. The start-up run always gets a fresh
// stream; 'k' and 'u' mostly do, and otherwise read what is left of the last.
Expect prepareInput(Session& ss, char via)
{
    Expect e;
    const bool startup = via == 0;
    if (startup || ss.rng.chance(0.85)) {
        ss.inBuf = makeInput(ss.rng, startup, via == 'u' ? 1 : 2, &e);
        if (ss.in != nullptr) std::fclose(ss.in);
        ss.in = ss.inBuf.empty() ? std::fopen("/dev/null", "r")
                                 : fmemopen(const_cast<char*>(ss.inBuf.data()), ss.inBuf.size(), "r");
        CHECK(ss.in != nullptr, "cannot open the input stream: %s", std::strerror(errno));
        inputLog.push_back(ss.inBuf);
    } else {
        inputLog.push_back("(rest of the previous input)");
    }
    conSetStreams(conOutStream(), ss.in);
    ++ss.dialogues;
    ++total.dialogues;
    return e;
}

// ---------------------------------------------------------------- key sequences

const char FRAME_KEYS[] = "strcf0wWxXyY";
const char ALL_KEYS[] = "strcf0wWxXyYku";
const char VIEW_KEYS[] = "wWxXyY";
const char RUN_KEYS[] = "crtf0";

bool isFrameKey(int k) { return k != 0 && std::strchr(FRAME_KEYS, k) != nullptr; }
bool isAssigned(int k) { return k == 27 || (k != 0 && std::strchr(ALL_KEYS, k) != nullptr); }

struct Planner {
    int mode = 0;  // 0: choose a burst; 1: a run of one key; 2: random view keys; 3: guided search
    int key = 0;
    int left = 0;
    int joinEvery = 1, sinceJoin = 0;
    bool switchy = false, switched = false;
    int playLeft = 0;
};

// The guided search: 's' with a join attempt every few frames, one switch
// where the reversed look-ahead reaches the end of the path, the joined
// playback to its end, then a few playback frames.
int guidedKey(Session& ss, Planner& p)
{
    const SimState& g = sim;
    Rng& r = ss.rng;
    if (g.endMark == 'e') return p.playLeft-- > 0 ? 's' : -1;
    if (g.joinMark == 'f') return 's';
    if (g.m >= g.stepMax) return r.chance(0.5) ? '0' : -1;  // never crossed: start again or give up
    if (g.m > 0 && !(g.phase[g.m][1] > 0.0)) return r.chance(0.6) ? 't' : (r.chance(0.5) ? 'r' : '0');
    if (p.switchy && !p.switched && g.aheadMade && g.accSign > 0 &&
        g.aheadFlip[g.aheadFlipN][0] >= 0.97 * g.sEnd[g.cpType]) {
        p.switched = true;
        return 'c';
    }
    if (++p.sinceJoin >= p.joinEvery) {
        p.sinceJoin = 0;
        return 'f';
    }
    return 's';
}

int nextKey(Session& ss, Planner& p)
{
    Rng& r = ss.rng;
    for (;;) {
        if (p.left > 0) {
            --p.left;
            if (p.mode == 1) return p.key;
            if (p.mode == 2) return VIEW_KEYS[r.range(0, 5)];
            if (p.mode == 3) {
                const int k = guidedKey(ss, p);
                if (k >= 0) return k;
                p.left = 0;
            }
        }
        p.mode = 0;
        const int w = r.range(0, 999);
        if (w < 250) {  // guided search
            p.mode = 3;
            p.left = r.range(300, 2500);
            // Each 'f' searches the whole trajectory against the deceleration curve.
            p.joinEvery = r.chance(0.3) ? r.range(3, 6) : r.range(7, 40);
            p.sinceJoin = 0;
            p.switchy = r.chance(0.4);
            p.switched = false;
            p.playLeft = r.range(0, 80);
        } else if (w < 450) {  // a run of 's'
            p.mode = 1;
            p.key = 's';
            p.left = r.chance(0.2) ? r.range(300, 1200) : r.range(1, 300);
        } else if (w < 680) {  // single search keys
            const char singles[] = "ffffffcccccrrrrtttt000";
            return singles[r.range(0, static_cast<int>(sizeof singles) - 2)];
        } else if (w < 740) {  // a long run of one of c, r, t, f, 0
            p.mode = 1;
            p.key = RUN_KEYS[r.range(0, 4)];
            p.left = p.key == 'f' ? r.range(2, 12) : r.range(2, 80);
        } else if (w < 800) {  // view keys
            p.mode = 2;
            p.left = r.range(1, 40);
        } else if (w < 815) {  // one view key for long: frames without the 's' clamp, up to the table's end
            p.mode = 1;
            p.key = VIEW_KEYS[r.range(0, 5)];
            p.left = r.chance(0.5) ? r.range(200, 1200) : r.range(2000, 2600);
        } else if (w < 880) {  // any key of the table
            const int k = ALL_KEYS[r.range(0, static_cast<int>(sizeof ALL_KEYS) - 2)];
            if ((k == 'k' || k == 'u') && ss.dialogues > MAX_DIALOGUES) continue;
            return k;
        } else if (w < 960) {  // an unassigned key
            int k;
            do k = r.range(0, 255);
            while (isAssigned(k));
            return k;
        } else if (w < 997) {  // back to the dialogue
            if (ss.dialogues > MAX_DIALOGUES) continue;
            return r.chance(0.5) ? 'k' : 'u';
        } else {
            return 27;
        }
    }
}

// ---------------------------------------------------------------- one key and its effect

struct Pre {
    int m, mf, mNormal, NCHN, accSign;
    double t, dt, zoom, phscale, xshift, yshift;
    char endMark, joinMark;
    double phaseM[2], phaseM1[2];  // phase[m] and phase[m - 1] (table-clamped)
};

int clampIndex(int i) { return i < 0 ? 0 : (i > TRAJ_LAST ? TRAJ_LAST : i); }

Pre capture()
{
    const SimState& g = sim;
    Pre p;
    p.m = g.m;
    p.mf = g.mf;
    p.mNormal = g.mNormal;
    p.NCHN = g.NCHN;
    p.accSign = g.accSign;
    p.t = g.t;
    p.dt = g.dt;
    p.zoom = g.zoom;
    p.phscale = g.phscale;
    p.xshift = g.xshift;
    p.yshift = g.yshift;
    p.endMark = g.endMark;
    p.joinMark = g.joinMark;
    const int i = clampIndex(g.m), i1 = clampIndex(g.m - 1);
    p.phaseM[0] = g.phase[i][0];
    p.phaseM[1] = g.phase[i][1];
    p.phaseM1[0] = g.phase[i1][0];
    p.phaseM1[1] = g.phase[i1][1];
    return p;
}

// The joined trajectory as the screen shows it, for the check of its rebuild.
void snapshotJoined()
{
    const SimState& g = sim;
    if (g.joinMark != 'f' || g.endMark == 'e') {
        joinedLast = -1;
        return;
    }
    joinedLast = g.mf;
    std::memcpy(joinedPhase, g.phase, sizeof(double[2]) * (g.mf + 1));
}

// Tolerance of the rebuilt motion against the joined trajectory, as a share of
// the path length and of the largest speed: the rebuild integrates the same
// intervals in other steps (at least dt0, below 2 dt0) and drops intervals
// shorter than dt0, whose motion it skips along the same curve.
constexpr double FOLLOW_TOL = 0.01;

void checkRebuiltMotion()
{
    SimState& g = sim;
    char printed[2][32];
    std::snprintf(printed[0], sizeof printed[0], "%7.4f", g.tf);
    std::snprintf(printed[1], sizeof printed[1], "%7.4f", g.TIME[g.mf]);
    CHECK(std::strcmp(printed[0], printed[1]) == 0, "printed tf = %s, TIME[mf] = %s", printed[0], printed[1]);
    const int sign = g.accSign;
    double vMax = 0.0;
    for (int i = 0; i <= joinedLast; ++i) vMax = std::fmax(vMax, joinedPhase[i][1]);
    for (int i = 0; i <= g.mf; ++i) {
        CHECK(withinLimits(g.accTab[i]), "rebuilt point %d records accelerations (%.17g %.17g) beyond the limits", i,
              g.accTab[i][1], g.accTab[i][2]);
        // Under the velocity limit: the largest admissible acceleration exists there.
        double acc[3];
        g.accSign = +1;
        phaseRhs(1, 0.0, g.phase[i], acc);
        g.accSign = sign;
        CHECK(withinLimits(acc), "rebuilt point %d (%.17g, %.17g) lies above the velocity limit (%.17g %.17g)", i,
              g.phase[i][0], g.phase[i][1], acc[1], acc[2]);
        if (joinedLast >= 1 && vMax > 0.0) {
            const double d = distanceToJoined(g.phase[i][0], g.phase[i][1], g.sEnd[g.cpType], vMax);
            CHECK(d <= FOLLOW_TOL, "rebuilt point %d (%.17g, %.17g) lies %.3g off the joined trajectory", i,
                  g.phase[i][0], g.phase[i][1], d);
        }
    }
    // The motion ends at the goal at rest.
    CHECK(std::fabs(g.phase[g.mf][0] - g.sEnd[g.cpType]) <= 1e-9 && g.phase[g.mf][1] == 0.0,
          "the rebuilt motion ends at (%.17g, %.17g), not at rest at the goal s = %.17g", g.phase[g.mf][0],
          g.phase[g.mf][1], g.sEnd[g.cpType]);
    ++total.rebuildsChecked;
}

void checkCompletion(Session& ss)
{
    const SimState& g = sim;
    ++total.completed;
    CHECK(g.m == 0 && g.playK == 0, "the ended search starts its playback at m = %d, playK = %d", g.m, g.playK);
    CHECK(same(g.nctRec[g.NCT][0], g.tf), "last axis-force record at t = %.17g, tf = %.17g", g.nctRec[g.NCT][0], g.tf);
    CHECK(g.finalXY[0][0] == g.cpStart[g.cpType][0] && g.finalXY[0][1] == g.cpStart[g.cpType][1],
          "final trajectory starts at (%.17g, %.17g), not at the start of the path", g.finalXY[0][0], g.finalXY[0][1]);
    if (g.NCHN >= 1) {
        const int last = g.NCHN > REC_LAST ? REC_LAST : g.NCHN;
        CHECK(g.accTab[g.mf][1] == 0.0 && g.accTab[g.mf][2] == 0.0 && g.finalXY[g.mf][2] == 0.0 &&
                  g.finalXY[g.mf][3] == 0.0 && g.chnRec[last][3] == 0.0 && g.chnRec[last][4] == 0.0,
              "the axes are not at rest at the end of the motion (mf = %d)", g.mf);
    }
    if (ss.valid) checkRebuiltMotion();
    std::memcpy(&atEnd, &sim, sizeof sim);
}

// Presses one key and checks its effect. False when the session is over (ESC).
bool pressKey(Session& ss, unsigned char key)
{
    SimState& g = sim;
    const Pre p = capture();
    std::memcpy(beforeRecords, sim.chnRec, sizeof beforeRecords);
    const int frames0 = frameCalls;
    const int exits0 = exitCalls;
    const bool wholeState = !isAssigned(key) || key == 27;
    Expect e;
    if (key == 'k' || key == 'u') e = prepareInput(ss, static_cast<char>(key));
    if (wholeState || key == 'k' || key == 'u') std::memcpy(&beforeKey, &sim, sizeof sim);

    updateWatchdog();
    alarm(WATCHDOG_S);
    onKey(key, 0, 0);
    alarm(0);

    const int frames = frameCalls - frames0;
    total.frames += frames;
    ++total.keys;
    CHECK(g.lastKey == static_cast<char>(key), "lastKey = %d after key %d", g.lastKey, key);
    CHECK(frames == (isFrameKey(key) ? 1 : 0), "key made %d frames", frames);

    if (key == 27) {
        ++total.escapes;
        CHECK(exitCalls == exits0 + 1 && exitStatus == 0, "ESC: %d exits, status %d", exitCalls - exits0,
              exitStatus);
        beforeKey.lastKey = static_cast<char>(key);
        CHECK(sameBytes(&beforeKey, &sim, sizeof sim), "ESC changed the state");
        return false;
    }
    CHECK(exitCalls == exits0, "key %d asked for the process exit", key);
    if (wholeState) {
        ++total.unassigned;
        beforeKey.lastKey = static_cast<char>(key);
        CHECK(sameBytes(&beforeKey, &sim, sizeof sim), "an unassigned key changed the state");
        checkState(ss);
        return true;
    }
    if (key == 'k' || key == 'u') {
        checkAfterDialogue(ss, beforeKey, e, static_cast<char>(key));
        return true;
    }

    const char* d = frozenDiff(atDialogue);
    CHECK(d == nullptr, "%s changed between dialogues", d);

    // View state: only the view keys change it, by their fixed steps.
    const double zoomNow = key == 'w' ? p.zoom * 0.9 : key == 'W' ? p.zoom / 0.9 : p.zoom;
    const double phNow = key == 'w' ? p.phscale * 0.9 : key == 'W' ? p.phscale / 0.9 : p.phscale;
    const double xsNow = key == 'x' ? p.xshift - 0.05 : key == 'X' ? p.xshift + 0.05 : p.xshift;
    const double ysNow = key == 'y' ? p.yshift - 0.05 : key == 'Y' ? p.yshift + 0.05 : p.yshift;
    CHECK(g.zoom == zoomNow && g.phscale == phNow && g.xshift == xsNow && g.yshift == ysNow,
          "view (%.17g %.17g %.17g %.17g), expected (%.17g %.17g %.17g %.17g)", g.zoom, g.phscale, g.xshift,
          g.yshift, zoomNow, phNow, xsNow, ysNow);

    // Every frame takes tf from the last switching record.
    CHECK(same(g.tf, g.chnRec[g.NCHN][0]), "tf = %.17g, time of chnRec[NCHN] = %.17g", g.tf, g.chnRec[g.NCHN][0]);

    const bool finished = p.endMark != 'e' && g.endMark == 'e';
    const bool recordsFinal = p.joinMark == 'f' || p.endMark == 'e';
    if (recordsFinal && std::strchr("crtf0", key) != nullptr) {
        // Joined records are final: these keys only step the playback.
        CHECK(g.NCHN == p.NCHN, "key '%c' changed the records of a joined trajectory: NCHN %d->%d", key, p.NCHN, g.NCHN);
        CHECK(sameBytes(beforeRecords, g.chnRec, sizeof(double[5]) * (p.NCHN + 1)) || finished,
              "key '%c' changed the records of a joined trajectory", key);
        CHECK(g.dt == p.dt || finished, "key '%c' changed dt in the joined playback", key);
    }
    if (!finished && !recordsFinal) {
        switch (key) {
        case 'c':
            CHECK(g.dt == g.dt0, "'c' left dt = %.17g", g.dt);
            CHECK(g.NCHN == p.NCHN || g.NCHN == p.NCHN + 1 || g.NCHN == p.NCHN - 1, "'c': NCHN %d -> %d", p.NCHN, g.NCHN);
            if (g.NCHN == p.NCHN + 1)
                CHECK(g.chnStep[g.NCHN] == clampIndex(p.m) && sameBytes(&g.chnRec[g.NCHN][1], p.phaseM, sizeof(double[2])),
                      "'c' recorded point %d, expected the point %d in force", g.chnStep[g.NCHN], p.m);
            break;
        case 'r':
            CHECK(g.dt == g.dt0, "'r' left dt = %.17g", g.dt);
            break;
        case 't':
            CHECK(g.dt == g.dt0 / g.nSub, "'t' left dt = %.17g", g.dt);
            break;
        case '0':
            CHECK(g.NCHN == 0 && g.accSign == 1 && g.dt == g.dt0, "'0' left NCHN %d accSign %d dt %.17g", g.NCHN,
                  g.accSign, g.dt);
            CHECK(g.accTab[0][1] == g.chnRec[0][3] && g.accTab[0][2] == g.chnRec[0][4],
                  "'0' left the start accelerations (%.17g %.17g) and the start record (%.17g %.17g) apart",
                  g.accTab[0][1], g.accTab[0][2], g.chnRec[0][3], g.chnRec[0][4]);
            break;
        default:
            break;
        }
    }
    if (key == 'f' && !recordsFinal) {
        if (g.joinMark == 'f' || finished) {
            ++total.joins;
            snapshotJoined();
            if (!finished) {
                CHECK(g.chnStep[g.NCHN] == g.mf, "end record at index %d, mf = %d", g.chnStep[g.NCHN], g.mf);
                CHECK(g.m == g.junctionIndex + 1, "joined playback at m = %d, junction at %d", g.m, g.junctionIndex);
                CHECK(same(g.TIME[g.mf], g.tf), "TIME[mf] = %.17g, tf = %.17g", g.TIME[g.mf], g.tf);
                const double vEndNow = g.chnRec[g.NCHN][2];
                if (ss.valid && std::isfinite(g.phase[g.mf - 1][1]))
                    CHECK(std::fabs(vEndNow) <= 1e-9 * (1.0 + std::fabs(g.phase[g.mf - 1][1])),
                          "joined trajectory ends at ds/dt = %.17g", vEndNow);
            }
        } else {
            CHECK(g.NCHN == p.NCHN && g.joinMark == '0', "a refused join left NCHN %d->%d joinMark %d", p.NCHN,
                  g.NCHN, g.joinMark);
        }
    }
    if ((key == 's' || key == 'f') && p.endMark != 'e' && g.joinMark != 'f')
        CHECK(g.m <= g.stepMax + 2, "'%c' while searching took m to %d", key, g.m);

    if (p.endMark == 'e') {
        // Playback: the index after the key's own change, advanced by one frame.
        int c = p.m;
        if (std::strchr("sfcrt", key) != nullptr) c = p.m > p.mNormal ? p.mNormal : p.m;
        if (key == '0') c = 0;
        int adv = c + 1 > TRAJ_LAST ? TRAJ_LAST : c + 1;
        const int mWant = adv > g.mNormal ? g.mNormal : adv;
        const int kWant = adv < g.mf ? adv : g.mf;
        CHECK(g.m == mWant && g.playK == kWant, "playback at m = %d, playK = %d; expected %d, %d", g.m, g.playK,
              mWant, kWant);
        checkResultsKept();
    }

    if (p.joinMark != 'f' && g.joinMark == 'f' && key != 'f') fail("joinMark set by key %d", key);
    if (finished) checkCompletion(ss);
    checkState(ss);
    return true;
}

// ---------------------------------------------------------------- sessions

FILE* devNull = nullptr;

bool timeUp() { return elapsed() >= opt.seconds; }

// Runs one session; false when the time ran out in it.
bool runSession(long index)
{
    curSession = index;
    curKeyIndex = -1;
    curKey = -1;
    keyLog.clear();
    inputLog.clear();

    Session ss;
    ss.rng.state = mix64(opt.seed ^ mix64(static_cast<uint64_t>(index) + 1));

    sim = SimState{};
    conSetStreams(devNull, nullptr);
    initDefaults();
    std::memcpy(&afterDefaults, &sim, sizeof sim);

    const Expect e = prepareInput(ss, 0);
    std::memcpy(&beforeKey, &sim, sizeof sim);
    sim.lastKey = '0';
    updateWatchdog();
    alarm(WATCHDOG_S);
    setupDialogue();
    alarm(0);
    checkAfterDialogue(ss, afterDefaults, e, 0);

    const int budget = ss.rng.chance(0.2) ? ss.rng.range(2000, 6000) : ss.rng.range(100, 2000);
    Planner plan;
    bool inTime = true;
    long keys = 0;
    for (int k = 0; k < budget; ++k) {
        if (timeUp()) {
            inTime = false;
            break;
        }
        const int key = nextKey(ss, plan);
        curKeyIndex = k;
        curKey = key;
        logKey(static_cast<unsigned char>(key));
        ++keys;
        const bool more = pressKey(ss, static_cast<unsigned char>(key));
        if (opt.trace) {
            const int i = trajectoryPlotLast();
            std::printf("fuzz_core: key %d %s: m=%d phase=(%.17g, %.17g) acc=(%.6g %.6g %.6g) accSign=%d NCHN=%d "
                        "mf=%d end=%c join=%c\n",
                        k, keyName(key).c_str(), sim.m, sim.phase[i][0], sim.phase[i][1], sim.accTab[i][0],
                        sim.accTab[i][1], sim.accTab[i][2], sim.accSign, sim.NCHN, sim.mf, sim.endMark, sim.joinMark);
        }
        if (!more) break;
    }

    conSetStreams(devNull, nullptr);
    if (ss.in != nullptr) std::fclose(ss.in);
    ++total.sessions;
    if (opt.verbose) {
        std::printf("fuzz_core: session %ld: %ld keys, %d dialogues, type %d, valid %d, ended %d\n", index, keys,
                    ss.dialogues, sim.cpType, ss.valid ? 1 : 0, sim.endMark == 'e' ? 1 : 0);
        for (const std::string& in : inputLog) std::printf("fuzz_core:   input \"%s\"\n", escaped(in).c_str());
    }
    return inTime;
}

[[noreturn]] void usage()
{
    std::fprintf(stderr,
                 "usage: fuzz_core [--seconds S] [--seed N] [--sessions N] [--session K] [--verbose] [--trace]\n");
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) usage();
            return argv[++i];
        };
        if (a == "--seconds")
            opt.seconds = std::atof(value());
        else if (a == "--seed")
            opt.seed = std::strtoull(value(), nullptr, 0);
        else if (a == "--sessions")
            opt.maxSessions = std::atol(value());
        else if (a == "--session")
            opt.onlySession = std::atol(value());
        else if (a == "--verbose")
            opt.verbose = true;
        else if (a == "--trace")
            opt.trace = true;
        else
            usage();
    }
    if (opt.onlySession >= 0) opt.seconds = 1e9;  // a replay runs to its end

    clock_gettime(CLOCK_MONOTONIC, &startTime);
    std::signal(SIGALRM, onWatchdog);
    devNull = std::fopen("/dev/null", "w");
    if (devNull == nullptr) {
        std::perror("fuzz_core: /dev/null");
        return 2;
    }
    setFrameFunction(countingFrame);
    setExitFunction(recordExit);

    std::printf("fuzz_core: seed=%" PRIu64 " seconds=%g\n", opt.seed, opt.seconds);
    std::fflush(stdout);

    if (opt.onlySession >= 0) {
        runSession(opt.onlySession);
    } else {
        for (long s = 0; opt.maxSessions < 0 || s < opt.maxSessions; ++s)
            if (!runSession(s) || timeUp()) break;
    }

    std::printf("fuzz_core: sessions=%ld frames=%ld keys=%ld dialogues=%ld (well-formed %ld) joins=%ld "
                "completed=%ld (rebuilds checked %ld) checked=%ld unassigned=%ld esc=%ld time=%.1fs\n",
                total.sessions, total.frames, total.keys, total.dialogues, total.exactDialogues, total.joins,
                total.completed, total.rebuildsChecked, total.checkedKeys, total.unassigned, total.escapes, elapsed());
    std::printf("fuzz_core: ok\n");
    return 0;
}
