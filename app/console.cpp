// Console output with optional conversion to a Japanese locale encoding, console
// input, and the single-key read with its terminal mode. Owns no simulation state.
#include "app/console.h"

#include <iconv.h>
#include <langinfo.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <clocale>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

FILE* outStream = nullptr;
FILE* inStream = nullptr;

iconv_t converter = reinterpret_cast<iconv_t>(-1);  // UTF-8 -> locale codeset, or none

constexpr int TEXT_CAP = 8192;       // longest formatted text (bytes)
char textBuf[TEXT_CAP];
// EUC-JP and Shift_JIS never need more bytes than the UTF-8 text; ISO-2022-JP adds
// two 3-byte escapes around every run of Japanese, at most four times the text.
char convBuf[TEXT_CAP * 4 + 16];

// Terminal mode saved by the single-key read while it is in force.
struct termios savedMode;
volatile sig_atomic_t rawActive = 0;
volatile sig_atomic_t rawFd = -1;
bool guardsInstalled = false;

// Normalises a codeset name (upper case, without '-' and '_') into out.
void normaliseName(const char* name, char* out, int cap)
{
    int n = 0;
    for (int i = 0; name[i] != '\0' && n < cap - 1; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c == '-' || c == '_') continue;
        out[n++] = static_cast<char>(std::toupper(c));
    }
    out[n] = '\0';
}

bool isJapaneseCodeset(const char* name)
{
    char norm[64];
    normaliseName(name, norm, static_cast<int>(sizeof norm));
    static const char* const known[] = {"EUCJP", "EUCJPMS", "EUCJISX0213", "SHIFTJIS", "SJIS",
                                        "SHIFTJISX0213", "CP932", "WINDOWS31J", "MSKANJI",
                                        "ISO2022JP", "ISO2022JP2", "ISO2022JP3"};
    for (const char* k : known)
        if (std::strcmp(norm, k) == 0) return true;
    return false;
}

void signalRestore(int sig)
{
    conRestoreTerminal();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void exitRestore() { conRestoreTerminal(); }

}  // namespace

void conSetStreams(FILE* out, FILE* in)
{
    outStream = out;
    inStream = in;
}

FILE* conOutStream() { return outStream != nullptr ? outStream : stdout; }
FILE* conInStream() { return inStream != nullptr ? inStream : stdin; }

bool conSetCodeset(const char* codeset)
{
    if (converter != reinterpret_cast<iconv_t>(-1)) {
        iconv_close(converter);
        converter = reinterpret_cast<iconv_t>(-1);
    }
    if (codeset == nullptr || !isJapaneseCodeset(codeset)) return false;
    converter = iconv_open(codeset, "UTF-8");
    return converter != reinterpret_cast<iconv_t>(-1);
}

void conInitLocale()
{
    std::setlocale(LC_ALL, "");
    // Numbers are printed and scanned with '.' whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    conSetCodeset(nl_langinfo(CODESET));
}

void conPrintf(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(textBuf, sizeof textBuf, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    if (n >= TEXT_CAP) n = TEXT_CAP - 1;
    FILE* out = conOutStream();

    if (converter != reinterpret_cast<iconv_t>(-1)) {
        char* src = textBuf;
        size_t srcLeft = static_cast<size_t>(n);
        char* dst = convBuf;
        size_t dstLeft = sizeof convBuf;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);  // initial shift state
        const size_t r = iconv(converter, &src, &srcLeft, &dst, &dstLeft);
        if (r != static_cast<size_t>(-1) && srcLeft == 0) {
            iconv(converter, nullptr, nullptr, &dst, &dstLeft);  // close the shift state
            std::fwrite(convBuf, 1, sizeof convBuf - dstLeft, out);
            std::fflush(out);
            return;
        }
        // Not convertible: the original bytes rather than a lost text.
    }
    std::fwrite(textBuf, 1, static_cast<size_t>(n), out);
    std::fflush(out);
}

int conScanf(const char* fmt, ...)
{
    std::fflush(conOutStream());
    va_list ap;
    va_start(ap, fmt);
    const int r = std::vfscanf(conInStream(), fmt, ap);
    va_end(ap);
    return r;
}

bool conDiscardLine()
{
    FILE* in = conInStream();
    // Bounded by the input itself: stops at the line break or at end of input.
    for (;;) {
        const int c = std::fgetc(in);
        if (c == EOF) return false;
        if (c == '\n') return true;
    }
}

bool conInputEnded() { return std::feof(conInStream()) != 0; }

int conReadKey()
{
    FILE* in = conInStream();
    FILE* out = conOutStream();
    std::fflush(out);
    const int fd = fileno(in);

    if (fd >= 0 && isatty(fd)) {
        struct termios mode;
        if (tcgetattr(fd, &mode) == 0) {
            savedMode = mode;
            rawFd = fd;
            rawActive = 1;
            mode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
            mode.c_cc[VMIN] = 1;
            mode.c_cc[VTIME] = 0;
            // TCSANOW: a key typed ahead of the question stays and answers it.
            tcsetattr(fd, TCSANOW, &mode);
            const int c = std::fgetc(in);
            conRestoreTerminal();
            // Raw mode makes the end-of-file key (Ctrl-D) an ordinary byte; it still
            // means that the input has ended.
            if (c != EOF && savedMode.c_cc[VEOF] != _POSIX_VDISABLE &&
                c == static_cast<unsigned char>(savedMode.c_cc[VEOF]))
                return EOF;
            return c;
        }
        return std::fgetc(in);
    }

    // Piped answers: the next byte that is not a line break or blank.
    for (;;) {
        const int c = std::fgetc(in);
        if (c == EOF) return EOF;
        if (c != '\n' && c != '\r' && c != ' ' && c != '\t') return c;
    }
}

void conRestoreTerminal()
{
    if (rawActive) {
        tcsetattr(rawFd, TCSANOW, &savedMode);
        rawActive = 0;
    }
}

void conInstallTerminalGuards()
{
    if (guardsInstalled) return;
    guardsInstalled = true;
    std::signal(SIGINT, signalRestore);
    std::signal(SIGTERM, signalRestore);
    std::signal(SIGHUP, signalRestore);
    std::atexit(exitRestore);
}
