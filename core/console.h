// The console seam: every console text and every console entry of the program.
// Owns the two streams, the output encoding and the terminal mode of the single-key read.
#pragma once

#include <cstdio>

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed, so that
// no file or connection opened later takes one of them (the display connection
// on descriptor 1 would receive the console's text). Call first in main.
void conOpenStandardDescriptors();

// Streams used for all console traffic; nullptr selects stdout / stdin.
// Tests redirect them to memory streams or pipes.
void conSetStreams(FILE* out, FILE* in);
FILE* conOutStream();
FILE* conInStream();

// Reads the locale (setlocale(LC_ALL, "")) and picks the output encoding:
// EUC-JP, Shift_JIS and their relatives are converted from UTF-8 with iconv,
// everything else is written as UTF-8. Binds the message catalogue (initMessages).
void conInitLocale();
// Forces the output codeset (for tests); "UTF-8" or nullptr turns conversion off.
// Returns true when conversion to that codeset is active afterwards.
bool conSetCodeset(const char* codeset);

// Formatted printing of one UTF-8 text, converted as chosen, then flushed.
// The format is a Japanese text and is looked up in the message catalogue
// first (tr), so that it prints in the user's language; its arguments are not.
// A conversion that fails writes the original bytes.
void conPrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// The same on the standard error stream (after the console output is flushed).
void conErrorf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Formatted scanning from the console input; returns what vfscanf returns.
int conScanf(const char* fmt, ...) __attribute__((format(scanf, 1, 2)));
// How a word read ended.
enum ConWord {
    CON_WORD_READ,   // a word was read into the buffer
    CON_WORD_NONE,   // withinLine: the line ended before a word (the line break stays)
    CON_WORD_ENDED,  // the input ended before a word
};
// Reads the next word (a run of bytes up to a blank, a line break or the end) of
// the console input into buf, NUL-terminated. Blanks before it are skipped, line
// breaks too unless withinLine. The byte after the word stays in the input. A
// word that does not fit into cap - 1 bytes is consumed whole and leaves buf
// empty, so that it reads as no number.
ConWord conReadWord(char* buf, int cap, bool withinLine);
// Discards the rest of the current input line (up to and including '\n').
// Returns false when the input has ended.
bool conDiscardLine();
// True once the console input has reached end of file.
bool conInputEnded();
// On a terminal, forgets an end of input met before (Ctrl-D), so that the next
// read waits for keys again. A pipe or file that has ended stays at its end.
void conForgetInputEnd();
// On a terminal, discards everything typed but not yet read. Does nothing to
// pipes and files, whose answers are meant to be read.
void conDiscardTypeAhead();

// One key press: on a terminal, read in non-canonical no-echo mode for exactly
// one key and restore the terminal at once; otherwise the next key of the
// input stream that is not a line break or blank. One key is one character of
// the console's encoding (UTF-8, EUC-JP or Shift_JIS, as conSetCodeset chose)
// or one escape sequence (ESC '[' ... final byte, ESC 'O' x: arrows, function
// keys); its first byte is returned, the rest is consumed. A lone ESC is one key.
// Returns EOF at end of input, and on a terminal also for its end-of-file key
// (Ctrl-D). While the key is awaited, a stop (Ctrl-Z) gives the terminal its
// mode back and the continuation takes the single-key mode again.
int conReadKey();

// Puts the terminal back into the mode saved before a single-key read, if one
// is in force. Safe to call from a signal handler and more than once.
void conRestoreTerminal();
// Installs the SIGINT / SIGTERM / SIGHUP / SIGQUIT handlers and the exit hook
// that restore the terminal, and the SIGTSTP / SIGCONT handlers that hand the
// terminal back during a stop and take the single-key mode again afterwards.
void conInstallTerminalGuards();
