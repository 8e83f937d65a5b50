// The console seam: every console text and every console entry of the program.
// Owns the two streams, the output encoding and the terminal mode of the single-key read.
#pragma once

#include <cstdio>

// Streams used for all console traffic; nullptr selects stdout / stdin.
// Tests redirect them to memory streams or pipes.
void conSetStreams(FILE* out, FILE* in);
FILE* conOutStream();
FILE* conInStream();

// Reads the locale (setlocale(LC_ALL, "")) and picks the output encoding:
// EUC-JP, Shift_JIS and their relatives are converted from UTF-8 with iconv,
// everything else is written as UTF-8.
void conInitLocale();
// Forces the output codeset (for tests); "UTF-8" or nullptr turns conversion off.
// Returns true when conversion to that codeset is active afterwards.
bool conSetCodeset(const char* codeset);

// Formatted printing of one UTF-8 text, converted as chosen, then flushed.
// A conversion that fails writes the original bytes.
void conPrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Formatted scanning from the console input; returns what vfscanf returns.
int conScanf(const char* fmt, ...) __attribute__((format(scanf, 1, 2)));
// Discards the rest of the current input line (up to and including '\n').
// Returns false when the input has ended.
bool conDiscardLine();
// True once the console input has reached end of file.
bool conInputEnded();

// One key press: on a terminal, read in non-canonical no-echo mode for exactly
// one key and restore the terminal at once; otherwise the next byte of the
// input stream that is not a line break or blank. Returns EOF at end of input,
// and on a terminal also for its end-of-file key (Ctrl-D).
int conReadKey();

// Puts the terminal back into the mode saved before a single-key read, if one
// is in force. Safe to call from a signal handler and more than once.
void conRestoreTerminal();
// Installs the SIGINT / SIGTERM / SIGHUP handlers and the exit hook that
// restore the terminal.
void conInstallTerminalGuards();
