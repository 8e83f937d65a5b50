// The session record of the window program and the comparison with the optimum
// after each search. Reads the path, limits and search state of `sim`; the
// comparison computes `optimum`. Writes only its own file and the console.
#include "app/record.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <unistd.h>

#include "core/console.h"
#include "core/state.h"
#include "planner/optimum.h"

namespace {

FILE* out = nullptr;            // the session file; nullptr without --record
const char* outPath = "";
bool writeFailed = false;       // the first failed write was reported
bool answerShown = false;       // --answer

// The search being recorded: its keys as runs of one key.
unsigned char runKey[RECORD_RUN_CAP];
long runCount[RECORD_RUN_CAP];
int nRuns = 0;
long presses = 0;
bool overflow = false;          // more keys than a record holds: written as such
bool written = false;           // the search's record is written (or it had no keys)
int searchNo = 0;               // number of the last record written

// Frames: each key that acts draws one; the window draws others by itself (when it
// is first shown, when it is uncovered), and each of those steps the search too.
bool keyFramePending = false;   // the next frame is the one of the key just pressed
bool sawFrame = false;          // the search had a frame before its first key
bool sawKey = false;            // the search has had a key
bool firstFrameMissing = false; // its first key came before any frame of the window

// The keys that act in the window during a search; the others do nothing there.
bool actingKey(unsigned char key) { return key != 0 && std::strchr("stcrf0wWxXyY", key) != nullptr; }

void addKey(unsigned char key)
{
    if (overflow) return;
    if (presses >= RECORD_PRESS_MAX) {
        overflow = true;
        return;
    }
    ++presses;
    if (nRuns > 0 && runKey[nRuns - 1] == key) {
        ++runCount[nRuns - 1];
        return;
    }
    if (nRuns >= RECORD_RUN_CAP) {
        overflow = true;
        return;
    }
    runKey[nRuns] = key;
    runCount[nRuns] = 1;
    ++nRuns;
}

void forgetKeys()
{
    nRuns = 0;
    presses = 0;
    overflow = false;
    written = false;
    sawFrame = false;
    sawKey = false;
    firstFrameMissing = false;
    keyFramePending = false;
}

void writeLine(const char* text)
{
    if (std::fputs(text, out) == EOF && !writeFailed) {
        writeFailed = true;
        conErrorf("cptoc: 記録ファイル %s に書けません\n", outPath);
    }
}

void writePath()
{
    const SimState& g = sim;
    char d1[32], d2[32];
    switch (g.cpType) {
    case CP_ARC: formatExact(g.arcR, d1); formatArcDegrees(g.sEnd[CP_ARC], d2); break;
    case CP_SINE: formatExact(g.sinL, d1); formatExact(g.sinA, d2); break;
    case CP_U: formatExact(g.uL, d1); formatExact(g.uR, d2); break;
    case CP_SLALOM: formatExact(g.slmR, d1); std::snprintf(d2, sizeof d2, "%d", g.slmN); break;
    case CP_CAM_ACC: formatExact(g.camL, d1); formatExact(g.camH, d2); break;
    default: formatExact(g.cycL, d1); formatExact(g.cycH, d2); break;
    }
    char line[128];
    std::snprintf(line, sizeof line, "path %s %s %s\n", recordTypeName(g.cpType), d1, d2);
    writeLine(line);
    formatExact(g.xamax, d1);
    formatExact(g.yamax, d2);
    std::snprintf(line, sizeof line, "limits %s %s\n", d1, d2);
    writeLine(line);
}

// The keys in notation, wrapped into "keys" lines of at most RECORD_KEYS_WIDTH
// bytes (a single token longer than that keeps a line of its own).
void writeKeys()
{
    int used = 0;
    for (int i = 0; i < nRuns; ++i) {
        char token[32];
        if (runCount[i] == 1)
            std::snprintf(token, sizeof token, "%c", runKey[i]);
        else
            std::snprintf(token, sizeof token, "%c*%ld", runKey[i], runCount[i]);
        const int len = static_cast<int>(std::strlen(token));
        if (used > 0 && used + 1 + len > RECORD_KEYS_WIDTH) {
            writeLine("\n");
            used = 0;
        }
        writeLine(used == 0 ? "keys " : " ");
        used += used == 0 ? 5 : 1;
        writeLine(token);
        used += len;
    }
    writeLine("\n");
}

// The record of the search in force; result is the result line without its newline.
void writeRecord(const char* result)
{
    written = true;
    if (out == nullptr || presses == 0) return;  // nothing was tried: nothing to grade
    char line[64];
    std::snprintf(line, sizeof line, "search %d\n", ++searchNo);
    writeLine(line);
    writePath();
    if (overflow) {
        writeLine("# more keys than one record holds\noverflow\n\n");
    } else {
        if (firstFrameMissing) writeLine("first-frame no\n");
        writeKeys();
        writeLine(result);
        writeLine("\n\n");
    }
    // On disk now: a crash or a closed window loses at most the search in progress.
    if (std::fflush(out) != 0 && !writeFailed) {
        writeFailed = true;
        conErrorf("cptoc: 記録ファイル %s に書けません\n", outPath);
    }
    fsync(fileno(out));
}

void writeLeft(const char* how)
{
    const SimState& g = sim;
    int m = g.m;
    if (m < 0) m = 0;
    if (m > TRAJ_CAP - 1) m = TRAJ_CAP - 1;
    char t[32];
    formatExact(g.TIME[m], t);
    char result[96];
    std::snprintf(result, sizeof result, "left %s %d %s", how, g.m, t);
    writeRecord(result);
}

// A difference as the four decimals show it: one that rounds to zero prints as +0.0000.
double shown(double v) { return std::fabs(v) < 5e-5 ? 0.0 : v; }

void printComparison()
{
    const SimState& g = sim;
    computeOptimum();
    conPrintf("\n\n/*************** 最適解との比較 ************************************/");
    if (!optimum.ok || !(optimum.tf > 0.0)) {
        conPrintf("\n最適解が求まりませんでした");
    } else {
        const double diff = g.tf - optimum.tf;
        conPrintf("\n探索の位置決め時間 tf=%7.4f[s]  最適解 tf=%7.4f[s]", g.tf, optimum.tf);
        conPrintf("\n最適解との差 %+7.4f[s] (%+.2f%%)", shown(diff),
                  std::fabs(diff / optimum.tf) < 5e-5 ? 0.0 : diff / optimum.tf * 100.0);
        const int n = optimum.nSwitch < OPT_SWITCH_CAP ? optimum.nSwitch : OPT_SWITCH_CAP;
        conPrintf("\n最適解の切り替え点 N=%d (窓では紫の曲線と輪)", n);
        for (int k = 0; k < n; ++k)
            conPrintf("\nt%d=%7.4f S[]=(%7.4f %7.4f)", k + 1, optimum.sw[k].t, optimum.sw[k].s, optimum.sw[k].v);
    }
    conPrintf("\n/**************** 比較終わり ***************************************/");
    conPrintf("\n");
}

// A window closed by its frame button ends the program through exit().
void atExit() { recordClose(); }

}  // namespace

