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
// percent, and each of its switching points beside the nearest optimal one;
// a session that did not end says where it stopped. Reads `optimum` and `sim`.
void printGrade(const ReplayOutcome& r);

// The optimal switching point nearest to path parameter s; -1 when there is none.
int nearestOptimalSwitch(double s);
