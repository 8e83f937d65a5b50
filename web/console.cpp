// The console of the browser edition: the same interface as the terminal console, with the
// page's console pane as output and the page's key queue as input. Keys answer a single-key
// question one by one; numbers are entered as lines, edited with Backspace and sent with Enter,
// and echoed in the pane as a terminal echoes them. The input never ends in a page.
#include "core/console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/messages.h"
#include "web/page.h"

namespace {

constexpr int TEXT_CAP = 8192;  // longest formatted text (bytes), as at the terminal
char textBuf[TEXT_CAP];

constexpr int LINE_CAP = 512;   // longest entered line, its '\n' included
char line[LINE_CAP];
int lineLength = 0;  // bytes of the line entered last, '\n' included
int linePos = 0;     // next byte of it to read

constexpr int KEY_CAP = 8;      // bytes of one key (one UTF-8 character)
constexpr int BACKSPACE = 0x7f;
constexpr int ESC = 0x1b;

// The texts of the page around the console and the canvas, by the name the
// page's script knows them by; translated as the console texts are.
struct PageText {
    const char* name;
    const char* text;
};
const PageText PAGE_TEXTS[] = {
    {"entry", N_("コンソール入力（y/n はキー1つ、数値は Enter で確定）")},
    {"title", N_("u:XY加速度，k:CP曲線 変更，W,w:画面拡大縮小，x,X,y,Y:左右上下移動，0:初期へ，s:継続, "
                 "t:dt１つ戻る，r:切り替え，c:切り替え, f:最終軌道へ")},
    {"key", N_("キーを1つ押してください")},
    {"line", N_("入力して Enter")},
    {"window", N_("描画画面: キーはこの画面で（ESC で終了）")},
    {"ended", N_("ESC で終了しました。 ")},
    {"again", N_("もう一度始める")},
    {"save", N_("記録を保存")},
};

constexpr int LANGUAGES_CAP = 256;  // the browser's preferred languages, "en-GB,en,ja"

void printTo(bool error, const char* fmt, va_list ap)
{
    int n = std::vsnprintf(textBuf, sizeof textBuf, fmt, ap);
    if (n < 0) return;
    if (n >= TEXT_CAP) n = TEXT_CAP - 1;
    pageWrite(textBuf, n, error);
}

// Length of the UTF-8 character that ends at byte `end` of the line being edited.
int lastCharLength(const char* text, int end)
{
    int start = end - 1;
    // Bounded by the start of the line: continuation bytes lead back to a first byte.
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    return start < 0 ? 0 : end - start;
}

// Reads one line from the page: printable keys (an input method's composed text
// included) are added and echoed, Backspace takes back the last character, Enter
// ends the line; other control keys are ignored. A key that would overflow the
// line is ignored. Leaves the line with its '\n' in `line`.
void readLine()
{
    pageSetMode(PAGE_DIALOGUE_LINE);
    lineLength = 0;
    linePos = 0;
    // Ends with the first Enter; every pass consumes one key of the page.
    for (;;) {
        char key[KEY_CAP];
        const int n = pageWaitConsoleKey(key, KEY_CAP);
        const unsigned char first = static_cast<unsigned char>(key[0]);
        if (n == 1 && (first == '\n' || first == '\r')) {
            line[lineLength++] = '\n';
            pageShowEntry(line, lineLength - 1, true);
            return;
        }
        if (n == 1 && (first == BACKSPACE || first == '\b')) {
            lineLength -= lastCharLength(line, lineLength);
        } else if (first < 0x20 || first == BACKSPACE || n <= 0) {
            continue;  // ESC and other control keys are no part of an entry
        } else if (lineLength + n < LINE_CAP) {
            std::memcpy(line + lineLength, key, static_cast<size_t>(n));
            lineLength += n;
        }
        pageShowEntry(line, lineLength, false);
    }
}

// Next byte of the line entries; a new line is read when the last one is used up.
int inputByte()
{
    if (linePos >= lineLength) readLine();
    return static_cast<unsigned char>(line[linePos++]);
}

// Gives back the byte read last (there always is one: it was just read).
void ungetByte()
{
    if (linePos > 0) --linePos;
}

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

// A page has no descriptors to guard.
void conOpenStandardDescriptors() {}

// Streams are those of the terminal program; the page edition writes through pageWrite.
void conSetStreams(FILE*, FILE*) {}
FILE* conOutStream() { return stdout; }
FILE* conInStream() { return stdin; }

// A page is always UTF-8; numbers are printed with '.' (the "C" numeric locale of WebAssembly).
// The language is the first of the browser's preferred languages that is Japanese or has a
// catalogue (the catalogues are part of the page), as LANGUAGE chooses it at a terminal.
void conInitLocale()
{
    char languages[LANGUAGES_CAP];
    pageLanguages(languages, LANGUAGES_CAP);
    initMessagesFor(languages);
    for (const PageText& t : PAGE_TEXTS) pageSetText(t.name, tr(t.text));
}
bool conSetCodeset(const char*) { return false; }

void conPrintf(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    printTo(false, tr(fmt), ap);
    va_end(ap);
}

void conErrorf(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    printTo(true, tr(fmt), ap);
    va_end(ap);
}

// conScanf is not offered in the page: the program reads its entries word by word.

ConWord conReadWord(char* buf, int cap, bool withinLine)
{
    if (cap < 2) return CON_WORD_ENDED;
    buf[0] = '\0';
    int c = inputByte();
    // Blanks before the word; each new line is one Enter of the student.
    while (isBlank(c) || (c == '\n' && !withinLine)) c = inputByte();
    if (c == '\n') {
        ungetByte();
        return CON_WORD_NONE;
    }
    int n = 0;
    bool tooLong = false;
    // Bounded by the line, which ends with '\n'.
    while (c != '\n' && !isBlank(c)) {
        if (n < cap - 1)
            buf[n++] = static_cast<char>(c);
        else
            tooLong = true;
        c = inputByte();
    }
    ungetByte();  // the blank or line break after the word stays
    buf[n] = '\0';
    if (tooLong) buf[0] = '\0';
    return CON_WORD_READ;
}

bool conDiscardLine()
{
    // Bounded by the line, which ends with '\n'.
    while (inputByte() != '\n') {
    }
    return true;
}

bool conInputEnded() { return false; }
void conForgetInputEnd() {}

void conDiscardTypeAhead()
{
    pageDropConsoleKeys();
    lineLength = linePos = 0;
}

// One key press of the console queue; its first byte (the rest of a UTF-8
// character belongs to the same key). Enter gives '\n' as a terminal's single-key
// mode does.
int conReadKey()
{
    pageSetMode(PAGE_DIALOGUE_KEY);
    char key[KEY_CAP];
    const int n = pageWaitConsoleKey(key, KEY_CAP);
    if (n <= 0) return ESC;
    const int c = static_cast<unsigned char>(key[0]);
    return c == '\r' ? '\n' : c;
}

void conRestoreTerminal() {}
void conInstallTerminalGuards() {}