void recordClose()
{
    if (out == nullptr) return;
    if (!written) writeLeft("close");
    std::fclose(out);
    out = nullptr;
    searchNo = 0;
    writeFailed = false;
    forgetKeys();
}

const char* recordTypeName(int type)
{
    static const char* const names[TYPE_CAP] = {"", "arc", "sine", "u", "slalom", "cam", "cycloid"};
    return type >= 1 && type < TYPE_CAP ? names[type] : "";
}

bool recordOpen(const char* path)
{
    outPath = path;
    out = std::fopen(path, "a+");
    if (out == nullptr) {
        conErrorf("cptoc: 記録ファイル %s を開けません: %s\n", path, std::strerror(errno));
        return false;
    }
    // An existing file is appended to only when it is a session file already.
    std::rewind(out);
    char first[64] = "";
    if (std::fgets(first, sizeof first, out) == nullptr) {
        std::fseek(out, 0, SEEK_END);
        writeLine(RECORD_FORMAT_LINE);
        writeLine("\n\n");
        std::fflush(out);
    } else {
        first[std::strcspn(first, "\r\n")] = '\0';
        if (std::strcmp(first, RECORD_FORMAT_LINE) != 0) {
            conErrorf("cptoc: %s は記録ファイル(1行目 %s)ではありません。別の名前にしてください\n", path,
                      RECORD_FORMAT_LINE);
            std::fclose(out);
            out = nullptr;
            return false;
        }
        // Numbers go on after the records already in the file.
        char line[256];
        for (long lines = 0; lines < 100000000L && std::fgets(line, sizeof line, out) != nullptr; ++lines) {
            int n = 0;
            if (std::sscanf(line, "search %d", &n) == 1 && n > searchNo) searchNo = n;
        }
        std::fseek(out, 0, SEEK_END);
    }
    static bool hooked = false;
    if (!hooked) std::atexit(atExit);
    hooked = true;
    forgetKeys();
    return true;
}

