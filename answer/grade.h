// A key session replayed through the window's own key commands and frames, without
// drawing, and its grade against the optimal motion. Drives the search state of `sim`.
#pragma once

struct KeySession;

// The replay's count of what happened.
struct ReplayOutcome {
    long presses = 0;   // key presses handed to onKey
    long frames = 0;    // frames computed, the window's first showing included
    bool ended = false; // the search ended (its console report was printed)
};

// Plays the session as the window runs it after a dialogue: one frame for the
// window's first showing, then onKey for every press, which computes the frame
// of a command key itself. The search's console lines go through the console
// seam as in the window. The path must be prepared (prepareSearch).
ReplayOutcome replaySession(const KeySession& keys);

// The grade of the replayed session: its goal time against the optimum's in
// percent, and each of its switching records beside the optimal switch of the
// same kind nearest in time (with the switches that the join gave up); a session
// that did not end says where it stopped. An ended session that fails
// checkSession (planner/session_check.h) is not graded: the block says why. Returns false exactly then.
// Reads `optimum` and `sim`.
bool printGrade(const ReplayOutcome& r);

struct OptSwitch;

// The optimal switch of the same kind as session record `record` (odd: to
// braking; even: to acceleration, also along the velocity limit) nearest to time
// t; -1 when there is none.
int nearestOptimalSwitch(double t, int record);

// How late (+) or early (-) a session switch at (t, s) came against optimal switch
// o, both measured at equal s: late, the time from the session's passing o.s to
// its switch; early, the time from the optimum's passing s to its switch.
double switchDelay(double t, double s, const OptSwitch& o);
