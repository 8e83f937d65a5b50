// Recorded sessions read, replayed and graded: a full grade block per record for
// one file, a table of a class for several, the table as CSV. Drives `sim` and
// `optimum` record by record, as the answer key does for one --keys session.
#include "answer/session.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "answer/files.h"
#include "answer/grade.h"
#include "answer/report.h"
#include "app/record.h"
#include "core/conditions.h"
#include "core/console.h"
#include "core/messages.h"
#include "core/state.h"
#include "planner/optimum.h"
#include "planner/session_check.h"

namespace {

constexpr int TOKEN_CAP = 8;            // words of one line that are looked at
constexpr double SAME_RESULT = 1e-9;    // relative: a replay reproduces what was recorded

char fileText[SESSION_TEXT_CAP + 1];
char keysText[SESSION_TEXT_CAP + 1];    // the "keys" lines of one record, joined
KeySession keys;

// One record as read from its block.
struct Record {
    int line = 0;                  // line of its "search" line
    int number = 0;
    char* path[TOKEN_CAP] = {};    // TYPE D1 D2
    int nPath = 0;
    char* limits[TOKEN_CAP] = {};  // XAMAX YAMAX
    int nLimits = 0;
    long keysLength = 0;
    bool firstFrame = true;        // false after "first-frame no"
    bool ended = false;            // "ended TF"
    double tf = 0;
    const char* how = "";          // "left HOW M T"
    int m = 0;
    double t = 0;
};

// Splits line into blank-separated words in place; at most TOKEN_CAP are kept,
// the count returned is of all words.
int splitWords(char* line, char* word[TOKEN_CAP])
{
    int n = 0;
    char* p = line;
    // Each pass consumes at least one byte of the line or ends the loop.
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == '\0') break;
        if (n < TOKEN_CAP) word[n] = p;
        ++n;
        while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
        if (*p == '\0') break;
        *p++ = '\0';
    }
    return n;
}

bool readNumber(const char* text, double* v)
{
    char* end = nullptr;
    errno = 0;
    *v = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(*v);
}

// The report goes where the console went when grading began; refusals to standard error.
FILE* reportStream = nullptr;
void toErrors() { conSetStreams(stderr, conInStream()); }
void toReport() { conSetStreams(reportStream, conInStream()); }

void refuse(const char* file, int line, const char* what)
{
    conErrorf("  %s:%d: %s\n", file, line, what);
}

// ---- Grading one record ----

const char* fileName = "";
bool detailed = false;                // one file: the full report per record
OutFile csv;
bool csvOpen = false;
ReplayOutcome replayed;

void replayKeys() { replayed = replaySession(keys); }

bool reproduces(const Record& r)
{
    const SimState& g = sim;
    if (r.ended) {
        if (!replayed.ended) return false;
        return std::fabs(g.tf - r.tf) <= SAME_RESULT * (1.0 + std::fabs(r.tf));
    }
    int m = g.m;
    if (m < 0) m = 0;
    if (m > TRAJ_CAP - 1) m = TRAJ_CAP - 1;
    return !replayed.ended && g.m == r.m && std::fabs(g.TIME[m] - r.t) <= SAME_RESULT * (1.0 + std::fabs(r.t));
}

// "終了" or where the search was left, for the table.
void resultText(const Record& r, char* out, int cap)
{
    if (replayed.ended)
        std::snprintf(out, static_cast<size_t>(cap), "%s", tr("終了"));
    else
        std::snprintf(out, static_cast<size_t>(cap), tr("%s で中断 t=%.4f"), r.how, r.t);
}

