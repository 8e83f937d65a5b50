// Console output with optional conversion to a Japanese locale encoding, console
// input, and the single-key read with its terminal mode. Owns no simulation state.
#include "core/console.h"

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <poll.h>
#include <stdio_ext.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "core/messages.h"

namespace {

FILE* outStream = nullptr;
FILE* inStream = nullptr;

iconv_t converter = reinterpret_cast<iconv_t>(-1);  // UTF-8 -> locale codeset, or none

constexpr int TEXT_CAP = 8192;       // longest formatted text (bytes)
char textBuf[TEXT_CAP];
// EUC-JP and Shift_JIS never need more bytes than the UTF-8 text; ISO-2022-JP adds
// two 3-byte escapes around every run of Japanese, at most four times the text.
char convBuf[TEXT_CAP * 4 + 16];

// Terminal mode saved by the single-key read, and the single-key mode applied.
struct termios savedMode;
struct termios keyMode;
volatile sig_atomic_t rawActive = 0;  // keyMode is in force on rawFd
volatile sig_atomic_t keyAwaited = 0; // a single-key read is waiting on rawFd
volatile sig_atomic_t rawFd = -1;
bool guardsInstalled = false;

// How the bytes of one character of the console's encoding are told apart.
enum KeyEncoding { KEYS_UTF8, KEYS_EUC_JP, KEYS_SHIFT_JIS };
KeyEncoding keyEncoding = KEYS_UTF8;

// The longest wait for the rest of a key after its first byte [ms]: a terminal
// sends the bytes of one key press together, a person's next key comes later.
constexpr int KEY_REST_MS = 80;
// Longest escape sequence taken as one key (bytes after ESC '[').
constexpr int SEQUENCE_CAP = 32;
constexpr int ESC = 0x1b;
// Smallest byte that ESC takes with it as Alt+key (space); control bytes stay
// keys of their own.
constexpr int ALT_FIRST = 0x20;

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

// The key reading rules of a codeset: EUC-JP and Shift_JIS families by their
// names, everything else by UTF-8 (ISO-2022-JP is no terminal's input encoding).
KeyEncoding keyEncodingOf(const char* name)
{
    char norm[64];
    normaliseName(name != nullptr ? name : "", norm, static_cast<int>(sizeof norm));
    if (std::strncmp(norm, "EUC", 3) == 0) return KEYS_EUC_JP;
    static const char* const sjis[] = {"SHIFTJIS", "SJIS", "SHIFTJISX0213", "CP932", "WINDOWS31J", "MSKANJI"};
    for (const char* k : sjis)
        if (std::strcmp(norm, k) == 0) return KEYS_SHIFT_JIS;
    return KEYS_UTF8;
}

// Bytes that follow the first byte c of one character (0 for a single byte).
int trailingBytes(int c)
{
    switch (keyEncoding) {
    case KEYS_EUC_JP:
        if (c == 0x8F) return 2;                       // SS3: JIS X 0212
        if (c == 0x8E || (c >= 0xA1 && c <= 0xFE)) return 1;
        return 0;
    case KEYS_SHIFT_JIS:
        if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) return 1;
        return 0;                                      // ASCII and half-width kana
    case KEYS_UTF8:
    default:
        if (c >= 0xC2 && c <= 0xDF) return 1;
        if (c >= 0xE0 && c <= 0xEF) return 2;
        if (c >= 0xF0 && c <= 0xF4) return 3;
        return 0;
    }
}

// Whether b can follow the first byte of a character of the console's encoding.
bool isTrailingByte(int b)
{
    switch (keyEncoding) {
    case KEYS_EUC_JP: return b >= 0xA1 && b <= 0xFE;
    case KEYS_SHIFT_JIS: return b >= 0x40 && b <= 0xFC && b != 0x7F;
    case KEYS_UTF8:
    default: return b >= 0x80 && b <= 0xBF;
    }
}

// The final byte of a control sequence (ESC '[' ... final).
bool isFinalByte(int b) { return b >= 0x40 && b <= 0x7E; }

// ---- Reading the bytes of one key ----
//
// On a terminal the key is read with read(2) byte by byte, so that a wait for
// the rest of a key can poll the descriptor: the line entries always consume
// whole lines, so stdio holds no terminal bytes when a key is read. A byte that
// turns out to start the next key is kept for the next read.

int keptByte = -1;  // the first byte of the next key, read ahead

// Rounds of one read that met no byte yet: a signal or a descriptor left in
// non-blocking mode by an earlier program. Each round waits for input first.
constexpr int READ_TRIES = 1000;

