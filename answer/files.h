// Output files of the answer key, written whole or not at all: each is written
// under a temporary name beside it and renamed into place only when complete.
// The name "-" writes to standard output instead. A symbolic link is written
// through to the file it names, and a file that exists keeps its permissions.
// Ctrl-C, SIGTERM or SIGHUP during a write remove the temporary file.
// Reads `optimum` for the table of the optimal motion.
#pragma once

#include <cstdio>

#include "plot/figure.h"

constexpr int OUT_PATH_CAP = 4096;  // longest output file name [B]

struct OutFile {
    FILE* f = nullptr;
    const char* path = nullptr;          // as given: the name the console lines use
    char target[OUT_PATH_CAP] = {};      // the file replaced: path, or where its links lead
    char tmp[OUT_PATH_CAP + 16] = {};    // target + ".XXXXXX"
    bool toStdout = false;               // path "-": no temporary file
    bool failed = false;                 // a write went wrong: the file is not kept
    int err = 0;                         // errno of the call that failed
};

// Opens the temporary file beside path. False (with a console line) when it cannot.
bool outOpen(OutFile* o, const char* path);
// Writes n bytes; a failure is remembered and reported by outCommit.
void outWrite(OutFile* o, const void* data, size_t n);
// Marks the file as failed with the reason err (unless an earlier failure has one).
void outFail(OutFile* o, int err);
// Closes the file and renames it to its name when every write succeeded; otherwise
// removes it and prints a console line. True when the file is in place.
bool outCommit(OutFile* o);

// The optimal motion every 0.01 s from 0 to tf (the last row at tf): a header
// line, then t, s, ds/dt, x, y, ax, ay separated by commas.
bool writeOptimumCsv(const char* path);

// Writes the answer key's picture in the given format, whole or not at all.
// False (with a console line) when the file cannot be written.
bool writeFigure(const char* path, FigureFormat format, bool withSession);