// The record's row: on the console for a class (several files), in the CSV always.
void tableRow(const Record& r, bool same)
{
    const SimState& g = sim;
    char result[64];
    resultText(r, result, sizeof result);
    char tf[24] = "-", best[24] = "-", diff[24] = "-";
    if (replayed.ended) std::snprintf(tf, sizeof tf, "%.4f", g.tf);
    if (optimum.ok) std::snprintf(best, sizeof best, "%.4f", optimum.tf);
    // A motion that fails the session check has no difference to show (the grade block says why).
    if (replayed.ended && optimum.ok && optimum.tf > 0.0 && checkSession().sound())
        std::snprintf(diff, sizeof diff, "%+.2f", g.tf > optimum.tf ? (g.tf / optimum.tf - 1.0) * 100.0 : 0.0);
    if (!detailed)
        conPrintf("\n%-20s %4d  %-8s %9s %9s %7s %7s %8s %8s %7s  %s%s", fileName, r.number, r.path[0], r.path[1],
                  r.path[2], r.limits[0], r.limits[1], tf, best, diff, result, same ? "" : tr("  (記録と不一致)"));
    if (!csvOpen) return;
    char row[512];
    const int n = std::snprintf(row, sizeof row, "%s,%d,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s\n", fileName, r.number,
                                r.path[0], r.path[1], r.path[2], r.limits[0], r.limits[1], tf, best, diff,
                                replayed.ended ? "ended" : r.how, same ? "yes" : "no");
    if (n > 0) outWrite(&csv, row, static_cast<size_t>(n < static_cast<int>(sizeof row) ? n : sizeof row - 1));
}

// The checks of a record, run once quietly to learn whether it is usable and
// once more under its heading when it is not, so that the refusal lines follow it.
const char* const* checkPos = nullptr;
AnswerArgs checkCond;
long checkKeysLength = 0;
bool checkFirstFrame = true;
bool checkOk = false;

void checkRecord()
{
    checkOk = takeConditions(checkPos, &checkCond) && parseKeys(keysText, checkKeysLength, &keys);
    keys.firstShowing = checkFirstFrame;
}

// Conditions and keys of a complete record checked, then replayed and graded.
// False (with the refusal lines) when the record is skipped.
bool gradeRecord(Record& r, SessionOutcome* o)
{
    if (r.nPath != 3 || r.nLimits != 2) {
        refuse(fileName, r.line, tr("記録に path 行か limits 行がありません(記録を飛ばします)"));
        return false;
    }
    const char* pos[5] = {r.path[0], r.path[1], r.path[2], r.limits[0], r.limits[1]};
    checkPos = pos;
    checkKeysLength = r.keysLength;
    checkFirstFrame = r.firstFrame;
    runQuietly(checkRecord);
    if (!checkOk) {
        char what[192];
        std::snprintf(what, sizeof what, tr("記録 %d の条件かキー操作を使えません(記録を飛ばします)"), r.number);
        refuse(fileName, r.line, what);
        toErrors();
        checkRecord();
        conPrintf("\n");
        toReport();
        return false;
    }

    applyAnswerArgs(checkCond);
    prepareQuietly();
    computeOptimum();
    const double tfNormal = normalTimeForOptimum();
    if (detailed) {
        conPrintf("\n\n==== %s 記録 %d (%d行目) ====", fileName, r.number, r.line);
        printConditions();
        printOptimumReport(tfNormal);
        conPrintf("\n\n/*************** キー操作の再生(窓のコンソール出力) ****************/");
        replayKeys();
        printGrade(replayed);
    } else {
        runQuietly(replayKeys);
    }
    const SessionCheck check = checkSession();
    if (check.ended && !check.sound()) ++o->unsound;
    const bool same = reproduces(r);
    if (!same) ++o->mismatched;
    if (detailed) {
        if (same)
            conPrintf("記録との照合: 再生の結果は記録と同じです\n");
        else
            conPrintf("記録との照合: 再生の結果が記録(%s)と違います。手で書き換えた記録か、別の版の記録です\n",
                      r.ended ? tr("終了") : tr("中断"));
    }
    tableRow(r, same);
    ++o->graded;
    return true;
}

// ---- Reading one file ----

