// The ranges of the entries and their one check, shared by the console dialogue
// and the command line of the answer key. A refused entry prints the refusal line
// of the dialogue, naming the entry and the value kept.
#pragma once

// One entry: its printed name and its accepted range.
enum EntryId {
    ENTRY_ARC_R,     // 半径R [m]
    ENTRY_ARC_DEG,   // 円弧角θf [deg]
    ENTRY_SIN_L,     // 波長L [m]
    ENTRY_SIN_A,     // 振幅A [m]
    ENTRY_U_L,       // 直線部L [m]
    ENTRY_U_R,       // 円弧部半径R [m]
    ENTRY_SLM_R,     // 半径R [m] of the slalom
    ENTRY_CAM_L,     // 移動量L [m] of the constant-acceleration cam
    ENTRY_CAM_H,     // 立ち上がり量H [m] of the constant-acceleration cam
    ENTRY_CYC_L,     // 移動量L [m] of the cycloid cam
    ENTRY_CYC_H,     // 立ち上がり量H [m] of the cycloid cam
    ENTRY_XAMAX,     // xamax [m/s^2]
    ENTRY_YAMAX,     // yamax [m/s^2]
};

// Whether a refusal line ends with the value kept, "（旧値 v のままにします）": on for
// the dialogue (the default), off for a command line, where nothing is kept.
void setRefusalNamesOldValue(bool on);

// Reads one real entry from its text (the whole token must be a number; blanks
// around it are allowed) and checks it against the entry's range. Accepted:
// *value := the number, true. Refused: prints one refusal line naming the entry,
// with oldValue (in the entry's own unit, degrees for the arc angle) as the value
// kept, and leaves *value alone, false.
bool takeRealText(EntryId id, const char* text, double oldValue, double* value);

// The slalom's semicircle count (円個数N), 1 to 20: a whole number, overflow
// detected ("3.0" is whole, "2.7" is refused). Prints and returns as above.
bool takeCountText(const char* text, int oldValue, int* value);

// The path type c, 1 to 6: a whole number, overflow detected. As above.
bool takeTypeText(const char* text, int oldValue, int* value);

// True when the whole text (blanks around it allowed) reads as a number, in
// range or not: the dialogue reads an entry after an unreadable one from the
// same line only.
bool entryIsNumber(const char* text);

// The name by which the refusal line names a real entry.
const char* entryName(EntryId id);

// The accepted range of a real entry: every accepted value v has lo <= v <= hi,
// and lo > 0. For help texts and manual pages.
void entryRange(EntryId id, double* lo, double* hi);