void recordNewSession() { forgetKeys(); }

bool recordSnapshot(const char* copy)
{
    if (out == nullptr) return false;
    std::fflush(out);
    FILE* from = std::fopen(outPath, "rb");
    FILE* to = std::fopen(copy, "wb");
    bool ok = from != nullptr && to != nullptr;
    if (ok) {
        char chunk[4096];
        // Ends at the end of the file (or at a read error).
        for (;;) {
            const size_t n = std::fread(chunk, 1, sizeof chunk, from);
            if (n == 0) break;
            if (std::fwrite(chunk, 1, n, to) != n) ok = false;
        }
        // The search in progress goes into the copy alone, through the same writing
        // as every record; its own record and numbering stay as they were.
        if (!written) {
            FILE* const session = out;
            const char* const sessionPath = outPath;
            const int lastNo = searchNo;
            const bool failedBefore = writeFailed;
            out = to;
            outPath = copy;
            writeLeft("ESC");
            out = session;
            outPath = sessionPath;
            searchNo = lastNo;
            written = false;
            if (writeFailed && !failedBefore) ok = false;
            writeFailed = failedBefore;
        }
    }
    if (from != nullptr) std::fclose(from);
    if (to != nullptr && std::fclose(to) != 0) ok = false;
    return ok;
}

void setAnswerShown(bool on) { answerShown = on; }

void recordKey(unsigned char key)
{
    if (out == nullptr && !answerShown) return;
    const bool leaves = key == 'k' || key == 'u' || key == 27;
    if (leaves) {
        if (!written) writeLeft(key == 27 ? "ESC" : key == 'k' ? "k" : "u");
        if (key != 27) forgetKeys();  // the dialogue that follows starts a new search
        return;
    }
    keyFramePending = false;
    if (written || !actingKey(key)) return;
    if (!sawKey && !sawFrame) firstFrameMissing = true;
    sawKey = true;
    addKey(key);
    keyFramePending = true;
}

void recordFrameDone()
{
    if (out == nullptr && !answerShown) return;
    if (!written) {
        if (keyFramePending) {
            keyFramePending = false;  // the frame of the key
        } else if (!sawKey && !sawFrame) {
            sawFrame = true;  // the first showing of the search, which the replay draws itself
        } else {
            addKey('s');  // a frame the window drew by itself steps the search as 's' does
        }
    }
    if (written || sim.endMark != 'e') return;
    char tf[32];
    formatExact(sim.tf, tf);
    char result[64];
    std::snprintf(result, sizeof result, "ended %s", tf);
    writeRecord(result);
    if (answerShown) printComparison();
}

void formatExact(double v, char* out32)
{
    for (int precision = 15; precision <= 17; ++precision) {
        std::snprintf(out32, 32, "%.*g", precision, v);
        if (std::strtod(out32, nullptr) == v) return;
    }
}

void formatArcDegrees(double sEnd, char* out32)
{
    // The degrees nearest sEnd / DEG2RAD whose product with DEG2RAD is sEnd exactly
    // (RAD2DEG is no exact inverse of DEG2RAD: it is off by some 1e-9).
    const double d0 = sEnd / DEG2RAD;
    constexpr int NEIGHBOURS = 8;
    for (int precision = 15; precision <= 17; ++precision) {
        double below = d0, above = d0;
        for (int k = 0; k <= NEIGHBOURS; ++k) {
            for (double d : {below, above}) {
                std::snprintf(out32, 32, "%.*g", precision, d);
                if (std::strtod(out32, nullptr) * DEG2RAD == sEnd) return;
            }
            below = std::nextafter(below, -HUGE_VAL);
            above = std::nextafter(above, HUGE_VAL);
        }
    }
    formatExact(d0, out32);
}