// Reads the whole file into fileText; false (with its line unless quiet) when it cannot.
bool loadFile(const char* path, long* length, bool quiet)
{
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        if (!quiet) conErrorf("  %s を読めません: %s\n", path, std::strerror(errno));
        return false;
    }
    const size_t n = std::fread(fileText, 1, static_cast<size_t>(SESSION_TEXT_CAP) + 1, f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        if (!quiet) conErrorf("  %s を読めません\n", path);
        return false;
    }
    if (n > static_cast<size_t>(SESSION_TEXT_CAP)) {
        if (!quiet) conErrorf("  %s が大きすぎます(%ld バイトまで)\n", path, SESSION_TEXT_CAP);
        return false;
    }
    fileText[n] = '\0';
    *length = static_cast<long>(n);
    return true;
}

// A record whose block ended without its result line.
void truncated(const Record& r, SessionOutcome* o)
{
    char what[192];
    std::snprintf(what, sizeof what, tr("記録 %d が途中で切れています(結果の行がありません。記録を飛ばします)"), r.number);
    refuse(fileName, r.line, what);
    ++o->skipped;
}

void gradeFile(const char* path, SessionOutcome* o)
{
    fileName = path;
    long length = 0;
    if (!loadFile(path, &length, false)) {
        ++o->skipped;
        return;
    }
    Record r;
    bool open = false;   // a "search" line was read, its result not yet
    bool bad = false;    // the open record has a line that cannot be read
    int lineNo = 0;
    char* p = fileText;
    char* const end = fileText + length;
    // Each pass consumes one line: p moves past its newline or to the end.
    while (p < end) {
        char* line = p;
        char* nl = static_cast<char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        p = nl != nullptr ? nl + 1 : end;
        if (nl != nullptr) *nl = '\0';
        ++lineNo;
        const size_t len = std::strlen(line);
        if (len > 0 && line[len - 1] == '\r') line[len - 1] = '\0';
        if (lineNo == 1) {
            if (std::strcmp(line, RECORD_FORMAT_LINE) != 0) {
                char what[128];
                std::snprintf(what, sizeof what, tr("記録ファイルではありません(1行目が %s ではありません)"),
                              RECORD_FORMAT_LINE);
                refuse(path, 1, what);
                ++o->skipped;
                return;
            }
            continue;
        }
        if (line[0] == '#') continue;
        const bool keysLine = std::strncmp(line, "keys", 4) == 0 && (line[4] == ' ' || line[4] == '\t' || line[4] == '\0');
        if (keysLine && open) {
            // The rest of the line after "keys"; the lines of a record are joined by blanks.
            const char* rest = line + 4;
            const long add = static_cast<long>(std::strlen(rest));
            if (r.keysLength + add + 1 > SESSION_TEXT_CAP) {
                refuse(path, lineNo, tr("キー操作が長すぎます"));
                bad = true;
            } else {
                std::memcpy(keysText + r.keysLength, rest, static_cast<size_t>(add));
                r.keysLength += add;
                keysText[r.keysLength++] = ' ';
            }
            continue;
        }
        char* word[TOKEN_CAP] = {};
        const int n = splitWords(line, word);
        if (n == 0) continue;
        if (std::strcmp(word[0], "search") == 0) {
            if (open) truncated(r, o);
            r = Record{};
            open = true;
            bad = false;
            r.line = lineNo;
            r.number = n >= 2 ? std::atoi(word[1]) : 0;
            keysText[0] = '\0';
            continue;
        }
        if (!open) {
            refuse(path, lineNo, tr("search 行の外にある行です(無視します)"));
            continue;
        }
        if (std::strcmp(word[0], "path") == 0 && n == 4) {
            for (int k = 0; k < 3; ++k) r.path[k] = word[k + 1];
            r.nPath = 3;
        } else if (std::strcmp(word[0], "first-frame") == 0 && n == 2 && std::strcmp(word[1], "no") == 0) {
            r.firstFrame = false;
        } else if (std::strcmp(word[0], "limits") == 0 && n == 3) {
            for (int k = 0; k < 2; ++k) r.limits[k] = word[k + 1];
            r.nLimits = 2;
        } else if (std::strcmp(word[0], "ended") == 0 && n == 2 && readNumber(word[1], &r.tf)) {
            r.ended = true;
            open = false;
        } else if (std::strcmp(word[0], "left") == 0 && n == 4 && readNumber(word[3], &r.t)) {
            r.how = word[1];
            r.m = std::atoi(word[2]);
            open = false;
        } else if (std::strcmp(word[0], "overflow") == 0) {
            refuse(path, lineNo, tr("キー操作が記録の上限を超えた探索です(記録を飛ばします)"));
            ++o->skipped;
            open = false;
            continue;
        } else {
            char what[160];
            std::snprintf(what, sizeof what, tr("読めない行です: %.60s (記録 %d を飛ばします)"), word[0], r.number);
            refuse(path, lineNo, what);
            bad = true;
        }
        if (open) continue;
        // The result line closes the record: grade it unless a line of it was unreadable.
        if (bad || !gradeRecord(r, o)) ++o->skipped;
    }
    if (open) truncated(r, o);
}

