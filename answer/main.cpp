// The answer key: the minimum-time motion of a path computed without a window, a key
// session replayed and graded against it, pictures and a table. Drives `sim` headless.
#include <clocale>
#include <cstdio>
#include <cstring>

#include "answer/args.h"
#include "answer/files.h"
#include "answer/grade.h"
#include "answer/report.h"
#include "answer/session.h"
#include "core/conditions.h"
#include "core/console.h"
#include "core/state.h"
#include "cptoc_version.h"
#include "planner/optimum.h"
#include "plot/figure.h"

namespace {

// The replayed session ended away from the goal or faster than the optimum:
// its grade block says which, and it was not graded.
constexpr int EXIT_SESSION_UNSOUND = 3;

KeySession keys;  // the session of --keys / --keys-file

// Output files after the report; false when any could not be written.
bool writeOutputs(const AnswerArgs& a, bool withSession)
{
    bool ok = true;
    if (a.svg != nullptr && !writeFigure(a.svg, FIG_SVG, withSession)) ok = false;
    if (a.png != nullptr && !writeFigure(a.png, FIG_PNG, withSession)) ok = false;
    if (a.pdf != nullptr && !writeFigure(a.pdf, FIG_PDF, withSession)) ok = false;
    if (a.csv != nullptr && !writeOptimumCsv(a.csv)) ok = false;
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    conOpenStandardDescriptors();
    conInitLocale();
    std::setlocale(LC_NUMERIC, "C");  // '.' in every number, also in the table file
    runQuietly(initDefaults);         // the defaults are the old values of refused arguments

    // Refusals and the usage line go to standard error; the report alone to standard output.
    conSetStreams(stderr, nullptr);
    AnswerArgs a;
    const ArgsResult parsed = parseAnswerArgs(argc, argv, &a);
    if (parsed == ARGS_HELP) {
        conSetStreams(nullptr, nullptr);
        printAnswerUsage(true);
        return 0;
    }
    if (parsed == ARGS_VERSION) {
        std::printf("cptoc-answer %s\n", CPTOC_VERSION);
        return 0;
    }
    bool ok = parsed == ARGS_OK;
    if (ok && a.keysText != nullptr) ok = parseKeys(a.keysText, static_cast<long>(std::strlen(a.keysText)), &keys);
    if (ok && a.keysFile != nullptr) ok = readKeysFile(a.keysFile, &keys);
    if (!ok) {
        printAnswerUsage(false);
        return 2;
    }
    conSetStreams(nullptr, nullptr);

    if (a.session) {
        // Every record is graded under its own conditions; any skipped one gives
        // status 1, else any whose motion fails the session check status 3.
        const SessionOutcome o = gradeSessions(a);
        if (!(o.skipped == 0 && o.filesOk)) return 1;
        return o.unsound == 0 ? 0 : EXIT_SESSION_UNSOUND;
    }

    applyAnswerArgs(a);
    prepareQuietly();
    computeOptimum();
    const double tfNormal = normalTimeForOptimum();

    printConditions();
    printOptimumReport(tfNormal);
    const bool withSession = a.keysText != nullptr || a.keysFile != nullptr;
    bool sessionSound = true;
    if (withSession) {
        conPrintf("\n\n/*************** キー操作の再生(窓のコンソール出力) ****************/");
        const ReplayOutcome r = replaySession(keys);
        sessionSound = printGrade(r);
    }

    conSetStreams(stderr, nullptr);
    const bool filesOk = optimum.ok ? writeOutputs(a, withSession) : true;
    if (!filesOk) conPrintf("\n");
    conSetStreams(nullptr, nullptr);
    if (!(optimum.ok && filesOk)) return 1;
    return sessionSound ? 0 : EXIT_SESSION_UNSOUND;
}
