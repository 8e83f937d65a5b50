// The grading of recorded sessions (cptoc-answer --session FILE...): each record
// of the files written by cptoc --record is replayed through the window's key
// commands under its own conditions and graded against the optimum of those.
// Drives `sim` and `optimum` as the answer key does for --keys.
#pragma once

#include "answer/args.h"

constexpr long SESSION_TEXT_CAP = 1L << 22;  // bytes of one session file [B]

// What grading the files came to.
struct SessionOutcome {
    int graded = 0;       // records replayed and graded
    int skipped = 0;      // records (or whole files) that could not be graded
    int mismatched = 0;   // graded records whose replay differs from what was recorded
    int unsound = 0;      // graded records whose motion ended away from the goal or faster than the optimum
    bool filesOk = true;  // every output file was written
};

// Grades every record of a.files. One file: the full report and grade block of
// each record, in turn. Several files: one table, a row per record. --csv writes
// the table; --svg/--png/--pdf draw the record when there is exactly one.
// Refusals (file and line named) go to standard error, the report to standard output.
SessionOutcome gradeSessions(const AnswerArgs& a);