// Records with a result line in a file (0 when it cannot be read).
int countRecords(const char* path)
{
    long length = 0;
    if (!loadFile(path, &length, true)) return 0;
    int n = 0;
    for (long i = 0; i + 6 <= length; ++i)
        if ((i == 0 || fileText[i - 1] == '\n') &&
            (std::strncmp(fileText + i, "ended ", 6) == 0 || std::strncmp(fileText + i, "left ", 5) == 0))
            ++n;
    return n;
}

}  // namespace

SessionOutcome gradeSessions(const AnswerArgs& a)
{
    SessionOutcome o;
    reportStream = conOutStream();
    detailed = a.nFiles == 1;
    const bool figure = a.svg != nullptr || a.png != nullptr || a.pdf != nullptr;
    if (figure) {
        int records = 0;
        for (int i = 0; i < a.nFiles; ++i) records += countRecords(a.files[i]);
        if (records != 1) {
            conErrorf("  図(--svg --png --pdf)は記録が1つのときだけ書けます(記録は %d 個あります)\n", records);
            o.filesOk = false;
            return o;
        }
    }
    if (a.csv != nullptr) {
        toErrors();
        csvOpen = outOpen(&csv, a.csv);
        toReport();
        if (!csvOpen) o.filesOk = false;
        static const char header[] = "file,record,type,d1,d2,xamax,yamax,tf,optimal_tf,diff_percent,result,reproduced\n";
        if (csvOpen) outWrite(&csv, header, sizeof header - 1);
    }
    if (!detailed)
        conPrintf("\n%-20s %4s  %-8s %9s %9s %7s %7s %8s %8s %7s  %s", "file", "no", "type", "D1", "D2", "xamax",
                  "yamax", "tf[s]", "opt.tf", "diff[%]", "result");
    for (int i = 0; i < a.nFiles; ++i) gradeFile(a.files[i], &o);
    conPrintf("\n採点した記録 %d、飛ばした記録 %d、記録と違う再生 %d\n", o.graded, o.skipped, o.mismatched);
    if (csvOpen) {
        toErrors();
        if (!outCommit(&csv)) o.filesOk = false;
        toReport();
    }
    if (figure && o.graded == 1) {
        toErrors();
        if (a.svg != nullptr && !writeFigure(a.svg, FIG_SVG, true)) o.filesOk = false;
        if (a.png != nullptr && !writeFigure(a.png, FIG_PNG, true)) o.filesOk = false;
        if (a.pdf != nullptr && !writeFigure(a.pdf, FIG_PDF, true)) o.filesOk = false;
        toReport();
    }
    return o;
}
