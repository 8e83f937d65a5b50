// The page around the program: the console pane, the key queues, the canvas and the session
// end. Every call into the page's script goes through here; the script lives in shell.html.
#pragma once

// What the keys of the page go to at the moment.
enum PageMode {
    PAGE_DIALOGUE_KEY = 0,   // the console awaits one key press
    PAGE_DIALOGUE_LINE = 1,  // the console awaits a line (Enter)
    PAGE_WINDOW = 2,         // the canvas takes the window keys
    PAGE_ENDED = 3,          // ESC has ended the session
};
// Tells the page where keys go; the page moves the focus and, when a dialogue
// starts, forgets the window keys not yet handled.
void pageSetMode(PageMode mode);

// Appends n bytes of UTF-8 console output to the pane (error: the standard error stream).
void pageWrite(const char* text, int n, bool error);
// Shows the line being entered (UTF-8) after the output, as a terminal echoes it;
// commit keeps it in the pane, followed by the line break of its Enter.
void pageShowEntry(const char* text, int n, bool commit);

// The next key of the console queue as UTF-8 bytes (Enter '\n', Backspace 0x7f,
// ESC 0x1b), waiting until there is one. Returns the number of bytes (1 … cap).
int pageWaitConsoleKey(char* buf, int cap);
// Forgets the console keys not yet read (typed while the window had the keys).
void pageDropConsoleKeys();

// The next window key (an ASCII code as the window program receives it),
// waiting until there is one.
int pageWaitWindowKey();
// The window key of the page's button that saves the session record: no ASCII
// code, so that no key of the keyboard gives it.
constexpr int PAGE_SAVE_KEY = 256;

// Waits until the page asks for a new session.
void pageWaitRestart();

// True when the page's address asks for the comparison with the optimum (?answer=1).
bool pageAnswerAsked();
// Enables the page's button that saves the session record: SESSION is the record
// file (in the page's own file system) that the button downloads while no search
// runs; during a search the button gives the program PAGE_SAVE_KEY instead.
void pageOfferRecord(const char* session);
// Lets the browser download the file PATH of the page's file system as the session record.
void pageDownload(const char* path);

// The browser's preferred languages, most preferred first, separated by ',' (UTF-8,
// NUL-terminated, cut to cap - 1 bytes).
void pageLanguages(char* buf, int cap);
// Replaces one of the page's own texts (UTF-8): "entry" the console field's hint,
// "title" the canvas's tooltip, "key", "line", "window", "ended" the status
// line of each mode, "again" the button that starts a new session,
// "save" the button that saves the session record.
void pageSetText(const char* name, const char* text);

// Shows the 800 x 800 RGBA picture (top row first) on the canvas.
void pagePresent(const unsigned char* rgba);
// Writes text into the RGBA picture in colour (r, g, b): each character drawn
// by the page's font at its own pen position px[i] (pixels from the left),
// baseline on row `baseline` (from the top). size is the font's pixel size, serif
// selects a serif face.
void pageText(unsigned char* rgba, const char* text, const int* px, int baseline, int size, bool serif,
              int r, int g, int b);
