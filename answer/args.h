// The command line of the answer key: path, limits, key session and output files.
// Parsing only reads its arguments; applyAnswerArgs writes the path and limits of `sim`.
#pragma once

// ---- Key sessions ----
constexpr int KEY_RUN_CAP = 4096;        // runs of one key in a session (equal neighbours merge)
constexpr long KEY_PRESS_MAX = 100000;   // presses in one run and in the whole session
constexpr long KEYS_TEXT_CAP = 1 << 20;  // bytes of a key file [B]

// One key pressed `count` times in a row.
struct KeyRun {
    unsigned char key = 0;
    long count = 0;
};

struct KeySession {
    bool firstShowing = true;  // one frame before the first key, as the window's first showing
    int nRuns = 0;             // runs in use
    long presses = 0;          // sum of the counts
    KeyRun run[KEY_RUN_CAP];
};

// Reads the key notation: tokens separated by blanks, each a key (one printable
// byte) optionally followed by *count (1..KEY_PRESS_MAX). 'k', 'u' and ESC are
// refused, since in the window they start the console dialogue or end the program,
// and so is an upper-case letter the window does not use (all but W, X, Y).
// A refused text prints one line naming the fault and returns false.
bool parseKeys(const char* text, long length, KeySession* out);

// Reads a key file ("-": standard input) into a fixed buffer and parses it.
bool readKeysFile(const char* path, KeySession* out);

// ---- The whole command line ----
struct AnswerArgs {
    int type = 0;              // path type 1..6
    double d1 = 0, d2 = 0;     // dimensions in the dialogue's units (arc angle in degrees)
    int count = 0;             // semicircle count of the slalom (d2 is unused then)
    double xamax = 0, yamax = 0;
    const char* keysText = nullptr;  // --keys
    const char* keysFile = nullptr;  // --keys-file
    const char* svg = nullptr;
    const char* png = nullptr;
    const char* pdf = nullptr;
    const char* csv = nullptr;
    bool session = false;      // --session: the positional values are session files
    char** files = nullptr;    // the session files (argv entries), with nFiles of them
    int nFiles = 0;
};

enum ArgsResult { ARGS_OK, ARGS_HELP, ARGS_VERSION, ARGS_BAD };

// Parses argv with getopt_long: --opt=VALUE and --opt VALUE, options before or
// after the positional values, "--" ends the options. An unknown, repeated or
// empty option, a value out of range, an output name whose extension belongs to
// another format: each prints one refusal line through the console seam (the
// entry check's line, without an old value, for a value out of range); the
// caller prints the usage line. Reorders argv as getopt_long does.
ArgsResult parseAnswerArgs(int argc, char** argv, AnswerArgs* a);

// The path type by name (arc sine u slalom cam cycloid, any case) or number 1..6,
// its two dimensions and the two limits, checked as the command line checks them.
// pos holds TYPE D1 D2 XAMAX YAMAX. False after the refusal lines.
bool takeConditions(const char* const pos[5], AnswerArgs* a);

// Makes the path and limits of the arguments current, as the dialogue's entries do.
void applyAnswerArgs(const AnswerArgs& a);

// The usage lines; with full also the path types, their dimensions and ranges.
void printAnswerUsage(bool full);
