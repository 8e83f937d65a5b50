// The session record of the window program (cptoc --record FILE) and the comparison
// with the optimum after each search (cptoc --answer). Reads the path, limits and
// search state of `sim`; --answer writes `optimum`. Nothing else of the state.
//
// A session file is UTF-8 text: its first line is RECORD_FORMAT_LINE, then one
// block per search, each ended by its result line and followed by an empty line:
//
//   search 1
//   path arc 0.5 90
//   limits 2 2
//   keys s*63 c s*8 f s*80
//   ended 1.330000
//
// "path" gives the type name and the two dimensions as cptoc-answer takes them
// (the arc angle in degrees, the slalom's count second), "limits" xamax yamax,
// every number so that it reads back to the very value in force. "keys" lines
// (several when long) hold the keys of the search in the answer key's notation;
// a frame the window drew by itself (uncovered, say) steps the search as 's'
// does and is written as 's'. The replay draws one frame before the first key,
// as the window does when it first shows; "first-frame no" before the keys says
// that the window drew none (a search after the dialogue of k or u).
// The result line is "ended TF" for a search that reached its end, or
// "left HOW M T" for one left with k, u, ESC or by closing the window (HOW is
// k, u, ESC or close), with the step index M and the time T it had reached.
// Lines starting with '#' are comments.
#pragma once

constexpr const char* RECORD_FORMAT_LINE = "cptoc-session 1";
constexpr int RECORD_RUN_CAP = 4096;        // runs of one key in a record
constexpr long RECORD_PRESS_MAX = 100000;   // presses in one record
constexpr int RECORD_KEYS_WIDTH = 72;       // bytes of key notation per "keys" line

// The name of a path type in the records and on the answer key's command line
// ("arc", "sine", "u", "slalom", "cam", "cycloid"); "" outside 1..6.
const char* recordTypeName(int type);

// Opens FILE for appending and writes the format line when the file is empty.
// False (with one line on standard error) when it cannot be opened or is not a
// session file. Every record is flushed to disk when it is written.
bool recordOpen(const char* path);

// The search in progress is written as left by closing the window ("left close")
// and the file closed. Runs at exit; nothing without an open file.
void recordClose();

// A new session after ESC in the browser edition: the next search is recorded
// afresh (the window program ends with ESC instead).
void recordNewSession();

// Copies the session file to COPY (replaced) with the search in progress, if it
// has keys, appended as left with ESC; the session's own file and record go on
// unchanged. The browser edition's download. False without an open file or when
// COPY cannot be written.
bool recordSnapshot(const char* copy);

// With on, every ended search prints its comparison with the optimum and
// computes `optimum` for the picture.
void setAnswerShown(bool on);

// The key hook: every key of the window, before it acts. Keeps the keys of the
// search; k, u and ESC leave it (its record is written, marked as left).
void recordKey(unsigned char key);

// After every frame of the window: a search that has just ended is written (and,
// with --answer, compared with the optimum).
void recordFrameDone();

// The number formatting of the records: the shortest of %.15g … %.17g that reads
// back to v exactly. out holds at least 32 bytes.
void formatExact(double v, char* out);

// The arc angle in degrees that the dialogue and cptoc-answer turn into the
// very radians sEnd (degrees × DEG2RAD), in the shortest exact text.
void formatArcDegrees(double sEnd, char* out);