// Waits until fd has input, its end or an error (a descriptor left in
// non-blocking mode answers EAGAIN instead of waiting). False when it cannot.
bool awaitInput(int fd)
{
    for (int tries = 0; tries < READ_TRIES; ++tries) {
        pollfd pf{fd, POLLIN, 0};
        const int r = poll(&pf, 1, -1);
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return false;
    }
    return false;
}

bool noInputYet(int err) { return err == EAGAIN || err == EWOULDBLOCK; }

// Next byte of a stream, waiting for it when the descriptor is non-blocking:
// no byte yet is not the end of the input.
int waitedStreamByte(FILE* in)
{
    for (int tries = 0; tries < READ_TRIES; ++tries) {
        errno = 0;
        const int c = std::fgetc(in);
        if (c != EOF || !std::ferror(in) || !noInputYet(errno)) return c;
        std::clearerr(in);
        if (!awaitInput(fileno(in))) return EOF;
    }
    return EOF;
}

// Next byte of the terminal, waiting at most waitMs (-1: for ever); -1 when
// none came in time, EOF at the end of the input.
int terminalByte(int fd, int waitMs)
{
    if (keptByte >= 0) {
        const int b = keptByte;
        keptByte = -1;
        return b;
    }
    if (waitMs >= 0) {
        struct timespec start;
        clock_gettime(CLOCK_MONOTONIC, &start);
        int left = waitMs;
        // Bounded by the deadline: each round waits for what is left of it.
        for (;;) {
            pollfd pf{fd, POLLIN, 0};
            const int r = poll(&pf, 1, left);
            if (r > 0) break;
            if (r == 0) return -1;
            if (errno != EINTR) return -1;
            struct timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            const long spent = (now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000L;
            if (spent >= waitMs) return -1;
            left = waitMs - static_cast<int>(spent);
        }
    }
    // A signal that interrupts the wait (SIGCONT after a stop) is followed by a
    // new attempt; the handlers restart the call, this covers those that do not.
    // A terminal left non-blocking answers EAGAIN: the key is waited for.
    for (int tries = 0; tries < READ_TRIES; ++tries) {
        unsigned char b = 0;
        const ssize_t n = read(fd, &b, 1);
        if (n == 1) return b;
        if (n == 0) return EOF;
        if (noInputYet(errno)) {
            if (!awaitInput(fd)) return EOF;
            continue;
        }
        if (errno != EINTR) return EOF;
    }
    return EOF;
}

// Next byte of a stream that is not a terminal; peeking puts it back.
int streamByte(FILE* in) { return waitedStreamByte(in); }

// Source of the bytes of one key: the terminal or a stream.
struct KeySource {
    FILE* in;
    int fd;        // -1: read the stream
    int next(int waitMs) const { return fd >= 0 ? terminalByte(fd, waitMs) : streamByte(in); }
    // A byte read ahead that belongs to the next key.
    void keep(int b) const
    {
        if (b < 0) return;
        if (fd >= 0)
            keptByte = b;
        else
            std::ungetc(b, in);
    }
};

void readRestOfCharacter(const KeySource& src, int c);

// Reads the rest of the key that began with byte c, so that one key press is
// one answer: the remaining bytes of a multi-byte character, or the rest of an
// escape sequence (ESC '[' parameters final, ESC 'O' final; the Linux console's
// F1 to F5 are ESC '[' '[' letter). A lone ESC stays one key. On a terminal,
// ESC and a character within the key wait are one key too: many terminals send
// Alt+n as ESC 'n'.
void readRestOfKey(const KeySource& src, int c)
{
    if (c == ESC) {
        const int b = src.next(KEY_REST_MS);
        if (b == '[') {
            int f = src.next(KEY_REST_MS);
            if (f == '[') f = src.next(KEY_REST_MS);  // ESC [ [ A
            for (int i = 0; i < SEQUENCE_CAP && f >= 0 && !isFinalByte(f); ++i) f = src.next(KEY_REST_MS);
            return;
        }
        if (b == 'O') {
            src.next(KEY_REST_MS);
            return;
        }
        if (src.fd >= 0 && b >= ALT_FIRST) {
            readRestOfCharacter(src, b);
            return;
        }
        src.keep(b);
        return;
    }
    readRestOfCharacter(src, c);
}

// The remaining bytes of the character that began with byte c.
void readRestOfCharacter(const KeySource& src, int c)
{
    const int rest = trailingBytes(c);
    for (int i = 0; i < rest; ++i) {
        const int b = src.next(KEY_REST_MS);
        if (b < 0) return;
        if (!isTrailingByte(b)) {
            src.keep(b);
            return;
        }
    }
}

// Whether this process is the terminal's foreground process group (a mode set
// from the background would stop it).
bool inForeground(int fd) { return tcgetpgrp(fd) == getpgrp(); }

// Rounds of waiting for the foreground, and the pause of a round in which the
// process was not stopped (SIGTTIN ignored, or continued in the background) [ms].
constexpr int FOREGROUND_TRIES = 100;
constexpr int FOREGROUND_PAUSE_MS = 20;

// Waits until this process is in the terminal's foreground before the terminal's
// modes are taken: in the background they belong to the job in front (perhaps
// another copy's single-key mode), and setting them would stop the process in
// the middle. A job started in the background stops here as a background read
// would, and `fg` lets it go on. True when it is in front, or when the terminal
// is not its controlling one (no jobs share it); false when it cannot come to
// the front (SIGTTIN ignored, an orphaned group): then the modes stay untouched.
bool awaitForeground(int fd)
{
    for (int tries = 0; tries < FOREGROUND_TRIES; ++tries) {
        const pid_t front = tcgetpgrp(fd);
        if (front < 0 || front == getpgrp()) return true;
        if (kill(0, SIGTTIN) != 0) return false;  // the whole job stops, as on a background read
        if (tcgetpgrp(fd) == getpgrp()) return true;
        poll(nullptr, 0, FOREGROUND_PAUSE_MS);
    }
    return false;
}

// Puts the single-key mode back while a key is awaited (after a stop).
void reapplyKeyMode()
{
    if (keyAwaited && !rawActive && rawFd >= 0 && inForeground(rawFd)) {
        tcsetattr(rawFd, TCSANOW, &keyMode);
        rawActive = 1;
    }
}

void signalRestore(int sig)
{
    conRestoreTerminal();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Ctrl-Z: the terminal as it was before the key read, then the stop itself;
// on continuing, the single-key mode again if a key is still awaited.
void stopRestore(int sig)
{
    const int savedErrno = errno;
    conRestoreTerminal();
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    struct sigaction mine;
    sigaction(sig, &dfl, &mine);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    std::raise(sig);  // stops here until SIGCONT
    sigprocmask(SIG_BLOCK, &only, nullptr);
    sigaction(sig, &mine, nullptr);
    reapplyKeyMode();
    errno = savedErrno;
}

void continueRestore(int)
{
    const int savedErrno = errno;
    reapplyKeyMode();
    errno = savedErrno;
}

void exitRestore() { conRestoreTerminal(); }

// Formats one UTF-8 text, converts it as chosen and writes it to out.
void printConverted(FILE* out, const char* fmt, va_list ap)
{
    int n = std::vsnprintf(textBuf, sizeof textBuf, fmt, ap);
    if (n < 0) return;
    if (n >= TEXT_CAP) n = TEXT_CAP - 1;

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

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Next byte of the line entries: a byte that the last key read took ahead of
// its key comes first.
int inputByte(FILE* in)
{
    if (keptByte >= 0) {
        const int b = keptByte;
        keptByte = -1;
        return b;
    }
    return waitedStreamByte(in);
}

}  // namespace

void conOpenStandardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free descriptor: fd itself, as those below it are open.
        const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

void conSetStreams(FILE* out, FILE* in)
{
    outStream = out;
    inStream = in;
    keptByte = -1;
}

FILE* conOutStream() { return outStream != nullptr ? outStream : stdout; }
FILE* conInStream() { return inStream != nullptr ? inStream : stdin; }

bool conSetCodeset(const char* codeset)
{
    if (converter != reinterpret_cast<iconv_t>(-1)) {
        iconv_close(converter);
        converter = reinterpret_cast<iconv_t>(-1);
    }
    keyEncoding = KEYS_UTF8;
    if (codeset == nullptr || !isJapaneseCodeset(codeset)) return false;
    keyEncoding = keyEncodingOf(codeset);
    converter = iconv_open(codeset, "UTF-8");
    return converter != reinterpret_cast<iconv_t>(-1);
}

void conInitLocale()
{
    std::setlocale(LC_ALL, "");
    // Numbers are printed and scanned with '.' whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    conSetCodeset(nl_langinfo(CODESET));
    initMessages();
}

void conPrintf(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    printConverted(conOutStream(), tr(fmt), ap);
    va_end(ap);
}

void conErrorf(const char* fmt, ...)
{
    std::fflush(conOutStream());
    va_list ap;
    va_start(ap, fmt);
    printConverted(stderr, tr(fmt), ap);
    va_end(ap);
}

int conScanf(const char* fmt, ...)
{
    std::fflush(conOutStream());
    if (keptByte >= 0) {  // taken ahead by a key read: it comes first
        std::ungetc(keptByte, conInStream());
        keptByte = -1;
    }
    va_list ap;
    va_start(ap, fmt);
    const int r = std::vfscanf(conInStream(), fmt, ap);
    va_end(ap);
    return r;
}

ConWord conReadWord(char* buf, int cap, bool withinLine)
{
    std::fflush(conOutStream());
    FILE* in = conInStream();
    if (cap < 2) return CON_WORD_ENDED;
    buf[0] = '\0';
    int c = inputByte(in);
    // Blanks before the word; bounded by the input itself.
    while (c != EOF && (isBlank(c) || (c == '\n' && !withinLine))) c = inputByte(in);
    if (c == EOF) return CON_WORD_ENDED;
    if (c == '\n') {
        std::ungetc(c, in);
        return CON_WORD_NONE;
    }
    int n = 0;
    bool tooLong = false;
    while (c != EOF && c != '\n' && !isBlank(c)) {
        if (n < cap - 1)
            buf[n++] = static_cast<char>(c);
        else
            tooLong = true;
        c = inputByte(in);
    }
    if (c != EOF) std::ungetc(c, in);  // the blank or line break after the word stays
    buf[n] = '\0';
    // A word longer than any number is no number: it is not cut into one.
    if (tooLong) buf[0] = '\0';
    return CON_WORD_READ;
}

bool conDiscardLine()
{
    FILE* in = conInStream();
    // Bounded by the input itself: stops at the line break or at end of input.
    for (;;) {
        const int c = inputByte(in);
        if (c == EOF) return false;
        if (c == '\n') return true;
    }
}

bool conInputEnded() { return std::feof(conInStream()) != 0; }

void conForgetInputEnd()
{
    FILE* in = conInStream();
    const int fd = fileno(in);
    if (fd >= 0 && isatty(fd)) std::clearerr(in);
}

void conDiscardTypeAhead()
{
    FILE* in = conInStream();
    const int fd = fileno(in);
    if (fd < 0 || !isatty(fd)) return;
    tcflush(fd, TCIFLUSH);
    __fpurge(in);
    keptByte = -1;
}

int conReadKey()
{
    FILE* in = conInStream();
    FILE* out = conOutStream();
    std::fflush(out);
    const int fd = fileno(in);

    if (fd >= 0 && isatty(fd)) {
        struct termios mode;
        if (awaitForeground(fd) && tcgetattr(fd, &mode) == 0) {
            savedMode = mode;
            mode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
            mode.c_cc[VMIN] = 1;
            mode.c_cc[VTIME] = 0;
            keyMode = mode;
            rawFd = fd;
            keyAwaited = 1;
            rawActive = 1;
            // TCSANOW: a key typed ahead of the question stays and answers it.
            tcsetattr(fd, TCSANOW, &keyMode);
            const KeySource src{in, fd};
            const int c = src.next(-1);
            if (c != EOF) readRestOfKey(src, c);
            keyAwaited = 0;
            conRestoreTerminal();
            // Raw mode makes the end-of-file key (Ctrl-D) an ordinary byte; it still
            // means that the input has ended.
            if (c != EOF && savedMode.c_cc[VEOF] != _POSIX_VDISABLE &&
                c == static_cast<unsigned char>(savedMode.c_cc[VEOF]))
                return EOF;
            return c;
        }
        return waitedStreamByte(in);
    }

    // Piped answers: the next key that is not a line break or blank; bounded
    // by the input itself.
    const KeySource src{in, -1};
    for (;;) {
        const int c = waitedStreamByte(in);
        if (c == EOF) return EOF;
        if (c != '\n' && c != '\r' && c != ' ' && c != '\t') {
            readRestOfKey(src, c);
            return c;
        }
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
    std::signal(SIGQUIT, signalRestore);
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sa.sa_handler = stopRestore;
    sigaction(SIGTSTP, &sa, nullptr);
    sa.sa_handler = continueRestore;
    sigaction(SIGCONT, &sa, nullptr);
    std::atexit(exitRestore);
}
